/* cdimage against plain ReadFile of the same bytes from the same file, and
 * what opening an image costs.
 *
 *   cdimage_bench <folder> [runs]      (default runs: 7)
 *
 * Makes its images in the folder and removes them at the end:
 *   a BIN of raw sectors, 64 MB: every sector read in order, through
 *       CD_Read by its disc address and with ReadFile of its 2352 bytes on a
 *       handle of the benchmark's own, in turns; then the same for 10,000
 *       sectors in a fixed random order (SetFilePointerEx and ReadFile);
 *   a CUE sheet of 99 tracks, one BIN file each: CD_Open and CD_Close;
 *   a 700 MB ISO (its bytes never written, so it costs no disk where the
 *       file system allows): the host's address space in use before CD_Open
 *       and with the image open and read.
 * Before timing, one pass checks that both ways give the same bytes. Prints
 * its figures as key=value lines (cdimage.*), the runs as # comments. Not a
 * test: scripts/bench-cdimage.sh runs it. */
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "cd_bench_common.h"
#include "cd_disc.h"
#include "kova_test.h"

namespace {

const DWORD kRaw = 2352;

/* Writes size bytes of a pattern that differs from sector to sector (or
   nothing but the size, for sparse). */
bool MakeFile(const std::string &path, int64_t size, bool sparse)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    if (sparse) {
        LARGE_INTEGER at;
        at.QuadPart = size;
        ok = SetFilePointerEx(file, at, NULL, FILE_BEGIN) && SetEndOfFile(file);
    } else {
        std::vector<uint8_t> block(kRaw * 64);
        for (int64_t done = 0; ok && done < size;) {
            for (size_t i = 0; i < block.size(); i++)
                block[i] = static_cast<uint8_t>((done + i) * 7 + (done + i) / kRaw);
            DWORD n = static_cast<DWORD>(std::min<int64_t>(block.size(), size - done)), put = 0;
            ok = WriteFile(file, block.data(), n, &put, NULL) && put == n;
            done += n;
        }
    }
    CloseHandle(file);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    /* Before the library is loaded. */
    uint64_t beforeLoad = AddressSpaceInUse();
    std::string dir;
    int runs;
    CdPlugin cd;
    int failed = CdBenchStart(argc, argv, "cdimage_bench", 7, &dir, &runs, &cd);
    if (failed)
        return failed;

    /* ---- 64 MB of raw sectors: in order, then in a random order ---- */
    const int32_t sectors = static_cast<int32_t>((64 << 20) / kRaw);
    std::string bin = dir + "BENCH.BIN";
    if (!MakeFile(bin, static_cast<int64_t>(sectors) * kRaw, false) || !cd.Open(bin)) {
        printf("cannot make or open %s\n", bin.c_str());
        return 1;
    }
    HANDLE file = CreateFileA(bin.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    std::vector<uint8_t> buffer(kRaw);
    std::vector<int32_t> order = RandomSectors(sectors);
    auto readFileAt = [&](int32_t n) {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<int64_t>(n) * kRaw;
        DWORD got = 0;
        SetFilePointerEx(file, at, NULL, FILE_BEGIN);
        ReadFile(file, buffer.data(), kRaw, &got, NULL);
    };
    for (int32_t n = 0; n < sectors; n++) {
        readFileAt(n);
        if (memcmp(cd.Read(n), buffer.data() + 12, CD_SECTOR_IMAGE_SIZE) != 0 || cd.wait() != 0) {
            printf("sector %ld differs between CD_Read and ReadFile\n", static_cast<long>(n));
            return 1;
        }
    }
    printf("cdimage.sequential_mb=%.1f\n", sectors * static_cast<double>(kRaw) / (1 << 20));
    printf("cdimage.sectors=%ld\n", static_cast<long>(sectors));
    printf("cdimage.runs=%d\n", runs);
    printf("# run   ReadFile ms   CD_Read ms   (in order)   ReadFile ms   CD_Read ms   (random)\n");
    std::vector<double> seqFile, seqCd, seqRatio, rndFile, rndCd, rndRatio;
    for (int r = 0; r < runs; r++) {
        /* Turns in both orders, so that neither way always comes first. */
        double fileSeq = 0, cdSeq = 0, fileRnd = 0, cdRnd = 0;
        for (int turn = 0; turn < 2; turn++) {
            bool cdTurn = (turn == 0) == (r % 2 == 1);
            double t0 = Now();
            if (cdTurn) {
                for (int32_t n = 0; n < sectors; n++)
                    cd.Read(n);
            } else {
                LARGE_INTEGER zero = {};
                SetFilePointerEx(file, zero, NULL, FILE_BEGIN);
                for (int32_t n = 0; n < sectors; n++) {
                    DWORD got = 0;
                    ReadFile(file, buffer.data(), kRaw, &got, NULL);
                }
            }
            double t1 = Now();
            for (int32_t n : order) {
                if (cdTurn)
                    cd.Read(n);
                else
                    readFileAt(n);
            }
            double t2 = Now();
            (cdTurn ? cdSeq : fileSeq) = t1 - t0;
            (cdTurn ? cdRnd : fileRnd) = t2 - t1;
        }
        double t0 = 0, t1 = fileSeq, t2 = fileSeq + cdSeq, t3 = t2 + fileRnd, t4 = t3 + cdRnd;
        seqFile.push_back(t1 - t0);
        seqCd.push_back(t2 - t1);
        seqRatio.push_back((t1 - t0) / (t2 - t1));
        rndFile.push_back(t3 - t2);
        rndCd.push_back(t4 - t3);
        rndRatio.push_back((t4 - t3) / (t3 - t2));
        printf("# %3d %13.1f %12.1f %27.1f %12.1f\n", r + 1, (t1 - t0) * 1000, (t2 - t1) * 1000,
               (t3 - t2) * 1000, (t4 - t3) * 1000);
    }
    if (cd.wait() != 0)
        printf("# CD_Wait reports a read error\n");
    cd.close();
    CloseHandle(file);
    DeleteFileA(bin.c_str());
    double mb = sectors * static_cast<double>(kRaw) / (1 << 20);
    printf("cdimage.sequential_readfile_mb_s=%.0f\n", mb / Median(seqFile));
    printf("cdimage.sequential_cd_read_mb_s=%.0f\n", mb / Median(seqCd));
    /* CD_Read's rate over ReadFile's (aim: at least 0.95). */
    printf("cdimage.sequential_rate_ratio=%.3f\n", Median(seqRatio));
    printf("cdimage.sequential_rate_ratio_best=%.3f\n",
           *std::min_element(seqFile.begin(), seqFile.end()) / *std::min_element(seqCd.begin(), seqCd.end()));
    printf("cdimage.random_readfile_ms=%.1f\n", Median(rndFile) * 1000);
    printf("cdimage.random_cd_read_ms=%.1f\n", Median(rndCd) * 1000);
    /* CD_Read's time over ReadFile's (aim: at most 1.1). */
    printf("cdimage.random_time_ratio=%.3f\n", Median(rndRatio));
    printf("cdimage.random_time_ratio_best=%.3f\n",
           *std::min_element(rndCd.begin(), rndCd.end()) / *std::min_element(rndFile.begin(), rndFile.end()));

    /* ---- a CUE sheet of 99 tracks, one BIN each ---- */
    std::string cue;
    for (int t = 1; t <= 99; t++) {
        char name[32], lines[160];
        BufFormat(name, sizeof name, "Bench (Track %02d).bin", t);
        BufFormat(lines, sizeof lines, "FILE \"%s\" BINARY\r\n  TRACK %02d %s\r\n%s    INDEX 01 00:%02d:00\r\n",
                  name, t, t == 1 ? "MODE2/2352" : "AUDIO", t == 1 ? "" : "    INDEX 00 00:00:00\r\n",
                  t == 1 ? 0 : 2);
        cue += lines;
        if (!MakeFile(dir + name, 300 * kRaw, false)) {
            printf("cannot make %s\n", name);
            return 1;
        }
    }
    std::string cuePath = dir + "BENCH.CUE";
    WriteFileText(cuePath, cue);
    std::vector<double> opens;
    if (!TimeOpens(&cd, cuePath, runs * 5, &opens)) {
        printf("CD_Open of the 99-track CUE sheet failed\n");
        return 1;
    }
    printf("cdimage.open_99_tracks_ms=%.2f\n", Median(opens) * 1000);
    printf("cdimage.open_99_tracks_best_ms=%.2f\n", *std::min_element(opens.begin(), opens.end()) * 1000);
    for (int t = 1; t <= 99; t++) {
        char name[32];
        BufFormat(name, sizeof name, "Bench (Track %02d).bin", t);
        DeleteFileA((dir + name).c_str());
    }
    DeleteFileA(cuePath.c_str());

    /* ---- a 700 MB image open ---- */
    std::string iso = dir + "BIG.ISO";
    const int64_t big = 700LL << 20;
    if (!MakeFile(iso, big, true)) {
        printf("cannot make %s\n", iso.c_str());
        return 1;
    }
    uint64_t before = AddressSpaceInUse();
    bool opened = cd.Open(iso);
    for (int32_t n = 0; opened && n < static_cast<int32_t>(big / 2048); n += 997)
        cd.Read(n);
    uint64_t after = AddressSpaceInUse();
    int32_t waited = cd.wait();
    cd.close();
    DeleteFileA(iso.c_str());
    if (!opened || waited != 0) {
        printf("the 700 MB image did not open or read\n");
        return 1;
    }
    printf("cdimage.big_image_mb=700\n");
    printf("cdimage.address_space_kb=%lld\n",
           static_cast<long long>(after) / 1024 - static_cast<long long>(before) / 1024);
    /* With what loading the library itself took. */
    printf("cdimage.address_space_with_library_kb=%lld\n",
           static_cast<long long>(after) / 1024 - static_cast<long long>(beforeLoad) / 1024);
    return 0;
}
