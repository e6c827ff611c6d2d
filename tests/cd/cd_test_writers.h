/* The tests' own writers of disc images in other forms than CUE/BIN, from
   the formats' public descriptions: whole raw sectors as a disc holds them,
   ECM streams and CloneCD control files. */
#ifndef CD_TEST_WRITERS_H
#define CD_TEST_WRITERS_H

#include <stdint.h>
#include <string>
#include <vector>

/* Complete raw sectors (sync, header, EDC, ECC where the kind has them),
   their bytes telling sector and place apart. */
enum MadeSector {
    MADE_MODE1,
    MADE_FORM1,
    MADE_FORM2,
    MADE_FORM2_NO_EDC,   /* a Form 2 sector whose EDC field is zero, as discs may have */
    MADE_FORM1_BAD_ECC,  /* one ECC byte off: no rebuilder may make it */
    MADE_AUDIO,
    MADE_SILENCE,        /* audio, all zeros */
};
std::vector<uint8_t> MadeSectors(int kind, int count, int32_t firstSector, uint8_t seed);

/* The ECM stream of an image: a sector's sync, header, EDC and ECC are left
   out only where they are exactly what the format's decoder rebuilds; the
   rest is kept as bytes. units[t]: how many units of record type t it
   wrote (bytes for type 0, sectors for the others). */
struct EcmWritten {
    std::vector<uint8_t> bytes;
    uint32_t units[4] = {0, 0, 0, 0};
    uint32_t records = 0;
};
EcmWritten WriteEcm(const std::vector<uint8_t> &image);
/* One record header as the format codes it: type, count - 1 in 5 bits, then
   7 bits a byte while the top bit is set. */
void PutEcmRecordHeader(std::vector<uint8_t> &out, int type, uint32_t countLessOne);

/* A CloneCD control file of one session. */
struct CcdTrackRow {
    int number;
    int mode;             /* 0 audio, 1, 2 */
    int32_t start;        /* INDEX 1 */
    int32_t pregap;       /* sectors before it (INDEX 0), 0 for none */
};
std::string CcdText(const std::vector<CcdTrackRow> &tracks, int32_t leadOut);

#endif
