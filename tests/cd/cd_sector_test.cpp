/* The sectors kova_cd rebuilds (cd_sector.h) against a real tool: chdman
 * stores a raw sector's ECC only when it cannot make the same bytes itself,
 * so a CHD of sectors whose ECC is right is smaller by the ECC of every
 * sector than one of the same sectors with one byte changed after their
 * ECC was made. The EDC is the CRC-32 whose check value the published
 * catalogue of CRCs gives. */
#include <string.h>

#include "cd_sector.h"
#include "kova_test.h"

TEST(CdSector, EdcIsTheCatalogueCrc)
{
    EXPECT_EQ(0x6EC2EDC4u, SectorEdc(0, reinterpret_cast<const uint8_t *>("123456789"), 9));
}

TEST(CdSector, ChdmanFindsTheEccRight)
{
    struct Row {
        const char *what;
        const char *trackType;
        void (*finish)(uint8_t *raw, int32_t sector);
    };
    const Row rows[] = {
        { "Mode 1", "MODE1/2352", [](uint8_t *raw, int32_t n) { SectorFinishMode1(raw, n); } },
        { "Mode 2 Form 1", "MODE2/2352",
          [](uint8_t *raw, int32_t n) {
              raw[18] = raw[22] = 0x08;
              SectorFinishForm1(raw, n);
          } },
    };
    const int kSectors = 500;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir("cd-sector");
        int64_t sizes[2] = { 0, 0 };
        for (int spoilt = 0; spoilt < 2; spoilt++) {
            std::vector<uint8_t> bin(static_cast<size_t>(kSectors) * CD_RAW_SECTOR_SIZE);
            std::vector<uint8_t> noise = GarbageBytes(bin.size(), 11);
            for (int n = 0; n < kSectors; n++) {
                uint8_t *raw = &bin[static_cast<size_t>(n) * CD_RAW_SECTOR_SIZE];
                memcpy(raw + 16, &noise[static_cast<size_t>(n) * CD_RAW_SECTOR_SIZE], CD_RAW_SECTOR_SIZE - 16);
                row.finish(raw, n);
                if (spoilt)
                    raw[1000] ^= 0x01;
            }
            ASSERT_TRUE(WriteFileBytes(dir / "S.BIN", bin.data(), bin.size()));
            ASSERT_TRUE(WriteFileText(dir / "S.CUE", std::string("FILE \"S.BIN\" BINARY\n  TRACK 01 ") +
                                                         row.trackType + "\n    INDEX 01 00:00:00\n"));
            ASSERT_EQ(0, RunUnix("chdman createcd -f -i '" + UnixPath(dir / "S.CUE") + "' -o '" +
                                 UnixPath(dir / "S.CHD") + "' >/dev/null 2>&1"));
            sizes[spoilt] = static_cast<int64_t>(ReadFileBytes(dir / "S.CHD").size());
        }
        /* 276 bytes of P and Q parity a sector; the sync goes either way. */
        EXPECT_GT(sizes[1] - sizes[0], 250 * kSectors) << sizes[0] << " " << sizes[1];
    }
}
