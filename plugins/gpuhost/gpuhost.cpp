/* gpuhost: the emulator's GPU plugin that draws nothing itself. It loads a
 * PSEmu Pro GPU plugin from PLUGIN\PSEMU\ below the emulator and hands it
 * every port access, frame update, snapshot and DMA transfer. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "gpuhost.h"
#include "gpuhost_logic.h"
#include "kova_module.h"
#include "kova_str.h"

static const PluginInfo kInfo = {
    PLUGIN_GPU, 0, 1, 0,
    "Tovrin",
    "GPUHost",
    "This Plugin allows to use PsemuPro Gpu plugin with KOVA.",
};

HostedFunctions HostedGpuApi;
char baseDirectory[MAX_PATH];
HINSTANCE ModuleInstance;

static uint8_t *RamBase;
static RamWriteNotifyFn RamWriteNotify;
static int isOpen;

/* The run-time functions that gpuhost calls without testing them: a plugin
   lacking one of them is refused at open instead of crashing mid-game. */
static bool HostedHasRunTimeFunctions()
{
    return HostedGpuApi.GPUinit && HostedGpuApi.GPUshutdown && HostedGpuApi.GPUopen && HostedGpuApi.GPUclose &&
           HostedGpuApi.GPUreadStatus && HostedGpuApi.GPUwriteStatus && HostedGpuApi.GPUreadData &&
           HostedGpuApi.GPUwriteData && HostedGpuApi.GPUupdateLace && HostedGpuApi.GPUdmaChain &&
           HostedGpuApi.GPUmakeSnapshot;
}

int LoadHostedPlugin(const char *path)
{
    /* A broken or foreign library fails quietly, without a system box. */
    HMODULE library = LoadLibraryQuietly(path);
    HostedGpuApi.library = library;
    if (reinterpret_cast<uintptr_t>(library) < 32)
        return -1;
#define GPUHOST_LOOKUP(name) HostedGpuApi.name = GetProcAs<Pse##name##Fn>(library, #name);
    PSE_GPU_FUNCTIONS(GPUHOST_LOOKUP)
#undef GPUHOST_LOOKUP
    return 0;
}

void UnloadHostedPlugin()
{
    if (HostedGpuApi.library)
        FreeLibrary(HostedGpuApi.library);
    HostedGpuApi.library = NULL;
}

/* The module's file name cut after its last backslash; empty when the name
   cannot be had or does not fit. */
static void FillBaseDirectory(HMODULE module)
{
    ModuleDirectory(module, baseDirectory, sizeof baseDirectory);
}

/* The one diagnostic line. Written straight to the standard output handle
   so that its bytes are exactly these (the C runtime's text mode would add
   a CR); the runtime's own buffer goes first to keep the host's lines in
   order. */
static void ReportUnknownChannel(uint32_t channelControl)
{
    char line[32];
    FormatDmaUnknown(line, sizeof line, channelControl);
    fflush(stdout);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == NULL || out == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(out, line, static_cast<DWORD>(strlen(line)), &written, NULL);
}

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    /* Only the process notifications matter: the module's directory does
       not change while it is loaded, and thread notifications would put it
       back over the emulator's directory that GPU_Open found. */
    if (reason == DLL_PROCESS_ATTACH) {
        ModuleInstance = instance;
        DisableThreadLibraryCalls(instance);
        FillBaseDirectory(instance);
    }
    return TRUE;
}

int32_t KOVA_CALL GPU_Open(HostServices *host)
{
    /* Without a record there is no choice to read and no window to draw
       in: refused before anything changes, as the other plugins do. */
    if (!host || !host->readSetting)
        return -1;
    /* In a folder whose name the ANSI code page cannot hold, the ANSI name
       is a look-alike (a Greek Omega in it becomes an O, say): a path built
       on it names another folder, or none. */
    if (!ModuleNameIsExact(host->hostInstance))
        return -1;
    FillBaseDirectory(host->hostInstance);

    char path[MAX_PATH];
    char name[KOVA_SETTING_SIZE];
    name[0] = '\0';
    host->readSetting(GPUHOST_SECTION, GPUHOST_KEY_PLUGIN, name);
    BufTerminate(name, sizeof name);
    /* No name means no choice was made: the bare folder is no library, and
       a cut path could name another file than the one chosen. */
    if (!name[0] || !BufSet(path, baseDirectory) || !BufAppend(path, "PLUGIN\\" GPUHOST_PSEMU_FOLDER) ||
        !BufAppend(path, name))
        return -1;

    if (LoadHostedPlugin(path) != 0)
        return -1;
    if (!HostedHasRunTimeFunctions()) {
        UnloadHostedPlugin();
        return -1;
    }

    HostedGpuApi.GPUinit();
    HostedGpuApi.GPUopen(host->mainWindow);
    RamBase = host->ramBase;
    RamWriteNotify = host->ramWriteNotify;
    host->flags &= ~HOSTSERVICES_FLAG_BIT0;
    isOpen = 1;
    return 0;
}

void KOVA_CALL GPU_Close(void)
{
    if (!isOpen)
        return;
    HostedGpuApi.GPUclose();
    HostedGpuApi.GPUshutdown();
    UnloadHostedPlugin();
    isOpen = 0;
}

/* The six forwarding entry points: one indirect call each, nothing else.
   Those without an argument compile to a single jump through the pointer. */

void KOVA_CALL GPU_Update(void)
{
    HostedGpuApi.GPUupdateLace();
}

uint32_t KOVA_CALL GP0_Read(void)
{
    return static_cast<uint32_t>(HostedGpuApi.GPUreadData());
}

uint32_t KOVA_CALL GP1_Read(void)
{
    return static_cast<uint32_t>(HostedGpuApi.GPUreadStatus());
}

/* The two writes are the emulator's busiest calls. A cdecl caller owns its
   argument's slot and the hosted function is stdcall, so no jump can serve:
   the least there is, is to push the argument again (the stdcall callee
   pops that copy), make the indirect call and return. Written out here,
   because the compiler wraps that call in a stack frame of its own (seven
   instructions in place of three). */
#define GPUHOST_STRING(x) #x
#define GPUHOST_OFFSET(x) GPUHOST_STRING(x)
#define GPUWRITEDATA_OFFSET 32
#define GPUWRITESTATUS_OFFSET 24
static_assert(offsetof(HostedFunctions, GPUwriteData) == GPUWRITEDATA_OFFSET, "GP0_Write's pointer");
static_assert(offsetof(HostedFunctions, GPUwriteStatus) == GPUWRITESTATUS_OFFSET, "GP1_Write's pointer");

__attribute__((naked)) void KOVA_CALL GP0_Write(uint32_t)
{
    asm("pushl 4(%esp)\n\t"
        "call *_HostedGpuApi+" GPUHOST_OFFSET(GPUWRITEDATA_OFFSET) "\n\t"
        "ret");
    __builtin_unreachable(); /* the ret above is the end: no trap behind it */
}

__attribute__((naked)) void KOVA_CALL GP1_Write(uint32_t)
{
    asm("pushl 4(%esp)\n\t"
        "call *_HostedGpuApi+" GPUHOST_OFFSET(GPUWRITESTATUS_OFFSET) "\n\t"
        "ret");
    __builtin_unreachable(); /* the ret above is the end: no trap behind it */
}

void KOVA_CALL GPU_ScreenShot(void)
{
    HostedGpuApi.GPUmakeSnapshot();
}

void KOVA_CALL GPU_DmaExec(uint32_t address, uint32_t blockControl, uint32_t channelControl)
{
    int32_t wordCount = DmaWordCount(blockControl);
    uint32_t offset = DmaRamOffset(address);
    switch (channelControl) {
    case DMA_TO_RAM_STARTED:
        if (!isOpen)
            return;
        if (RamWriteNotify)
            RamWriteNotify(address, DmaNotifyEnd(address, wordCount));
        if (wordCount > 0)
            DmaGpuToRam(RamBase, offset, static_cast<uint32_t>(wordCount), HostedGpuApi.GPUreadData);
        break;
    case DMA_FROM_RAM_STARTED:
        if (isOpen && wordCount > 0)
            DmaRamToGpu(RamBase, offset, static_cast<uint32_t>(wordCount), HostedGpuApi.GPUwriteData);
        break;
    case DMA_CHAIN_STARTED:
        if (isOpen)
            HostedGpuApi.GPUdmaChain(reinterpret_cast<unsigned long *>(RamBase), offset);
        break;
    case DMA_TO_RAM_IDLE:
    case DMA_FROM_RAM_IDLE:
    case DMA_CHAIN_IDLE:
        break;
    default:
        ReportUnknownChannel(channelControl);
        break;
    }
}

void KOVA_CALL GPU_About(PluginInfo *info)
{
    memcpy(info, &kInfo, sizeof kInfo);
}

} /* extern "C" */
