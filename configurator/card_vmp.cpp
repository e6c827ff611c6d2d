/* The PSP card (.vmp): a header of 128 bytes that begins "\0PMV" (with the
 * PSP's signature of the card, which is not checked), then the raw card.
 * Only read: the dialog writes it as a new raw card. */
#include "card_format.h"

static const uint8_t kSignature[4] = { 0x00, 'P', 'M', 'V' };
const size_t VMP_HEADER = 128;

static int Recognise(const uint8_t *bytes, size_t size)
{
    return RecogniseCardAt(bytes, size, kSignature, sizeof kSignature, VMP_HEADER);
}

static const char *Read(const uint8_t *bytes, size_t size, const wchar_t *, uint8_t *card,
                        size_t *cardSize)
{
    return ReadCardAt(bytes, size, VMP_HEADER, card, cardSize);
}

extern const CardFileFormat kVmpCard = { "a PSP card (.vmp)", CARD_FILE_CARD, Recognise, Read, NULL };
