/* Playlists (.m3u, .m3u8): the images of the discs of one game, one a
 * line, as the text of the playlist names them. */
#ifndef DISC_M3U_H
#define DISC_M3U_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#include "disc.h"

/* Some hundred lines of names; a larger file is not taken for a playlist. */
#define M3U_MAX_SIZE 65536

struct M3uEntry {
    int line;                      /* 1 for the first line */
    wchar_t path[DISC_PATH_SIZE];  /* full path, "." and ".." resolved */
};

/* What is wrong with an entry, for its summary line; M3U_GOOD when its
   image can be opened. */
enum M3uFault { M3U_GOOD, M3U_MISSING, M3U_FOLDER, M3U_ITSELF, M3U_PLAYLIST, M3U_TOO_LONG };

/* The images the playlist's text names, in order, resolved against the
   playlist's folder: blank lines and lines starting with '#' are passed
   over, '/' is taken for '\'. text: its bytes, UTF-8 (with or without a
   byte-order mark), UTF-16 with a byte-order mark, or else the system's
   ANSI code page. Returns the number of lines naming an image (entries
   holds the first max of them); a name whose full path does not fit gets
   an empty path. */
int M3uEntries(const wchar_t *playlist, const uint8_t *text, size_t length, M3uEntry *entries, int max);
/* Whether the entry names an image the playlist can open. */
int M3uCheck(const wchar_t *playlist, const M3uEntry *entry);

#endif
