/* The .mcs save: the save's directory frame, then its blocks. Files that
 * no other save format knows are checked as .mcs files, so the user hears
 * why they are none. */
#include <string.h>

#include "card_format.h"

static int Recognise(const uint8_t *bytes, size_t size)
{
    if (size >= CARD_FRAME_SIZE && bytes[0] == CARD_STATE_FIRST && !SaveFileProblem(bytes, size))
        return CARD_BY_SIGNATURE;
    return CARD_LAST_RESORT;
}

static const char *Read(const uint8_t *bytes, size_t size, const wchar_t *, uint8_t *mcs,
                        size_t *mcsSize)
{
    const char *problem = SaveFileProblem(bytes, size);
    if (problem)
        return problem;
    memcpy(mcs, bytes, size);
    *mcsSize = size;
    return NULL;
}

static size_t Write(const uint8_t *mcs, size_t mcsSize, uint8_t *out)
{
    memcpy(out, mcs, mcsSize);
    return mcsSize;
}

extern const CardFileFormat kMcsSave = { "a single save (.mcs)", CARD_FILE_SAVE, Recognise, Read, Write };
