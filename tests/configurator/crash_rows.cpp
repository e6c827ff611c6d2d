/* Plugins that crash: one row per library of tests/plugins/crash_plugin.cpp
 * and the place it goes wrong, with what the user sees. Each row runs
 * KOVACFG.EXE in a program directory of its own (PLUGIN\ holding the library
 * beside cdidle and padidle, a KOVA.INI and installed files from before).
 * The installed ones are rows of the stand-in's table of broken
 * installations (standin_test). A library that ends the configurator's
 * process or never returns is met by three starts: the one it ends (or
 * the test ends, as a user would, after a wait), the one that passes it
 * over and names it, and the one that asks it again. */
#include <algorithm>
#include <string.h>

#include "cfg_test.h"

namespace {

enum Where {
    SCAN,           /* in PLUGIN\, asked during the splash */
    CONFIGURE,      /* in PLUGIN\, the CD family's Configure button */
    HOSTED_LIST,    /* in PLUGIN\PSEMU\, gpuhost's dialog fills its list */
    HOSTED_BUTTON,  /* ... and one of the dialog's buttons for it */
};

struct CrashRow {
    const char *name;
    const char *library;  /* file name in tests/bin */
    Where where;
    int copies;           /* SCAN: copies of it in PLUGIN\ */
    bool named;           /* SCAN: left out and named in a message */
    int button;           /* HOSTED_BUTTON */
    const char *outcome;
};

const CrashRow kCrashRows[] = {
    { "AboutWritesThroughNull", "crash_about_null_write.dll", SCAN, 1, true, 0,
      "the main dialog opens with the other plugins once each and one message naming it" },
    { "AboutDividesByZero", "crash_about_divide.dll", SCAN, 1, true, 0, "as above" },
    { "AboutRunsAnIllegalInstruction", "crash_about_illegal.dll", SCAN, 1, true, 0, "as above" },
    { "AboutOverflowsTheStackTwice", "crash_about_stack.dll", SCAN, 2, true, 0,
      "both copies named: the second overflow is caught as the first" },
    { "AboutRaisesAnX87Exception", "crash_about_x87.dll", SCAN, 1, true, 0, "as above" },
    { "AboutUnmasksFloatingPointExceptions", "crash_about_unmask.dll", SCAN, 1, false, 0,
      "listed; its configure call finds every exception masked again" },
    { "AboutWritesPastTheRecord", "crash_about_overrun.dll", SCAN, 1, false, 0,
      "listed; Save with it selected installs it, not the library named in its overrun" },
    { "AboutChangesTheDirectory", "crash_about_chdir.dll", SCAN, 1, false, 0,
      "listed; its configure call sees the program directory as the current one" },
    { "AboutShowsAMessageBox", "crash_about_box.dll", SCAN, 1, false, 0,
      "one box, answered after several splash ticks; every plugin listed once" },
    { "AboutEndsTheProcess", "crash_about_exit.dll", SCAN, 1, true, 0,
      "the configurator ends; the next start names it in one message and lists the others once; "
      "the start after asks it again" },
    { "AboutAborts", "crash_about_abort.dll", SCAN, 1, true, 0,
      "the runtime's box, then as above" },
    { "AboutNeverReturns", "crash_about_hang.dll", SCAN, 1, true, 0,
      "ended by the user after a wait, then as above" },
    { "DllMainWritesThroughNull", "crash_dllmain_null_write.dll", SCAN, 1, false, 0,
      "the loader refuses it: not listed, no message" },
    { "ConfigureWritesThroughNull", "crash_configure_null_write.dll", CONFIGURE, 0, false, 0,
      "one message naming it; the main dialog keeps its choices; Save works" },
    { "ConfigureOverflowsTheStack", "crash_configure_stack.dll", CONFIGURE, 0, false, 0, "as above" },
    { "ConfigureCrashesInItsDialog", "crash_configure_dialog.dll", CONFIGURE, 0, false, 0,
      "its dialog goes, the main dialog is enabled again, as above" },
    { "ConfigureEndsTheProcess", "crash_configure_exit.dll", CONFIGURE, 0, false, 0,
      "the configurator ends; the next start names it in one message and does not list it; the "
      "start after lists it again" },
    { "ConfigureAborts", "crash_configure_abort.dll", CONFIGURE, 0, false, 0,
      "the runtime's box, then as above" },
    { "ConfigureNeverReturns", "crash_configure_hang.dll", CONFIGURE, 0, false, 0,
      "ended by the user after a wait, then as above" },
    { "HostedTypeWritesThroughNull", "crash_pse_type.dll", HOSTED_LIST, 0, false, 0,
      "gpuhost's dialog lists only the good plugin; OK stores it" },
    { "HostedVersionDividesByZero", "crash_pse_version.dll", HOSTED_LIST, 0, false, 0, "as above" },
    { "HostedNameOverflowsTheStack", "crash_pse_name.dll", HOSTED_LIST, 0, false, 0, "as above" },
    { "HostedConfigureWritesThroughNull", "crash_pse_configure.dll", HOSTED_BUTTON, 0, false,
      1000, "one \"Psemu\" message naming it; the dialog goes on and OK stores it" },
    { "HostedTestDividesByZero", "crash_pse_test.dll", HOSTED_BUTTON, 0, false, 1001, "as above" },
    { "HostedAboutRunsAnIllegalInstruction", "crash_pse_about.dll", HOSTED_BUTTON, 0, false,
      1002, "as above" },
};

/* Rows that rely on what the user-mode emulator lacks (EmulatedCpu). */
const char *const kNeedRealCpu[] = { "AboutOverflowsTheStackTwice", "AboutRaisesAnX87Exception" };

bool NeedsRealCpu(const CrashRow &row)
{
    for (const char *name : kNeedRealCpu)
        if (!strcmp(name, row.name))
            return true;
    return false;
}

void PrintTo(const CrashRow &row, std::ostream *os)
{
    *os << row.name;
}

const char kIni[] = "[KOVA]\r\nVerbose=off\r\n[CDIOCTRL]\r\nDriveLetter=E\r\n";
const char *const kInstalled[] = { KOVA_INSTALL_NAME_CD, KOVA_INSTALL_NAME_JOY0 };

int Boxes(DWORD processId, const char *caption)
{
    Lines shown = OtherDialogs(processId, NULL);
    return static_cast<int>(std::count(shown.begin(), shown.end(), "\"" + std::string(caption) + "\""));
}

/* The name of copy i (from 0) of the library in PLUGIN\. */
std::string CopyName(const char *library, int i)
{
    return i ? std::string(library, strlen(library) - 4) + "-" + std::to_string(i + 1) + ".dll"
             : library;
}

void HostedRow(const CrashRow &row, Configurator &cfg, HWND main, const ProgramDir &dir)
{
    ClickLater(main, IDC_GPU_CONFIGURE);
    HWND gpu = WaitForDialog("GpuHostPro Configuration", cfg.processId());
    ASSERT_TRUE(gpu != NULL);
    Lines want;
    for (const std::string &name : SearchOrder(dir / "PLUGIN\\PSEMU\\*.dll"))
        if (name == "pse_soft.dll" || row.where == HOSTED_BUTTON)
            want.push_back(name == "pse_soft.dll" ? "Soft 2.3" : "Crash 1.0");
    Lines items = ComboItems(gpu, 1003);
    EXPECT_EQ(want, items);
    const bool button = row.where == HOSTED_BUTTON;
    SelectCombo(gpu, 1003, IndexOf(items, button ? "Crash 1.0" : "Soft 2.3"));
    if (button) {
        ClickLater(gpu, row.button);
        EXPECT_EQ(std::string(row.library) + " failed and was stopped.",
                  TakeBox("Psemu", gpu, cfg.processId()));
    }
    EXPECT_TRUE(Enabled(gpu, IDOK));
    EXPECT_TRUE(End(gpu, IDOK));
    EXPECT_EQ(button ? row.library : "pse_soft.dll",
              IniValue(dir / "KOVA.INI", "GPUHOST", "PluginName"));
}

/* What KOVACFG.RUN holds while the row's library is in its call. */
std::string Mark(const CrashRow &row)
{
    return std::string(row.where == SCAN ? "about " : "configure ") + row.library + "\r\n";
}

/* The row's library ends the run: by itself (abort() first shows the
   runtime's box, which is answered as a user would), or, when it never
   returns, by the test once the marker names it. The marker stays. */
void RunEndsInside(const CrashRow &row, Configurator &cfg, const ProgramDir &dir)
{
    const std::string marker = dir / "KOVACFG.RUN";
    if (strstr(row.library, "_hang")) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(50))
            if (ReadFileText(marker) == Mark(row))
                break;
        Sleep(1000);
        EXPECT_FALSE(cfg.Ended(0)) << "it never returns";
        cfg.Kill();
    } else {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 20000 && !cfg.Ended(200);) {
            /* The runtime's box has a caption of its own (the splash has
               none); whatever it says, OK ends the process. */
            for (std::string caption : OtherDialogs(cfg.processId(), NULL)) {
                caption = caption.substr(1, caption.size() - 2);
                if (!caption.empty() && caption != kMainCaption)
                    Answer(caption.c_str(), IDOK, NULL, cfg.processId());
            }
        }
        EXPECT_EQ(strstr(row.library, "_abort") ? 3u : 9u, cfg.ExitCode(0)) << "the library ended it";
    }
    EXPECT_EQ(Mark(row), ReadFileText(marker));
}

/* The three starts of a library that ends the run. */
void EndedRunRow(const CrashRow &row, const ProgramDir &dir)
{
    const std::string passedOver =
        "The last start of the configurator ended while PLUGIN\\" + std::string(row.library) +
        (row.where == SCAN ? " was asked who it is." : " was being configured.") +
        " It is not listed now; remove it from PLUGIN\\ or replace it, and it will be asked "
        "again at the next start.";
    for (int start = 1; start <= 3; start++) {
        SCOPED_TRACE(testing::Message() << "start " << start);
        Configurator cfg(dir.path);
        if (start != 2 && row.where == SCAN) {
            RunEndsInside(row, cfg, dir);
            continue;
        }
        HWND main = cfg.Main(20000);
        ASSERT_TRUE(main != NULL);
        if (start == 2) {
            EXPECT_EQ(passedOver, TakeBox("System Error", main, cfg.processId()));
        }
        Sleep(300);
        EXPECT_EQ(0, Boxes(cfg.processId(), "System Error")) << "one message only";
        EXPECT_FALSE(FileExists(dir / "KOVACFG.RUN")) << "the scan has ended";
        Lines cds;
        for (const std::string &name : SearchOrder(dir / "PLUGIN\\*.dll")) {
            if (name == "cdidle.dll")
                cds.push_back("CDIdle 1.0");
            else if (name == row.library && start != 2)
                cds.push_back("Crash 1.0");
        }
        EXPECT_EQ(cds, ComboItems(main, IDC_CD_LIST));
        EXPECT_EQ(Lines({ "PadIdle 1.0" }), ComboItems(main, IDC_JOY0_LIST));
        if (start == 1) {
            SelectCombo(main, IDC_CD_LIST, IndexOf(cds, "Crash 1.0"));
            ClickLater(main, IDC_CD_CONFIGURE);
            RunEndsInside(row, cfg, dir);
            continue;
        }
        EXPECT_EQ(0u, cfg.Exit());
    }
    EXPECT_EQ(kIni, dir.Ini());
    for (const char *installed : kInstalled)
        EXPECT_EQ(std::string("installed before: ") + installed, ReadFileText(dir / installed));
}

class Crash : public testing::TestWithParam<CrashRow> {};

TEST_P(Crash, EndsThatCallOnly)
{
    const CrashRow &row = GetParam();
    if (NeedsRealCpu(row) && EmulatedCpu())
        GTEST_SKIP() << "the user-mode emulator raises no x87 exceptions and keeps no stack guard page";
    SCOPED_TRACE(std::string("library: ") + row.library + "\n  expected: " + row.outcome);
    ProgramDir dir(row.name);
    dir.AddPrograms();
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(PadIdle(), "padidle.dll");
    if (row.where == HOSTED_LIST || row.where == HOSTED_BUTTON) {
        dir.AddPlugin(ShippedPath("gpuhost.dll"), "gpuhost.dll");
        dir.scratch.MakeDir("PLUGIN\\PSEMU");
        EXPECT_TRUE(CopyFileTo(TestBinPath("pse_soft.dll"), dir / "PLUGIN\\PSEMU\\pse_soft.dll"));
        EXPECT_TRUE(CopyFileTo(TestBinPath(row.library), dir / ("PLUGIN\\PSEMU\\" + std::string(row.library))));
    } else {
        for (int i = 0; i < (row.copies ? row.copies : 1); i++)
            dir.AddPlugin(TestBinPath(row.library), CopyName(row.library, i));
    }
    dir.AddFile("KOVA.INI", kIni);
    for (const char *installed : kInstalled)
        dir.AddFile(installed, std::string("installed before: ") + installed);
    if (strstr(row.library, "_exit") || strstr(row.library, "_abort") ||
        strstr(row.library, "_hang")) {
        EndedRunRow(row, dir);
        return;
    }
    const bool crashListed = row.where != SCAN || !row.named;
    const bool isDllMain = strstr(row.library, "dllmain") != NULL;

    Configurator cfg(dir.path);
    if (strstr(row.library, "_box")) {
        /* The box waits through several of the splash's ticks: the scan
           is not run again from its message loop. */
        ASSERT_TRUE(WaitForDialog("Crash plugin", cfg.processId(), 15000) != NULL);
        Sleep(1500);
        EXPECT_EQ(1, Boxes(cfg.processId(), "Crash plugin"));
        EXPECT_TRUE(Answer("Crash plugin", IDOK, NULL, cfg.processId()));
    }
    HWND main = cfg.Main(20000);
    ASSERT_TRUE(main != NULL);
    if (row.where == SCAN && row.named) {
        std::string text = TakeBox("System Error", main, cfg.processId());
        EXPECT_EQ(0u, text.find("These libraries in PLUGIN\\ failed while they were asked who they "
                                "are and are not listed:")) << text;
        for (int i = 0; i < row.copies; i++) {
            const std::string line = "\r\n" + CopyName(row.library, i) + "\r\n";
            EXPECT_NE(std::string::npos, text.find(line)) << text;
        }
    }
    Sleep(300);
    EXPECT_EQ(0, Boxes(cfg.processId(), "System Error")) << "one message only";

    /* Every other plugin once; the library where it answered. */
    Lines cds;
    for (const std::string &name : SearchOrder(dir / "PLUGIN\\*.dll")) {
        if (name == "cdidle.dll")
            cds.push_back("CDIdle 1.0");
        else if (name != "padidle.dll" && name != "gpuhost.dll" && crashListed && !isDllMain)
            cds.push_back("Crash 1.0");
    }
    EXPECT_EQ(cds, ComboItems(main, IDC_CD_LIST));
    EXPECT_EQ(Lines({ "PadIdle 1.0" }), ComboItems(main, IDC_JOY0_LIST));
    EXPECT_EQ(kIni, dir.Ini());
    for (const char *installed : kInstalled)
        EXPECT_EQ(std::string("installed before: ") + installed, ReadFileText(dir / installed));

    const int crash = IndexOf(cds, "Crash 1.0");
    const bool selectCrash = crash >= 0;
    if (selectCrash)
        SelectCombo(main, IDC_CD_LIST, crash);
    if (row.where == CONFIGURE) {
        Click(main, IDC_VERBOSE);  /* a choice not saved yet */
        ClickLater(main, IDC_CD_CONFIGURE);
        if (strstr(row.library, "dialog")) {
            EXPECT_TRUE(WaitForDialog("Crash dialog", cfg.processId()) != NULL);
        }
        EXPECT_EQ("The plugin PLUGIN\\" + std::string(row.library) +
                      " failed while it was being configured and was stopped.",
                  TakeBox("System Error", main, cfg.processId()));
        EXPECT_EQ(0, Boxes(cfg.processId(), "Crash dialog"));
        EXPECT_TRUE(IsWindowEnabled(main));
        EXPECT_TRUE(Checked(main, IDC_VERBOSE));
        EXPECT_EQ(kIni, dir.Ini()) << "the failure wrote nothing";
    } else if (strstr(row.library, "chdir")) {
        Click(main, IDC_CD_CONFIGURE);
        EXPECT_EQ(dir.path.substr(0, dir.path.size() - 1),
                  IniValue(dir / "KOVA.INI", "CRASH", "Directory"));
    } else if (strstr(row.library, "unmask")) {
        Click(main, IDC_CD_CONFIGURE);
        EXPECT_EQ("masked", IniValue(dir / "KOVA.INI", "CRASH", "Exceptions"));
    } else if (row.where != SCAN) {
        HostedRow(row, cfg, main, dir);
    }
    Click(main, IDC_SAVE);
    EXPECT_TRUE(ReadFileBytes(selectCrash ? TestBinPath(row.library) : CdIdle()) ==
                ReadFileBytes(dir / KOVA_INSTALL_NAME_CD))
        << "Save installs what is selected";
    if (row.where == CONFIGURE) {
        EXPECT_EQ("on", IniValue(dir / "KOVA.INI", "KOVA", "Verbose"));
    }
    EXPECT_EQ(0u, cfg.Exit());
}

INSTANTIATE_TEST_SUITE_P(Rows, Crash, testing::ValuesIn(kCrashRows),
                         [](const testing::TestParamInfo<CrashRow> &param) {
                             return std::string(param.param.name);
                         });

} // namespace
