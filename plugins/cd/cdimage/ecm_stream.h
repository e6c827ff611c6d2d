/* ECM streams: a raw image with the parts of its sectors that can be
 * rebuilt (sync, header, EDC, ECC) left out. After the magic "ECM\0" comes
 * a run of records, each a count and a type, then the bytes it keeps:
 *   type 0: count bytes as they are;
 *   type 1: count Mode 1 sectors, each its 3 address bytes and 2048 data
 *           bytes (2352 bytes of image each);
 *   type 2: count Mode 2 Form 1 sectors without sync and header, each its
 *           4 subheader bytes (stored once) and 2048 data bytes (2336);
 *   type 3: the same for Form 2, with 2324 data bytes (2336).
 * A count of 0xFFFFFFFF ends the records; the EDC (the sector CRC) of the
 * whole image follows as 4 bytes, little-endian.
 *
 * Opening indexes the records once without decoding anything: one 8-byte
 * entry per record, at most ECM_MAX_RECORDS of them (a PlayStation disc
 * takes two a sector, one for the sync and header a Mode 2 sector keeps,
 * one for the rest: under 6 MB for a 700 MB image). A read then decodes
 * only the sectors it touches. The stream is untrusted: every record is
 * checked against the file while it is indexed. */
#ifndef ECM_STREAM_H
#define ECM_STREAM_H

#include <stddef.h>
#include <stdint.h>

#define ECM_MAGIC_SIZE 4
/* The largest image a CD holds (99:59:74 of raw sectors) */
#define ECM_MAX_IMAGE_SIZE (100u * 60u * 75u * 2352u)
#define ECM_MAX_RECORDS (1u << 21)

/* The longest read whose kept bytes EcmRead fetches with one read of the
   file; Verify steps by it. */
#define ECM_SPAN_IMAGE (1u << 16)

/* The ECM file: read size bytes at offset into dst, true only when all of
   them were read. */
struct EcmSource {
    void *file;
    bool (*readAt)(void *file, int64_t offset, void *dst, uint32_t size);
};

struct EcmRecord {
    uint32_t start;   /* image offset of its first byte; type in the top two bits */
    uint32_t stored;  /* file offset of its kept bytes */
};

struct EcmIndex {
    uint32_t count;          /* records; entry count is the end: start = size */
    EcmRecord *records;      /* count + 1 entries, malloc'd */
    uint32_t size;           /* bytes of the image */
    uint32_t checksumAt;     /* file offset of the image's EDC */
};

/* True for a file that begins with the magic. */
bool EcmRecognise(const uint8_t *head, size_t got);

/* Indexes the stream of a file of fileSize bytes. False with a line in
   problem (and nothing allocated) for a file that is no whole stream. */
bool EcmIndexStream(EcmIndex *index, const EcmSource *source, int64_t fileSize, char *problem,
                    size_t problemSize);
void EcmFree(EcmIndex *index);

/* size bytes of the image from offset, decoded. False when they lie past
   its end or the file cannot be read. */
bool EcmRead(const EcmIndex *index, const EcmSource *source, uint32_t offset, void *dst,
             uint32_t size);

/* The whole-image check, a step at a time, so that a dialog can show its
   progress and stop it: Start, then Step until it says other than
   ECM_VERIFY_MORE. */
enum EcmVerifyResult { ECM_VERIFY_MORE, ECM_VERIFY_GOOD, ECM_VERIFY_BAD, ECM_VERIFY_UNREADABLE };
struct EcmVerify {
    uint32_t done;           /* image bytes checked */
    uint32_t edc;
};
void EcmVerifyStart(EcmVerify *verify);
/* Checks up to bufferSize more bytes, decoded into buffer. */
int EcmVerifyStep(EcmVerify *verify, const EcmIndex *index, const EcmSource *source,
                  uint8_t *buffer, uint32_t bufferSize);

#endif
