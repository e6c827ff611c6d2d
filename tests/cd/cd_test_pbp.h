/* The CD tests' PlayStation disc and the tests' own PBP writer: a CUE/BIN
   disc made here (an ISO 9660 track from genisoimage as raw Mode 2 Form 1
   sectors, then an audio track) and that disc packed as a PBP the way the
   conversion tools pack one, from the format's public description. */
#ifndef CD_TEST_PBP_H
#define CD_TEST_PBP_H

#include <stdint.h>
#include <string>
#include <vector>

struct TestDisc {
    std::vector<uint8_t> bin;  /* raw sectors from 00:02:00 */
    int32_t dataSectors = 0;
    int32_t audioFirst = 0;    /* track 2's INDEX 00 in the BIN */
    int32_t audioStart = 0;    /* its INDEX 01 */
    int32_t sectors() const { return static_cast<int32_t>(bin.size() / 2352); }
    /* The CUE sheet of the disc for a BIN named binName. */
    std::string Cue(const std::string &binName) const;
};

/* The two discs of a game, made once for the test program: a data track
   whose SYSTEM.CNF boots SLUS_008.92 (disc 1) or SLUS_009.08 (disc 2),
   then an audio track of 300 or 200 sectors of noise, the first 150 of
   them its INDEX 00 part. */
const TestDisc &GameDisc(int number);
/* NAME.BIN and NAME.CUE of the disc in folder (ending in '\'). */
bool WriteCueBin(const std::string &folder, const char *name, const TestDisc &disc);

struct PbpDiscSpec {
    const TestDisc *disc;
    std::string id;        /* "SLUS-00892" */
    bool compress;         /* Deflate each block; a block that does not shrink stays raw */
};
/* Where the writer put things, for the tests that damage them. */
struct PbpPlaces {
    int64_t psar = 0;
    std::vector<int64_t> discs;   /* each disc image's "PSISOIMG0000" */
    std::vector<std::vector<int64_t>> blocks;  /* each disc's blocks: file offset */
    std::vector<std::vector<bool>> packed;     /* ... and whether it is deflated */
};
/* A PBP of the discs: one disc as "PSISOIMG0000", several (or one with
   titleImage) under "PSTITLEIMG000000". */
std::vector<uint8_t> MakePbp(const std::vector<PbpDiscSpec> &discs, bool titleImage = false,
                             PbpPlaces *places = NULL);

/* Little-endian 32 bits into bytes at at. */
void PutLe32(std::vector<uint8_t> &bytes, int64_t at, uint32_t value);

#endif
