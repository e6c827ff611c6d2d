/* cdimage's readers of ECM streams and CloneCD control files, through its
 * own code: images made by the tests' writers (cd_test_writers.h), read
 * back byte for byte, hostile streams, the whole-image check, and the
 * track tables of control files. */
#include <string.h>

#include <algorithm>
#include <functional>

#include "cd_test_writers.h"
#include "disc_ccd.h"
#include "ecm_stream.h"
#include "kova_test.h"

namespace {

const uint32_t kRaw = 2352;

/* An ECM file in memory, or made up byte by byte (a size no test could
   write), that can fail every read after the first failAfter. */
struct TestFile {
    std::vector<uint8_t> bytes;
    std::function<uint8_t(int64_t)> made;
    int64_t size = 0;
    int reads = 0;
    int failAfter = -1;
    EcmSource Source() { return {this, ReadAt}; }
    static bool ReadAt(void *file, int64_t offset, void *dst, uint32_t size)
    {
        TestFile *f = static_cast<TestFile *>(file);
        if (f->failAfter >= 0 && f->reads >= f->failAfter)
            return false;
        f->reads++;
        if (offset < 0 || offset + size > f->size)
            return false;
        uint8_t *out = static_cast<uint8_t *>(dst);
        for (uint32_t i = 0; i < size; i++)
            out[i] = f->made ? f->made(offset + i) : f->bytes[offset + i];
        return true;
    }
};

TestFile InMemory(const std::vector<uint8_t> &bytes)
{
    TestFile f;
    f.bytes = bytes;
    f.size = static_cast<int64_t>(bytes.size());
    return f;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<uint8_t> EcmOf(std::initializer_list<std::vector<uint8_t>> records)
{
    std::vector<uint8_t> bytes = {'E', 'C', 'M', 0};
    for (const auto &r : records)
        bytes.insert(bytes.end(), r.begin(), r.end());
    return bytes;
}

std::vector<uint8_t> Header(int type, uint32_t countLessOne)
{
    std::vector<uint8_t> h;
    PutEcmRecordHeader(h, type, countLessOne);
    return h;
}

std::vector<uint8_t> Read(const EcmIndex &index, TestFile &file, uint32_t offset, uint32_t size)
{
    std::vector<uint8_t> out(size, 0xCC);
    EcmSource source = file.Source();
    if (!EcmRead(&index, &source, offset, out.data(), size))
        out.clear();
    return out;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t> &v, size_t at, size_t n)
{
    return std::vector<uint8_t>(v.begin() + at, v.begin() + at + n);
}

} // namespace

TEST(CdImageEcm, StreamsGiveBackTheirImageByteForByte)
{
    struct Row {
        const char *name;
        std::vector<uint8_t> image;
        uint32_t sectorUnits[3];   /* units of record types 1, 2, 3 */
    } rows[] = {
        { "PlayStation data and audio",
          Join({MadeSectors(MADE_FORM1, 20, 0, 1), MadeSectors(MADE_FORM2, 5, 20, 2),
                MadeSectors(MADE_FORM2_NO_EDC, 2, 25, 3), MadeSectors(MADE_FORM1_BAD_ECC, 1, 27, 4),
                MadeSectors(MADE_FORM1, 3, 28, 5), MadeSectors(MADE_AUDIO, 6, 31, 6),
                MadeSectors(MADE_SILENCE, 3, 37, 7)}),
          {0, 23 + 3, 5} },
        { "Mode 1 data", MadeSectors(MADE_MODE1, 30, 0, 8), {30, 0, 0} },
        { "Mode 1 data at another address", MadeSectors(MADE_MODE1, 4, 250000, 9), {4, 0, 0} },
        { "audio and a cut sector", Join({MadeSectors(MADE_AUDIO, 3, 0, 10), std::vector<uint8_t>(100, 1)}),
          {0, 0, 0} },
        { "nothing", {}, {0, 0, 0} },
    };
    for (Row &row : rows) {
        SCOPED_TRACE(row.name);
        EcmWritten ecm = WriteEcm(row.image);
        EXPECT_EQ(row.sectorUnits[0], ecm.units[1]);
        EXPECT_EQ(row.sectorUnits[1], ecm.units[2]);
        EXPECT_EQ(row.sectorUnits[2], ecm.units[3]);
        TestFile file = InMemory(ecm.bytes);
        EcmSource source = file.Source();
        EcmIndex index;
        char problem[256] = "";
        ASSERT_TRUE(EcmIndexStream(&index, &source, file.size, problem, sizeof problem)) << problem;
        EXPECT_EQ(ecm.records, index.count);
        ASSERT_EQ(row.image.size(), index.size);
        EXPECT_EQ(row.image, Read(index, file, 0, index.size));
        /* Sector by sector, out of order, each from its own read. */
        std::vector<uint32_t> order;
        for (uint32_t at = 0; at + kRaw <= index.size; at += kRaw)
            order.push_back(at);
        std::reverse(order.begin(), order.end());
        std::rotate(order.begin(), order.begin() + order.size() / 3, order.end());
        for (uint32_t at : order)
            ASSERT_EQ(Slice(row.image, at, kRaw), Read(index, file, at, kRaw)) << "at " << at;
        /* Stretches that start and end inside sectors and records. */
        struct { uint32_t at, n; } pieces[] = {{1, 1}, {15, 2}, {2351, 3000}, {kRaw + 17, 2336}, {index.size - 1, 1}};
        for (auto p : pieces) {
            if (p.n <= index.size && p.at <= index.size - p.n) {
                EXPECT_EQ(Slice(row.image, p.at, p.n), Read(index, file, p.at, p.n)) << "at " << p.at;
            }
        }
        EXPECT_TRUE(Read(index, file, index.size, 1).empty());
        EXPECT_TRUE(Read(index, file, 0xFFFFFFFFu, 2).empty());
        EcmFree(&index);
    }
}

TEST(CdImageEcm, HostileStreamsAreRefusedWithALine)
{
    const std::vector<uint8_t> end = Join({Header(0, 0xFFFFFFFFu), {0, 0, 0, 0}});
    struct Row {
        const char *name;
        std::vector<uint8_t> bytes;
        const char *problem;
    } rows[] = {
        { "no magic", {'E', 'C', 'X', 0, 0xFC, 0xFF, 0xFF, 0xFF, 0x3F, 0, 0, 0, 0}, "no ECM file" },
        { "a short file", {'E', 'C'}, "no ECM file" },
        { "the magic alone", EcmOf({}), "the ECM records end without their end mark at byte 4" },
        { "a header cut", EcmOf({{0x80}}), "the ECM record at byte 4 is cut or damaged" },
        { "a header of six bytes", EcmOf({{0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, end}),
          "the ECM record at byte 4 is cut or damaged" },
        { "sectors past the end", EcmOf({Header(2, 2), std::vector<uint8_t>(2052 * 2, 0), end}),
          "the ECM record at byte 4 runs past the end of the file" },
        { "a count out of range", EcmOf({Header(0, 0x80000000u), {1, 2, 3}, end}),
          "the ECM record at byte 4 runs past the end of the file" },
        { "no checksum", EcmOf({Header(0, 0), {7}, Header(0, 0xFFFFFFFFu), {0, 0}}),
          "the ECM file ends without the image's checksum" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TestFile file = InMemory(row.bytes);
        EcmSource source = file.Source();
        EcmIndex index;
        char problem[256] = "";
        EXPECT_FALSE(EcmIndexStream(&index, &source, file.size, problem, sizeof problem));
        EXPECT_STREQ(row.problem, problem);
        EXPECT_EQ(nullptr, index.records);
    }

    /* Every cut of a whole stream is refused; the whole one opens. */
    std::vector<uint8_t> whole = WriteEcm(Join({MadeSectors(MADE_FORM1, 2, 0, 1), MadeSectors(MADE_AUDIO, 1, 2, 2)})).bytes;
    for (size_t cut = 0; cut <= whole.size(); cut++) {
        TestFile file = InMemory(Slice(whole, 0, cut));
        EcmSource source = file.Source();
        EcmIndex index;
        char problem[256] = "";
        ASSERT_EQ(cut == whole.size(), EcmIndexStream(&index, &source, file.size, problem, sizeof problem))
            << "cut at " << cut;
        EcmFree(&index);
    }

    /* Files no test writes: a stream of more than a CD, and one of more
       records than an index takes. */
    struct Made {
        const char *name;
        int64_t size;
        std::function<uint8_t(int64_t)> byte;
        const char *problem;
    } made[] = {
        { "a CD and more", 4 + 4 + 520000LL * 2052 + 9,
          [](int64_t at) -> uint8_t {
              static const std::vector<uint8_t> head = EcmOf({Header(2, 520000 - 1)});
              return at < static_cast<int64_t>(head.size()) ? head[at] : 0;
          },
          "the ECM file holds more than a CD" },
        { "a record for every byte", 4 + 2 * (int64_t(ECM_MAX_RECORDS) + 1) + 9,
          [](int64_t at) -> uint8_t { return at < 4 ? "ECM"[at] : ((at - 4) % 2 ? 0x5A : 0); },
          "the ECM file has more records than a disc image" },
        { "a file over 4 GB", 0x100000000LL,
          [](int64_t at) -> uint8_t { return at < 4 ? "ECM"[at] : 0; },
          "the ECM file is larger than any of a CD" },
    };
    for (const Made &m : made) {
        SCOPED_TRACE(m.name);
        TestFile file;
        file.made = m.byte;
        file.size = m.size;
        EcmSource source = file.Source();
        EcmIndex index;
        char problem[256] = "";
        EXPECT_FALSE(EcmIndexStream(&index, &source, file.size, problem, sizeof problem));
        EXPECT_STREQ(m.problem, problem);
    }
}

TEST(CdImageEcm, VerifyChecksTheWholeImageAStepAtATime)
{
    std::vector<uint8_t> image = Join({MadeSectors(MADE_FORM1, 8, 0, 1), MadeSectors(MADE_AUDIO, 2, 8, 2)});
    EcmWritten ecm = WriteEcm(image);
    const size_t kept = 4 + 1 + 16 + 1 + 4;   /* magic, a header, sync and header, a header, the subheader */
    struct Row {
        const char *name;
        size_t flip;          /* byte of the file to change, 0 for none */
        int failAfter;        /* reads before the file fails, -1 never */
        int result;
        uint32_t done;        /* image bytes checked by then */
    } rows[] = {
        { "a whole image", 0, -1, ECM_VERIFY_GOOD, static_cast<uint32_t>(image.size()) },
        { "a data byte changed", kept + 100, -1, ECM_VERIFY_BAD, static_cast<uint32_t>(image.size()) },
        { "the checksum changed", ecm.bytes.size() - 2, -1, ECM_VERIFY_BAD, static_cast<uint32_t>(image.size()) },
        { "a file that fails while it is read", 0, 2, ECM_VERIFY_UNREADABLE, 2 * 10000 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TestFile file = InMemory(ecm.bytes);
        if (row.flip)
            file.bytes[row.flip] ^= 0x10;
        EcmSource source = file.Source();
        EcmIndex index;
        char problem[256] = "";
        ASSERT_TRUE(EcmIndexStream(&index, &source, file.size, problem, sizeof problem)) << problem;
        file.reads = 0;
        file.failAfter = row.failAfter;
        EcmVerify verify;
        EcmVerifyStart(&verify);
        std::vector<uint8_t> buffer(10000);
        int result, steps = 0;
        uint32_t before = 0;
        while ((result = EcmVerifyStep(&verify, &index, &source, buffer.data(), 10000)) == ECM_VERIFY_MORE) {
            EXPECT_EQ(before + 10000, verify.done);
            before = verify.done;
            steps++;
        }
        EXPECT_EQ(row.result, result);
        EXPECT_EQ(row.done, verify.done);
        if (row.result != ECM_VERIFY_UNREADABLE) {
            EXPECT_EQ(static_cast<int>(image.size() / 10000), steps);
        }
        EcmFree(&index);
    }
}

namespace {

std::string Tracks(const CcdSheet &sheet)
{
    static const char *const kTypes[] = {"MODE1/2048", "MODE1/2352", "MODE2/2336", "MODE2/2352", "AUDIO"};
    std::string out;
    for (int i = 0; i < sheet.trackCount; i++) {
        const DiscTrack &t = sheet.tracks[i];
        char line[96];
        BufFormat(line, sizeof line, "%s%d %s %d %d", i ? ", " : "", t.number,
                  t.type < 5 ? kTypes[t.type] : "?", static_cast<int>(t.first), static_cast<int>(t.start));
        out += line;
    }
    return out;
}

Lines Problems(const CcdSheet &sheet)
{
    Lines lines;
    for (int i = 0; i < sheet.problemCount && i < DISC_MAX_PROBLEMS; i++)
        lines.push_back("line " + std::to_string(sheet.problemLines[i]) + ": " + sheet.problems[i]);
    return lines;
}

} // namespace

TEST(CdImageCcd, ControlFilesGiveTheirTrackTables)
{
    const std::string oneTrack = "[Entry 0]\nPoint=0x01\nControl=0x04\nPLBA=0\n[Entry 1]\nPoint=0xa2\nPLBA=300\n";
    struct Row {
        const char *name;
        std::string text;
        const char *tracks;
        int32_t leadOut;
        Lines problems;
    } rows[] = {
        { "as the writer makes it",
          CcdText({{1, 2, 0, 0}, {2, 0, 1150, 150}, {3, 0, 1400, 0}}, 1500),
          "1 MODE2/2352 0 0, 2 AUDIO 1000 1150, 3 AUDIO 1400 1400", 1500, {} },
        { "Mode 1", CcdText({{1, 1, 0, 0}}, 20), "1 MODE1/2352 0 0", 20, {} },
        { "no [TRACK] sections: Control tells data from audio",
          oneTrack + "[Entry 2]\nPoint=0x02\nControl=0x00\nPLBA=200\n", "1 MODE2/2352 0 0, 2 AUDIO 200 200", 300, {} },
        { "times instead of PLBA, in any letter case, with blanks",
          "[ENTRY 0]\r\n point = 1 \r\ncontrol=4\r\nPMin=0\r\nPSec=2\r\nPFrame=0\r\n[entry 1]\r\nPOINT=0xA2\r\n"
          "PMin=0\r\nPSec=4\r\nPFrame=10\r\n[track 1]\r\nmode=1\r\n",
          "1 MODE1/2352 0 0", 160, {} },
        { "no lead-out entry: the image's size will tell", "[Entry 0]\nPoint=0x01\nControl=4\nPLBA=0\n",
          "1 MODE2/2352 0 0", -1, {} },
        { "an INDEX 0 before the previous track is no pregap",
          oneTrack + "[Entry 2]\nPoint=2\nControl=0\nPLBA=200\n[TRACK 2]\nMODE=0\nINDEX 0=-5\nINDEX 1=200\n",
          "1 MODE2/2352 0 0, 2 AUDIO 200 200", 300, {} },
        { "two sessions", "[Disc]\nSessions=2\n" + oneTrack, "", -1,
          {"line 2: a disc of 2 sessions; only single-session discs are read"} },
        { "scrambled", "[Disc]\nDataTracksScrambled=1\n" + oneTrack, "", -1,
          {"line 2: the data tracks are stored scrambled"} },
        { "a value that is no number", "[Entry 0]\nPoint=0x01\nPLBA=12a\n[TRACK 1]\nMODE=two\n", "", -1,
          {"line 3: PLBA is no number", "line 5: MODE is no number"} },
        { "a track missing", oneTrack + "[Entry 2]\nPoint=0x03\nPLBA=100\n", "", -1,
          {"line 8: track 3 follows track 1"} },
        { "starts out of order", oneTrack + "[Entry 2]\nPoint=0x02\nPLBA=0\n", "", -1,
          {"line 8: track 2 starts at sector 0"} },
        { "an unknown mode", oneTrack + "[TRACK 1]\nMODE=3\n", "", -1,
          {"line 8: track 1 has MODE 3"} },
        { "a lead-out before the last track", "[Entry 0]\nPoint=1\nPLBA=50\n[Entry 1]\nPoint=0xa2\nPLBA=50\n",
          "", -1, {"line 4: the lead-out at sector 50"} },
        { "a time past any disc's: no overflow into another sector",
          "[Entry 0]\nPoint=1\nControl=4\nPMin=99999999\nPSec=0\nPFrame=0\n", "", -1,
          {"line 1: track 1 starts at 99999999:0:0, no time on a disc"} },
        { "a lead-out time with a frame out of range",
          "[Entry 0]\nPoint=1\nPLBA=0\n[Entry 1]\nPoint=0xa2\nPMin=0\nPSec=4\nPFrame=-1\n", "", -1,
          {"line 4: the lead-out at 0:4:-1, no time on a disc"} },
        { "no tracks", "[CloneCD]\nVersion=3\n[Entry 0]\nPoint=0xa2\nPLBA=50\n", "", -1, {"line 0: no tracks"} },
        { "nothing", "", "", -1, {"line 0: no tracks"} },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        CcdSheet sheet;
        ParseCcd(&sheet, row.text.data(), row.text.size());
        EXPECT_EQ(row.problems, Problems(sheet));
        /* A sheet with a problem opens nothing: its tracks do not matter. */
        if (row.problems.empty()) {
            EXPECT_EQ(row.tracks, Tracks(sheet));
            EXPECT_EQ(row.leadOut, sheet.leadOut);
        }
    }
}
