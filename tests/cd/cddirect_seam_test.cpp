/* cddirect's code built into this program, with a made-up drive behind
 * DriveIo: it records every seek and read, can fail any of them, and hands
 * out a table of contents of the test's choosing. The entry points are
 * called directly, in the emulator's order. */
#include <string.h>

#include <string>
#include <type_traits>
#include <vector>

#include "cddirect.h"
#include "cddirect_logic.h"
#include "cd_test_disc.h"
#include "kova_test.h"

#define DECLARE_ENTRY(name) extern "C" std::remove_pointer<name##_t>::type name;
KOVA_CD_EXPORTS(DECLARE_ENTRY)

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
    CDROM_TOC toc = {};
    std::vector<bool> tocClearedOnEntry;

    std::vector<std::string> calls; /* open <path>, close, alloc, free, toc */
    std::vector<int64_t> seeks;
    std::vector<ReadCall> reads;
    void *page = NULL;
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

TEST_F(CdDirectSeam, ReadsLandAtOffset12AndSeekOnlyWhereARunOfSectorsStarts)
{
    struct Row {
        const char *what;
        /* addresses to read in turn; {255,0,0} stands for close and open */
        std::vector<std::vector<uint8_t>> steps;
        std::vector<int64_t> seeks;
    };
    const Row rows[] = {
        { "00:02:00", { { 0, 2, 0 } }, { 0 } },
        { "00:02:16", { { 0, 2, 16 } }, { 32768 } },
        { "01:23:45", { { 1, 23, 45 } }, { 12533760 } },
        { "00:59:74", { { 0, 59, 74 } }, { 8906752 } },
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
            drive.reads.clear();
            const uint8_t *image = CD_Read(step.data());
            ASSERT_EQ(static_cast<uint8_t *>(drive.page) + 4096 - 12, image)
                << "the image lies in the sector buffer, its user data on the second page";
            ASSERT_EQ(1u, drive.reads.size()) << "one ReadFile per sector";
            EXPECT_EQ(image + 12, drive.reads[0].dst) << "read straight into the image";
            EXPECT_EQ(2048u, drive.reads[0].size);
            EXPECT_EQ("", ImageDiff(image, step.data(), DeviceByte));
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
        drive = FakeDrive();
        Open();
        /* A good read first, so that its bytes would show if kept. */
        ASSERT_TRUE(Read(0, 2, 6) != NULL);
        ASSERT_EQ(0, CD_Wait());
        row.arrange(&drive);
        drive.reads.clear();
        const uint8_t *image = CD_Read(row.msf);
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(row.readCalled ? 1u : 0u, drive.reads.size());
        EXPECT_EQ("", ImageDiff(image, row.msf, DeviceByte, row.goodBytes));
        EXPECT_EQ(-1, CD_Wait());
        EXPECT_EQ(0, CD_Wait()) << "reported once";

        /* The emulator tries again. Where the position stands is not
           trusted after a failure, so the retry seeks; a good read clears
           the status. */
        drive.seekFails = false;
        drive.sectors = 10000;
        drive.seeks.clear();
        uint8_t retry[3] = { 0, 2, 7 };
        if (SectorFromMsf(row.msf) >= 0)
            memcpy(retry, row.msf, 3);
        image = CD_Read(retry);
        EXPECT_EQ(std::vector<int64_t>{ SectorFromMsf(retry) * 2048LL }, drive.seeks);
        EXPECT_EQ("", ImageDiff(image, retry, DeviceByte));
        EXPECT_EQ(0, CD_Wait());
        CD_Close();
    }
}

TEST_F(CdDirectSeam, AGoodReadOrACloseClearsARaisedError)
{
    struct Row {
        const char *steps; /* how the reads end, in turn (c: a close instead) */
        int wait;          /* CD_Wait after them */
    };
    static const Row rows[] = {
        { "g", 0 }, { "f", -1 }, { "fg", 0 }, { "gf", -1 }, { "ff", -1 },
        { "sg", 0 }, { "gs", -1 }, { "fc", 0 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.steps);
        Open();
        for (size_t i = 0; i < strlen(row.steps); i++) {
            if (row.steps[i] == 'c') {
                CD_Close();
                continue;
            }
            drive.readOutcomes = std::string(1, row.steps[i]);
            ASSERT_TRUE(Read(0, 2, static_cast<uint8_t>(i)) != NULL);
        }
        EXPECT_EQ(row.wait, CD_Wait());
        EXPECT_EQ(0, CD_Wait());
        CD_Close();
    }
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

TEST_F(CdDirectSeam, WithoutAnOpenDriveReadsGiveZerosAndAnErrorAndReachNoDrive)
{
    struct Row {
        const char *what;
        bool open, openFails, allocFails;
        std::vector<std::string> calls; /* of the drive before the reads */
    };
    const Row rows[] = {
        { "never opened", false, false, false, {} },
        { "after close", true, false, false, { "open \\\\.\\E:", "alloc", "free", "close" } },
        { "no such drive", true, true, false, { "open \\\\.\\E:" } },
        { "no memory for the sector page", true, false, true,
          { "open \\\\.\\E:", "alloc", "close" } },
    };
    const std::vector<uint8_t> zeros(CD_SECTOR_IMAGE_SIZE, 0);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        drive = FakeDrive();
        drive.openFails = row.openFails;
        drive.allocFails = row.allocFails;
        bool opens = !row.openFails && !row.allocFails;
        if (row.open) {
            EXPECT_EQ(opens ? 0 : -1, CD_Open(&host.record));
        }
        if (row.open && opens) {
            Read(0, 2, 16);
            CD_Wait();
            CD_Close();
        }
        EXPECT_EQ(row.calls, drive.calls);

        /* The emulator may still read before it closes: zeros, an error,
           and no call to the drive. */
        drive = FakeDrive();
        uint8_t *image = const_cast<uint8_t *>(Read(0, 2, 16));
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(zeros, ImageBytes(image));
        EXPECT_EQ(-1, CD_Wait());
        EXPECT_EQ(0, CD_Wait());
        /* Even when the caller wrote into the last one. */
        memset(image, 0x77, CD_SECTOR_IMAGE_SIZE);
        image = const_cast<uint8_t *>(Read(1, 0, 0));
        EXPECT_EQ(zeros, ImageBytes(image));
        EXPECT_EQ(-1, CD_Wait());
        uint8_t tn[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
        EXPECT_EQ(-1, CD_GetTN(tn));
        EXPECT_EQ(-1, CD_GetTD(tn, 1));
        EXPECT_EQ("cc cc cc cc", Bytes(tn, 4));
        CD_Close();
        EXPECT_EQ(std::vector<std::string>(), drive.calls) << "nothing to close";
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

TEST_F(CdDirectSeam, EveryTrackQueryAsksTheDriveWithAClearedRecordAndDecodesItsAnswer)
{
    const int32_t kTN = INT32_MIN; /* the row asks CD_GetTN */
    const char *const kUntouched = "cc cc cc cc";
    struct Row {
        const char *what;
        void (*arrange)(FakeDrive *); /* after the three-track table; null: none */
        int32_t track;
        int32_t result;
        const char *bytes; /* byte 0 is the caller's; a failure leaves the rest too */
    };
    const Row rows[] = {
        { "tracks 1..3", NULL, kTN, 0, "cc 01 03 cc" },
        { "track numbers come as the drive gives them",
          [](FakeDrive *d) { d->toc.LastTrack = 1; }, kTN, 0, "cc 01 01 cc" },
        { "0x10..0x12", [](FakeDrive *d) { d->toc.FirstTrack = 0x10; d->toc.LastTrack = 0x12; },
          kTN, 0, "cc 10 12 cc" },
        { "2..99", [](FakeDrive *d) { d->toc.FirstTrack = 2; d->toc.LastTrack = 99; }, kTN, 0,
          "cc 02 63 cc" },
        { "track 1", NULL, 1, 0, "cc 00 02 00" },
        { "track 2, from BCD: 0x12 -> 12", NULL, 2, 0, "cc 0c 22 38" },
        { "track 3: 0x02 -> 2", NULL, 3, 0, "cc 14 02 02" },
        { "the lead-out: the end of the disc", NULL, 0xAA, 0, "cc 2d 0a 21" },
        { "track 4 is not on the disc", NULL, 4, -1, kUntouched },
        { "cleared entries are not tracks", NULL, 0, -1, kUntouched },
        { "track 99", NULL, 99, -1, kUntouched },
        { "track -1", NULL, -1, -1, kUntouched },
        { "track 0x1AA", NULL, 0x1AA, -1, kUntouched },
        { "the first entry of a track wins",
          [](FakeDrive *d) { SetEntry(&d->toc, 2, 2, 0x33, 0x00, 0x00); }, 2, 0, "cc 0c 22 38" },
        /* The record's length says two entries; a third one past it is not
           looked at even though it carries track 3. */
        { "two entries filled: the second",
          [](FakeDrive *d) { d->toc.Length[1] = 2 + 2 * 8; }, 2, 0, "cc 0c 22 38" },
        { "two entries filled: not the third",
          [](FakeDrive *d) { d->toc.Length[1] = 2 + 2 * 8; }, 3, -1, kUntouched },
        { "a length beyond the record is cut to its hundred entries",
          [](FakeDrive *d) {
              d->toc.Length[0] = d->toc.Length[1] = 0xFF;
              SetEntry(&d->toc, 99, 77, 0x01, 0x02, 0x03);
          },
          77, 0, "cc 01 02 03" },
        { "refused: the track numbers", [](FakeDrive *d) { d->tocAnswers = false; }, kTN, -1,
          kUntouched },
        { "refused: track 1", [](FakeDrive *d) { d->tocAnswers = false; }, 1, -1, kUntouched },
        { "refused: track 2", [](FakeDrive *d) { d->tocAnswers = false; }, 2, -1, kUntouched },
        { "refused: the lead-out", [](FakeDrive *d) { d->tocAnswers = false; }, 0xAA, -1,
          kUntouched },
        { "refused: track 0", [](FakeDrive *d) { d->tocAnswers = false; }, 0, -1, kUntouched },
        { "answered again after a refusal", NULL, 1, 0, "cc 00 02 00" },
    };
    /* One open for every row: no answer may be kept from one query to the next. */
    Open();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        drive.toc = ThreeTrackToc();
        drive.tocAnswers = true;
        if (row.arrange)
            row.arrange(&drive);
        drive.calls.clear();
        drive.tocClearedOnEntry.clear();
        uint8_t buffer[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
        EXPECT_EQ(row.result, row.track == kTN ? CD_GetTN(buffer) : CD_GetTD(buffer, row.track));
        EXPECT_EQ(row.bytes, Bytes(buffer, 4));
        EXPECT_EQ(std::vector<std::string>{ "toc" }, drive.calls);
        EXPECT_EQ(std::vector<bool>{ true }, drive.tocClearedOnEntry);
    }
}
