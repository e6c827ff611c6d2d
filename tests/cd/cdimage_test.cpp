/* cdimage: the CUE sheets it reads (its own code, against real files the
 * test writes: sizes made by extending files, so a 61-minute disc costs no
 * disk), and cdimage.dll through its exports: sector images against images
 * the test makes, read errors, the track table, and hostile images. */
#include <string.h>

#include "cd_sector.h"
#include "cd_test_cdimage.h"
#include "cd_test_disc.h"
#include "cd_test_pbp.h"
#include "cd_test_writers.h"
#include "cdimage.h"
#include "disc_cue.h"
#include "kova_test.h"

namespace {

const uint32_t kRaw = 2352;

/* A file of exactly size bytes; only head is written, the rest reads as
   zeros (and takes no disk where the file system allows). path: UTF-8. */
void SizedFile(const std::string &path, int64_t size, const std::vector<uint8_t> &head = {})
{
    /* Shared: the plugin may have the file open. */
    HANDLE file = CreateFileW(Utf16(path).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD put = 0;
    if (!head.empty())
        WriteFile(file, head.data(), static_cast<DWORD>(head.size()), &put, NULL);
    LARGE_INTEGER at;
    at.QuadPart = size;
    EXPECT_TRUE(SetFilePointerEx(file, at, NULL, FILE_BEGIN) && SetEndOfFile(file)) << path;
    CloseHandle(file);
}

/* A WAVE header of CD audio (or of another format) before samples bytes. */
std::vector<uint8_t> WaveHeader(uint32_t samples, uint16_t channels = 2, uint32_t rate = 44100)
{
    std::vector<uint8_t> h(44);
    auto le = [&h](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; i++)
            h[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    memcpy(&h[0], "RIFF", 4);
    le(4, 36 + samples, 4);
    memcpy(&h[8], "WAVEfmt ", 8);
    le(16, 16, 4);
    le(20, 1, 2);
    le(22, channels, 2);
    le(24, rate, 4);
    le(28, rate * 2 * channels, 4);
    le(32, 2 * channels, 2);
    le(34, 16, 2);
    memcpy(&h[36], "data", 4);
    le(40, samples, 4);
    return h;
}

std::string Time(int32_t sector)
{
    uint8_t msf[3];
    MsfFromSector(sector, msf);
    char text[16];
    BufFormat(text, sizeof text, "%02u:%02u:%02u", msf[0], msf[1], msf[2]);
    return text;
}

/* Raw sectors as a disc holds them: sync, header of the disc sector, mode,
   then bytes that tell sector and place apart. */
std::vector<uint8_t> RawSectors(int count, int32_t firstSector, uint8_t mode, uint8_t seed)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * kRaw);
    for (int n = 0; n < count; n++) {
        uint8_t *s = &bytes[static_cast<size_t>(n) * kRaw];
        memset(s + 1, 0xFF, 10);
        uint8_t msf[3];
        MsfFromSector(firstSector + n, msf);
        WriteHeaderAddress(s + 12, msf);
        s[15] = mode;
        for (uint32_t i = 16; i < kRaw; i++)
            s[i] = static_cast<uint8_t>(seed + n * 13 + i * 7);
    }
    return bytes;
}

/* A file of sectors of size bytes each, every byte telling sector and place. */
std::vector<uint8_t> Sectors(int count, uint32_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * size);
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = static_cast<uint8_t>(seed + i / size * 29 + i * 3);
    return bytes;
}

struct TrackRow {
    int number;
    const char *type;
    const char *start;   /* INDEX 01 as absolute disc time */
    std::string file;    /* where that sector's bytes lie (UTF-8) */
    int64_t offset;
};
struct FileRow {
    std::string name;    /* UTF-8 */
    int64_t size;
    bool wave = false;
};

Lines Problems(const Disc &disc)
{
    Lines lines;
    for (int i = 0; i < disc.problemCount && i < DISC_MAX_PROBLEMS; i++)
        lines.push_back(disc.problems[i]);
    return lines;
}

/* path: ANSI, as ScratchDir gives it. */
bool Open(Disc *disc, const std::string &path)
{
    return DiscOpen(disc, Widen(path).c_str(), 0);
}

std::string NinetyNineTracks()
{
    std::string cue;
    for (int n = 1; n <= 99; n++) {
        char lines[128];
        BufFormat(lines, sizeof lines, "FILE \"T%02d.BIN\" BINARY\n  TRACK %02d %s\n    INDEX 01 00:00:00\n", n,
                  n, n == 1 ? "MODE2/2352" : "AUDIO");
        cue += lines;
    }
    return cue;
}

std::vector<FileRow> NinetyNineFiles()
{
    static char names[99][8];
    std::vector<FileRow> files;
    for (int n = 1; n <= 99; n++) {
        BufFormat(names[n - 1], sizeof names[n - 1], "T%02d.BIN", n);
        files.push_back({ names[n - 1], 10 * kRaw });
    }
    return files;
}

std::vector<TrackRow> NinetyNineStarts()
{
    static std::string starts[99];
    std::vector<TrackRow> rows;
    for (int n = 1; n <= 99; n++) {
        starts[n - 1] = Time((n - 1) * 10);
        rows.push_back({ n, n == 1 ? "MODE2/2352" : "AUDIO", starts[n - 1].c_str(), "", 0 });
    }
    return rows;
}

} // namespace

TEST(CdImageCue, SheetsGiveTheirTrackTablesAndFileOffsets)
{
    struct Row {
        const char *what;
        std::string cue;
        std::vector<FileRow> files;
        std::vector<TrackRow> tracks;  /* file "" for the track's own file, not checked */
        const char *leadOut;
        Lines problems;                /* when any: the image does not open */
        std::string folder = "";       /* the CUE sheet's folder in the scratch one (UTF-8) */
    };
    const std::string japanese = "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0";  /* "game" in katakana */
    const std::string utf8Cue = "FILE \"Caf\xC3\xA9 (Track 1).bin\" BINARY\n  TRACK 01 MODE2/2352\n"
                                "    INDEX 01 00:00:00\nFILE \"" + japanese + " (Track 2).bin\" BINARY\n"
                                "  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n";
    const std::vector<FileRow> utf8Files = { { "Caf\xC3\xA9 (Track 1).bin", 10 * kRaw },
                                             { japanese + " (Track 2).bin", 20 * kRaw } };
    const std::vector<TrackRow> utf8Tracks = {
        { 1, "MODE2/2352", "00:02:00", "Caf\xC3\xA9 (Track 1).bin", 0 },
        { 2, "AUDIO", "00:02:10", "", 0 } };
    const int64_t t61 = (61 * 60 + 18) * 75 + 10;  /* INDEX 00 of the long disc's track 2 */
    const Row rows[] = {
        { "one file per track, INDEX 00 and 01 (a preservation set)",
          "FILE \"Game (Track 1).bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n"
          "FILE \"Game (Track 2).bin\" BINARY\r\n  TRACK 02 AUDIO\r\n    INDEX 00 00:00:00\r\n"
          "    INDEX 01 00:02:00\r\n",
          { { "Game (Track 1).bin", 1000 * kRaw }, { "Game (Track 2).bin", 450 * kRaw } },
          { { 1, "MODE2/2352", "00:02:00", "Game (Track 1).bin", 0 },
            { 2, "AUDIO", "00:17:25", "Game (Track 2).bin", 150 * kRaw } },
          "00:21:25", {} },
        { "one file with a PREGAP, LF line ends, REM and CATALOG",
          "REM GENRE Game\nCATALOG 0000000000000\nFILE \"GAME.BIN\" BINARY\n  TRACK 01 MODE2/2352\n"
          "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:10:00\n",
          { { "GAME.BIN", 1000 * kRaw } },
          { { 1, "MODE2/2352", "00:02:00", "GAME.BIN", 0 },
            { 2, "AUDIO", "00:14:00", "GAME.BIN", 750 * kRaw } },
          "00:17:25", {} },
        { "61:20:10 into one file, 2048-byte data then audio; lower case, bare name, CR line ends",
          "\xEF\xBB\xBF" "file LONG DISC.BIN binary\r  track 1 mode1/2048\r    index 1 00:00:00\r"
          "  track 2 audio\r    index 0 61:18:10\r    index 1 61:20:10\r    index 2 61:21:00\r",
          { { "LONG DISC.BIN", t61 * 2048 + 300 * kRaw } },
          { { 1, "MODE1/2048", "00:02:00", "LONG DISC.BIN", 0 },
            { 2, "AUDIO", "61:22:10", "LONG DISC.BIN", t61 * 2048 + 150 * kRaw } },
          "61:24:10", {} },
        { "a WAVE track, POSTGAP, titles, flags, ISRC, quoted and unquoted",
          "TITLE \"X\"\nPERFORMER \"Y\"\nFILE DATA.BIN BINARY\n TRACK 01 MODE2/2336\n  FLAGS DCP\n"
          "  INDEX 01 00:00:00\n  POSTGAP 00:01:00\nFILE \"Music.wav\" WAVE\n TRACK 02 AUDIO\n"
          "  ISRC ABCDE1234567\n  SONGWRITER \"Z\"\n  INDEX 01 00:00:00\n",
          { { "DATA.BIN", 100 * 2336 }, { "Music.wav", 200 * kRaw + 44, true } },
          { { 1, "MODE2/2336", "00:02:00", "DATA.BIN", 0 },
            { 2, "AUDIO", "00:04:25", "Music.wav", 44 } },
          "00:07:00", {} },
        { "99 tracks", NinetyNineTracks(), NinetyNineFiles(), NinetyNineStarts(), "00:15:15", {} },
        { "bad lines, each with its number", "FILE \"A.BIN\" BINARY\nFLIE x\n  TRACK 01 MODE3/2352\n"
          "  TRACK 1 AUDIO\n    INDEX 01 00:60:00\n    INDEX 01\n",
          { { "A.BIN", kRaw } }, {}, "",
          { "BAD.CUE line 2: cannot read \"FLIE x\"",
            "BAD.CUE line 3: track type MODE3/2352 is not supported",
            "BAD.CUE line 5: INDEX needs a time mm:ss:ff",
            "BAD.CUE line 6: INDEX needs a time mm:ss:ff" } },
        { "missing files, with the lines that name them",
          "FILE \"A.BIN\" BINARY\n TRACK 01 MODE2/2352\n  INDEX 01 00:00:00\n"
          "FILE \"Gone 2.bin\" BINARY\n TRACK 02 AUDIO\n  INDEX 01 00:00:00\n"
          "FILE \"sub\\Gone 3.bin\" BINARY\n TRACK 03 AUDIO\n  INDEX 01 00:00:00\n",
          { { "A.BIN", kRaw } }, {}, "",
          { "BAD.CUE line 4: file \"Gone 2.bin\" is missing",
            "BAD.CUE line 7: file \"Gone 3.bin\" is missing" } },
        { "files too short for their tracks, or no whole number of sectors",
          "FILE A.BIN BINARY\n TRACK 01 MODE2/2352\n  INDEX 01 00:00:00\n"
          " TRACK 02 AUDIO\n  INDEX 01 00:00:10\n",
          { { "A.BIN", 10 * kRaw } }, {}, "",
          { "A.BIN: too short for track 2 (INDEX 01 at 00:00:10, the file holds 0 sectors)" } },
        { "a size that is no whole number of sectors",
          "FILE A.BIN BINARY\n TRACK 01 MODE1/2048\n  INDEX 01 00:00:00\n",
          { { "A.BIN", 2048 * 3 + 5 } }, {}, "",
          { "A.BIN: 6149 bytes are no whole number of 2048-byte sectors" } },
        { "tracks out of order, INDEX before TRACK, no INDEX 01",
          "FILE A.BIN BINARY\n  INDEX 01 00:00:00\n TRACK 02 MODE2/2352\n TRACK 04 AUDIO\n",
          { { "A.BIN", kRaw } }, {}, "",
          { "BAD.CUE line 2: INDEX before any TRACK of its file",
            "BAD.CUE line 4: track 4 follows track 2" } },
        { "no track at all", "REM nothing\n", {}, {}, "",
          { "BAD.CUE: the CUE sheet holds no track" } },
        { "a WAVE file that is no CD audio", "FILE M.WAV WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n",
          { { "M.WAV", kRaw + 44, true } }, {}, "",
          { "M.WAV: no 16-bit stereo 44.1 kHz PCM WAVE file" } },
        { "UTF-8 with its mark: an accented and a Japanese name", "\xEF\xBB\xBF" + utf8Cue, utf8Files,
          utf8Tracks, "00:02:30", {} },
        { "UTF-8 without a mark", utf8Cue, utf8Files, utf8Tracks, "00:02:30", {} },
        { "the ANSI code page (Windows-1252 here) naming an accented file",
          "FILE \"Caf\xE9 (Track 1).bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n",
          { { "Caf\xC3\xA9 (Track 1).bin", 10 * kRaw } },
          { { 1, "MODE2/2352", "00:02:00", "Caf\xC3\xA9 (Track 1).bin", 0 } }, "00:02:10", {} },
        { "in a folder whose name the ANSI code page cannot hold",
          "FILE \"GAME.BIN\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n",
          { { "GAME.BIN", 10 * kRaw } }, { { 1, "MODE2/2352", "00:02:00", "GAME.BIN", 0 } }, "00:02:10", {},
          "\xD0\x94\xD0\xB8\xD1\x81\xD0\xBA " + japanese },
        { "a name longer than any path", "FILE \"" + std::string(1100, 'n') + ".bin\" BINARY\n TRACK 01 AUDIO\n"
          "  INDEX 01 00:00:00\n", {}, {}, "", { "BAD.CUE line 1: the file's path is too long", "BAD.CUE line 2: TRACK before any FILE",
            "BAD.CUE line 3: INDEX before any TRACK of its file" } },
        { "a missing file's name as it is", "FILE \"" + japanese + ".bin\" BINARY\n TRACK 01 AUDIO\n"
          "  INDEX 01 00:00:00\n", {}, {}, "",
          { "BAD.CUE line 1: file \"" + japanese + ".bin\" is missing" } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir scratch("cdimage-cue");
        /* The folder, in UTF-8 from here on. */
        std::string dir = Utf8(Widen(scratch.path())) + row.folder + (row.folder.empty() ? "" : "\\");
        if (!row.folder.empty()) {
            ASSERT_TRUE(CreateDirectoryW(Utf16(dir).c_str(), NULL));
        }
        ASSERT_TRUE(CreateDirectoryW(Utf16(dir + "sub").c_str(), NULL));
        const char *cueName = row.problems.empty() ? "DISC.CUE" : "BAD.CUE";
        SizedFile(dir + cueName, static_cast<int64_t>(row.cue.size()),
                  std::vector<uint8_t>(row.cue.begin(), row.cue.end()));
        for (const FileRow &f : row.files) {
            bool notCd = f.wave && f.name == "M.WAV";
            SizedFile(dir + f.name, f.size,
                      f.wave ? WaveHeader(static_cast<uint32_t>(f.size - 44), notCd ? 1 : 2) :
                               std::vector<uint8_t>());
        }
        static Disc disc;
        bool opened = DiscOpen(&disc, Utf16(dir + cueName).c_str(), 0);
        EXPECT_EQ(row.problems, Problems(disc));
        EXPECT_EQ(row.problems.empty(), opened);
        if (!opened)
            continue;
        ASSERT_EQ(row.tracks.size(), static_cast<size_t>(disc.trackCount));
        for (size_t i = 0; i < row.tracks.size(); i++) {
            const TrackRow &want = row.tracks[i];
            const DiscTrack &t = disc.tracks[i];
            SCOPED_TRACE(testing::Message() << "track " << want.number);
            EXPECT_EQ(want.number, t.number);
            EXPECT_STREQ(want.type, TrackTypeName(t.type));
            EXPECT_EQ(want.start, Time(t.start));
            if (!want.file.empty()) {
                const wchar_t *file = NULL;
                int64_t offset = -1;
                ASSERT_TRUE(CueSectorPlace(&disc, t.start, &file, &offset));
                ASSERT_TRUE(file != NULL);
                EXPECT_EQ(dir + want.file, Utf8(file));
                EXPECT_EQ(want.offset, offset);
            }
        }
        EXPECT_EQ(row.leadOut, Time(disc.leadOut));
        DiscClose(&disc);
    }
}

namespace {

/* What a read of disc sector n must give, built here from the file's bytes
   and the track type; the parts a 2048-byte or 2336-byte sector lacks are
   those of a disc's sector (cd_sector.h, checked against a real tool by
   cd_sector_test). */
struct Expected {
    const char *type;                 /* track type, or "gap DATA"/"gap AUDIO" */
    const std::vector<uint8_t> *file;
    size_t at;                        /* where the sector's bytes begin in file */
};
std::vector<uint8_t> ExpectedImage(int32_t sector, const Expected &e)
{
    std::vector<uint8_t> image(CD_SECTOR_IMAGE_SIZE, 0);
    std::string type = e.type;
    if (type == "AUDIO" || type == "MODE2/2352" || type == "MODE1/2352") {
        memcpy(image.data(), e.file->data() + e.at + 12, CD_SECTOR_IMAGE_SIZE);
        return image;
    }
    if (type == "gap AUDIO")
        return image;
    uint8_t raw[CD_RAW_SECTOR_SIZE] = {};
    if (type == "MODE1/2048") {
        /* A Form 1 sector of Mode 2, as a PlayStation disc holds the data. */
        memcpy(&raw[24], e.file->data() + e.at, 2048);
        raw[18] = raw[22] = 0x08;
        SectorFinishForm1(raw, sector);
    } else if (type == "MODE2/2336") {
        memcpy(&raw[16], e.file->data() + e.at, 2336);
        SectorWriteSyncHeader(raw, sector, 2);
    } else {
        /* An empty Form 2 sector. */
        raw[18] = raw[22] = 0x20;
        SectorFinishForm2(raw, sector);
    }
    memcpy(image.data(), raw + 12, CD_SECTOR_IMAGE_SIZE);
    return image;
}

std::vector<uint8_t> Read(CdImage &cd, int32_t sector)
{
    uint8_t msf[3];
    MsfFromSector(sector, msf);
    const uint8_t *image = cd.CD_Read(msf);
    return image ? ImageBytes(image) : std::vector<uint8_t>();
}

/* The mixed disc: 2048-byte data, a pregap, Mode 2 without headers, and a
   WAVE track with INDEX 00. */
struct MixedDisc {
    ScratchDir dir{ "cdimage-mixed" };
    std::vector<uint8_t> d1 = Sectors(10, 2048, 5), d2 = Sectors(10, 2336, 9),
                         a3 = Sectors(5, kRaw, 77);
    MixedDisc()
    {
        WriteFileText(dir / "MIX.CUE",
                      "FILE \"D1.BIN\" BINARY\n TRACK 01 MODE1/2048\n  INDEX 01 00:00:00\n"
                      "FILE \"D2.BIN\" BINARY\n TRACK 02 MODE2/2336\n  PREGAP 00:00:02\n"
                      "  INDEX 01 00:00:00\nFILE \"A3.WAV\" WAVE\n TRACK 03 AUDIO\n"
                      "  INDEX 00 00:00:00\n  INDEX 01 00:00:01\n");
        WriteFileBytes(dir / "D1.BIN", d1.data(), d1.size());
        WriteFileBytes(dir / "D2.BIN", d2.data(), d2.size());
        std::vector<uint8_t> wave = WaveHeader(static_cast<uint32_t>(a3.size()));
        wave.insert(wave.end(), a3.begin(), a3.end());
        WriteFileBytes(dir / "A3.WAV", wave.data(), wave.size());
    }
    /* Disc sectors: 0-9 track 1, 10-11 pregap, 12-21 track 2, 22-26 track 3. */
    Expected At(int32_t sector) const
    {
        if (sector < 10)
            return { "MODE1/2048", &d1, static_cast<size_t>(sector) * 2048 };
        if (sector < 12)
            return { "gap DATA", NULL, 0 };
        if (sector < 22)
            return { "MODE2/2336", &d2, static_cast<size_t>(sector - 12) * 2336 };
        return { "AUDIO", &a3, static_cast<size_t>(sector - 22) * kRaw };
    }
};

} // namespace

TEST(CdImageRead, SectorImagesAreWhatTheImageHolds)
{
    /* A single BIN of raw Mode 2 sectors, read out of order. */
    {
        ScratchDir dir("cdimage-raw");
        std::vector<uint8_t> raw = RawSectors(20, 0, 2, 0x11);
        WriteFileBytes(dir / "RAW.BIN", raw.data(), raw.size());
        CdImage cd;
        ASSERT_EQ(0, cd.Open(dir / "RAW.BIN"));
        for (int32_t n : { 0, 1, 2, 19, 5, 5, 4 }) {
            SCOPED_TRACE(testing::Message() << "raw sector " << n);
            EXPECT_EQ(ExpectedImage(n, { "MODE2/2352", &raw, n * kRaw }), Read(cd, n));
            EXPECT_EQ(0, cd.CD_Wait());
        }
        cd.CD_Close();
    }
    /* The CUE sheet of every cooked kind, every sector in turn and back. */
    {
        MixedDisc disc;
        CdImage cd;
        ASSERT_EQ(0, cd.Open(disc.dir / "MIX.CUE"));
        for (int32_t n = 0; n < 27; n++) {
            SCOPED_TRACE(testing::Message() << "mixed sector " << n << " " << disc.At(n).type);
            EXPECT_EQ(ExpectedImage(n, disc.At(n)), Read(cd, n));
            EXPECT_EQ(0, cd.CD_Wait());
        }
        for (int32_t n : { 26, 3, 11, 12 })
            EXPECT_EQ(ExpectedImage(n, disc.At(n)), Read(cd, n)) << "again, sector " << n;
        cd.CD_Close();
    }
    /* An ISO from genisoimage: the volume descriptor as the file has it. */
    {
        ScratchDir dir("cdimage-iso");
        dir.MakeDir("files");
        WriteFileText(dir / "files\\SYSTEM.CNF", "BOOT = cdrom:\\SLES_123.45;1\r\nTCB = 4\r\n");
        ASSERT_TRUE(MakeIsoImage(dir / "files", dir / "DISC.ISO"));
        std::vector<uint8_t> iso = ReadFileBytes(dir / "DISC.ISO");
        ASSERT_GT(iso.size(), 17u * 2048);
        CdImage cd;
        ASSERT_EQ(0, cd.Open(dir / "DISC.ISO"));
        for (int32_t n : { 16, 0, 17, static_cast<int32_t>(iso.size() / 2048 - 1) })
            EXPECT_EQ(ExpectedImage(n, { "MODE1/2048", &iso, n * 2048u }), Read(cd, n)) << n;
        cd.CD_Close();
    }
}

TEST(CdImageRead, ReadErrorsGiveZerosUnderTheRequestedHeader)
{
    MixedDisc disc;
    struct Row {
        const char *what;
        uint8_t msf[3];
        bool cutD2;  /* D2.BIN cut to 3 sectors first, while the disc is open */
    };
    const Row rows[] = {
        { "before 00:02:00", { 0, 1, 74 }, false },
        { "the lead-out", { 0, 2, 27 }, false },
        { "past the lead-out", { 0, 3, 0 }, false },
        { "the last time there is", { 99, 59, 74 }, false },
        { "any three bytes", { 255, 255, 255 }, false },
        { "a file cut short after the open", { 0, 2, 12 + 5 }, true },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        CdImage cd;
        ASSERT_EQ(0, cd.Open(disc.dir / "MIX.CUE"));
        if (row.cutD2) {
            /* The plugin shares the file for writing: the user may change it. */
            SizedFile(disc.dir / "D2.BIN", 3 * 2336, std::vector<uint8_t>(disc.d2.begin(),
                                                                          disc.d2.begin() + 3 * 2336));
        }
        Read(cd, 0);  /* a good sector first: none of it may show again */
        std::vector<uint8_t> want(CD_SECTOR_IMAGE_SIZE, 0);
        WriteHeaderAddress(want.data(), row.msf);
        const uint8_t *image = cd.CD_Read(row.msf);
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(want, ImageBytes(image));
        EXPECT_EQ(-1, cd.CD_Wait());
        EXPECT_EQ(0, cd.CD_Wait()) << "reported once";
        EXPECT_EQ(ExpectedImage(2, disc.At(2)), Read(cd, 2)) << "and the next good read is good";
        EXPECT_EQ(0, cd.CD_Wait());
        cd.CD_Close();
        if (row.cutD2)
            WriteFileBytes(disc.dir / "D2.BIN", disc.d2.data(), disc.d2.size());
    }
}

TEST(CdImageRead, TrackTableOfTheCueSheet)
{
    MixedDisc disc;
    CdImage cd;
    ASSERT_EQ(0, cd.Open(disc.dir / "MIX.CUE"));
    uint8_t tn[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
    EXPECT_EQ(0, cd.CD_GetTN(tn));
    EXPECT_EQ("ee 01 03 ee", Bytes(tn, 4));
    struct Row {
        int32_t track;
        int32_t result;
        const char *buffer;  /* byte 0 is never written */
    };
    const Row rows[] = {
        { 1, 0, "ee 00 02 00" }, { 2, 0, "ee 00 02 0c" }, { 3, 0, "ee 00 02 17" },
        { 170, 0, "ee 00 02 1b" }, { 4, -1, "ee ee ee ee" }, { 0, -1, "ee ee ee ee" },
        { -1, -1, "ee ee ee ee" },
    };
    for (const Row &row : rows) {
        uint8_t td[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
        EXPECT_EQ(row.result, cd.CD_GetTD(td, row.track)) << row.track;
        EXPECT_EQ(row.buffer, Bytes(td, 4)) << row.track;
    }
    cd.CD_Close();
    uint8_t td[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
    EXPECT_EQ(-1, cd.CD_GetTN(td)) << "closed";
    EXPECT_EQ(-1, cd.CD_GetTD(td, 1)) << "closed";
    EXPECT_EQ("ee ee ee ee", Bytes(td, 4));
}

TEST(CdImageRead, EveryFormatGivesTheDiscOfItsBin)
{
    /* The game's two discs as CUE/BIN, as PBP files and in a playlist,
       read through the plugin: the same track table and every sector the
       BIN's. */
    const TestDisc &one = GameDisc(1), &two = GameDisc(2);
    ScratchDir dir("cdimage-formats");
    ASSERT_TRUE(WriteCueBin(dir.path(), "ONE", one));
    ASSERT_TRUE(WriteCueBin(dir.path(), "TWO", two));
    auto pbp = [&dir](const char *name, const std::vector<PbpDiscSpec> &discs) {
        std::vector<uint8_t> bytes = MakePbp(discs);
        ASSERT_TRUE(WriteFileBytes(dir / name, bytes.data(), bytes.size()));
    };
    pbp("ONE_RAW.PBP", { { &one, "SLUS-00892", false } });
    pbp("ONE.PBP", { { &one, "SLUS-00892", true } });
    pbp("GAME.PBP", { { &one, "SLUS-00892", true }, { &two, "SLUS-00908", true } });
    WriteFileText(dir / "GAME.M3U", "#EXTM3U\r\nONE.CUE\r\nTWO.CUE\r\n");
    WriteFileText(dir / "GONE.M3U", "ONE.PBP\nGONE.CUE\n");
    struct Row {
        const char *image;
        const char *disc;       /* "Disc" stored */
        const TestDisc *want;
    };
    const Row rows[] = {
        { "ONE.CUE", "", &one },
        { "ONE_RAW.PBP", "", &one },
        { "ONE.PBP", "2", &one },        /* one disc: the choice does not matter */
        { "GAME.PBP", "", &one },
        { "GAME.PBP", "2", &two },
        { "GAME.PBP", "x", &one },
        { "GAME.M3U", "2", &two },
        { "GAME.M3U", "1", &one },
        { "GONE.M3U", "1", &one },       /* its disc 2 missing */
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.image) + " Disc=" + row.disc);
        const TestDisc &disc = *row.want;
        CdImage cd;
        cd.host.Answer("CDIMAGE", "Disc", row.disc);
        ASSERT_EQ(0, cd.Open(dir / row.image));
        uint8_t tn[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
        EXPECT_EQ(0, cd.CD_GetTN(tn));
        EXPECT_EQ("ee 01 02 ee", Bytes(tn, 4));
        uint8_t start2[3], end[3];
        MsfFromSector(disc.audioStart, start2);
        MsfFromSector(disc.sectors(), end);
        const std::pair<int32_t, std::string> tracks[] = {
            { 1, "00 02 00" }, { 2, Bytes(start2, 3) }, { 170, Bytes(end, 3) }, { 3, "" } };
        for (const auto &t : tracks) {
            uint8_t td[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
            EXPECT_EQ(t.second.empty() ? -1 : 0, cd.CD_GetTD(td, t.first)) << t.first;
            EXPECT_EQ(t.second.empty() ? "ee ee ee ee" : "ee " + t.second, Bytes(td, 4)) << t.first;
        }
        for (int32_t n = 0; n < disc.sectors(); n++) {
            ASSERT_EQ(ExpectedImage(n, { "MODE2/2352", &disc.bin, n * 2352u }), Read(cd, n)) << "sector " << n;
            ASSERT_EQ(0, cd.CD_Wait()) << n;
        }
        Read(cd, disc.sectors());
        EXPECT_EQ(-1, cd.CD_Wait()) << "the lead-out";
        cd.CD_Close();
    }
}

TEST(CdImageRead, HostileImagesOpenNothingAndSayWhy)
{
    struct Row {
        const char *what;
        const char *image;  /* what "ImageFile" names, in the scratch folder */
        std::function<void(const ScratchDir &)> make;
        Lines problems;     /* empty: any */
    };
    const std::string self = "FILE \"SELF.CUE\" BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n";
    const Row rows[] = {
        { "nothing stored", "", [](const ScratchDir &) {}, { "(no path)" } },
        { "a path to nothing", "NONE.CUE", [](const ScratchDir &) {}, { "NONE.CUE: the file is missing" } },
        { "an empty file", "EMPTY.ISO", [](const ScratchDir &d) { WriteFileText(d / "EMPTY.ISO", ""); },
          { "EMPTY.ISO: the file is empty" } },
        { "a truncated BIN", "CUT.BIN",
          [](const ScratchDir &d) {
              std::vector<uint8_t> raw = RawSectors(2, 0, 2, 1);
              WriteFileBytes(d / "CUT.BIN", raw.data(), raw.size() - 1352);
          },
          { "CUT.BIN: 3352 bytes are no whole number of 2352-byte sectors" } },
        { "a CUE naming itself", "SELF.CUE",
          [&self](const ScratchDir &d) { WriteFileText(d / "SELF.CUE", self); },
          { "SELF.CUE: " + std::to_string(self.size()) +
            " bytes are no whole number of 2352-byte sectors" } },
        { "a CUE naming a folder", "DIR.CUE",
          [](const ScratchDir &d) {
              d.MakeDir("sub");
              WriteFileText(d / "DIR.CUE", "FILE sub BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n");
          },
          { "DIR.CUE line 1: \"sub\" is a folder" } },
        { "the image names a folder", "sub", [](const ScratchDir &d) { d.MakeDir("sub"); },
          { "sub: the path names a folder" } },
        { "a 10 MB CUE", "BIG.CUE",
          [](const ScratchDir &d) { SizedFile(d / "BIG.CUE", 10 << 20, { 'R', 'E', 'M', ' ' }); },
          { "BIG.CUE: 10485760 bytes are too many for a CUE sheet" } },
        { "a 5 GB image: sizes past 32 bits", "HUGE.ISO",
          [](const ScratchDir &d) { SizedFile(d / "HUGE.ISO", 5LL << 30); },
          { "HUGE.ISO: the disc is longer than 99:59:74" } },
        { "garbage named .cue", "JUNK.CUE",
          [](const ScratchDir &d) {
              std::vector<uint8_t> junk = GarbageBytes(5000, 7);
              WriteFileBytes(d / "JUNK.CUE", junk.data(), junk.size());
          },
          {} },
        { "an ECM image cut in its records", "CUT.BIN.ECM",
          [](const ScratchDir &d) {
              std::vector<uint8_t> ecm = WriteEcm(MadeSectors(MADE_FORM1, 2, 0, 1)).bytes;
              WriteFileBytes(d / "CUT.BIN.ECM", ecm.data(), ecm.size() - 1000);
          },
          { "CUT.BIN.ECM: the ECM record at byte 2091 runs past the end of the file" } },
        { "a CUE sheet's BIN there only as a damaged NAME.ecm", "DAMAGED.CUE",
          [](const ScratchDir &d) {
              WriteFileText(d / "DAMAGED.CUE", "FILE D.BIN BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n");
              WriteFileText(d / "D.BIN.ecm", std::string("ECM\0\x80", 5));
          },
          { "DAMAGED.CUE line 1: file \"D.BIN\": the ECM record at byte 4 is cut or damaged" } },
        { "a NAME.ecm that is no ECM file", "NOT.CUE",
          [](const ScratchDir &d) {
              WriteFileText(d / "NOT.CUE", "FILE N.BIN BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n");
              WriteFileText(d / "N.BIN.ecm", "not packed");
          },
          { "NOT.CUE line 1: file \"N.BIN\": no ECM file" } },
        { "a CloneCD set without its .img", "LOST.CCD",
          [](const ScratchDir &d) { WriteFileText(d / "LOST.CCD", CcdText({ { 1, 2, 0, 0 } }, 10)); },
          { "LOST.img: the file is missing" } },
        { "a CloneCD image shorter than its disc", "SHORT.CCD",
          [](const ScratchDir &d) {
              WriteFileText(d / "SHORT.CCD", CcdText({ { 1, 2, 0, 0 } }, 10));
              SizedFile(d / "SHORT.IMG", 5 * kRaw);
          },
          { "SHORT.img: the file holds 5 sectors, the disc 10" } },
        { "a CloneCD control file of two sessions", "TWO.CCD",
          [](const ScratchDir &d) {
              WriteFileText(d / "TWO.CCD", "[CloneCD]\nVersion=3\n[Disc]\nSessions=2\n");
              SizedFile(d / "TWO.IMG", 5 * kRaw);
          },
          { "TWO.CCD line 4: a disc of 2 sessions; only single-session discs are read" } },
        { "garbage named .pbp", "JUNK.PBP",
          [](const ScratchDir &d) {
              std::vector<uint8_t> junk = GarbageBytes(5000, 7);
              WriteFileBytes(d / "JUNK.PBP", junk.data(), junk.size());
          },
          { "JUNK.PBP: the file does not begin with a PBP header" } },
        { "a store's encrypted PBP", "STORE.PBP",
          [](const ScratchDir &d) {
              PbpPlaces at;
              std::vector<uint8_t> pbp = MakePbp({ { &GameDisc(1), "SLUS-00892", true } }, false, &at);
              memcpy(&pbp[at.discs[0] + 0x400], "\0PGD", 4);
              WriteFileBytes(d / "STORE.PBP", pbp.data(), pbp.size());
          },
          { "STORE.PBP: the disc image is encrypted, as a store sells it: only PBP files made by conversion "
            "tools can be read" } },
        { "a PBP cut short", "CUT.PBP",
          [](const ScratchDir &d) {
              std::vector<uint8_t> pbp = MakePbp({ { &GameDisc(1), "SLUS-00892", true } });
              WriteFileBytes(d / "CUT.PBP", pbp.data(), pbp.size() / 2);
          },
          {} },
        { "a playlist naming itself", "SELF.M3U",
          [](const ScratchDir &d) { WriteFileText(d / "SELF.M3U", "SELF.M3U\n"); },
          { "SELF.M3U line 1: the playlist names itself" } },
        { "a playlist naming a folder", "DIR.M3U",
          [](const ScratchDir &d) {
              d.MakeDir("sub");
              WriteFileText(d / "DIR.M3U", "# the discs\nsub\n");
          },
          { "DIR.M3U line 2: \"sub\" is a folder" } },
        { "a playlist whose disc is missing", "LOST.M3U",
          [](const ScratchDir &d) { WriteFileText(d / "LOST.M3U", "\nGone (Disc 1).cue\n"); },
          { "LOST.M3U line 2: file \"Gone (Disc 1).cue\" is missing" } },
        { "a playlist naming a playlist", "OUTER.M3U",
          [](const ScratchDir &d) {
              WriteFileText(d / "OUTER.M3U", "INNER.M3U\n");
              WriteFileText(d / "INNER.M3U", "OUTER.M3U\n");
          },
          { "OUTER.M3U line 1: \"INNER.M3U\" is a playlist: a playlist lists images, not playlists" } },
        { "a playlist naming no image", "EMPTY.M3U",
          [](const ScratchDir &d) { WriteFileText(d / "EMPTY.M3U", "#EXTM3U\r\n\r\n"); },
          { "EMPTY.M3U: the playlist names no image" } },
        { "a playlist's disc that does not open", "BAD.M3U",
          [](const ScratchDir &d) {
              WriteFileText(d / "BAD.M3U", "BAD.CUE\n");
              WriteFileText(d / "BAD.CUE", "REM nothing\n");
          },
          { "BAD.CUE: the CUE sheet holds no track" } },
        { "a hundred tracks", "MANY.CUE",
          [](const ScratchDir &d) {
              std::string cue = "FILE A.BIN BINARY\n";
              for (int n = 1; n <= 100; n++) {
                  char lines[64];
                  BufFormat(lines, sizeof lines, "TRACK %d AUDIO\nINDEX 01 %02d:%02d:00\n", n,
                            n / 60, n % 60);
                  cue += lines;
              }
              WriteFileText(d / "MANY.CUE", cue);
              SizedFile(d / "A.BIN", 200 * kRaw);
          },
          {} },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir("cdimage-hostile");
        row.make(dir);
        std::string path = *row.image ? dir / row.image : "";
        CdImage cd;
        EXPECT_EQ(-1, cd.Open(path));
        uint8_t tn[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
        EXPECT_EQ(-1, cd.CD_GetTN(tn)) << "nothing open";
        EXPECT_EQ("ee ee ee ee", Bytes(tn, 4));
        const uint8_t msf[3] = { 0, 2, 16 };
        const uint8_t *image = cd.CD_Read(msf);
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(-1, cd.CD_Wait());
        cd.CD_Close();
        if (!*row.image)
            continue;
        static Disc loaded;
        EXPECT_FALSE(Open(&loaded, path));
        EXPECT_GT(loaded.problemCount, 0);
        if (!row.problems.empty()) {
            EXPECT_EQ(row.problems, Problems(loaded));
        }
    }
}

TEST(CdImageRead, AFileRemovedAfterConfigureFailsTheOpen)
{
    MixedDisc disc;
    static Disc seen;
    ASSERT_TRUE(Open(&seen, disc.dir / "MIX.CUE")) << "what Configure showed";
    DiscClose(&seen);
    ASSERT_TRUE(DeleteFileA((disc.dir / "A3.WAV").c_str()));
    CdImage cd;
    EXPECT_EQ(-1, cd.Open(disc.dir / "MIX.CUE"));
    EXPECT_FALSE(Open(&seen, disc.dir / "MIX.CUE"));
    EXPECT_EQ(Lines{ "MIX.CUE line 8: file \"A3.WAV\" is missing" }, Problems(seen));
}

TEST(CdImageSummary, KindBootAndRegionComeBeforeTheTracksWhichAreCutWhenFull)
{
    /* 99 tracks, one file each, with the long names of a preservation set. */
    ScratchDir dir("cdimage-summary");
    std::string cue;
    for (int n = 1; n <= 99; n++) {
        char name[96], lines[160];
        BufFormat(name, sizeof name, "A Rather Long Name Of A Game, As Sets Give Them (Track %02d).bin", n);
        BufFormat(lines, sizeof lines, "FILE \"%s\" BINARY\n  TRACK %02d %s\n    INDEX 01 00:00:00\n", name, n,
                  n == 1 ? "MODE2/2352" : "AUDIO");
        cue += lines;
        SizedFile(dir / name, 10 * kRaw);
    }
    ASSERT_TRUE(WriteFileText(dir / "DISC.CUE", cue));
    static Disc disc;
    ASSERT_TRUE(Open(&disc, dir / "DISC.CUE"));
    struct Row {
        size_t size;
        int files;    /* file lines shown */
        int tracks;   /* track lines shown */
    };
    const Row rows[] = {
        { 16384, 99, 99 },  /* the dialog's */
        { 8192, 99, 23 },
        { 4096, 44, 16 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.size);
        std::vector<char> out(row.size, 'x');
        FormatSummary(&disc, "cdrom:\\SLUS_012.34;1", out.data(), out.size());
        EXPECT_LT(strlen(out.data()), row.size);
        Lines lines = SplitLines(out.data());
        Lines want = { "CUE sheet DISC.CUE, 99 files:" };
        for (int n = 1; n <= row.files; n++)
            want.push_back("    A Rather Long Name Of A Game, As Sets Give Them (Track " + std::string(n < 10 ? "0" : "") +
                           std::to_string(n) + ").bin");
        if (row.files < 99)
            want.push_back("    ... and " + std::to_string(99 - row.files) + " more");
        want.push_back("Boot program: cdrom:\\SLUS_012.34;1");
        want.push_back("Region: America");
        want.push_back("Length 00:13:15 (990 sectors)");
        for (int n = 1; n <= row.tracks; n++)
            want.push_back("Track " + std::string(n < 10 ? "0" : "") + std::to_string(n) + "  " +
                           (n == 1 ? "MODE2/2352" : "AUDIO     ") + "  start " + Time((n - 1) * 10) +
                           "  length 00:00:10");
        if (row.tracks < 99)
            want.push_back("... and " + std::to_string(99 - row.tracks) + " more tracks");
        EXPECT_EQ(want, lines);
    }
    DiscClose(&disc);
}

/* One disc in every form cdimage reads it in, each against the CUE sheet
   and BIN it was made from: the BIN kept only as NAME.bin.ecm beside the
   CUE sheet, that ECM file opened by itself (against the BIN by itself),
   and CloneCD sets with and without their .sub, one with its .img kept as
   NAME.img.ecm. Each gives the same track table and the same sectors. The
   data track mixes Form 1 and Form 2 sectors, one whose EDC is zero and
   one whose ECC no rebuilder makes, which ECM keeps as they are. */
TEST(CdImageRead, EcmAndCloneCdGiveTheDiscTheirBinGives)
{
    ScratchDir dir("cdimage-forms");
    std::vector<uint8_t> bin;
    for (const std::vector<uint8_t> &part :
         { MadeSectors(MADE_FORM1, 20, 0, 1), MadeSectors(MADE_FORM2, 8, 20, 2),
           MadeSectors(MADE_FORM2_NO_EDC, 2, 28, 3), MadeSectors(MADE_FORM1_BAD_ECC, 1, 30, 4),
           MadeSectors(MADE_FORM1, 9, 31, 5), MadeSectors(MADE_SILENCE, 5, 40, 0),
           MadeSectors(MADE_AUDIO, 10, 45, 6) })
        bin.insert(bin.end(), part.begin(), part.end());
    const std::string cue = "FILE \"GAME.BIN\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
                            "  TRACK 02 AUDIO\n    INDEX 00 00:00:40\n    INDEX 01 00:00:45\n";
    const std::string ccd = CcdText({ { 1, 2, 0, 0 }, { 2, 0, 45, 5 } }, 55);
    std::vector<uint8_t> ecm = WriteEcm(bin).bytes, sub(55 * 96, 0x5A);
    for (const char *folder : { "bin", "ecm", "ccd", "ccd-no-sub", "ccd-ecm" })
        dir.MakeDir(folder);
    WriteFileText(dir / "bin\\GAME.CUE", cue);
    WriteFileBytes(dir / "bin\\GAME.BIN", bin.data(), bin.size());
    WriteFileText(dir / "ecm\\GAME.CUE", cue);
    WriteFileBytes(dir / "ecm\\GAME.BIN.ECM", ecm.data(), ecm.size());
    for (const char *folder : { "ccd\\", "ccd-no-sub\\", "ccd-ecm\\" })
        WriteFileText(dir / (std::string(folder) + "GAME.CCD").c_str(), ccd);
    WriteFileBytes(dir / "ccd\\GAME.IMG", bin.data(), bin.size());
    WriteFileBytes(dir / "ccd\\GAME.SUB", sub.data(), sub.size());
    WriteFileBytes(dir / "ccd-no-sub\\GAME.IMG", bin.data(), bin.size());
    WriteFileBytes(dir / "ccd-ecm\\GAME.IMG.ECM", ecm.data(), ecm.size());

    struct Row {
        const char *image, *reference;
        const char *kind;
    } rows[] = {
        { "ecm\\GAME.CUE", "bin\\GAME.CUE", "CUE sheet GAME.CUE, 1 file:" },
        { "ecm\\GAME.BIN.ECM", "bin\\GAME.BIN", "ECM of a raw BIN, 1 track: GAME.BIN.ECM" },
        { "ccd\\GAME.CCD", "bin\\GAME.CUE", "CloneCD, 2 tracks: GAME.CCD" },
        { "ccd-no-sub\\GAME.CCD", "bin\\GAME.CUE", "CloneCD, 2 tracks: GAME.CCD" },
        { "ccd-ecm\\GAME.CCD", "bin\\GAME.CUE", "CloneCD, 2 tracks: GAME.CCD" },
    };
    /* What a disc gives the emulator: its track table, then every sector. */
    auto disc = [](const std::string &path) {
        std::vector<std::string> seen;
        CdImage cd;
        if (cd.Open(path) != 0)
            return seen;
        uint8_t tn[4] = {};
        cd.CD_GetTN(tn);
        seen.push_back("tracks " + Bytes(tn + 1, 2));
        for (int t = 0; t <= tn[2] + 1; t++) {
            uint8_t td[4] = {};
            int32_t found = cd.CD_GetTD(td, t);
            seen.push_back("track " + std::to_string(t) + ": " + std::to_string(found) + " " + Bytes(td + 1, 3));
        }
        for (int32_t n = 0; n < 56; n++) {
            std::vector<uint8_t> image = Read(cd, n);
            seen.push_back(Time(n) + " " + std::to_string(cd.CD_Wait()) + " " + Bytes(image.data(), image.size()));
        }
        cd.CD_Close();
        return seen;
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.image);
        std::vector<std::string> want = disc(dir / row.reference), got = disc(dir / row.image);
        ASSERT_FALSE(want.empty()) << "the reference opens";
        ASSERT_EQ(want.size(), got.size()) << "the image opens";
        for (size_t i = 0; i < want.size(); i++)
            ASSERT_EQ(want[i], got[i]);
        static Disc shown;
        ASSERT_TRUE(Open(&shown, dir / row.image));
        EXPECT_STREQ(row.kind, shown.kind);
        DiscClose(&shown);
    }
    /* The CUE sheet's file line says the file is kept as ECM. */
    static Disc shown;
    ASSERT_TRUE(Open(&shown, dir / "ecm\\GAME.CUE"));
    EXPECT_STREQ("GAME.BIN (ECM)", shown.details[0]);
    DiscClose(&shown);
}
