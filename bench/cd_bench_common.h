/* What the benchmarks of cdimage.dll share: their arguments, the library
 * and its entry points, the images opened by name, sector reads timed in
 * order and in a random order, and the medians of their figures. */
#ifndef CD_BENCH_COMMON_H
#define CD_BENCH_COMMON_H

#include <stdint.h>

#include <string>
#include <vector>

#include "kova_plugin.h"

/* cdimage's entry points, and the host whose ImageFile setting is the image
   Open names. */
struct CdPlugin {
    PluginOpenFn open;
    PluginCloseFn close;
    CdReadFn read;
    CdWaitFn wait;
    HostServices host;
    /* CD_Open of image; true when it opens. */
    bool Open(const std::string &image);
    /* CD_Read of the sector numbered n (0 = 00:02:00). */
    const uint8_t *Read(int32_t n);
};

/* A benchmark's start: its arguments "<folder> [runs]" (dir ends in a
   backslash; runs is at least 1, defaultRuns when not given), and
   cdimage.dll from beside the tests loaded into cd. 0 when all is ready;
   otherwise what main returns, after the line that says why: 2 for the
   usage, 1 when the library does not load. */
int CdBenchStart(int argc, char **argv, const char *program, int defaultRuns, std::string *dir, int *runs,
                 CdPlugin *cd);

/* The sector images (CD_SECTOR_IMAGE_SIZE bytes each) of the first sectors
   of image, through cd. False when CD_Open fails. */
bool ReadSectorImages(CdPlugin *cd, const std::string &image, int32_t sectors, std::vector<uint8_t> *images);
/* The first of image's first sectors whose sector image is not images' or
   whose read CD_Wait reports as failed; sectors when none is; -1 when
   CD_Open fails. */
int32_t FirstDifferentSector(CdPlugin *cd, const std::string &image, int32_t sectors,
                             const std::vector<uint8_t> &images);

/* 10,000 sector numbers below sectors, in the same random order every time. */
std::vector<int32_t> RandomSectors(int32_t sectors);
/* Opens image and times CD_Read of every sector of the first sectors in
   order (inOrder), then of the sectors of order (random), in seconds.
   False when CD_Open fails. */
bool TimeReads(CdPlugin *cd, const std::string &image, int32_t sectors, const std::vector<int32_t> &order,
               double *inOrder, double *random);
/* count times CD_Open and CD_Close of image: the seconds of each CD_Open
   added to opens. False when one fails. */
bool TimeOpens(CdPlugin *cd, const std::string &image, int count, std::vector<double> *opens);

double Median(std::vector<double> v);
/* Bytes of the process's address space in use (reserved or committed), or
   committed only. */
uint64_t AddressSpaceInUse(bool committedOnly = false);

#endif
