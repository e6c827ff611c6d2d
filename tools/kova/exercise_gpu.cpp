/* The stand-in's GPU run: a picture goes to VRAM through a RAM-to-GPU block
 * transfer, comes back through a GPU-to-RAM block transfer into another RAM
 * area, and the two are compared; then a frame update and a snapshot. */
#include <string.h>

#include "kova_str.h"
#include "standin.h"

static const char *const kGpuRunNames[] = {
    "GPU_Open", "GPU_Close", "GPU_Update", "GP0_Read", "GP0_Write",
    "GP1_Read", "GP1_Write", "GPU_DmaExec", "GPU_ScreenShot",
};

/* A 16 x 16 picture of 15-bit pixels: 256 halfwords, 128 words. */
static const uint32_t kPictureX = 64, kPictureY = 32, kPictureW = 16, kPictureH = 16;
static const uint32_t kPictureWords = kPictureW * kPictureH / 2;
static const uint32_t kUploadAddress = 0x80100000u;   /* KSEG0 mirror of RAM 0x100000 */
static const uint32_t kReadbackAddress = 0x00180000u; /* plain RAM 0x180000 */
/* 8 blocks of 16 words */
static const uint32_t kBlockControl = (8u << 16) | 16u;

void OpenGpu(InstalledPlugin *plugin)
{
    if (!LoadInstalled(plugin, kGpuRunNames, dimof(kGpuRunNames)))
        return;
    PluginOpenFn open = EntryAs<PluginOpenFn>(plugin, "GPU_Open");
    uint32_t flagsBefore = Host.flags;
    int32_t result = -1;
    if (!Call(plugin, "GPU_Open", [&] { result = open(&Host); }))
        return;
    if (result == 0) {
        Say("GPU GPU_Open -> 0 flags %08lx -> %08lx", static_cast<unsigned long>(flagsBefore),
            static_cast<unsigned long>(Host.flags));
        plugin->opened = true;
    } else {
        Fail("GPU GPU_Open -> %ld (failed)", static_cast<long>(result));
        /* Nothing but close may follow a failed open, and a GPU plugin is
           not closed then either. */
        Call(plugin, "DllMain", [&] { FreeLibrary(plugin->module); });
        plugin->module = NULL;
    }
}

void ExerciseGpu(InstalledPlugin *plugin)
{
    if (!plugin->opened)
        return;
    GpuWriteFn gp0Write = EntryAs<GpuWriteFn>(plugin, "GP0_Write");
    GpuReadFn gp1Read = EntryAs<GpuReadFn>(plugin, "GP1_Read");
    GpuDmaExecFn dmaExec = EntryAs<GpuDmaExecFn>(plugin, "GPU_DmaExec");
    GpuUpdateFn update = EntryAs<GpuUpdateFn>(plugin, "GPU_Update");
    GpuScreenShotFn screenShot = EntryAs<GpuScreenShotFn>(plugin, "GPU_ScreenShot");

    uint32_t status = 0;
    if (!Call(plugin, "GP1_Read", [&] { status = gp1Read(); }))
        return;
    Say("GPU GP1_Read -> %08lx", static_cast<unsigned long>(status));

    uint32_t *upload = reinterpret_cast<uint32_t *>(Ram + (kUploadAddress & KOVA_RAM_ADDR_MASK));
    uint32_t *readback = reinterpret_cast<uint32_t *>(Ram + (kReadbackAddress & KOVA_RAM_ADDR_MASK));
    for (uint32_t i = 0; i < kPictureWords; i++) {
        /* two pixels per word: a colour ramp, distinct in every word */
        uint32_t lo = (i * 2) & 0x7FFF, hi = (i * 2 + 1) * 0x21 & 0x7FFF;
        upload[i] = lo | (hi << 16);
        readback[i] = 0xDEADBEEFu;
    }

    /* A block transfer: its command words through GP0, then the DMA. */
    auto transfer = [&](uint32_t command, uint32_t address, uint32_t channelControl) {
        const uint32_t words[3] = { command, (kPictureY << 16) | kPictureX,
                                    (kPictureH << 16) | kPictureW };
        for (uint32_t word : words)
            if (!Call(plugin, "GP0_Write", [&] { gp0Write(word); }))
                return false;
        return Call(plugin, "GPU_DmaExec",
                    [&] { dmaExec(address, kBlockControl, channelControl); });
    };
    if (!transfer(0xA0000000u, kUploadAddress, 0x01000201u))
        return;
    Say("GPU upload %lu words from %08lx", static_cast<unsigned long>(kPictureWords),
        static_cast<unsigned long>(kUploadAddress));

    if (!transfer(0xC0000000u, kReadbackAddress, 0x01000200u))
        return;

    uint32_t differ = 0;
    for (uint32_t i = 0; i < kPictureWords; i++)
        if (readback[i] != upload[i])
            differ++;
    if (differ)
        Fail("GPU readback: %lu of %lu words differ", static_cast<unsigned long>(differ),
             static_cast<unsigned long>(kPictureWords));
    else
        Say("GPU readback: %lu words equal", static_cast<unsigned long>(kPictureWords));

    if (!Call(plugin, "GPU_Update", [&] { update(); }))
        return;
    Say("GPU GPU_Update");
    if (!Call(plugin, "GPU_ScreenShot", [&] { screenShot(); }))
        return;
    Say("GPU GPU_ScreenShot");
}

void CloseGpu(InstalledPlugin *plugin)
{
    if (!plugin->module || plugin->failed)
        return;
    if (plugin->opened) {
        PluginCloseFn close = EntryAs<PluginCloseFn>(plugin, "GPU_Close");
        if (!Call(plugin, "GPU_Close", [&] { close(); }))
            return;
        Say("GPU GPU_Close");
    }
    Call(plugin, "DllMain", [&] { FreeLibrary(plugin->module); });
    plugin->module = NULL;
}
