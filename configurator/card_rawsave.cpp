/* The raw save: a save's blocks alone, 1 to 15 of 8 KB, the first
 * beginning "SC". The file holds no name: the save is named after the
 * file (without its extension), as the tools that write such files name
 * them. Only read. */
#include <string.h>

#include "card_format.h"

static int Recognise(const uint8_t *bytes, size_t size)
{
    return size >= CARD_BLOCK_SIZE && size % CARD_BLOCK_SIZE == 0 &&
                   size / CARD_BLOCK_SIZE <= CARD_SAVE_BLOCKS && bytes[0] == 'S' && bytes[1] == 'C'
               ? CARD_BY_SIGNATURE
               : CARD_NOT_MINE;
}

static const char *Read(const uint8_t *bytes, size_t size, const wchar_t *fileName, uint8_t *mcs,
                        size_t *mcsSize)
{
    /* Its blocks are counted from the length: only what Recognise takes
       (1 to 15 whole blocks) is read, whoever calls. */
    if (Recognise(bytes, size) == CARD_NOT_MINE)
        return "it is not 1 to 15 whole blocks of a save";
    /* A save's name is 1 to 20 characters of plain ASCII. */
    char name[CARD_NAME_SIZE];
    size_t length = wcslen(fileName);
    if (length == 0 || length >= CARD_NAME_SIZE)
        return "its file name, which names the save, is not 1 to 20 characters long";
    for (size_t i = 0; i <= length; i++) {
        if (i < length && (fileName[i] < 0x20 || fileName[i] > 0x7E))
            return "its file name, which names the save, has characters other than plain ASCII";
        name[i] = static_cast<char>(fileName[i]);
    }
    const uint8_t *blocks[CARD_SAVE_BLOCKS];
    int count = static_cast<int>(size / CARD_BLOCK_SIZE);
    for (int i = 0; i < count; i++)
        blocks[i] = bytes + i * CARD_BLOCK_SIZE;
    *mcsSize = MakeSaveFile(blocks, count, name, mcs);
    return NULL;
}

extern const CardFileFormat kRawSave = { "a raw save", CARD_FILE_SAVE, Recognise, Read, NULL };
