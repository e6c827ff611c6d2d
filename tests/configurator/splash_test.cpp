/* The splash in this process: its status texts in order, and what it does
   when its timer cannot be created. */
#include <string.h>

#include "cfg_test.h"
#include "dialogs.h"

namespace {

/* The splash has no caption: it is this process's untitled dialog. */
HWND WaitForSplash()
{
    return WaitForDialog("", GetCurrentProcessId(), 5000);
}

/* Watches the status line until the main dialog appears; the distinct
   non-empty texts in the order they were shown. */
std::vector<std::string> WatchStatus(HWND splash, HWND *main)
{
    std::vector<std::string> seen;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000) {
        std::string text = IsWindow(splash) ? ItemText(splash, IDC_SPLASH_STATUS) : "";
        /* A window going away answers nothing. */
        if (text == "<no answer>")
            text.clear();
        if (!text.empty() && (seen.empty() || seen.back() != text))
            seen.push_back(text);
        *main = WaitForDialog(kMainCaption, GetCurrentProcessId(), 0);
        if (*main)
            break;
        Sleep(5);
    }
    return seen;
}

int timerFailures;  /* how many more times the splash's timer is refused */
int splashTimerCalls;
ImportHook *setTimerHook;

UINT_PTR WINAPI RefusingSetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC proc)
{
    typedef UINT_PTR(WINAPI * SetTimerFn)(HWND, UINT_PTR, UINT, TIMERPROC);
    SetTimerFn original = reinterpret_cast<SetTimerFn>(setTimerHook->original());
    if (window != NULL && id == 1 && ms == 200) {
        splashTimerCalls++;
        if (timerFailures > 0) {
            timerFailures--;
            return 0;
        }
    }
    return original(window, id, ms, proc);
}

} // namespace

TEST(Splash, ShowsLoadingThenSearchingBeforeTheMainDialog)
{
    ProgramDir dir("splash");
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddFile("KOVA.INI", "[KOVA]\r\nDebugger=on\r\n");
    std::vector<std::string> seen;
    RunInProcess(dir.path, [&](HWND) {
        HWND splash = WaitForSplash();
        ASSERT_TRUE(splash != NULL);
        HWND main = NULL;
        seen = WatchStatus(splash, &main);
        ASSERT_TRUE(main != NULL);
        EXPECT_FALSE(IsWindow(splash)) << "the splash is gone";
        EXPECT_TRUE(Checked(main, IDC_DEBUGGER)) << "settings were loaded";
        EXPECT_EQ(std::vector<std::string>({ "CDIdle 1.0" }), ComboItems(main, IDC_CD_LIST));
    }, true);
    EXPECT_EQ(std::vector<std::string>({ "Loading INI settings...", "Searching for plugins..." }), seen);
    EXPECT_EQ(3, splashStep);
}

TEST(Splash, WithoutATimerRetryTriesAgainAndCancelLoadsAtOnce)
{
    ProgramDir dir("no timer");
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddFile("KOVA.INI", "[KOVA]\r\nDebugger=on\r\n");
    ImportHook hook(GetModuleHandleA(NULL), "user32.dll", "SetTimer",
                    reinterpret_cast<void *>(RefusingSetTimer));
    ASSERT_TRUE(hook.installed());
    setTimerHook = &hook;
    timerFailures = 100;
    splashTimerCalls = 0;
    std::vector<std::string> texts;
    RunInProcess(dir.path, [&](HWND) {
        for (int answer : { IDRETRY, IDRETRY, IDCANCEL }) {
            std::string text;
            EXPECT_TRUE(Answer("SystemError", answer, &text));
            texts.push_back(text);
        }
        HWND main = WaitForDialog(kMainCaption, GetCurrentProcessId());
        ASSERT_TRUE(main != NULL);
        EXPECT_TRUE(Checked(main, IDC_DEBUGGER));
        EXPECT_EQ(std::vector<std::string>({ "CDIdle 1.0" }), ComboItems(main, IDC_CD_LIST));
    }, true);
    setTimerHook = NULL;
    EXPECT_EQ(3, splashTimerCalls) << "one try and two retries";
    EXPECT_EQ(std::vector<std::string>(3, "Too many clocks or timers!"), texts);
}

TEST(Splash, RetryThatSucceedsGoesOnAsUsual)
{
    ProgramDir dir("timer later");
    dir.AddPlugin(PadIdle(), "padidle.dll");
    ImportHook hook(GetModuleHandleA(NULL), "user32.dll", "SetTimer",
                    reinterpret_cast<void *>(RefusingSetTimer));
    ASSERT_TRUE(hook.installed());
    setTimerHook = &hook;
    timerFailures = 1;
    splashTimerCalls = 0;
    RunInProcess(dir.path, [&](HWND) {
        EXPECT_TRUE(Answer("SystemError", IDRETRY));
        HWND splash = WaitForSplash();
        HWND main = NULL;
        std::vector<std::string> seen = WatchStatus(splash, &main);
        ASSERT_TRUE(main != NULL);
        EXPECT_EQ(std::vector<std::string>({ "Loading INI settings...", "Searching for plugins..." }),
                  seen);
        EXPECT_EQ(std::vector<std::string>({ "PadIdle 1.0" }), ComboItems(main, IDC_JOY0_LIST));
    }, true);
    setTimerHook = NULL;
    EXPECT_EQ(2, splashTimerCalls);
}
