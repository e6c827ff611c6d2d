/* Start-up benchmark of the configurator: from CreateProcess of KOVACFG.EXE
 * to its splash and to its main dialog on the screen, with the six plugins
 * in PLUGIN\ and with 256 (the six and 250 copies of them), several runs
 * each, taking turns. For scale, the plugin search alone (ScanPlugins) is
 * timed in this process over the same folders, and so are the run marker's
 * writes alone (KOVACFG.RUN opened, one mark per library, removed), which
 * the search makes besides.
 *
 *   startup_bench.exe [runs, default 15]
 *
 * Run by scripts/bench-startup.sh; not a test. Prints its figures as
 * key=value lines, for <case> six-plugins and 256-plugins:
 *   startup.<case>.listed, .splash_best_ms, .splash_median_ms,
 *   .best_ms, .median_ms (to the main dialog)
 *   scan.<case>.best_ms, .median_ms
 *   marker.<case>.best_ms, .median_ms */
#include <windows.h>
#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "catalogue.h"
#include "configurator.h"
#include "kova_str.h"
#include "kova_window.h"
#include "run_marker.h"
#include "startup.h"
#include "kova_test_paths.h"
#include "resource.h"

namespace {

const char kMainCaption[] = "KOVA Configurator 1.0 Beta 1";
const char *const kPlugins[] = { "gpuhost.dll", "cddirect.dll", "cdidle.dll",
                                 "padkeys.dll", "padidle.dll", "mousepad.dll" };
const int kPluginCount = sizeof kPlugins / sizeof kPlugins[0];

double NowMs()
{
    return 1000.0 * Now();
}

bool Copy(const std::string &from, const std::string &to)
{
    if (CopyFileA(from.c_str(), to.c_str(), FALSE))
        return true;
    fprintf(stderr, "startup_bench: cannot copy %s to %s\n", from.c_str(), to.c_str());
    return false;
}

void RemoveTree(const std::string &dir)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(dir + name + "\\");
            else
                DeleteFileA((dir + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

/* A program directory as a user has it: KOVACFG.EXE, BIOS\, MEMCARDS\,
   PLUGIN\ with the six plugins and copies of them up to plugins. */
bool MakeProgramDir(const std::string &dir, int plugins)
{
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), NULL);
    const char *const folders[] = { "BIOS", "MEMCARDS", "PLUGIN", "PLUGIN\\PSEMU" };
    for (const char *folder : folders)
        if (!CreateDirectoryA((dir + folder).c_str(), NULL))
            return false;
    if (!Copy(KOVA_BIN_DIR "KOVACFG.exe", dir + "KOVACFG.EXE"))
        return false;
    for (int i = 0; i < plugins; i++) {
        const char *source = kPlugins[i % kPluginCount];
        char name[64];
        if (i < kPluginCount)
            BufSet(name, source);
        else
            BufFormat(name, sizeof name, "c%03d%s", i, source);
        if (!Copy(std::string(KOVA_BIN_DIR) + source, dir + "PLUGIN\\" + name))
            return false;
    }
    return true;
}

struct Times {
    double splash;
    double main;
};

/* One start: the times from CreateProcess to the splash and to the main
   dialog being visible; then Exit. False when something did not happen. */
bool StartOnce(const std::string &dir, Times *times)
{
    std::string exe = dir + "KOVACFG.EXE";
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    double start = NowMs();
    if (!CreateProcessA(exe.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, dir.c_str(), &si, &pi)) {
        fprintf(stderr, "startup_bench: cannot start %s\n", exe.c_str());
        return false;
    }
    CloseHandle(pi.hThread);
    times->splash = -1;
    HWND main = NULL;
    while (!main && NowMs() - start < 30000) {
        if (times->splash < 0 && FindVisibleDialog(pi.dwProcessId, ""))
            times->splash = NowMs() - start;
        main = FindVisibleDialog(pi.dwProcessId, kMainCaption);
        if (!main)
            Sleep(1);
    }
    times->main = NowMs() - start;
    bool ok = main != NULL;
    if (main)
        PostMessageA(main, WM_COMMAND, IDC_EXIT, 0);
    if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        ok = false;
    }
    CloseHandle(pi.hProcess);
    if (!ok)
        fprintf(stderr, "startup_bench: no main dialog from %s\n", exe.c_str());
    return ok;
}

struct Stats {
    double best;
    double median;
};

Stats Summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    Stats s = { values[0], n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2 };
    return s;
}

struct Case {
    const char *name;
    int plugins;
    std::string dir;
    std::vector<double> splash, main, scan, marker;
    int listed;
};

} // namespace

int main(int argc, char **argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 15;
    if (runs < 1 || runs > 1000) {
        fprintf(stderr, "usage: startup_bench.exe [runs 1..1000]\n");
        return 2;
    }

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "kova-startup-bench\\";
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), NULL);
    Case cases[] = {
        { "six-plugins", kPluginCount, root + "six\\", {}, {}, {}, {}, 0 },
        { "256-plugins", MAX_PLUGINS, root + "full\\", {}, {}, {}, {}, 0 },
    };
    for (Case &c : cases)
        if (!MakeProgramDir(c.dir, c.plugins))
            return 1;

    /* One start each to warm the file cache and Wine, not counted; then the
       cases take turns so that a busy moment of the machine hits both. */
    Times times;
    for (Case &c : cases)
        if (!StartOnce(c.dir, &times))
            return 1;
    for (int r = 0; r < runs; r++)
        for (Case &c : cases) {
            if (!StartOnce(c.dir, &times))
                return 1;
            c.splash.push_back(times.splash);
            c.main.push_back(times.main);
        }

    /* The plugin search alone, in this process, under the configurator's
       conditions: it searches with its splash on the screen and with its
       manifest's common controls 6 in use, and the libraries a plugin pulls
       in (DirectInput's, for mousepad) load much faster where the display's
       modules and those controls are loaded already (measured: 1.6 s for
       256 plugins with neither, 0.7 s with both). So this program links the
       configurator's resource script, manifest included, and opens a window. */
    HWND window = CreateWindowA("STATIC", "startup_bench", WS_POPUP | WS_VISIBLE, 0, 0, 16, 16,
                                NULL, NULL, GetModuleHandleA(NULL), NULL);
    StartUp(GetModuleHandleA(NULL), NULL);
    for (int r = 0; r < runs; r++)
        for (Case &c : cases) {
            UseProgramDirectory(c.dir.c_str());
            double start = NowMs();
            ScanPlugins();
            c.scan.push_back(NowMs() - start);
            c.listed = 0;
            for (int f = 0; f < PLUGIN_TYPE_COUNT; f++)
                c.listed += PluginCatalogue.families[f].count;
            /* What the marker adds to the search: its writes alone. */
            start = NowMs();
            OpenRunMarker(NULL);
            for (int i = 0; i < c.plugins; i++)
                MarkRun(RUN_ABOUT, "c255mousepad.dll");
            CloseRunMarker();
            c.marker.push_back(NowMs() - start);
        }

    printf("# KOVACFG.EXE start-up, %d runs per case after one warm-up run, times in ms\n", runs);
    printf("startup.runs=%d\n", runs);
    for (Case &c : cases) {
        Stats splash = Summarise(c.splash), main = Summarise(c.main), scan = Summarise(c.scan),
              marker = Summarise(c.marker);
        printf("startup.%s.listed=%d\n", c.name, c.listed);
        printf("startup.%s.splash_best_ms=%.1f\n", c.name, splash.best);
        printf("startup.%s.splash_median_ms=%.1f\n", c.name, splash.median);
        printf("startup.%s.best_ms=%.1f\n", c.name, main.best);
        printf("startup.%s.median_ms=%.1f\n", c.name, main.median);
        printf("scan.%s.best_ms=%.1f\n", c.name, scan.best);
        printf("scan.%s.median_ms=%.1f\n", c.name, scan.median);
        printf("marker.%s.best_ms=%.2f\n", c.name, marker.best);
        printf("marker.%s.median_ms=%.2f\n", c.name, marker.median);
    }
    DestroyWindow(window);
    RemoveTree(root);
    return 0;
}
