/* Memory card images in memory: see card_image.h. The only system call is
 * the code page conversion of titles. */
#include "card_image.h"

#include <stdarg.h>
#include <string.h>
#include <windows.h>

#include "kova_str.h"

/* Directory frame bytes. */
enum {
    DIR_STATE = 0,
    DIR_SIZE = 4,        /* 32 bits, little-endian, the save's bytes (first frame only) */
    DIR_NEXT = 8,        /* 16 bits: the next block's directory index (block - 1), 0xFFFF none */
    DIR_NAME = 10,
    CHECKSUM = 127,
    NO_LINK = 0xFFFF,
};
/* A save's first frame. */
enum {
    SAVE_ICON_FLAG = 2,  /* 0x11-0x13: an icon of 1-3 frames */
    SAVE_TITLE = 4,
    SAVE_PALETTE = 96,   /* 16 colours of 16 bits */
};
/* Frames of block 0 after the directory. */
enum { BROKEN_FIRST = 16, BROKEN_LAST = 35, HEADER_COPY = 63 };

static const uint8_t *Frame(const uint8_t *card, int frame)
{
    return card + frame * CARD_FRAME_SIZE;
}

static uint8_t *Frame(uint8_t *card, int frame)
{
    return card + frame * CARD_FRAME_SIZE;
}

uint8_t FrameChecksum(const uint8_t *frame)
{
    uint8_t sum = 0;
    for (int i = 0; i < CHECKSUM; i++)
        sum ^= frame[i];
    return sum;
}

static void Seal(uint8_t *frame)
{
    frame[CHECKSUM] = FrameChecksum(frame);
}

static uint32_t Get32(const uint8_t *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

static void Put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

static unsigned Get16(const uint8_t *p)
{
    return p[0] | (p[1] << 8);
}

static void Put16(uint8_t *p, unsigned v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

static bool IsFree(uint8_t state)
{
    return state >= CARD_STATE_FREE && state <= CARD_STATE_DELETED_LAST;
}

static bool IsKnownState(uint8_t state)
{
    return IsFree(state) || (state >= CARD_STATE_FIRST && state <= CARD_STATE_LAST);
}

void FormatCard(uint8_t *card)
{
    memset(card, 0, CARD_SIZE);
    uint8_t *header = Frame(card, 0);
    header[0] = 'M';
    header[1] = 'C';
    Seal(header);
    for (int i = 1; i <= CARD_SAVE_BLOCKS; i++) {
        uint8_t *entry = Frame(card, i);
        entry[DIR_STATE] = CARD_STATE_FREE;
        Put16(entry + DIR_NEXT, NO_LINK);
        Seal(entry);
    }
    for (int i = BROKEN_FIRST; i <= BROKEN_LAST; i++) {
        uint8_t *entry = Frame(card, i);
        Put32(entry, 0xFFFFFFFFu);
        Put16(entry + DIR_NEXT, NO_LINK);
        Seal(entry);
    }
    memcpy(Frame(card, HEADER_COPY), header, CARD_FRAME_SIZE);
}

/* The first problem wins: it is the one the user is told. */
static void Damage(CardListing *listing, unsigned bit, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
static void Damage(CardListing *listing, unsigned bit, const char *format, ...)
{
    if (!listing->damage) {
        va_list args;
        va_start(args, format);
        BufFormatV(listing->problem, sizeof listing->problem, format, args);
        va_end(args);
    }
    listing->damage |= bit;
}

/* What ListCard knows of each directory frame. */
struct EntryView {
    bool readable;   /* inside the file, checksum right, state known */
    uint8_t state;
    unsigned next;
    int owner;       /* the first block of the save that holds it, 0 for none */
};

static void ReadSaveHeader(const uint8_t *card, size_t size, CardSave *save)
{
    save->title[0] = '\0';
    save->iconFrames = 0;
    size_t start = static_cast<size_t>(save->blocks[0]) * CARD_BLOCK_SIZE;
    if (start + CARD_BLOCK_SIZE > size)
        return;
    const uint8_t *first = card + start;
    if (first[0] != 'S' || first[1] != 'C')
        return;
    memcpy(save->title, first + SAVE_TITLE, CARD_TITLE_SIZE);
    save->title[CARD_TITLE_SIZE] = '\0';
    uint8_t flag = first[SAVE_ICON_FLAG];
    if (flag >= 0x11 && flag <= 0x13)
        save->iconFrames = flag - 0x10;
}

/* Follows the links of the save that begins at block `first`: the chain is
   whole when every link is in range, each block a middle one until a last
   one ends it, none visited twice or held by another save. A broken chain
   keeps the blocks up to the break, when the save's first block is whole
   ("SC"): its save is listed, marked broken. False when nothing of it can
   be listed. */
static bool FollowSave(const uint8_t *card, size_t size, EntryView *entries, int first,
                       CardSave *save, CardListing *listing)
{
    save->blockCount = 0;
    save->broken = true;
    int block = first;
    for (;;) {
        if (save->blockCount == CARD_SAVE_BLOCKS) {
            Damage(listing, CARD_DAMAGE_LINKS, "the save in block %d links in a loop", first);
            break;
        }
        save->blocks[save->blockCount++] = static_cast<uint8_t>(block);
        unsigned next = entries[block].next;
        if (next == NO_LINK) {
            /* Ends at a last block, or is a save of one block. */
            if (entries[block].state == CARD_STATE_MIDDLE) {
                Damage(listing, CARD_DAMAGE_LINKS, "the save in block %d ends too soon", first);
                break;
            }
            save->broken = false;
            break;
        }
        if (entries[block].state == CARD_STATE_LAST) {
            Damage(listing, CARD_DAMAGE_LINKS, "block %d links past the end of its save", block);
            break;
        }
        if (next >= CARD_SAVE_BLOCKS) {
            Damage(listing, CARD_DAMAGE_LINKS, "block %d links outside the card", block);
            break;
        }
        int to = static_cast<int>(next) + 1;
        bool seen = false;
        for (int i = 0; i < save->blockCount; i++)
            seen = seen || save->blocks[i] == to;
        if (seen) {
            Damage(listing, CARD_DAMAGE_LINKS, "the save in block %d links in a loop", first);
            break;
        }
        if (!entries[to].readable ||
            (entries[to].state != CARD_STATE_MIDDLE && entries[to].state != CARD_STATE_LAST) ||
            entries[to].owner != 0) {
            Damage(listing, CARD_DAMAGE_LINKS, "block %d links to a block of no save of its own", block);
            break;
        }
        block = to;
    }
    for (int i = 0; i < save->blockCount; i++) {
        if ((save->blocks[i] + 1) * static_cast<size_t>(CARD_BLOCK_SIZE) > size) {
            /* The size damage is already reported: the file ends before it. */
            save->blockCount = i;
            save->broken = true;
            break;
        }
    }
    if (save->blockCount == 0)
        return false;
    const uint8_t *head = card + first * CARD_BLOCK_SIZE;
    if (save->broken && (head[0] != 'S' || head[1] != 'C'))
        return false;
    const uint8_t *entry = Frame(card, first);
    if (!save->broken &&
        Get32(entry + DIR_SIZE) != static_cast<uint32_t>(save->blockCount) * CARD_BLOCK_SIZE)
        Damage(listing, CARD_DAMAGE_LINKS, "the size of the save in block %d does not match its blocks",
               first);
    memcpy(save->name, entry + DIR_NAME, CARD_NAME_SIZE - 1);
    save->name[CARD_NAME_SIZE - 1] = '\0';
    for (int i = 0; i < save->blockCount; i++)
        entries[save->blocks[i]].owner = first;
    ReadSaveHeader(card, size, save);
    return true;
}

void ListCard(const uint8_t *card, size_t size, CardListing *listing)
{
    memset(listing, 0, sizeof *listing);
    if (size != CARD_SIZE) {
        if (size > CARD_SIZE) {
            Damage(listing, CARD_DAMAGE_SIZE, "the file is longer than 131,072 bytes");
            size = CARD_SIZE;
        } else {
            Damage(listing, CARD_DAMAGE_SIZE, "the file is %d bytes long, not 131,072",
                   static_cast<int>(size));
        }
    }
    if (size < CARD_BLOCK_SIZE)
        return;
    const uint8_t *header = Frame(card, 0);
    if (header[0] != 'M' || header[1] != 'C' || header[CHECKSUM] != FrameChecksum(header))
        Damage(listing, CARD_DAMAGE_HEADER, "its header is wrong");

    EntryView entries[CARD_BLOCKS];
    memset(entries, 0, sizeof entries);
    for (int i = 1; i <= CARD_SAVE_BLOCKS; i++) {
        const uint8_t *entry = Frame(card, i);
        EntryView &view = entries[i];
        view.state = entry[DIR_STATE];
        view.next = Get16(entry + DIR_NEXT);
        view.readable = entry[CHECKSUM] == FrameChecksum(entry) && IsKnownState(view.state);
        if (!view.readable)
            Damage(listing, CARD_DAMAGE_DIRECTORY, "the directory entry of block %d is wrong", i);
        else if (IsFree(view.state))
            listing->freeBlocks++;
    }
    for (int i = 1; i <= CARD_SAVE_BLOCKS; i++) {
        if (!entries[i].readable || entries[i].state != CARD_STATE_FIRST)
            continue;
        CardSave &save = listing->saves[listing->saveCount];
        if (FollowSave(card, size, entries, i, &save, listing))
            listing->saveCount++;
    }
    for (int i = 1; i <= CARD_SAVE_BLOCKS; i++) {
        if (entries[i].readable && entries[i].owner == 0 &&
            (entries[i].state == CARD_STATE_MIDDLE || entries[i].state == CARD_STATE_LAST))
            Damage(listing, CARD_DAMAGE_LINKS, "block %d belongs to no save", i);
    }
}

static const CardSave *FindSave(const CardListing &listing, int firstBlock)
{
    for (int i = 0; i < listing.saveCount; i++)
        if (listing.saves[i].blocks[0] == firstBlock)
            return &listing.saves[i];
    return NULL;
}

/* The directory frame a save's first block gets on a card or in a file. */
static void FirstEntry(uint8_t *entry, int blockCount, const char *name)
{
    memset(entry, 0, CARD_FRAME_SIZE);
    entry[DIR_STATE] = CARD_STATE_FIRST;
    Put32(entry + DIR_SIZE, static_cast<uint32_t>(blockCount) * CARD_BLOCK_SIZE);
    Put16(entry + DIR_NEXT, NO_LINK);
    memcpy(entry + DIR_NAME, name, BufLength(name, CARD_NAME_SIZE - 1));
    Seal(entry);
}

size_t MakeSaveFile(const uint8_t *const *blocks, int blockCount, const char *name, uint8_t *mcs)
{
    FirstEntry(mcs, blockCount, name);
    for (int i = 0; i < blockCount; i++)
        memcpy(mcs + CARD_FRAME_SIZE + i * CARD_BLOCK_SIZE, blocks[i], CARD_BLOCK_SIZE);
    return CARD_FRAME_SIZE + static_cast<size_t>(blockCount) * CARD_BLOCK_SIZE;
}

CardResult ExportSave(const uint8_t *card, size_t size, int firstBlock, uint8_t *mcs,
                      size_t *mcsSize)
{
    static CardListing listing;
    ListCard(card, size, &listing);
    const CardSave *save = FindSave(listing, firstBlock);
    if (!save)
        return CARD_NO_SAVE;
    const uint8_t *blocks[CARD_SAVE_BLOCKS];
    for (int i = 0; i < save->blockCount; i++)
        blocks[i] = card + save->blocks[i] * CARD_BLOCK_SIZE;
    *mcsSize = MakeSaveFile(blocks, save->blockCount, save->name, mcs);
    return CARD_OK;
}

const char *SaveFileProblem(const uint8_t *mcs, size_t mcsSize)
{
    if (mcsSize < CARD_FRAME_SIZE + CARD_BLOCK_SIZE || mcsSize > CARD_MCS_MAX ||
        (mcsSize - CARD_FRAME_SIZE) % CARD_BLOCK_SIZE != 0)
        return "its length is not that of a save of 1 to 15 blocks";
    if (mcs[CHECKSUM] != FrameChecksum(mcs) || mcs[DIR_STATE] != CARD_STATE_FIRST)
        return "its directory entry is wrong";
    if (Get32(mcs + DIR_SIZE) != mcsSize - CARD_FRAME_SIZE)
        return "the size in its directory entry does not match its length";
    if (mcs[DIR_NAME] == '\0')
        return "it has no file name";
    return NULL;
}

static bool NameTaken(const CardListing &listing, const char *name)
{
    for (int i = 0; i < listing.saveCount; i++)
        if (strncmp(listing.saves[i].name, name, CARD_NAME_SIZE - 1) == 0)
            return true;
    return false;
}

CardResult ImportSave(uint8_t *card, const uint8_t *mcs, size_t mcsSize)
{
    if (SaveFileProblem(mcs, mcsSize))
        return CARD_BAD_SAVE_FILE;
    static CardListing listing;
    ListCard(card, CARD_SIZE, &listing);
    if (listing.damage)
        return CARD_DAMAGED;
    char name[CARD_NAME_SIZE];
    memcpy(name, mcs + DIR_NAME, CARD_NAME_SIZE - 1);
    name[CARD_NAME_SIZE - 1] = '\0';
    if (NameTaken(listing, name))
        return CARD_NAME_TAKEN;
    int blockCount = static_cast<int>((mcsSize - CARD_FRAME_SIZE) / CARD_BLOCK_SIZE);
    if (blockCount > listing.freeBlocks)
        return CARD_NO_ROOM;

    /* Blocks never used first: a deleted save stays whole as long as it can. */
    int blocks[CARD_SAVE_BLOCKS];
    int taken = 0;
    for (int pass = 0; pass < 2; pass++)
        for (int i = 1; i <= CARD_SAVE_BLOCKS && taken < blockCount; i++) {
            uint8_t state = Frame(card, i)[DIR_STATE];
            if (pass == 0 ? state == CARD_STATE_FREE : IsFree(state) && state != CARD_STATE_FREE)
                blocks[taken++] = i;
        }
    for (int i = 0; i < blockCount; i++) {
        uint8_t *entry = Frame(card, blocks[i]);
        if (i == 0) {
            FirstEntry(entry, blockCount, name);
        } else {
            memset(entry, 0, CARD_FRAME_SIZE);
            entry[DIR_STATE] = i == blockCount - 1 ? CARD_STATE_LAST : CARD_STATE_MIDDLE;
        }
        Put16(entry + DIR_NEXT, i == blockCount - 1 ? static_cast<unsigned>(NO_LINK)
                                                : static_cast<unsigned>(blocks[i + 1] - 1));
        Seal(entry);
        memcpy(card + blocks[i] * CARD_BLOCK_SIZE, mcs + CARD_FRAME_SIZE + i * CARD_BLOCK_SIZE,
               CARD_BLOCK_SIZE);
    }
    return CARD_OK;
}

CardResult DeleteSave(uint8_t *card, int firstBlock)
{
    static CardListing listing;
    ListCard(card, CARD_SIZE, &listing);
    if (listing.damage)
        return CARD_DAMAGED;
    const CardSave *save = FindSave(listing, firstBlock);
    if (!save)
        return CARD_NO_SAVE;
    for (int i = 0; i < save->blockCount; i++) {
        uint8_t *entry = Frame(card, save->blocks[i]);
        /* 0x51-0x53 become 0xA1-0xA3. */
        entry[DIR_STATE] = static_cast<uint8_t>(entry[DIR_STATE] - CARD_STATE_FIRST + CARD_STATE_DELETED_FIRST);
        Seal(entry);
    }
    return CARD_OK;
}

/* Full-width forms (U+FF01-U+FF5E) are ASCII 0x21-0x7E moved up; a few
   more marks that titles use for plain ones. */
static wchar_t PlainForm(wchar_t c)
{
    if (c >= 0xFF01 && c <= 0xFF5E)
        return static_cast<wchar_t>(c - 0xFF01 + 0x21);
    switch (c) {
    case 0x3000: return L' ';
    case 0x2018: case 0x2019: return L'\'';
    case 0x201C: case 0x201D: return L'"';
    case 0x2010: case 0x2212: return L'-';
    case 0xFFE5: return L'\\';
    default: return c;
    }
}

void SaveTitleText(const uint8_t *title, wchar_t *dst, size_t dstCount)
{
    if (dstCount == 0)
        return;
    dst[0] = L'\0';
    /* Shift-JIS trail bytes are never 0: the first 0 ends the title. A
       lead byte cut off by the field's end is dropped. */
    int length = 0;
    while (length < CARD_TITLE_SIZE && title[length])
        length++;
    for (int i = 0; i < length; i++) {
        bool lead = (title[i] >= 0x81 && title[i] <= 0x9F) || (title[i] >= 0xE0 && title[i] <= 0xFC);
        if (lead && i + 1 == length)
            length = i;
        else if (lead)
            i++;
    }
    /* 64 bytes never give more than 64 characters. */
    wchar_t wide[CARD_TITLE_SIZE];
    int n = length ? MultiByteToWideChar(932, 0, reinterpret_cast<const char *>(title), length, wide,
                                         CARD_TITLE_SIZE)
                   : 0;
    size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    if (count > dstCount - 1)
        count = dstCount - 1;
    for (size_t i = 0; i < count; i++)
        dst[i] = PlainForm(wide[i]);
    dst[count] = L'\0';
}

const char *SaveRegion(const char *name)
{
    if (name[0] != 'B')
        return "";
    switch (name[1]) {
    case 'A': return "America";
    case 'E': return "Europe";
    case 'I': return "Japan";
    default: return "";
    }
}

void SaveProductCode(const char *name, char *dst, size_t dstSize)
{
    if (dstSize == 0)
        return;
    size_t length = BufLength(name, CARD_NAME_SIZE - 1);
    size_t start = 0, count = length;
    if (SaveRegion(name)[0]) {
        start = 2;
        count = length < 12 ? length - 2 : 10;
    }
    size_t out = 0;
    for (size_t i = 0; i < count && out + 1 < dstSize; i++) {
        char c = name[start + i];
        /* "SLUSP01041", "SLES_01182": a pocket device's save or a game's
           own naming in the dash's place. */
        if (start == 2 && i == 4 && (c == 'P' || c == '_'))
            c = '-';
        dst[out++] = c >= 0x20 && c <= 0x7E ? c : '?';
    }
    dst[out] = '\0';
}

static uint32_t Expand5(unsigned v)
{
    return (v << 3) | (v >> 2);
}

bool SaveIconPixels(const uint8_t *card, size_t size, const CardSave &save, uint32_t background,
                    uint32_t *pixels)
{
    size_t start = static_cast<size_t>(save.blocks[0]) * CARD_BLOCK_SIZE;
    if (save.iconFrames == 0 || save.blockCount < 1 || start + CARD_BLOCK_SIZE > size)
        return false;
    const uint8_t *palette = card + start + SAVE_PALETTE;
    const uint8_t *bitmap = card + start + CARD_FRAME_SIZE;
    for (int i = 0; i < 256; i++) {
        /* Two pixels a byte, the left one in the low half. */
        unsigned index = (bitmap[i / 2] >> (i % 2 ? 4 : 0)) & 0x0F;
        unsigned c = Get16(palette + 2 * index);
        if ((c & 0x7FFF) == 0 && !(c & 0x8000)) {
            pixels[i] = background;
            continue;
        }
        pixels[i] = (Expand5(c & 31) << 16) | (Expand5((c >> 5) & 31) << 8) | Expand5((c >> 10) & 31);
    }
    return true;
}

bool NewCardFileName(const char *typed, char *dst, size_t dstSize)
{
    if (dstSize == 0)
        return false;
    dst[0] = '\0';
    while (*typed == ' ')
        typed++;
    size_t length = strlen(typed);
    while (length && typed[length - 1] == ' ')
        length--;
    if (length == 0 || length >= dstSize)
        return false;
    for (size_t i = 0; i < length; i++)
        if (static_cast<unsigned char>(typed[i]) < 0x20 || strchr("\\/:*?\"<>|", typed[i]))
            return false;
    memcpy(dst, typed, length);
    dst[length] = '\0';
    if (length >= 4 && TextEqualsNoCase(dst + length - 4, ".mcd"))
        return true;
    if (BufAppend(dst, dstSize, ".mcd"))
        return true;
    dst[0] = '\0';
    return false;
}
