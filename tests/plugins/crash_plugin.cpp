/* Badly written plugins for the tests: one library per set of definitions
 * (tests/plugins/CMakeLists.txt), each going wrong in one place.
 *
 * Which entry points it exports (by its .def file):
 *   CRASH_CD    a complete CD plugin, "Crash" 1.0
 *   CRASH_PSE   a PSEmu Pro GPU plugin of type 2, "Crash" 1.0
 * Where it goes wrong: CRASH_IN_<entry point> (CRASH_IN_CD_About,
 *   CRASH_IN_PSEgetLibType, ...), or CRASH_IN_DllMain (process attach).
 *   CRASH_IN_DIALOG with CRASH_IN_CD_Configure: the entry point first
 *   shows a dialog owned by the host's window, which goes wrong at its
 *   first timer tick, inside the modal loop.
 * How (CRASH_HOW):
 *   CRASH_NULL_WRITE   writes through a null pointer
 *   CRASH_DIVIDE       divides an integer by zero
 *   CRASH_ILLEGAL      runs an undefined instruction
 *   CRASH_STACK        recurses until the stack overflows
 *   CRASH_X87          unmasks the x87 exceptions and divides by zero
 *   CRASH_UNMASK       unmasks every x87 and SSE exception and returns
 *   CRASH_OVERRUN      (CD_About only) writes 4 KB past the record, with
 *                      "cdidle.dll" where a host may keep the file name
 *   CRASH_CHDIR        makes C:\ the current directory and returns
 *   CRASH_BOX          shows a message box "Crash plugin" and returns
 *   CRASH_EXIT         ends the process: ExitProcess(9)
 *   CRASH_ABORT        ends the process through the runtime's abort()
 *   CRASH_HANG         never returns (sleeps in a loop)
 * CD_Configure of the CRASH_CHDIR variant writes the current directory it
 * sees to KOVA.INI, "CRASH"/"Directory"; that of CRASH_UNMASK whether the
 * floating-point exceptions are masked when it is called, "CRASH"/
 * "Exceptions" ("masked" or "unmasked"). */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "kova_plugin.h"

enum {
    CRASH_NULL_WRITE = 1, CRASH_DIVIDE, CRASH_ILLEGAL, CRASH_STACK, CRASH_X87, CRASH_UNMASK,
    CRASH_OVERRUN, CRASH_CHDIR, CRASH_BOX, CRASH_EXIT, CRASH_ABORT, CRASH_HANG
};

static volatile int Zero = 0;
static int *volatile NullPointer = NULL;

static int Recurse(int depth)
{
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth == Zero - 1)
        return 0;
    return Recurse(depth + 1) + frame[Zero];
}

[[maybe_unused]] static void GoWrong()
{
    switch (CRASH_HOW) {
    case CRASH_NULL_WRITE:
        *NullPointer = 1;
        break;
    case CRASH_DIVIDE: {
        volatile int a = 1;
        a = a / Zero;
        break;
    }
    case CRASH_ILLEGAL:
        asm volatile("ud2");
        break;
    case CRASH_STACK:
        Recurse(0);
        break;
    case CRASH_X87: {
        unsigned short unmasked = 0x0360;
        asm volatile("fldcw %0" : : "m"(unmasked));
        volatile double a = 1.0, b = 0.0;
        volatile double c = a / b;
        (void)c;
        asm volatile("fwait");
        break;
    }
    case CRASH_UNMASK: {
        unsigned short unmasked = 0x0360;
        asm volatile("fldcw %0" : : "m"(unmasked));
        if (IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE)) {
            DWORD mxcsr;
            asm volatile("stmxcsr %0" : "=m"(mxcsr));
            mxcsr &= ~0x1F80u;
            asm volatile("ldmxcsr %0" : : "m"(mxcsr));
        }
        break;
    }
    case CRASH_CHDIR:
        SetCurrentDirectoryA("C:\\");
        break;
    case CRASH_BOX:
        MessageBoxA(NULL, "A plugin that asks something during the scan.", "Crash plugin",
                    MB_OK);
        break;
    case CRASH_EXIT:
        ExitProcess(9);
        break;
    case CRASH_ABORT:
        abort();
        break;
    case CRASH_HANG:
        for (;;)
            Sleep(1000);
        break;
    default:
        break;
    }
}

#ifdef CRASH_IN_DllMain
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        GoWrong();
    return TRUE;
}
#endif

#ifdef CRASH_CD
static uint8_t Image[CD_SECTOR_IMAGE_SIZE];

#ifdef CRASH_IN_DIALOG
static INT_PTR CALLBACK WrongDialog(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) {
        SetTimer(dialog, 1, 300, NULL);
        return TRUE;
    }
    if (message == WM_TIMER)
        GoWrong();
    return FALSE;
}

static void ShowWrongDialog(HWND owner)
{
    /* A template in memory: no controls, a caption. */
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass;
        WCHAR title[14];
    } __attribute__((aligned(4))) dialog;
    memset(&dialog, 0, sizeof dialog);
    dialog.header.style = WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME;
    dialog.header.cx = 120;
    dialog.header.cy = 40;
    memcpy(dialog.title, L"Crash dialog", sizeof(L"Crash dialog"));
    DialogBoxIndirectParamA(NULL, &dialog.header, owner, WrongDialog, 0);
}
#endif

extern "C" {

void KOVA_CALL CD_About(PluginInfo *info)
{
    memset(info, 0, sizeof *info);
    info->type = PLUGIN_CD;
    info->versionMajor = 1;
    strcpy(info->author, "Test Author");
    strcpy(info->name, "Crash");
    strcpy(info->description, "A plugin that goes wrong.");
#ifdef CRASH_IN_CD_About
    if (CRASH_HOW == CRASH_OVERRUN) {
        char *behind = reinterpret_cast<char *>(info) + sizeof *info;
        memset(behind, 0, 4096);
        strcpy(behind, "cdidle.dll");
    }
    GoWrong();
#endif
}

int32_t KOVA_CALL CD_Configure(HostServices *host)
{
    if (CRASH_HOW == CRASH_CHDIR) {
        char directory[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof directory, directory);
        host->writeSetting("CRASH", "Directory", directory);
    }
    if (CRASH_HOW == CRASH_UNMASK) {
        unsigned short controlWord;
        DWORD mxcsr = 0x1F80;
        asm volatile("fnstcw %0" : "=m"(controlWord));
        if (IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE))
            asm volatile("stmxcsr %0" : "=m"(mxcsr));
        bool masked = (controlWord & 0x3F) == 0x3F && (mxcsr & 0x1F80) == 0x1F80;
        host->writeSetting("CRASH", "Exceptions", masked ? "masked" : "unmasked");
    }
#ifdef CRASH_IN_CD_Configure
#ifdef CRASH_IN_DIALOG
    ShowWrongDialog(host->mainWindow);
#else
    GoWrong();
#endif
#endif
    return 0;
}

int32_t KOVA_CALL CD_Open(HostServices *) { return 0; }
void KOVA_CALL CD_Close(void) {}

uint8_t *KOVA_CALL CD_Read(const uint8_t *)
{
#ifdef CRASH_IN_CD_Read
    GoWrong();
#endif
    return Image;
}

int32_t KOVA_CALL CD_Play(void) { return 0; }
int32_t KOVA_CALL CD_Stop(void) { return 0; }
int32_t KOVA_CALL CD_GetTN(uint8_t *) { return -1; }
int32_t KOVA_CALL CD_GetTD(uint8_t *, int32_t) { return -1; }
int32_t KOVA_CALL CD_Wait(void) { return 0; }
void KOVA_CALL CD_GetSeek(void) {}

} /* extern "C" */
#endif /* CRASH_CD */

#ifdef CRASH_PSE
extern "C" {

long PSE_CALL GPUinit(void)
{
#ifdef CRASH_IN_GPUinit
    GoWrong();
#endif
    return 0;
}
long PSE_CALL GPUshutdown(void) { return 0; }
long PSE_CALL GPUopen(HWND) { return 0; }
long PSE_CALL GPUclose(void) { return 0; }
unsigned long PSE_CALL GPUreadStatus(void) { return 0x14802000; }
void PSE_CALL GPUwriteStatus(unsigned long) {}
unsigned long PSE_CALL GPUreadData(void) { return 0; }
void PSE_CALL GPUwriteData(unsigned long) {}
void PSE_CALL GPUupdateLace(void) {}
long PSE_CALL GPUdmaChain(unsigned long *, unsigned long) { return 0; }
void PSE_CALL GPUmakeSnapshot(void) {}

long PSE_CALL GPUconfigure(void)
{
#ifdef CRASH_IN_GPUconfigure
    GoWrong();
#endif
    return 0;
}
long PSE_CALL GPUtest(void)
{
#ifdef CRASH_IN_GPUtest
    GoWrong();
#endif
    return 0;
}
void PSE_CALL GPUabout(void)
{
#ifdef CRASH_IN_GPUabout
    GoWrong();
#endif
}
char *PSE_CALL PSEgetLibName(void)
{
#ifdef CRASH_IN_PSEgetLibName
    GoWrong();
#endif
    static char name[] = "Crash";
    return name;
}
unsigned long PSE_CALL PSEgetLibType(void)
{
#ifdef CRASH_IN_PSEgetLibType
    GoWrong();
#endif
    return 2;
}
unsigned long PSE_CALL PSEgetLibVersion(void)
{
#ifdef CRASH_IN_PSEgetLibVersion
    GoWrong();
#endif
    return 0x00000100;
}

} /* extern "C" */
#endif /* CRASH_PSE */
