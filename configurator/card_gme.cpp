/* The DexDrive card (.gme): a header of 3,904 bytes that begins
 * "123-456-STD" (the reader's own notes on the saves), then the raw card.
 * Only read: the dialog writes it as a new raw card. */
#include "card_format.h"

static const char kSignature[] = "123-456-STD";
const size_t GME_HEADER = 3904;

static int Recognise(const uint8_t *bytes, size_t size)
{
    return RecogniseCardAt(bytes, size, kSignature, sizeof kSignature - 1, GME_HEADER);
}

static const char *Read(const uint8_t *bytes, size_t size, const wchar_t *, uint8_t *card,
                        size_t *cardSize)
{
    return ReadCardAt(bytes, size, GME_HEADER, card, cardSize);
}

extern const CardFileFormat kGmeCard = { "a DexDrive card (.gme)", CARD_FILE_CARD, Recognise, Read, NULL };
