/* The stand-in's GPU run, as a console program starts its screen: the
 * display set up through GP1, the drawing environment through GP0, then one
 * test screen: a background fill, colour bars, flat and Gouraud-shaded
 * triangles and quads, a picture uploaded from RAM by a block transfer (and
 * read back into another RAM area and compared), and a part of the scene
 * sent as a linked list in RAM. Afterwards GPU_Update once per frame, at 60
 * frames per second, and a snapshot.
 *
 * Every word the GPU gets comes from kScreen, in its order. */
#include <stdlib.h>
#include <string.h>

#include "kova_str.h"
#include "standin.h"

static const char *const kGpuRunNames[] = {
    "GPU_Open", "GPU_Close", "GPU_Update", "GP0_Read", "GP0_Write",
    "GP1_Read", "GP1_Write", "GPU_DmaExec", "GPU_ScreenShot",
};

/* A vertex, a position or a size: y in the upper halfword, x in the lower. */
#define XY(x, y) ((static_cast<uint32_t>(y) << 16) | (static_cast<uint32_t>(x) & 0xFFFFu))
/* A 24-bit colour as the GPU takes it: red in the lowest byte. */
#define COLOUR(r, g, b) ((static_cast<uint32_t>(b) << 16) | (static_cast<uint32_t>(g) << 8) | (r))

/* The picture: 64 x 64 pixels of 15 bits at (128, 72), 2048 words. */
static const uint32_t kPictureX = 128, kPictureY = 72, kPictureW = 64, kPictureH = 64;
static const uint32_t kPictureWords = kPictureW * kPictureH / 2;
static const uint32_t kUploadAddress = 0x80100000u;   /* KSEG0 mirror of RAM 0x100000 */
static const uint32_t kReadbackAddress = 0x00180000u; /* plain RAM 0x180000 */
/* 128 blocks of 16 words */
static const uint32_t kBlockControl = (128u << 16) | 16u;
/* The linked list: packets 64 bytes apart from here, in KSEG0. */
static const uint32_t kListAddress = 0x800F0000u;
static const uint32_t kListSpacing = 0x40;

enum GpuRoute {
    TO_GP1,     /* the word through GP1_Write */
    TO_GP0,     /* the words through GP0_Write */
    TO_LIST,    /* the words as the next packet of the linked list in RAM */
    UPLOAD,     /* the picture: block transfer RAM to GPU (0x01000201) */
    READBACK,   /* the picture back: block transfer GPU to RAM (0x01000200) */
    SEND_LIST,  /* the linked list: GPU_DmaExec with 0x01000401 */
};

struct GpuCommand {
    GpuRoute route;
    uint32_t count;
    uint32_t words[8];
};

static const GpuCommand kScreen[] = {
    /* ---- the display, GP1 ---- */
    /* 0x00 reset: display off, command buffer cleared */
    { TO_GP1, 1, { 0x00000000u } },
    /* 0x08 display mode: 320 pixels wide, 240 lines, NTSC, 15-bit colour,
       not interlaced */
    { TO_GP1, 1, { 0x08000001u } },
    /* 0x05 display area start: VRAM (0, 0) */
    { TO_GP1, 1, { 0x05000000u } },
    /* 0x06 horizontal display range: GPU clocks 0x260 to 0xC60, 320 pixels
       of 8 clocks */
    { TO_GP1, 1, { 0x06000000u | (0xC60u << 12) | 0x260u } },
    /* 0x07 vertical display range: lines 16 to 256, 240 lines of NTSC */
    { TO_GP1, 1, { 0x07000000u | (256u << 10) | 16u } },
    /* 0x04 DMA direction: CPU to GP0 */
    { TO_GP1, 1, { 0x04000002u } },
    /* 0x03 display enable */
    { TO_GP1, 1, { 0x03000000u } },

    /* ---- the drawing environment, GP0 ---- */
    /* 0xE1 draw mode: texture page (0, 0), dithering, drawing into the
       displayed area allowed */
    { TO_GP0, 1, { 0xE1000600u } },
    /* 0xE3 drawing area top left: (0, 0) */
    { TO_GP0, 1, { 0xE3000000u } },
    /* 0xE4 drawing area bottom right: (319, 239) */
    { TO_GP0, 1, { 0xE4000000u | (239u << 10) | 319u } },
    /* 0xE5 drawing offset: (0, 0) */
    { TO_GP0, 1, { 0xE5000000u } },

    /* ---- the test screen ---- */
    /* 0x02 fill rectangle: the whole screen dark blue */
    { TO_GP0, 3, { 0x02000000u | COLOUR(16, 32, 96), XY(0, 0), XY(320, 240) } },
    /* 0x02 fill rectangle: eight colour bars of 32 x 40 at (32, 16):
       white, yellow, cyan, green, magenta, red, blue, black */
    { TO_GP0, 3, { 0x02000000u | COLOUR(192, 192, 192), XY(32, 16), XY(32, 40) } },
    { TO_GP0, 3, { 0x02000000u | COLOUR(192, 192, 0), XY(64, 16), XY(32, 40) } },
    { TO_GP0, 3, { 0x02000000u | COLOUR(0, 192, 192), XY(96, 16), XY(32, 40) } },
    { TO_GP0, 3, { 0x02000000u | COLOUR(0, 192, 0), XY(128, 16), XY(32, 40) } },
    { TO_GP0, 3, { 0x02000000u | COLOUR(192, 0, 192), XY(160, 16), XY(32, 40) } },
    { TO_GP0, 3, { 0x02000000u | COLOUR(192, 0, 0), XY(192, 16), XY(32, 40) } },
    { TO_GP0, 3, { 0x02000000u | COLOUR(0, 0, 192), XY(224, 16), XY(32, 40) } },
    { TO_GP0, 3, { 0x02000000u | COLOUR(0, 0, 0), XY(256, 16), XY(32, 40) } },
    /* 0x20 flat triangle, orange, left of the picture */
    { TO_GP0, 4, { 0x20000000u | COLOUR(255, 128, 0), XY(64, 72), XY(104, 136), XY(24, 136) } },
    /* 0x28 flat quad, green, right of the picture: top left, top right,
       bottom left, bottom right */
    { TO_GP0, 5, { 0x28000000u | COLOUR(0, 160, 64), XY(232, 72), XY(296, 72), XY(232, 136),
                   XY(296, 136) } },
    /* 0xA0 copy rectangle CPU to VRAM: the picture at (128, 72), 64 x 64;
       its pixels follow by block transfer */
    { TO_GP0, 3, { 0xA0000000u, XY(kPictureX, kPictureY), XY(kPictureW, kPictureH) } },
    { UPLOAD, 0, { 0 } },
    /* 0x04 DMA direction: GPUREAD to CPU */
    { TO_GP1, 1, { 0x04000003u } },
    /* 0xC0 copy rectangle VRAM to CPU: the same rectangle, back by block
       transfer */
    { TO_GP0, 3, { 0xC0000000u, XY(kPictureX, kPictureY), XY(kPictureW, kPictureH) } },
    { READBACK, 0, { 0 } },
    /* 0x04 DMA direction: CPU to GP0, for the linked list */
    { TO_GP1, 1, { 0x04000002u } },
    /* the linked list: */
    /* 0x02 fill rectangle: a light grey plate of 64 x 48 at (128, 168) */
    { TO_LIST, 3, { 0x02000000u | COLOUR(176, 176, 176), XY(128, 168), XY(64, 48) } },
    /* 0x30 Gouraud triangle: red top, green bottom right, blue bottom left */
    { TO_LIST, 6, { 0x30000000u | COLOUR(255, 0, 0), XY(64, 160), COLOUR(0, 255, 0), XY(104, 224),
                    COLOUR(0, 0, 255), XY(24, 224) } },
    /* 0x38 Gouraud quad: yellow, cyan, magenta and white corners */
    { TO_LIST, 8, { 0x38000000u | COLOUR(255, 255, 0), XY(232, 160), COLOUR(0, 255, 255), XY(296, 160),
                    COLOUR(255, 0, 255), XY(232, 224), COLOUR(255, 255, 255), XY(296, 224) } },
    { SEND_LIST, 0, { 0 } },
};

/* Frames: 60 per second, for KOVA_STANDIN_LIVE_MS or this long. */
static const DWORD kDefaultFramesMs = 1000;

/* One pixel of the picture: red grows to the right, green downwards, blue
   in a checkerboard of 8 x 8. */
static uint32_t PicturePixel(uint32_t x, uint32_t y)
{
    uint32_t blue = ((x / 8) ^ (y / 8)) & 1 ? 31 : 8;
    return (x / 2) | ((y / 2) << 5) | (blue << 10);
}

static uint32_t *RamWords(uint32_t address)
{
    return reinterpret_cast<uint32_t *>(Ram + (address & KOVA_RAM_ADDR_MASK));
}

/* gpuhost opens its hosted plugin as the program directory + PLUGIN\PSEMU\ +
   the name stored in section GPUHOST; a path longer than the ANSI file
   functions take cannot be opened, which is worth saying as such. */
static bool HostedPathFits()
{
    char name[KOVA_SETTING_SIZE];
    name[0] = '\0';
    Host.readSetting("GPUHOST", "PluginName", name);
    char path[MAX_PATH];
    return !name[0] || (BufSet(path, ProgramDirectory) && BufAppend(path, "PLUGIN\\PSEMU\\") &&
                        BufAppend(path, name));
}

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
        if (HostedPathFits())
            Fail("GPU GPU_Open -> %ld (failed)", static_cast<long>(result));
        else
            Fail("GPU GPU_Open -> %ld (failed: the path of the hosted plugin is longer than %d "
                 "characters)",
                 static_cast<long>(result), MAX_PATH - 1);
        /* Nothing but close may follow a failed open, and a GPU plugin is
           not closed then either. */
        Call(plugin, "DllMain", [&] { FreeLibrary(plugin->module); });
        plugin->module = NULL;
    }
}

/* Lays the TO_LIST commands out in RAM as the linked list: an empty head
   packet, as an ordering table starts, then one packet per command, each
   header holding its word count and the address of the next; 0xFFFFFF
   ends the list. Returns the number of packets. */
static uint32_t BuildList()
{
    uint32_t packets = 1;
    uint32_t *head = RamWords(kListAddress);
    *head = 0;
    for (size_t i = 0; i < dimof(kScreen); i++) {
        if (kScreen[i].route != TO_LIST)
            continue;
        uint32_t next = kListAddress + packets * kListSpacing;
        *head = (*head & 0xFF000000u) | (next & 0xFFFFFFu);
        head = RamWords(next);
        *head = kScreen[i].count << 24;
        memcpy(head + 1, kScreen[i].words, kScreen[i].count * 4);
        packets++;
    }
    *head |= 0xFFFFFFu;
    return packets;
}

void ExerciseGpu(InstalledPlugin *plugin)
{
    if (!plugin->opened)
        return;
    GpuWriteFn gp0Write = EntryAs<GpuWriteFn>(plugin, "GP0_Write");
    GpuWriteFn gp1Write = EntryAs<GpuWriteFn>(plugin, "GP1_Write");
    GpuReadFn gp1Read = EntryAs<GpuReadFn>(plugin, "GP1_Read");
    GpuDmaExecFn dmaExec = EntryAs<GpuDmaExecFn>(plugin, "GPU_DmaExec");

    uint32_t status = 0;
    if (!Call(plugin, "GP1_Read", [&] { status = gp1Read(); }))
        return;
    Say("GPU GP1_Read -> %08lx", static_cast<unsigned long>(status));

    uint32_t *upload = RamWords(kUploadAddress);
    uint32_t *readback = RamWords(kReadbackAddress);
    for (uint32_t i = 0; i < kPictureWords; i++) {
        /* two pixels per word, the left one in the lower half */
        uint32_t x = (i * 2) % kPictureW, y = (i * 2) / kPictureW;
        upload[i] = PicturePixel(x, y) | (PicturePixel(x + 1, y) << 16);
        readback[i] = 0xDEADBEEFu;
    }

    uint32_t gp1Words = 0, gp0Words = 0;
    for (size_t i = 0; i < dimof(kScreen) && !plugin->failed; i++) {
        const GpuCommand &c = kScreen[i];
        switch (c.route) {
        case TO_GP1:
            if (Call(plugin, "GP1_Write", [&] { gp1Write(c.words[0]); }))
                gp1Words++;
            break;
        case TO_GP0:
            for (uint32_t w = 0; w < c.count; w++)
                if (Call(plugin, "GP0_Write", [&] { gp0Write(c.words[w]); }))
                    gp0Words++;
            break;
        case TO_LIST:
            break;
        case UPLOAD:
            if (!Call(plugin, "GPU_DmaExec",
                      [&] { dmaExec(kUploadAddress, kBlockControl, 0x01000201u); }))
                break;
            Say("GPU upload %lu words from %08lx", static_cast<unsigned long>(kPictureWords),
                static_cast<unsigned long>(kUploadAddress));
            break;
        case READBACK: {
            if (!Call(plugin, "GPU_DmaExec",
                      [&] { dmaExec(kReadbackAddress, kBlockControl, 0x01000200u); }))
                break;
            uint32_t differ = 0;
            for (uint32_t w = 0; w < kPictureWords; w++)
                if (readback[w] != upload[w])
                    differ++;
            if (differ)
                Fail("GPU readback: %lu of %lu words differ", static_cast<unsigned long>(differ),
                     static_cast<unsigned long>(kPictureWords));
            else
                Say("GPU readback: %lu words equal", static_cast<unsigned long>(kPictureWords));
            break;
        }
        case SEND_LIST: {
            uint32_t packets = BuildList();
            if (!Call(plugin, "GPU_DmaExec", [&] { dmaExec(kListAddress, 0, 0x01000401u); }))
                break;
            Say("GPU linked list of %lu packets at %08lx", static_cast<unsigned long>(packets),
                static_cast<unsigned long>(kListAddress));
            break;
        }
        }
    }
    if (plugin->failed)
        return;
    Say("GPU test screen: %lu GP1 words, %lu GP0 words", static_cast<unsigned long>(gp1Words),
        static_cast<unsigned long>(gp0Words));
}

void RunFrames(InstalledPlugin *gpu)
{
    const char *live = getenv("KOVA_STANDIN_LIVE_MS");
    DWORD liveMs = live ? static_cast<DWORD>(strtoul(live, NULL, 10)) : 0;
    bool pads = liveMs && StartLivePads(liveMs);
    bool frames = gpu->opened && !gpu->failed;
    if (!frames && !pads)
        return;
    DWORD runMs = liveMs ? liveMs : kDefaultFramesMs;
    GpuUpdateFn update = frames ? EntryAs<GpuUpdateFn>(gpu, "GPU_Update") : NULL;
    if (frames)
        Say("GPU frames: 60 per second for %lu ms", static_cast<unsigned long>(runMs));

    /* Frame n is due n / 60 seconds after the start; a late frame is sent
       at once, none is left out, so the count depends on the time asked
       for only. */
    unsigned long count = 0;
    DWORD start = GetTickCount();
    for (unsigned long n = 0; n * 1000 / 60 < runMs; n++) {
        DWORD due = static_cast<DWORD>(n * 1000 / 60);
        do {
            PumpMessages(0);
            if (GetTickCount() - start < due)
                Sleep(1);
        } while (GetTickCount() - start < due);
        if (update && Call(gpu, "GPU_Update", [&] { update(); }))
            count++;
        if (pads)
            PollPadsLive(GetTickCount() - start);
    }
    if (!frames || gpu->failed)
        return;
    Say("GPU GPU_Update %lu frames", count);
    GpuScreenShotFn screenShot = EntryAs<GpuScreenShotFn>(gpu, "GPU_ScreenShot");
    if (!Call(gpu, "GPU_ScreenShot", [&] { screenShot(); }))
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
