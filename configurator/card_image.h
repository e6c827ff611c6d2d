/* Memory card images (.mcd) and single saves (.mcs): reading, listing and
 * changing them in memory. No window and no file: the Memory Cards dialog
 * reads a card into a buffer, lets these functions change the buffer and
 * writes the whole card back itself.
 *
 * A card is 16 blocks of 8192 bytes, each 64 frames of 128 bytes. Block 0
 * is the card's own: frame 0 the header ("MC"), frames 1-15 the directory,
 * one frame for each of the blocks 1-15, frames 16-35 the list of broken
 * sectors, frame 63 a copy of frame 0. A save occupies one or more of the
 * blocks 1-15, linked in any order through their directory frames. Every
 * length, link and count of a card or save file is checked before use:
 * the bytes come from files anyone can write. */
#ifndef KOVACFG_CARD_IMAGE_H
#define KOVACFG_CARD_IMAGE_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

const int CARD_SIZE = 131072;
const int CARD_BLOCK_SIZE = 8192;
const int CARD_FRAME_SIZE = 128;
const int CARD_BLOCKS = 16;
const int CARD_SAVE_BLOCKS = 15;    /* blocks 1-15 hold saves */
const int CARD_NAME_SIZE = 21;      /* directory frame bytes 10-30, terminator included */
const int CARD_TITLE_SIZE = 64;     /* Shift-JIS, bytes 4-67 of a save's first frame */
const int CARD_MCS_MAX = CARD_FRAME_SIZE + CARD_SAVE_BLOCKS * CARD_BLOCK_SIZE;

/* Directory frame states (byte 0). */
enum {
    CARD_STATE_FIRST = 0x51,
    CARD_STATE_MIDDLE = 0x52,
    CARD_STATE_LAST = 0x53,
    CARD_STATE_FREE = 0xA0,
    CARD_STATE_DELETED_FIRST = 0xA1,
    CARD_STATE_DELETED_MIDDLE = 0xA2,
    CARD_STATE_DELETED_LAST = 0xA3,
};

/* What is wrong with a card, as bits. */
enum {
    CARD_DAMAGE_SIZE = 1,        /* not 131,072 bytes */
    CARD_DAMAGE_HEADER = 2,      /* no "MC" or a wrong checksum in frame 0 */
    CARD_DAMAGE_DIRECTORY = 4,   /* a directory frame with a wrong checksum or an unknown state */
    CARD_DAMAGE_LINKS = 8,       /* a link out of range, a loop, a shared or stray block, a wrong size */
};

struct CardSave {
    int blockCount;
    uint8_t blocks[CARD_SAVE_BLOCKS];  /* block numbers 1-15 in the save's order */
    char name[CARD_NAME_SIZE];         /* the directory entry's file name, as stored */
    uint8_t title[CARD_TITLE_SIZE + 1];  /* Shift-JIS, terminated; empty without "SC" */
    int iconFrames;                    /* 1-3, 0 without an icon */
    bool broken;                       /* on a damaged card: its chain breaks after blocks[blockCount - 1] */
};

struct CardListing {
    int saveCount;
    /* The saves that can be read, by first block: those whose chain is
       whole, and on a damaged card those whose first block is ("SC"), as far
       as their chain goes. */
    CardSave saves[CARD_SAVE_BLOCKS];
    int freeBlocks;
    unsigned damage;                   /* CARD_DAMAGE_* bits, 0 for a sound card */
    char problem[96];                  /* the first damage found, for the user; "" when sound */
};

/* Lists the saves of a card of `size` bytes (any size: what lies beyond
   the file is unreadable, what lies beyond 131,072 bytes is not looked at). */
void ListCard(const uint8_t *card, size_t size, CardListing *listing);

/* A blank card: header, 15 free directory frames, no broken sectors, the
   header's copy in frame 63, every other byte 0. */
void FormatCard(uint8_t *card);

/* The XOR of bytes 0-126 of a frame: what byte 127 holds. */
uint8_t FrameChecksum(const uint8_t *frame);

enum CardResult {
    CARD_OK,
    CARD_NO_ROOM,        /* fewer free blocks than the save needs */
    CARD_NAME_TAKEN,     /* a save of the same file name is there */
    CARD_DAMAGED,        /* the card is damaged: nothing is written to it */
    CARD_NO_SAVE,        /* no readable save begins at that block */
    CARD_BAD_SAVE_FILE,  /* the .mcs bytes are no save */
};

/* The save as a .mcs file: a fresh directory frame (state 0x51, size,
   no link, the file name) followed by its blocks in order. *mcsSize
   receives the length (at most CARD_MCS_MAX). */
CardResult ExportSave(const uint8_t *card, size_t size, int firstBlock, uint8_t *mcs,
                      size_t *mcsSize);

/* The .mcs bytes of a save of blockCount blocks (1-15, CARD_BLOCK_SIZE
   bytes each) with the file name: a fresh directory frame, then the
   blocks. Returns their length. */
size_t MakeSaveFile(const uint8_t *const *blocks, int blockCount, const char *name, uint8_t *mcs);

/* Why .mcs bytes are no save, or NULL when they are one. */
const char *SaveFileProblem(const uint8_t *mcs, size_t mcsSize);

/* Adds the save held as .mcs bytes to a card of CARD_SIZE bytes: its
   blocks byte for byte into free blocks (never used ones first, then
   those of deleted saves, each in block order), fresh directory frames
   linking them. The card is unchanged unless the result is CARD_OK. */
CardResult ImportSave(uint8_t *card, const uint8_t *mcs, size_t mcsSize);

/* Marks the blocks of the save that begins at firstBlock deleted
   (0xA1-0xA3); its data stays where it is until a new save takes them. */
CardResult DeleteSave(uint8_t *card, int firstBlock);

/* The title as UTF-16 for the screen: full-width Latin letters, digits,
   punctuation and the ideographic space in their plain forms, the rest as
   code page 932 reads it. Always terminated. */
void SaveTitleText(const uint8_t *title, wchar_t *dst, size_t dstCount);

/* From a file name such as "BASLUS-00594GAME": the region ("America" for
   "BA", "Europe" for "BE", "Japan" for "BI", "" otherwise) and the product
   code ("SLUS-00594", also for the forms "SLUSP00594" and "SLUS_00594";
   without a known region, the whole name). Bytes
   outside printable ASCII show as '?'. */
const char *SaveRegion(const char *name);
void SaveProductCode(const char *name, char *dst, size_t dstSize);

/* The save's icon (first frame, 16 x 16) as 0x00RRGGBB pixels, row by
   row from the top; the transparent colour (0) becomes background. False
   when the save has no icon. */
bool SaveIconPixels(const uint8_t *card, size_t size, const CardSave &save, uint32_t background,
                    uint32_t *pixels);

/* The file name of a new card from what the user typed: blanks around it
   dropped, ".mcd" added unless it ends so (in any case). False for an
   empty name, one holding \ / : * ? " < > | or a control character, and
   one that does not fit dst. */
bool NewCardFileName(const char *typed, char *dst, size_t dstSize);

#endif
