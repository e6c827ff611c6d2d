/* The hostile-input checks of the configurator (hostile_test.cpp lists
 * them). Each runs KOVACFG.EXE itself in a program directory of its own,
 * in a process of its own: a crash ends that process, and every check
 * ends with Exit and the exit code 0. */
#include "hostile_rows.h"

#include <algorithm>
#include <map>
#include <string.h>

#include "cfg_test.h"
#include "hostile_support.h"

namespace {

#define NAME_STRING(name) #name,
const char *const kCdNames[] = { KOVA_CD_EXPORTS(NAME_STRING) };
#undef NAME_STRING

/* The five families in their fixed order: lists, buttons, install names. */
struct FamilyControls {
    int list, about, configure;
    const char *installName;
    const char *library;  /* a plugin of the family named after its file */
};
const FamilyControls kFamilies[PLUGIN_TYPE_COUNT] = {
    { IDC_GPU_LIST, IDC_GPU_ABOUT, IDC_GPU_CONFIGURE, KOVA_INSTALL_NAME_GPU, "named_gpu.dll" },
    { IDC_SPU_LIST, IDC_SPU_ABOUT, IDC_SPU_CONFIGURE, KOVA_INSTALL_NAME_SPU, "named_spu.dll" },
    { IDC_JOY0_LIST, IDC_JOY0_ABOUT, IDC_JOY0_CONFIGURE, KOVA_INSTALL_NAME_JOY0, "named_joy0.dll" },
    { IDC_JOY1_LIST, IDC_JOY1_ABOUT, IDC_JOY1_CONFIGURE, KOVA_INSTALL_NAME_JOY1, "named_joy1.dll" },
    { IDC_CD_LIST, IDC_CD_ABOUT, IDC_CD_CONFIGURE, KOVA_INSTALL_NAME_CD, "named_cd.dll" },
};

typedef std::vector<std::string> Items;

/* The names a directory search delivers, in its order: the order in which
   the configurator meets the libraries. */
Items SearchOrder(const std::string &pattern)
{
    Items names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

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

/* The captions of the process's visible dialogs other than the main one:
   message boxes and whatever else would wait for the user. */
struct OtherDialogSearch {
    DWORD processId;
    HWND main;
    Items captions;
};

BOOL CALLBACK CollectOtherDialog(HWND window, LPARAM param)
{
    OtherDialogSearch *search = reinterpret_cast<OtherDialogSearch *>(param);
    char className[32];
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->processId && window != search->main && IsWindowVisible(window) &&
        GetClassNameA(window, className, sizeof className) && strcmp(className, "#32770") == 0)
        search->captions.push_back("\"" + WindowText(window) + "\"");
    return TRUE;
}

Items OtherDialogs(const Configurator &cfg, HWND main)
{
    OtherDialogSearch search = { cfg.processId(), main, {} };
    EnumWindows(CollectOtherDialog, reinterpret_cast<LPARAM>(&search));
    return search.captions;
}

/* The main dialog of a started configurator; on a time-out, what the
   process shows instead. */
HWND MainOf(Configurator &cfg, DWORD timeoutMs = 20000)
{
    HWND main = cfg.Main(timeoutMs);
    EXPECT_TRUE(main != NULL) << "no main dialog; shown instead: "
                              << testing::PrintToString(OtherDialogs(cfg, NULL));
    return main;
}

std::string Line(const std::string &name)
{
    return name + " 1.0";
}

/* Index of an entry in a list, -1 when it is not there. */
int IndexOf(const Items &items, const std::string &item)
{
    for (size_t i = 0; i < items.size(); i++)
        if (items[i] == item)
            return static_cast<int>(i);
    return -1;
}

/* Nothing answers a click: no dialog of the process appears. */
void ExpectNoDialogAppears(const Configurator &cfg, HWND main, const char *after)
{
    Sleep(300);
    EXPECT_EQ(Items(), OtherDialogs(cfg, main)) << "after " << after;
}

std::string ProfileValue(const std::string &ini, const char *section, const char *key)
{
    std::vector<char> value(16384);
    GetPrivateProfileStringA(section, key, "<absent>", value.data(), static_cast<DWORD>(value.size()),
                             ini.c_str());
    return value.data();
}

/* The names in a folder, sorted, without "." and "..". */
Items FilesIn(const std::string &dir)
{
    Items files;
    for (const std::string &name : SearchOrder(dir + "*"))
        if (name != "." && name != "..")
            files.push_back(name);
    std::sort(files.begin(), files.end());
    return files;
}

/* The words the stand-in printed as its arguments, argv[0] first. */
Items ArgumentsSeen(const std::string &transcript)
{
    Items args;
    for (const std::string &line : SplitLines(ReadFileText(transcript))) {
        if (line.compare(0, 5, "argv[") != 0)
            continue;
        size_t close = line.find("] ");
        if (close != std::string::npos)
            args.push_back(line.substr(close + 2));
    }
    return args;
}

} // namespace

/* ---- libraries in PLUGIN\ ---- */

void ThreeHundredLibraries()
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
        switch (i % 20) {
        case 5:
            Put(path, GarbageBytes(2048, 1000u + i));
            kindOf[name] = NOT_A_PLUGIN;
            break;
        case 15:
            Put(path, MarkedCopy(TestBinPath("fake_noabout.dll"), marker));
            kindOf[name] = NOT_A_PLUGIN;
            break;
        case 10:
            Put(path, MarkedCopy(TestBinPath("bad_info_type0.dll"), marker));
            kindOf[name] = UNLISTED;
            break;
        default:
            Put(path, MarkedCopy(TestBinPath(kFamilies[i % 5].library), marker));
            kindOf[name] = i % 5;
            break;
        }
    }
    /* The catalogue takes the first 256 plugins the search delivers. */
    Items lists[PLUGIN_TYPE_COUNT], files[PLUGIN_TYPE_COUNT];
    int catalogued = 0, plugins = 0;
    for (const std::string &name : SearchOrder(dir / "PLUGIN\\*.dll")) {
        int kind = kindOf.count(name) ? kindOf[name] : NOT_A_PLUGIN;
        if (kind == NOT_A_PLUGIN)
            continue;
        plugins++;
        if (catalogued == 256)
            continue;
        catalogued++;
        if (kind >= 0) {
            lists[kind].push_back(Line(name.substr(0, name.size() - 4)));
            files[kind].push_back(name);
        }
    }
    ASSERT_EQ(270, plugins) << "the search does not see every library";

    Configurator cfg(dir.path);
    HWND main = MainOf(cfg, 90000);
    ASSERT_TRUE(main != NULL);
    EXPECT_EQ(Items(), OtherDialogs(cfg, main)) << "no message about the libraries";
    size_t listed = 0;
    for (int f = 0; f < PLUGIN_TYPE_COUNT; f++) {
        SCOPED_TRACE(kFamilies[f].installName);
        Items items = ComboItems(main, kFamilies[f].list);
        EXPECT_EQ(lists[f], items);
        EXPECT_EQ(0, ComboSelection(main, kFamilies[f].list));
        listed += items.size();
        /* The last entry of every list, the one furthest into the catalogue. */
        SelectCombo(main, kFamilies[f].list, static_cast<int>(items.size()) - 1);
    }
    EXPECT_LE(listed, 256u);
    Click(main, IDC_SAVE);
    EXPECT_EQ(Items(), OtherDialogs(cfg, main)) << "Save reports nothing";
    for (int f = 0; f < PLUGIN_TYPE_COUNT; f++) {
        SCOPED_TRACE(kFamilies[f].installName);
        ASSERT_FALSE(files[f].empty());
        EXPECT_TRUE(ReadFileBytes(dir / ("PLUGIN\\" + files[f].back())) ==
                    ReadFileBytes(dir / kFamilies[f].installName))
            << "installed is not " << files[f].back();
    }
    EXPECT_EQ(0u, cfg.Exit());
}

void BrokenLibrariesInThePluginFolder()
{
    ProgramDir dir("broken libraries");
    dir.AddPrograms();
    const std::vector<uint8_t> cdidle = ReadFileBytes(CdIdle());
    ASSERT_GT(cdidle.size(), 4096u);
    auto cut = [&](size_t size) { return std::vector<uint8_t>(cdidle.begin(), cdidle.begin() + size); };
    const struct {
        const char *file;
        std::vector<uint8_t> bytes;
    } broken[] = {
        { "garbage.dll", GarbageBytes(4096, 0x4B4F5641u) },
        { "empty.dll", {} },
        { "cut-mz.dll", cut(2) },
        { "cut-dos-header.dll", cut(64) },
        { "cut-headers.dll", cut(1024) },
        { "cut-half.dll", cut(cdidle.size() / 2) },
        { "x64.dll", MakePe32PlusDll("cd64.dll", Items(kCdNames, kCdNames + dimof(kCdNames))) },
        { "refuses-load.dll", ReadFileBytes(TestBinPath("refuses_load.dll")) },
    };
    for (const auto &library : broken)
        Put(dir / (std::string("PLUGIN\\") + library.file), library.bytes);
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(PadIdle(), "padidle.dll");

    Configurator cfg(dir.path);
    HWND main = MainOf(cfg);
    ASSERT_TRUE(main != NULL);
    EXPECT_EQ(Items(), OtherDialogs(cfg, main)) << "the broken libraries are passed over silently";
    const Items want[PLUGIN_TYPE_COUNT] = { {}, {}, { "PadIdle 1.0" }, {}, { "CDIdle 1.0" } };
    for (int f = 0; f < PLUGIN_TYPE_COUNT; f++)
        EXPECT_EQ(want[f], ComboItems(main, kFamilies[f].list)) << kFamilies[f].installName;
    Click(main, IDC_SAVE);
    EXPECT_EQ(Items(), OtherDialogs(cfg, main));
    EXPECT_TRUE(cdidle == ReadFileBytes(dir / KOVA_INSTALL_NAME_CD));
    EXPECT_TRUE(ReadFileBytes(PadIdle()) == ReadFileBytes(dir / KOVA_INSTALL_NAME_JOY0));
    EXPECT_EQ(0u, cfg.Exit());
}

void AboutRecordsOutOfBounds()
{
    ProgramDir dir("bad records");
    dir.AddPrograms();
    for (const char *library : { "bad_info_type0", "bad_info_type6", "bad_info_type255",
                                 "bad_info_unterminated" })
        dir.AddPlugin(TestBinPath((std::string(library) + ".dll").c_str()),
                      std::string(library + 9) + ".dll");
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    /* Texts filled to the last byte of their fields show cut at that byte. */
    const std::string unterminated = std::string(63, 'N') + " 1.0";
    Items cds;
    for (const std::string &name : SearchOrder(dir / "PLUGIN\\*.dll")) {
        if (name == "cdidle.dll")
            cds.push_back("CDIdle 1.0");
        else if (name == "unterminated.dll")
            cds.push_back(unterminated);
    }

    Configurator cfg(dir.path);
    HWND main = MainOf(cfg);
    ASSERT_TRUE(main != NULL);
    EXPECT_EQ(Items(), OtherDialogs(cfg, main));
    /* Family codes 0, 6 and 255 are in no list. */
    const Items want[PLUGIN_TYPE_COUNT] = { {}, {}, {}, {}, cds };
    for (int f = 0; f < PLUGIN_TYPE_COUNT; f++)
        EXPECT_EQ(want[f], ComboItems(main, kFamilies[f].list)) << kFamilies[f].installName;

    int index = IndexOf(cds, unterminated);
    ASSERT_GE(index, 0);
    SelectCombo(main, IDC_CD_LIST, index);
    ClickLater(main, IDC_CD_ABOUT);
    HWND about = WaitForDialog("About plugin", cfg.processId());
    ASSERT_TRUE(about != NULL);
    EXPECT_EQ(unterminated, ItemText(about, IDC_PLUGIN_NAME));
    EXPECT_EQ(std::string(63, 'A'), ItemText(about, IDC_PLUGIN_AUTHOR));
    EXPECT_EQ(std::string(1023, 'D'), ItemText(about, IDC_PLUGIN_DESCRIPTION));
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitGone(about));
    Click(main, IDC_CD_CONFIGURE);
    ExpectNoDialogAppears(cfg, main, "Configure");
    Click(main, IDC_SAVE);
    EXPECT_TRUE(ReadFileBytes(TestBinPath("bad_info_unterminated.dll")) ==
                ReadFileBytes(dir / KOVA_INSTALL_NAME_CD));
    EXPECT_EQ(0u, cfg.Exit());
}

void FileNamesOf100Characters()
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
    Put(dir / ("PLUGIN\\" + name), MarkedCopy(TestBinPath("named_cd.dll"), "the long one"));
    Put(dir / ("PLUGIN\\" + cut), MarkedCopy(TestBinPath("named_cd.dll"), "the cut one"));
    /* The plugin's name is its file name without ".dll", cut to 63. */
    const std::string longLine = Line(name.substr(0, 63));
    const std::string cutLine = Line(name.substr(0, 31));

    Configurator cfg(dir.path);
    HWND main = MainOf(cfg);
    ASSERT_TRUE(main != NULL);
    Items cds = ComboItems(main, IDC_CD_LIST);
    EXPECT_EQ(2u, cds.size());
    EXPECT_GE(IndexOf(cds, cutLine), 0) << testing::PrintToString(cds);
    int index = IndexOf(cds, longLine);
    ASSERT_GE(index, 0) << testing::PrintToString(cds);
    SelectCombo(main, IDC_CD_LIST, index);
    Click(main, IDC_CD_CONFIGURE);
    EXPECT_EQ(dir / ("PLUGIN\\" + name), ProfileValue(dir / "KOVA.INI", "PROBE", "Module"))
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
    Keys stored;       /* section KOVA as found */
    /* What the main dialog shows. */
    bool emulateBios, interpreter, verbose, disasm, debugger, sectorCache, serial;
    const char *country;
    Keys saved;        /* section KOVA after Save */
};

std::vector<IniVariant> IniVariants()
{
    std::vector<IniVariant> variants;
    variants.push_back({ "letters in odd case",
                         { { "EmulateBios", "oFf" }, { "CpuMode", "INTERPRETER" }, { "Verbose", "ON" },
                           { "Disasm", "On" }, { "Debugger", "oFF" }, { "CDUseCache", "oN" },
                           { "UseSerial", "OFF" }, { "CDCountry", "2" } },
                         false, true, true, true, false, true, false, "Japan",
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
                             true, false, false, false, false, false, false, longer ? "Japan" : "Europe",
                             { { "EmulateBios", "on" }, { "CpuMode", "Compiler" }, { "Verbose", "off" },
                               { "Disasm", "off" }, { "Debugger", "off" }, { "CDUseCache", "off" },
                               { "UseSerial", "off" }, { "CDCountry", longer ? "2" : "1" },
                               { "MemCard1", "card.mcd" }, { "MemCard2", "card.mcd" } } });
    }
    return variants;
}

} // namespace

void KovaValuesOf1023CharactersAndOddCase()
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
        EXPECT_EQ(variant.emulateBios, Checked(main, IDC_EMULATE_BIOS));
        EXPECT_EQ(!variant.emulateBios, Enabled(main, IDC_BIOS_LIST));
        EXPECT_EQ(variant.interpreter, Checked(main, IDC_INTERPRETER));
        EXPECT_EQ(!variant.interpreter, Checked(main, IDC_COMPILER));
        EXPECT_EQ(variant.verbose, Checked(main, IDC_VERBOSE));
        EXPECT_EQ(variant.disasm, Checked(main, IDC_DISASM));
        EXPECT_EQ(variant.debugger, Checked(main, IDC_DEBUGGER));
        EXPECT_EQ(variant.sectorCache, Checked(main, IDC_SECTOR_CACHE));
        EXPECT_EQ(variant.serial, Checked(main, IDC_USE_SERIAL));
        EXPECT_EQ(variant.country, ComboSelectedText(main, IDC_COUNTRY));
        Click(main, IDC_SAVE);
        EXPECT_EQ(Items(), OtherDialogs(cfg, main));
        EXPECT_EQ(0u, cfg.Exit());
        /* Written keys keep their places; new ones come at the section's end. */
        EXPECT_EQ(before + SectionText("KOVA", variant.saved) + after, dir.Ini());
    }
}

void PluginSettingsIntoAnUnwritableIni()
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
        dir.AddPlugin(TestBinPath("named_cd.dll"), "probe.dll");
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
            HWND box = WaitForDialog("System Error", cfg.processId());
            EXPECT_TRUE(box != NULL) << "no message";
            if (box) {
                std::string text;
                EXPECT_EQ(main, GetWindow(box, GW_OWNER));
                EXPECT_TRUE(Answer("System Error", IDOK, &text, cfg.processId()));
                EXPECT_NE(std::string::npos, text.find("could not be written")) << text;
                EXPECT_NE(std::string::npos, text.find(dir / "KOVA.INI")) << text;
            }
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

void NoPluginFolder()
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
            EXPECT_EQ(Items(), ComboItems(main, family.list));
            EXPECT_FALSE(Enabled(main, family.list));
            EXPECT_FALSE(Enabled(main, family.about));
            EXPECT_FALSE(Enabled(main, family.configure));
            /* The buttons' commands, as if they came through: nothing. */
            for (int id : { family.about, family.configure })
                PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(main, id)));
        }
        ExpectNoDialogAppears(cfg, main, "the About and Configure commands");
        Click(main, IDC_SAVE);
        EXPECT_EQ(Items(), OtherDialogs(cfg, main)) << "Save reports nothing";
        EXPECT_EQ(0u, cfg.Exit());
        EXPECT_EQ("on", ProfileValue(dir / "KOVA.INI", "KOVA", "EmulateBios")) << "Save wrote KOVA.INI";
        for (const FamilyControls &family : kFamilies)
            EXPECT_EQ(std::string("installed before as ") + family.installName,
                      ReadFileText(dir / family.installName));
    }
}

void NoBiosOrMemcardFolders()
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
        EXPECT_EQ(Items(), ComboItems(main, id)) << id;
        EXPECT_FALSE(Enabled(main, id)) << id;
    }
    /* Nothing to run but the emulated BIOS. */
    EXPECT_TRUE(Checked(main, IDC_EMULATE_BIOS));
    Click(main, IDC_EMULATE_BIOS);
    EXPECT_TRUE(Checked(main, IDC_EMULATE_BIOS));
    EXPECT_FALSE(Enabled(main, IDC_BIOS_LIST));
    Click(main, IDC_SAVE);
    EXPECT_EQ(Items(), OtherDialogs(cfg, main));
    EXPECT_EQ(0u, cfg.Exit());
    const std::string ini = dir / "KOVA.INI";
    EXPECT_EQ("on", ProfileValue(ini, "KOVA", "EmulateBios"));
    EXPECT_EQ("gone.bin", ProfileValue(ini, "KOVA", "RomName")) << "not written with BIOS emulation on";
    EXPECT_EQ("", ProfileValue(ini, "KOVA", "MemCard1"));
    EXPECT_EQ("", ProfileValue(ini, "KOVA", "MemCard2"));
    EXPECT_TRUE(ReadFileBytes(CdIdle()) == ReadFileBytes(dir / KOVA_INSTALL_NAME_CD));
}

void NothingButTheConfigurator()
{
    ScratchDir bare("hostile bare");
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
    EXPECT_EQ(Items(), OtherDialogs(cfg, main));
    EXPECT_EQ("[KOVA]\r\nEmulateBios=on\r\nDebugger=off\r\nVerbose=off\r\nDisasm=off\r\n"
              "CDUseCache=off\r\nUseSerial=off\r\nCpuMode=Compiler\r\nCDCountry=0\r\n"
              "MemCard1=\r\nMemCard2=\r\n",
              ReadFileText(dir + "KOVA.INI"));
    EXPECT_EQ(Items({ "KOVA.INI", "KOVACFG.EXE" }), FilesIn(dir)) << "nothing installed, no folder made";

    SetItemText(main, IDC_COMMAND_LINE, "demo.exe");
    ClickLater(main, IDC_RUN);
    std::string text;
    HWND box = WaitForDialog("System Error", cfg.processId());
    ASSERT_TRUE(box != NULL);
    EXPECT_EQ(main, GetWindow(box, GW_OWNER));
    EXPECT_TRUE(Answer("System Error", IDOK, &text, cfg.processId()));
    EXPECT_EQ("Cannot run KOVA.EXE", text);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ("demo.exe", ItemText(main, IDC_COMMAND_LINE));
    EXPECT_EQ(0u, cfg.Exit());
}

/* ---- the command line ---- */

void CommandLinesOf255CharactersAnd40Words()
{
    struct Row {
        const char *what;
        std::string line;
        Items words;
    };
    std::vector<Row> rows;
    {
        /* Words of many lengths between runs of blanks, 255 characters in
           all, the last word filling up. */
        Row row = { "255 characters", "  ", {} };
        for (int i = 1; row.line.size() < 200; i++) {
            std::string word = "w" + std::to_string(i) + std::string(static_cast<size_t>(i % 7), '-');
            row.words.push_back(word);
            row.line += word + std::string(static_cast<size_t>(1 + i % 3), ' ');
        }
        std::string last = "C:\\last\\word\\";
        last.resize(255 - row.line.size(), 'z');
        row.words.push_back(last);
        row.line += last;
        rows.push_back(row);
    }
    {
        Row row = { "one word of 255 characters", "", {} };
        for (int i = 0; i < 255; i++)
            row.line += static_cast<char>('a' + i % 26);
        row.words.push_back(row.line);
        rows.push_back(row);
    }
    {
        Row row = { "40 words", "", {} };
        for (int i = 1; i <= 40; i++) {
            row.words.push_back("-arg" + std::to_string(i));
            row.line += (i > 1 ? " " : "") + row.words.back();
        }
        rows.push_back(row);
    }
    {
        /* Blanks around them, a tab, quotes and backslashes inside words:
           the words come through as they were typed. */
        Row row = { "40 words with blanks, tabs and quotes", "   ", {} };
        for (int i = 1; i <= 40; i++) {
            std::string word = "x" + std::to_string(i);
            if (i % 10 == 3)
                word += "\ttab";
            if (i % 10 == 6)
                word = "\"q" + word + "\"";
            if (i % 10 == 9)
                word += "\\";
            row.words.push_back(word);
            row.line += word + (i % 4 ? " " : "    ");
        }
        rows.push_back(row);
    }
    ASSERT_EQ(255u, rows[0].line.size());
    ASSERT_EQ(255u, rows[1].line.size());

    ProgramDir dir("command lines");
    dir.AddPrograms();
    Configurator cfg(dir.path);
    HWND main = MainOf(cfg);
    ASSERT_TRUE(main != NULL);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        DeleteFileA((dir / "STANDIN.LOG").c_str());
        SetItemText(main, IDC_COMMAND_LINE, row.line);
        Click(main, IDC_RUN);
        Items want = { dir / "KOVA.EXE" };
        want.insert(want.end(), row.words.begin(), row.words.end());
        EXPECT_EQ(want, ArgumentsSeen(dir / "STANDIN.LOG"));
        EXPECT_EQ(row.line, ItemText(main, IDC_COMMAND_LINE));
    }
    EXPECT_EQ(Items(), OtherDialogs(cfg, main));
    EXPECT_EQ(0u, cfg.Exit());
}
