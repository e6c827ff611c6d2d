/* The CD codecs of CHD files: how each lays a hunk out, and the
 * libraries that decode the parts (zlib for Deflate, liblzma, libFLAC,
 * libzstd). Every codec but cdfl stores a hunk as:
 *   a bit per frame (frames stored without sync and ECC),
 *   the length of the sector part (2 bytes, 3 for hunks of 64 KB or more),
 *   the sectors of all frames, compressed (cdlz: LZMA, cdzl: Deflate,
 *   cdzs: Zstandard),
 *   the subcode of all frames, compressed (Deflate; cdzs: Zstandard).
 * cdfl stores the sectors as a FLAC stream of 16-bit stereo samples
 * (big-endian, as the format keeps audio), then the subcode (Deflate). */
#include <stdlib.h>
#include <string.h>

#include <FLAC/stream_decoder.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include "cd_sector.h"
#include "chd_file.h"

/* A FLAC stream header for the codec's bare frames: STREAMINFO, the last
   block, 44.1 kHz, 2 channels, 16 bits, block sizes put in when used. */
static const uint8_t kFlacHeader[42] = {
    'f', 'L', 'a', 'C', 0x80, 0x00, 0x00, 0x22,
    0x00, 0x00, 0x00, 0x00,                          /* block sizes */
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,              /* frame sizes: unknown */
    0x0A, 0xC4, 0x42, 0xF0, 0x00, 0x00, 0x00, 0x00,  /* rate, channels, bits, samples */
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  /* MD5: none */
};

struct FlacInput {
    uint8_t header[sizeof kFlacHeader];
    const uint8_t *data;
    uint32_t size;
    uint64_t pos;          /* in header + data */
    uint8_t *out;          /* big-endian samples */
    uint32_t outSamples;   /* stereo samples wanted */
    uint32_t done;
    bool failed;
};

struct ChdCodecs {
    z_stream inflater;
    bool inflaterReady;
    lzma_stream lzma;
    ZSTD_DCtx *zstd;
    FLAC__StreamDecoder *flac;
    FlacInput flacInput;
};

bool ChdCodecKnown(uint32_t codec)
{
    return codec == CHD_CODEC_CDLZ || codec == CHD_CODEC_CDZL || codec == CHD_CODEC_CDFL ||
           codec == CHD_CODEC_CDZS;
}

ChdCodecs *ChdCodecsCreate(void)
{
    ChdCodecs *c = static_cast<ChdCodecs *>(calloc(1, sizeof(ChdCodecs)));
    if (!c)
        return 0;
    lzma_stream fresh = LZMA_STREAM_INIT;
    c->lzma = fresh;
    c->inflaterReady = inflateInit2(&c->inflater, -MAX_WBITS) == Z_OK;
    if (!c->inflaterReady) {
        free(c);
        return 0;
    }
    return c;
}

void ChdCodecsDestroy(ChdCodecs *c)
{
    if (c->inflaterReady)
        inflateEnd(&c->inflater);
    lzma_end(&c->lzma);
    if (c->zstd)
        ZSTD_freeDCtx(c->zstd);
    if (c->flac)
        FLAC__stream_decoder_delete(c->flac);
    free(c);
}

/* Each decoder fills out with exactly outSize bytes or fails. */

static bool Inflate(ChdCodecs *c, const uint8_t *src, uint32_t srcSize, uint8_t *out, uint32_t outSize)
{
    z_stream *z = &c->inflater;
    if (inflateReset(z) != Z_OK)
        return false;
    z->next_in = const_cast<Bytef *>(src);
    z->avail_in = srcSize;
    z->next_out = out;
    z->avail_out = outSize;
    int result = inflate(z, Z_FINISH);
    return (result == Z_STREAM_END || result == Z_OK || result == Z_BUF_ERROR) && z->total_out == outSize;
}

static bool LzmaDecode(ChdCodecs *c, const uint8_t *src, uint32_t srcSize, uint8_t *out, uint32_t outSize)
{
    /* Raw LZMA without an end mark; the encoder's dictionary is never
       larger than the hunk, which this one holds whole. */
    lzma_options_lzma options;
    memset(&options, 0, sizeof options);
    options.dict_size = outSize < LZMA_DICT_SIZE_MIN ? LZMA_DICT_SIZE_MIN : outSize;
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, 0}};
    if (lzma_raw_decoder(&c->lzma, filters) != LZMA_OK)
        return false;
    c->lzma.next_in = src;
    c->lzma.avail_in = srcSize;
    c->lzma.next_out = out;
    c->lzma.avail_out = outSize;
    while (c->lzma.avail_out > 0) {
        size_t before = c->lzma.avail_out + c->lzma.avail_in;
        lzma_ret result = lzma_code(&c->lzma, LZMA_RUN);
        if (result == LZMA_STREAM_END)
            break;
        if (result != LZMA_OK || c->lzma.avail_out + c->lzma.avail_in == before)
            return false;
    }
    return c->lzma.avail_out == 0;
}

static bool ZstdDecode(ChdCodecs *c, const uint8_t *src, uint32_t srcSize, uint8_t *out, uint32_t outSize)
{
    if (!c->zstd && !(c->zstd = ZSTD_createDCtx()))
        return false;
    size_t got = ZSTD_decompressDCtx(c->zstd, out, outSize, src, srcSize);
    return !ZSTD_isError(got) && got == outSize;
}

static FLAC__StreamDecoderReadStatus FlacRead(const FLAC__StreamDecoder *, FLAC__byte buffer[], size_t *bytes,
                                              void *data)
{
    FlacInput *in = static_cast<FlacInput *>(data);
    uint64_t total = sizeof in->header + static_cast<uint64_t>(in->size);
    size_t n = 0;
    while (n < *bytes && in->pos < total) {
        buffer[n++] = in->pos < sizeof in->header ? in->header[in->pos] : in->data[in->pos - sizeof in->header];
        in->pos++;
    }
    *bytes = n;
    return n ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

static FLAC__StreamDecoderTellStatus FlacTell(const FLAC__StreamDecoder *, FLAC__uint64 *offset, void *data)
{
    *offset = static_cast<FlacInput *>(data)->pos;
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}

static FLAC__StreamDecoderWriteStatus FlacWrite(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                                const FLAC__int32 *const channels[], void *data)
{
    FlacInput *in = static_cast<FlacInput *>(data);
    if (frame->header.channels != 2 || frame->header.bits_per_sample != 16 ||
        frame->header.blocksize > in->outSamples - in->done) {
        in->failed = true;
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    for (uint32_t i = 0; i < frame->header.blocksize; i++) {
        uint8_t *p = in->out + static_cast<size_t>(in->done + i) * 4;
        for (int ch = 0; ch < 2; ch++) {
            FLAC__int32 sample = channels[ch][i];
            p[ch * 2] = static_cast<uint8_t>(sample >> 8);
            p[ch * 2 + 1] = static_cast<uint8_t>(sample);
        }
    }
    in->done += frame->header.blocksize;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

static void FlacError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *data)
{
    static_cast<FlacInput *>(data)->failed = true;
}

/* Decodes the samples and says how many bytes of src their frames took. */
static bool FlacDecode(ChdCodecs *c, const uint8_t *src, uint32_t srcSize, uint8_t *out, uint32_t outSize,
                       uint32_t *used)
{
    if (!c->flac && !(c->flac = FLAC__stream_decoder_new()))
        return false;
    FlacInput *in = &c->flacInput;
    memcpy(in->header, kFlacHeader, sizeof kFlacHeader);
    /* The encoder's block size: the sector bytes halved down to 2048 or
       less, in samples of 4 bytes. */
    uint32_t block = outSize;
    while (block > 2048)
        block /= 2;
    block /= 4;
    in->header[8] = in->header[10] = static_cast<uint8_t>(block >> 8);
    in->header[9] = in->header[11] = static_cast<uint8_t>(block);
    in->data = src;
    in->size = srcSize;
    in->pos = 0;
    in->out = out;
    in->outSamples = outSize / 4;
    in->done = 0;
    in->failed = false;
    if (FLAC__stream_decoder_init_stream(c->flac, FlacRead, 0, FlacTell, 0, 0, FlacWrite, 0, FlacError, in) !=
        FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return false;
    bool ok = FLAC__stream_decoder_process_until_end_of_metadata(c->flac) != 0;
    while (ok && in->done < in->outSamples && !in->failed) {
        if (!FLAC__stream_decoder_process_single(c->flac) ||
            FLAC__stream_decoder_get_state(c->flac) == FLAC__STREAM_DECODER_END_OF_STREAM)
            ok = false;
    }
    FLAC__uint64 position = 0;
    ok = ok && !in->failed && in->done == in->outSamples &&
         FLAC__stream_decoder_get_decode_position(c->flac, &position) && position >= sizeof kFlacHeader &&
         position - sizeof kFlacHeader <= srcSize;
    FLAC__stream_decoder_finish(c->flac);
    if (ok)
        *used = static_cast<uint32_t>(position - sizeof kFlacHeader);
    return ok;
}

static const uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

bool ChdDecodeCdHunk(ChdCodecs *c, uint32_t codec, const uint8_t *src, uint32_t srcSize, uint8_t *hunk,
                     uint32_t hunkBytes, uint8_t *work, uint32_t *eccFrames)
{
    uint32_t frames = hunkBytes / CHD_FRAME_SIZE;
    uint32_t sectorBytes = frames * CHD_SECTOR_BYTES;
    uint32_t subcodeBytes = frames * CHD_SUBCODE_BYTES;
    uint8_t *sectors = work, *subcode = work + sectorBytes;
    const uint8_t *eccBits = 0;
    if (codec == CHD_CODEC_CDFL) {
        uint32_t used = 0;
        if (!FlacDecode(c, src, srcSize, sectors, sectorBytes, &used) ||
            !Inflate(c, src + used, srcSize - used, subcode, subcodeBytes))
            return false;
    } else {
        uint32_t bitBytes = (frames + 7) / 8;
        uint32_t lengthBytes = hunkBytes < 65536 ? 2 : 3;
        uint32_t headerBytes = bitBytes + lengthBytes;
        if (srcSize < headerBytes)
            return false;
        uint32_t baseSize = 0;
        for (uint32_t i = 0; i < lengthBytes; i++)
            baseSize = baseSize << 8 | src[bitBytes + i];
        if (baseSize > srcSize - headerBytes)
            return false;
        const uint8_t *base = src + headerBytes, *rest = base + baseSize;
        uint32_t restSize = srcSize - headerBytes - baseSize;
        bool ok;
        if (codec == CHD_CODEC_CDLZ)
            ok = LzmaDecode(c, base, baseSize, sectors, sectorBytes) &&
                 Inflate(c, rest, restSize, subcode, subcodeBytes);
        else if (codec == CHD_CODEC_CDZL)
            ok = Inflate(c, base, baseSize, sectors, sectorBytes) &&
                 Inflate(c, rest, restSize, subcode, subcodeBytes);
        else if (codec == CHD_CODEC_CDZS)
            ok = ZstdDecode(c, base, baseSize, sectors, sectorBytes) &&
                 ZstdDecode(c, rest, restSize, subcode, subcodeBytes);
        else
            ok = false;
        if (!ok)
            return false;
        eccBits = src;
    }
    for (uint32_t f = 0; f < frames; f++) {
        uint8_t *frame = hunk + static_cast<size_t>(f) * CHD_FRAME_SIZE;
        memcpy(frame, sectors + static_cast<size_t>(f) * CHD_SECTOR_BYTES, CHD_SECTOR_BYTES);
        memcpy(frame + CHD_SECTOR_BYTES, subcode + static_cast<size_t>(f) * CHD_SUBCODE_BYTES, CHD_SUBCODE_BYTES);
        if (eccBits && (eccBits[f / 8] >> (f % 8) & 1)) {
            /* Stored without sync and P/Q parity, which the encoder found
               it could compute again: Mode 2 with the address taken as 0. */
            memcpy(frame, kSync, sizeof kSync);
            SectorWriteEcc(frame, frame[CD_RAW_MODE_OFFSET] == 2);
            (*eccFrames)++;
        }
    }
    return true;
}
