/* The splash: its timer ticks load the settings and then search for
 * plugins, each after its status text is shown, so the picture is painted
 * before any work begins. */
#include "configurator.h"
#include "resource.h"

enum { SPLASH_TIMER = 1, SPLASH_PERIOD_MS = 200 };

static void RunStep(HWND dialog, int step)
{
    switch (step) {
    case 0:
        SetDlgItemTextA(dialog, IDC_SPLASH_STATUS, "Loading INI settings...");
        LoadSettings();
        break;
    case 1:
        SetDlgItemTextA(dialog, IDC_SPLASH_STATUS, "Searching for plugins...");
        ScanPlugins();
        break;
    case 2:
        KillTimer(dialog, SPLASH_TIMER);
        EndDialog(dialog, 0);
        break;
    default:
        break;
    }
}

/* The template is laid out for the classic 8-point dialog font, under which
   the picture fills it exactly; with another font the dialog units differ,
   so the window is fitted to the picture, with the status line below it. */
static void FitToPicture(HWND dialog)
{
    /* The picture has no id of its own: it is the first control. */
    HWND picture = GetWindow(dialog, GW_CHILD);
    HWND status = GetDlgItem(dialog, IDC_SPLASH_STATUS);
    RECT pictureRect, statusRect;
    if (!picture || !status || !GetWindowRect(picture, &pictureRect) ||
        !GetWindowRect(status, &statusRect))
        return;
    int width = pictureRect.right - pictureRect.left;
    int height = pictureRect.bottom - pictureRect.top;
    int statusHeight = statusRect.bottom - statusRect.top;
    if (width <= 0 || height <= 0)
        return;
    SetWindowPos(picture, NULL, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(status, NULL, 0, height, width, statusHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT frame = { 0, 0, width, height + statusHeight };
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE)));
    int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - frameWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - frameHeight) / 2;
    SetWindowPos(dialog, NULL, x, y, frameWidth, frameHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

static INT_PTR CALLBACK SplashProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FitToPicture(dialog);
        while (!SetTimer(dialog, SPLASH_TIMER, SPLASH_PERIOD_MS, NULL)) {
            int answer = MessageBoxA(dialog, "Too many clocks or timers!", "SystemError",
                                     MB_ICONEXCLAMATION | MB_RETRYCANCEL);
            if (answer != IDRETRY) {
                /* Without a timer the splash would never advance: do its
                   work now and go on to the main dialog. */
                RunStep(dialog, 0);
                RunStep(dialog, 1);
                splashStep = 3;
                EndDialog(dialog, 0);
                return TRUE;
            }
        }
        return TRUE;
    case WM_TIMER: {
        /* A step that pumps messages (a plugin's message box during the
           scan, say) lets further ticks arrive while it runs: they are
           passed over, so that every step runs once and in order. */
        static bool stepRunning;
        if (stepRunning)
            return TRUE;
        stepRunning = true;
        RunStep(dialog, splashStep);
        splashStep++;
        stepRunning = false;
        return TRUE;
    }
    default:
        return FALSE;
    }
}

INT_PTR RunSplash()
{
    return DialogBoxParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_SPLASH), NULL, SplashProc, 0);
}
