/* KOVACFG.EXE itself, started in a program directory of its own. */
#include <map>
#include <string.h>

#include "cfg_test.h"

namespace {

struct FileState {
    std::vector<uint8_t> bytes;
    FILETIME written;
    DWORD attributes;
    bool operator==(const FileState &o) const
    {
        return bytes == o.bytes && CompareFileTime(&written, &o.written) == 0 &&
               attributes == o.attributes;
    }
};

void Snapshot(const std::string &dir, const std::string &prefix, std::map<std::string, FileState> *files)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*files)[prefix + name + "\\"] = FileState{ {}, {}, found.dwFileAttributes };
            Snapshot(dir + name + "\\", prefix + name + "\\", files);
        } else {
            (*files)[prefix + name] =
                FileState{ ReadFileBytes(dir + name), found.ftLastWriteTime, found.dwFileAttributes };
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::map<std::string, FileState> Snapshot(const std::string &dir)
{
    std::map<std::string, FileState> files;
    Snapshot(dir, "", &files);
    return files;
}

} // namespace

TEST(Program, StartsFromAFolderWithABlankInItsName)
{
    ProgramDir dir("A B");
    ASSERT_NE(std::string::npos, dir.path.find(' '));
    dir.AddPrograms();
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddFile("KOVA.INI", "[KOVA]\r\nCDCountry=1\r\n");
    Configurator cfg(dir.path);
    ASSERT_TRUE(cfg.started());
    HWND main = cfg.Main();
    ASSERT_TRUE(main != NULL);
    /* PLUGIN\ and KOVA.INI were found under the whole directory name. */
    EXPECT_EQ(std::vector<std::string>({ "CDIdle 1.0" }), ComboItems(main, IDC_CD_LIST));
    EXPECT_EQ("Europe", ComboSelectedText(main, IDC_COUNTRY));
    Click(main, IDC_SAVE);
    EXPECT_NE(std::string::npos, dir.Ini().find("CDCountry=1\r\nEmulateBios=on\r\n")) << dir.Ini();
    EXPECT_EQ(ReadFileBytes(CdIdle()), ReadFileBytes(dir / "CDRend.dll"));
    EXPECT_EQ(0u, cfg.Exit());
}

TEST(Program, AboutBoxShowsThreeLinesAndAnEmptyOne)
{
    ProgramDir dir("about");
    dir.AddPrograms();
    Configurator cfg(dir.path);
    HWND main = cfg.Main();
    ASSERT_TRUE(main != NULL);
    ClickLater(main, IDC_PROGRAM_ABOUT);
    /* The about box has no caption. */
    HWND about = WaitForDialog("", cfg.processId());
    ASSERT_TRUE(about != NULL);
    EXPECT_EQ(main, GetWindow(about, GW_OWNER));
    std::string text = ItemText(about, IDC_ABOUT_TEXT);
    EXPECT_EQ("KOVA Configurator 1.0 Beta 1\r\n\r\nWritten by Tovrin\r\nLogo designed by !+Tessel+!.", text);
    std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("", lines[1]);
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitGone(about));
    EXPECT_TRUE(IsWindowEnabled(main)) << "the main dialog is usable again";
    EXPECT_EQ(0u, cfg.Exit());
}

TEST(Program, StartingAndLeavingWithExitChangesNoFile)
{
    ProgramDir dir("exit");
    dir.AddPrograms();
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(PadIdle(), "padidle.dll");
    dir.AddFile("BIOS\\scph.bin");
    dir.AddFile("MEMCARDS\\card.mcd");
    dir.AddFile("KOVA.INI", "[KOVA]\r\nEmulateBios=OFF\r\nDebugger=on\r\n[GPUHOST]\r\nPluginName=x.dll\r\n");
    dir.AddFile("CDRend.dll", "installed before");
    ASSERT_TRUE(CopyFileTo(PadIdle(), dir / "Joy0Rend.dll"));
    std::map<std::string, FileState> before = Snapshot(dir.path);
    Sleep(20); /* a rewrite would show in the time stamps */
    {
        Configurator cfg(dir.path);
        HWND main = cfg.Main();
        ASSERT_TRUE(main != NULL);
        EXPECT_TRUE(Checked(main, IDC_DEBUGGER));
        EXPECT_EQ(0u, cfg.Exit());
    }
    std::map<std::string, FileState> after = Snapshot(dir.path);
    EXPECT_EQ(before.size(), after.size());
    for (const auto &file : before) {
        auto it = after.find(file.first);
        ASSERT_TRUE(it != after.end()) << file.first << " is gone";
        EXPECT_TRUE(file.second == it->second) << file.first << " changed";
    }
}
