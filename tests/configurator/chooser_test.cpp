/* The file chooser in this process, on real folders of the test prefix's
   drives C: and Z:. */
#include <ctype.h>
#include <string.h>

#include "cfg_test.h"
#include "file_chooser.h"

namespace {

/* Selects a list entry and tells the dialog, as a click does. */
void Pick(HWND chooser, int id, int index)
{
    bool isList = id == IDC_CHOOSER_DIRS || id == IDC_CHOOSER_FILES;
    SendDlgItemMessageW(chooser, id, isList ? LB_SETCURSEL : CB_SETCURSEL, index, 0);
    SendMessageW(chooser, WM_COMMAND, MAKEWPARAM(id, isList ? LBN_SELCHANGE : CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(chooser, id)));
}

/* Picks the directory list's entry ("[NAME]", "[..]"), found in any case. */
bool PickDir(HWND chooser, const std::string &entry)
{
    int index = IndexOf(ListItems(chooser, IDC_CHOOSER_DIRS), entry, true);
    if (index >= 0)
        Pick(chooser, IDC_CHOOSER_DIRS, index);
    return index >= 0;
}

/* Walks the directory list down to dir, from where the chooser is when
   that is on the way, else from the drive's root. */
bool Enter(HWND chooser, const std::string &dir)
{
    size_t here = strlen(chooserDirectory);
    std::string rest = _strnicmp(dir.c_str(), chooserDirectory, here) == 0 ? dir.substr(here) : dir.substr(3);
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t end = rest.find('\\', pos);
        std::string name = rest.substr(pos, end - pos);
        if (!PickDir(chooser, "[" + name + "]")) {
            ADD_FAILURE() << "no [" << name << "] on the way to " << dir << " in " << chooserDirectory;
            return false;
        }
        pos = end + 1;
    }
    return _stricmp(chooserDirectory, dir.c_str()) == 0;
}

HWND OpenChooser(HWND main)
{
    ClickLater(main, IDC_CHOOSE_FILE);
    HWND chooser = WaitForDialog("Load PSX file", GetCurrentProcessId());
    EXPECT_TRUE(chooser != NULL);
    return chooser;
}

/* A scratch folder on Z: (the build tree), for a second drive. */
struct ZFolder {
    std::string path;
    explicit ZFolder(const char *name)
    {
        char unique[64];
        BufFormat(unique, sizeof unique, "chooser-%lu-%s\\", GetCurrentProcessId(), name);
        path = TestBinPath(unique);
        RemoveTree(path);
        EXPECT_TRUE(CreateDirectoryA(path.c_str(), NULL)) << path;
    }
    ~ZFolder() { RemoveTree(path); }
};

} // namespace

TEST(Chooser, MovesThroughDirectoriesAndFiltersByType)
{
    ProgramDir dir("chooser lists");
    for (const char *file : { "PSX\\DEMO.EXE", "PSX\\b.out", "PSX\\a.cpe", "PSX\\y.elf",
                              "PSX\\notes.txt", "PSX\\x.rom", "PSX\\GAMES\\g.exe" })
        dir.AddFile(file);
    dir.scratch.MakeDir("PSX\\EMPTY");
    RunInProcess(dir.path, [&](HWND main) {
        HWND chooser = OpenChooser(main);
        ASSERT_TRUE(chooser != NULL);
        EXPECT_EQ(main, GetWindow(chooser, GW_OWNER));
        /* It opens at the root of the program's drive. */
        EXPECT_STREQ("C:\\", chooserDirectory);
        EXPECT_EQ(0, _stricmp("[-C-]", ComboSelectedText(chooser, IDC_CHOOSER_DRIVES).c_str()));
        EXPECT_EQ(-1, IndexOf(ListItems(chooser, IDC_CHOOSER_DIRS), "[..]", true)) << "no [..] at a root";
        EXPECT_EQ(Lines({ "PSX executables (*.exe, *.cpe, *.elf, *.out)",
                          "Action Replay images (*.rom, *.bin)", "All files (*.*)" }),
                  ComboItems(chooser, IDC_CHOOSER_TYPES));
        EXPECT_EQ(0, ComboSelection(chooser, IDC_CHOOSER_TYPES));

        ASSERT_TRUE(Enter(chooser, dir / "PSX\\"));
        EXPECT_EQ(Lines({ "[..]", "[EMPTY]", "[GAMES]" }), ListItems(chooser, IDC_CHOOSER_DIRS));
        EXPECT_EQ(-1, static_cast<int>(SendDlgItemMessageW(chooser, IDC_CHOOSER_DIRS, LB_GETCURSEL, 0, 0)))
            << "a new directory list has no selection";

        struct Row {
            int type;
            std::vector<std::string> files;
        };
        const Row rows[] = {
            { 0, { "a.cpe", "b.out", "DEMO.EXE", "y.elf" } },
            { 1, { "x.rom" } },
            { 2, { "a.cpe", "b.out", "DEMO.EXE", "notes.txt", "x.rom", "y.elf" } },
        };
        for (const Row &row : rows) {
            SCOPED_TRACE(row.type);
            Pick(chooser, IDC_CHOOSER_TYPES, row.type);
            EXPECT_EQ(row.files, ListItems(chooser, IDC_CHOOSER_FILES));
            EXPECT_EQ(0, static_cast<int>(SendDlgItemMessageW(chooser, IDC_CHOOSER_FILES, LB_GETCURSEL, 0, 0)));
        }

        /* [NAME] moves down, [..] moves up. */
        ASSERT_TRUE(PickDir(chooser, "[GAMES]"));
        EXPECT_EQ(dir / "PSX\\GAMES\\", chooserDirectory);
        EXPECT_EQ(Lines({ "g.exe" }), ListItems(chooser, IDC_CHOOSER_FILES));
        ASSERT_TRUE(PickDir(chooser, "[..]"));
        EXPECT_EQ(dir / "PSX\\", chooserDirectory);
        ASSERT_TRUE(PickDir(chooser, "[..]"));
        EXPECT_EQ(dir.path, chooserDirectory);
        EXPECT_NE(-1, IndexOf(ListItems(chooser, IDC_CHOOSER_DIRS), "[PSX]", true));

        /* OK on an empty file list is Cancel. */
        ASSERT_TRUE(Enter(chooser, dir / "PSX\\EMPTY\\"));
        EXPECT_TRUE(ListItems(chooser, IDC_CHOOSER_FILES).empty());
        EXPECT_TRUE(End(chooser, IDOK));
        EXPECT_EQ(0, chooserResult);
        EXPECT_EQ("", ItemText(main, IDC_COMMAND_LINE));
    });
}

TEST(Chooser, ChosenFilesAreAppendedAndTheNextOpeningStartsAtTheDriveLastUsed)
{
    ProgramDir dir("chooser choose");
    dir.AddPrograms();
    dir.AddFile("PSX\\DEMO.EXE");
    ZFolder ar("ar");
    ASSERT_TRUE(WriteFileText(ar.path + "X.ROM", "x"));
    ASSERT_TRUE(WriteFileText(ar.path + "readme.txt", "x"));
    RunInProcess(dir.path, [&](HWND main) {
        SetItemText(main, IDC_COMMAND_LINE, "-keep");
        /* Cancel hands back nothing and leaves the line alone. */
        HWND chooser = OpenChooser(main);
        ASSERT_TRUE(chooser != NULL);
        ASSERT_TRUE(Enter(chooser, dir / "PSX\\"));
        EXPECT_TRUE(End(chooser, IDCANCEL));
        EXPECT_EQ(0, chooserResult);
        EXPECT_EQ("-keep", ItemText(main, IDC_COMMAND_LINE));
        SetItemText(main, IDC_COMMAND_LINE, "");

        /* A program, then an Action Replay image on the other drive. */
        chooser = OpenChooser(main);
        ASSERT_TRUE(chooser != NULL);
        EXPECT_STREQ("C:\\", chooserDirectory) << "back at the root of the drive";
        ASSERT_TRUE(Enter(chooser, dir / "PSX\\"));
        EXPECT_EQ(std::vector<std::string>({ "DEMO.EXE" }), ListItems(chooser, IDC_CHOOSER_FILES));
        EXPECT_TRUE(End(chooser, IDOK));
        EXPECT_EQ(1, chooserResult);
        EXPECT_EQ(dir / "PSX\\DEMO.EXE", chooserPath);
        EXPECT_EQ(dir / "PSX\\DEMO.EXE", ItemText(main, IDC_COMMAND_LINE));

        chooser = OpenChooser(main);
        ASSERT_TRUE(chooser != NULL);
        int z = IndexOf(ComboItems(chooser, IDC_CHOOSER_DRIVES), "[-Z-]", true);
        ASSERT_GE(z, 0);
        Pick(chooser, IDC_CHOOSER_DRIVES, z);
        EXPECT_STREQ("Z:\\", chooserDirectory);
        ASSERT_TRUE(Enter(chooser, ar.path));
        Pick(chooser, IDC_CHOOSER_TYPES, 1);
        EXPECT_EQ(std::vector<std::string>({ "X.ROM" }), ListItems(chooser, IDC_CHOOSER_FILES));
        EXPECT_TRUE(End(chooser, IDOK));
        EXPECT_EQ(1 * 16 + 1, chooserResult);
        EXPECT_EQ(dir / "PSX\\DEMO.EXE" + " -a" + ar.path + "X.ROM", ItemText(main, IDC_COMMAND_LINE));

        /* The third opening starts at the root of Z:, the drive last used. */
        chooser = OpenChooser(main);
        ASSERT_TRUE(chooser != NULL);
        EXPECT_STREQ("Z:\\", chooserDirectory);
        EXPECT_EQ(0, _stricmp("[-Z-]", ComboSelectedText(chooser, IDC_CHOOSER_DRIVES).c_str()));
        EXPECT_TRUE(End(chooser, IDCANCEL));

        /* Run: the program path has blanks, so it reaches the emulator as
           several words, and the image as one. */
        Click(main, IDC_RUN);
        std::vector<std::string> want = { dir / "KOVA.EXE" };
        std::string line = ItemText(main, IDC_COMMAND_LINE);
        for (size_t pos = 0; (pos = line.find_first_not_of(' ', pos)) != std::string::npos;) {
            size_t end = line.find(' ', pos);
            want.push_back(line.substr(pos, end - pos));
            pos = end;
        }
        EXPECT_GT(want.size(), 3u);
        std::vector<std::string> got = ArgumentsSeen(dir);
        EXPECT_EQ(want, got);
        EXPECT_EQ("-a" + ar.path + "X.ROM", got.back());
    });
}

TEST(Chooser, ADirectoryWithoutADriveLetterOpensOnTheFirstDrive)
{
    ProgramDir dir("chooser network");
    RunInProcess(dir.path, [&](HWND main) {
        BufSet(chooserDirectory, "\\\\server\\share\\");
        HWND chooser = OpenChooser(main);
        ASSERT_TRUE(chooser != NULL);
        std::vector<std::string> drives = ComboItems(chooser, IDC_CHOOSER_DRIVES);
        ASSERT_FALSE(drives.empty());
        EXPECT_EQ(0, ComboSelection(chooser, IDC_CHOOSER_DRIVES));
        char root[8];
        BufFormat(root, sizeof root, "%c:\\", toupper(static_cast<unsigned char>(drives[0][2])));
        EXPECT_STREQ(root, chooserDirectory);
        EXPECT_FALSE(ListItems(chooser, IDC_CHOOSER_DIRS).empty());
        EXPECT_TRUE(End(chooser, IDCANCEL));
    });
}
