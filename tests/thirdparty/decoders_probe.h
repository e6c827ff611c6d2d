/* decoders_probe.dll: ProbeDecode(codec, in, inSize, out, outSize, &produced)
   decodes one whole input into exactly outSize bytes and returns 1, or
   returns 0 when the input is damaged, falls short of outSize or holds more. */
#ifndef DECODERS_PROBE_H
#define DECODERS_PROBE_H

#include <stddef.h>
#include <stdint.h>

enum { PROBE_LZMA = 1, PROBE_FLAC = 2, PROBE_ZSTD = 3 };

typedef int (*ProbeDecodeFn)(int codec, const uint8_t *in, size_t inSize, uint8_t *out,
                                      size_t outSize, size_t *produced);

#endif
