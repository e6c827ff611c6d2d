/* Reading a file from the root folder of an ISO 9660 file system, and what
 * a PlayStation disc's SYSTEM.CNF says: its boot program and the region of
 * the product code that begins the program's name. Written once for the
 * CD plugins' dialogs and the emulator stand-in: the sectors come from
 * whoever calls, through a read function.
 *
 * Every number read from the disc is checked before it is used: the
 * records of a folder stay inside their sector, a folder or file is read
 * only as far as the caller's limits go. */
#ifndef CD_ISO9660_H
#define CD_ISO9660_H

#include <stddef.h>
#include <stdint.h>

/* Fills data with the 2048 bytes of user data of the file system's sector
   number sector (16 holds the primary volume descriptor). False when the
   sector cannot be had. */
typedef bool (*IsoSectorFn)(void *context, int32_t sector, uint8_t data[2048]);

/* Reads at most dstSize bytes of the file with the given name (such as
   "SYSTEM.CNF"; the ";1" version and letter case do not matter) from the
   root folder into dst; *got receives how many. False when there is no ISO
   9660 file system, no such file, or a sector cannot be read. */
bool IsoReadRootFile(IsoSectorFn read, void *context, const char *name, uint8_t *dst,
                     uint32_t dstSize, uint32_t *got);

/* The "BOOT = ..." line of a SYSTEM.CNF text, without the line end and
   without blanks around it. False when the text has none (or it is too
   long for line). */
bool CnfBootLine(const char *text, size_t length, char *line, size_t lineSize);
/* The program of a BOOT line: what follows "=", without blanks ("cdrom:\
   SLUS_004.05;1"). */
bool BootProgram(const char *bootLine, char *program, size_t programSize);
/* "America", "Europe" or "Japan" (the configurator's country names) for a
   boot program whose name begins with a product code of that region, null
   for any other. */
const char *BootRegion(const char *program);

/* SYSTEM.CNF's BOOT line of the file system, read through read: true with
   the line, false when there is no such file or line. */
bool ReadBootLine(IsoSectorFn read, void *context, char *line, size_t lineSize);

#endif
