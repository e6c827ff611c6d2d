#include "cd_iso9660.h"

#include <string.h>

#include "kova_str.h"

#define ISO_SECTOR_SIZE 2048
#define ISO_DESCRIPTOR_SECTOR 16
/* The root folder's record inside the primary volume descriptor. */
#define ISO_ROOT_RECORD_OFFSET 156
#define ISO_RECORD_MIN_SIZE 34
/* A root folder larger than this is not searched further: a PlayStation
   disc's has a few dozen entries, and a damaged length must not turn into
   a walk over the whole disc. */
#define ISO_FOLDER_MAX_SECTORS 64
/* SYSTEM.CNF is a few lines; more is not read. */
#define ISO_CNF_MAX_SIZE 2048

static uint32_t Le32(const uint8_t *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

static char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

/* Whether a record's name (length bytes, maybe ending in ";1") is name. */
static bool NameMatches(const uint8_t *recordName, size_t length, const char *name)
{
    size_t i = 0;
    for (; i < length && recordName[i] != ';'; i++) {
        if (!name[i] || Upper(static_cast<char>(recordName[i])) != Upper(name[i]))
            return false;
    }
    return name[i] == '\0';
}

/* Finds name in the folder whose extent starts at sector first and is size
   bytes long. */
static bool FindInFolder(IsoSectorFn read, void *context, uint32_t first, uint32_t size,
                         const char *name, uint32_t *fileSector, uint32_t *fileSize)
{
    uint8_t data[ISO_SECTOR_SIZE];
    uint32_t sectors = (size + ISO_SECTOR_SIZE - 1) / ISO_SECTOR_SIZE;
    if (sectors > ISO_FOLDER_MAX_SECTORS)
        sectors = ISO_FOLDER_MAX_SECTORS;
    for (uint32_t s = 0; s < sectors; s++) {
        if (first + s > 0x7FFFFFFF || !read(context, static_cast<int32_t>(first + s), data))
            return false;
        size_t at = 0;
        /* Records never cross a sector; a zero length ends the sector. */
        while (at + ISO_RECORD_MIN_SIZE <= ISO_SECTOR_SIZE) {
            size_t length = data[at];
            if (length == 0)
                break;
            size_t nameLength = data[at + 32];
            if (length < ISO_RECORD_MIN_SIZE || at + length > ISO_SECTOR_SIZE ||
                33 + nameLength > length)
                break;
            bool folder = (data[at + 25] & 0x02) != 0;
            if (!folder && NameMatches(data + at + 33, nameLength, name)) {
                *fileSector = Le32(data + at + 2);
                *fileSize = Le32(data + at + 10);
                return true;
            }
            at += length;
        }
    }
    return false;
}

bool IsoReadRootFile(IsoSectorFn read, void *context, const char *name, uint8_t *dst,
                     uint32_t dstSize, uint32_t *got)
{
    *got = 0;
    uint8_t data[ISO_SECTOR_SIZE];
    if (!read(context, ISO_DESCRIPTOR_SECTOR, data))
        return false;
    /* The primary volume descriptor: type 1, "CD001", version 1. */
    if (data[0] != 1 || memcmp(data + 1, "CD001", 5) != 0 || data[6] != 1)
        return false;
    const uint8_t *root = data + ISO_ROOT_RECORD_OFFSET;
    if (root[0] < ISO_RECORD_MIN_SIZE)
        return false;
    uint32_t fileSector = 0, fileSize = 0;
    if (!FindInFolder(read, context, Le32(root + 2), Le32(root + 10), name, &fileSector,
                      &fileSize))
        return false;
    uint32_t want = fileSize < dstSize ? fileSize : dstSize;
    while (*got < want) {
        uint32_t sector = fileSector + *got / ISO_SECTOR_SIZE;
        if (sector > 0x7FFFFFFF || !read(context, static_cast<int32_t>(sector), data))
            return false;
        uint32_t part = want - *got;
        if (part > ISO_SECTOR_SIZE)
            part = ISO_SECTOR_SIZE;
        memcpy(dst + *got, data, part);
        *got += part;
    }
    return true;
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool CnfBootLine(const char *text, size_t length, char *line, size_t lineSize)
{
    size_t at = 0;
    while (at < length) {
        size_t end = at;
        while (end < length && text[end] != '\r' && text[end] != '\n' && text[end] != '\0')
            end++;
        size_t from = at, to = end;
        while (from < to && IsBlank(text[from]))
            from++;
        while (to > from && IsBlank(text[to - 1]))
            to--;
        /* "BOOT" then blanks then "=": not BOOT2, the key of another
           console's discs. */
        size_t key = from;
        static const char kBoot[] = "BOOT";
        size_t i = 0;
        while (i < 4 && key + i < to && Upper(text[key + i]) == kBoot[i])
            i++;
        if (i == 4) {
            size_t eq = key + 4;
            while (eq < to && IsBlank(text[eq]))
                eq++;
            if (eq < to && text[eq] == '=') {
                if (to - from >= lineSize)
                    return false;
                memcpy(line, text + from, to - from);
                line[to - from] = '\0';
                return true;
            }
        }
        if (end < length && text[end] == '\0')
            break;
        at = end + 1;
    }
    return false;
}

bool BootProgram(const char *bootLine, char *program, size_t programSize)
{
    const char *eq = strchr(bootLine, '=');
    if (!eq)
        return false;
    eq++;
    while (IsBlank(*eq))
        eq++;
    return *eq && BufSet(program, programSize, eq);
}

const char *BootRegion(const char *program)
{
    static const struct {
        const char code[5];
        const char *region;
    } kCodes[] = {
        { "SLUS", "America" }, { "SCUS", "America" },
        { "SLES", "Europe" }, { "SCES", "Europe" }, { "SCED", "Europe" },
        { "SLPS", "Japan" }, { "SLPM", "Japan" }, { "SCPS", "Japan" }, { "SCPM", "Japan" },
        { "SIPS", "Japan" },
    };
    /* The name begins after the device and folders: "cdrom:\SLUS_004.05;1". */
    const char *name = program;
    for (const char *p = program; *p; p++) {
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    }
    for (size_t i = 0; i < dimof(kCodes); i++) {
        size_t n = 0;
        while (n < 4 && name[n] && Upper(name[n]) == kCodes[i].code[n])
            n++;
        if (n == 4)
            return kCodes[i].region;
    }
    return NULL;
}

bool ReadBootLine(IsoSectorFn read, void *context, char *line, size_t lineSize)
{
    uint8_t text[ISO_CNF_MAX_SIZE];
    uint32_t got = 0;
    if (!IsoReadRootFile(read, context, "SYSTEM.CNF", text, sizeof text, &got))
        return false;
    return CnfBootLine(reinterpret_cast<const char *>(text), got, line, lineSize);
}
