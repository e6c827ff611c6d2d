#include "ecm_stream.h"

#include <stdlib.h>
#include <string.h>

#include "cd_sector.h"
#include "kova_str.h"

/* Bytes of image and bytes kept per unit of each record type. */
static const uint32_t kImageUnit[4] = {1, CD_RAW_SECTOR_SIZE, CD_MODE2_SECTOR_SIZE, CD_MODE2_SECTOR_SIZE};
static const uint32_t kKeptUnit[4] = {1, 3 + 2048, 4 + 2048, 4 + CD_FORM2_DATA_SIZE};

#define TYPE_SHIFT 30
#define START_MASK ((1u << TYPE_SHIFT) - 1)

/* What indexing reads the record headers through: most records are a
   sector or less apart, so one window holds many headers. */
static uint8_t Window[1 << 16];
/* The kept bytes of one read, fetched at once when they fit: a read of
   ECM_SPAN_IMAGE bytes or less keeps fewer bytes than it decodes, plus
   the record headers (a longer one, or one of many tiny records, is read
   a piece at a time). */
static uint8_t Span[ECM_SPAN_IMAGE + (1 << 13)];

bool EcmRecognise(const uint8_t *head, size_t got)
{
    return got >= ECM_MAGIC_SIZE && memcmp(head, "ECM\0", ECM_MAGIC_SIZE) == 0;
}

void EcmFree(EcmIndex *index)
{
    free(index->records);
    memset(index, 0, sizeof *index);
}

struct HeaderReader {
    const EcmSource *source;
    int64_t fileSize;
    int64_t base;      /* file offset of Window[0] */
    uint32_t got;      /* bytes of the window read */
};

static bool HeaderByte(HeaderReader *reader, int64_t at, uint8_t *value)
{
    if (at >= reader->fileSize)
        return false;
    if (at < reader->base || at >= reader->base + reader->got) {
        int64_t left = reader->fileSize - at;
        uint32_t want = left < static_cast<int64_t>(sizeof Window) ? static_cast<uint32_t>(left)
                                                                   : sizeof Window;
        reader->got = 0;
        if (!reader->source->readAt(reader->source->file, at, Window, want))
            return false;
        reader->base = at;
        reader->got = want;
    }
    *value = Window[at - reader->base];
    return true;
}

bool EcmIndexStream(EcmIndex *index, const EcmSource *source, int64_t fileSize, char *problem,
                    size_t problemSize)
{
    memset(index, 0, sizeof *index);
    uint8_t magic[ECM_MAGIC_SIZE];
    if (fileSize < ECM_MAGIC_SIZE || !source->readAt(source->file, 0, magic, ECM_MAGIC_SIZE) ||
        !EcmRecognise(magic, ECM_MAGIC_SIZE)) {
        BufSet(problem, problemSize, "no ECM file");
        return false;
    }
    if (fileSize > 0xFFFFFFFFLL) {
        BufSet(problem, problemSize, "the ECM file is larger than any of a CD");
        return false;
    }
    HeaderReader reader = {source, fileSize, 0, 0};
    uint32_t capacity = 0;
    int64_t at = ECM_MAGIC_SIZE;
    uint32_t size = 0;
    for (;;) {
        int64_t recordAt = at;
        uint8_t c;
        if (!HeaderByte(&reader, at++, &c)) {
            BufFormat(problem, problemSize, "the ECM records end without their end mark at byte %lld",
                      static_cast<long long>(recordAt));
            break;
        }
        uint32_t type = c & 3;
        uint64_t count = (c >> 2) & 0x1F;
        int shift = 5;
        bool complete = true;
        while (complete && (c & 0x80)) {
            if (shift > 26 || !HeaderByte(&reader, at++, &c))
                complete = false;
            else
                count |= static_cast<uint64_t>(c & 0x7F) << shift;
            shift += 7;
        }
        if (!complete) {
            BufFormat(problem, problemSize, "the ECM record at byte %lld is cut or damaged",
                      static_cast<long long>(recordAt));
            break;
        }
        if (count == 0xFFFFFFFFu) {
            if (at + 4 > fileSize) {
                BufSet(problem, problemSize, "the ECM file ends without the image's checksum");
                break;
            }
            index->checksumAt = static_cast<uint32_t>(at);
            index->size = size;
            if (!index->records)
                index->records = static_cast<EcmRecord *>(malloc(sizeof(EcmRecord)));
            if (!index->records) {
                BufSet(problem, problemSize, "no memory for the ECM file's index");
                break;
            }
            index->records[index->count].start = size;
            index->records[index->count].stored = static_cast<uint32_t>(at);
            /* The room doubling left over is given back: a block of its own
               (a shrinking realloc keeps the whole block's address space). */
            size_t used = (index->count + 1) * sizeof(EcmRecord);
            EcmRecord *fitted = static_cast<EcmRecord *>(malloc(used));
            if (fitted) {
                memcpy(fitted, index->records, used);
                free(index->records);
                index->records = fitted;
            }
            return true;
        }
        count++;
        uint64_t kept = count * kKeptUnit[type];
        uint64_t image = count * kImageUnit[type];
        if (count > 0x80000000u || static_cast<uint64_t>(at) + kept > static_cast<uint64_t>(fileSize)) {
            BufFormat(problem, problemSize, "the ECM record at byte %lld runs past the end of the file",
                      static_cast<long long>(recordAt));
            break;
        }
        if (size + image > ECM_MAX_IMAGE_SIZE) {
            BufSet(problem, problemSize, "the ECM file holds more than a CD");
            break;
        }
        /* One entry is kept free for the end. */
        if (index->count + 1 >= capacity) {
            if (capacity >= ECM_MAX_RECORDS) {
                BufSet(problem, problemSize, "the ECM file has more records than a disc image");
                break;
            }
            uint32_t more = capacity ? capacity * 2 : 4096;
            EcmRecord *grown = static_cast<EcmRecord *>(realloc(index->records, more * sizeof(EcmRecord)));
            if (!grown) {
                BufSet(problem, problemSize, "no memory for the ECM file's index");
                break;
            }
            index->records = grown;
            capacity = more;
        }
        index->records[index->count].start = size | (type << TYPE_SHIFT);
        index->records[index->count].stored = static_cast<uint32_t>(at);
        index->count++;
        at += static_cast<int64_t>(kept);
        size += static_cast<uint32_t>(image);
    }
    EcmFree(index);
    return false;
}

static uint32_t RecordStart(const EcmIndex *index, uint32_t r)
{
    return index->records[r].start & START_MASK;
}

/* The record that holds image byte offset (< size). */
static uint32_t FindRecord(const EcmIndex *index, uint32_t offset)
{
    uint32_t low = 0, high = index->count - 1;
    while (low < high) {
        uint32_t middle = low + (high - low + 1) / 2;
        if (RecordStart(index, middle) <= offset)
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

/* The file bytes that hold image byte offset: from *from to *to (the
   whole unit of a sector record). */
static void KeptPlace(const EcmIndex *index, uint32_t offset, int64_t *from, int64_t *to)
{
    uint32_t r = FindRecord(index, offset);
    uint32_t type = index->records[r].start >> TYPE_SHIFT;
    uint32_t unit = (offset - RecordStart(index, r)) / kImageUnit[type];
    *from = index->records[r].stored + static_cast<int64_t>(unit) * kKeptUnit[type];
    *to = *from + kKeptUnit[type];
}

struct Fetcher {
    const EcmSource *source;
    int64_t spanAt;
    uint32_t spanSize;   /* 0: every piece read from the file */
};

static bool Fetch(const Fetcher *fetcher, int64_t at, uint8_t *dst, uint32_t size)
{
    if (fetcher->spanSize && at >= fetcher->spanAt && at + size <= fetcher->spanAt + fetcher->spanSize) {
        memcpy(dst, Span + (at - fetcher->spanAt), size);
        return true;
    }
    return fetcher->source->readAt(fetcher->source->file, at, dst, size);
}

static void PutLe32(uint8_t *p, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

/* A whole sector from the bytes a record keeps of it. */
static void RebuildSector(uint32_t type, const uint8_t *kept, uint8_t raw[CD_RAW_SECTOR_SIZE])
{
    memset(raw, 0, CD_RAW_SECTOR_SIZE);
    if (type == 1) {
        SectorWriteSyncHeader(raw, 0, 1);
        memcpy(raw + CD_RAW_HEADER_OFFSET, kept, 3);
        memcpy(raw + CD_MODE1_DATA_OFFSET, kept + 3, 2048);
        PutLe32(raw + CD_MODE1_EDC_OFFSET, SectorEdc(0, raw, CD_MODE1_EDC_OFFSET));
        SectorWriteEcc(raw, false);
        return;
    }
    /* Mode 2: the subheader is kept once and stands twice. */
    memcpy(raw + CD_RAW_SUBHEADER_OFFSET, kept, 4);
    memcpy(raw + CD_RAW_SUBHEADER_OFFSET + 4, kept, 4);
    if (type == 2) {
        memcpy(raw + CD_FORM1_DATA_OFFSET, kept + 4, 2048);
        SectorFinishForm1(raw, 0);
    } else {
        memcpy(raw + CD_FORM1_DATA_OFFSET, kept + 4, CD_FORM2_DATA_SIZE);
        SectorFinishForm2(raw, 0);
    }
}

bool EcmRead(const EcmIndex *index, const EcmSource *source, uint32_t offset, void *dst,
             uint32_t size)
{
    if (offset > index->size || size > index->size - offset)
        return false;
    if (size == 0)
        return true;
    Fetcher fetcher = {source, 0, 0};
    int64_t first, last, ignored;
    KeptPlace(index, offset, &first, &ignored);
    KeptPlace(index, offset + size - 1, &ignored, &last);
    if (last - first <= static_cast<int64_t>(sizeof Span)) {
        if (!source->readAt(source->file, first, Span, static_cast<uint32_t>(last - first)))
            return false;
        fetcher.spanAt = first;
        fetcher.spanSize = static_cast<uint32_t>(last - first);
    }
    uint8_t *out = static_cast<uint8_t *>(dst);
    uint32_t r = FindRecord(index, offset);
    while (size) {
        while (offset >= RecordStart(index, r + 1))
            r++;
        uint32_t type = index->records[r].start >> TYPE_SHIFT;
        uint32_t into = offset - RecordStart(index, r);
        int64_t stored = index->records[r].stored;
        uint32_t n;
        if (type == 0) {
            n = RecordStart(index, r + 1) - offset;
            if (n > size)
                n = size;
            if (!Fetch(&fetcher, stored + into, out, n))
                return false;
        } else {
            uint8_t kept[4 + CD_FORM2_DATA_SIZE];
            uint8_t raw[CD_RAW_SECTOR_SIZE];
            uint32_t unit = into / kImageUnit[type], within = into % kImageUnit[type];
            if (!Fetch(&fetcher, stored + static_cast<int64_t>(unit) * kKeptUnit[type], kept, kKeptUnit[type]))
                return false;
            RebuildSector(type, kept, raw);
            n = kImageUnit[type] - within;
            if (n > size)
                n = size;
            /* Mode 2 records hold sectors without sync and header. */
            memcpy(out, raw + (type == 1 ? 0 : CD_RAW_SUBHEADER_OFFSET) + within, n);
        }
        offset += n;
        out += n;
        size -= n;
    }
    return true;
}

void EcmVerifyStart(EcmVerify *verify)
{
    verify->done = 0;
    verify->edc = 0;
}

int EcmVerifyStep(EcmVerify *verify, const EcmIndex *index, const EcmSource *source,
                  uint8_t *buffer, uint32_t bufferSize)
{
    if (verify->done < index->size) {
        uint32_t n = index->size - verify->done;
        if (n > bufferSize)
            n = bufferSize;
        if (!EcmRead(index, source, verify->done, buffer, n))
            return ECM_VERIFY_UNREADABLE;
        verify->edc = SectorEdc(verify->edc, buffer, n);
        verify->done += n;
        if (verify->done < index->size)
            return ECM_VERIFY_MORE;
    }
    uint8_t stored[4];
    if (!source->readAt(source->file, index->checksumAt, stored, 4))
        return ECM_VERIFY_UNREADABLE;
    uint32_t expected = stored[0] | (stored[1] << 8) | (stored[2] << 16) | (static_cast<uint32_t>(stored[3]) << 24);
    return expected == verify->edc ? ECM_VERIFY_GOOD : ECM_VERIFY_BAD;
}
