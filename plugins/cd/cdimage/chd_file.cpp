#include "chd_file.h"

#include <stdlib.h>
#include <string.h>

#include "kova_str.h"

/* Map entry types of version 5; 7 and up appear only in the compressed
   map, which turns them into these. */
enum {
    MAP_CODEC0 = 0,        /* .. MAP_CODEC0 + 3: the header's codecs */
    MAP_NONE = 4,          /* stored whole */
    MAP_SELF = 5,          /* the same as another hunk of the file */
    MAP_PARENT = 6,        /* the same as units of the parent file */
    MAP_RLE_SMALL = 7,     /* repeat the last type 2 + 4 bits times */
    MAP_RLE_LARGE = 8,     /* repeat it 2 + 16 + 8 bits times */
    MAP_SELF_0 = 9,        /* the last self hunk again */
    MAP_SELF_1 = 10,       /* the one after it */
    MAP_PARENT_SELF = 11,  /* the same place in the parent */
    MAP_PARENT_0 = 12,
    MAP_PARENT_1 = 13,
    MAP_SYMBOLS = 16
};

#define MAP_ENTRY_SIZE 12
#define MAP_HEADER_SIZE 16
#define META_HEADER_SIZE 16
/* A CD's track list is a few lines; a file with more entries than this is
   taken for a damaged (looping) list. */
#define META_MAX_ENTRIES 1000
#define META_TEXT_SIZE 256
/* Links of a hunk that copies another that copies another ... */
#define SELF_MAX_LINKS 8

static uint32_t Be32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

static uint64_t BeBytes(const uint8_t *p, int count)
{
    uint64_t value = 0;
    for (int i = 0; i < count; i++)
        value = value << 8 | p[i];
    return value;
}

static void PutBeBytes(uint8_t *p, uint64_t value, int count)
{
    for (int i = count - 1; i >= 0; i--) {
        p[i] = static_cast<uint8_t>(value);
        value >>= 8;
    }
}

uint16_t ChdCrc16(const uint8_t *data, size_t size)
{
    static uint16_t table[256];
    if (!table[1]) {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t crc = i << 8;
            for (int bit = 0; bit < 8; bit++)
                crc = (crc << 1) ^ ((crc & 0x8000) ? 0x1021 : 0);
            table[i] = static_cast<uint16_t>(crc);
        }
    }
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; i++)
        crc = static_cast<uint16_t>(crc << 8 ^ table[(crc >> 8 ^ data[i]) & 0xFF]);
    return crc;
}

/* ---- the compressed map: a bit stream, most significant bit first ---- */

struct BitReader {
    const uint8_t *data;
    uint32_t size;
    uint64_t pos;       /* in bits */
    bool overrun;       /* a read went past the end */
};

static uint32_t PeekBits(const BitReader *r, int count)
{
    uint32_t value = 0;
    uint64_t pos = r->pos;
    for (int i = 0; i < count; i++, pos++) {
        uint64_t byte = pos >> 3;
        uint32_t bit = byte < r->size ? (r->data[byte] >> (7 - (pos & 7))) & 1 : 0;
        value = value << 1 | bit;
    }
    return value;
}

static void SkipBits(BitReader *r, int count)
{
    r->pos += static_cast<uint64_t>(count);
    if (r->pos > static_cast<uint64_t>(r->size) * 8)
        r->overrun = true;
}

static uint32_t ReadBits(BitReader *r, int count)
{
    uint32_t value = PeekBits(r, count);
    SkipBits(r, count);
    return value;
}

/* The Huffman code of the map's entry types: 16 symbols of up to 8 bits,
   the code lengths stored with a run-length escape, the codes canonical
   with the longest codes numbered first. */
#define HUFF_MAX_BITS 8
struct MapHuffman {
    uint8_t bits[MAP_SYMBOLS];
    uint16_t lookup[1 << HUFF_MAX_BITS];  /* symbol << 4 | length; 0: no code */
};

static bool ImportHuffman(MapHuffman *h, BitReader *r)
{
    int node = 0;
    while (node < MAP_SYMBOLS) {
        uint32_t length = ReadBits(r, 4);
        if (length != 1) {
            h->bits[node++] = static_cast<uint8_t>(length);
            continue;
        }
        length = ReadBits(r, 4);
        if (length == 1) {
            h->bits[node++] = 1;
            continue;
        }
        int repeat = static_cast<int>(ReadBits(r, 4)) + 3;
        if (node + repeat > MAP_SYMBOLS)
            return false;
        while (repeat--)
            h->bits[node++] = static_cast<uint8_t>(length);
    }
    uint32_t start[HUFF_MAX_BITS + 2];
    uint32_t count[HUFF_MAX_BITS + 2];
    memset(count, 0, sizeof count);
    for (int i = 0; i < MAP_SYMBOLS; i++) {
        if (h->bits[i] > HUFF_MAX_BITS)
            return false;
        count[h->bits[i]]++;
    }
    uint32_t next = 0;
    for (int length = HUFF_MAX_BITS; length > 0; length--) {
        uint32_t sum = next + count[length];
        if (length != 1 && (sum & 1))
            return false;
        start[length] = next;
        next = sum >> 1;
    }
    memset(h->lookup, 0, sizeof h->lookup);
    for (int i = 0; i < MAP_SYMBOLS; i++) {
        int length = h->bits[i];
        if (!length)
            continue;
        uint32_t code = start[length]++;
        int shift = HUFF_MAX_BITS - length;
        uint32_t first = code << shift, last = first + (1u << shift);
        if (last > (1u << HUFF_MAX_BITS))
            return false;
        for (uint32_t k = first; k < last; k++)
            h->lookup[k] = static_cast<uint16_t>(i << 4 | length);
    }
    return !r->overrun;
}

/* A symbol, or -1 for bits that are no code. */
static int DecodeSymbol(const MapHuffman *h, BitReader *r)
{
    uint16_t entry = h->lookup[PeekBits(r, HUFF_MAX_BITS)];
    if (!entry)
        return -1;
    SkipBits(r, entry & 15);
    return entry >> 4;
}

static bool Fail(char *problem, size_t problemSize, const char *text)
{
    BufSet(problem, problemSize, text);
    return false;
}

static bool ReadCompressedMap(Chd *chd, uint64_t mapOffset, char *problem, size_t problemSize)
{
    uint8_t head[MAP_HEADER_SIZE];
    if (mapOffset > chd->fileSize || chd->fileSize - mapOffset < MAP_HEADER_SIZE ||
        !chd->read(chd->file, mapOffset, head, MAP_HEADER_SIZE))
        return Fail(problem, problemSize, "the file is cut short (its hunk map is missing)");
    uint32_t mapBytes = Be32(head);
    uint64_t firstOffset = BeBytes(head + 4, 6);
    uint16_t mapCrc = static_cast<uint16_t>(BeBytes(head + 10, 2));
    int lengthBits = head[12], selfBits = head[13], parentBits = head[14];
    if (lengthBits > 32 || selfBits > 32 || parentBits > 32 || mapBytes == 0 ||
        mapBytes > chd->hunkCount * 8u + 64u)
        return Fail(problem, problemSize, "its hunk map is damaged");
    if (chd->fileSize - mapOffset - MAP_HEADER_SIZE < mapBytes)
        return Fail(problem, problemSize, "the file is cut short (in its hunk map)");
    uint8_t *bits = static_cast<uint8_t *>(malloc(mapBytes));
    if (!bits)
        return Fail(problem, problemSize, "not enough memory for its hunk map");
    bool ok = chd->read(chd->file, mapOffset + MAP_HEADER_SIZE, bits, mapBytes);
    BitReader r = {bits, mapBytes, 0, false};
    MapHuffman huffman;
    ok = ok && ImportHuffman(&huffman, &r);
    /* First the types, with runs of the last one. */
    uint8_t last = 0;
    uint32_t repeat = 0;
    for (uint32_t hunk = 0; ok && hunk < chd->hunkCount; hunk++) {
        uint8_t *entry = chd->map + static_cast<size_t>(hunk) * MAP_ENTRY_SIZE;
        if (repeat > 0) {
            entry[0] = last;
            repeat--;
            continue;
        }
        int symbol = DecodeSymbol(&huffman, &r);
        if (symbol == MAP_RLE_SMALL || symbol == MAP_RLE_LARGE) {
            int a = DecodeSymbol(&huffman, &r);
            int b = symbol == MAP_RLE_LARGE ? DecodeSymbol(&huffman, &r) : 0;
            if (a < 0 || b < 0)
                ok = false;
            repeat = symbol == MAP_RLE_SMALL ? 2 + a : 2 + 16 + (a << 4) + b;
            entry[0] = last;
        } else if (symbol < 0 || r.overrun) {
            ok = false;
        } else {
            entry[0] = last = static_cast<uint8_t>(symbol);
        }
    }
    /* Then each type's length, place and CRC. */
    uint64_t offset = firstOffset;
    uint64_t lastSelf = 0;
    for (uint32_t hunk = 0; ok && hunk < chd->hunkCount; hunk++) {
        uint8_t *entry = chd->map + static_cast<size_t>(hunk) * MAP_ENTRY_SIZE;
        uint64_t place = offset;
        uint32_t length = 0;
        uint16_t crc = 0;
        switch (entry[0]) {
        case MAP_CODEC0:
        case MAP_CODEC0 + 1:
        case MAP_CODEC0 + 2:
        case MAP_CODEC0 + 3:
            length = ReadBits(&r, lengthBits);
            offset += length;
            crc = static_cast<uint16_t>(ReadBits(&r, 16));
            break;
        case MAP_NONE:
            length = chd->hunkBytes;
            offset += length;
            crc = static_cast<uint16_t>(ReadBits(&r, 16));
            break;
        case MAP_SELF:
            place = lastSelf = ReadBits(&r, selfBits);
            break;
        case MAP_PARENT:
            place = ReadBits(&r, parentBits);
            break;
        case MAP_SELF_1:
            lastSelf++;
            /* fall through */
        case MAP_SELF_0:
            entry[0] = MAP_SELF;
            place = lastSelf;
            break;
        case MAP_PARENT_SELF:
        case MAP_PARENT_0:
        case MAP_PARENT_1:
            /* Only a file with a parent has these, and those are refused
               before the map is read; here they are damage. */
        default:
            ok = false;
            break;
        }
        if (entry[0] == MAP_SELF)
            chd->selfHunks++;
        PutBeBytes(entry + 1, length, 3);
        PutBeBytes(entry + 4, place, 6);
        PutBeBytes(entry + 10, crc, 2);
    }
    free(bits);
    if (!ok || r.overrun ||
        ChdCrc16(chd->map, static_cast<size_t>(chd->hunkCount) * MAP_ENTRY_SIZE) != mapCrc)
        return Fail(problem, problemSize, "its hunk map is damaged (its CRC does not match)");
    if (offset > chd->fileSize)
        return Fail(problem, problemSize, "the file is cut short (hunks are missing)");
    return true;
}

static bool ReadPlainMap(Chd *chd, uint64_t mapOffset, char *problem, size_t problemSize)
{
    uint64_t bytes = static_cast<uint64_t>(chd->hunkCount) * 4;
    if (mapOffset > chd->fileSize || chd->fileSize - mapOffset < bytes ||
        !chd->read(chd->file, mapOffset, chd->map, static_cast<uint32_t>(bytes)))
        return Fail(problem, problemSize, "the file is cut short (in its hunk map)");
    for (uint32_t hunk = 0; hunk < chd->hunkCount; hunk++) {
        uint64_t place = static_cast<uint64_t>(Be32(chd->map + hunk * 4)) * chd->hunkBytes;
        if (place > chd->fileSize || chd->fileSize - place < chd->hunkBytes)
            return Fail(problem, problemSize, "the file is cut short (hunks are missing)");
    }
    return true;
}

/* ---- the metadata: a linked list of tagged entries ---- */

#define META_CHT2 CHD_TAG('C', 'H', 'T', '2')
#define META_CHTR CHD_TAG('C', 'H', 'T', 'R')
#define META_CHGD CHD_TAG('C', 'H', 'G', 'D')
#define META_HARD_DISK CHD_TAG('G', 'D', 'D', 'D')
#define META_AV CHD_TAG('A', 'V', 'A', 'V')
#define META_AV_LD CHD_TAG('A', 'V', 'L', 'D')

static const char *const kTypeNames[][3] = {
    {"MODE1", "MODE1/2048", 0},
    {"MODE1_RAW", "MODE1/2352", 0},
    {"MODE2", "MODE2/2336", 0},
    {"MODE2_FORM1", "MODE2/2048", 0},
    {"MODE2_FORM2", "MODE2/2324", 0},
    {"MODE2_FORM_MIX", 0, 0},
    {"MODE2_RAW", "MODE2/2352", "CDI/2352"},
    {"AUDIO", 0, 0},
};

static int TypeFromName(const char *name)
{
    for (int type = 0; type < CHD_TRACK_TYPE_COUNT; type++)
        for (int k = 0; k < 3; k++)
            if (kTypeNames[type][k] && strcmp(kTypeNames[type][k], name) == 0)
                return type;
    return -1;
}

/* The value of "KEY:value" in a track line, or false. */
static bool Field(const char *line, const char *key, char *value, size_t valueSize)
{
    size_t keyLength = strlen(key);
    for (const char *p = line; *p;) {
        while (*p == ' ')
            p++;
        const char *word = p;
        while (*p && *p != ' ')
            p++;
        if (static_cast<size_t>(p - word) > keyLength && strncmp(word, key, keyLength) == 0 &&
            word[keyLength] == ':') {
            size_t n = static_cast<size_t>(p - word) - keyLength - 1;
            if (n >= valueSize)
                return false;
            memcpy(value, word + keyLength + 1, n);
            value[n] = '\0';
            return true;
        }
    }
    return false;
}

static bool Number(const char *line, const char *key, int32_t *out)
{
    char text[16];
    if (!Field(line, key, text, sizeof text) || !text[0])
        return false;
    int32_t value = 0;
    for (const char *p = text; *p; p++) {
        if (*p < '0' || *p > '9' || value > CHD_MAX_FRAMES)
            return false;
        value = value * 10 + (*p - '0');
    }
    *out = value;
    return true;
}

/* One track line of CHT2 or CHTR into tracks; false when it is damaged. */
static bool ReadTrackLine(Chd *chd, const char *line, bool withGaps)
{
    int32_t number = 0, frames = 0, pregap = 0, postgap = 0;
    char type[24];
    if (!Number(line, "TRACK", &number) || number < 1 || number > CHD_MAX_TRACKS ||
        !Field(line, "TYPE", type, sizeof type) || !Number(line, "FRAMES", &frames))
        return false;
    bool stored = false;
    if (withGaps) {
        if (!Number(line, "PREGAP", &pregap) || !Number(line, "POSTGAP", &postgap))
            return false;
        char pregapType[24];
        stored = Field(line, "PGTYPE", pregapType, sizeof pregapType) && pregapType[0] == 'V';
    }
    ChdTrack *t = &chd->tracks[number - 1];
    if (t->frames || frames == 0 || (stored && pregap > frames))
        return false;
    t->type = TypeFromName(type);
    if (t->type < 0)
        return false;
    t->frames = frames;
    t->pregap = pregap;
    t->pregapStored = stored;
    t->postgap = postgap;
    if (number > chd->trackCount)
        chd->trackCount = number;
    return true;
}

static bool ReadTracks(Chd *chd, uint64_t metaOffset, char *problem, size_t problemSize)
{
    uint64_t at = metaOffset;
    uint32_t kindTag = 0;
    int lines = 0;
    for (int entries = 0; at != 0; entries++) {
        uint8_t head[META_HEADER_SIZE];
        if (entries == META_MAX_ENTRIES)
            return Fail(problem, problemSize, "its metadata is damaged (a list without end)");
        if (at > chd->fileSize || chd->fileSize - at < META_HEADER_SIZE ||
            !chd->read(chd->file, at, head, META_HEADER_SIZE))
            return Fail(problem, problemSize, "the file is cut short (in its metadata)");
        uint32_t tag = Be32(head);
        uint32_t length = static_cast<uint32_t>(BeBytes(head + 5, 3));
        uint64_t next = BeBytes(head + 8, 8);
        if (chd->fileSize - at - META_HEADER_SIZE < length)
            return Fail(problem, problemSize, "the file is cut short (in its metadata)");
        if (tag == META_CHT2 || tag == META_CHTR) {
            char line[META_TEXT_SIZE];
            if (length == 0 || length >= sizeof line ||
                !chd->read(chd->file, at + META_HEADER_SIZE, line, length))
                return Fail(problem, problemSize, "its track list is damaged");
            line[length] = '\0';
            if (strlen(line) + 1 < length || !ReadTrackLine(chd, line, tag == META_CHT2))
                return Fail(problem, problemSize, "its track list is damaged");
            lines++;
        } else if (tag == META_CHGD || tag == META_HARD_DISK || tag == META_AV || tag == META_AV_LD) {
            kindTag = tag;
        }
        at = next;
    }
    if (!lines) {
        if (kindTag == META_HARD_DISK)
            return Fail(problem, problemSize, "a hard-disk CHD, not a CD");
        if (kindTag == META_AV || kindTag == META_AV_LD)
            return Fail(problem, problemSize, "a LaserDisc CHD, not a CD");
        if (kindTag == META_CHGD)
            return Fail(problem, problemSize, "a GD-ROM CHD, not a CD");
        return Fail(problem, problemSize, "holds no CD track list");
    }
    if (lines != chd->trackCount)
        return Fail(problem, problemSize, "its track list is damaged (a track is missing)");
    uint64_t frame = 0;
    for (int i = 0; i < chd->trackCount; i++) {
        ChdTrack *t = &chd->tracks[i];
        t->chdFrame = static_cast<uint32_t>(frame);
        frame += static_cast<uint64_t>(t->frames) + (CHD_TRACK_PADDING - 1);
        frame -= frame % CHD_TRACK_PADDING;
        if (frame > CHD_MAX_FRAMES)
            return Fail(problem, problemSize, "its track list is longer than a CD");
    }
    /* The last track's padding may be left out of the data. */
    const ChdTrack *last = &chd->tracks[chd->trackCount - 1];
    if ((static_cast<uint64_t>(last->chdFrame) + last->frames) * CHD_FRAME_SIZE > chd->logicalBytes)
        return Fail(problem, problemSize, "its track list is longer than its data");
    return true;
}

/* ---- opening ---- */

void ChdCodecNames(const Chd *chd, char *out, size_t outSize)
{
    BufSet(out, outSize, "");
    for (int i = 0; i < 4; i++) {
        uint32_t codec = chd->codecs[i];
        if (!codec)
            continue;
        char name[8];
        for (int k = 0; k < 4; k++) {
            char c = static_cast<char>(codec >> (24 - 8 * k));
            name[k] = c >= 0x20 && c < 0x7F ? c : '?';
        }
        name[4] = '\0';
        if (out[0])
            BufAppend(out, outSize, ", ");
        BufAppend(out, outSize, name);
    }
    if (!out[0])
        BufSet(out, outSize, "none");
}

static bool OpenParts(Chd *chd, char *problem, size_t problemSize)
{
    uint8_t h[CHD_HEADER_SIZE];
    if (chd->fileSize < 16 || !chd->read(chd->file, 0, h, 16) || memcmp(h, "MComprHD", 8) != 0)
        return Fail(problem, problemSize, "not a CHD file");
    uint32_t headerSize = Be32(h + 8), version = Be32(h + 12);
    if (version >= 1 && version <= 4)
        return Fail(problem, problemSize, "made by an old chdman; convert it with chdman copy");
    if (version != 5) {
        BufFormat(problem, problemSize, "CHD version %u, which cdimage does not read",
                  static_cast<unsigned>(version));
        return false;
    }
    if (headerSize != CHD_HEADER_SIZE)
        return Fail(problem, problemSize, "its header is damaged");
    if (chd->fileSize < CHD_HEADER_SIZE || !chd->read(chd->file, 0, h, CHD_HEADER_SIZE))
        return Fail(problem, problemSize, "the file is cut short (in its header)");
    for (int i = 0; i < 4; i++)
        chd->codecs[i] = Be32(h + 16 + 4 * i);
    chd->logicalBytes = BeBytes(h + 32, 8);
    uint64_t mapOffset = BeBytes(h + 40, 8);
    uint64_t metaOffset = BeBytes(h + 48, 8);
    chd->hunkBytes = Be32(h + 56);
    uint32_t unitBytes = Be32(h + 60);
    static const uint8_t kNoParent[20] = {0};
    if (memcmp(h + 104, kNoParent, sizeof kNoParent) != 0)
        return Fail(problem, problemSize, "needs its parent CHD");
    /* The track list says what the file holds; a hard disk's codecs would
       otherwise be named first. */
    if (unitBytes == CHD_FRAME_SIZE && chd->hunkBytes % CHD_FRAME_SIZE == 0 && chd->hunkBytes &&
        chd->hunkBytes <= CHD_MAX_HUNK_FRAMES * CHD_FRAME_SIZE &&
        chd->logicalBytes <= static_cast<uint64_t>(CHD_MAX_FRAMES) * CHD_FRAME_SIZE) {
        chd->hunkCount = static_cast<uint32_t>((chd->logicalBytes + chd->hunkBytes - 1) / chd->hunkBytes);
    } else {
        chd->hunkCount = 0;
    }
    if (!ReadTracks(chd, metaOffset, problem, problemSize))
        return false;
    if (!chd->hunkCount)
        return Fail(problem, problemSize, "its header is damaged (hunk or unit size)");
    bool compressed = chd->codecs[0] != 0;
    for (int i = 0; i < 4; i++) {
        if (chd->codecs[i] && !ChdCodecKnown(chd->codecs[i])) {
            char names[64];
            ChdCodecNames(chd, names, sizeof names);
            BufFormat(problem, problemSize,
                      "compressed with %s; cdimage reads cdlz, cdzl, cdfl and cdzs", names);
            return false;
        }
    }
    size_t entrySize = compressed ? MAP_ENTRY_SIZE : 4;
    chd->map = static_cast<uint8_t *>(calloc(chd->hunkCount, entrySize));
    chd->cache = static_cast<uint8_t *>(malloc(static_cast<size_t>(chd->hunkBytes) * CHD_CACHE_HUNKS));
    chd->stored = static_cast<uint8_t *>(malloc(chd->hunkBytes));
    chd->work = static_cast<uint8_t *>(malloc(chd->hunkBytes));
    chd->codecState = compressed ? ChdCodecsCreate() : 0;
    if (!chd->map || !chd->cache || !chd->stored || !chd->work || (compressed && !chd->codecState))
        return Fail(problem, problemSize, "not enough memory to read it");
    for (int i = 0; i < CHD_CACHE_HUNKS; i++)
        chd->cacheHunk[i] = 0xFFFFFFFFu;
    return compressed ? ReadCompressedMap(chd, mapOffset, problem, problemSize)
                      : ReadPlainMap(chd, mapOffset, problem, problemSize);
}

bool ChdOpen(Chd *chd, ChdReadFn read, void *file, uint64_t fileSize, char *problem, size_t problemSize)
{
    memset(chd, 0, sizeof *chd);
    chd->read = read;
    chd->file = file;
    chd->fileSize = fileSize;
    if (OpenParts(chd, problem, problemSize))
        return true;
    ChdClose(chd);
    return false;
}

void ChdClose(Chd *chd)
{
    free(chd->map);
    free(chd->cache);
    free(chd->stored);
    free(chd->work);
    if (chd->codecState)
        ChdCodecsDestroy(chd->codecState);
    memset(chd, 0, sizeof *chd);
}

/* ---- hunks ---- */

static bool DecodeHunk(Chd *chd, uint32_t hunk, uint8_t *out)
{
    if (!chd->codecs[0]) {
        uint64_t place = static_cast<uint64_t>(Be32(chd->map + hunk * 4)) * chd->hunkBytes;
        if (place == 0) {
            memset(out, 0, chd->hunkBytes);
            return true;
        }
        return chd->read(chd->file, place, out, chd->hunkBytes);
    }
    const uint8_t *entry = chd->map + static_cast<size_t>(hunk) * MAP_ENTRY_SIZE;
    uint32_t length = static_cast<uint32_t>(BeBytes(entry + 1, 3));
    uint64_t place = BeBytes(entry + 4, 6);
    uint16_t crc = static_cast<uint16_t>(BeBytes(entry + 10, 2));
    if (length > chd->hunkBytes || place > chd->fileSize || chd->fileSize - place < length)
        return false;
    if (entry[0] > MAP_NONE) {
        return false;  /* a parent's hunk */
    } else if (entry[0] == MAP_NONE) {
        if (!chd->read(chd->file, place, out, length))
            return false;
    } else {
        uint32_t codec = chd->codecs[entry[0]];
        if (!codec || !chd->read(chd->file, place, chd->stored, length) ||
            !ChdDecodeCdHunk(chd->codecState, codec, chd->stored, length, out, chd->hunkBytes, chd->work,
                             &chd->framesEccRestored))
            return false;
    }
    return ChdCrc16(out, chd->hunkBytes) == crc;
}

const uint8_t *ChdHunk(Chd *chd, uint32_t hunk)
{
    if (!chd->map)
        return 0;
    /* A copy of another hunk is that hunk, which the cache may hold. */
    if (hunk >= chd->hunkCount)
        return 0;
    for (int link = 0; chd->codecs[0]; link++) {
        const uint8_t *entry = chd->map + static_cast<size_t>(hunk) * MAP_ENTRY_SIZE;
        if (entry[0] != MAP_SELF)
            break;
        uint64_t target = BeBytes(entry + 4, 6);
        if (link == SELF_MAX_LINKS || target >= chd->hunkCount)
            return 0;
        hunk = static_cast<uint32_t>(target);
    }
    for (int i = 0; i < CHD_CACHE_HUNKS; i++)
        if (chd->cacheHunk[i] == hunk)
            return chd->cache + static_cast<size_t>(i) * chd->hunkBytes;
    int slot = chd->cacheNext;
    chd->cacheNext = (slot + 1) % CHD_CACHE_HUNKS;
    uint8_t *out = chd->cache + static_cast<size_t>(slot) * chd->hunkBytes;
    chd->cacheHunk[slot] = 0xFFFFFFFFu;
    if (!DecodeHunk(chd, hunk, out))
        return 0;
    chd->hunksDecoded++;
    chd->cacheHunk[slot] = hunk;
    return out;
}
