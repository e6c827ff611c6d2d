/* The raw card: the card's 131,072 bytes and nothing else (.mcd, and what
 * other tools name .mcr, .mc, .bin, ...). Whatever no other format knows is
 * read as a raw card, damaged where it is no card. */
#include <string.h>

#include "card_format.h"

static int Recognise(const uint8_t *bytes, size_t size)
{
    if (size >= 2 && bytes[0] == 'M' && bytes[1] == 'C')
        return CARD_BY_SIGNATURE;
    return size == CARD_SIZE ? CARD_BY_LENGTH : CARD_LAST_RESORT;
}

const char *ReadCardAt(const uint8_t *bytes, size_t size, size_t offset, uint8_t *card,
                       size_t *cardSize)
{
    size_t length = size > offset ? size - offset : 0;
    memset(card, 0, CARD_SIZE);
    memcpy(card, bytes + (size > offset ? offset : size), length > CARD_SIZE ? CARD_SIZE : length);
    *cardSize = length > CARD_SIZE ? static_cast<size_t>(CARD_SIZE) + 1 : length;
    return NULL;
}

int RecogniseCardAt(const uint8_t *bytes, size_t size, const void *signature, size_t signatureSize,
                    size_t offset)
{
    if (size >= signatureSize && memcmp(bytes, signature, signatureSize) == 0)
        return CARD_BY_SIGNATURE;
    return size == offset + CARD_SIZE ? CARD_BY_LENGTH : CARD_NOT_MINE;
}

static const char *Read(const uint8_t *bytes, size_t size, const wchar_t *, uint8_t *card,
                        size_t *cardSize)
{
    return ReadCardAt(bytes, size, 0, card, cardSize);
}

static size_t Write(const uint8_t *card, size_t, uint8_t *out)
{
    memcpy(out, card, CARD_SIZE);
    return CARD_SIZE;
}

extern const CardFileFormat kRawCard = { "a raw card", CARD_FILE_CARD, Recognise, Read, Write };
