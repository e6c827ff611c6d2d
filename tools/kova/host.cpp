/* The stand-in's side of the contract: transcript, settings callbacks over
 * its own KOVA.INI, the RAM, the window, and loading installed plugins. */
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "kova_ini.h"
#include "kova_module.h"
#include "kova_str.h"
#include "standin.h"

char ProgramDirectory[MAX_PATH];
char SettingsPath[MAX_PATH];
HostServices Host;
uint8_t *Ram;

static FILE *LogFile;
static int Failures;

int FailureCount()
{
    return Failures;
}

void OpenTranscript()
{
    char path[MAX_PATH];
    if (BufSet(path, ProgramDirectory) && BufAppend(path, "STANDIN.LOG"))
        LogFile = fopen(path, "wb");
}

void CloseTranscript()
{
    if (LogFile)
        fclose(LogFile);
    LogFile = NULL;
}

static void SayV(const char *format, va_list args)
{
    char line[2048];
    BufFormatV(line, sizeof line, format, args);
    fputs(line, stdout);
    fputc('\n', stdout);
    fflush(stdout);
    if (LogFile) {
        fputs(line, LogFile);
        fputs("\r\n", LogFile);
        fflush(LogFile);
    }
}

void Say(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    SayV(format, args);
    va_end(args);
}

void Fail(const char *format, ...)
{
    Failures++;
    va_list args;
    va_start(args, format);
    SayV(format, args);
    va_end(args);
}

void HexBytes(char *dst, size_t dstSize, const uint8_t *bytes, size_t count)
{
    dst[0] = '\0';
    for (size_t i = 0; i < count; i++) {
        char hex[4];
        BufFormat(hex, sizeof hex, i ? " %02x" : "%02x", bytes[i]);
        BufAppend(dst, dstSize, hex);
    }
}

/* ---- settings callbacks, as the emulator offers them to its plugins ---- */

static int32_t KOVA_CALL ReadSetting(const char *section, const char *key, char *out)
{
    ReadIniValue(SettingsPath, section, key, out, KOVA_SETTING_SIZE);
    return 0;
}

/* Each write reaches KOVA.INI whole, or the file stays as it was and the
   transcript says so. */
static int32_t KOVA_CALL WriteSetting(const char *section, const char *key, const char *value)
{
    if (!WriteIniValue(SettingsPath, section, key, value))
        Fail("settings %s %s: not written, KOVA.INI is as it was", section ? section : "(none)",
             key ? key : "(none)");
    return 0;
}

static void KOVA_CALL RamWriteNotify(uint32_t start, uint32_t end)
{
    Say("GPU ramWriteNotify %08lx %08lx", static_cast<unsigned long>(start),
        static_cast<unsigned long>(end));
}

/* ---- the window the plugins are given as mainWindow ---- */

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

static HWND CreateMainWindow(HINSTANCE instance)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(NULL, MAKEINTRESOURCEA(32512) /* IDC_ARROW */);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "KovaStandIn";
    RegisterClassA(&wc);
    /* A client area of 320 x 240, the display the GPU run sets up, so that
       a GPU plugin can show it pixel for pixel. */
    RECT frame = { 0, 0, 320, 240 };
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window = CreateWindowA("KovaStandIn", "KOVA stand-in", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                frame.bottom - frame.top, NULL, NULL, instance, NULL);
    if (window) {
        ShowWindow(window, SW_SHOWNORMAL);
        SetForegroundWindow(window);
        UpdateWindow(window);
    }
    return window;
}

void WaitForForeground()
{
    /* The mouse plugin takes the mouse for the foreground window only, and
       a window of a program just started is not always in front at once
       (the configurator that started it may still hold the foreground). */
    static const DWORD kWaitMs = 3000;
    HWND window = Host.mainWindow;
    DWORD start = GetTickCount();
    while (GetForegroundWindow() != window) {
        if (GetTickCount() - start >= kWaitMs) {
            Say("window: not in front after %lu ms", static_cast<unsigned long>(kWaitMs));
            return;
        }
        SetForegroundWindow(window);
        PumpMessages(20);
    }
}

bool SetUpHost(HINSTANCE instance)
{
    if (!ModuleDirectory(NULL, ProgramDirectory, sizeof ProgramDirectory)) {
        Fail("program directory: cannot be determined");
        return false;
    }
    /* Its ANSI name may be another folder's: nothing is opened there, not
       even the transcript. */
    if (!ModuleNameIsExact(NULL)) {
        Fail("program directory: its name cannot be used by KOVA (characters outside the "
             "system's character set); move it to a folder with a plain name");
        return false;
    }
    if (!BufSet(SettingsPath, ProgramDirectory) || !BufAppend(SettingsPath, "KOVA.INI")) {
        Fail("program directory: path too long");
        return false;
    }
    Ram = static_cast<uint8_t *>(VirtualAlloc(NULL, KOVA_RAM_SIZE, MEM_RESERVE | MEM_COMMIT,
                                              PAGE_READWRITE));
    memset(&Host, 0, sizeof Host);
    Host.ramBase = Ram;
    Host.flags = 0xFFFFFFFFu; /* all set, so that a cleared bit shows */
    Host.readSetting = ReadSetting;
    Host.writeSetting = WriteSetting;
    Host.ramWriteNotify = RamWriteNotify;
    Host.hostInstance = instance;
    Host.mainWindow = CreateMainWindow(instance);
    if (!Ram || !Host.mainWindow) {
        Fail("host: cannot set up RAM or window");
        return false;
    }
    PumpMessages(50);
    return true;
}

void PrintSettings()
{
    /* The whole section as stored, in file order: what the emulator gets. */
    static char section[32768];
    DWORD n = GetPrivateProfileSectionA("KOVA", section, sizeof section, SettingsPath);
    if (GetFileAttributesA(SettingsPath) == INVALID_FILE_ATTRIBUTES) {
        Say("settings KOVA.INI missing");
        return;
    }
    Say("settings [KOVA]%s", n ? "" : " empty");
    for (const char *p = section; *p; p += strlen(p) + 1)
        Say("  %s", p);
}

/* ---- installed plugins ---- */

bool ReportFailedCall(InstalledPlugin *plugin, const char *entry, const GuardOutcome &outcome)
{
    if (!outcome.failed)
        return true;
    plugin->failed = true;
    Fail("%s %s: %s raised exception %08lx", plugin->family, plugin->fileName, entry,
         static_cast<unsigned long>(outcome.code));
    return false;
}

bool LoadInstalled(InstalledPlugin *plugin, const char *const *names, size_t count)
{
    char path[MAX_PATH];
    plugin->module = NULL;
    plugin->opened = false;
    plugin->failed = false;
    if (!BufSet(path, ProgramDirectory) || !BufAppend(path, plugin->fileName)) {
        Fail("%s %s: path too long", plugin->family, plugin->fileName);
        return false;
    }
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        Say("%s %s: not installed", plugin->family, plugin->fileName);
        return false;
    }
    /* Loading runs the library's DllMain. */
    HMODULE module = NULL;
    DWORD error = 0;
    if (!Call(plugin, "DllMain", [&] {
            module = LoadLibraryA(path);
            error = GetLastError();
        }))
        return false;
    plugin->module = module;
    if (!plugin->module) {
        Fail("%s %s: cannot be loaded (error %lu)", plugin->family, plugin->fileName, error);
        return false;
    }
    bool complete = true;
    for (size_t i = 0; i < count; i++) {
        if (!GetProcAddress(plugin->module, names[i])) {
            Fail("%s %s: missing entry point %s", plugin->family, plugin->fileName, names[i]);
            complete = false;
        }
    }
    if (!complete) {
        Call(plugin, "DllMain", [&] { FreeLibrary(plugin->module); });
        plugin->module = NULL;
        return false;
    }
    Say("%s %s: loaded", plugin->family, plugin->fileName);
    return true;
}
