/* cdimage's PBP and playlist readers through their own code: PBP files the
 * tests' writer packs from a disc the tests make, read sector by sector
 * against that disc's BIN, with the one block kept seen in the reads the
 * file gets; damaged PBP files; the lines of playlists. */
#include <string.h>

#include "cd_test_disc.h"
#include "cd_test_pbp.h"
#include "disc_m3u.h"
#include "disc_pbp.h"
#include "kova_test.h"

namespace {

const uint32_t kRaw = 2352;

/* A PBP in memory, counting the reads it gets. */
struct MemoryPbp {
    std::vector<uint8_t> bytes;
    int reads = 0;
    PbpSource source;
    static bool Read(void *file, int64_t offset, void *dst, uint32_t size)
    {
        MemoryPbp *m = static_cast<MemoryPbp *>(file);
        m->reads++;
        if (offset < 0 || offset + size > static_cast<int64_t>(m->bytes.size()))
            return false;
        memcpy(dst, &m->bytes[static_cast<size_t>(offset)], size);
        return true;
    }
    explicit MemoryPbp(std::vector<uint8_t> b) : bytes(std::move(b))
    {
        source.read = Read;
        source.file = this;
        source.size = static_cast<int64_t>(bytes.size());
    }
};

/* The two discs of the tests' game. */
struct Discs {
    const TestDisc &one = GameDisc(1), &two = GameDisc(2);
};

std::string Sector(const TestDisc &disc, int32_t n)
{
    return std::string(reinterpret_cast<const char *>(&disc.bin[static_cast<size_t>(n) * kRaw]), kRaw);
}

} // namespace

TEST(CdImagePbp, DiscsReadAsTheirBinsDo)
{
    Discs d;
    struct Row {
        const char *what;
        std::vector<PbpDiscSpec> discs;
        bool titleImage;
        int choice;
        Lines ids;
    };
    const Row rows[] = {
        { "one disc, raw blocks", { { &d.one, "SLUS-00892", false } }, false, 0, { "SLUS-00892" } },
        { "one disc, compressed (the audio blocks stay raw)", { { &d.one, "SLUS-00892", true } }, false, 0,
          { "SLUS-00892" } },
        { "one disc under a title image", { { &d.one, "SCES-01234", true } }, true, 0, { "SCES-01234" } },
        { "two discs, the first", { { &d.one, "SLUS-00892", true }, { &d.two, "SLUS-00908", false } }, false, 0,
          { "SLUS-00892", "SLUS-00908" } },
        { "two discs, the second", { { &d.one, "SLUS-00892", true }, { &d.two, "SLUS-00908", true } }, false, 1,
          { "SLUS-00892", "SLUS-00908" } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        PbpPlaces places;
        MemoryPbp file(MakePbp(row.discs, row.titleImage, &places));
        static PbpImage pbp;
        char problem[256] = "";
        ASSERT_TRUE(PbpReadDiscs(&pbp, &file.source, problem, sizeof problem)) << problem;
        Lines ids;
        for (int i = 0; i < pbp.discCount; i++)
            ids.push_back(pbp.discs[i].id);
        EXPECT_EQ(row.ids, ids);
        ASSERT_TRUE(PbpOpenDisc(&pbp, &file.source, row.choice, problem, sizeof problem)) << problem;
        const TestDisc &disc = *row.discs[row.choice].disc;
        /* The track table: through the plugin (cdimage_test). */
        ASSERT_EQ(disc.sectors(), pbp.leadOut);
        bool compressed = false, raw = false;
        for (bool p : places.packed[row.choice])
            (p ? compressed : raw) = true;
        EXPECT_EQ(row.discs[row.choice].compress, compressed);
        EXPECT_TRUE(raw);
        /* In order: each block is read once, the rest come from the block
           kept. */
        uint8_t sector[kRaw];
        ASSERT_TRUE(PbpReadSector(&pbp, &file.source, disc.sectors() - 1, sector));
        file.reads = 0;
        for (int32_t n = 0; n < disc.sectors(); n++) {
            ASSERT_TRUE(PbpReadSector(&pbp, &file.source, n, sector)) << n;
            ASSERT_EQ(Sector(disc, n), std::string(reinterpret_cast<char *>(sector), kRaw)) << "sector " << n;
        }
        EXPECT_EQ((disc.sectors() + 15) / 16, file.reads);
        for (int32_t n : { disc.sectors() - 1, 0, 17, disc.audioStart }) {
            ASSERT_TRUE(PbpReadSector(&pbp, &file.source, n, sector)) << n;
            EXPECT_EQ(Sector(disc, n), std::string(reinterpret_cast<char *>(sector), kRaw)) << "again " << n;
        }
        for (int32_t n : { -1, disc.sectors(), 0x7FFFFFFF })
            EXPECT_FALSE(PbpReadSector(&pbp, &file.source, n, sector)) << n;
        PbpRelease(&pbp);
    }
}

TEST(CdImagePbp, DamagedFilesFailWithOneLine)
{
    Discs d;
    const std::vector<PbpDiscSpec> two = { { &d.one, "SLUS-00892", true }, { &d.two, "SLUS-00908", true } };
    const char *encrypted =
        "the disc image is encrypted, as a store sells it: only PBP files made by conversion tools can be read";
    typedef std::function<void(std::vector<uint8_t> &, const PbpPlaces &)> Damage;
    struct Row {
        const char *what;
        Damage damage;
        int choice;
        std::string problem;          /* "" when the disc opens */
        std::vector<int32_t> badReads = {}; /* sectors that then fail; their neighbours read */
    };
    const Row rows[] = {
        { "a file shorter than the header", [](std::vector<uint8_t> &b, const PbpPlaces &) { b.resize(39); }, 0,
          "the file is too short for a PBP header" },
        { "no \\0PBP", [](std::vector<uint8_t> &b, const PbpPlaces &) { b[1] = 'X'; }, 0,
          "the file does not begin with a PBP header" },
        { "DATA.PSAR past the end",
          [](std::vector<uint8_t> &b, const PbpPlaces &) { PutLe32(b, 36, 0xFFFFFFF0u); }, 0,
          "DATA.PSAR (at 4294967280) lies outside the file" },
        { "DATA.PSAR of something else",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) { b[static_cast<size_t>(p.psar)] = 'X'; }, 0,
          "DATA.PSAR holds no PlayStation disc image" },
        { "a store's encrypted disc table",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) { memcpy(&b[p.psar + 0x200], "\0PGD", 4); }, 0,
          encrypted },
        { "a store's encrypted disc",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) { memcpy(&b[p.discs[1] + 0x400], "\0PGD", 4); }, 0,
          encrypted },
        { "no disc in the table",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) { PutLe32(b, p.psar + 0x200, 0); }, 0,
          "the table of discs names no disc" },
        { "disc 2's offset out of range, disc 1 chosen",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) { PutLe32(b, p.psar + 0x204, 0x7FFFFF00); }, 0, "" },
        { "disc 2's offset out of range, disc 2 chosen",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) { PutLe32(b, p.psar + 0x204, 0x7FFFFF00); }, 1,
          "disc 2 is damaged: its offset " + std::to_string(0x7FFFFF00LL + 0x10000) + " holds no disc image of its own" },
        { "disc 2's offset inside disc 1", [](std::vector<uint8_t> &b, const PbpPlaces &p) {
              PutLe32(b, p.psar + 0x204, 0x100); }, 1,
          "disc 2 is damaged: its offset " + std::to_string(0x10100) + " holds no disc image of its own" },
        { "disc 2's offset that of disc 1", [](std::vector<uint8_t> &b, const PbpPlaces &p) {
              PutLe32(b, p.psar + 0x204, static_cast<uint32_t>(p.discs[0] - p.psar)); }, 1,
          "disc 2 is damaged: its offset " + std::to_string(0x18000) + " holds no disc image of its own" },
        { "a disc chosen past the count", [](std::vector<uint8_t> &, const PbpPlaces &) {}, 5,
          "disc 6 is chosen, the file holds 2" },
        { "the file cut short", [](std::vector<uint8_t> &b, const PbpPlaces &) { b.resize(b.size() - 40000); }, 1,
          "block " + std::to_string((d.two.sectors() + 15) / 16 - 2) + " lies outside the file (the file is cut short?)" },
        { "an index entry pointing outside the file",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) { PutLe32(b, p.discs[0] + 0x4000 + 32 * 3, 0xFFFFFF00u); },
          0, "block 3 lies outside the file (the file is cut short?)" },
        { "an index entry of no size",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) { b[p.discs[0] + 0x4000 + 32 * 2 + 4] = 0;
              b[p.discs[0] + 0x4000 + 32 * 2 + 5] = 0; },
          0, "block 2 of the index has a size of 0 bytes" },
        { "a lead-out past the index",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) { b[p.discs[0] + 0x800 + 27] = 0x70; }, 0,
          "block " + std::to_string((d.one.sectors() + 15) / 16) + " of the index has a size of 0 bytes" },
        { "tracks 1 to AA", [](std::vector<uint8_t> &b, const PbpPlaces &p) { b[p.discs[0] + 0x800 + 17] = 0xAA; },
          0, "the table of contents names tracks 01 to aa" },
        { "a track time that is no BCD",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) { b[p.discs[0] + 0x800 + 48] = 0x7A; }, 0,
          "the table of contents' entry of track 2 is damaged" },
        { "no A0 entry", [](std::vector<uint8_t> &b, const PbpPlaces &p) { b[p.discs[0] + 0x800 + 2] = 0x01; }, 0,
          "the table of contents does not begin with A0, A1, A2" },
        { "a block that does not decompress: its sectors only",
          [](std::vector<uint8_t> &b, const PbpPlaces &p) {
              for (int i = 0; i < 64; i++)
                  b[p.blocks[0][2] + i] = 0xFF;
          },
          0, "", { 32, 40, 47 } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        PbpPlaces places;
        std::vector<uint8_t> bytes = MakePbp(two, false, &places);
        ASSERT_TRUE(places.packed[0][2]);
        row.damage(bytes, places);
        MemoryPbp file(bytes);
        static PbpImage pbp;
        char problem[256] = "";
        bool opened = PbpReadDiscs(&pbp, &file.source, problem, sizeof problem) &&
                      PbpOpenDisc(&pbp, &file.source, row.choice, problem, sizeof problem);
        EXPECT_EQ(row.problem, std::string(opened ? "" : problem));
        if (opened) {
            const TestDisc &disc = row.choice ? d.two : d.one;
            uint8_t sector[kRaw];
            for (int32_t n : row.badReads) {
                EXPECT_FALSE(PbpReadSector(&pbp, &file.source, n, sector)) << n;
                EXPECT_FALSE(PbpReadSector(&pbp, &file.source, n, sector)) << "again " << n;
            }
            for (int32_t n : { 31, 48, 0, disc.sectors() - 1 }) {
                ASSERT_TRUE(PbpReadSector(&pbp, &file.source, n, sector)) << n;
                EXPECT_EQ(Sector(disc, n), std::string(reinterpret_cast<char *>(sector), kRaw)) << n;
            }
        }
        PbpRelease(&pbp);
    }
}

TEST(CdImagePlaylist, LinesNameImagesBesideThePlaylist)
{
    ScratchDir dir("cdimage-m3u");
    dir.MakeDir("sub");
    dir.MakeDir("sub\\folder");
    for (const char *name : { "A.CUE", "sub\\B.cue", "C D.pbp", "OTHER.m3u", "D\xEF" "sc.cue" })
        WriteFileText(dir / name, "x");
    std::wstring playlist = Widen(dir / "sub\\GAME.M3U");
    WriteFileText(dir / "sub\\GAME.M3U", "");
    struct Entry {
        int line;
        std::string path;   /* from the scratch folder; "" too long */
        int fault;
    };
    struct Row {
        const char *what;
        std::string text;
        std::vector<Entry> entries;
    };
    const std::string longName(1100, 'x');
    const Row rows[] = {
        { "comments, blanks, CR LF, LF and CR, '/' and '..'",
          "#EXTM3U\r\n\r\n../A.CUE\r\n  B.cue\t\n# ../C D.pbp\r..\\C D.pbp\r./folder/../B.cue", {
              { 3, "A.CUE", M3U_GOOD }, { 4, "sub\\B.cue", M3U_GOOD }, { 6, "C D.pbp", M3U_GOOD },
              { 7, "sub\\B.cue", M3U_GOOD } } },
        { "itself, a folder, a missing image, another playlist, a name too long",
          "GAME.M3U\nfolder\nGone.cue\n..\\OTHER.m3u\n" + longName + "\n", {
              { 1, "sub\\GAME.M3U", M3U_ITSELF }, { 2, "sub\\folder", M3U_FOLDER },
              { 3, "sub\\Gone.cue", M3U_MISSING }, { 4, "OTHER.m3u", M3U_PLAYLIST }, { 5, "", M3U_TOO_LONG } } },
        { "UTF-8 with its mark", "\xEF\xBB\xBF..\\D\xC3\xAFsc.cue\n", { { 1, "D\xEF" "sc.cue", M3U_GOOD } } },
        { "UTF-8 without", "..\\D\xC3\xAFsc.cue", { { 1, "D\xEF" "sc.cue", M3U_GOOD } } },
        { "ANSI", "..\\D\xEFsc.cue", { { 1, "D\xEF" "sc.cue", M3U_GOOD } } },
        { "UTF-16 with its mark", std::string("\xFF\xFE.\0.\0\\\0A\0.\0C\0U\0E\0\r\0\n\0", 22),
          { { 1, "A.CUE", M3U_GOOD } } },
        { "a full path and a rooted one", dir / "A.CUE" + "\n" + (dir / "sub\\B.cue").substr(2) + "\n",
          { { 1, "A.CUE", M3U_GOOD }, { 2, "sub\\B.cue", M3U_GOOD } } },
        { "nothing but comments", "#EXTM3U\n#EXTINF:0,Disc 1\n\n", {} },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        static M3uEntry entries[8];
        int count = M3uEntries(playlist.c_str(), reinterpret_cast<const uint8_t *>(row.text.data()), row.text.size(),
                               entries, 8);
        ASSERT_EQ(row.entries.size(), static_cast<size_t>(count));
        for (int i = 0; i < count; i++) {
            const Entry &want = row.entries[i];
            EXPECT_EQ(want.line, entries[i].line) << i;
            EXPECT_EQ(want.path.empty() ? std::wstring() : Widen(dir / want.path.c_str()), std::wstring(entries[i].path))
                << i;
            EXPECT_EQ(want.fault, M3uCheck(playlist.c_str(), &entries[i])) << i;
        }
    }
}
