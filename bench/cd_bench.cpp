/* Sequential reading through cddirect against raw reads of the same device.
 *
 *   cd_bench [drive letter] [runs]      (default: E 5)
 *
 * Reads every sector of the drive's disc from start to end, in turns:
 *   raw      ReadFile of 2048 bytes per sector on "\\.\X:", opened as the
 *            plugin opens it (no buffering), into a page-aligned buffer;
 *   CD_Read  the plugin's read of the same sector by its disc address.
 * Before timing, one pass checks that both deliver the same bytes. The
 * plugin's SetFilePointer and ReadFile calls are counted through its import
 * table, so the seeks of each sequential run are seen as they happen.
 * Not a test: scripts/bench-cd.sh builds a 64 MB disc and runs it. Prints
 * its figures as key=value lines (cd.*), the runs as # comments. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "bench_clock.h"
#include "kova_test.h"

namespace {

/* The disc address of a sector: 00:02:00 is sector 0. */
void MsfFromSector(int32_t sector, uint8_t msf[3])
{
    int32_t frames = sector + 150;
    msf[0] = static_cast<uint8_t>(frames / (60 * 75));
    msf[1] = static_cast<uint8_t>(frames / 75 % 60);
    msf[2] = static_cast<uint8_t>(frames % 75);
}

char Letter = 'E';
unsigned long Seeks, Reads;
void *OriginalSetFilePointer, *OriginalReadFile;

DWORD WINAPI CountSetFilePointer(HANDLE file, LONG low, PLONG high, DWORD method)
{
    Seeks++;
    return reinterpret_cast<DWORD(WINAPI *)(HANDLE, LONG, PLONG, DWORD)>(OriginalSetFilePointer)(
        file, low, high, method);
}

BOOL WINAPI CountReadFile(HANDLE file, LPVOID dst, DWORD size, LPDWORD got, LPOVERLAPPED ov)
{
    Reads++;
    return reinterpret_cast<BOOL(WINAPI *)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED)>(
        OriginalReadFile)(file, dst, size, got, ov);
}

int32_t KOVA_CALL ReadLetter(const char *, const char *, char *out)
{
    out[0] = Letter;
    out[1] = '\0';
    return 0;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && argv[1][0])
        Letter = argv[1][0];
    int runs = argc > 2 ? atoi(argv[2]) : 5;
    if (runs < 1)
        runs = 1;
    char path[8] = "\\\\.\\?:";
    path[4] = Letter;

    HANDLE raw = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, NULL);
    uint8_t *page = static_cast<uint8_t *>(
        VirtualAlloc(NULL, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (raw == INVALID_HANDLE_VALUE || !page) {
        printf("cannot open %s (error %lu)\n", path, GetLastError());
        return 1;
    }
    /* The disc's size, and every sector once into the host's cache. */
    int32_t sectors = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(raw, page, 2048, &got, NULL) || got != 2048)
            break;
        sectors++;
    }
    if (sectors < 150) {
        printf("%s: only %ld sectors\n", path, static_cast<long>(sectors));
        return 1;
    }

    std::string dll = ShippedPath("cddirect.dll");
    HMODULE lib = LoadLibraryA(dll.c_str());
    if (!lib) {
        printf("cannot load %s\n", dll.c_str());
        return 1;
    }
    ImportHook seekHook(lib, "kernel32.dll", "SetFilePointer",
                        reinterpret_cast<void *>(CountSetFilePointer));
    ImportHook readHook(lib, "kernel32.dll", "ReadFile", reinterpret_cast<void *>(CountReadFile));
    OriginalSetFilePointer = seekHook.original();
    OriginalReadFile = readHook.original();
    if (!seekHook.installed() || !readHook.installed()) {
        printf("cannot count the plugin's calls\n");
        return 1;
    }
    PluginOpenFn open = GetProcAs<PluginOpenFn>(lib, "CD_Open");
    PluginCloseFn close = GetProcAs<PluginCloseFn>(lib, "CD_Close");
    CdReadFn read = GetProcAs<CdReadFn>(lib, "CD_Read");
    CdWaitFn wait = GetProcAs<CdWaitFn>(lib, "CD_Wait");
    HostServices host;
    memset(&host, 0, sizeof host);
    host.readSetting = ReadLetter;
    if (!open || !close || !read || !wait || open(&host) != 0) {
        printf("CD_Open of drive %c failed\n", Letter);
        return 1;
    }

    /* Same bytes both ways. */
    SetFilePointer(raw, 0, NULL, FILE_BEGIN);
    for (int32_t n = 0; n < sectors; n++) {
        uint8_t msf[3];
        MsfFromSector(n, msf);
        const uint8_t *image = read(msf);
        DWORD got = 0;
        ReadFile(raw, page, 2048, &got, NULL);
        if (got != 2048 || memcmp(image + CD_SECTOR_DATA_OFFSET, page, 2048) != 0) {
            printf("sector %ld differs between CD_Read and ReadFile\n", static_cast<long>(n));
            return 1;
        }
    }
    if (wait() != 0) {
        printf("CD_Wait reports a read error\n");
        return 1;
    }

    printf("cd.device=%s\n", path);
    printf("cd.sectors=%ld\n", static_cast<long>(sectors));
    printf("cd.mb=%.1f\n", sectors * 2048.0 / (1024 * 1024));
    printf("cd.runs=%d\n", runs);
    printf("# run   raw ms   CD_Read ms   ratio   seeks   reads\n");
    std::vector<double> rawTimes, pluginTimes, ratios;
    unsigned long maxSeeks = 0;
    for (int r = 0; r < runs; r++) {
        SetFilePointer(raw, 0, NULL, FILE_BEGIN);
        double t0 = Now();
        for (int32_t n = 0; n < sectors; n++) {
            DWORD got;
            ReadFile(raw, page, 2048, &got, NULL);
        }
        double rawTime = Now() - t0;

        Seeks = Reads = 0;
        t0 = Now();
        for (int32_t n = 0; n < sectors; n++) {
            uint8_t msf[3];
            MsfFromSector(n, msf);
            read(msf);
        }
        double pluginTime = Now() - t0;
        if (wait() != 0)
            printf("# run %d: CD_Wait reports a read error\n", r + 1);
        maxSeeks = std::max(maxSeeks, Seeks);

        rawTimes.push_back(rawTime);
        pluginTimes.push_back(pluginTime);
        ratios.push_back(rawTime / pluginTime);
        printf("# %3d %8.1f %12.1f %7.3f %7lu %7lu\n", r + 1, rawTime * 1000, pluginTime * 1000,
               rawTime / pluginTime, Seeks, Reads);
    }
    close();

    double mb = sectors * 2048.0 / (1024 * 1024);
    double rawBest = *std::min_element(rawTimes.begin(), rawTimes.end());
    double pluginBest = *std::min_element(pluginTimes.begin(), pluginTimes.end());
    printf("cd.raw_best_ms=%.1f\n", rawBest * 1000);
    printf("cd.raw_best_mb_s=%.0f\n", mb / rawBest);
    printf("cd.raw_median_ms=%.1f\n", Median(rawTimes) * 1000);
    printf("cd.read_best_ms=%.1f\n", pluginBest * 1000);
    printf("cd.read_best_mb_s=%.0f\n", mb / pluginBest);
    printf("cd.read_median_ms=%.1f\n", Median(pluginTimes) * 1000);
    /* CD_Read's speed over raw ReadFile's. */
    printf("cd.speed_ratio_median=%.3f\n", Median(ratios));
    printf("cd.speed_ratio_best=%.3f\n", rawBest / pluginBest);
    printf("cd.seeks_per_run=%lu\n", maxSeeks);
    return 0;
}
