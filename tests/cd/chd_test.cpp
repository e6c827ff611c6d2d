/* CHD images: discs the test makes as CUE/BIN (real sectors with their
 * EDC and ECC, audio, gaps), converts with chdman and reads through
 * cdimage.dll against the CUE/BIN and against chdman's own extraction;
 * cdzs files the test writes itself (chdman has no cdzs); and damaged
 * files, refused with one line or read with errors for the damaged hunk
 * only. */
#include <string.h>

#include "cd_sector.h"
#include "cd_test_cdimage.h"
#include "cd_test_disc.h"
#include "cdimage_logic.h"
#include "chd_file.h"
#include "disc.h"
#include "kova_test.h"

namespace {

const uint32_t kRaw = 2352;

struct TrackSpec {
    const char *type;  /* as the CUE sheet says it */
    int frames;        /* in the track's file */
    int index0;        /* frames of the file before INDEX 01 (INDEX 00 at 0) */
    int pregap;        /* PREGAP: frames in no file */
    int postgap;
};

struct DiscRow {
    const char *what;
    const char *codecs;  /* chdman's -c; "cdzs": made here from chdman's cdzl */
    std::vector<TrackSpec> tracks;
    bool sparse;         /* one track, a sparse file with data at a few places */
    bool eccStripped;    /* chdman stores its data sectors without sync and ECC */
};

uint32_t Next(uint32_t *seed)
{
    *seed = *seed * 1103515245u + 12345u;
    return *seed >> 16;
}

/* Bytes of varied content: random, a run of one byte, or zeros. */
void Fill(uint8_t *p, size_t size, uint32_t *seed)
{
    switch (Next(seed) % 4) {
    case 0:
        memset(p, static_cast<int>(Next(seed) & 0xFF), size);
        break;
    case 1:
        memset(p, 0, size);
        break;
    default:
        for (size_t i = 0; i < size; i++)
            p[i] = static_cast<uint8_t>(Next(seed) >> (i & 3));
    }
}

/* One sector of a track's file, for disc sector `sector`. */
void MakeSector(const char *type, int32_t sector, int n, uint32_t *seed, uint8_t *out)
{
    std::string t = type;
    uint8_t raw[kRaw];
    memset(raw, 0, sizeof raw);
    if (t == "AUDIO") {
        /* A tone, then silence: silent hunks come out as copies of another. */
        for (uint32_t i = 0; i < kRaw / 2; i++) {
            int value = n % 40 < 25 ? static_cast<int>((n * 588 + i) % 200) * 150 - 15000 + (Next(seed) & 0xFF) : 0;
            out[2 * i] = static_cast<uint8_t>(value);
            out[2 * i + 1] = static_cast<uint8_t>(value >> 8);
        }
        return;
    }
    if (t == "MODE1/2352" || t == "MODE1/2048") {
        Fill(raw + CD_MODE1_DATA_OFFSET, 2048, seed);
        SectorFinishMode1(raw, sector);
    } else {
        /* Mode 2: every fourth sector Form 2 (no ECC of its own). */
        bool form2 = n % 4 == 3;
        uint8_t sub[4] = { 1, static_cast<uint8_t>(n & 0x1F), static_cast<uint8_t>(form2 ? 0x20 : 0x08), 0 };
        memcpy(raw + 16, sub, 4);
        memcpy(raw + 20, sub, 4);
        if (form2) {
            Fill(raw + CD_FORM1_DATA_OFFSET, CD_FORM2_DATA_SIZE, seed);
            SectorFinishForm2(raw, sector);
        } else {
            Fill(raw + CD_FORM1_DATA_OFFSET, 2048, seed);
            SectorFinishForm1(raw, sector);
        }
    }
    if (t == "MODE1/2048")
        memcpy(out, raw + CD_MODE1_DATA_OFFSET, 2048);
    else if (t == "MODE2/2336")
        memcpy(out, raw + 16, 2336);
    else
        memcpy(out, raw, kRaw);
}

uint32_t FileSectorSize(const char *type)
{
    std::string t = type;
    return t == "MODE1/2048" ? 2048 : t == "MODE2/2336" ? 2336 : kRaw;
}

std::string CueTime(int frames)
{
    char text[16];
    BufFormat(text, sizeof text, "%02d:%02d:%02d", frames / 4500, frames / 75 % 60, frames % 75);
    return text;
}

void WriteAt(const std::string &path, int64_t offset, const std::vector<uint8_t> &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD put = 0;
    EXPECT_TRUE(SetFilePointerEx(file, at, NULL, FILE_BEGIN) &&
                WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, NULL));
    CloseHandle(file);
}

/* Writes the row's CUE sheet (DISC.CUE) and a BIN per track into dir. */
void MakeDisc(const DiscRow &row, const ScratchDir &dir)
{
    std::string cue;
    uint32_t seed = 7;
    int32_t at = 0;
    for (size_t i = 0; i < row.tracks.size(); i++) {
        const TrackSpec &t = row.tracks[i];
        char name[16];
        BufFormat(name, sizeof name, "T%02u.BIN", static_cast<unsigned>(i + 1));
        char lines[256];
        BufFormat(lines, sizeof lines, "FILE \"%s\" BINARY\n  TRACK %02u %s\n", name,
                  static_cast<unsigned>(i + 1), t.type);
        cue += lines;
        if (t.pregap)
            cue += "    PREGAP " + CueTime(t.pregap) + "\n";
        if (t.index0)
            cue += "    INDEX 00 00:00:00\n";
        cue += "    INDEX 01 " + CueTime(t.index0) + "\n";
        if (t.postgap)
            cue += "    POSTGAP " + CueTime(t.postgap) + "\n";
        at += t.pregap;
        uint32_t size = FileSectorSize(t.type);
        if (row.sparse) {
            /* Sectors at the start, in the middle and at the end; zeros between. */
            std::vector<uint8_t> part(40 * size);
            for (int place : { 0, t.frames / 2, t.frames - 40 }) {
                for (int n = 0; n < 40; n++)
                    MakeSector(t.type, at + place + n, place + n, &seed, &part[n * size]);
                WriteAt(dir / name, static_cast<int64_t>(place) * size, part);
            }
        } else {
            std::vector<uint8_t> bytes(static_cast<size_t>(t.frames) * size);
            for (int n = 0; n < t.frames; n++)
                MakeSector(t.type, at + n, n, &seed, &bytes[n * size]);
            ASSERT_TRUE(WriteFileBytes(dir / name, bytes.data(), bytes.size()));
        }
        at += t.frames + t.postgap;
    }
    ASSERT_TRUE(WriteFileText(dir / "DISC.CUE", cue));
}

bool RunChdman(const std::string &arguments)
{
    return RunUnix("chdman " + arguments + " >/dev/null 2>&1", 300000) == 0;
}

/* Everything the emulator can ask of a disc: the track table and the
   sectors from before 00:02:00 to past the lead-out (every step-th), each
   with the read-error status after it. */
struct DiscReading {
    std::string toc;
    std::vector<int32_t> sectors;
    std::vector<std::vector<uint8_t>> images;
    std::vector<int32_t> waits;
};

DiscReading ReadDisc(const std::string &image, int step)
{
    DiscReading r;
    CdImage cd;
    int32_t opened = cd.Open(image);
    EXPECT_EQ(0, opened) << image;
    if (opened != 0)
        return r;
    uint8_t tn[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
    cd.CD_GetTN(tn);
    r.toc = Bytes(tn, 4);
    int32_t leadOut = 0;
    for (int32_t track = 0; track <= tn[2] + 1; track++) {
        uint8_t td[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
        int32_t result = cd.CD_GetTD(td, track);
        r.toc += " | " + std::to_string(result) + " " + Bytes(td, 4);
    }
    uint8_t td[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
    cd.CD_GetTD(td, 170);
    r.toc += " | lead-out " + Bytes(td, 4);
    leadOut = (td[1] * 60 + td[2]) * 75 + td[3] - 150;
    std::vector<int32_t> sectors = { -150, -1 };
    for (int32_t n = 0; n < leadOut; n += step)
        sectors.push_back(n);
    for (int32_t n : { leadOut - 1, leadOut, leadOut + 1 })
        sectors.push_back(n);
    for (int32_t n : sectors) {
        uint8_t msf[3];
        MsfFromSector(n, msf);
        const uint8_t *read = cd.CD_Read(msf);
        r.sectors.push_back(n);
        r.images.push_back(read ? ImageBytes(read) : std::vector<uint8_t>());
        r.waits.push_back(cd.CD_Wait());
    }
    cd.CD_Close();
    return r;
}

/* "" when both readings agree, else the first difference. */
std::string Compare(const DiscReading &want, const DiscReading &got)
{
    if (want.toc != got.toc)
        return "track table " + got.toc + ", expected " + want.toc;
    if (want.sectors != got.sectors)
        return "other sectors read";
    for (size_t i = 0; i < want.sectors.size(); i++) {
        if (want.waits[i] != got.waits[i] || want.images[i] != got.images[i]) {
            size_t byte = 0;
            while (byte < want.images[i].size() && byte < got.images[i].size() &&
                   want.images[i][byte] == got.images[i][byte])
                byte++;
            return "sector " + std::to_string(want.sectors[i]) + ": CD_Wait " + std::to_string(got.waits[i]) +
                   " (expected " + std::to_string(want.waits[i]) + "), first byte differing " +
                   std::to_string(byte);
        }
    }
    return "";
}

/* A CHD opened by its own code over bytes in memory. */
bool ReadBytes(void *file, uint64_t offset, void *buffer, uint32_t size)
{
    const std::vector<uint8_t> *bytes = static_cast<const std::vector<uint8_t> *>(file);
    if (offset > bytes->size() || bytes->size() - offset < size)
        return false;
    memcpy(buffer, bytes->data() + offset, size);
    return true;
}

struct OpenChd {
    Chd chd;
    char problem[200];
    bool opened;
    explicit OpenChd(const std::vector<uint8_t> &bytes)
    {
        memset(problem, 0, sizeof problem);
        opened = ChdOpen(&chd, ReadBytes, const_cast<std::vector<uint8_t> *>(&bytes), bytes.size(), problem,
                         sizeof problem);
    }
    ~OpenChd()
    {
        if (opened)
            ChdClose(&chd);
    }
    /* Where hunk n's bytes lie in the file (a hunk stored in it). */
    uint64_t HunkOffset(uint32_t n) const
    {
        uint64_t offset = 0;
        for (int i = 0; i < 6; i++)
            offset = offset << 8 | chd.map[n * 12 + 4 + i];
        return offset;
    }
};

uint64_t Be(const std::vector<uint8_t> &bytes, size_t at, int count)
{
    uint64_t value = 0;
    for (int i = 0; i < count; i++)
        value = value << 8 | bytes[at + i];
    return value;
}

void PutBe(std::vector<uint8_t> &bytes, size_t at, uint64_t value, int count)
{
    for (int i = count - 1; i >= 0; i--, value >>= 8)
        bytes[at + i] = static_cast<uint8_t>(value);
}

/* MSB-first bits, as the map stores them. */
struct BitWriter {
    std::vector<uint8_t> bytes;
    uint32_t bits = 0;
    void Put(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; i--, bits++) {
            if (bits % 8 == 0)
                bytes.push_back(0);
            if (value >> i & 1)
                bytes.back() |= static_cast<uint8_t>(0x80 >> (bits % 8));
        }
    }
};

/* The same disc as a cdzs CHD: every hunk of a chdman-made one decoded,
   its sector and subcode parts compressed with the zstd program, stored
   as the codec lays them out (no frame without its ECC), and a map coded
   with 4-bit codes for every type. */
bool MakeCdzs(const std::string &from, const std::string &to, const ScratchDir &dir)
{
    std::vector<uint8_t> source = ReadFileBytes(from);
    OpenChd in(source);
    if (!in.opened)
        return false;
    const Chd &chd = in.chd;
    uint32_t frames = chd.hunkBytes / CHD_FRAME_SIZE;
    std::string parts = dir.MakeDir("zs");
    for (uint32_t h = 0; h < chd.hunkCount; h++) {
        const uint8_t *hunk = ChdHunk(&in.chd, h);
        if (!hunk)
            return false;
        std::vector<uint8_t> sectors, subcode;
        for (uint32_t f = 0; f < frames; f++) {
            const uint8_t *frame = hunk + f * CHD_FRAME_SIZE;
            sectors.insert(sectors.end(), frame, frame + CHD_SECTOR_BYTES);
            subcode.insert(subcode.end(), frame + CHD_SECTOR_BYTES, frame + CHD_FRAME_SIZE);
        }
        WriteFileBytes(parts + std::to_string(h) + ".a", sectors.data(), sectors.size());
        WriteFileBytes(parts + std::to_string(h) + ".b", subcode.data(), subcode.size());
    }
    if (RunUnix("cd '" + UnixPath(parts) + "' && zstd -q -f -19 *.a *.b") != 0)
        return false;
    /* Header, the metadata as it was (its links moved), hunks, map. */
    std::vector<uint8_t> out(source.begin(), source.begin() + CHD_HEADER_SIZE);
    PutBe(out, 16, CHD_CODEC_CDZS, 4);
    for (int i = 1; i < 4; i++)
        PutBe(out, 16 + 4 * i, 0, 4);
    uint64_t meta = Be(source, 48, 8);
    PutBe(out, 48, meta ? out.size() : 0, 8);
    while (meta) {
        uint32_t length = static_cast<uint32_t>(Be(source, meta + 5, 3));
        uint64_t next = Be(source, meta + 8, 8);
        size_t at = out.size();
        out.insert(out.end(), source.begin() + meta, source.begin() + meta + 16 + length);
        PutBe(out, at + 8, next ? out.size() : 0, 8);
        meta = next;
    }
    BitWriter map;
    for (int symbol = 0; symbol < 16; symbol++)
        map.Put(4, 4);
    for (uint32_t h = 0; h < chd.hunkCount; h++)
        map.Put(0, 4);
    std::vector<uint8_t> entries;
    uint64_t first = out.size();
    for (uint32_t h = 0; h < chd.hunkCount; h++) {
        std::vector<uint8_t> a = ReadFileBytes(parts + std::to_string(h) + ".a.zst");
        std::vector<uint8_t> b = ReadFileBytes(parts + std::to_string(h) + ".b.zst");
        if (a.empty() || b.empty())
            return false;
        std::vector<uint8_t> stored((frames + 7) / 8, 0);
        stored.push_back(static_cast<uint8_t>(a.size() >> 8));
        stored.push_back(static_cast<uint8_t>(a.size()));
        stored.insert(stored.end(), a.begin(), a.end());
        stored.insert(stored.end(), b.begin(), b.end());
        uint16_t crc = ChdCrc16(ChdHunk(&in.chd, h), chd.hunkBytes);
        map.Put(static_cast<uint32_t>(stored.size()), 24);
        map.Put(crc, 16);
        std::vector<uint8_t> entry(12, 0);
        PutBe(entry, 1, stored.size(), 3);
        PutBe(entry, 4, out.size(), 6);
        PutBe(entry, 10, crc, 2);
        entries.insert(entries.end(), entry.begin(), entry.end());
        out.insert(out.end(), stored.begin(), stored.end());
    }
    PutBe(out, 40, out.size(), 8);
    std::vector<uint8_t> head(16, 0);
    PutBe(head, 0, map.bytes.size(), 4);
    PutBe(head, 4, first, 6);
    PutBe(head, 10, ChdCrc16(entries.data(), entries.size()), 2);
    head[12] = 24;
    out.insert(out.end(), head.begin(), head.end());
    out.insert(out.end(), map.bytes.begin(), map.bytes.end());
    return WriteFileBytes(to, out.data(), out.size());
}

const char *kDefault = "cdlz,cdzl,cdfl";

std::vector<DiscRow> DiscRows()
{
    const TrackSpec data = { "MODE2/2352", 203, 0, 0, 0 };
    const TrackSpec audio2 = { "AUDIO", 180, 150, 0, 0 };
    const TrackSpec audio3 = { "AUDIO", 91, 32, 0, 0 };
    return {
        { "data only (Mode 2, Form 1 and Form 2 sectors)", kDefault, { data }, false, true },
        { "data and audio with INDEX 00 pregaps", kDefault, { data, audio2, audio3 }, false, true },
        { "PREGAP and POSTGAP in no file", kDefault,
          { data, { "AUDIO", 120, 0, 150, 0 }, { "AUDIO", 61, 0, 75, 30 } }, false, true },
        { "Mode 1", "cdlz", { { "MODE1/2352", 150, 0, 0, 0 }, audio2 }, false, true },
        { "2048- and 2336-byte sectors", "cdzl",
          { { "MODE1/2048", 77, 0, 0, 0 }, { "MODE2/2336", 66, 0, 0, 0 }, audio3 }, false, false },
        { "cdzl alone", "cdzl", { data, audio2 }, false, true },
        { "cdlz alone", "cdlz", { data, audio2 }, false, true },
        { "cdfl alone", "cdfl", { data, audio2 }, false, false },
        { "not compressed", "none", { data, audio2 }, false, false },
        { "cdzs, made here", "cdzs", { data, audio2, audio3 }, false, false },
        { "more than 60 minutes, sparse", "cdzl", { { "MODE2/2352", 61 * 4500 + 17, 0, 0, 0 } }, true, true },
    };
}

} // namespace

TEST(Chd, DiscsReadAsTheirCueSheetsAndAsChdmansExtraction)
{
    int row = 0;
    for (const DiscRow &disc : DiscRows()) {
        SCOPED_TRACE(testing::Message() << "row " << row++ << ": " << disc.what);
        ScratchDir dir("chd-disc");
        MakeDisc(disc, dir);
        std::string codecs = std::string(disc.codecs) == "cdzs" ? "cdzl" : disc.codecs;
        ASSERT_TRUE(RunChdman("createcd -f -c " + codecs + " -i '" + UnixPath(dir / "DISC.CUE") + "' -o '" +
                              UnixPath(dir / "DISC.CHD") + "'"));
        if (std::string(disc.codecs) == "cdzs") {
            ASSERT_TRUE(MakeCdzs(dir / "DISC.CHD", dir / "ZS.CHD", dir));
            ASSERT_TRUE(MoveFileExA((dir / "ZS.CHD").c_str(), (dir / "DISC.CHD").c_str(), MOVEFILE_REPLACE_EXISTING));
        }
        /* What the file holds, by the container's own count: the ECC that
           chdman left out (it does so only where it computed the same ECC
           as kova_cd, byte for byte) and the hunks that copy others. */
        {
            std::vector<uint8_t> bytes = ReadFileBytes(dir / "DISC.CHD");
            OpenChd chd(bytes);
            ASSERT_TRUE(chd.opened) << chd.problem;
            /* Read in order, each hunk is decoded once (or again for a
               copy of a hunk gone from the cache). */
            uint32_t frames = chd.chd.hunkBytes / CHD_FRAME_SIZE;
            for (uint32_t f = 0; f < chd.chd.hunkCount * frames; f++)
                ASSERT_TRUE(ChdHunk(&chd.chd, f / frames) != NULL) << "frame " << f;
            EXPECT_LE(chd.chd.hunksDecoded, chd.chd.hunkCount);
            EXPECT_EQ(disc.eccStripped, chd.chd.framesEccRestored > 0) << chd.chd.framesEccRestored;
            if (disc.sparse) {
                EXPECT_GT(chd.chd.selfHunks, 30000u);
            }
        }
        /* The dialog's summary names the kind. */
        {
            static Disc d;
            memset(&d, 0, sizeof d);
            ASSERT_TRUE(DiscOpen(&d, Widen(dir / "DISC.CHD").c_str(), 0));
            char summary[4096];
            FormatSummary(&d, NULL, summary, sizeof summary);
            DiscClose(&d);
            std::string codecList = disc.codecs == std::string(kDefault) ? "cdlz, cdzl, cdfl" : disc.codecs;
            EXPECT_EQ(codecs == "none" ? "CHD v5, not compressed" : "CHD v5, codecs " + codecList,
                      SplitLines(summary)[0]);
        }
        int step = disc.sparse ? 97 : 1;
        DiscReading cue = ReadDisc(dir / "DISC.CUE", step);
        DiscReading chd = ReadDisc(dir / "DISC.CHD", step);
        EXPECT_EQ("", Compare(cue, chd));
        if (disc.sparse || std::string(disc.codecs) == "cdzs")
            continue;  /* 600 MB to write out; a codec chdman does not have */
        /* And back to CUE/BIN by chdman (which tells a CUE sheet by its
           lower-case extension): the same disc again. */
        ASSERT_TRUE(RunChdman("extractcd -f -i '" + UnixPath(dir / "DISC.CHD") + "' -o '" + UnixPath(dir / "x.cue") +
                              "' -ob '" + UnixPath(dir / "x.bin") + "'"));
        EXPECT_EQ("", Compare(chd, ReadDisc(dir / "x.cue", step))) << "chdman's extraction";
    }
}

namespace {

/* One chdman-made CHD of a data track, for the damage rows. */
struct DamageDisc {
    ScratchDir dir{ "chd-damage" };
    std::vector<uint8_t> bytes;
    DamageDisc()
    {
        DiscRow row = { "data", "cdzl", { { "MODE2/2352", 203, 0, 0, 0 } }, false, true };
        MakeDisc(row, dir);
        EXPECT_TRUE(RunChdman("createcd -f -c cdzl -i '" + UnixPath(dir / "DISC.CUE") + "' -o '" +
                              UnixPath(dir / "DISC.CHD") + "'"));
        bytes = ReadFileBytes(dir / "DISC.CHD");
    }
};

} // namespace

TEST(Chd, DamagedFilesAreRefusedWithOneLine)
{
    DamageDisc disc;
    ASSERT_GT(disc.bytes.size(), 4096u);
    const size_t map = static_cast<size_t>(Be(disc.bytes, 40, 8));
    const size_t meta = static_cast<size_t>(Be(disc.bytes, 48, 8));
    struct Row {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> damage;
        const char *problem;  /* null: it opens */
    };
    const Row rows[] = {
        { "the older CHTR track list (no gaps)", [meta](std::vector<uint8_t> &b) { memcpy(&b[meta], "CHTR", 4); },
          NULL },
        { "not a CHD", [](std::vector<uint8_t> &b) { b[0] = 'X'; }, "not a CHD file" },
        { "version 4", [](std::vector<uint8_t> &b) { b[15] = 4; },
          "made by an old chdman; convert it with chdman copy" },
        { "version 1", [](std::vector<uint8_t> &b) { b[15] = 1; },
          "made by an old chdman; convert it with chdman copy" },
        { "version 6", [](std::vector<uint8_t> &b) { b[15] = 6; }, "CHD version 6, which cdimage does not read" },
        { "a parent required", [](std::vector<uint8_t> &b) { b[110] = 0x5A; }, "needs its parent CHD" },
        { "a codec not in the list", [](std::vector<uint8_t> &b) { memcpy(&b[16], "zlib", 4); },
          "compressed with zlib; cdimage reads cdlz, cdzl, cdfl and cdzs" },
        { "a flipped byte in the map", [map](std::vector<uint8_t> &b) { b[map + 16 + 12] ^= 0x04; },
          "its hunk map is damaged (its CRC does not match)" },
        { "a flipped byte of the map's CRC", [map](std::vector<uint8_t> &b) { b[map + 11] ^= 0x01; },
          "its hunk map is damaged (its CRC does not match)" },
        { "a flipped byte in the metadata", [meta](std::vector<uint8_t> &b) { b[meta + 16 + 1] ^= 0x01; },
          "its track list is damaged" },
        { "a metadata link past the end", [meta](std::vector<uint8_t> &b) { b[meta + 9] = 0x7F; },
          "the file is cut short (in its metadata)" },
        { "a hard-disk CHD", [meta](std::vector<uint8_t> &b) { memcpy(&b[meta], "GDDD", 4); },
          "a hard-disk CHD, not a CD" },
        { "a LaserDisc CHD", [meta](std::vector<uint8_t> &b) { memcpy(&b[meta], "AVAV", 4); },
          "a LaserDisc CHD, not a CD" },
        { "cut short in the hunks", [map](std::vector<uint8_t> &b) { b.resize(map - 100); },
          "the file is cut short (its hunk map is missing)" },
        { "cut short in the map", [](std::vector<uint8_t> &b) { b.resize(b.size() - 3); },
          "the file is cut short (in its hunk map)" },
        { "cut short in the header", [](std::vector<uint8_t> &b) { b.resize(100); },
          "the file is cut short (in its header)" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<uint8_t> bytes = disc.bytes;
        row.damage(bytes);
        if (!row.problem) {
            OpenChd chd(bytes);
            EXPECT_TRUE(chd.opened) << chd.problem;
            ASSERT_TRUE(WriteFileBytes(disc.dir / "OLD.CHD", bytes.data(), bytes.size()));
            EXPECT_EQ("", Compare(ReadDisc(disc.dir / "DISC.CUE", 1), ReadDisc(disc.dir / "OLD.CHD", 1)));
            continue;
        }
        {
            OpenChd chd(bytes);
            EXPECT_FALSE(chd.opened);
            EXPECT_STREQ(row.problem, chd.problem);
        }
        /* The plugin refuses it, says so as one line, and keeps nothing open. */
        ASSERT_TRUE(WriteFileBytes(disc.dir / "BAD.CHD", bytes.data(), bytes.size()));
        CdImage cd;
        EXPECT_EQ(-1, cd.Open(disc.dir / "BAD.CHD"));
        cd.CD_Close();
        Disc d;
        memset(&d, 0, sizeof d);
        EXPECT_FALSE(DiscOpen(&d, Widen(disc.dir / "BAD.CHD").c_str(), 0));
        EXPECT_EQ(1, d.problemCount);
        EXPECT_EQ(std::string("BAD.CHD: ") + row.problem, d.problems[0]);
        DiscClose(&d);
        EXPECT_TRUE(DeleteFileA((disc.dir / "BAD.CHD").c_str())) << "left open";
    }
}

TEST(Chd, ADamagedHunkIsAReadErrorForItsSectorsOnly)
{
    DamageDisc disc;
    std::vector<uint8_t> bytes = disc.bytes;
    uint64_t third;
    {
        OpenChd chd(bytes);
        ASSERT_TRUE(chd.opened) << chd.problem;
        third = chd.HunkOffset(3);
    }
    /* A byte of hunk 3 (sectors 24 to 31) flipped, then the same hunk's
       CRC in the map made wrong instead (the map's own CRC kept right). */
    struct Row {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> damage;
    };
    const Row rows[] = {
        { "a flipped byte in the hunk", [third](std::vector<uint8_t> &b) { b[third + 40] ^= 0x55; } },
        { "the hunk cut off by the file's end, after the open", nullptr },
    };
    DiscReading good = ReadDisc(disc.dir / "DISC.CUE", 1);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<uint8_t> damaged = bytes;
        if (row.damage)
            row.damage(damaged);
        ASSERT_TRUE(WriteFileBytes(disc.dir / "BAD.CHD", damaged.data(), damaged.size()));
        CdImage cd;
        ASSERT_EQ(0, cd.Open(disc.dir / "BAD.CHD"));
        if (!row.damage) {
            /* The plugin shares the file: the user may cut it while it is open. */
            std::vector<uint8_t> cut(damaged.begin(), damaged.begin() + static_cast<size_t>(third) + 10);
            HANDLE f = CreateFileA((disc.dir / "BAD.CHD").c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0,
                                   NULL);
            ASSERT_NE(INVALID_HANDLE_VALUE, f);
            LARGE_INTEGER at;
            at.QuadPart = static_cast<LONGLONG>(third) + 10;
            EXPECT_TRUE(SetFilePointerEx(f, at, NULL, FILE_BEGIN) && SetEndOfFile(f));
            CloseHandle(f);
        }
        for (int32_t n : { 0, 23, 24, 31, 32, 16, 25 }) {
            SCOPED_TRACE(testing::Message() << "sector " << n);
            uint8_t msf[3];
            MsfFromSector(n, msf);
            const uint8_t *image = cd.CD_Read(msf);
            ASSERT_TRUE(image != NULL);
            bool hit = n >= 24 && n < 32;
            if (!row.damage && n >= 24)
                hit = true;  /* everything from hunk 3 on is gone */
            if (hit) {
                std::vector<uint8_t> want(CD_SECTOR_IMAGE_SIZE, 0);
                WriteHeaderAddress(want.data(), msf);
                EXPECT_EQ(want, ImageBytes(image));
                EXPECT_EQ(-1, cd.CD_Wait());
            } else {
                EXPECT_EQ(good.images[static_cast<size_t>(n) + 2], ImageBytes(image));
                EXPECT_EQ(0, cd.CD_Wait());
            }
        }
        cd.CD_Close();
    }
}
