/* cddirect.dll through its exports against a real device: drive E: of the
 * test prefix is a CD-ROM drive whose raw device is an ISO 9660 image
 * (tests/rig/prefix.d/20-cdrom.sh). Every sector read is compared byte for
 * byte with the image file. Each test loads the library afresh. */
#include <string.h>

#include "cd_test_disc.h"
#include "kova_test.h"

namespace {

struct CdDirect : CdExports {
    CdDirect() : CdExports(ShippedPath("cddirect.dll")) {}
    const uint8_t *ReadSector(int32_t sector)
    {
        uint8_t msf[3];
        MsfFromSector(sector, msf);
        return CD_Read(msf);
    }
};

/* "" when image is sector n of the disc as the plugin must deliver it. */
std::string CompareWithDisc(const uint8_t *image, int32_t sector, const std::vector<uint8_t> &disc)
{
    uint8_t msf[3];
    MsfFromSector(sector, msf);
    char what[160];
    const uint8_t header[3] = { static_cast<uint8_t>((msf[0] / 10) << 4 | msf[0] % 10),
                                static_cast<uint8_t>((msf[1] / 10) << 4 | msf[1] % 10),
                                static_cast<uint8_t>((msf[2] / 10) << 4 | msf[2] % 10) };
    for (int i = 0; i < CD_SECTOR_IMAGE_SIZE; i++) {
        uint8_t want = 0;
        if (i < 3)
            want = header[i];
        else if (i >= 12 && i < 12 + 2048)
            want = disc[static_cast<size_t>(sector) * 2048 + (i - 12)];
        if (image[i] != want) {
            BufFormat(what, sizeof what, "sector %ld byte %d: 0x%02x, expected 0x%02x",
                      static_cast<long>(sector), i, image[i], want);
            return what;
        }
    }
    return "";
}

class CdDirectDrive : public testing::Test {
protected:
    std::vector<uint8_t> disc;
    int32_t sectors = 0;

    void SetUp() override
    {
        /* The rig's drive must be what these tests take it for. */
        ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), GetDriveTypeA("E:"))
            << "drive E: of the test prefix is not a CD-ROM drive";
        disc = ReadFileBytes(TestDiscImagePath());
        ASSERT_GE(disc.size(), 20u * 2048) << TestDiscImagePath();
        ASSERT_EQ(0u, disc.size() % 2048);
        sectors = static_cast<int32_t>(disc.size() / 2048);
    }
};

} // namespace

TEST_F(CdDirectDrive, OpenTakesTheDriveFromTheFirstCharacterOfDriveLetter)
{
    struct Row {
        std::string stored;
        int32_t result;
    };
    const Row rows[] = {
        { "", -1 },    /* nothing chosen yet */
        { "E", 0 },
        { "E:", 0 },   /* only the first character counts */
        { "e", 0 },
        { "E:\\", 0 },
        { "E" + std::string(1022, ':'), 0 },  /* the longest value a setting can have */
        { "Q", -1 },   /* no such drive */
        /* no letter at all */
        { "1", -1 }, { " ", -1 }, { "\\", -1 }, { "?", -1 }, { "*", -1 }, { ".", -1 }, { "\xE9", -1 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.stored.substr(0, 8));
        CdDirect cd;
        ASSERT_TRUE(cd.lib.loaded());
        RecordingHost host;
        host.Answer("CDIOCTRL", "DriveLetter", row.stored);
        EXPECT_EQ(row.result, cd.CD_Open(&host.record));
        EXPECT_EQ(HostCalls({ { "read", "CDIOCTRL", "DriveLetter", row.stored } }),
                  host.Calls("read"));
        EXPECT_TRUE(host.Calls("write").empty());
        const uint8_t *image = cd.ReadSector(16);
        ASSERT_TRUE(image != NULL);
        if (row.result == 0) {
            EXPECT_EQ(0, memcmp(image + 12, "\x01" "CD001", 6)) << "volume descriptor";
            EXPECT_EQ(0, cd.CD_Wait());
        } else {
            EXPECT_EQ(std::vector<uint8_t>(CD_SECTOR_IMAGE_SIZE, 0),
                      std::vector<uint8_t>(image, image + CD_SECTOR_IMAGE_SIZE)) << "no data without a drive";
            EXPECT_EQ(-1, cd.CD_Wait());
        }
        cd.CD_Close(); /* also after a failed open */
    }
}

TEST_F(CdDirectDrive, EverySectorMatchesTheImageInOrderAndOutOfOrder)
{
    CdDirect cd;
    RecordingHost host;
    host.Answer("CDIOCTRL", "DriveLetter", "E");
    ASSERT_EQ(0, cd.CD_Open(&host.record));
    const uint8_t *first = NULL;
    for (int32_t n = 0; n < sectors; n++) {
        const uint8_t *image = cd.ReadSector(n);
        ASSERT_TRUE(image != NULL);
        if (!first)
            first = image;
        ASSERT_EQ(first, image) << "sector " << n << ": the image moved";
        ASSERT_EQ("", CompareWithDisc(image, n, disc));
        ASSERT_EQ(0, cd.CD_Wait()) << "sector " << n;
    }
    /* Backwards, the same sector twice, and jumps: every one seeks. */
    const int32_t scattered[] = { sectors - 1, 16, 16, 15, 0, sectors / 2, 17, sectors - 2, 1 };
    for (int32_t n : scattered) {
        const uint8_t *image = cd.ReadSector(n);
        ASSERT_EQ("", CompareWithDisc(image, n, disc));
        ASSERT_EQ(0, cd.CD_Wait()) << "sector " << n;
    }
    cd.CD_Close();
}

TEST_F(CdDirectDrive, ReadingPastTheEndOfTheDiscRaisesTheReadError)
{
    CdDirect cd;
    RecordingHost host;
    host.Answer("CDIOCTRL", "DriveLetter", "E");
    ASSERT_EQ(0, cd.CD_Open(&host.record));
    EXPECT_EQ(0, cd.CD_Wait()) << "nothing read yet";
    cd.ReadSector(sectors - 1);
    EXPECT_EQ(0, cd.CD_Wait());
    struct Row {
        std::string what;
        uint8_t msf[3];
        uint8_t header[3]; /* the address in packed BCD, each byte modulo 256 */
    };
    std::vector<Row> rows = {
        { "99:99:99", { 99, 99, 99 }, { 0x99, 0x99, 0x99 } },
        { "255:255:255", { 255, 255, 255 }, { 0x95, 0x95, 0x95 } },
        { "00:00:00, in the lead-in", { 0, 0, 0 }, { 0x00, 0x00, 0x00 } },
        { "00:01:74, the sector before the first", { 0, 1, 74 }, { 0x00, 0x01, 0x74 } },
    };
    /* Right after the last sector, then far beyond it. */
    for (int32_t n : { sectors, sectors + 1000 }) {
        Row row = { "sector " + std::to_string(n), {}, {} };
        MsfFromSector(n, row.msf);
        for (int i = 0; i < 3; i++)
            row.header[i] = static_cast<uint8_t>((row.msf[i] / 10) << 4 | row.msf[i] % 10);
        rows.push_back(row);
    }
    const std::vector<uint8_t> zeros(CD_SECTOR_IMAGE_SIZE, 0);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const uint8_t *image = cd.CD_Read(row.msf);
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(0, memcmp(image, row.header, 3)) << "header address";
        EXPECT_EQ(std::vector<uint8_t>(zeros.begin() + 3, zeros.end()),
                  std::vector<uint8_t>(image + 3, image + CD_SECTOR_IMAGE_SIZE))
            << "stale data of an earlier sector";
        EXPECT_EQ(-1, cd.CD_Wait());
        EXPECT_EQ(0, cd.CD_Wait()) << "reported once";
        /* After a failure, a good read: the status is clear and the data right. */
        EXPECT_EQ("", CompareWithDisc(cd.ReadSector(16), 16, disc));
        EXPECT_EQ(0, cd.CD_Wait());
    }
    SCOPED_TRACE("no address at all");
    const uint8_t *image = cd.CD_Read(NULL);
    ASSERT_TRUE(image != NULL);
    EXPECT_EQ(zeros, std::vector<uint8_t>(image, image + CD_SECTOR_IMAGE_SIZE));
    EXPECT_EQ(-1, cd.CD_Wait());
    EXPECT_EQ("", CompareWithDisc(cd.ReadSector(16), 16, disc));
    cd.CD_Close();
}

TEST_F(CdDirectDrive, ATableOfContentsRequestThatTheDriveRefusesGivesMinusOne)
{
    /* This drive does not answer IOCTL_CDROM_READ_TOC (Wine: not
       supported), so the plugin must say so and leave the buffers alone. */
    CdDirect cd;
    RecordingHost host;
    host.Answer("CDIOCTRL", "DriveLetter", "E");
    ASSERT_EQ(0, cd.CD_Open(&host.record));
    uint8_t buffer[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
    EXPECT_EQ(-1, cd.CD_GetTN(buffer));
    for (int32_t track : { 1, 2, CD_TRACK_LEADOUT, 0 })
        EXPECT_EQ(-1, cd.CD_GetTD(buffer, track)) << "track " << track;
    for (uint8_t b : buffer)
        EXPECT_EQ(0xCC, b);
    /* Reading still works. */
    EXPECT_EQ("", CompareWithDisc(cd.ReadSector(17), 17, disc));
    cd.CD_Close();
}

TEST_F(CdDirectDrive, WithoutAnOpenDriveReadsGiveZerosAndAnError)
{
    struct Row {
        const char *what;
        const char *stored; /* null: no open at all */
        bool closeFirst;
    };
    static const Row rows[] = {
        { "never opened", NULL, false },
        { "after a failed open", "Q", false },
        { "after close", "E", true },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        CdDirect cd;
        RecordingHost host;
        if (row.stored) {
            host.Answer("CDIOCTRL", "DriveLetter", row.stored);
            cd.CD_Open(&host.record);
            if (row.closeFirst) {
                cd.ReadSector(16);
                cd.CD_Close();
            }
        }
        EXPECT_EQ(0, cd.CD_Wait());
        const uint8_t *image = cd.ReadSector(16);
        ASSERT_TRUE(image != NULL);
        for (int i = 0; i < CD_SECTOR_IMAGE_SIZE; i++)
            ASSERT_EQ(0, image[i]) << "byte " << i;
        EXPECT_EQ(-1, cd.CD_Wait());
        EXPECT_EQ(0, cd.CD_Wait());
        uint8_t buffer[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
        EXPECT_EQ(-1, cd.CD_GetTN(buffer));
        EXPECT_EQ(-1, cd.CD_GetTD(buffer, 1));
        EXPECT_EQ(0xCC, buffer[1]);
        cd.CD_Close();
    }
}

TEST_F(CdDirectDrive, ReopeningReadsTheLetterAgain)
{
    CdDirect cd;
    RecordingHost host;
    host.Answer("CDIOCTRL", "DriveLetter", "E");
    ASSERT_EQ(0, cd.CD_Open(&host.record));
    EXPECT_EQ("", CompareWithDisc(cd.ReadSector(16), 16, disc));
    cd.CD_Close();
    /* The user chose another drive in the meantime: it takes effect. */
    host.Clear();
    host.Answer("CDIOCTRL", "DriveLetter", "Q");
    EXPECT_EQ(-1, cd.CD_Open(&host.record));
    cd.CD_Close();
    host.Clear();
    host.Answer("CDIOCTRL", "DriveLetter", "E");
    ASSERT_EQ(0, cd.CD_Open(&host.record));
    /* The sector after the last one read before closing still comes right. */
    EXPECT_EQ("", CompareWithDisc(cd.ReadSector(17), 17, disc));
    EXPECT_EQ(0, cd.CD_Wait());
    EXPECT_EQ(0, cd.CD_Play());
    EXPECT_EQ(0, cd.CD_Stop());
    cd.CD_GetSeek();
    cd.CD_Close();
}
