/* A tiny emulator for one DMA transfer, started by the gpuhost tests so
 * that they can read exactly what gpuhost writes to the standard output.
 *
 *   gpuhost_dma_probe <hosted plugin file> <address> <blockControl> <channelControl>
 *
 * Put beside PLUGIN\gpuhost.dll and PLUGIN\PSEMU\<hosted plugin file>: it
 * loads gpuhost, opens it (its own directory being the emulator's), makes
 * the one GPU_DmaExec call with the three hexadecimal values, closes it and
 * exits with 0. It prints nothing itself on the standard output; troubles
 * go to the standard error and give exit code 2. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kova_module.h"
#include "kova_plugin.h"
#include "kova_str.h"

static const char *PluginName = "";

static int32_t KOVA_CALL ReadSetting(const char *section, const char *key, char *out)
{
    bool ours = !strcmp(section, "GPUHOST") && !strcmp(key, "PluginName");
    BufSet(out, KOVA_SETTING_SIZE, ours ? PluginName : "");
    return 0;
}

static int32_t KOVA_CALL WriteSetting(const char *, const char *, const char *)
{
    return 0;
}

static void KOVA_CALL RamWriteNotify(uint32_t, uint32_t)
{
}

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: gpuhost_dma_probe <plugin> <address> <block> <channel>\n");
        return 2;
    }
    PluginName = argv[1];
    uint32_t address = strtoul(argv[2], NULL, 16);
    uint32_t block = strtoul(argv[3], NULL, 16);
    uint32_t channel = strtoul(argv[4], NULL, 16);

    char path[MAX_PATH];
    if (!ModuleDirectory(NULL, path, sizeof path) || !BufAppend(path, "PLUGIN\\gpuhost.dll")) {
        fprintf(stderr, "probe: no path\n");
        return 2;
    }
    HMODULE gpuhost = LoadLibraryA(path);
    if (!gpuhost) {
        fprintf(stderr, "probe: cannot load %s\n", path);
        return 2;
    }
    PluginOpenFn open = GetProcAs<PluginOpenFn>(gpuhost, "GPU_Open");
    PluginCloseFn close = GetProcAs<PluginCloseFn>(gpuhost, "GPU_Close");
    GpuDmaExecFn dmaExec = GetProcAs<GpuDmaExecFn>(gpuhost, "GPU_DmaExec");
    if (!open || !close || !dmaExec) {
        fprintf(stderr, "probe: gpuhost lacks an entry point\n");
        return 2;
    }

    static uint8_t ram[KOVA_RAM_SIZE];
    HostServices host;
    memset(&host, 0, sizeof host);
    host.ramBase = ram;
    host.readSetting = ReadSetting;
    host.writeSetting = WriteSetting;
    host.ramWriteNotify = RamWriteNotify;
    host.hostInstance = GetModuleHandleA(NULL);
    if (open(&host) != 0) {
        fprintf(stderr, "probe: GPU_Open failed\n");
        return 2;
    }
    dmaExec(address, block, channel);
    close();
    FreeLibrary(gpuhost);
    return 0;
}
