/* cddirect's code built into this program, with a made-up drive behind
 * DriveIo: it records every seek and read, can fail any of them, and hands
 * out a table of contents of the test's choosing. The entry points are
 * called directly, in the emulator's order. */
#include <string.h>

#include <string>
#include <vector>

#include "cddirect.h"
#include "cddirect_logic.h"
#include "cd_test_disc.h"
#include "kova_test.h"

extern "C" {
int32_t KOVA_CALL CD_Open(HostServices *host);
void KOVA_CALL CD_Close(void);
uint8_t *KOVA_CALL CD_Read(const uint8_t *msf);
int32_t KOVA_CALL CD_GetTN(uint8_t *buffer);
int32_t KOVA_CALL CD_GetTD(uint8_t *buffer, int32_t track);
int32_t KOVA_CALL CD_Wait(void);
}

namespace {

/* ---- the made-up drive ---- */

/* Byte i of sector n: the sector number in the first four bytes, a pattern
   that differs from sector to sector after them. */
uint8_t DeviceByte(int64_t offset)
{
    int64_t sector = offset / 2048;
    int i = static_cast<int>(offset % 2048);
    if (i < 4)
        return static_cast<uint8_t>(sector >> (8 * i));
    return static_cast<uint8_t>(sector * 7 + i);
}

struct ReadCall {
    void *dst;
    uint32_t size;
};

struct FakeDrive {
    int64_t sectors = 10000;      /* device size */
    int64_t position = 0;
    bool openFails = false;
    bool allocFails = false;
    bool seekFails = false;
    /* How the next reads end: 'g' good, 'f' ReadFile fails, 's' short
       (1000 bytes); after the string, good. */
    std::string readOutcomes;
    bool tocAnswers = true;
    CDROM_TOC toc;
    std::vector<bool> tocClearedOnEntry;

    std::vector<std::string> calls; /* open <path>, close, alloc, free, toc */
    std::vector<int64_t> seeks;
    std::vector<ReadCall> reads;
    void *page = NULL;

    FakeDrive() { memset(&toc, 0, sizeof toc); }
};

FakeDrive *Fake;
HANDLE const kFakeHandle = reinterpret_cast<HANDLE>(0x4321);

HANDLE FakeOpen(const char *path)
{
    Fake->calls.push_back(std::string("open ") + path);
    return Fake->openFails ? INVALID_HANDLE_VALUE : kFakeHandle;
}

void FakeClose(HANDLE drive)
{
    EXPECT_EQ(kFakeHandle, drive);
    Fake->calls.push_back("close");
}

bool FakeSeek(HANDLE drive, int64_t offset)
{
    EXPECT_EQ(kFakeHandle, drive);
    Fake->seeks.push_back(offset);
    if (Fake->seekFails || offset < 0)
        return false;
    Fake->position = offset;
    return true;
}

bool FakeRead(HANDLE drive, void *dst, uint32_t size, uint32_t *got)
{
    EXPECT_EQ(kFakeHandle, drive);
    Fake->reads.push_back({ dst, size });
    char outcome = 'g';
    if (!Fake->readOutcomes.empty()) {
        outcome = Fake->readOutcomes[0];
        Fake->readOutcomes.erase(0, 1);
    }
    if (outcome == 'f') {
        *got = 0;
        return false;
    }
    uint32_t n = outcome == 's' ? 1000 : size;
    int64_t end = Fake->sectors * 2048;
    if (Fake->position + n > end)
        n = Fake->position >= end ? 0 : static_cast<uint32_t>(end - Fake->position);
    uint8_t *out = static_cast<uint8_t *>(dst);
    for (uint32_t i = 0; i < n; i++)
        out[i] = DeviceByte(Fake->position + i);
    Fake->position += n;
    *got = n;
    return true;
}

bool FakeReadToc(HANDLE drive, CDROM_TOC *toc)
{
    EXPECT_EQ(kFakeHandle, drive);
    Fake->calls.push_back("toc");
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(toc);
    bool cleared = true;
    for (size_t i = 0; i < sizeof *toc; i++)
        cleared = cleared && bytes[i] == 0;
    Fake->tocClearedOnEntry.push_back(cleared);
    if (!Fake->tocAnswers) {
        /* A driver that scribbles over the record and then fails. */
        memset(toc, 0x23, sizeof *toc);
        return false;
    }
    *toc = Fake->toc;
    return true;
}

void *FakeAllocBuffer(void)
{
    Fake->calls.push_back("alloc");
    if (Fake->allocFails)
        return NULL;
    Fake->page = VirtualAlloc(NULL, CD_SECTOR_BUFFER_SIZE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return Fake->page;
}

void FakeFreeBuffer(void *page)
{
    EXPECT_EQ(Fake->page, page);
    Fake->calls.push_back("free");
    VirtualFree(page, 0, MEM_RELEASE);
    Fake->page = NULL;
}

UINT FakeDriveType(const char *)
{
    return DRIVE_NO_ROOT_DIR;
}

const DriveIo kFakeIo = {
    FakeOpen, FakeClose, FakeSeek, FakeRead, FakeReadToc, FakeAllocBuffer, FakeFreeBuffer,
    FakeDriveType,
};

/* Every test starts with the plugin closed and the made-up drive E in
   "CDIOCTRL"/"DriveLetter". */
class CdDirectSeam : public testing::Test {
protected:
    FakeDrive drive;
    RecordingHost host;

    void SetUp() override
    {
        Fake = &drive;
        CdDriveIo = &kFakeIo;
        CD_Close();
        CD_Wait();
        drive.calls.clear();
        host.Answer("CDIOCTRL", "DriveLetter", "E");
    }
    void TearDown() override
    {
        CD_Close();
        CdDriveIo = &kWindowsDriveIo;
        Fake = NULL;
    }
    void Open()
    {
        ASSERT_EQ(0, CD_Open(&host.record));
    }
    const uint8_t *Read(uint8_t m, uint8_t s, uint8_t f)
    {
        const uint8_t msf[3] = { m, s, f };
        return CD_Read(msf);
    }
};

/* What a good read of sector n must have left: header in BCD, user data of
   sector n at byte 12, zeros elsewhere. "" when it is so. */
std::string CheckImage(const uint8_t *image, int32_t sector, const uint8_t header[3])
{
    char what[128];
    for (int i = 0; i < 3; i++) {
        if (image[i] != header[i]) {
            BufFormat(what, sizeof what, "header byte %d: 0x%02x, expected 0x%02x", i, image[i],
                      header[i]);
            return what;
        }
    }
    for (int i = 3; i < CD_SECTOR_IMAGE_SIZE; i++) {
        bool inData = i >= 12 && i < 12 + 2048;
        uint8_t want = inData ? DeviceByte(static_cast<int64_t>(sector) * 2048 + (i - 12)) : 0;
        if (image[i] != want) {
            BufFormat(what, sizeof what, "byte %d: 0x%02x, expected 0x%02x", i, image[i], want);
            return what;
        }
    }
    return "";
}

bool UserDataIsZero(const uint8_t *image, int from = 0)
{
    for (int i = 12 + from; i < 12 + 2048; i++)
        if (image[i])
            return false;
    return true;
}

} // namespace

/* ---- pure arithmetic ---- */

TEST(CdDisc, PackedBcdBothWays)
{
    struct Row {
        uint8_t number, bcd;
    };
    static const Row rows[] = {
        { 0, 0x00 }, { 2, 0x02 }, { 9, 0x09 }, { 10, 0x10 }, { 12, 0x12 },
        { 23, 0x23 }, { 45, 0x45 }, { 59, 0x59 }, { 74, 0x74 }, { 99, 0x99 },
    };
    for (const Row &row : rows) {
        EXPECT_EQ(row.bcd, BcdFromNumber(row.number)) << "number " << int(row.number);
        EXPECT_EQ(row.number, NumberFromBcd(row.bcd)) << "bcd 0x" << std::hex << int(row.bcd);
    }
}

TEST(CdDisc, SectorNumbersAndOffsetsOfDiscAddresses)
{
    struct Row {
        uint8_t msf[3];
        int32_t sector;
        int64_t offset;
    };
    static const Row rows[] = {
        { { 0, 2, 0 }, 0, 0 },
        { { 0, 2, 1 }, 1, 2048 },
        { { 0, 2, 16 }, 16, 32768 },
        { { 0, 2, 74 }, 74, 151552 },
        { { 0, 3, 0 }, 75, 153600 },
        { { 1, 0, 0 }, 4350, 8908800 },
        { { 1, 23, 45 }, 6120, 12533760 },
        { { 74, 59, 74 }, 337349, 690890752 },
        { { 0, 0, 0 }, -150, -307200 },
        { { 0, 1, 74 }, -1, -2048 },
        /* no range test: bytes beyond a real disc still give one sector,
           whose offset does not wrap in 32 bits */
        { { 255, 255, 255 }, 1166730, 2389463040LL },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << int(row.msf[0]) << ":" << int(row.msf[1]) << ":"
                                        << int(row.msf[2]));
        EXPECT_EQ(row.sector, SectorFromMsf(row.msf));
        EXPECT_EQ(row.offset, SectorOffset(row.sector));
    }
}

TEST(CdDisc, DevicePathOfALetter)
{
    char path[CD_DEVICE_PATH_SIZE + 1];
    memset(path, 0x55, sizeof path);
    FormDevicePath(path, 'E');
    EXPECT_EQ(0, memcmp(path, "\\\\.\\E:", 7));
    EXPECT_EQ(0x55, path[7]) << "wrote past the path";
    FormDevicePath(path, '\0');
    EXPECT_STREQ("\\\\.\\", path);
}

/* ---- reading sectors ---- */

TEST_F(CdDirectSeam, ReadsLandAtOffset12UnderTheirBcdHeader)
{
    struct Row {
        uint8_t msf[3];
        int32_t sector;
        int64_t offset;
        uint8_t header[3];
    };
    static const Row rows[] = {
        { { 0, 2, 0 }, 0, 0, { 0x00, 0x02, 0x00 } },
        { { 0, 2, 16 }, 16, 32768, { 0x00, 0x02, 0x16 } },
        { { 1, 23, 45 }, 6120, 12533760, { 0x01, 0x23, 0x45 } },
        { { 0, 59, 74 }, 4349, 8906752, { 0x00, 0x59, 0x74 } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << int(row.msf[0]) << ":" << int(row.msf[1]) << ":"
                                        << int(row.msf[2]));
        Open();
        drive.seeks.clear();
        drive.reads.clear();
        const uint8_t *image = CD_Read(row.msf);
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(static_cast<uint8_t *>(drive.page) + 4096 - 12, image)
            << "the image lies in the sector buffer, its user data on the second page";
        EXPECT_EQ(std::vector<int64_t>{ row.offset }, drive.seeks);
        ASSERT_EQ(1u, drive.reads.size()) << "one ReadFile per sector";
        EXPECT_EQ(image + 12, drive.reads[0].dst) << "read straight into the image";
        EXPECT_EQ(2048u, drive.reads[0].size);
        EXPECT_EQ("", CheckImage(image, row.sector, row.header));
        EXPECT_EQ(0, CD_Wait());
        CD_Close();
    }
}

TEST_F(CdDirectSeam, SeeksOnlyWhereARunOfSectorsStarts)
{
    struct Row {
        const char *what;
        /* addresses to read in turn; {255,0,0} stands for close and open */
        std::vector<std::vector<uint8_t>> steps;
        std::vector<int64_t> seeks;
    };
    const Row rows[] = {
        { "three in a row", { { 0, 2, 0 }, { 0, 2, 1 }, { 0, 2, 2 } }, { 0 } },
        { "the same sector twice", { { 0, 2, 5 }, { 0, 2, 5 } }, { 10240, 10240 } },
        { "back by one", { { 0, 2, 10 }, { 0, 2, 9 } }, { 20480, 18432 } },
        { "skipping one", { { 0, 2, 0 }, { 0, 2, 2 } }, { 0, 4096 } },
        { "across a second and a minute", { { 0, 59, 74 }, { 1, 0, 0 }, { 1, 0, 1 } }, { 8906752 } },
        { "after close and open the next sector seeks",
          { { 0, 2, 0 }, { 255, 0, 0 }, { 0, 2, 1 } }, { 0, 2048 } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Open();
        drive.seeks.clear();
        for (const std::vector<uint8_t> &step : row.steps) {
            if (step[0] == 255) {
                CD_Close();
                Open();
                continue;
            }
            const uint8_t *image = CD_Read(step.data());
            ASSERT_TRUE(image != NULL);
            const uint8_t header[3] = { BcdFromNumber(step[0]), BcdFromNumber(step[1]),
                                        BcdFromNumber(step[2]) };
            EXPECT_EQ("", CheckImage(image, SectorFromMsf(step.data()), header));
        }
        EXPECT_EQ(row.seeks, drive.seeks);
        EXPECT_EQ(0, CD_Wait());
        CD_Close();
    }
}

TEST_F(CdDirectSeam, AFailedReadRaisesTheErrorAndLeavesNoStaleData)
{
    struct Row {
        const char *what;
        void (*arrange)(FakeDrive *);
        uint8_t msf[3];
        bool readCalled;
        int goodBytes; /* user data bytes that came from the drive */
    };
    /* Sector 7 follows the good read of sector 6 that comes first. */
    static const Row rows[] = {
        { "ReadFile fails", [](FakeDrive *d) { d->readOutcomes = "f"; }, { 0, 2, 7 }, true, 0 },
        { "short read", [](FakeDrive *d) { d->readOutcomes = "s"; }, { 0, 2, 7 }, true, 1000 },
        { "past the end of the disc", [](FakeDrive *d) { d->sectors = 7; }, { 0, 2, 7 }, true, 0 },
        { "seek fails", [](FakeDrive *d) { d->seekFails = true; }, { 0, 2, 9 }, false, 0 },
        { "before 00:02:00", [](FakeDrive *) {}, { 0, 1, 74 }, false, 0 },
        { "00:00:00", [](FakeDrive *) {}, { 0, 0, 0 }, false, 0 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        FakeDrive fresh;
        drive = fresh;
        Open();
        /* A good read first, so that its bytes would show if kept. */
        ASSERT_TRUE(Read(0, 2, 6) != NULL);
        ASSERT_EQ(0, CD_Wait());
        row.arrange(&drive);
        drive.reads.clear();
        const uint8_t *image = CD_Read(row.msf);
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(row.readCalled ? 1u : 0u, drive.reads.size());
        EXPECT_EQ(BcdFromNumber(row.msf[0]), image[0]);
        EXPECT_EQ(BcdFromNumber(row.msf[1]), image[1]);
        EXPECT_EQ(BcdFromNumber(row.msf[2]), image[2]);
        for (int i = 0; i < row.goodBytes; i++)
            ASSERT_EQ(DeviceByte(7 * 2048 + i), image[12 + i]) << "byte " << i;
        EXPECT_TRUE(UserDataIsZero(image, row.goodBytes));
        EXPECT_EQ(-1, CD_Wait());
        EXPECT_EQ(0, CD_Wait()) << "reported once";

        /* The emulator tries again. Where the position stands is not
           trusted after a failure, so the retry seeks; a good read clears
           the status. */
        drive.seekFails = false;
        drive.sectors = 10000;
        drive.seeks.clear();
        int32_t sector = SectorFromMsf(row.msf);
        uint8_t retry[3] = { 0, 2, 7 };
        if (sector >= 0)
            memcpy(retry, row.msf, 3);
        sector = SectorFromMsf(retry);
        image = CD_Read(retry);
        EXPECT_EQ(std::vector<int64_t>{ sector * 2048LL }, drive.seeks);
        const uint8_t header[3] = { 0x00, 0x02, BcdFromNumber(retry[2]) };
        EXPECT_EQ("", CheckImage(image, sector, header));
        EXPECT_EQ(0, CD_Wait());
        CD_Close();
    }
}

TEST_F(CdDirectSeam, AGoodReadClearsARaisedError)
{
    struct Row {
        const char *outcomes; /* of the reads, in turn */
        int wait;             /* CD_Wait after them */
    };
    static const Row rows[] = {
        { "g", 0 }, { "f", -1 }, { "fg", 0 }, { "gf", -1 }, { "ff", -1 }, { "sg", 0 }, { "gs", -1 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.outcomes);
        Open();
        drive.readOutcomes = row.outcomes;
        for (size_t i = 0; i < strlen(row.outcomes); i++)
            ASSERT_TRUE(Read(0, 2, static_cast<uint8_t>(i)) != NULL);
        EXPECT_EQ(row.wait, CD_Wait());
        EXPECT_EQ(0, CD_Wait());
        CD_Close();
    }
}

TEST_F(CdDirectSeam, CloseClearsARaisedError)
{
    Open();
    drive.readOutcomes = "f";
    Read(0, 2, 0);
    CD_Close();
    EXPECT_EQ(0, CD_Wait());
}

/* ---- opening and closing ---- */

TEST_F(CdDirectSeam, OpenFormsTheDevicePathFromTheFirstCharacter)
{
    struct Row {
        const char *stored;
        int32_t result;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        { "E", 0, { "open \\\\.\\E:", "alloc" } },
        { "E:", 0, { "open \\\\.\\E:", "alloc" } },
        { "d:\\", 0, { "open \\\\.\\d:", "alloc" } },
        { "", -1, {} }, /* no drive chosen yet: nothing opened */
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.stored);
        host.Clear();
        host.Answer("CDIOCTRL", "DriveLetter", row.stored);
        drive.calls.clear();
        EXPECT_EQ(row.result, CD_Open(&host.record));
        EXPECT_EQ(row.calls, drive.calls);
        EXPECT_EQ(HostCalls({ { "read", "CDIOCTRL", "DriveLetter", row.stored } }),
                  host.Calls("read"));
        EXPECT_TRUE(host.Calls("write").empty());
        CD_Close();
    }
}

TEST_F(CdDirectSeam, FailedOpensLeaveNothingOpen)
{
    struct Row {
        const char *what;
        bool openFails, allocFails;
        std::vector<std::string> openCalls;
    };
    const Row rows[] = {
        { "no such drive", true, false, { "open \\\\.\\E:" } },
        { "no memory for the sector page", false, true, { "open \\\\.\\E:", "alloc", "close" } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        drive.calls.clear();
        drive.openFails = row.openFails;
        drive.allocFails = row.allocFails;
        EXPECT_EQ(-1, CD_Open(&host.record));
        EXPECT_EQ(row.openCalls, drive.calls);

        /* The emulator may still read before it closes: zeros, an error,
           and no call to the drive. */
        drive.calls.clear();
        drive.seeks.clear();
        drive.reads.clear();
        const uint8_t *image = Read(0, 2, 16);
        ASSERT_TRUE(image != NULL);
        for (int i = 0; i < CD_SECTOR_IMAGE_SIZE; i++)
            ASSERT_EQ(0, image[i]) << "byte " << i;
        EXPECT_EQ(-1, CD_Wait());
        uint8_t tn[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
        EXPECT_EQ(-1, CD_GetTN(tn));
        EXPECT_EQ(-1, CD_GetTD(tn, 1));
        EXPECT_EQ(0xCCCCCCCCu, *reinterpret_cast<uint32_t *>(tn));
        CD_Close();
        EXPECT_TRUE(drive.calls.empty()) << "nothing to close: " << drive.calls.size();
        EXPECT_TRUE(drive.seeks.empty());
        EXPECT_TRUE(drive.reads.empty());
    }
}

TEST_F(CdDirectSeam, CloseFreesThePageThenClosesTheDriveOnce)
{
    Open();
    Read(0, 2, 0);
    drive.calls.clear();
    CD_Close();
    EXPECT_EQ((std::vector<std::string>{ "free", "close" }), drive.calls);
    CD_Close();
    EXPECT_EQ(2u, drive.calls.size()) << "a second close does nothing";
}

TEST_F(CdDirectSeam, ReadsWithoutAnOpenDriveGiveZerosAndAnError)
{
    struct Row {
        const char *what;
        bool openFirst;
    };
    static const Row rows[] = { { "never opened", false }, { "after close", true } };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        if (row.openFirst) {
            Open();
            Read(0, 2, 16);
            CD_Wait();
            CD_Close();
        }
        drive.reads.clear();
        uint8_t *image = const_cast<uint8_t *>(Read(0, 2, 16));
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(-1, CD_Wait());
        EXPECT_EQ(0, CD_Wait());
        /* Even when the caller wrote into the last one. */
        memset(image, 0x77, CD_SECTOR_IMAGE_SIZE);
        image = const_cast<uint8_t *>(Read(1, 0, 0));
        for (int i = 0; i < CD_SECTOR_IMAGE_SIZE; i++)
            ASSERT_EQ(0, image[i]) << "byte " << i;
        EXPECT_EQ(-1, CD_Wait());
        EXPECT_TRUE(drive.reads.empty());
    }
}

TEST_F(CdDirectSeam, OpenWithoutCloseReleasesTheEarlierDrive)
{
    Open();
    drive.calls.clear();
    Open();
    EXPECT_EQ((std::vector<std::string>{ "free", "close", "open \\\\.\\E:", "alloc" }), drive.calls);
}

/* ---- table of contents ---- */

namespace {

void SetEntry(CDROM_TOC *toc, int i, uint8_t track, uint8_t m, uint8_t s, uint8_t f)
{
    toc->TrackData[i].TrackNumber = track;
    toc->TrackData[i].Address[0] = 0;
    toc->TrackData[i].Address[1] = m;
    toc->TrackData[i].Address[2] = s;
    toc->TrackData[i].Address[3] = f;
}

/* Tracks 1..3 and the lead-out, addresses in BCD as the drive gives them. */
CDROM_TOC ThreeTrackToc()
{
    CDROM_TOC toc;
    memset(&toc, 0, sizeof toc);
    toc.Length[0] = 0;
    toc.Length[1] = 2 + 4 * 8;
    toc.FirstTrack = 1;
    toc.LastTrack = 3;
    SetEntry(&toc, 0, 1, 0x00, 0x02, 0x00);
    SetEntry(&toc, 1, 2, 0x12, 0x34, 0x56);
    SetEntry(&toc, 2, 3, 0x20, 0x02, 0x02);
    SetEntry(&toc, 3, CD_TRACK_LEADOUT, 0x45, 0x10, 0x33);
    return toc;
}

} // namespace

TEST_F(CdDirectSeam, TrackNumbersComeAsTheDriveGivesThem)
{
    struct Row {
        uint8_t first, last;
    };
    static const Row rows[] = { { 1, 3 }, { 1, 1 }, { 0x10, 0x12 }, { 2, 99 } };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << int(row.first) << ".." << int(row.last));
        drive.toc = ThreeTrackToc();
        drive.toc.FirstTrack = row.first;
        drive.toc.LastTrack = row.last;
        Open();
        uint8_t tn[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
        EXPECT_EQ(0, CD_GetTN(tn));
        const uint8_t want[4] = { 0xCC, row.first, row.last, 0xCC }; /* byte 0 is the caller's */
        EXPECT_EQ(Bytes(want, 4), Bytes(tn, 4));
        CD_Close();
    }
}

TEST_F(CdDirectSeam, TrackStartsDecodedFromBcd)
{
    struct Row {
        int32_t track;
        int32_t result;
        uint8_t msf[3];
    };
    static const Row rows[] = {
        { 1, 0, { 0, 2, 0 } },
        { 2, 0, { 12, 34, 56 } },        /* 0x12 -> 12 */
        { 3, 0, { 20, 2, 2 } },          /* 0x02 -> 2 */
        { 0xAA, 0, { 45, 10, 33 } },     /* the lead-out: the end of the disc */
        { 4, -1, { 0, 0, 0 } },          /* not on the disc */
        { 0, -1, { 0, 0, 0 } },          /* cleared entries are not tracks */
        { 99, -1, { 0, 0, 0 } },
        { -1, -1, { 0, 0, 0 } },
        { 0x1AA, -1, { 0, 0, 0 } },
    };
    drive.toc = ThreeTrackToc();
    Open();
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "track " << row.track);
        uint8_t td[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
        EXPECT_EQ(row.result, CD_GetTD(td, row.track));
        /* byte 0 is the caller's; a failure leaves the rest too */
        uint8_t want[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
        if (row.result == 0)
            memcpy(want + 1, row.msf, 3);
        EXPECT_EQ(Bytes(want, 4), Bytes(td, 4));
    }
}

TEST_F(CdDirectSeam, TheFirstEntryOfATrackWins)
{
    CDROM_TOC toc = ThreeTrackToc();
    SetEntry(&toc, 2, 2, 0x33, 0x00, 0x00);
    drive.toc = toc;
    Open();
    uint8_t td[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
    EXPECT_EQ(0, CD_GetTD(td, 2));
    EXPECT_EQ("cc 0c 22 38", Bytes(td, 4)) << "12:34:56";
}

TEST_F(CdDirectSeam, OnlyTheEntriesTheDriveFilledCount)
{
    /* The record's length says two entries; a third one past it is not
       looked at even though it carries track 3. */
    CDROM_TOC toc = ThreeTrackToc();
    toc.Length[1] = 2 + 2 * 8;
    drive.toc = toc;
    Open();
    uint8_t td[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
    EXPECT_EQ(0, CD_GetTD(td, 2));
    EXPECT_EQ(-1, CD_GetTD(td, 3));
    /* A length beyond the record is cut to its hundred entries. */
    toc.Length[0] = 0xFF;
    toc.Length[1] = 0xFF;
    SetEntry(&toc, 99, 77, 0x01, 0x02, 0x03);
    drive.toc = toc;
    EXPECT_EQ(0, CD_GetTD(td, 77));
    EXPECT_EQ(1, td[1]);
}

TEST_F(CdDirectSeam, AFailedRequestGivesMinusOneAndLeavesTheBuffer)
{
    drive.tocAnswers = false;
    Open();
    uint8_t buffer[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
    EXPECT_EQ(-1, CD_GetTN(buffer));
    for (int32_t track : { 1, 2, 0xAA, 0 })
        EXPECT_EQ(-1, CD_GetTD(buffer, track)) << "track " << track;
    EXPECT_EQ(0xCCCCCCCCu, *reinterpret_cast<uint32_t *>(buffer));
}

TEST_F(CdDirectSeam, EveryTrackQueryAsksTheDriveWithAClearedRecord)
{
    drive.toc = ThreeTrackToc();
    Open();
    uint8_t buffer[4];
    drive.calls.clear();
    CD_GetTN(buffer);
    CD_GetTD(buffer, 1);
    CD_GetTD(buffer, 2);
    drive.tocAnswers = false;
    CD_GetTN(buffer);
    CD_GetTD(buffer, 1);
    EXPECT_EQ(std::vector<std::string>(5, "toc"), drive.calls);
    EXPECT_EQ(std::vector<bool>(5, true), drive.tocClearedOnEntry);
}
