#include "input_events.h"

#include <stdio.h>

const char kAllPadKeys[] = "Insert Prior Delete Next v z x c Tab Return Up Right Down Left";

bool SendX(const std::string &arguments)
{
    bool done = XDoTool(arguments);
    PumpMessages(40);
    return done;
}

HeldInput::~HeldInput()
{
    SendX(std::string("keyup ") + kAllPadKeys);
    SendX("mouseup 1");
    SendX("mouseup 2");
    SendX("mouseup 3");
}

/* ---- the foreground window, watched through a subclass procedure ---- */

static HWND Watched;
static WNDPROC WatchedProc;
static unsigned Losses;

static LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE)
        Losses++;
    return CallWindowProcA(WatchedProc, window, message, wParam, lParam);
}

ForegroundWindow::ForegroundWindow(const char *title, bool coverScreen)
    : window_(title), coverScreen_(coverScreen)
{
    EXPECT_TRUE(Watched == NULL) << "one foreground window at a time";
    Watched = window_.handle();
    Losses = 0;
    WatchedProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        Watched, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchProc)));
}

ForegroundWindow::~ForegroundWindow()
{
    if (Watched && WatchedProc)
        SetWindowLongPtrA(Watched, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchedProc));
    Watched = NULL;
}

unsigned ForegroundWindow::losses() const
{
    return Losses;
}

bool ForegroundWindow::Take()
{
    HWND window = window_.handle();
    if (coverScreen_) {
        int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        if (!MoveWindow(window, 0, 0, width, height, TRUE))
            return false;
        PumpMessages(20);
    }
    if (!window_.Focus())
        return false;
    if (coverScreen_) {
        RECT r;
        GetWindowRect(window, &r);
        char args[64];
        BufFormat(args, sizeof args, "mousemove %ld %ld", (r.left + r.right) / 2,
                  (r.top + r.bottom) / 2);
        if (!SendX(args))
            return false;
    }
    return GetForegroundWindow() == window;
}

bool RunUndisturbed(ForegroundWindow &window, unsigned lostForeground,
                    const std::function<bool()> &attempt)
{
    const int kAttempts = 5;
    for (int i = 1; i <= kAttempts; i++) {
        if (window.Take()) {
            unsigned before = window.losses();
            if (!attempt())
                return false;
            if (window.losses() - before <= lostForeground)
                return true;
        }
        printf("note: another window held the foreground during attempt %d; trying again\n", i);
        fflush(stdout);
        PumpMessages(300 * i);
    }
    ADD_FAILURE() << "another window took the foreground during every attempt: a test that "
                     "shows windows ran beside this one (it needs LOCKS xinput)";
    return false;
}
