/* The main dialog in this process, on real folders, files and registry
   values: initial states, enable rules, lists, and what Save writes. */
#include <string.h>

#include "cfg_test.h"
#include "configurator.h"

namespace {

/* Clicks box twice: before and after each click its check is the other
   one, the dependents are enabled exactly while box is checked ==
   enabledWhenChecked, and the kept boxes keep their checks. */
void ExpectToggles(HWND main, int box, bool checked, std::initializer_list<int> dependents,
                   bool enabledWhenChecked, std::initializer_list<int> kept = {})
{
    std::vector<bool> keptChecks;
    for (int id : kept)
        keptChecks.push_back(Checked(main, id));
    for (int click = 0; click < 3; click++, checked = !checked) {
        SCOPED_TRACE(testing::Message() << "box " << box << " after " << click << " clicks");
        if (click)
            Click(main, box);
        EXPECT_EQ(checked, Checked(main, box));
        for (int id : dependents)
            EXPECT_EQ(checked == enabledWhenChecked, Enabled(main, id)) << id;
        size_t i = 0;
        for (int id : kept)
            EXPECT_EQ(keptChecks[i++], Checked(main, id)) << id;
    }
}

std::string Long(const char *prefix, size_t length, const char *suffix)
{
    std::string s = prefix;
    while (s.size() + strlen(suffix) < length)
        s += static_cast<char>('a' + s.size() % 26);
    return s + suffix;
}

} // namespace

TEST(MainDialog, WithoutIniOrBiosTheDefaultsShowAndTheFirstSaveWritesThemInOrder)
{
    SerialPorts ports({ "COM1" });
    ProgramDir dir("defaults");
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(PadIdle(), "padidle.dll");
    RunInProcess(dir.path, [&](HWND main) {
        EXPECT_EQ("Compiler, Emulate BIOS; America", Switches(main));
        EXPECT_FALSE(Enabled(main, IDC_BIOS_LIST));
        for (int id : { IDC_VERBOSE, IDC_DISASM, IDC_DEBUGGER, IDC_SECTOR_CACHE, IDC_USE_SERIAL })
            EXPECT_TRUE(Enabled(main, id)) << id;
        EXPECT_EQ(Lines({ "America", "Europe", "Japan" }), ComboItems(main, IDC_COUNTRY));
        /* Serial mapper off: the port list is filled but disabled. */
        EXPECT_EQ(std::vector<std::string>({ "COM1" }), ComboItems(main, IDC_PORT_LIST));
        EXPECT_FALSE(Enabled(main, IDC_PORT_LIST));
        /* No memory cards: empty, disabled lists. */
        EXPECT_TRUE(ComboItems(main, IDC_MEMCARD1).empty());
        EXPECT_FALSE(Enabled(main, IDC_MEMCARD1));
        EXPECT_FALSE(Enabled(main, IDC_MEMCARD2));
        EXPECT_EQ("", ItemText(main, IDC_COMMAND_LINE));

        /* No BIOS image: the click changes nothing. */
        Click(main, IDC_EMULATE_BIOS);
        EXPECT_EQ("Compiler, Emulate BIOS; America", Switches(main));
        EXPECT_FALSE(Enabled(main, IDC_BIOS_LIST));

        EXPECT_FALSE(FileExists(dir / "KOVA.INI")) << "nothing is written before Save";
        Click(main, IDC_SAVE);
        EXPECT_EQ(kFirstSave, dir.Ini());
    });
}

TEST(MainDialog, FamiliesWithoutPluginsAreDisabled)
{
    ProgramDir dir("families");
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(PadIdle(), "padidle.dll");
    /* Each family's list, in the families' order. */
    const Lines items[PLUGIN_TYPE_COUNT] = { {}, {}, { "PadIdle 1.0" }, {}, { "CDIdle 1.0" } };
    RunInProcess(dir.path, [&](HWND main) {
        for (int f = 0; f < PLUGIN_TYPE_COUNT; f++) {
            const FamilyControls &family = kFamilies[f];
            SCOPED_TRACE(family.installName);
            bool filled = !items[f].empty();
            EXPECT_EQ(items[f], ComboItems(main, family.list));
            EXPECT_EQ(filled ? 0 : -1, ComboSelection(main, family.list));
            for (int id : { family.list, family.about, family.configure })
                EXPECT_EQ(filled, Enabled(main, id)) << id;
        }
    });
}

TEST(MainDialog, TheChooserButtonsIconIsShownAndGoesWithTheDialog)
{
    ProgramDir dir("icon");
    HICON icon = NULL;
    for (int run = 0; run < 2; run++) {
        SCOPED_TRACE(run);
        RunInProcess(dir.path, [&](HWND main) {
            icon = reinterpret_cast<HICON>(
                SendDlgItemMessageA(main, IDC_CHOOSE_FILE, BM_GETIMAGE, IMAGE_ICON, 0));
            ASSERT_TRUE(icon != NULL);
            ICONINFO info;
            ASSERT_TRUE(GetIconInfo(icon, &info));
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
        });
        /* Each opening loads its own copy: none is left behind. */
        ICONINFO info;
        EXPECT_FALSE(GetIconInfo(icon, &info)) << "the icon outlived its dialog";
    }
}

TEST(MainDialog, DebuggerDisablesVerboseAndShowCodeButKeepsTheirChecks)
{
    ProgramDir dir("debugger");
    dir.AddFile("KOVA.INI", "[KOVA]\r\nDebugger=ON\r\nVerbose=on\r\nDisasm=off\r\n");
    RunInProcess(dir.path, [&](HWND main) {
        EXPECT_EQ("Compiler, Emulate BIOS, Verbose, Run debugger; America", Switches(main));
        ExpectToggles(main, IDC_DEBUGGER, true, { IDC_VERBOSE, IDC_DISASM }, false,
                      { IDC_VERBOSE, IDC_DISASM });
        /* Save takes the disabled boxes' checks as they are. */
        Click(main, IDC_SAVE);
    });
    EXPECT_NE(std::string::npos, dir.Ini().find("Debugger=on\r\nVerbose=on\r\nDisasm=off\r\n"))
        << dir.Ini();
}

TEST(MainDialog, BiosCheckBoxTogglesTheListWhenImagesExist)
{
    ProgramDir dir("bios toggle");
    dir.AddFile("BIOS\\scph.bin");
    RunInProcess(dir.path, [&](HWND main) {
        ExpectToggles(main, IDC_EMULATE_BIOS, true, { IDC_BIOS_LIST }, false);
        /* Serial mapper: the port list follows the box. */
        ExpectToggles(main, IDC_USE_SERIAL, false, { IDC_PORT_LIST }, true);
    });
}

TEST(MainDialog, ListsAreInNameOrderWithTheFirstPreselectedWhateverTheIniSays)
{
    SerialPorts ports({ "COM7", "COM10", "COM2" });
    ProgramDir dir("lists");
    dir.AddFile("BIOS\\zeta.bin");
    dir.AddFile("BIOS\\Alpha.bin");
    dir.AddFile("BIOS\\mid.bin");
    dir.AddFile("BIOS\\notes.txt");
    dir.scratch.MakeDir("BIOS\\folder.bin");
    dir.AddFile("MEMCARDS\\slot2.mcd");
    dir.AddFile("MEMCARDS\\card.mcd");
    dir.AddFile("KOVA.INI", "[KOVA]\r\nEmulateBios=OFF\r\nRomName=zeta.bin\r\nUseSerial=on\r\n"
                            "ComPort=COM7\r\nMemCard1=slot2.mcd\r\nMemCard2=slot2.mcd\r\n"
                            "CDCountry=2\r\nCpuMode=INTERPRETER\r\nCDUseCache=on\r\n");
    RunInProcess(dir.path, [&](HWND main) {
        EXPECT_EQ(Lines({ "Alpha.bin", "mid.bin", "zeta.bin" }), ComboItems(main, IDC_BIOS_LIST));
        EXPECT_EQ(Lines({ "card.mcd", "slot2.mcd" }), ComboItems(main, IDC_MEMCARD1));
        EXPECT_EQ(Lines({ "card.mcd", "slot2.mcd" }), ComboItems(main, IDC_MEMCARD2));
        EXPECT_EQ(Lines({ "COM10", "COM2", "COM7" }), ComboItems(main, IDC_PORT_LIST));
        /* Slot 2 starts on the second card: the slots share no file by default. */
        for (int id : { IDC_BIOS_LIST, IDC_MEMCARD1, IDC_MEMCARD2, IDC_PORT_LIST }) {
            EXPECT_EQ(id == IDC_MEMCARD2 ? 1 : 0, ComboSelection(main, id)) << id;
            EXPECT_TRUE(Enabled(main, id)) << id;
        }
        EXPECT_EQ("Interpreter, Enable serial mapper, Enable Sector Cache; Japan", Switches(main));
    });
}

TEST(MainDialog, CardSlotsPreselectTheFirstAndTheSecondCardInNameOrder)
{
    struct Row {
        Lines cards;
        const char *slot1, *slot2;  /* "" for an empty, disabled list */
    };
    const Row rows[] = {
        { {}, "", "" },
        { { "only.mcd" }, "only.mcd", "only.mcd" },
        { { "b.mcd", "A.mcd" }, "A.mcd", "b.mcd" },
        { { "z.mcd", "m.mcd", "c.mcd" }, "c.mcd", "m.mcd" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.slot1);
        ProgramDir dir("card slots");
        for (const std::string &card : row.cards)
            dir.AddFile("MEMCARDS\\" + card);
        RunInProcess(dir.path, [&](HWND main) {
            EXPECT_EQ(row.slot1, ComboSelectedText(main, IDC_MEMCARD1));
            EXPECT_EQ(row.slot2, ComboSelectedText(main, IDC_MEMCARD2));
            EXPECT_EQ(!row.cards.empty(), Enabled(main, IDC_MEMCARD2));
        });
    }
}

TEST(MainDialog, SaveWritesEveryNameWholeAndUpdatesAnExistingFileInPlace)
{
    const std::string bios = Long("a-bios-image-", 120, ".bin");
    const std::string card = Long("a-memory-card-", 150, ".mcd");
    const std::string port = Long("AUX", 90, "");
    SerialPorts ports({ "COM1", port });
    ProgramDir dir("long names");
    dir.AddFile("BIOS\\" + bios);
    dir.AddFile("BIOS\\b.bin");
    dir.AddFile("MEMCARDS\\" + card);
    dir.AddFile("MEMCARDS\\b.mcd");
    dir.AddFile("KOVA.INI", "[GPUHOST]\r\nPluginName=hosted.dll\r\n"
                            "[KOVA]\r\nEmulateBios=off\r\nUseSerial=On\r\nCDCountry=21\r\n"
                            "[CDIOCTRL]\r\nDriveLetter=D\r\n");
    RunInProcess(dir.path, [&](HWND main) {
        EXPECT_EQ(port, ComboSelectedText(main, IDC_PORT_LIST));
        /* Europe, and the debugger's neighbours as Save takes them. */
        SelectCombo(main, IDC_COUNTRY, 1);
        Click(main, IDC_VERBOSE);
        Click(main, IDC_SECTOR_CACHE);
        Click(main, IDC_INTERPRETER);
        SelectCombo(main, IDC_MEMCARD2, 1);
        Click(main, IDC_SAVE);
    });
    EXPECT_EQ("[GPUHOST]\r\nPluginName=hosted.dll\r\n"
              "[KOVA]\r\nEmulateBios=off\r\nUseSerial=on\r\nCDCountry=1\r\n"
              "RomName=" + bios + "\r\nDebugger=off\r\nVerbose=on\r\nDisasm=off\r\n"
              "CDUseCache=on\r\nCpuMode=Interpreter\r\nComPort=" + port + "\r\n"
              "MemCard1=" + card + "\r\nMemCard2=b.mcd\r\n"
              "[CDIOCTRL]\r\nDriveLetter=D\r\n",
              dir.Ini());
}

TEST(MainDialog, SaveForcesBiosEmulationOnWithoutAnImageAndWritesAnEmptyPortWithoutPorts)
{
    SerialPorts ports({});
    ProgramDir dir("forced");
    dir.AddFile("KOVA.INI", "[KOVA]\r\nEmulateBios=off\r\nUseSerial=on\r\n");
    RunInProcess(dir.path, [&](HWND main) {
        EXPECT_EQ("Compiler, Emulate BIOS, Enable serial mapper; America", Switches(main));
        EXPECT_FALSE(Enabled(main, IDC_PORT_LIST)) << "no port listed";
        Click(main, IDC_SAVE);
    });
    EXPECT_EQ("[KOVA]\r\nEmulateBios=on\r\nUseSerial=on\r\nDebugger=off\r\nVerbose=off\r\n"
              "Disasm=off\r\nCDUseCache=off\r\nCpuMode=Compiler\r\nComPort=\r\nCDCountry=0\r\n"
              "MemCard1=\r\nMemCard2=\r\n",
              dir.Ini());
}

namespace {

/* A volume with little room, as the in-process configurator sees it: what
   GetDiskFreeSpaceExA reports, and any file of the program directory cut
   at `cut` bytes after every profile write, reported as success, as Wine
   does on a full volume. */
struct SmallVolume {
    ImportHook *write, *space;
    std::string dir;
    LONGLONG cut;  /* -1: never */
    ULONGLONG free;
} volume;

BOOL WINAPI CuttingProfileWrite(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    typedef BOOL(WINAPI * WriteFn)(LPCSTR, LPCSTR, LPCSTR, LPCSTR);
    BOOL ok = reinterpret_cast<WriteFn>(volume.write->original())(section, key, value, file);
    if (section && file && volume.cut >= 0 &&
        std::string(file).compare(0, volume.dir.size(), volume.dir) == 0) {
        HANDLE h = CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
        LARGE_INTEGER size, cut;
        cut.QuadPart = volume.cut;
        if (h != INVALID_HANDLE_VALUE && GetFileSizeEx(h, &size) && size.QuadPart > cut.QuadPart &&
            SetFilePointerEx(h, cut, NULL, FILE_BEGIN)) {
            SetEndOfFile(h);
            volume.free = 0;
        }
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    return ok;
}

BOOL WINAPI ReportedFreeSpace(LPCSTR, PULARGE_INTEGER available, PULARGE_INTEGER total,
                              PULARGE_INTEGER free)
{
    available->QuadPart = volume.free;
    if (total)
        total->QuadPart = 1ull << 30;
    if (free)
        free->QuadPart = volume.free;
    return TRUE;
}

} // namespace

TEST(MainDialog, AnIniThatCannotBeWrittenGivesOneMessageNamingTheFile)
{
    enum Fault { READ_ONLY, HELD_OPEN, CUT_AT_4096, CUT_AT_0, NO_ROOM };
    struct Row {
        const char *what;
        Fault fault;
        bool hasIni;
        const char *says;  /* in the one message, beside the file's name */
        bool installs;
        int button;  /* Save, or a plugin's Configure */
    };
    const Row rows[] = {
        { "read-only", READ_ONLY, true, "could not be written", true, IDC_SAVE },
        { "held open", HELD_OPEN, true, "could not be written", true, IDC_SAVE },
        { "the disk fills while writing, 4090 bytes before", CUT_AT_4096, true, ": the disk is full", false, IDC_SAVE },
        { "the disk fills while writing the first file", CUT_AT_0, false, ": the disk is full", false, IDC_SAVE },
        { "no room for the settings and the plugins", NO_ROOM, true, "Nothing was saved", false, IDC_SAVE },
        { "the disk fills while a plugin's configure call writes", CUT_AT_4096, true,
          "The plugin's settings could not be written", false, IDC_SPU_CONFIGURE },
    };
    ImportHook write(GetModuleHandleA(NULL), "kernel32.dll", "WritePrivateProfileStringA",
                     reinterpret_cast<void *>(CuttingProfileWrite));
    ImportHook space(GetModuleHandleA(NULL), "kernel32.dll", "GetDiskFreeSpaceExA",
                     reinterpret_cast<void *>(ReportedFreeSpace));
    ASSERT_TRUE(write.installed() && space.installed());
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ProgramDir dir("unwritable ini");
        dir.AddPlugin(CdIdle(), "cdidle.dll");
        dir.AddPlugin(Fake("recorder"), "recorder.dll");
        /* Another section last, as a plugin leaves it, filling the file to 4090 bytes. */
        std::string before = "[KOVA]\r\nEmulateBios=on\r\n[GPUHOST]\r\nPluginName=";
        before += std::string(4090 - before.size() - 2, 'p') + "\r\n";
        if (row.hasIni)
            dir.AddFile("KOVA.INI", before);
        volume = { &write, &space, dir.path,
                   row.fault == CUT_AT_4096 ? 4096 : row.fault == CUT_AT_0 ? 0 : -1,
                   row.fault == NO_ROOM ? 8192u : 1ull << 30 };
        HANDLE held = INVALID_HANDLE_VALUE;
        if (row.fault == READ_ONLY) {
            ASSERT_TRUE(SetFileAttributesA((dir / "KOVA.INI").c_str(), FILE_ATTRIBUTE_READONLY));
        }
        std::string text;
        RunInProcess(dir.path, [&](HWND main) {
            if (row.fault == HELD_OPEN)
                held = CreateFileA((dir / "KOVA.INI").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
            ClickLater(main, row.button);
            EXPECT_TRUE(Answer("System Error", IDOK, &text));
            EXPECT_EQ(NULL, WaitForDialog("System Error", GetCurrentProcessId(), 500)) << "one message only";
        });
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        SetFileAttributesA((dir / "KOVA.INI").c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_NE(std::string::npos, text.find(row.says)) << text;
        EXPECT_NE(std::string::npos, text.find(row.fault == NO_ROOM ? dir.path : dir / "KOVA.INI")) << text;
        EXPECT_EQ(row.hasIni, FileExists(dir / "KOVA.INI"));
        EXPECT_EQ(row.hasIni ? before : "", dir.Ini()) << "not a byte lost or gained";
        if (row.installs)
            EXPECT_EQ(ReadFileBytes(CdIdle()), ReadFileBytes(dir / "CDRend.dll"));
        else
            EXPECT_FALSE(FileExists(dir / "CDRend.dll"));
        EXPECT_EQ(Lines(), SearchOrder(dir / "*.tmp")) << "stayed behind";
    }
}
