/* The image formats cdimage reads: one row each, one reader file each
 * (disc_<format>.cpp). A file is the first row's whose magic bytes it
 * begins with; failing that, the first row's whose extension it has;
 * failing that, the last row's, the format with no mark of its own.
 * Adding a format is its reader's file and its row here. */
#include "disc.h"

#include "kova_str.h"

extern const DiscFormat kDiscChd;
extern const DiscFormat kDiscCue;
extern const DiscFormat kDiscCcd;
extern const DiscFormat kDiscBin;
extern const DiscFormat kDiscIso;
extern const DiscFormat kDiscPbp;
extern const DiscFormat kDiscM3u;

static const DiscFormat *const kFormats[] = {
    &kDiscChd,   /* "MComprHD", or extension .chd */
    &kDiscCue,   /* text: extension .cue, or a CUE sheet's first keyword */
    &kDiscCcd,   /* CloneCD: extension .ccd, or its first section [CloneCD] */
    &kDiscPbp,   /* "\0PBP", or extension .pbp */
    &kDiscM3u,   /* a playlist: extension .m3u or .m3u8 */
    &kDiscBin,   /* a lone BIN: the sync pattern of a raw sector */
    &kDiscIso,   /* 2048-byte sectors: anything else */
};

const DiscFormat *DiscFormatOf(const wchar_t *path, const uint8_t *head, size_t got)
{
    for (size_t i = 0; i < dimof(kFormats); i++) {
        if (kFormats[i]->recognise(L"", head, got))
            return kFormats[i];
    }
    for (size_t i = 0; i < dimof(kFormats); i++) {
        if (kFormats[i]->recognise(path, head, 0))
            return kFormats[i];
    }
    return kFormats[dimof(kFormats) - 1];
}
