/* How much gpuhost's forwarding costs: the same hosted plugin called
 * through gpuhost and directly, in one run.
 *
 *   gpuhost_bench [gpuhost.dll] [hosted plugin.dll]
 *
 * Defaults: the build's bin\gpuhost.dll and pse_soft.dll beside this
 * program. Both are copied into a program directory of their own under
 * %TEMP% (gpuhost's own directory stands for the emulator's).
 *
 * Measured, each as the best of several rounds, the ways taking turns:
 * 10 million GP0 writes (a stream of full-VRAM image uploads) through
 * GP0_Write against GPUwriteData; 1 MB block transfers RAM to GPU and GPU to
 * RAM through GPU_DmaExec against a plain loop of GPUwriteData/GPUreadData;
 * and, to show the cost of the hop alone, 10 million GP1 writes into a
 * function that does next to nothing. The GP0 and GP1 writes also go through
 * the forwarders GP0_Write and GP1_Write were before (gpuhost_before.cpp),
 * in the same run.
 *
 * Prints its figures as key=value lines: for <m> gp0_write, gp1_write,
 * dma_to_gpu and dma_to_ram, <m>.direct_ns and <m>.gpuhost_ns per word and
 * <m>.ratio (gpuhost over direct); for the two writes also <m>.before_ns and
 * <m>.before_ratio; round_trip=equal when the transfers carried the data. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "bench_clock.h"
#include "gpuhost_before.h"
#include "kova_module.h"
#include "kova_plugin.h"
#include "kova_str.h"

static const uint32_t kGp0Calls = 10000000;
static const int kGp0Rounds = 5;
static const uint32_t kDmaWords = 0x40000;         /* 1 MB */
static const uint32_t kDmaBlocks = (4096u << 16) | 64u; /* 4096 blocks of 64 words */
static const int kDmaRounds = 30;

static int32_t KOVA_CALL ReadSetting(const char *section, const char *key, char *out)
{
    bool ours = !strcmp(section, "GPUHOST") && !strcmp(key, "PluginName");
    BufSet(out, KOVA_SETTING_SIZE, ours ? "hosted.dll" : "");
    return 0;
}

static int32_t KOVA_CALL WriteSetting(const char *, const char *, const char *)
{
    return 0;
}

static void KOVA_CALL RamWriteNotify(uint32_t, uint32_t)
{
}

/* The GP0 stream: image uploads of the whole VRAM, one after another. */
static const uint32_t kUploadWords = 3 + 1024 * 512 / 2;
static uint32_t Stream[kUploadWords];

static void BuildStream()
{
    Stream[0] = 0xA0000000u;
    Stream[1] = 0;
    Stream[2] = (512u << 16) | 1024u;
    for (uint32_t i = 3; i < kUploadWords; i++)
        Stream[i] = (i * 0x9E3779B1u) & 0x7FFF7FFFu;
}

static GpuWriteFn Gp0Write;
static GpuWriteFn Gp1Write;
static PseGPUwriteStatusFn WriteStatus;
static GpuDmaExecFn DmaExec;
static PseGPUwriteDataFn WriteData;
static PseGPUreadDataFn ReadData;
static uint32_t *Ram;

static double Gp0Direct()
{
    double start = Now();
    for (uint32_t n = 0, i = 0; n < kGp0Calls; n++) {
        WriteData(Stream[i]);
        if (++i == kUploadWords)
            i = 0;
    }
    return Now() - start;
}

static double Gp0Through(GpuWriteFn write)
{
    double start = Now();
    for (uint32_t n = 0, i = 0; n < kGp0Calls; n++) {
        write(Stream[i]);
        if (++i == kUploadWords)
            i = 0;
    }
    return Now() - start;
}

static double Gp0Hosted()
{
    return Gp0Through(Gp0Write);
}

static double Gp0Before()
{
    return Gp0Through(BeforeGp0Write);
}

/* The plugin takes the following words as an image of 1024 x 512 pixels,
   1 MB, after ending whatever transfer was under way. */
static void StartUpload()
{
    WriteStatus(0x01000000u);
    WriteData(0xA0000000u);
    WriteData(0);
    WriteData((512u << 16) | 1024u);
}

static void StartReadback()
{
    WriteStatus(0x01000000u);
    WriteData(0xC0000000u);
    WriteData(0);
    WriteData((512u << 16) | 1024u);
}

static double ToGpuDirect()
{
    StartUpload();
    double start = Now();
    for (uint32_t i = 0; i < kDmaWords; i++)
        WriteData(Ram[i]);
    return Now() - start;
}

static double ToGpuHosted()
{
    StartUpload();
    double start = Now();
    DmaExec(0x80000000u, kDmaBlocks, 0x01000201u);
    return Now() - start;
}

static double ToRamDirect()
{
    StartReadback();
    double start = Now();
    for (uint32_t i = 0; i < kDmaWords; i++)
        Ram[kDmaWords + i] = static_cast<uint32_t>(ReadData());
    return Now() - start;
}

static double ToRamHosted()
{
    StartReadback();
    double start = Now();
    DmaExec(0x80100000u, kDmaBlocks, 0x01000200u);
    return Now() - start;
}

/* The hop alone: GP1 writes into a function that does next to nothing. */
static double Gp1Direct()
{
    double start = Now();
    for (uint32_t n = 0; n < kGp0Calls; n++)
        WriteStatus(n);
    return Now() - start;
}
static double Gp1Through(GpuWriteFn write)
{
    double start = Now();
    for (uint32_t n = 0; n < kGp0Calls; n++)
        write(n);
    return Now() - start;
}

static double Gp1Hosted()
{
    return Gp1Through(Gp1Write);
}

static double Gp1Before()
{
    return Gp1Through(BeforeGp1Write);
}

/* The best time of each way; before stays 0 where there is no old way. */
struct Times {
    double direct, hosted, before;
};

static double Lower(double best, double t)
{
    return t < best ? t : best;
}

static Times Best(double (*direct)(), double (*hosted)(), double (*before)(), int rounds)
{
    Times best = { 1e9, 1e9, before ? 1e9 : 0 };
    for (int r = 0; r < rounds; r++) {
        best.direct = Lower(best.direct, direct());
        best.hosted = Lower(best.hosted, hosted());
        if (before)
            best.before = Lower(best.before, before());
    }
    return best;
}

static void Report(const char *measure, uint32_t calls, Times t)
{
    printf("%s.direct_ns=%.2f\n", measure, t.direct * 1e9 / calls);
    printf("%s.gpuhost_ns=%.2f\n", measure, t.hosted * 1e9 / calls);
    printf("%s.ratio=%.3f\n", measure, t.hosted / t.direct);
    if (t.before == 0)
        return;
    printf("%s.before_ns=%.2f\n", measure, t.before * 1e9 / calls);
    printf("%s.before_ratio=%.3f\n", measure, t.before / t.direct);
}

static bool Copy(const char *from, const char *dir, const char *name)
{
    char to[MAX_PATH];
    return BufSet(to, dir) && BufAppend(to, name) && CopyFileA(from, to, FALSE);
}

int main(int argc, char **argv)
{
    char binDir[MAX_PATH], gpuhostPath[MAX_PATH], hostedPath[MAX_PATH];
    ModuleDirectory(NULL, binDir, sizeof binDir);
    BufSet(gpuhostPath, binDir);
    BufAppend(gpuhostPath, "..\\..\\bin\\gpuhost.dll");
    BufSet(hostedPath, binDir);
    BufAppend(hostedPath, "pse_soft.dll");
    if (argc > 1)
        BufSet(gpuhostPath, argv[1]);
    if (argc > 2)
        BufSet(hostedPath, argv[2]);

    /* Recording would measure the log file, not the calls. */
    SetEnvironmentVariableA("KOVA_PSE_LOG", NULL);

    char dir[MAX_PATH], psemu[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    char unique[64];
    BufFormat(unique, sizeof unique, "kova-bench-%lu\\", GetCurrentProcessId());
    BufAppend(dir, unique);
    BufSet(psemu, dir);
    BufAppend(psemu, "PLUGIN\\PSEMU\\");
    CreateDirectoryA(dir, NULL);
    BufSet(unique, dir);
    BufAppend(unique, "PLUGIN");
    CreateDirectoryA(unique, NULL);
    CreateDirectoryA(psemu, NULL);
    if (!Copy(gpuhostPath, dir, "gpuhost.dll") || !Copy(hostedPath, psemu, "hosted.dll")) {
        fprintf(stderr, "bench: cannot copy %s and %s to %s\n", gpuhostPath, hostedPath, dir);
        return 2;
    }

    char copy[MAX_PATH];
    BufSet(copy, dir);
    BufAppend(copy, "gpuhost.dll");
    HMODULE gpuhost = LoadLibraryA(copy);
    if (!gpuhost) {
        fprintf(stderr, "bench: cannot load %s\n", copy);
        return 2;
    }
    PluginOpenFn open = GetProcAs<PluginOpenFn>(gpuhost, "GPU_Open");
    PluginCloseFn close = GetProcAs<PluginCloseFn>(gpuhost, "GPU_Close");
    Gp0Write = GetProcAs<GpuWriteFn>(gpuhost, "GP0_Write");
    Gp1Write = GetProcAs<GpuWriteFn>(gpuhost, "GP1_Write");
    DmaExec = GetProcAs<GpuDmaExecFn>(gpuhost, "GPU_DmaExec");

    Ram = static_cast<uint32_t *>(VirtualAlloc(NULL, KOVA_RAM_SIZE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    HostServices host;
    memset(&host, 0, sizeof host);
    host.ramBase = reinterpret_cast<uint8_t *>(Ram);
    host.readSetting = ReadSetting;
    host.writeSetting = WriteSetting;
    host.ramWriteNotify = RamWriteNotify;
    host.hostInstance = gpuhost;  /* its directory stands for the emulator's */
    if (!open || !close || !Gp0Write || !DmaExec || open(&host) != 0) {
        fprintf(stderr, "bench: gpuhost does not open\n");
        return 2;
    }
    /* The very library instance that gpuhost loaded. */
    BufSet(copy, psemu);
    BufAppend(copy, "hosted.dll");
    HMODULE hosted = GetModuleHandleA(copy);
    WriteData = hosted ? GetProcAs<PseGPUwriteDataFn>(hosted, "GPUwriteData") : NULL;
    ReadData = hosted ? GetProcAs<PseGPUreadDataFn>(hosted, "GPUreadData") : NULL;
    WriteStatus = hosted ? GetProcAs<PseGPUwriteStatusFn>(hosted, "GPUwriteStatus") : NULL;
    if (!WriteData || !ReadData || !WriteStatus || !Gp1Write) {
        fprintf(stderr, "bench: hosted plugin not found\n");
        return 2;
    }
    Before.GPUwriteData = WriteData;
    Before.GPUwriteStatus = WriteStatus;

    BuildStream();
    for (uint32_t i = 0; i < kDmaWords; i++)
        Ram[i] = (i * 0x9E3779B1u) & 0x7FFF7FFFu;

    printf("# gpuhost forwarding, best of %d rounds for the writes, %d for DMA; ns per word\n",
           kGp0Rounds, kDmaRounds);
    Times gp0 = Best(Gp0Direct, Gp0Hosted, Gp0Before, kGp0Rounds);
    Times toGpu = Best(ToGpuDirect, ToGpuHosted, NULL, kDmaRounds);
    Times toRam = Best(ToRamDirect, ToRamHosted, NULL, kDmaRounds);
    Times gp1 = Best(Gp1Direct, Gp1Hosted, Gp1Before, kGp0Rounds);
    printf("gp0_write.calls=%lu\n", static_cast<unsigned long>(kGp0Calls));
    Report("gp0_write", kGp0Calls, gp0);
    printf("dma_to_gpu.words=%lu\n", static_cast<unsigned long>(kDmaWords));
    Report("dma_to_gpu", kDmaWords, toGpu);
    printf("dma_to_ram.words=%lu\n", static_cast<unsigned long>(kDmaWords));
    Report("dma_to_ram", kDmaWords, toRam);
    printf("gp1_write.calls=%lu\n", static_cast<unsigned long>(kGp0Calls));
    Report("gp1_write", kGp0Calls, gp1);

    /* The last upload came back whole: the transfers carried the data. */
    bool same = memcmp(Ram, Ram + kDmaWords, kDmaWords * 4) == 0;
    printf("round_trip=%s\n", same ? "equal" : "different");

    close();
    FreeLibrary(gpuhost);
    char path[MAX_PATH];
    BufSet(path, psemu);
    BufAppend(path, "hosted.dll");
    DeleteFileA(path);
    RemoveDirectoryA(psemu);
    BufSet(path, dir);
    BufAppend(path, "gpuhost.dll");
    DeleteFileA(path);
    BufSet(path, dir);
    BufAppend(path, "PLUGIN");
    RemoveDirectoryA(path);
    RemoveDirectoryA(dir);
    return same ? 0 : 1;
}
