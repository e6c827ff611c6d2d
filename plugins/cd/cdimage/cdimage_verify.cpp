/* "Verify" in the "CD Image" dialog: the checksum an ECM file keeps of the
 * whole image, checked only when the user asks (it means decoding every
 * sector: some seconds for a whole disc). A small dialog shows the
 * progress while the check runs a step at a time from a timer, so that
 * its Cancel stops it between two steps; a message box then says what the
 * check found. The file is read here as it is stored, not through the
 * readers' file layer, which gives the image the stream holds. */
#include "cdimage_verify.h"

#include <commctrl.h>

#include "cdimage.h"
#include "disc.h"
#include "ecm_stream.h"
#include "kova_module.h"
#include "kova_str.h"
#include "resource.h"

#define VERIFY_CAPTION "Verify"
/* Image bytes checked in one step, and the time the steps of one timer
   tick may take before the dialog gets to its messages again. */
#define VERIFY_STEP_SIZE ECM_SPAN_IMAGE
#define VERIFY_TICK_MS 50
#define VERIFY_TIMER 1

static struct {
    HANDLE file;
    EcmIndex index;
    EcmSource source;
    EcmVerify verify;
} Check;
static uint8_t StepBuffer[VERIFY_STEP_SIZE];

static bool ReadCheckedFile(void *file, int64_t offset, void *dst, uint32_t size)
{
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD got = 0;
    return SetFilePointerEx(static_cast<HANDLE>(file), at, NULL, FILE_BEGIN) &&
           ReadFile(static_cast<HANDLE>(file), dst, size, &got, NULL) && got == size;
}

static INT_PTR CALLBACK VerifyProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(dialog, IDC_VERIFY_PROGRESS, PBM_SETRANGE32, 0, 1000);
        SetTimer(dialog, VERIFY_TIMER, 1, NULL);
        return TRUE;
    case WM_TIMER: {
        DWORD began = GetTickCount();
        int result;
        do {
            result = EcmVerifyStep(&Check.verify, &Check.index, &Check.source, StepBuffer, sizeof StepBuffer);
        } while (result == ECM_VERIFY_MORE && GetTickCount() - began < VERIFY_TICK_MS);
        uint32_t size = Check.index.size ? Check.index.size : 1;
        SendDlgItemMessageA(dialog, IDC_VERIFY_PROGRESS, PBM_SETPOS,
                            static_cast<WPARAM>(static_cast<uint64_t>(Check.verify.done) * 1000 / size), 0);
        if (result != ECM_VERIFY_MORE) {
            KillTimer(dialog, VERIFY_TIMER);
            EndDialog(dialog, result);
        }
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            KillTimer(dialog, VERIFY_TIMER);
            EndDialog(dialog, -1);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

/* The progress bar's window class comes with the common controls, loaded
   only for the check: the emulator never pays for them. */
static INT_PTR RunVerifyDialog(HWND owner)
{
    HMODULE controls = LoadLibraryA("comctl32.dll");
    typedef BOOL(WINAPI * InitFn)(const INITCOMMONCONTROLSEX *);
    InitFn init = controls ? GetProcAs<InitFn>(controls, "InitCommonControlsEx") : NULL;
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    INT_PTR result = -2;
    if (init && init(&classes))
        result = DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_CDIMAGE_VERIFY), owner, VerifyProc, 0);
    if (controls)
        FreeLibrary(controls);
    return result;
}

/* "NAME.BIN.ECM: what was found", in a box of its own. */
static void Say(HWND owner, const wchar_t *path, const char *what, UINT icon)
{
    static wchar_t text[DISC_PATH_SIZE + DISC_TEXT_SIZE];
    const wchar_t *name = DiscPathName(path);
    size_t n = wcslen(name);
    wmemcpy(text, name, n);
    text[n++] = L':';
    text[n++] = L' ';
    if (!MultiByteToWideChar(CP_UTF8, 0, what, -1, text + n, static_cast<int>(dimof(text) - n)))
        text[n] = L'\0';
    MessageBoxW(owner, text, L"" VERIFY_CAPTION, MB_OK | icon);
}

bool VerifyEcmImage(HWND owner, const wchar_t *path)
{
    Check.file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    LARGE_INTEGER size;
    if (Check.file == INVALID_HANDLE_VALUE || !GetFileSizeEx(Check.file, &size)) {
        if (Check.file != INVALID_HANDLE_VALUE)
            CloseHandle(Check.file);
        Say(owner, path, "the file cannot be opened", MB_ICONWARNING);
        return true;
    }
    Check.source.file = Check.file;
    Check.source.readAt = ReadCheckedFile;
    char problem[DISC_TEXT_SIZE];
    INT_PTR result = -2;
    if (EcmIndexStream(&Check.index, &Check.source, size.QuadPart, problem, sizeof problem)) {
        EcmVerifyStart(&Check.verify);
        result = RunVerifyDialog(owner);
        EcmFree(&Check.index);
        BufSet(problem, "the check could not be shown");
    }
    CloseHandle(Check.file);
    Check.file = INVALID_HANDLE_VALUE;
    if (result == -1)
        return false;  /* cancelled */
    if (result == ECM_VERIFY_GOOD)
        Say(owner, path, "the image matches its checksum: it is whole.", MB_ICONINFORMATION);
    else if (result == ECM_VERIFY_BAD)
        Say(owner, path, "the image does not match its checksum: it is damaged.", MB_ICONWARNING);
    else if (result == ECM_VERIFY_UNREADABLE)
        Say(owner, path, "the image could not be read to its end.", MB_ICONWARNING);
    else
        Say(owner, path, problem, MB_ICONWARNING);
    return true;
}
