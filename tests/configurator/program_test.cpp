/* KOVACFG.EXE itself, started in a program directory of its own. */
#include <map>
#include <string.h>

#include "cfg_test.h"
#include "configurator.h"

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
    /* Where the configurator is started, and the one box it gives instead
       of its dialogs when it cannot work there. */
    enum { USUAL = 0, LOSSY_NAME = -1 };
    struct Row {
        const char *what;
        int folder;       /* USUAL, LOSSY_NAME, or the path's length with its final backslash */
        const char *box;  /* null: the main dialog opens */
    };
    const Row rows[] = {
        { "a user's directory", USUAL, NULL },
        { "the longest path that leaves room for every path built on it", 215, NULL },
        { "one character longer", 216, kPathTooLongText },
        { "a name the ANSI code page cannot hold, beside a folder of its best-fit name", LOSSY_NAME,
          kFolderNameText },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ProgramDir base("start");
        std::string dir = base.path;      /* what the configurator would see */
        std::wstring start = Widen(dir);  /* where it runs */
        if (row.folder > 0) {
            dir = base.scratch.MakeDir(std::string(row.folder - base.path.size() - 1, 'd').c_str());
            ASSERT_EQ(static_cast<size_t>(row.folder), dir.size());
            start = Widen(dir);
        } else if (row.folder == LOSSY_NAME) {
            BOOL lossy = FALSE;
            char probe[8];
            WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"\u03A9", 1, probe, sizeof probe, NULL,
                                &lossy);
            ASSERT_TRUE(lossy) << "the ANSI code page holds the Greek letter";
            dir = base.scratch.MakeDir("Omega");
            start = Widen(base.path) + L"\u03A9mega\\";
            ASSERT_TRUE(CreateDirectoryW(start.c_str(), NULL));
        }
        const std::string in = dir.substr(base.path.size());
        EXPECT_TRUE(CopyFileTo(ShippedPath("KOVACFG.exe"), dir + "KOVACFG.EXE"));
        EXPECT_TRUE(CopyFileTo(ShippedPath("KOVA.exe"), dir + "KOVA.EXE"));
        for (const char *folder : { "PLUGIN", "BIOS", "MEMCARDS" })
            base.scratch.MakeDir((in + folder).c_str());
        if (row.folder == LOSSY_NAME) {
            for (const wchar_t *name : { L"KOVACFG.EXE", L"KOVA.EXE" })
                ASSERT_TRUE(CopyFileW((Widen(dir) + name).c_str(), (start + name).c_str(), FALSE));
        }
        EXPECT_TRUE(CopyFileTo(CdIdle(), dir + "PLUGIN\\cdidle.dll"));
        EXPECT_TRUE(CopyFileTo(PadIdle(), dir + "PLUGIN\\padidle.dll"));
        base.AddFile(in + "BIOS\\scph.bin");
        base.AddFile(in + "MEMCARDS\\card.mcd");
        base.AddFile(in + "KOVA.INI",
                     "[KOVA]\r\nEmulateBios=OFF\r\nDebugger=on\r\n[GPUHOST]\r\nPluginName=x.dll\r\n");
        base.AddFile(in + "CDRend.dll", "installed before");
        ASSERT_TRUE(CopyFileTo(PadIdle(), dir + "Joy0Rend.dll"));
        /* What a Save cut short leaves, and a user's file of a like name. */
        base.AddFile(in + "kov1f.tmp", "[KOVA]\r\n");
        base.AddFile(in + "kovacs.tmp", "the user's");

        std::map<std::string, FileState> before = Snapshot(base.path);
        Sleep(20); /* a rewrite would show in the time stamps */
        {
            Configurator cfg(start);
            ASSERT_TRUE(cfg.started());
            if (row.box) {
                std::string text;
                EXPECT_TRUE(Answer("System Error", IDOK, &text, cfg.processId()));
                EXPECT_EQ(row.box, text);
                EXPECT_EQ(NULL, cfg.Main(500)) << "no dialog after the box";
                EXPECT_EQ(1u, cfg.ExitCode());
            } else {
                HWND main = cfg.Main();
                ASSERT_TRUE(main != NULL);
                EXPECT_TRUE(Checked(main, IDC_DEBUGGER));
                EXPECT_EQ(std::vector<std::string>({ "CDIdle 1.0" }), ComboItems(main, IDC_CD_LIST));
                EXPECT_EQ(0u, cfg.Exit());
                before.erase(in + "kov1f.tmp");
            }
        }
        std::map<std::string, FileState> after = Snapshot(base.path);
        EXPECT_EQ(before.size(), after.size());
        for (const auto &file : before) {
            auto it = after.find(file.first);
            ASSERT_TRUE(it != after.end()) << file.first << " is gone";
            EXPECT_TRUE(file.second == it->second) << file.first << " changed";
        }
    }
}

TEST(Program, TheWholeRoadFromAFreshDirectoryToTheEmulator)
{
    ProgramDir dir("whole road");
    dir.AddPrograms();
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(Fake("fake_twofaced"), "twofaced.dll");
    dir.AddPlugin(PadIdle(), "padidle.dll");
    dir.AddPlugin(Fake("fake_pad"), "fakepad.dll");
    dir.AddFile("MEMCARDS\\card1.mcd");
    dir.AddFile("MEMCARDS\\card2.mcd");

    Configurator cfg(dir.path);
    ASSERT_TRUE(cfg.started());
    /* Splash: its two texts, then the main dialog. */
    HWND splash = WaitForDialog("", cfg.processId(), 10000);
    ASSERT_TRUE(splash != NULL);
    std::vector<std::string> seen;
    HWND main = NULL;
    DWORD start = GetTickCount();
    while (!main && GetTickCount() - start < 15000) {
        std::string text = IsWindow(splash) ? ItemText(splash, IDC_SPLASH_STATUS) : "";
        if (!text.empty() && text != "<no answer>" && (seen.empty() || seen.back() != text))
            seen.push_back(text);
        main = WaitForDialog(kMainCaption, cfg.processId(), 0);
        Sleep(5);
    }
    ASSERT_TRUE(main != NULL);
    EXPECT_EQ(std::vector<std::string>({ "Loading INI settings...", "Searching for plugins..." }), seen);

    /* The user's choices. */
    std::vector<std::string> pads = ComboItems(main, IDC_JOY0_LIST);
    std::vector<std::string> cds = ComboItems(main, IDC_CD_LIST);
    ASSERT_EQ(2u, pads.size());
    ASSERT_EQ(2u, cds.size());
    SelectCombo(main, IDC_JOY0_LIST, pads[0] == "PadIdle 1.0" ? 0 : 1);
    SelectCombo(main, IDC_CD_LIST, cds[0] == "CDIdle 1.0" ? 0 : 1);
    SelectCombo(main, IDC_COUNTRY, 1);
    SelectCombo(main, IDC_MEMCARD2, 1);
    Click(main, IDC_SECTOR_CACHE);
    Click(main, IDC_INTERPRETER);
    SetItemText(main, IDC_COMMAND_LINE, "  demo   -x ");
    Click(main, IDC_SAVE);
    EXPECT_EQ(ReadFileBytes(CdIdle()), ReadFileBytes(dir / "CDRend.dll"));
    EXPECT_EQ(ReadFileBytes(PadIdle()), ReadFileBytes(dir / "Joy0Rend.dll"));
    Click(main, IDC_RUN);
    EXPECT_EQ("  demo   -x ", ItemText(main, IDC_COMMAND_LINE));
    EXPECT_EQ(0u, cfg.Exit());

    const std::vector<std::string> want = {
        "KOVA stand-in",
        "argc 3",
        "argv[0] " + (dir / "KOVA.EXE"),
        "argv[1] demo",
        "argv[2] -x",
        "settings [KOVA]",
        "  EmulateBios=on",
        "  Debugger=off",
        "  Verbose=off",
        "  Disasm=off",
        "  CDUseCache=on",
        "  UseSerial=off",
        "  CpuMode=Interpreter",
        "  CDCountry=1",
        "  MemCard1=card1.mcd",
        "  MemCard2=card2.mcd",
        "SPU SpuRend.dll: not installed",
        "GPU GpuRend.dll: not installed",
        "CD CDRend.dll: loaded",
        "CD CD_Open -> 0",
        "PAD1 Joy0Rend.dll: loaded",
        "PAD1 JOY0_Open -> 0",
        "PAD2 Joy1Rend.dll: not installed",
    };
    std::vector<std::string> transcript = SplitLines(ReadFileText(dir / "STANDIN.LOG"));
    ASSERT_GE(transcript.size(), want.size());
    EXPECT_EQ(want, std::vector<std::string>(transcript.begin(), transcript.begin() + want.size()));
    EXPECT_EQ("result: ok", transcript.back());
}
