/* What the benchmarks of cdimage.dll share (cd_bench_common.h). */
#include "cd_bench_common.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "bench_clock.h"
#include "cd_disc.h"
#include "kova_test.h"

namespace {

std::string ImagePath;

int32_t KOVA_CALL ReadImageFile(const char *, const char *key, char *out)
{
    BufSet(out, KOVA_SETTING_SIZE, strcmp(key, "ImageFile") == 0 ? ImagePath.c_str() : "");
    return 0;
}

} // namespace

bool CdPlugin::Open(const std::string &image)
{
    ImagePath = image;
    return open(&host) == 0;
}

const uint8_t *CdPlugin::Read(int32_t n)
{
    uint8_t msf[3];
    MsfFromSector(n, msf);
    return read(msf);
}

static bool LoadCdImage(CdPlugin *cd)
{
    std::string dll = ShippedPath("cdimage.dll");
    HMODULE lib = LoadLibraryA(dll.c_str());
    if (!lib) {
        printf("cannot load %s\n", dll.c_str());
        return false;
    }
    cd->open = GetProcAs<PluginOpenFn>(lib, "CD_Open");
    cd->close = GetProcAs<PluginCloseFn>(lib, "CD_Close");
    cd->read = GetProcAs<CdReadFn>(lib, "CD_Read");
    cd->wait = GetProcAs<CdWaitFn>(lib, "CD_Wait");
    cd->host = HostServices();
    cd->host.readSetting = ReadImageFile;
    if (!cd->open || !cd->close || !cd->read || !cd->wait) {
        printf("%s lacks an entry point\n", dll.c_str());
        return false;
    }
    return true;
}

int CdBenchStart(int argc, char **argv, const char *program, int defaultRuns, std::string *dir, int *runs,
                 CdPlugin *cd)
{
    if (argc < 2) {
        printf("usage: %s <folder> [runs]\n", program);
        return 2;
    }
    *dir = argv[1];
    if (dir->back() != '\\')
        *dir += '\\';
    *runs = argc > 2 ? std::max(1, atoi(argv[2])) : defaultRuns;
    return LoadCdImage(cd) ? 0 : 1;
}

bool ReadSectorImages(CdPlugin *cd, const std::string &image, int32_t sectors, std::vector<uint8_t> *images)
{
    images->assign(static_cast<size_t>(sectors) * CD_SECTOR_IMAGE_SIZE, 0);
    if (!cd->Open(image))
        return false;
    for (int32_t n = 0; n < sectors; n++)
        memcpy(&(*images)[static_cast<size_t>(n) * CD_SECTOR_IMAGE_SIZE], cd->Read(n), CD_SECTOR_IMAGE_SIZE);
    cd->close();
    return true;
}

int32_t FirstDifferentSector(CdPlugin *cd, const std::string &image, int32_t sectors,
                             const std::vector<uint8_t> &images)
{
    if (!cd->Open(image))
        return -1;
    int32_t n = 0;
    while (n < sectors &&
           memcmp(cd->Read(n), &images[static_cast<size_t>(n) * CD_SECTOR_IMAGE_SIZE], CD_SECTOR_IMAGE_SIZE) == 0 &&
           cd->wait() == 0)
        n++;
    cd->close();
    return n;
}

std::vector<int32_t> RandomSectors(int32_t sectors)
{
    std::vector<int32_t> order(10000);
    uint32_t seed = 12345;
    for (int32_t &n : order) {
        seed = seed * 1103515245 + 12345;
        n = static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(sectors));
    }
    return order;
}

bool TimeReads(CdPlugin *cd, const std::string &image, int32_t sectors, const std::vector<int32_t> &order,
               double *inOrder, double *random)
{
    if (!cd->Open(image))
        return false;
    double t0 = Now();
    for (int32_t n = 0; n < sectors; n++)
        cd->Read(n);
    double t1 = Now();
    for (int32_t n : order)
        cd->Read(n);
    double t2 = Now();
    cd->close();
    *inOrder = t1 - t0;
    *random = t2 - t1;
    return true;
}

bool TimeOpens(CdPlugin *cd, const std::string &image, int count, std::vector<double> *opens)
{
    for (int r = 0; r < count; r++) {
        double t0 = Now();
        bool opened = cd->Open(image);
        double t1 = Now();
        cd->close();
        if (!opened)
            return false;
        opens->push_back(t1 - t0);
    }
    return true;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

uint64_t AddressSpaceInUse(bool committedOnly)
{
    uint64_t used = 0;
    MEMORY_BASIC_INFORMATION info;
    for (uintptr_t at = 0; VirtualQuery(reinterpret_cast<void *>(at), &info, sizeof info);) {
        if (committedOnly ? info.State == MEM_COMMIT : info.State != MEM_FREE)
            used += info.RegionSize;
        uintptr_t next = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return used;
}
