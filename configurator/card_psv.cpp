/* The PS3's single save (.psv) of a PlayStation save: a header of 0x84
 * bytes ("\0VSP", the PS3's key seed and signature, which are not checked,
 * the kind, the save's length and place, its file name), then the save's
 * blocks. Only read. */
#include <string.h>

#include "card_format.h"

static const uint8_t kSignature[4] = { 0x00, 'V', 'S', 'P' };
enum {
    PSV_KIND = 0x3C,     /* 32 bits: 1 for a PlayStation save, 2 for a PS2 one */
    PSV_LENGTH = 0x40,   /* 32 bits: the save's bytes */
    PSV_OFFSET = 0x44,   /* 32 bits: where they begin */
    PSV_NAME = 0x64,     /* 20 bytes: the save's file name */
    PSV_HEADER = 0x84,
};

static uint32_t Get32(const uint8_t *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

static int Recognise(const uint8_t *bytes, size_t size)
{
    return size >= sizeof kSignature && memcmp(bytes, kSignature, sizeof kSignature) == 0
               ? CARD_BY_SIGNATURE
               : CARD_NOT_MINE;
}

static const char *Read(const uint8_t *bytes, size_t size, const wchar_t *, uint8_t *mcs,
                        size_t *mcsSize)
{
    if (size < PSV_HEADER)
        return "its header is cut short";
    if (Get32(bytes + PSV_KIND) != 1)
        return "it holds no PlayStation save";
    uint32_t length = Get32(bytes + PSV_LENGTH), offset = Get32(bytes + PSV_OFFSET);
    if (length == 0 || length % CARD_BLOCK_SIZE != 0 || length / CARD_BLOCK_SIZE > CARD_SAVE_BLOCKS)
        return "its save is not 1 to 15 blocks long";
    if (offset < PSV_HEADER || offset > size || size - offset < length)
        return "its save lies beyond the file's end";
    char name[CARD_NAME_SIZE];
    memcpy(name, bytes + PSV_NAME, CARD_NAME_SIZE - 1);
    name[CARD_NAME_SIZE - 1] = '\0';
    if (!name[0])
        return "it has no file name";
    const uint8_t *blocks[CARD_SAVE_BLOCKS];
    int count = static_cast<int>(length / CARD_BLOCK_SIZE);
    for (int i = 0; i < count; i++)
        blocks[i] = bytes + offset + i * CARD_BLOCK_SIZE;
    *mcsSize = MakeSaveFile(blocks, count, name, mcs);
    return NULL;
}

extern const CardFileFormat kPsvSave = { "a PS3 single save (.psv)", CARD_FILE_SAVE, Recognise, Read, NULL };
