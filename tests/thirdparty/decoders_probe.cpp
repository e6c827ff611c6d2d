/* A library linked and built as a shipped plugin is, holding the three
   decoders that compressed disc images need: what the decoders' test calls
   and whose imports it reads. */
#include <stddef.h>
#include <string.h>

#include <FLAC/stream_decoder.h>
#include <lzma.h>
#include <zstd.h>

#include "decoders_probe.h"

/* Raw LZMA1 without a header, as the compressed images store their hunks:
   the coder's properties are the image format's fixed ones. */
static bool DecodeLzma(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize,
                       size_t *produced)
{
    lzma_options_lzma options;
    memset(&options, 0, sizeof options);
    options.dict_size = 64 * 1024;
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    lzma_filter filters[2] = { { LZMA_FILTER_LZMA1, &options }, { LZMA_VLI_UNKNOWN, NULL } };
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK)
        return false;
    stream.next_in = in;
    stream.avail_in = inSize;
    stream.next_out = out;
    stream.avail_out = outSize;
    /* The hunks carry no end marker: the output's size ends them. */
    lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
    *produced = stream.total_out;
    lzma_end(&stream);
    return (ret == LZMA_OK || ret == LZMA_STREAM_END) && *produced == outSize;
}

/* FLAC from memory: the input read in order, the samples written out as
   16-bit little-endian interleaved, as CD audio is. */
struct FlacJob {
    const uint8_t *in;
    size_t inSize, inDone;
    uint8_t *out;
    size_t outSize, outDone;
    bool damaged;  /* a frame lost, a CRC wrong, or more samples than room */
};

static FLAC__StreamDecoderReadStatus FlacRead(const FLAC__StreamDecoder *, FLAC__byte buffer[],
                                              size_t *bytes, void *data)
{
    FlacJob *job = (FlacJob *)data;
    size_t left = job->inSize - job->inDone;
    if (left == 0) {
        *bytes = 0;
        return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }
    if (*bytes > left)
        *bytes = left;
    memcpy(buffer, job->in + job->inDone, *bytes);
    job->inDone += *bytes;
    return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

static FLAC__StreamDecoderWriteStatus FlacWrite(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                                const FLAC__int32 *const channels[], void *data)
{
    FlacJob *job = (FlacJob *)data;
    if (frame->header.bits_per_sample != 16)
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    for (unsigned i = 0; i < frame->header.blocksize; i++) {
        for (unsigned c = 0; c < frame->header.channels; c++) {
            if (job->outSize - job->outDone < 2) {
                job->damaged = true;
                return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
            }
            FLAC__int32 sample = channels[c][i];
            job->out[job->outDone++] = (uint8_t)(sample & 0xFF);
            job->out[job->outDone++] = (uint8_t)((sample >> 8) & 0xFF);
        }
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

static void FlacError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *data)
{
    ((FlacJob *)data)->damaged = true;
}

static bool DecodeFlac(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize,
                       size_t *produced)
{
    FlacJob job = { in, inSize, 0, out, outSize, 0, false };
    FLAC__StreamDecoder *decoder = FLAC__stream_decoder_new();
    if (!decoder)
        return false;
    bool ok = FLAC__stream_decoder_init_stream(decoder, FlacRead, NULL, NULL, NULL, NULL, FlacWrite,
                                               NULL, FlacError, &job) ==
                  FLAC__STREAM_DECODER_INIT_STATUS_OK &&
              FLAC__stream_decoder_process_until_end_of_stream(decoder) &&
              FLAC__stream_decoder_get_state(decoder) == FLAC__STREAM_DECODER_END_OF_STREAM;
    FLAC__stream_decoder_delete(decoder);
    *produced = job.outDone;
    return ok && !job.damaged && job.outDone == outSize;
}

static bool DecodeZstd(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize,
                       size_t *produced)
{
    size_t n = ZSTD_decompress(out, outSize, in, inSize);
    *produced = ZSTD_isError(n) ? 0 : n;
    return !ZSTD_isError(n) && n == outSize;
}

extern "C" int ProbeDecode(int codec, const uint8_t *in, size_t inSize, uint8_t *out,
                                     size_t outSize, size_t *produced)
{
    *produced = 0;
    switch (codec) {
    case PROBE_LZMA:
        return DecodeLzma(in, inSize, out, outSize, produced);
    case PROBE_FLAC:
        return DecodeFlac(in, inSize, out, outSize, produced);
    case PROBE_ZSTD:
        return DecodeZstd(in, inSize, out, outSize, produced);
    }
    return 0;
}
