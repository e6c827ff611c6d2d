/* Files kept as ECM streams (ecm_stream.h), read through disc_file as the
 * image they hold, so that no reader knows: a file that begins with the
 * ECM magic is indexed when it is opened, and each read decodes what it
 * covers. Also the one way to a file of an image that is there only as
 * NAME.ecm beside the NAME its image names. */
#ifndef DISC_FILE_ECM_H
#define DISC_FILE_ECM_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#include "disc_file.h"

/* For disc_file.cpp: the stream of a file open as it is stored (its first
   bytes ECM's magic), indexed. DISC_FILE_OK with the file giving the image
   from then on; DISC_FILE_DAMAGED with the reason in DiscFileProblem(). */
int EcmFileOpen(DiscFile *file, const wchar_t *path);
uint32_t EcmFileRead(DiscFile *file, int64_t offset, void *dst, uint32_t size);
void EcmFileClose(DiscFile *file);
/* The bytes of the file as stored; disc_file.cpp's plain read. */
uint32_t DiscFileReadStored(DiscFile *file, int64_t offset, void *dst, uint32_t size);

/* The ECM files opened since the last EcmFilesForget, each once: what the
   dialog's "Verify" checks. */
#define ECM_FILES_KEPT 8
void EcmFilesForget(void);
int EcmFilesOpened(void);
const wchar_t *EcmFileOpened(int index);

#endif
