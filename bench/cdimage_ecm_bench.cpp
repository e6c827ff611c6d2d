/* cdimage reading an ECM image against reading the BIN it was made from,
 * and what indexing a 700 MB ECM image at CD_Open costs.
 *
 *   cdimage_ecm_bench <folder> [runs]      (default runs: 7)
 *
 * Makes its images in the folder and removes them at the end:
 *   a BIN of 64 MB of complete Mode 2 sectors (Form 1, every eighth one
 *       Form 2), and its ECM (BENCH.BIN.ECM, by the tests' writer, which
 *       leaves out every sector's sync, EDC and ECC): every sector read in
 *       order through CD_Read from each, in turns; then 10,000 sectors in a
 *       fixed random order;
 *   a 700 MB ECM image written as a stream (PlayStation sectors, two records
 *       each, as every ECM of such a disc has them): CD_Open and CD_Close,
 *       and the host's address space in use while it is open.
 * Before timing, one pass checks that both images give the same bytes.
 * Prints its figures as key=value lines (cdimage_ecm.*), the runs as #
 * comments. Not a test: scripts/bench-cdimage-ecm.sh runs it. */
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "cd_bench_common.h"
#include "cd_disc.h"
#include "cd_test_writers.h"
#include "kova_test.h"

namespace {

const uint32_t kRaw = 2352;

/* The ECM stream of sectors PlayStation sectors of zeros: per sector a
   record of its 16 bytes of sync and header, and one of its subheader and
   data. The checksum is not the image's (CD_Open does not check it). */
bool WriteBigEcm(const std::string &path, int32_t sectors)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<uint8_t> block;
    block.reserve(1 << 21);
    block = {'E', 'C', 'M', 0};
    bool ok = true;
    for (int32_t n = 0; ok && n <= sectors; n++) {
        if (n == sectors) {
            PutEcmRecordHeader(block, 0, 0xFFFFFFFFu);
            block.insert(block.end(), 4, 0);
        } else {
            std::vector<uint8_t> sector = MadeSectors(MADE_SILENCE, 1, n, 0);
            sector[0] = 0;
            memset(&sector[1], 0xFF, 10);
            uint8_t msf[3];
            MsfFromSector(n, msf);
            WriteHeaderAddress(&sector[12], msf);
            sector[15] = 2;
            PutEcmRecordHeader(block, 0, 15);
            block.insert(block.end(), sector.begin(), sector.begin() + 16);
            PutEcmRecordHeader(block, 2, 0);
            block.insert(block.end(), 2052, 0);
        }
        if (block.size() > (1 << 20) || n == sectors) {
            DWORD put = 0;
            ok = WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &put, NULL) && put == block.size();
            block.clear();
        }
    }
    CloseHandle(file);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    std::string dir;
    int runs;
    CdPlugin cd;
    int failed = CdBenchStart(argc, argv, "cdimage_ecm_bench", 7, &dir, &runs, &cd);
    if (failed)
        return failed;

    /* ---- 64 MB of sectors, as a BIN and as its ECM ---- */
    const int32_t sectors = static_cast<int32_t>((64 << 20) / kRaw);
    std::vector<uint8_t> image;
    image.reserve(static_cast<size_t>(sectors) * kRaw);
    for (int32_t n = 0; n < sectors; n += 8) {
        int count = std::min<int32_t>(7, sectors - n);
        std::vector<uint8_t> part = MadeSectors(MADE_FORM1, count, n, static_cast<uint8_t>(n));
        image.insert(image.end(), part.begin(), part.end());
        if (n + 7 < sectors) {
            part = MadeSectors(MADE_FORM2, 1, n + 7, static_cast<uint8_t>(n + 1));
            image.insert(image.end(), part.begin(), part.end());
        }
    }
    std::string bin = dir + "BENCH.BIN", ecm = dir + "BENCH.BIN.ECM";
    EcmWritten written = WriteEcm(image);
    if (!WriteFileBytes(bin, image.data(), image.size()) ||
        !WriteFileBytes(ecm, written.bytes.data(), written.bytes.size())) {
        printf("cannot write the images\n");
        return 1;
    }
    printf("cdimage_ecm.mb=%.1f\n", image.size() / 1048576.0);
    printf("cdimage_ecm.ecm_mb=%.1f\n", written.bytes.size() / 1048576.0);
    printf("cdimage_ecm.sectors=%ld\n", static_cast<long>(sectors));
    printf("cdimage_ecm.runs=%d\n", runs);
    image.clear();
    image.shrink_to_fit();

    /* Both images give the same bytes. */
    std::vector<uint8_t> binBytes;
    if (!ReadSectorImages(&cd, bin, sectors, &binBytes)) {
        printf("CD_Open of the BIN failed\n");
        return 1;
    }
    int32_t differs = FirstDifferentSector(&cd, ecm, sectors, binBytes);
    if (differs < 0) {
        printf("CD_Open of the ECM image failed\n");
        return 1;
    }
    if (differs < sectors) {
        printf("sector %ld differs between the ECM image and its BIN\n", static_cast<long>(differs));
        return 1;
    }

    std::vector<int32_t> order = RandomSectors(sectors);
    printf("# run   BIN ms   ECM ms   (in order)   BIN ms   ECM ms   (random)\n");
    std::vector<double> seq[2], rnd[2];
    for (int r = 0; r < runs; r++) {
        double s[2], q[2];
        for (int turn = 0; turn < 2; turn++) {
            /* Turns in both orders, so that neither image always comes first. */
            int which = (turn + r) % 2;
            if (!TimeReads(&cd, which ? ecm : bin, sectors, order, &s[which], &q[which])) {
                printf("CD_Open failed in run %d\n", r + 1);
                return 1;
            }
            seq[which].push_back(s[which]);
            rnd[which].push_back(q[which]);
        }
        printf("# %3d %8.1f %8.1f %20.1f %8.1f\n", r + 1, s[0] * 1000, s[1] * 1000, q[0] * 1000, q[1] * 1000);
    }
    double mb = sectors * static_cast<double>(kRaw) / 1048576.0;
    printf("cdimage_ecm.sequential_bin_mb_s=%.0f\n", mb / Median(seq[0]));
    printf("cdimage_ecm.sequential_ecm_mb_s=%.0f\n", mb / Median(seq[1]));
    printf("cdimage_ecm.random_bin_ms=%.1f\n", Median(rnd[0]) * 1000);
    printf("cdimage_ecm.random_ecm_ms=%.1f\n", Median(rnd[1]) * 1000);
    DeleteFileA(bin.c_str());
    DeleteFileA(ecm.c_str());

    /* ---- a 700 MB ECM image: the indexing at CD_Open ---- */
    const int32_t big = static_cast<int32_t>((700LL << 20) / kRaw);
    std::string bigPath = dir + "BIG.BIN.ECM";
    if (!WriteBigEcm(bigPath, big)) {
        printf("cannot write %s\n", bigPath.c_str());
        return 1;
    }
    std::vector<double> opens;
    uint64_t before = 0, during = 0;
    for (int r = 0; r < runs; r++) {
        before = AddressSpaceInUse();
        double t0 = Now();
        bool opened = cd.Open(bigPath);
        double t1 = Now();
        if (opened)
            cd.Read(big - 1);
        during = AddressSpaceInUse();
        int32_t waited = cd.wait();
        cd.close();
        if (!opened || waited != 0) {
            printf("the 700 MB ECM image did not open or read\n");
            return 1;
        }
        opens.push_back(t1 - t0);
        printf("# open %d: %.1f ms\n", r + 1, (t1 - t0) * 1000);
    }
    DeleteFileA(bigPath.c_str());
    printf("cdimage_ecm.big_image_mb=700\n");
    printf("cdimage_ecm.open_big_ms=%.0f\n", Median(opens) * 1000);
    printf("cdimage_ecm.open_big_best_ms=%.0f\n", *std::min_element(opens.begin(), opens.end()) * 1000);
    printf("cdimage_ecm.address_space_kb=%lld\n",
           static_cast<long long>(during) / 1024 - static_cast<long long>(before) / 1024);
    return 0;
}
