/* Rebuilding the parts of a raw CD-ROM sector that image formats leave out:
 * the sync pattern, the header, and the error detection (EDC, a CRC-32) and
 * correction codes (ECC, the P and Q Reed-Solomon parities of ECMA-130).
 * A rebuilt sector is byte for byte what a disc holds, so a reader that
 * stores a sector without them gives back the same bytes as a BIN of the
 * same disc. */
#ifndef CD_SECTOR_H
#define CD_SECTOR_H

#include <stddef.h>
#include <stdint.h>

#include "cd_disc.h"

/* Places in a raw 2352-byte sector. */
#define CD_RAW_HEADER_OFFSET 12
#define CD_RAW_MODE_OFFSET 15
#define CD_RAW_SUBHEADER_OFFSET 16
#define CD_MODE1_DATA_OFFSET 16
#define CD_MODE1_EDC_OFFSET 2064
#define CD_FORM1_DATA_OFFSET 24
#define CD_FORM1_EDC_OFFSET 2072
#define CD_FORM2_DATA_SIZE 2324
#define CD_FORM2_EDC_OFFSET 2348
#define CD_ECC_P_OFFSET 2076
#define CD_ECC_Q_OFFSET 2248

/* The CRC-32 of EDC fields (polynomial 0x8001801B, bits taken low first),
   continued from edc (0 to start). */
uint32_t SectorEdc(uint32_t edc, const uint8_t *data, size_t size);

/* The 12 sync bytes and the header: the sector's address in BCD and mode. */
void SectorWriteSyncHeader(uint8_t raw[CD_RAW_SECTOR_SIZE], int32_t sector, uint8_t mode);

/* Completes a sector whose user data is in place: Mode 1 (data at 16):
   sync, header, EDC, the zero bytes and ECC. Mode 2 Form 1 (subheader at
   16, data at 24): sync, header, EDC and ECC. Mode 2 Form 2 (subheader at
   16, data at 24): sync, header and EDC (Form 2 has no ECC). The Mode 2
   ones take the subheader as it stands. */
void SectorFinishMode1(uint8_t raw[CD_RAW_SECTOR_SIZE], int32_t sector);
void SectorFinishForm1(uint8_t raw[CD_RAW_SECTOR_SIZE], int32_t sector);
void SectorFinishForm2(uint8_t raw[CD_RAW_SECTOR_SIZE], int32_t sector);

/* The P and Q parities of a sector whose header (or, for Mode 2, zeros in
   its place) and bytes 16..2075 are in place. zeroAddress: compute as for
   Mode 2, with the four header bytes taken as zero. */
void SectorWriteEcc(uint8_t raw[CD_RAW_SECTOR_SIZE], bool zeroAddress);

#endif
