/* cdimage reading one disc from a PBP against reading it from its CUE/BIN:
 * CD_Read of every sector in order, and of 10,000 sectors in a fixed random
 * order, the two images opened in turns by the same library.
 *
 *   pbp_bench <folder> [runs]      (default runs: 5)
 *
 * Makes its disc in the folder and removes it at the end: 40 MB of raw
 * Mode 2 sectors, two thirds of them text (which Deflate shrinks, as it
 * does a game's files) and a third noise (which it cannot, as with movies
 * and audio), as a CUE/BIN and as a PBP of compressed blocks written by the
 * tests' own writer. Before timing, one pass checks that both give the same
 * sector images. Prints key=value lines (pbp.*), the runs as # comments.
 * Not a test: scripts/bench-pbp.sh runs it. */
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "cd_bench_common.h"
#include "cd_disc.h"
#include "cd_test_pbp.h"
#include "kova_test.h"

namespace {

const uint32_t kRaw = 2352;

} // namespace

int main(int argc, char **argv)
{
    std::string dir;
    int runs;
    CdPlugin cd;
    int failed = CdBenchStart(argc, argv, "pbp_bench", 5, &dir, &runs, &cd);
    if (failed)
        return failed;

    /* ---- the disc: one data track of raw Mode 2 sectors ---- */
    const int32_t sectors = static_cast<int32_t>((40 << 20) / kRaw);
    TestDisc disc;
    disc.bin.assign(static_cast<size_t>(sectors) * kRaw, 0);
    std::vector<uint8_t> noise = GarbageBytes(kRaw * 64, 99);
    for (int32_t n = 0; n < sectors; n++) {
        uint8_t *s = &disc.bin[static_cast<size_t>(n) * kRaw];
        memset(s + 1, 0xFF, 10);
        uint8_t msf[3];
        MsfFromSector(n, msf);
        WriteHeaderAddress(s + 12, msf);
        s[15] = 2;
        if (n % 3 == 2) {
            memcpy(s + 16, &noise[static_cast<size_t>(n % 63) * kRaw], kRaw - 16);
        } else {
            char line[64];
            for (uint32_t at = 16; at < kRaw;) {
                int len = BufFormat(line, sizeof line, "sector %ld, line %u of a file\r\n", static_cast<long>(n), at)
                              ? static_cast<int>(strlen(line)) : 0;
                for (int i = 0; i < len && at < kRaw; i++)
                    s[at++] = static_cast<uint8_t>(line[i]);
            }
        }
    }
    /* The CUE names one data track and a short audio track at the end, as
       the writer's table of contents does. */
    disc.dataSectors = sectors - 200;
    disc.audioFirst = sectors - 200;
    disc.audioStart = sectors - 50;
    std::string bin = dir + "BENCH.BIN", cue = dir + "BENCH.CUE", pbpPath = dir + "BENCH.PBP";
    std::vector<uint8_t> pbp = MakePbp({ { &disc, "SLUS-00892", true } });
    if (!WriteFileBytes(bin, disc.bin.data(), disc.bin.size()) || !WriteFileText(cue, disc.Cue("BENCH.BIN")) ||
        !WriteFileBytes(pbpPath, pbp.data(), pbp.size())) {
        printf("cannot write the images into %s\n", dir.c_str());
        return 1;
    }
    printf("pbp.disc_mb=%.1f\n", disc.bin.size() / 1048576.0);
    printf("pbp.pbp_mb=%.1f\n", pbp.size() / 1048576.0);
    printf("pbp.runs=%d\n", runs);

    std::vector<int32_t> order = RandomSectors(sectors);

    /* ---- the same sector images both ways ---- */
    std::vector<uint8_t> images;
    if (!ReadSectorImages(&cd, cue, sectors, &images)) {
        printf("cannot open %s\n", cue.c_str());
        return 1;
    }
    int32_t differs = FirstDifferentSector(&cd, pbpPath, sectors, images);
    if (differs < 0) {
        printf("cannot open %s\n", pbpPath.c_str());
        return 1;
    }
    if (differs < sectors) {
        printf("sector %ld differs between the PBP and the BIN\n", static_cast<long>(differs));
        return 1;
    }

    printf("# run   BIN ms   PBP ms   (in order)   BIN ms   PBP ms   (random)\n");
    std::vector<double> seqBin, seqPbp, rndBin, rndPbp, seqRatio, rndRatio;
    for (int r = 0; r < runs; r++) {
        double seq[2] = {}, rnd[2] = {};
        /* Turns in both orders, so that neither image always comes first. */
        for (int turn = 0; turn < 2; turn++) {
            int which = (turn + r) % 2;  /* 0 BIN, 1 PBP */
            if (!TimeReads(&cd, which ? pbpPath : cue, sectors, order, &seq[which], &rnd[which])) {
                printf("cannot open the image\n");
                return 1;
            }
        }
        seqBin.push_back(seq[0]);
        seqPbp.push_back(seq[1]);
        rndBin.push_back(rnd[0]);
        rndPbp.push_back(rnd[1]);
        seqRatio.push_back(seq[0] / seq[1]);
        rndRatio.push_back(rnd[1] / rnd[0]);
        printf("# %3d %8.1f %8.1f %21.1f %8.1f\n", r + 1, seq[0] * 1000, seq[1] * 1000, rnd[0] * 1000, rnd[1] * 1000);
    }
    DeleteFileA(bin.c_str());
    DeleteFileA(cue.c_str());
    DeleteFileA(pbpPath.c_str());
    double mb = disc.bin.size() / 1048576.0;
    printf("pbp.sequential_bin_mb_s=%.0f\n", mb / Median(seqBin));
    printf("pbp.sequential_pbp_mb_s=%.0f\n", mb / Median(seqPbp));
    /* The PBP's rate over the BIN's. */
    printf("pbp.sequential_rate_ratio=%.3f\n", Median(seqRatio));
    printf("pbp.random_bin_ms=%.1f\n", Median(rndBin) * 1000);
    printf("pbp.random_pbp_ms=%.1f\n", Median(rndPbp) * 1000);
    /* The PBP's time over the BIN's. */
    printf("pbp.random_time_ratio=%.3f\n", Median(rndRatio));
    return 0;
}
