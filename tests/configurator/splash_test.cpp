/* The splash in this process: its status texts in order, and what it does
   when its timer cannot be created. */
#include <algorithm>

#include "cfg_test.h"
#include "dialogs.h"

namespace {

int timerFailures;  /* how many more times the splash's timer is refused */
int splashTimerCalls;
ImportHook *setTimerHook;

UINT_PTR WINAPI RefusingSetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC proc)
{
    auto original = reinterpret_cast<decltype(&SetTimer)>(setTimerHook->original());
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

TEST(Splash, ShowsItsStepsAndWithoutATimerRetriesOrLoadsAtOnce)
{
    struct Row {
        const char *what;
        int refusals;              /* of the splash's timer */
        std::vector<int> answers;  /* to "Too many clocks or timers!", in turn */
        bool shown;                /* the splash shows its two steps */
        std::string plugin;        /* in PLUGIN\, a different one in each row: the scan ran */
        int list;                  /* where it is listed, as */
        const char *line;
    };
    const Row rows[] = {
        { "a timer at once", 0, {}, true, CdIdle(), IDC_CD_LIST, "CDIdle 1.0" },
        { "refused once, a retry succeeds and goes on as usual", 1, { IDRETRY }, true, PadIdle(),
          IDC_JOY0_LIST, "PadIdle 1.0" },
        { "refused on every try: Cancel loads at once", 100, { IDRETRY, IDRETRY, IDCANCEL }, false,
          Fake("twofaced"), IDC_CD_LIST, "TwoFaced 1.0" },
    };
    ImportHook hook(GetModuleHandleA(NULL), "user32.dll", "SetTimer",
                    reinterpret_cast<void *>(RefusingSetTimer));
    ASSERT_TRUE(hook.installed());
    setTimerHook = &hook;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ProgramDir dir("splash");
        dir.AddPlugin(row.plugin, "plugin.dll");
        dir.AddFile("KOVA.INI", "[KOVA]\r\nDebugger=on\r\n");
        timerFailures = row.refusals;
        splashTimerCalls = 0;
        Lines texts, seen;
        RunInProcess(dir.path, [&](HWND) {
            for (int answer : row.answers) {
                std::string text;
                EXPECT_TRUE(Answer("SystemError", answer, &text));
                texts.push_back(text);
            }
            HWND main = NULL;
            if (row.shown)
                seen = WatchSplash(GetCurrentProcessId(), &main);
            else
                main = WaitForDialog(kMainCaption, GetCurrentProcessId());
            ASSERT_TRUE(main != NULL);
            EXPECT_TRUE(Checked(main, IDC_DEBUGGER)) << "settings were loaded";
            for (const FamilyControls &family : kFamilies)
                EXPECT_EQ(family.list == row.list ? Lines({ row.line }) : Lines(),
                          ComboItems(main, family.list)) << family.installName;
        }, true);
        const Lines steps = { "Loading INI settings...", "Searching for plugins..." };
        EXPECT_EQ(row.shown ? steps : Lines(), seen);
        EXPECT_EQ(Lines(row.answers.size(), "Too many clocks or timers!"), texts);
        const auto retries = std::count(row.answers.begin(), row.answers.end(), IDRETRY);
        EXPECT_EQ(1 + retries, splashTimerCalls) << "one try, then one per retry";
        EXPECT_EQ(3, splashStep);
    }
    setTimerHook = NULL;
}
