/* The table of card file formats: see card_format.h. A new format is one
 * file and one row here. */
#include "card_format.h"

static const CardFileFormat *const kFormats[] = {
    &kRawCard,
    &kGmeCard,
    &kVmpCard,
    &kMcsSave,
    &kPsvSave,
    &kRawSave,
};

const CardFileFormat *RecogniseCardFile(CardFileKind kind, const uint8_t *bytes, size_t size,
                                        int *sureness)
{
    const CardFileFormat *best = NULL;
    int bestScore = CARD_NOT_MINE;
    for (const CardFileFormat *format : kFormats) {
        if (format->kind != kind)
            continue;
        int score = format->recognise(bytes, size);
        if (score > bestScore) {
            best = format;
            bestScore = score;
        }
    }
    if (sureness)
        *sureness = bestScore;
    return best;
}
