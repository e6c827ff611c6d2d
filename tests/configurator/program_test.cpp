/* KOVACFG.EXE itself, started in a program directory of its own, in a
   process of its own: also for what it must survive (odd folders, files and
   values), where a crash ends that process and every test ends with Exit
   and the exit code 0. */
#include <algorithm>
#include <map>

#include "cfg_test.h"
#include "configurator.h"
#include "startup.h"

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

typedef std::map<std::string, FileState> Files;

/* Every file and folder under dir, by its path below dir (a folder's ends in '\\'). */
void Snapshot(const std::string &dir, Files *files, const std::string &prefix = "")
{
    for (const std::string &name : SearchOrder(dir + "*", true)) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExA((dir + name).c_str(), GetFileExInfoStandard, &data);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*files)[prefix + name + "\\"] = FileState{ {}, {}, data.dwFileAttributes };
            Snapshot(dir + name + "\\", files, prefix + name + "\\");
        } else {
            (*files)[prefix + name] =
                FileState{ ReadFileBytes(dir + name), data.ftLastWriteTime, data.dwFileAttributes };
        }
    }
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
    EXPECT_EQ("KOVA Configurator 1.0 Beta 1\r\n\r\nWritten by Tovrin\r\n"
              "Logo designed by !+Tessel+!.",
              ItemText(about, IDC_ABOUT_TEXT));
    EXPECT_TRUE(End(about, IDOK));
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
        base.AddPrograms(in);
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
        base.AddFile(in + "MEMCARDS\\kov2a.tmp", "half a card");

        Files before, after;
        Snapshot(base.path, &before);
        ASSERT_EQ(1u, before.count(in + "CDRend.dll")) << "the snapshot sees the files";
        Sleep(20); /* a rewrite would show in the time stamps */
        {
            Configurator cfg(start);
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
                before.erase(in + "MEMCARDS\\kov2a.tmp");
            }
        }
        Snapshot(base.path, &after);
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
    dir.AddPlugin(Fake("twofaced"), "twofaced.dll");
    dir.AddPlugin(PadIdle(), "padidle.dll");
    dir.AddPlugin(Fake("pad"), "fakepad.dll");
    dir.AddFile("MEMCARDS\\card1.mcd");
    dir.AddFile("MEMCARDS\\card2.mcd");

    Configurator cfg(dir.path);
    HWND main = NULL;
    EXPECT_EQ(Lines({ "Loading INI settings...", "Searching for plugins..." }),
              WatchSplash(cfg.processId(), &main));
    ASSERT_TRUE(main != NULL);

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

    const Lines want = { "KOVA stand-in", "argc 3", "argv[0] " + (dir / "KOVA.EXE"), "argv[1] demo",
                         "argv[2] -x", "settings [KOVA]", "  EmulateBios=on", "  Debugger=off",
                         "  Verbose=off", "  Disasm=off", "  CDUseCache=on", "  UseSerial=off",
                         "  CpuMode=Interpreter", "  CDCountry=1", "  MemCard1=card1.mcd",
                         "  MemCard2=card2.mcd", "SPU SpuRend.dll: not installed",
                         "GPU GpuRend.dll: not installed", "CD CDRend.dll: loaded",
                         "CD CD_Open -> 0", "PAD1 Joy0Rend.dll: loaded", "PAD1 JOY0_Open -> 0",
                         "PAD2 Joy1Rend.dll: not installed" };
    Lines transcript = SplitLines(ReadFileText(dir / "STANDIN.LOG"));
    ASSERT_GE(transcript.size(), want.size());
    EXPECT_EQ(want, Lines(transcript.begin(), transcript.begin() + want.size()));
    EXPECT_EQ("result: ok", transcript.back());
}

namespace {

/* A made-up plugin of each family that is named after its file. */
const char *const kNamed[PLUGIN_TYPE_COUNT] = { "named_gpu", "named_spu", "named_joy0",
                                                "named_joy1", "named_cd" };

/* A library with bytes appended behind its last section: it loads as the
   library does, and its bytes tell which copy was installed. */
std::vector<uint8_t> MarkedCopy(const std::string &library, const std::string &marker)
{
    std::vector<uint8_t> bytes = ReadFileBytes(library);
    EXPECT_FALSE(bytes.empty()) << library;
    bytes.insert(bytes.end(), marker.begin(), marker.end());
    return bytes;
}

void Put(const std::string &path, const std::vector<uint8_t> &bytes)
{
    EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size())) << path;
}

/* The main dialog of a started configurator; on a time-out, what the
   process shows instead. */
HWND MainOf(Configurator &cfg, DWORD timeoutMs = 20000)
{
    HWND main = cfg.Main(timeoutMs);
    EXPECT_TRUE(main != NULL) << "no main dialog; shown instead: "
                              << testing::PrintToString(OtherDialogs(cfg.processId(), NULL));
    return main;
}

/* Nothing answers a click: no dialog of the process appears. */
void ExpectNoDialogAppears(const Configurator &cfg, HWND main, const char *after)
{
    Sleep(300);
    EXPECT_EQ(Lines(), OtherDialogs(cfg.processId(), main)) << "after " << after;
}

} // namespace


TEST(Program, ThreeHundredLibraries)
{
    ProgramDir dir("300 libraries");
    dir.AddPrograms();
    /* Every copy has bytes of its own. One in twenty is garbage and one in
       twenty loads but answers no about call (neither counts); one in twenty
       reports family code 0 (catalogued, listed nowhere); the others are
       plugins of the five families in turn, each named after its file. */
    enum { NOT_A_PLUGIN = -2, UNLISTED = -1 };
    std::map<std::string, int> kindOf;
    for (int i = 0; i < 300; i++) {
        char name[32];
        BufFormat(name, sizeof name, "lib%03d.dll", i);
        std::string path = dir / (std::string("PLUGIN\\") + name);
        std::string marker = std::string("copy ") + name;
        const int every20 = i % 20;
        const char *fake = every20 == 15 ? "noabout" : every20 == 10 ? "type0" : kNamed[i % 5];
        Put(path, every20 == 5 ? GarbageBytes(2048, 1000u + i) : MarkedCopy(Fake(fake), marker));
        kindOf[name] = every20 == 5 || every20 == 15 ? NOT_A_PLUGIN
                                                     : every20 == 10 ? UNLISTED : i % 5;
    }
    /* The catalogue takes the first 256 plugins the search delivers. */
    Lines lists[PLUGIN_TYPE_COUNT], files[PLUGIN_TYPE_COUNT];
    int plugins = 0;
    for (const std::string &name : SearchOrder(dir / "PLUGIN\\*.dll")) {
        int kind = kindOf.count(name) ? kindOf[name] : NOT_A_PLUGIN;
        /* Every plugin is counted; one past the 256th or of code 0 is listed nowhere. */
        if (kind == NOT_A_PLUGIN || ++plugins > 256 || kind == UNLISTED)
            continue;
        lists[kind].push_back(name.substr(0, name.size() - 4) + " 1.0");
        files[kind].push_back(name);
    }
    ASSERT_EQ(270, plugins) << "the search does not see every library";

    Configurator cfg(dir.path);
    HWND main = MainOf(cfg, 90000);
    ASSERT_TRUE(main != NULL);
    EXPECT_EQ(Lines(), OtherDialogs(cfg.processId(), main)) << "no message about the libraries";
    size_t listed = 0;
    for (int f = 0; f < PLUGIN_TYPE_COUNT; f++) {
        SCOPED_TRACE(kFamilies[f].installName);
        Lines items = ComboItems(main, kFamilies[f].list);
        EXPECT_EQ(lists[f], items);
        EXPECT_EQ(0, ComboSelection(main, kFamilies[f].list));
        listed += items.size();
        /* The last entry of every list, the one furthest into the catalogue. */
        SelectCombo(main, kFamilies[f].list, static_cast<int>(items.size()) - 1);
    }
    EXPECT_LE(listed, 256u);
    Click(main, IDC_SAVE);
    EXPECT_EQ(Lines(), OtherDialogs(cfg.processId(), main)) << "Save reports nothing";
    for (int f = 0; f < PLUGIN_TYPE_COUNT; f++) {
        SCOPED_TRACE(kFamilies[f].installName);
        ASSERT_FALSE(files[f].empty());
        EXPECT_TRUE(ReadFileBytes(dir / ("PLUGIN\\" + files[f].back())) ==
                    ReadFileBytes(dir / kFamilies[f].installName))
            << "installed is not " << files[f].back();
    }
    EXPECT_EQ(0u, cfg.Exit());
}

TEST(Program, FileNamesOf100Characters)
{
    ProgramDir dir("100 characters");
    dir.AddPrograms();
    std::string name = "a-plugin-file-name-of-one-hundred-characters-";
    while (name.size() < 96)
        name += static_cast<char>('0' + name.size() % 10);
    name += ".dll";
    ASSERT_EQ(100u, name.size());
    /* A library under the first 31 characters of that name: what a name cut
       to 31 characters would load instead (LoadLibrary adds ".dll"). */
    const std::string cut = name.substr(0, 31) + ".dll";
    Put(dir / ("PLUGIN\\" + name), MarkedCopy(Fake("named_cd"), "the long one"));
    Put(dir / ("PLUGIN\\" + cut), MarkedCopy(Fake("named_cd"), "the cut one"));
    /* The plugin's name is its file name without ".dll", cut to 63. */
    const std::string longLine = name.substr(0, 63) + " 1.0";
    const std::string cutLine = name.substr(0, 31) + " 1.0";

    Configurator cfg(dir.path);
    HWND main = MainOf(cfg);
    ASSERT_TRUE(main != NULL);
    Lines cds = ComboItems(main, IDC_CD_LIST);
    EXPECT_EQ(2u, cds.size());
    EXPECT_GE(IndexOf(cds, cutLine), 0) << testing::PrintToString(cds);
    int index = IndexOf(cds, longLine);
    ASSERT_GE(index, 0) << testing::PrintToString(cds);
    SelectCombo(main, IDC_CD_LIST, index);
    Click(main, IDC_CD_CONFIGURE);
    EXPECT_EQ(dir / ("PLUGIN\\" + name), IniValue(dir / "KOVA.INI", "PROBE", "Module"))
        << "Configure loaded another library";
    Click(main, IDC_SAVE);
    EXPECT_TRUE(ReadFileBytes(dir / ("PLUGIN\\" + name)) == ReadFileBytes(dir / KOVA_INSTALL_NAME_CD))
        << "Save installed another library";
    EXPECT_EQ(0u, cfg.Exit());
}

/* ---- KOVA.INI ---- */

namespace {

typedef std::vector<std::pair<std::string, std::string>> Keys;

std::string SectionText(const char *section, const Keys &keys)
{
    std::string text = std::string("[") + section + "]\r\n";
    for (const auto &key : keys)
        text += key.first + "=" + key.second + "\r\n";
    return text;
}

std::string Padded(const char *start, char fill, size_t length)
{
    std::string value = start;
    value.resize(length, fill);
    return value;
}

struct IniVariant {
    const char *what;
    Keys stored;           /* section KOVA as found */
    const char *switches;  /* what the main dialog shows */
    Keys saved;            /* section KOVA after Save */
};

std::vector<IniVariant> IniVariants()
{
    std::vector<IniVariant> variants;
    variants.push_back({ "letters in odd case",
                         { { "EmulateBios", "oFf" }, { "CpuMode", "INTERPRETER" }, { "Verbose", "ON" },
                           { "Disasm", "On" }, { "Debugger", "oFF" }, { "CDUseCache", "oN" },
                           { "UseSerial", "OFF" }, { "CDCountry", "2" } },
                         "Interpreter, Verbose, Show PSX code, Enable Sector Cache; Japan",
                         { { "EmulateBios", "off" }, { "CpuMode", "Interpreter" }, { "Verbose", "on" },
                           { "Disasm", "on" }, { "Debugger", "off" }, { "CDUseCache", "on" },
                           { "UseSerial", "off" }, { "CDCountry", "2" }, { "RomName", "scph.bin" },
                           { "MemCard1", "card.mcd" }, { "MemCard2", "card.mcd" } } });
    /* Values of the longest length a setting has, and longer than that,
       that begin with a word the configurator knows: they are not that
       word, so every flag keeps its default; the country is the first
       character. */
    for (size_t length : { 1023, 4000 }) {
        const bool longer = length > 1023;
        variants.push_back({ longer ? "values of 4000 characters" : "values of 1023 characters",
                             { { "EmulateBios", Padded("oFf", 'f', length) },
                               { "CpuMode", Padded("INTERPRETER", 'R', length) },
                               { "Verbose", Padded("ON", 'N', length) },
                               { "Disasm", Padded("on", 'n', length) },
                               { "Debugger", Padded("ON", '!', length) },
                               { "CDUseCache", Padded("", 'o', length) },
                               { "UseSerial", Padded("on", '.', length) },
                               { "CDCountry", Padded(longer ? "2" : "1", '9', length) } },
                             longer ? "Compiler, Emulate BIOS; Japan"
                                    : "Compiler, Emulate BIOS; Europe",
                             { { "EmulateBios", "on" }, { "CpuMode", "Compiler" }, { "Verbose", "off" },
                               { "Disasm", "off" }, { "Debugger", "off" }, { "CDUseCache", "off" },
                               { "UseSerial", "off" }, { "CDCountry", longer ? "2" : "1" },
                               { "MemCard1", "card.mcd" }, { "MemCard2", "card.mcd" } } });
    }
    return variants;
}

} // namespace

TEST(Program, KovaValuesOf1023CharactersAndOddCase)
{
    /* Sections of plugins around it, one with a value of 1023 characters:
       Save leaves them as they are. */
    const std::string before = SectionText("GPUHOST", { { "PluginName", std::string(1019, 'g') + ".dll" } });
    const std::string after = SectionText("CDIOCTRL", { { "DriveLetter", "E" } });
    for (const IniVariant &variant : IniVariants()) {
        SCOPED_TRACE(variant.what);
        ProgramDir dir("kova values");
        dir.AddPrograms();
        dir.AddFile("BIOS\\scph.bin");
        dir.AddFile("MEMCARDS\\card.mcd");
        dir.AddFile("KOVA.INI", before + SectionText("KOVA", variant.stored) + after);

        Configurator cfg(dir.path);
        HWND main = MainOf(cfg);
        ASSERT_TRUE(main != NULL);
        EXPECT_EQ(variant.switches, Switches(main));
        EXPECT_EQ(!Checked(main, IDC_EMULATE_BIOS), Enabled(main, IDC_BIOS_LIST));
        Click(main, IDC_SAVE);
        EXPECT_EQ(Lines(), OtherDialogs(cfg.processId(), main));
        EXPECT_EQ(0u, cfg.Exit());
        /* Written keys keep their places; new ones come at the section's end. */
        EXPECT_EQ(before + SectionText("KOVA", variant.saved) + after, dir.Ini());
    }
}

TEST(Program, PluginSettingsIntoAnUnwritableIni)
{
    struct Row {
        const char *what;
        bool readOnly;  /* else held open by another program */
    };
    const Row rows[] = { { "read-only", true }, { "held open", false } };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ProgramDir dir("unwritable plugin settings");
        dir.AddPrograms();
        dir.AddPlugin(Fake("named_cd"), "probe.dll");
        const std::string before = "[KOVA]\r\nEmulateBios=on\r\n[PROBE]\r\nModule=as it was\r\n";
        dir.AddFile("KOVA.INI", before);
        if (row.readOnly) {
            ASSERT_TRUE(SetFileAttributesA((dir / "KOVA.INI").c_str(), FILE_ATTRIBUTE_READONLY));
        }
        HANDLE held = INVALID_HANDLE_VALUE;
        {
            Configurator cfg(dir.path);
            HWND main = MainOf(cfg);
            ASSERT_TRUE(main != NULL);
            if (!row.readOnly) {
                held = CreateFileA((dir / "KOVA.INI").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
                ASSERT_NE(INVALID_HANDLE_VALUE, held);
            }
            /* The plugin writes its setting during Configure; it is told
               nothing, the user is told once, after the plugin's call. */
            ClickLater(main, IDC_CD_CONFIGURE);
            std::string text = TakeBox("System Error", main, cfg.processId());
            EXPECT_NE(std::string::npos, text.find("could not be written")) << text;
            EXPECT_NE(std::string::npos, text.find(dir / "KOVA.INI")) << text;
            ExpectNoDialogAppears(cfg, main, "the message");
            EXPECT_EQ(0u, cfg.Exit());
        }
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        SetFileAttributesA((dir / "KOVA.INI").c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(before, dir.Ini()) << "KOVA.INI changed";
    }
}

/* ---- missing folders and programs ---- */

TEST(Program, NoPluginFolder)
{
    struct Row {
        const char *what;
        bool fileNamedPlugin;
    };
    const Row rows[] = { { "no PLUGIN folder", false }, { "a file named PLUGIN instead", true } };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ProgramDir dir("no plugin folder");
        dir.AddPrograms();
        ASSERT_TRUE(RemoveDirectoryA((dir / "PLUGIN").c_str()));
        if (row.fileNamedPlugin)
            dir.AddFile("PLUGIN", "not a folder");
        for (const FamilyControls &family : kFamilies)
            dir.AddFile(family.installName, std::string("installed before as ") + family.installName);

        Configurator cfg(dir.path);
        HWND main = MainOf(cfg);
        ASSERT_TRUE(main != NULL);
        for (const FamilyControls &family : kFamilies) {
            SCOPED_TRACE(family.installName);
            EXPECT_EQ(Lines(), ComboItems(main, family.list));
            for (int id : { family.list, family.about, family.configure })
                EXPECT_FALSE(Enabled(main, id)) << id;
            /* The buttons' commands, as if they came through: nothing. */
            for (int id : { family.about, family.configure })
                PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(main, id)));
        }
        ExpectNoDialogAppears(cfg, main, "the About and Configure commands");
        Click(main, IDC_SAVE);
        EXPECT_EQ(Lines(), OtherDialogs(cfg.processId(), main)) << "Save reports nothing";
        EXPECT_EQ(0u, cfg.Exit());
        EXPECT_EQ("on", IniValue(dir / "KOVA.INI", "KOVA", "EmulateBios")) << "Save wrote KOVA.INI";
        for (const FamilyControls &family : kFamilies)
            EXPECT_EQ(std::string("installed before as ") + family.installName,
                      ReadFileText(dir / family.installName));
    }
}

TEST(Program, NoBiosOrMemcardFolders)
{
    ProgramDir dir("no bios or memcards");
    dir.AddPrograms();
    ASSERT_TRUE(RemoveDirectoryA((dir / "BIOS").c_str()));
    ASSERT_TRUE(RemoveDirectoryA((dir / "MEMCARDS").c_str()));
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddFile("KOVA.INI", "[KOVA]\r\nEmulateBios=off\r\nRomName=gone.bin\r\nMemCard1=gone.mcd\r\n"
                            "MemCard2=gone.mcd\r\n");

    Configurator cfg(dir.path);
    HWND main = MainOf(cfg);
    ASSERT_TRUE(main != NULL);
    for (int id : { IDC_BIOS_LIST, IDC_MEMCARD1, IDC_MEMCARD2 }) {
        EXPECT_EQ(Lines(), ComboItems(main, id)) << id;
        EXPECT_FALSE(Enabled(main, id)) << id;
    }
    /* Nothing to run but the emulated BIOS: the click changes nothing. */
    EXPECT_EQ("Compiler, Emulate BIOS; America", Switches(main));
    Click(main, IDC_EMULATE_BIOS);
    EXPECT_EQ("Compiler, Emulate BIOS; America", Switches(main));
    EXPECT_FALSE(Enabled(main, IDC_BIOS_LIST));
    Click(main, IDC_SAVE);
    EXPECT_EQ(Lines(), OtherDialogs(cfg.processId(), main));
    EXPECT_EQ(0u, cfg.Exit());
    /* RomName is not written with BIOS emulation on. */
    EXPECT_EQ("[KOVA]\r\nEmulateBios=on\r\nRomName=gone.bin\r\nMemCard1=\r\nMemCard2=\r\n"
              "Debugger=off\r\nVerbose=off\r\nDisasm=off\r\nCDUseCache=off\r\nUseSerial=off\r\n"
              "CpuMode=Compiler\r\nCDCountry=0\r\n",
              dir.Ini());
    EXPECT_TRUE(ReadFileBytes(CdIdle()) == ReadFileBytes(dir / KOVA_INSTALL_NAME_CD));
}

TEST(Program, NothingButTheConfigurator)
{
    ScratchDir bare("bare");
    const std::string dir = bare.path();
    ASSERT_TRUE(CopyFileTo(ShippedPath("KOVACFG.exe"), dir + "KOVACFG.EXE"));

    Configurator cfg(dir);
    HWND main = MainOf(cfg);
    ASSERT_TRUE(main != NULL);
    for (const FamilyControls &family : kFamilies)
        for (int id : { family.list, family.about, family.configure })
            EXPECT_FALSE(Enabled(main, id)) << id;
    for (int id : { IDC_BIOS_LIST, IDC_MEMCARD1, IDC_MEMCARD2 })
        EXPECT_FALSE(Enabled(main, id)) << id;
    Click(main, IDC_SAVE);
    EXPECT_EQ(Lines(), OtherDialogs(cfg.processId(), main));
    EXPECT_EQ(kFirstSave, ReadFileText(dir + "KOVA.INI"));
    Lines files = SearchOrder(dir + "*", true);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(Lines({ "KOVA.INI", "KOVACFG.EXE" }), files) << "nothing installed, no folder made";

    SetItemText(main, IDC_COMMAND_LINE, "demo.exe");
    ClickLater(main, IDC_RUN);
    EXPECT_EQ("Cannot run KOVA.EXE", TakeBox("System Error", main, cfg.processId()));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ("demo.exe", ItemText(main, IDC_COMMAND_LINE));
    EXPECT_EQ(0u, cfg.Exit());
}

