/* cdimage reading a CHD against reading the same disc as CUE/BIN.
 *
 *   chd_bench <folder> [runs]      (default runs: 7)
 *
 * Makes in the folder, and removes at the end, a disc of a 64 MB data track
 * (Mode 2 Form 1 sectors with their EDC and ECC; text-like, random and empty
 * runs) and a two-minute audio track, as a CUE sheet with a BIN per track,
 * and the CHD chdman makes of it with its default CD codecs (cdlz, cdzl,
 * cdfl). Then, in one process, through cdimage.dll:
 *   every sector in order, from the CUE/BIN and from the CHD in turns;
 *   10,000 sectors in a fixed random order, from each;
 *   CD_Open and CD_Close of the CHD;
 *   the host's address space in use before CD_Open of the CHD and with
 *   the whole disc read through;
 *   the same for a 700 MB disc (a sparse BIN, so mostly empty hunks).
 * One pass before timing checks that both give the same bytes. Prints its
 * figures as key=value lines (chd.*), the runs as # comments. Not a test:
 * scripts/bench-chd.sh runs it. */
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "cd_bench_common.h"
#include "cd_sector.h"
#include "kova_test.h"

namespace {

const uint32_t kRaw = 2352;

uint32_t Next(uint32_t *seed)
{
    *seed = *seed * 1103515245u + 12345u;
    return *seed >> 16;
}

/* Sectors in runs of one kind: words of a small vocabulary (compresses
   like text and tables), random bytes (like packed video), or zeros. */
bool MakeData(const std::string &path, int32_t sectors)
{
    static const char *const kWords[] = { "the ", "level ", "score ", "0x1F ", "texture ", "\r\n", "sprite ",
                                          "vertex ", "map ", "A ", "tile ", "sound " };
    std::vector<uint8_t> bytes(static_cast<size_t>(sectors) * kRaw);
    uint32_t seed = 99;
    int kind = 0;
    for (int32_t n = 0; n < sectors; n++) {
        if (n % 64 == 0)
            kind = static_cast<int>(Next(&seed) % 10);
        uint8_t *s = &bytes[static_cast<size_t>(n) * kRaw];
        s[18] = s[22] = 0x08;
        uint8_t *data = s + CD_FORM1_DATA_OFFSET;
        if (kind < 6) {
            for (size_t i = 0; i < 2048;) {
                const char *w = kWords[Next(&seed) % 12];
                for (; *w && i < 2048; w++)
                    data[i++] = static_cast<uint8_t>(*w);
            }
        } else if (kind < 9) {
            for (size_t i = 0; i < 2048; i++)
                data[i] = static_cast<uint8_t>(Next(&seed));
        }
        SectorFinishForm1(s, n);
    }
    return WriteFileBytes(path, bytes.data(), bytes.size());
}

bool MakeAudio(const std::string &path, int32_t sectors)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(sectors) * kRaw);
    uint32_t seed = 5;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        /* Two tones and a little noise, like music more than like silence. */
        int t = static_cast<int>(i / 4);
        int left = (t % 100) * 300 - 15000 + static_cast<int>(Next(&seed) % 512);
        int right = (t % 147) * 200 - 14700 + static_cast<int>(Next(&seed) % 512);
        bytes[i] = static_cast<uint8_t>(left);
        bytes[i + 1] = static_cast<uint8_t>(left >> 8);
        bytes[i + 2] = static_cast<uint8_t>(right);
        bytes[i + 3] = static_cast<uint8_t>(right >> 8);
    }
    return WriteFileBytes(path, bytes.data(), bytes.size());
}

uint64_t FileBytes(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

} // namespace

int main(int argc, char **argv)
{
    std::string dir;
    int runs;
    CdPlugin cd;
    int failed = CdBenchStart(argc, argv, "chd_bench", 7, &dir, &runs, &cd);
    if (failed)
        return failed;

    const int32_t dataSectors = static_cast<int32_t>((64 << 20) / kRaw), audioSectors = 2 * 60 * 75;
    const int32_t sectors = dataSectors + audioSectors;
    std::string cue = dir + "BENCH.CUE", chd = dir + "BENCH.CHD";
    if (!MakeData(dir + "DATA.BIN", dataSectors) || !MakeAudio(dir + "AUDIO.BIN", audioSectors) ||
        !WriteFileText(cue, "FILE \"DATA.BIN\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
                            "FILE \"AUDIO.BIN\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n")) {
        printf("cannot make the disc in %s\n", dir.c_str());
        return 1;
    }
    double made = Now();
    if (RunUnix("chdman createcd -f -i '" + UnixPath(cue) + "' -o '" + UnixPath(chd) + "' >/dev/null 2>&1",
                600000) != 0) {
        printf("chdman could not make %s\n", chd.c_str());
        return 1;
    }
    printf("chd.chdman_createcd_s=%.1f\n", Now() - made);
    double binMb = (FileBytes(dir + "DATA.BIN") + FileBytes(dir + "AUDIO.BIN")) / 1048576.0;
    printf("chd.bin_mb=%.1f\n", binMb);
    printf("chd.chd_mb=%.1f\n", FileBytes(chd) / 1048576.0);
    printf("chd.sectors=%ld\n", static_cast<long>(sectors));

    /* Both give the same bytes: a hash of every sector of the CUE/BIN. */
    std::vector<uint32_t> hashes(static_cast<size_t>(sectors));
    auto hash = [](const uint8_t *p) {
        uint32_t h = 2166136261u;
        for (int i = 0; i < CD_SECTOR_IMAGE_SIZE; i++)
            h = (h ^ p[i]) * 16777619u;
        return h;
    };
    if (!cd.Open(cue)) {
        printf("CD_Open of the CUE sheet failed\n");
        return 1;
    }
    for (int32_t n = 0; n < sectors; n++)
        hashes[static_cast<size_t>(n)] = hash(cd.Read(n));
    cd.close();
    uint64_t beforeOpen = AddressSpaceInUse(), committedBefore = AddressSpaceInUse(true);
    if (!cd.Open(chd)) {
        printf("CD_Open of the CHD failed\n");
        return 1;
    }
    for (int32_t n = 0; n < sectors; n++) {
        if (hash(cd.Read(n)) != hashes[static_cast<size_t>(n)] || cd.wait() != 0) {
            printf("sector %ld differs between the CHD and the CUE/BIN\n", static_cast<long>(n));
            return 1;
        }
    }
    cd.close();

    std::vector<int32_t> order(10000);
    uint32_t seed = 12345;
    for (int32_t &n : order)
        n = static_cast<int32_t>((Next(&seed) << 8 ^ Next(&seed)) % static_cast<uint32_t>(sectors));
    printf("chd.runs=%d\n", runs);
    printf("# run   CUE/BIN in order ms   CHD in order ms   CUE/BIN random ms   CHD random ms\n");
    std::vector<double> seqBin, seqChd, rndBin, rndChd;
    for (int r = 0; r < runs; r++) {
        double times[2][2];
        for (int turn = 0; turn < 2; turn++) {
            int which = (turn + r) % 2;  /* 0: CUE/BIN, 1: CHD; each first in every other run */
            if (!TimeReads(&cd, which ? chd : cue, sectors, order, &times[which][0], &times[which][1])) {
                printf("CD_Open failed in run %d\n", r + 1);
                return 1;
            }
        }
        seqBin.push_back(times[0][0]);
        seqChd.push_back(times[1][0]);
        rndBin.push_back(times[0][1]);
        rndChd.push_back(times[1][1]);
        printf("# %3d %21.1f %17.1f %19.1f %15.1f\n", r + 1, times[0][0] * 1000, times[1][0] * 1000,
               times[0][1] * 1000, times[1][1] * 1000);
    }
    double mb = sectors * static_cast<double>(kRaw) / 1048576.0;
    double binRate = mb / Median(seqBin), chdRate = mb / Median(seqChd);
    printf("chd.sequential_bin_mb_s=%.1f\n", binRate);
    printf("chd.sequential_chd_mb_s=%.1f\n", chdRate);
    /* The CHD's rate over the BIN's, and over a 2x drive's 300 KB/s. */
    printf("chd.sequential_rate_ratio=%.3f\n", chdRate / binRate);
    printf("chd.sequential_times_2x_drive=%.0f\n", chdRate * 1024 / 300);
    printf("chd.random_bin_ms_per_read=%.4f\n", Median(rndBin) * 1000 / order.size());
    printf("chd.random_chd_ms_per_read=%.4f\n", Median(rndChd) * 1000 / order.size());

    std::vector<double> opens;
    if (!TimeOpens(&cd, chd, runs * 5, &opens)) {
        printf("CD_Open of the CHD failed\n");
        return 1;
    }
    printf("chd.open_ms=%.2f\n", Median(opens) * 1000);
    printf("chd.open_best_ms=%.2f\n", *std::min_element(opens.begin(), opens.end()) * 1000);

    cd.Open(chd);
    for (int32_t n = 0; n < sectors; n++)
        cd.Read(n);
    for (int32_t n : order)
        cd.Read(n);
    uint64_t readThrough = AddressSpaceInUse(), committed = AddressSpaceInUse(true);
    cd.close();
    printf("chd.address_space_kb=%lld\n",
           static_cast<long long>(readThrough) / 1024 - static_cast<long long>(beforeOpen) / 1024);
    printf("chd.committed_kb=%lld\n",
           static_cast<long long>(committed) / 1024 - static_cast<long long>(committedBefore) / 1024);
    for (const char *name : { "DATA.BIN", "AUDIO.BIN", "BENCH.CUE", "BENCH.CHD" })
        DeleteFileA((dir + name).c_str());

    /* ---- a 700 MB disc (a sparse BIN: zeros but for its first sectors) ---- */
    const int32_t bigSectors = static_cast<int32_t>((700LL << 20) / kRaw);
    std::string bigBin = dir + "BIG.BIN", bigCue = dir + "BIG.CUE", bigChd = dir + "BIG.CHD";
    if (!MakeData(bigBin, 1000)) {
        printf("cannot make %s\n", bigBin.c_str());
        return 1;
    }
    HANDLE big = CreateFileA(bigBin.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<int64_t>(bigSectors) * kRaw;
    bool bigMade = big != INVALID_HANDLE_VALUE && SetFilePointerEx(big, end, NULL, FILE_BEGIN) && SetEndOfFile(big);
    if (big != INVALID_HANDLE_VALUE)
        CloseHandle(big);
    bigMade = bigMade && WriteFileText(bigCue, "FILE \"BIG.BIN\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n") &&
           RunUnix("chdman createcd -f -i '" + UnixPath(bigCue) + "' -o '" + UnixPath(bigChd) + "' >/dev/null 2>&1",
                   600000) == 0;
    DeleteFileA(bigBin.c_str());
    DeleteFileA(bigCue.c_str());
    uint64_t bigBefore = AddressSpaceInUse();
    if (!bigMade || !cd.Open(bigChd)) {
        printf("cannot make or open the 700 MB disc's CHD\n");
        return 1;
    }
    for (int32_t n = 0; n < bigSectors; n += 97)
        cd.Read(n);
    int32_t bigWait = cd.wait();
    uint64_t bigAfter = AddressSpaceInUse();
    cd.close();
    DeleteFileA(bigChd.c_str());
    if (bigWait != 0) {
        printf("the 700 MB disc's CHD gave a read error\n");
        return 1;
    }
    printf("chd.big_disc_mb=700\n");
    printf("chd.big_address_space_kb=%lld\n",
           static_cast<long long>(bigAfter) / 1024 - static_cast<long long>(bigBefore) / 1024);
    return 0;
}
