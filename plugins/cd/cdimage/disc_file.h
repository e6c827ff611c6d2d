/* The one way cdimage's readers reach the bytes of their files: a file
 * opened by its UTF-16 path with the wide-character functions, read-only
 * and shared for reading, writing and deleting (the user may copy, move or
 * replace an image while the emulator has it open), read at 64-bit offsets.
 * A run of reads that follow each other costs one ReadFile each: the file's
 * position is moved only when the run breaks. */
#ifndef DISC_FILE_H
#define DISC_FILE_H

#include <stdint.h>
#include <wchar.h>

enum DiscFileStatus {
    DISC_FILE_OK,
    DISC_FILE_MISSING,     /* no such file or folder on the way */
    DISC_FILE_FOLDER,      /* the path names a folder */
    DISC_FILE_UNREADABLE,  /* there, but cannot be opened or sized */
};

struct DiscFile {
    void *handle;          /* the system's handle; null while closed */
    int64_t size;          /* bytes the file gives */
    int64_t position;      /* where the handle's position stands; -1 unknown */
    /* A file kept packed on the disk (its bytes made on reading) keeps its
       own state here; null for a plain file. */
    void *unpacked;
};

/* Opens path into file (closed or zeroed before). DISC_FILE_OK with the
   file open; any other status with nothing open. */
int DiscFileOpen(DiscFile *file, const wchar_t *path);
int64_t DiscFileSize(const DiscFile *file);
/* Reads up to size bytes from offset into dst: the bytes had, fewer than
   size at the end of the file or when the read fails. */
uint32_t DiscFileRead(DiscFile *file, int64_t offset, void *dst, uint32_t size);
void DiscFileClose(DiscFile *file);

#endif
