/* cddirect.dll through its exports against a real device: drive E: of the
 * test prefix is a CD-ROM drive whose raw device is an ISO 9660 image
 * (tests/rig/prefix.d/20-cdrom.sh). Every sector read is compared byte for
 * byte with the image file. Each test loads the library afresh. */
#include "cd_test_disc.h"
#include "kova_test.h"

namespace {

struct CdDirect : CdExports {
    RecordingHost host;
    CdDirect() : CdExports(ShippedPath("cddirect.dll")) {}
    /* CD_Open with this value stored as the drive letter. */
    int32_t Open(const std::string &letter)
    {
        host.Clear();
        host.Answer("CDIOCTRL", "DriveLetter", letter);
        return CD_Open(&host.record);
    }
    const uint8_t *ReadSector(int32_t sector)
    {
        uint8_t msf[3];
        MsfFromSector(sector, msf);
        return CD_Read(msf);
    }
};

class CdDirectDrive : public testing::Test {
protected:
    std::vector<uint8_t> disc;
    int32_t sectors = 0;
    const DeviceBytes device = [this](int64_t offset) { return disc[static_cast<size_t>(offset)]; };

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
    /* "" when image is sector n of the disc as the plugin must deliver it. */
    std::string CompareWithDisc(const uint8_t *image, int32_t sector)
    {
        uint8_t msf[3];
        MsfFromSector(sector, msf);
        return ImageDiff(image, msf, device);
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
        EXPECT_EQ(row.result, cd.Open(row.stored));
        EXPECT_EQ(HostCalls({ { "read", "CDIOCTRL", "DriveLetter", row.stored } }),
                  cd.host.Calls("read"));
        EXPECT_TRUE(cd.host.Calls("write").empty());
        const uint8_t *image = cd.ReadSector(16);
        ASSERT_TRUE(image != NULL);
        if (row.result == 0) {
            EXPECT_EQ("", CompareWithDisc(image, 16));
            EXPECT_EQ(0, cd.CD_Wait());
        } else {
            EXPECT_EQ(std::vector<uint8_t>(CD_SECTOR_IMAGE_SIZE, 0), ImageBytes(image))
                << "no data without a drive";
            EXPECT_EQ(-1, cd.CD_Wait());
        }
        cd.CD_Close(); /* also after a failed open */
    }
}

TEST_F(CdDirectDrive, EverySectorMatchesTheImageInOrderAndOutOfOrder)
{
    CdDirect cd;
    ASSERT_EQ(0, cd.Open("E"));
    const uint8_t *first = NULL;
    for (int32_t n = 0; n < sectors; n++) {
        const uint8_t *image = cd.ReadSector(n);
        ASSERT_TRUE(image != NULL);
        if (!first)
            first = image;
        ASSERT_EQ(first, image) << "sector " << n << ": the image moved";
        ASSERT_EQ("", CompareWithDisc(image, n));
        ASSERT_EQ(0, cd.CD_Wait()) << "sector " << n;
    }
    /* Backwards, the same sector twice, and jumps: every one seeks. */
    const int32_t scattered[] = { sectors - 1, 16, 16, 15, 0, sectors / 2, 17, sectors - 2, 1 };
    for (int32_t n : scattered) {
        const uint8_t *image = cd.ReadSector(n);
        ASSERT_EQ("", CompareWithDisc(image, n));
        ASSERT_EQ(0, cd.CD_Wait()) << "sector " << n;
    }
    cd.CD_Close();
}

TEST_F(CdDirectDrive, ReadingPastTheEndOfTheDiscRaisesTheReadError)
{
    CdDirect cd;
    ASSERT_EQ(0, cd.Open("E"));
    EXPECT_EQ(0, cd.CD_Wait()) << "nothing read yet";
    cd.ReadSector(sectors - 1);
    EXPECT_EQ(0, cd.CD_Wait());
    /* Beyond any disc, in the lead-in, the sector before the first; then
       right after the last sector, and far beyond it. */
    std::vector<std::vector<uint8_t>> addresses = { { 99, 99, 99 }, { 255, 255, 255 }, { 0, 0, 0 },
                                                    { 0, 1, 74 } };
    for (int32_t n : { sectors, sectors + 1000 }) {
        addresses.push_back(std::vector<uint8_t>(3));
        MsfFromSector(n, addresses.back().data());
    }
    for (const std::vector<uint8_t> &msf : addresses) {
        SCOPED_TRACE(testing::Message() << int(msf[0]) << ":" << int(msf[1]) << ":" << int(msf[2]));
        const uint8_t *image = cd.CD_Read(msf.data());
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ("", ImageDiff(image, msf.data(), device, 0))
            << "the address in the header, no stale data of an earlier sector";
        EXPECT_EQ(-1, cd.CD_Wait());
        EXPECT_EQ(0, cd.CD_Wait()) << "reported once";
        /* After a failure, a good read: the status is clear and the data right. */
        EXPECT_EQ("", CompareWithDisc(cd.ReadSector(16), 16));
        EXPECT_EQ(0, cd.CD_Wait());
    }
    SCOPED_TRACE("no address at all");
    const uint8_t *image = cd.CD_Read(NULL);
    ASSERT_TRUE(image != NULL);
    EXPECT_EQ(std::vector<uint8_t>(CD_SECTOR_IMAGE_SIZE, 0), ImageBytes(image));
    EXPECT_EQ(-1, cd.CD_Wait());
    EXPECT_EQ("", CompareWithDisc(cd.ReadSector(16), 16));
    cd.CD_Close();
}

TEST_F(CdDirectDrive, ATableOfContentsRequestThatTheDriveRefusesGivesMinusOne)
{
    /* This drive does not answer IOCTL_CDROM_READ_TOC (Wine: not
       supported), so the plugin must say so and leave the buffers alone. */
    CdDirect cd;
    ASSERT_EQ(0, cd.Open("E"));
    uint8_t buffer[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
    EXPECT_EQ(-1, cd.CD_GetTN(buffer));
    for (int32_t track : { 1, 2, CD_TRACK_LEADOUT, 0 })
        EXPECT_EQ(-1, cd.CD_GetTD(buffer, track)) << "track " << track;
    EXPECT_EQ("cc cc cc cc", Bytes(buffer, 4));
    /* Reading still works. */
    EXPECT_EQ("", CompareWithDisc(cd.ReadSector(17), 17));
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
        if (row.stored) {
            cd.Open(row.stored);
            if (row.closeFirst) {
                cd.ReadSector(16);
                cd.CD_Close();
            }
        }
        EXPECT_EQ(0, cd.CD_Wait());
        const uint8_t *image = cd.ReadSector(16);
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(std::vector<uint8_t>(CD_SECTOR_IMAGE_SIZE, 0), ImageBytes(image));
        EXPECT_EQ(-1, cd.CD_Wait());
        EXPECT_EQ(0, cd.CD_Wait());
        uint8_t buffer[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
        EXPECT_EQ(-1, cd.CD_GetTN(buffer));
        EXPECT_EQ(-1, cd.CD_GetTD(buffer, 1));
        EXPECT_EQ("cc cc cc cc", Bytes(buffer, 4));
        cd.CD_Close();
    }
}

TEST_F(CdDirectDrive, ReopeningReadsTheLetterAgain)
{
    CdDirect cd;
    ASSERT_EQ(0, cd.Open("E"));
    EXPECT_EQ("", CompareWithDisc(cd.ReadSector(16), 16));
    cd.CD_Close();
    /* The user chose another drive in the meantime: it takes effect. */
    EXPECT_EQ(-1, cd.Open("Q"));
    cd.CD_Close();
    ASSERT_EQ(0, cd.Open("E"));
    /* The sector after the last one read before closing still comes right. */
    EXPECT_EQ("", CompareWithDisc(cd.ReadSector(17), 17));
    EXPECT_EQ(0, cd.CD_Wait());
    EXPECT_EQ(0, cd.CD_Play());
    EXPECT_EQ(0, cd.CD_Stop());
    cd.CD_GetSeek();
    cd.CD_Close();
}
