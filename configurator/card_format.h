/* Card files: the kinds of file that memory cards and single saves come
 * in. Each format is one file (card_raw.cpp, card_mcs.cpp, ...) that fills
 * one CardFileFormat; card_format.cpp holds the table they are chosen
 * from. A format recognises its bytes, reads them into the 131,072-byte
 * card (card_image.h) or a save's .mcs bytes, and writes them back where
 * the format can be written. No window and no file: the Memory Cards
 * dialog reads and writes the files. */
#ifndef KOVACFG_CARD_FORMAT_H
#define KOVACFG_CARD_FORMAT_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#include "card_image.h"

enum CardFileKind {
    CARD_FILE_CARD,  /* a whole card */
    CARD_FILE_SAVE,  /* one save */
};

/* How sure a format is that bytes are its own; the surest one reads them. */
enum {
    CARD_NOT_MINE = 0,
    CARD_LAST_RESORT = 1,  /* read as this when nothing else knows them */
    CARD_BY_LENGTH = 2,
    CARD_BY_SIGNATURE = 3,
};

/* The most bytes of a card or save file that are read: the longest format
   and one byte more, to tell a longer file. */
const int CARD_FILE_MAX = 3904 + CARD_SIZE + 1;

struct CardFileFormat {
    const char *what;  /* for the user: "a DexDrive card (.gme)" */
    CardFileKind kind;
    /* size: the file's length, at most CARD_FILE_MAX (bytes hold them all). */
    int (*recognise)(const uint8_t *bytes, size_t size);
    /* A card: the card into out (CARD_SIZE bytes, what the file lacks 0),
       *outSize the length ListCard is to take (CARD_SIZE + 1 for a longer
       one). A save: its .mcs bytes into out (CARD_MCS_MAX), *outSize their
       length. name: the file's name without folder and extension. NULL,
       or why the bytes are not such a file. */
    const char *(*read)(const uint8_t *bytes, size_t size, const wchar_t *name, uint8_t *out,
                        size_t *outSize);
    /* The file's bytes for a card (CARD_SIZE bytes) or a save's .mcs bytes
       into out (CARD_FILE_MAX), their length; null for a format that is
       only read. */
    size_t (*write)(const uint8_t *in, size_t inSize, uint8_t *out);
};

/* The format of the kind that is surest of the bytes (there is always one:
   the raw card and the .mcs save read anything as a last resort);
   *sureness, when asked, how sure it is (CARD_LAST_RESORT ...). */
const CardFileFormat *RecogniseCardFile(CardFileKind kind, const uint8_t *bytes, size_t size,
                                        int *sureness = NULL);

/* A card that begins at offset of the file's bytes, read as a raw card
   (what the file lacks of it is damage that ListCard reports). */
const char *ReadCardAt(const uint8_t *bytes, size_t size, size_t offset, uint8_t *card,
                       size_t *cardSize);

/* How sure a container of a raw card at offset, whose file begins with
   the signature, is of the bytes: by the signature, else by the length. */
int RecogniseCardAt(const uint8_t *bytes, size_t size, const void *signature, size_t signatureSize,
                    size_t offset);

/* The formats, each in a file of its own. */
extern const CardFileFormat kRawCard;   /* card_raw.cpp */
extern const CardFileFormat kGmeCard;   /* card_gme.cpp */
extern const CardFileFormat kVmpCard;   /* card_vmp.cpp */
extern const CardFileFormat kMcsSave;   /* card_mcs.cpp */
extern const CardFileFormat kPsvSave;   /* card_psv.cpp */
extern const CardFileFormat kRawSave;   /* card_rawsave.cpp */

#endif
