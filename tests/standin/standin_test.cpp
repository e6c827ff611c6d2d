/* The KOVA.EXE stand-in in a program directory of its own: what it prints,
   the order in which it calls a plugin, and how it reports what fails. */
#include <algorithm>
#include <stdio.h>
#include <string.h>

#include "kova_test.h"

namespace {

/* A program directory with the stand-in as KOVA.EXE and the given KOVA.INI. */
struct ProgramDir {
    ScratchDir dir;
    explicit ProgramDir(const char *name, const char *ini = NULL) : dir(name)
    {
        EXPECT_TRUE(CopyFileTo(ShippedPath("KOVA.exe"), dir / "KOVA.EXE"));
        if (ini) {
            EXPECT_TRUE(WriteFileText(dir / "KOVA.INI", ini));
        }
    }
    void Install(const std::string &library, const char *installName)
    {
        EXPECT_TRUE(CopyFileTo(library, dir / installName)) << installName;
    }
    /* Runs KOVA.EXE with the arguments, returns its exit code. */
    DWORD Run(const char *arguments = "")
    {
        DWORD code = 0xFFFFFFFF;
        std::string line = "\"" + (dir / "KOVA.EXE") + "\"" + (*arguments ? " " : "") + arguments;
        EXPECT_TRUE(RunProgram(line, dir.path().c_str(), 30000, &code)) << "did not end";
        return code;
    }
    std::vector<std::string> Transcript() { return SplitLines(ReadFileText(dir / "STANDIN.LOG")); }
};

bool Contains(const std::vector<std::string> &lines, const std::string &line)
{
    for (const std::string &l : lines)
        if (l == line)
            return true;
    return false;
}

} // namespace

TEST(StandIn, IdlePluginsGiveTheFullTranscript)
{
    ProgramDir p("standin-idle", "[KOVA]\r\nEmulateBios=on\r\nCpuMode=Compiler\r\n"
                                 "[OTHER]\r\nKey=x\r\n");
    p.Install(ShippedPath("cdidle.dll"), "CDRend.dll");
    p.Install(ShippedPath("padidle.dll"), "Joy0Rend.dll");
    EXPECT_EQ(0u, p.Run("one  two"));
    const std::vector<std::string> want = {
        "KOVA stand-in",
        "argc 3",
        "argv[0] " + (p.dir / "KOVA.EXE"),
        "argv[1] one",
        "argv[2] two",
        "settings [KOVA]",
        "  EmulateBios=on",
        "  CpuMode=Compiler",
        "SPU SpuRend.dll: not installed",
        "GPU GpuRend.dll: not installed",
        "CD CDRend.dll: loaded",
        "CD CD_Open -> 0",
        "PAD1 Joy0Rend.dll: loaded",
        "PAD1 JOY0_Open -> 0",
        "PAD2 Joy1Rend.dll: not installed",
        "CD CD_GetTN -> 0 first 1 last 3",
        "CD CD_GetTD 1 -> 0 (no address given)",
        "CD CD_GetTD 2 -> 0 (no address given)",
        "CD CD_GetTD 3 -> 0 (no address given)",
        "CD CD_GetTD lead-out -> 0 (no address given)",
        "CD CD_Read 00:02:00 -> header 00 00 00 00 data 00 00 00 00 00 00 00 00 |........|",
        "CD CD_Wait -> -1",
        "CD CD_Read 00:02:16 -> header 00 00 00 00 data 00 00 00 00 00 00 00 00 |........|",
        "CD CD_Wait -> -1",
        "CD CD_Read 00:02:17 -> header 00 00 00 00 data 00 00 00 00 00 00 00 00 |........|",
        "CD CD_Wait -> -1",
        "CD CD_Play -> 0",
        "CD CD_Stop -> 0",
        "PAD1 JOY0_InitHeader -> 5",
        "PAD1 after init report 42 41 5a 00 00",
        "PAD1 poll report 42 41 5a ff ff",
        "PAD1 poll report 42 41 5a ff ff",
        "PAD1 poll report 42 41 5a ff ff",
        "PAD1 JOY0_Close",
        "CD CD_Close",
        "result: ok",
    };
    EXPECT_EQ(want, p.Transcript());
}

TEST(StandIn, NothingInstalledIsReportedButNotAFailure)
{
    ProgramDir p("standin-empty");
    EXPECT_EQ(0u, p.Run());
    std::vector<std::string> t = p.Transcript();
    EXPECT_TRUE(Contains(t, "argc 1"));
    EXPECT_TRUE(Contains(t, "settings KOVA.INI missing"));
    for (const char *line : { "SPU SpuRend.dll: not installed", "GPU GpuRend.dll: not installed",
                              "CD CDRend.dll: not installed", "PAD1 Joy0Rend.dll: not installed",
                              "PAD2 Joy1Rend.dll: not installed", "result: ok" })
        EXPECT_TRUE(Contains(t, line)) << line;
}

TEST(StandIn, BrokenInstallationsAreTranscriptLinesAndAFailedExit)
{
    struct Row {
        const char *what;
        const char *installName;
        std::string library;       /* empty: a text file named like a library */
        std::vector<std::string> lines;
    };
    const Row rows[] = {
        { "text file as a library", "CDRend.dll", "", { "result: 1 failure(s)" } },
        { "pad plugin installed as CD", "CDRend.dll", ShippedPath("padidle.dll"),
          { "CD CDRend.dll: missing entry point CD_Open", "CD CDRend.dll: missing entry point CD_GetSeek",
            "result: 9 failure(s)" } },
        { "CD plugin installed as pad 2", "Joy1Rend.dll", ShippedPath("cdidle.dll"),
          { "PAD2 Joy1Rend.dll: missing entry point JOY1_Open", "result: 5 failure(s)" } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ProgramDir p("standin-broken");
        if (row.library.empty()) {
            ASSERT_TRUE(WriteFileText(p.dir / row.installName, "not a library\r\n"));
        } else {
            p.Install(row.library, row.installName);
        }
        EXPECT_EQ(1u, p.Run());
        std::vector<std::string> t = p.Transcript();
        for (const std::string &line : row.lines)
            EXPECT_TRUE(Contains(t, line)) << line;
    }
}

TEST(StandIn, CallsACdPluginInTheEmulatorsOrder)
{
    struct Row {
        const char *openResult;
        DWORD exitCode;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        /* after a failed open nothing but close */
        { "-1", 1, { "CD_Open -> -1", "CD_Close" } },
        { "0", 0, { "CD_Open -> 0", "CD_GetTN", "CD_GetTD 1", "CD_GetTD 2", "CD_GetTD 170",
                    "CD_Read 0:2:0", "CD_Wait", "CD_Read 0:2:16", "CD_Wait", "CD_Read 0:2:17",
                    "CD_Wait", "CD_Play", "CD_Stop", "CD_GetSeek", "CD_Close" } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.openResult);
        ProgramDir p("standin-order");
        std::string log = p.dir / "calls.log";
        ASSERT_TRUE(WriteFileText(p.dir / "KOVA.INI", "[RECCD]\r\nLog=" + log + "\r\nOpenResult=" +
                                                          row.openResult + "\r\n"));
        p.Install(TestBinPath("rec_cd.dll"), "CDRend.dll");
        EXPECT_EQ(row.exitCode, p.Run());
        EXPECT_EQ(row.calls, SplitLines(ReadFileText(log)));
    }
}

TEST(StandIn, ReadsTheDiscInTheTestPrefixsCdRomDriveThroughCdDirect)
{
    /* Drive E: of the test prefix is a CD-ROM drive backed by an ISO 9660
       image; the stand-in opens it through cddirect as the emulator would,
       with "CDIOCTRL"/"DriveLetter" from its KOVA.INI. */
    ProgramDir p("standin-cddirect", "[CDIOCTRL]\r\nDriveLetter=E\r\n");
    p.Install(ShippedPath("cddirect.dll"), "CDRend.dll");
    EXPECT_EQ(0u, p.Run());
    const std::vector<std::string> want = {
        "KOVA stand-in",
        "argc 1",
        "argv[0] " + (p.dir / "KOVA.EXE"),
        "settings [KOVA] empty",
        "SPU SpuRend.dll: not installed",
        "GPU GpuRend.dll: not installed",
        "CD CDRend.dll: loaded",
        "CD CD_Open -> 0",
        "PAD1 Joy0Rend.dll: not installed",
        "PAD2 Joy1Rend.dll: not installed",
        /* This drive does not answer the table-of-contents request. */
        "CD CD_GetTN -> -1 (no track table)",
        "CD CD_GetTD lead-out -> -1",
        /* The system area, then the primary volume descriptor and the set
           terminator, under headers in BCD. */
        "CD CD_Read 00:02:00 -> header 00 02 00 00 data 00 00 00 00 00 00 00 00 |........|",
        "CD CD_Wait -> 0",
        "CD CD_Read 00:02:16 -> header 00 02 16 00 data 01 43 44 30 30 31 01 00 |.CD001..|",
        "CD CD_Wait -> 0",
        "CD CD_Read 00:02:17 -> header 00 02 17 00 data ff 43 44 30 30 31 01 00 |.CD001..|",
        "CD CD_Wait -> 0",
        "CD CD_Play -> 0",
        "CD CD_Stop -> 0",
        "CD CD_Close",
        "result: ok",
    };
    EXPECT_EQ(want, p.Transcript());
}

TEST(StandIn, CdDirectWithoutAUsableDriveFailsItsOpen)
{
    const char *const inis[] = { "[CDIOCTRL]\r\nDriveLetter=Q\r\n", "[CDIOCTRL]\r\n", "" };
    for (const char *ini : inis) {
        SCOPED_TRACE(ini);
        ProgramDir p("standin-cddirect-nodrive", ini);
        p.Install(ShippedPath("cddirect.dll"), "CDRend.dll");
        EXPECT_EQ(1u, p.Run());
        std::vector<std::string> t = p.Transcript();
        EXPECT_TRUE(Contains(t, "CD CD_Open -> -1 (failed)"));
        EXPECT_TRUE(Contains(t, "CD CD_Close"));
        EXPECT_FALSE(Contains(t, "CD CD_GetTN -> -1 (no track table)")) << "nothing but close";
        EXPECT_TRUE(Contains(t, "result: 1 failure(s)"));
    }
}

TEST(StandIn, KeyboardPadAndMousePadGiveTheirTranscript)
{
    ProgramDir p("standin-pads");
    p.Install(ShippedPath("padkeys.dll"), "Joy0Rend.dll");
    p.Install(ShippedPath("mousepad.dll"), "Joy1Rend.dll");
    EXPECT_EQ(0u, p.Run());
    const std::vector<std::string> want = {
        "KOVA stand-in",
        "argc 1",
        "argv[0] " + (p.dir / "KOVA.EXE"),
        "settings KOVA.INI missing",
        "SPU SpuRend.dll: not installed",
        "GPU GpuRend.dll: not installed",
        "CD CDRend.dll: not installed",
        "PAD1 Joy0Rend.dll: loaded",
        "PAD1 JOY0_Open -> 0",
        "PAD2 Joy1Rend.dll: loaded",
        "PAD2 JOY1_Open -> 0",
        "PAD1 JOY0_InitHeader -> 5",
        "PAD1 after init report 42 41 5a 00 00",
        "PAD2 JOY1_InitHeader -> 7",
        "PAD2 after init report 42 12 5a ff ff 00 00",
        "PAD1 poll report 42 41 5a ff ff",
        "PAD2 poll report 42 12 5a ff ff 00 00",
        "PAD1 poll report 42 41 5a ff ff",
        "PAD2 poll report 42 12 5a ff ff 00 00",
        "PAD1 poll report 42 41 5a ff ff",
        "PAD2 poll report 42 12 5a ff ff 00 00",
        "PAD2 JOY1_Close",
        "PAD1 JOY0_Close",
        "result: ok",
    };
    EXPECT_EQ(want, p.Transcript());
}

namespace {

/* Index of the first line at or after from that is a live report of the
   family ("PAD1 +123ms report ..."), or -1. */
int FindLiveReport(const std::vector<std::string> &lines, size_t from, const char *family,
                   const std::string &report)
{
    std::string head = std::string(family) + " +";
    std::string tail = "ms report " + report;
    for (size_t i = from; i < lines.size(); i++) {
        const std::string &l = lines[i];
        if (l.compare(0, head.size(), head) == 0 && l.size() > tail.size() &&
            l.compare(l.size() - tail.size(), tail.size(), tail) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

/* Runs the stand-in in live mode and presses a key, moves and clicks the
   mouse while it polls. Returns the transcript and its exit code. */
std::vector<std::string> RunLive(ProgramDir &p, DWORD *exitCode)
{
    SetEnvironmentVariableA("KOVA_STANDIN_LIVE_MS", "2500");
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::string line = "\"" + (p.dir / "KOVA.EXE") + "\"";
    std::vector<char> command(line.begin(), line.end());
    command.push_back('\0');
    BOOL started = CreateProcessA(NULL, command.data(), NULL, NULL, FALSE, 0, NULL,
                                  p.dir.path().c_str(), &si, &pi);
    SetEnvironmentVariableA("KOVA_STANDIN_LIVE_MS", NULL);
    EXPECT_TRUE(started);
    if (!started)
        return {};
    CloseHandle(pi.hThread);

    /* Events only once it polls live, with its window in front. */
    DWORD start = GetTickCount();
    bool live = false;
    while (!live && GetTickCount() - start < 10000 &&
           WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
        for (const std::string &l : p.Transcript())
            live = live || l.compare(0, 13, "live polling ") == 0;
    }
    EXPECT_TRUE(live) << "the stand-in never polled live";
    if (live) {
        XDoTool("keydown Return");
        Sleep(150);
        XDoTool("keyup Return");
        XDoTool("mousemove_relative -- 30 -20");
        Sleep(150);
        XDoTool("mousedown 1");
        Sleep(150);
        XDoTool("mouseup 1");
    }
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(pi.hProcess, 20000));
    GetExitCodeProcess(pi.hProcess, exitCode);
    CloseHandle(pi.hProcess);
    return p.Transcript();
}

} // namespace

TEST(StandIn, LivePollingShowsKeysAndTheMouseAsTheyChange)
{
    ASSERT_TRUE(HaveXDisplay()) << "real key and mouse events need the test display";
    /* Reports in the order the events were sent: Enter down and up on pad
       1; motion, no motion, left button, none on pad 2. */
    const struct {
        const char *family;
        const char *report;
    } expected[] = {
        { "PAD1", "42 41 5a f7 ff" },       { "PAD1", "42 41 5a ff ff" },
        { "PAD2", "42 12 5a ff ff 1e ec" }, { "PAD2", "42 12 5a ff ff 00 00" },
        { "PAD2", "42 12 5a ff f7 00 00" }, { "PAD2", "42 12 5a ff ff 00 00" },
    };
    /* Another test's window that takes the foreground meanwhile takes the
       events with it: such a run is tried again. */
    const int kRuns = 3;
    for (int run = 1; run <= kRuns; run++) {
        ProgramDir p("standin-live");
        p.Install(ShippedPath("padkeys.dll"), "Joy0Rend.dll");
        p.Install(ShippedPath("mousepad.dll"), "Joy1Rend.dll");
        DWORD exitCode = 0xFFFFFFFF;
        std::vector<std::string> t = RunLive(p, &exitCode);
        size_t from[2] = { 0, 0 };
        std::string missing;
        for (const auto &e : expected) {
            size_t &next = from[e.family[3] - '1'];
            int at = FindLiveReport(t, next, e.family, e.report);
            if (at < 0) {
                missing = std::string(e.family) + " " + e.report;
                break;
            }
            next = static_cast<size_t>(at) + 1;
        }
        if (missing.empty() || run == kRuns) {
            EXPECT_EQ("", missing) << "live report missing or out of order";
            EXPECT_EQ(0u, exitCode);
            ASSERT_GE(t.size(), 3u);
            EXPECT_EQ("PAD2 JOY1_Close", t[t.size() - 3]);
            EXPECT_EQ("PAD1 JOY0_Close", t[t.size() - 2]);
            EXPECT_EQ("result: ok", t.back());
            EXPECT_EQ(1, std::count(t.begin(), t.end(), "live polling for 2500 ms"));
            break;
        }
        printf("note: run %d missed \"%s\"; trying again\n", run, missing.c_str());
    }
}
