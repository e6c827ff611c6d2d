/* A PSEmu Pro GPU plugin for the tests, hosted by gpuhost.
 *
 * Its identity (library type, version, name, GPUtest's result, whether
 * PSEgetLibName gives a name) is set per build; which functions it exports
 * is set by the build's .def file. It records every call, with arguments and
 * results, as one line "<its file name> <call>" appended to the file named
 * by the environment variable KOVA_PSE_LOG (read when the library loads;
 * unset, nothing is recorded, as the benchmark wants). Loading and unloading
 * are recorded as "attach" and "detach".
 *
 * It keeps a VRAM of 1024 x 512 halfwords and understands three GP0
 * commands: 0x02 (fill rectangle), 0xA0 (image to VRAM) and 0xC0 (image
 * from VRAM, read back through GPUreadData); it skips the parameters of the
 * polygons and rectangles it does not draw. Of GP1 it follows reset, display
 * enable, display area start and display mode, and every GPUupdateLace shows
 * the display area in the window GPUopen was given (plain GDI). GPUdmaChain
 * walks the linked list in RAM, records every packet and passes its words on
 * as GPUwriteData does. GPUmakeSnapshot writes the VRAM as a 16-bit BMP file
 * to SNAP\SNAPnnn.BMP below the current directory, and what its window shows,
 * read back from the window's pixels, as a 32-bit BMP to SNAP\SHOWnnn.BMP. */
#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "kova_plugin.h"
#include "kova_str.h"

#ifndef PSE_TYPE
#define PSE_TYPE 2
#endif
#ifndef PSE_VERSION
#define PSE_VERSION 0x00010203
#endif
#ifndef PSE_NAME
#define PSE_NAME "Soft"
#endif
#ifndef PSE_TEST_RESULT
#define PSE_TEST_RESULT 0
#endif

#define VRAM_WIDTH 1024
#define VRAM_HEIGHT 512

static char LogPath[MAX_PATH];
static char FileName[MAX_PATH];
static uint16_t Vram[VRAM_HEIGHT][VRAM_WIDTH];

static void Record(const char *format, ...) __attribute__((format(printf, 1, 2)));
static void Record(const char *format, ...)
{
    if (!LogPath[0])
        return;
    char line[512];
    va_list args;
    va_start(args, format);
    BufFormatV(line, sizeof line, format, args);
    va_end(args);
    FILE *f = fopen(LogPath, "ab");
    if (!f)
        return;
    fprintf(f, "%s %s\r\n", FileName, line);
    fclose(f);
}

/* ---- GP0: fills, the two image transfers, the rest skipped ---- */

enum Gp0State { GP0_COMMAND, GP0_PARAMETERS, GP0_UPLOAD };

struct Transfer {
    uint32_t x, y, width, height;
    uint32_t next;   /* halfwords done */
    uint32_t total;  /* width x height */
};

static Gp0State State = GP0_COMMAND;
static uint32_t CommandWord;
static uint32_t Parameters[11];
static uint32_t ParameterCount, ParametersWanted;
static Transfer Upload;
static Transfer Readback;
static bool ReadbackActive;
static uint32_t ReadCount;   /* GPUREAD latch outside a readback */
static uint32_t StatusCount;
static uint32_t Snapshots;

/* What GP1 has set up for the screen. */
static HWND Window;
static bool DisplayOn;
static uint32_t DisplayX, DisplayY, DisplayWidth = 256, DisplayHeight = 240;

/* Parameter words that follow a command word. */
static uint32_t ParameterWords(uint32_t command)
{
    if (command == 0x02 || command == 0xA0 || command == 0xC0)
        return 2;
    if (command >= 0x20 && command < 0x40) {
        /* polygon: 3 or 4 vertices, each with texture coordinates when
           textured, and a colour per vertex after the first when shaded */
        uint32_t vertices = (command & 0x08) ? 4 : 3;
        return vertices * ((command & 0x04) ? 2 : 1) + ((command & 0x10) ? vertices - 1 : 0);
    }
    if (command >= 0x60 && command < 0x80) {
        /* rectangle: a vertex, texture coordinates when textured, a size
           word when its size is not fixed */
        return 1 + ((command & 0x04) ? 1 : 0) + (((command >> 3) & 3) == 0 ? 1 : 0);
    }
    return 0;
}

static void StartTransfer(Transfer *t, uint32_t position, uint32_t size)
{
    t->x = position & 0x3FF;
    t->y = (position >> 16) & 0x1FF;
    t->width = (((size & 0xFFFF) - 1) & 0x3FF) + 1;
    t->height = ((((size >> 16) & 0xFFFF) - 1) & 0x1FF) + 1;
    t->next = 0;
    t->total = t->width * t->height;
}

static uint16_t *Pixel(const Transfer *t)
{
    uint32_t col = t->next % t->width, row = t->next / t->width;
    return &Vram[(t->y + row) & (VRAM_HEIGHT - 1)][(t->x + col) & (VRAM_WIDTH - 1)];
}

/* GP0 0x02: a 24-bit colour into a rectangle, x in steps of 16 pixels. */
static void Fill(uint32_t colour, uint32_t position, uint32_t size)
{
    uint16_t pixel = static_cast<uint16_t>(((colour >> 3) & 0x1F) | (((colour >> 11) & 0x1F) << 5) |
                                           (((colour >> 19) & 0x1F) << 10));
    uint32_t x0 = position & 0x3F0, y0 = (position >> 16) & 0x1FF;
    uint32_t width = ((size & 0x3FF) + 0x0F) & ~0x0Fu, height = (size >> 16) & 0x1FF;
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++)
            Vram[(y0 + y) & (VRAM_HEIGHT - 1)][(x0 + x) & (VRAM_WIDTH - 1)] = pixel;
}

static void Execute()
{
    switch (CommandWord >> 24) {
    case 0x02:
        Fill(CommandWord & 0xFFFFFF, Parameters[0], Parameters[1]);
        break;
    case 0xA0:
        StartTransfer(&Upload, Parameters[0], Parameters[1]);
        State = GP0_UPLOAD;
        break;
    case 0xC0:
        StartTransfer(&Readback, Parameters[0], Parameters[1]);
        ReadbackActive = true;
        break;
    default:
        break;
    }
}

static void Gp0Word(uint32_t word)
{
    switch (State) {
    case GP0_UPLOAD:
        for (int half = 0; half < 2 && Upload.next < Upload.total; half++, Upload.next++)
            *Pixel(&Upload) = static_cast<uint16_t>(word >> (16 * half));
        if (Upload.next >= Upload.total)
            State = GP0_COMMAND;
        break;
    case GP0_PARAMETERS:
        Parameters[ParameterCount++] = word;
        if (ParameterCount < ParametersWanted)
            break;
        State = GP0_COMMAND;
        Execute();
        break;
    case GP0_COMMAND:
        CommandWord = word;
        ParameterCount = 0;
        ParametersWanted = ParameterWords(word >> 24);
        if (ParametersWanted)
            State = GP0_PARAMETERS;
        break;
    }
}

static uint32_t Gp0Read()
{
    if (!ReadbackActive)
        return 0x5EED0000u + ReadCount++;
    uint32_t word = 0;
    for (int half = 0; half < 2 && Readback.next < Readback.total; half++, Readback.next++)
        word |= static_cast<uint32_t>(*Pixel(&Readback)) << (16 * half);
    if (Readback.next >= Readback.total)
        ReadbackActive = false;
    return word;
}

/* ---- the snapshot: VRAM as a bottom-up 16-bit BMP ---- */

static void PutLe(uint8_t *p, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

/* A bottom-up BMP: the file and info headers, then the pixels as given. */
static bool WriteBmp(const char *path, uint32_t width, uint32_t height, int bits,
                     const void *pixels)
{
    uint32_t size = width * height * static_cast<uint32_t>(bits) / 8;
    uint8_t header[54] = { 'B', 'M' };
    PutLe(header + 2, 54 + size, 4);
    PutLe(header + 10, 54, 4);
    PutLe(header + 14, 40, 4);
    PutLe(header + 18, width, 4);
    PutLe(header + 22, height, 4);
    PutLe(header + 26, 1, 2);
    PutLe(header + 28, static_cast<uint32_t>(bits), 2);
    PutLe(header + 34, size, 4);
    FILE *f = fopen(path, "wb");
    if (!f)
        return false;
    bool ok = fwrite(header, sizeof header, 1, f) == 1 && fwrite(pixels, size, 1, f) == 1;
    return fclose(f) == 0 && ok;
}

static BITMAPINFO Info32(int width, int height)
{
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

static bool WriteSnapshot(const char *path)
{
    static uint16_t bottomUp[VRAM_HEIGHT][VRAM_WIDTH];
    for (int y = 0; y < VRAM_HEIGHT; y++)
        for (int x = 0; x < VRAM_WIDTH; x++) {
            /* PlayStation 1-5-5-5 is red in the low bits; a BMP has blue. */
            uint16_t p = Vram[y][x];
            bottomUp[VRAM_HEIGHT - 1 - y][x] =
                static_cast<uint16_t>(((p & 0x1F) << 10) | (p & 0x3E0) | ((p >> 10) & 0x1F));
        }
    return WriteBmp(path, VRAM_WIDTH, VRAM_HEIGHT, 16, bottomUp);
}

/* ---- the screen: the display area in the window ---- */

#define SHOW_MAX_WIDTH 640
#define SHOW_MAX_HEIGHT 480

static uint8_t Expand5(uint32_t c)
{
    return static_cast<uint8_t>((c << 3) | (c >> 2));
}

static void ShowDisplay()
{
    if (!Window || !IsWindow(Window))
        return;
    static uint32_t Frame[SHOW_MAX_HEIGHT][SHOW_MAX_WIDTH];
    uint32_t width = DisplayWidth, height = DisplayHeight;
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++) {
            uint32_t p = DisplayOn ? Vram[(DisplayY + y) & (VRAM_HEIGHT - 1)][(DisplayX + x) & (VRAM_WIDTH - 1)] : 0;
            Frame[y][x] = static_cast<uint32_t>(Expand5(p & 0x1F)) << 16 |
                          static_cast<uint32_t>(Expand5((p >> 5) & 0x1F)) << 8 | Expand5((p >> 10) & 0x1F);
        }
    BITMAPINFO info = Info32(SHOW_MAX_WIDTH, -SHOW_MAX_HEIGHT); /* top-down */
    RECT client;
    GetClientRect(Window, &client);
    HDC dc = GetDC(Window);
    if (!dc)
        return;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, static_cast<int>(width),
                  static_cast<int>(height), Frame, &info, DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(Window, dc);
}

/* What the window's client area shows, read back from its pixels, as a
   bottom-up 32-bit BMP. */
static bool WriteWindow(const char *path)
{
    RECT client;
    if (!Window || !GetClientRect(Window, &client) || client.right <= 0 || client.bottom <= 0)
        return false;
    int width = client.right, height = client.bottom;
    BITMAPINFO info = Info32(width, height);
    HDC dc = GetDC(Window);
    HDC memory = CreateCompatibleDC(dc);
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    DeleteDC(memory);
    ReleaseDC(Window, dc);
    ok = ok && WriteBmp(path, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 32,
                        bits);
    if (bitmap)
        DeleteObject(bitmap);
    return ok;
}

static void MakeSnapshot()
{
    CreateDirectoryA("SNAP", NULL);
    char path[MAX_PATH], show[MAX_PATH];
    do {
        BufFormat(path, sizeof path, "SNAP\\SNAP%03lu.BMP", static_cast<unsigned long>(Snapshots));
        BufFormat(show, sizeof show, "SNAP\\SHOW%03lu.BMP", static_cast<unsigned long>(Snapshots));
        Snapshots++;
    } while (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES && Snapshots < 1000);
    Record("snapshot %s %s", path, WriteSnapshot(path) ? "written" : "failed");
    if (Window)
        Record("snapshot %s %s", show, WriteWindow(show) ? "written" : "failed");
}

/* ---- the linked list in RAM ---- */

/* One bit per RAM word: a list that comes back to a packet it passed is
   walked once, not for ever. */
static uint8_t Visited[KOVA_RAM_SIZE / 4 / 8];

static void WalkChain(const uint32_t *ram, uint32_t offset)
{
    memset(Visited, 0, sizeof Visited);
    uint32_t at = offset & KOVA_RAM_ADDR_MASK & ~3u;
    for (;;) {
        uint32_t index = at / 4;
        if (Visited[index / 8] & (1u << (index % 8))) {
            Record("chain loops back to %08lx", static_cast<unsigned long>(at));
            return;
        }
        Visited[index / 8] = static_cast<uint8_t>(Visited[index / 8] | (1u << (index % 8)));
        uint32_t header = ram[index];
        uint32_t count = header >> 24;
        char line[512];
        BufFormat(line, sizeof line, "chain %08lx:", static_cast<unsigned long>(at));
        for (uint32_t i = 1; i <= count; i++) {
            uint32_t word = ram[(index + i) & (KOVA_RAM_ADDR_MASK / 4)];
            char hex[12];
            BufFormat(hex, sizeof hex, " %08lx", static_cast<unsigned long>(word));
            BufAppend(line, sizeof line, hex);
            Gp0Word(word);
        }
        Record("%s", line);
        /* the end marker 0xFFFFFF, or any address with bit 23 */
        if (header & 0x800000)
            return;
        at = header & KOVA_RAM_ADDR_MASK & ~3u;
    }
}

/* ---- the PSEmu Pro GPU interface ---- */

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        DWORD n = GetEnvironmentVariableA("KOVA_PSE_LOG", LogPath, sizeof LogPath);
        if (n == 0 || n >= sizeof LogPath)
            LogPath[0] = '\0';
        char path[MAX_PATH];
        GetModuleFileNameA(instance, path, sizeof path);
        const char *slash = strrchr(path, '\\');
        BufSet(FileName, slash ? slash + 1 : path);
        Record("attach");
    } else if (reason == DLL_PROCESS_DETACH) {
        Record("detach");
    }
    return TRUE;
}

long PSE_CALL GPUinit(void)
{
    Record("GPUinit");
    return 0;
}

long PSE_CALL GPUshutdown(void)
{
    Record("GPUshutdown");
    return 0;
}

long PSE_CALL GPUopen(HWND window)
{
    Record("GPUopen %08lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
    Window = window;
    return 0;
}

long PSE_CALL GPUclose(void)
{
    Record("GPUclose");
    Window = NULL;
    return 0;
}

unsigned long PSE_CALL GPUreadStatus(void)
{
    /* ready for commands and DMA; bit 23 while the display is off; bit 27
       while a readback waits; bit 31 flips on every read as the interlaced
       line does */
    unsigned long status = 0x14002000ul | (DisplayOn ? 0 : 0x00800000ul) |
                           (ReadbackActive ? 0x08000000ul : 0) | ((StatusCount++ & 1) ? 0x80000000ul : 0);
    Record("GPUreadStatus -> %08lx", status);
    return status;
}

void PSE_CALL GPUwriteStatus(unsigned long value)
{
    Record("GPUwriteStatus %08lx", value);
    static const uint32_t kWidths[4] = { 256, 320, 512, 640 };
    switch (value >> 24) {
    case 0x00: /* reset: display off, 256 x 240 at (0, 0) */
        DisplayOn = false;
        DisplayX = DisplayY = 0;
        DisplayWidth = 256;
        DisplayHeight = 240;
        [[fallthrough]]; /* and, as 0x01, ends any transfer */
    case 0x01: /* reset the command buffer: ends any transfer */
        State = GP0_COMMAND;
        ReadbackActive = false;
        break;
    case 0x03: /* bit 0 clear: display on */
        DisplayOn = (value & 1) == 0;
        break;
    case 0x05: /* display area start in VRAM */
        DisplayX = value & 0x3FF;
        DisplayY = (value >> 10) & 0x1FF;
        break;
    case 0x08: /* display mode: width, and 480 lines when interlaced */
        DisplayWidth = (value & 0x40) ? 368 : kWidths[value & 3];
        DisplayHeight = ((value & 0x04) && (value & 0x20)) ? 480 : 240;
        break;
    default:
        break;
    }
}

unsigned long PSE_CALL GPUreadData(void)
{
    unsigned long value = Gp0Read();
    Record("GPUreadData -> %08lx", value);
    return value;
}

void PSE_CALL GPUwriteData(unsigned long value)
{
    Record("GPUwriteData %08lx", value);
    Gp0Word(value);
}

void PSE_CALL GPUupdateLace(void)
{
    Record("GPUupdateLace");
    ShowDisplay();
}

long PSE_CALL GPUdmaChain(unsigned long *ramBase, unsigned long offset)
{
    Record("GPUdmaChain %08lx %08lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(ramBase)),
           offset);
    if (ramBase)
        WalkChain(reinterpret_cast<const uint32_t *>(ramBase), static_cast<uint32_t>(offset));
    return 0;
}

long PSE_CALL GPUconfigure(void)
{
    Record("GPUconfigure");
    MessageBoxA(GetActiveWindow(), PSE_NAME " has nothing to configure", PSE_NAME " configure", MB_OK);
    return 0;
}

long PSE_CALL GPUtest(void)
{
    Record("GPUtest -> %ld", static_cast<long>(PSE_TEST_RESULT));
    return PSE_TEST_RESULT;
}

void PSE_CALL GPUabout(void)
{
    Record("GPUabout");
    MessageBoxA(GetActiveWindow(), PSE_NAME ", a recording GPU plugin for the tests", PSE_NAME " about",
                MB_OK);
}

char *PSE_CALL PSEgetLibName(void)
{
    Record("PSEgetLibName");
#ifdef PSE_NAME_NULL
    return NULL;
#else
    static char name[] = PSE_NAME;
    return name;
#endif
}

unsigned long PSE_CALL PSEgetLibType(void)
{
    Record("PSEgetLibType");
    return PSE_TYPE;
}

unsigned long PSE_CALL PSEgetLibVersion(void)
{
    Record("PSEgetLibVersion");
    return PSE_VERSION;
}

void PSE_CALL GPUmakeSnapshot(void)
{
    Record("GPUmakeSnapshot");
    MakeSnapshot();
}

} /* extern "C" */
