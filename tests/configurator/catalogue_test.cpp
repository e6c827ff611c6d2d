/* The plugin catalogue on a PLUGIN\ folder with real and hostile entries,
   the plugin about box, configure calls and installing by Save. */
#include <map>

#include "catalogue.h"
#include "cfg_test.h"
#include "configurator.h"
#include "settings.h"

namespace {

const char kLongName[] = "cd plugin with a file name longer than thirty-one characters.dll";

/* The plugin about box the button opens, owned by main: its name, author
   and description; it is closed with OK. */
Lines AboutFields(HWND main, int button)
{
    ClickLater(main, button);
    HWND about = WaitForDialog("About plugin", GetCurrentProcessId());
    EXPECT_TRUE(about != NULL);
    if (!about)
        return {};
    EXPECT_EQ(main, GetWindow(about, GW_OWNER));
    Lines fields;
    for (int id : { IDC_PLUGIN_NAME, IDC_PLUGIN_AUTHOR, IDC_PLUGIN_DESCRIPTION })
        fields.push_back(ItemText(about, id));
    EXPECT_TRUE(End(about, IDOK));
    return fields;
}

} // namespace

TEST(Catalogue, HostileEntriesAreSkippedAndTheTypeByteDecidesTheList)
{
    ProgramDir dir("hostile");
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(PadIdle(), "padidle.dll");
    dir.AddPlugin(CdIdle(), kLongName);
    dir.scratch.MakeDir("PLUGIN\\old.dll");
    dir.AddFile("PLUGIN\\readme.dll", "This is a text file, not a library.\r\n");
    int n = 0;
    for (const BrokenLibrary &broken : BrokenLibraries(KOVA_EXPORT_NAMES(KOVA_CD_EXPORTS))) {
        std::string path = dir / ("PLUGIN\\broken" + std::to_string(n++) + ".dll");
        ASSERT_TRUE(WriteFileBytes(path, broken.bytes.data(), broken.bytes.size())) << broken.what;
    }
    for (const char *fake : { "noabout", "type0", "type6", "type255", "twofaced", "unterminated",
                              "minor10" })
        dir.AddPlugin(Fake(fake), std::string(fake) + ".dll");

    /* What each entry should give: list index (-1 none) and line; entries
       that are not plugins at all are absent. */
    const std::string unterminatedLine = std::string(63, 'n') + " 1.10";
    std::map<std::string, std::pair<int, std::string>> expected = {
        { "cdidle.dll", { 4, "CDIdle 1.0" } },
        { kLongName, { 4, "CDIdle 1.0" } },
        { "padidle.dll", { 2, "PadIdle 1.0" } },
        { "type0.dll", { -1, "" } },
        { "type6.dll", { -1, "" } },
        { "type255.dll", { -1, "" } },
        { "twofaced.dll", { 4, "TwoFaced 1.0" } },
        { "unterminated.dll", { 3, unterminatedLine } },
        { "minor10.dll", { 0, "MinorTen 2.a" } },
    };
    std::vector<std::string> lists[PLUGIN_TYPE_COUNT];
    int counted = 0;
    for (const std::string &name : SearchOrder(dir / "PLUGIN\\*.dll")) {
        auto it = expected.find(name);
        if (it == expected.end())
            continue;
        counted++;
        if (it->second.first >= 0)
            lists[it->second.first].push_back(it->second.second);
    }
    ASSERT_EQ(9, counted) << "the search does not see every plugin";

    RunInProcess(dir.path, [&](HWND main) {
        EXPECT_EQ(Lines(), OtherDialogs(GetCurrentProcessId(), main)) << "passed over silently";
        for (int f = 0; f < PLUGIN_TYPE_COUNT; f++) {
            SCOPED_TRACE(testing::Message() << "family " << f);
            EXPECT_EQ(lists[f], ComboItems(main, kFamilies[f].list));
        }
        /* The unterminated record's about box shows every field cut at its
           last byte. */
        EXPECT_EQ(Lines({ unterminatedLine, std::string(63, 'a'), std::string(1023, 'd') }),
                  AboutFields(main, IDC_JOY1_ABOUT));
        /* Configure and Save work on it. */
        Click(main, IDC_JOY1_CONFIGURE);
        EXPECT_EQ(dir / "PLUGIN\\unterminated.dll", IniValue(dir / "KOVA.INI", "PROBE", "Module"));
        Click(main, IDC_SAVE);
        EXPECT_EQ(Lines(), OtherDialogs(GetCurrentProcessId(), main));
        EXPECT_EQ(ReadFileBytes(Fake("unterminated")), ReadFileBytes(dir / KOVA_INSTALL_NAME_JOY1));
        EXPECT_EQ(ReadFileBytes(PadIdle()), ReadFileBytes(dir / KOVA_INSTALL_NAME_JOY0));
    });
    EXPECT_EQ(9, PluginCatalogue.count);
}

/* What an earlier run left in KOVACFG.RUN beside KOVA.INI: the scan
   passes over the library it names while that is still in PLUGIN\, and
   the main dialog names it once; anything else is dropped. The marker is
   gone afterwards, but for a folder of its name, where none can be
   written, as in a folder the user may not write to. */
TEST(Catalogue, AnEarlierRunsMarkerPassesItsLibraryOverOnce)
{
    struct Row {
        const char *what;
        const char *marker;      /* null: a folder of the marker's name */
        const char *passedOver;  /* the library not listed, or null */
        const char *named;       /* in the one box, or null: no box */
    };
    const Row rows[] = {
        { "asked who it is", "about cdidle.dll\r\n", "cdidle.dll",
          "PLUGIN\\cdidle.dll was asked who it is." },
        { "configured, in other letters", "configure CDIDLE.DLL\r\n", "cdidle.dll",
          "PLUGIN\\cdidle.dll was being configured." },
        { "a library no longer there", "about gone.dll\r\n", NULL, NULL },
        { "a path", "about ..\\PLUGIN\\cdidle.dll\r\n", NULL, NULL },
        { "no mark", "\xff\xfe\r\n", NULL, NULL },
        { "a folder", NULL, NULL, NULL },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ProgramDir dir("marker");
        dir.AddPlugin(CdIdle(), "cdidle.dll");
        dir.AddPlugin(Fake("twofaced"), "twofaced.dll");
        if (row.marker)
            dir.AddFile("KOVACFG.RUN", row.marker);
        else
            dir.scratch.MakeDir("KOVACFG.RUN");
        Lines cds;
        for (const std::string &name : SearchOrder(dir / "PLUGIN\\*.dll"))
            if (!row.passedOver || name != row.passedOver)
                cds.push_back(name == "cdidle.dll" ? "CDIdle 1.0" : "TwoFaced 1.0");
        RunInProcess(dir.path, [&](HWND main) {
            if (row.named) {
                std::string text = TakeBox(SYSTEM_ERROR_CAPTION, main);
                EXPECT_NE(std::string::npos, text.find(row.named)) << text;
            }
            Sleep(300);
            EXPECT_EQ(Lines(), OtherDialogs(GetCurrentProcessId(), main)) << "one box at most";
            EXPECT_EQ(cds, ComboItems(main, IDC_CD_LIST));
        });
        DWORD left = GetFileAttributesA((dir / "KOVACFG.RUN").c_str());
        EXPECT_EQ(row.marker ? INVALID_FILE_ATTRIBUTES : FILE_ATTRIBUTE_DIRECTORY,
                  left == INVALID_FILE_ATTRIBUTES ? left : left & FILE_ATTRIBUTE_DIRECTORY);
    }
}

TEST(Catalogue, AboutBoxShowsTheSelectedPlugin)
{
    ProgramDir dir("about box");
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(Fake("twofaced"), "twofaced.dll");
    RunInProcess(dir.path, [&](HWND main) {
        std::vector<std::string> items = ComboItems(main, IDC_CD_LIST);
        ASSERT_EQ(2u, items.size());
        const Lines rows[] = {
            { "CDIdle 1.0", "Tovrin",
              "This Plugin is a dummy CD driver. Use it only for running demos and executables "
              "that don't need CD-ROM accesses." },
            { "TwoFaced 1.0", "Test Author", "A plugin made up for the tests.\r\nSecond line." },
        };
        for (const Lines &row : rows) {
            SCOPED_TRACE(row[0]);
            int index = items[0] == row[0] ? 0 : 1;
            ASSERT_EQ(row[0], items[index]);
            SelectCombo(main, IDC_CD_LIST, index);
            EXPECT_EQ(row, AboutFields(main, IDC_CD_ABOUT));
        }
    });
}

TEST(Catalogue, AtMost256PluginsAreCatalogued)
{
    ProgramDir dir("many");
    for (int i = 0; i < 260; i++) {
        char name[32];
        BufFormat(name, sizeof name, "pad%03d.dll", i);
        dir.AddPlugin(Fake("pad"), name);
    }
    RunInProcess(dir.path, [&](HWND main) {
        EXPECT_EQ(256u, ComboItems(main, IDC_JOY0_LIST).size());
    });
    EXPECT_EQ(256, PluginCatalogue.count);
    EXPECT_EQ(256, PluginCatalogue.families[2].count);
}

TEST(Catalogue, ConfigureGetsTheOneRecordAndItsSettingIsStoredAtOnce)
{
    ProgramDir dir("configure");
    dir.AddPlugin(Fake("recorder"), "recorder.dll");
    dir.AddFile("KOVA.INI", "[RECORDER]\r\nProbe=hello there\r\n");
    HWND mainWindow = NULL;
    std::string iniAfterConfigure;
    RunInProcess(dir.path, [&](HWND main) {
        mainWindow = main;
        EXPECT_EQ(Lines({ "Recorder 1.0" }), ComboItems(main, IDC_SPU_LIST));
        Click(main, IDC_SPU_CONFIGURE);
        iniAfterConfigure = dir.Ini();
    });
    /* The record the plugin got, byte by byte: no RAM, flags or notify,
       every reserved word zero. */
    HostServices want = {};
    want.readSetting = ReadSetting;
    want.writeSetting = WriteSetting;
    want.mainWindow = mainWindow;
    want.hostInstance = GetModuleHandleA(NULL);
    std::string wantHex;
    for (uint8_t byte : RecordBytes(want))
        wantHex += Bytes(&byte, 1);
    /* The settings callbacks reach KOVA.INI (what readSetting gave, the
       owner's caption, and a write of the call read back within it);
       nothing waited for Save. */
    EXPECT_EQ("[RECORDER]\r\nProbe=hello there\r\nRecord=" + wantHex + "\r\nReadResult=0\r\n" +
                  "OwnerCaption=" + kMainCaption + "\r\nPending=" + kMainCaption + "\r\n",
              iniAfterConfigure);
}

TEST(Catalogue, LibrariesAreLoadedWithoutSystemErrorBoxes)
{
    ProgramDir dir("error mode");
    dir.AddPlugin(Fake("recorder"), "recorder.dll");
    /* The configurator's code is linked into this program. */
    LoadRecorder loads(GetModuleHandleA(NULL));
    /* The test program turns the boxes off for itself; the configurator
       must do it on its own. */
    UINT testMode = SetErrorMode(0);
    RunInProcess(dir.path, [&](HWND main) { Click(main, IDC_SPU_CONFIGURE); });
    SetErrorMode(testMode);

    const UINT quiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
    Lines what;
    for (size_t i = 0; i < loads.paths().size(); i++)
        if (loads.paths()[i].compare(0, dir.path.size(), dir.path) == 0) {
            EXPECT_EQ(dir / "PLUGIN\\recorder.dll", loads.paths()[i]);
            EXPECT_EQ(quiet, loads.errorModes()[i] & quiet) << (what.empty() ? "the scan" : "Configure");
            what.push_back(loads.paths()[i]);
        }
    EXPECT_EQ(2u, what.size()) << "the scan and Configure";
}

TEST(Install, SaveCopiesEachSelectedLibraryOverItsFixedName)
{
    ProgramDir dir("install");
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(Fake("twofaced"), "twofaced.dll");
    dir.AddPlugin(PadIdle(), "padidle.dll");
    dir.AddPlugin(Fake("pad"), kLongName);
    /* Families without plugins keep what is installed. */
    dir.AddFile("GpuRend.dll", "an old graphics plugin");
    dir.AddFile("CDRend.dll", "an old CD plugin");
    RunInProcess(dir.path, [&](HWND main) {
        std::vector<std::string> cds = ComboItems(main, IDC_CD_LIST);
        std::vector<std::string> pads = ComboItems(main, IDC_JOY0_LIST);
        ASSERT_EQ(2u, cds.size());
        ASSERT_EQ(2u, pads.size());
        std::string firstCd = cds[0] == "CDIdle 1.0" ? CdIdle() : Fake("twofaced");
        std::string firstPad = pads[0] == "PadIdle 1.0" ? PadIdle() : Fake("pad");
        Click(main, IDC_SAVE);
        EXPECT_EQ(ReadFileBytes(firstCd), ReadFileBytes(dir / "CDRend.dll"));
        EXPECT_EQ(ReadFileBytes(firstPad), ReadFileBytes(dir / "Joy0Rend.dll"));
        EXPECT_EQ("an old graphics plugin", ReadFileText(dir / "GpuRend.dll"));
        EXPECT_FALSE(FileExists(dir / "SpuRend.dll"));
        EXPECT_FALSE(FileExists(dir / "Joy1Rend.dll"));

        /* Save again, with the other entries: each installed file is
           rewritten, also when its selection did not change. */
        ASSERT_TRUE(WriteFileText(dir / "Joy0Rend.dll", "damaged"));
        SelectCombo(main, IDC_CD_LIST, 1);
        Click(main, IDC_SAVE);
        std::string secondCd = firstCd == CdIdle() ? Fake("twofaced") : CdIdle();
        EXPECT_EQ(ReadFileBytes(secondCd), ReadFileBytes(dir / "CDRend.dll"));
        EXPECT_EQ(ReadFileBytes(firstPad), ReadFileBytes(dir / "Joy0Rend.dll"));
        SelectCombo(main, IDC_JOY0_LIST, pads[0] == "PadIdle 1.0" ? 1 : 0);
        Click(main, IDC_SAVE);
        EXPECT_EQ(ReadFileBytes(Fake("pad")), ReadFileBytes(dir / "Joy0Rend.dll"))
            << "the long-named library is installed from PLUGIN\\";
    });
    EXPECT_EQ(Lines(), SearchOrder(dir / "*.tmp")) << "no temporary file is left behind";
}

TEST(Install, FailedCopiesLeaveTheOldFilesAndAreNamedInOneMessage)
{
    ProgramDir dir("install fails");
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(PadIdle(), "padidle.dll");
    dir.AddPlugin(Fake("recorder"), "recorder.dll");
    dir.AddPlugin(Fake("minor10"), "minor10.dll");
    dir.AddFile("CDRend.dll", "the CD plugin installed before");
    dir.AddFile("Joy0Rend.dll", "the pad plugin installed before");
    dir.AddFile("SpuRend.dll", "the sound plugin installed before");
    ASSERT_TRUE(SetFileAttributesA((dir / "Joy0Rend.dll").c_str(), FILE_ATTRIBUTE_READONLY));
    std::string text;
    HANDLE lockedSource = INVALID_HANDLE_VALUE, lockedTarget = INVALID_HANDLE_VALUE;
    RunInProcess(dir.path, [&](HWND main) {
        /* After the scan, another program holds the CD library and the
           installed sound plugin open without sharing them. */
        lockedSource = CreateFileA((dir / "PLUGIN\\cdidle.dll").c_str(), GENERIC_READ | GENERIC_WRITE,
                                   0, NULL, OPEN_EXISTING, 0, NULL);
        lockedTarget = CreateFileA((dir / "SpuRend.dll").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                   OPEN_EXISTING, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, lockedSource);
        ASSERT_NE(INVALID_HANDLE_VALUE, lockedTarget);
        ClickLater(main, IDC_SAVE);
        EXPECT_TRUE(Answer("System Error", IDOK, &text));
        EXPECT_EQ(NULL, WaitForDialog("System Error", GetCurrentProcessId(), 500));
    });
    CloseHandle(lockedSource);
    CloseHandle(lockedTarget);
    SetFileAttributesA((dir / "Joy0Rend.dll").c_str(), FILE_ATTRIBUTE_NORMAL);
    struct Row {
        const char *installName, *source, *before;
    };
    const Row failed[] = {
        { "CDRend.dll", "cdidle.dll", "the CD plugin installed before" },
        { "Joy0Rend.dll", "padidle.dll", "the pad plugin installed before" },
        { "SpuRend.dll", "recorder.dll", "the sound plugin installed before" },
    };
    for (const Row &row : failed) {
        SCOPED_TRACE(row.installName);
        EXPECT_EQ(row.before, ReadFileText(dir / row.installName));
        EXPECT_NE(std::string::npos,
                  text.find(std::string(row.installName) + " (from PLUGIN\\" + row.source + ")"))
            << text;
    }
    EXPECT_EQ(ReadFileBytes(Fake("minor10")), ReadFileBytes(dir / "GpuRend.dll"))
        << "the other families are installed";
    EXPECT_EQ(std::string::npos, text.find("GpuRend.dll")) << text;
    EXPECT_TRUE(SearchOrder(dir / "*.tmp").empty());
}
