/* The CUE sheet reader's one question beyond the reader interface, for its
 * tests: where a disc sector's bytes lie. */
#ifndef DISC_CUE_H
#define DISC_CUE_H

#include "disc.h"

/* The file (null for a gap that no file holds) and byte offset of sector
   on a disc open by the CUE sheet reader. False outside the disc. */
bool CueSectorPlace(const Disc *disc, int32_t sector, const wchar_t **file, int64_t *offset);

#endif
