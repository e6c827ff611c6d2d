/* The sectors kova_cd rebuilds (cd_sector.h) against a real tool: chdman
 * stores a raw sector's ECC only when it cannot make the same bytes itself,
 * so a CHD of sectors whose ECC is right is smaller by the ECC of every
 * sector than one of the same sectors with one byte changed after their
 * ECC was made. The EDC is the CRC-32 whose check value the published
 * catalogue of CRCs gives. */
#include <string.h>

#include "cd_sector.h"
#include "disc.h"
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

/* What cdimage's readers add to the bytes a track type stores: the mode,
   the subheader of Form 1 data or of Form 2, and the EDC over the part of
   the sector the mode's EDC covers (its ECC is chdman's business above). */
TEST(CdSector, CookedSectorsGetModeSubheaderAndEdc)
{
    struct Row {
        int type;
        bool gap;            /* FillGapSector rather than the stored bytes */
        const char *header;  /* bytes 12..23: address (sector 16 = 00:02:16), mode, subheader */
        size_t dataAt, dataSize, edcAt, edcFrom;
    };
    const Row rows[] = {
        { TRACK_MODE1_2048, false, "00 02 16 02 00 00 08 00 00 00 08 00", 24, 2048, 2072, 16 },
        { TRACK_MODE2_FORM1, false, "00 02 16 02 00 00 08 00 00 00 08 00", 24, 2048, 2072, 16 },
        { TRACK_MODE2_FORM2, false, "00 02 16 02 00 00 20 00 00 00 20 00", 24, 2324, 2348, 16 },
        { TRACK_MODE2_2352, true, "00 02 16 02 00 00 20 00 00 00 20 00", 24, 2324, 2348, 16 },
        { TRACK_MODE1_2352, true, "00 02 16 01 00 00 00 00 00 00 00 00", 16, 2048, 2064, 0 },
    };
    static const uint8_t kSync[12] = { 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0 };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << TrackTypeName(row.type) << (row.gap ? " gap" : ""));
        uint8_t raw[CD_RAW_SECTOR_SIZE];
        memset(raw, 0xEE, sizeof raw);
        std::vector<uint8_t> data = row.gap ? std::vector<uint8_t>(row.dataSize, 0) : GarbageBytes(row.dataSize, 3);
        if (row.gap) {
            FillGapSector(raw, row.type, 16);
        } else {
            ASSERT_EQ(static_cast<int>(row.dataAt) - 12, SectorDataOffset(row.type));
            ASSERT_EQ(row.dataSize, TrackSectorSize(row.type));
            memcpy(raw + row.dataAt, data.data(), data.size());
            FillCookedSector(raw, row.type, 16);
        }
        EXPECT_EQ(Bytes(kSync, 12), Bytes(raw, 12));
        EXPECT_EQ(row.header, Bytes(raw + 12, 12));
        EXPECT_EQ(Bytes(data.data(), data.size()), Bytes(raw + row.dataAt, row.dataSize));
        uint32_t edc = SectorEdc(0, raw + row.edcFrom, row.edcAt - row.edcFrom);
        const uint8_t le[4] = { static_cast<uint8_t>(edc), static_cast<uint8_t>(edc >> 8),
                                static_cast<uint8_t>(edc >> 16), static_cast<uint8_t>(edc >> 24) };
        EXPECT_EQ(Bytes(le, 4), Bytes(raw + row.edcAt, 4));
    }
}
