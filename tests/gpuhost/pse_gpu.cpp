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
 * It keeps a VRAM of 1024 x 512 halfwords and understands the two GP0
 * transfer commands: 0xA0 (image to VRAM) and 0xC0 (image from VRAM, read
 * back through GPUreadData). GPUmakeSnapshot writes the VRAM as a 16-bit BMP
 * file to SNAP\SNAPnnn.BMP below the current directory. */
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

/* ---- GP0: the two image transfers ---- */

enum Gp0State { GP0_COMMAND, GP0_PARAMETERS, GP0_UPLOAD };

struct Transfer {
    uint32_t x, y, width, height;
    uint32_t next;   /* halfwords done */
    uint32_t total;  /* width x height */
};

static Gp0State State = GP0_COMMAND;
static uint32_t Command;
static uint32_t Parameters[2];
static uint32_t ParameterCount;
static Transfer Upload;
static Transfer Readback;
static bool ReadbackActive;
static uint32_t ReadCount;   /* GPUREAD latch outside a readback */
static uint32_t StatusCount;
static uint32_t Snapshots;

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
        if (ParameterCount < 2)
            break;
        State = GP0_COMMAND;
        if (Command == 0xA0) {
            StartTransfer(&Upload, Parameters[0], Parameters[1]);
            State = GP0_UPLOAD;
        } else {
            StartTransfer(&Readback, Parameters[0], Parameters[1]);
            ReadbackActive = true;
        }
        break;
    case GP0_COMMAND:
        Command = word >> 24;
        if (Command == 0xA0 || Command == 0xC0) {
            ParameterCount = 0;
            State = GP0_PARAMETERS;
        }
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

static bool WriteSnapshot(const char *path)
{
    static const uint32_t kPixels = VRAM_WIDTH * VRAM_HEIGHT * 2;
    uint8_t header[54];
    memset(header, 0, sizeof header);
    header[0] = 'B';
    header[1] = 'M';
    PutLe(header + 2, sizeof header + kPixels, 4);
    PutLe(header + 10, sizeof header, 4);
    PutLe(header + 14, 40, 4);
    PutLe(header + 18, VRAM_WIDTH, 4);
    PutLe(header + 22, VRAM_HEIGHT, 4);
    PutLe(header + 26, 1, 2);
    PutLe(header + 28, 16, 2);
    PutLe(header + 34, kPixels, 4);
    FILE *f = fopen(path, "wb");
    if (!f)
        return false;
    bool ok = fwrite(header, sizeof header, 1, f) == 1;
    static uint8_t line[VRAM_WIDTH * 2];
    for (int y = VRAM_HEIGHT - 1; ok && y >= 0; y--) {
        for (int x = 0; x < VRAM_WIDTH; x++) {
            /* PlayStation 1-5-5-5 is red in the low bits; a BMP has blue. */
            uint16_t p = Vram[y][x];
            uint16_t bgr = static_cast<uint16_t>(((p & 0x1F) << 10) | (p & 0x3E0) | ((p >> 10) & 0x1F));
            PutLe(line + 2 * x, bgr, 2);
        }
        ok = fwrite(line, sizeof line, 1, f) == 1;
    }
    return fclose(f) == 0 && ok;
}

static void MakeSnapshot()
{
    CreateDirectoryA("SNAP", NULL);
    for (;;) {
        char path[MAX_PATH];
        BufFormat(path, sizeof path, "SNAP\\SNAP%03lu.BMP", static_cast<unsigned long>(Snapshots));
        Snapshots++;
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES && Snapshots < 1000)
            continue;
        Record("snapshot %s %s", path, WriteSnapshot(path) ? "written" : "failed");
        return;
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
    return 0;
}

long PSE_CALL GPUclose(void)
{
    Record("GPUclose");
    return 0;
}

unsigned long PSE_CALL GPUreadStatus(void)
{
    /* ready for commands and DMA; bit 27 while a readback waits; bit 31
       flips on every read as the interlaced line does */
    unsigned long status = 0x14802000ul | (ReadbackActive ? 0x08000000ul : 0) |
                           ((StatusCount++ & 1) ? 0x80000000ul : 0);
    Record("GPUreadStatus -> %08lx", status);
    return status;
}

void PSE_CALL GPUwriteStatus(unsigned long value)
{
    Record("GPUwriteStatus %08lx", value);
    /* GP1 0x00 (reset) and 0x01 (reset the command buffer) end any transfer */
    if ((value >> 24) <= 0x01) {
        State = GP0_COMMAND;
        ReadbackActive = false;
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
}

long PSE_CALL GPUdmaChain(unsigned long *ramBase, unsigned long offset)
{
    Record("GPUdmaChain %08lx %08lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(ramBase)),
           offset);
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
