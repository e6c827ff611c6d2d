/* mousepad with the real mouse: DirectInput under Wine on the test display,
   moved and clicked with xdotool while a window of this process holds the
   foreground, as the emulator's window would. */
#include <string.h>

#include <utility>

#include "input_events.h"
#include "kova_test.h"

namespace {

/* One step of a sequence: an xdotool action, then a poll. */
struct Step {
    const char *what;
    const char *xdotool; /* "" for none */
    const char *bytes;   /* 4 to 6 after the poll */
};
typedef std::vector<Step> Steps;

class MousePadLive : public testing::Test {
protected:
    ForegroundWindow emulator{ "mousepad window", true };
    Joy1Exports pad{ ShippedPath("mousepad.dll") };
    HostServices host = {};
    uint8_t report[8];
    /* Each step run, with the whole report after it. */
    std::vector<std::pair<const Step *, std::string>> seen;

    void SetUp() override
    {
        ASSERT_TRUE(HaveXDisplay()) << "real mouse events need the test display";
        ASSERT_TRUE(pad.lib.loaded());
        host.mainWindow = emulator.handle();
        host.hostInstance = GetModuleHandleA(NULL);
    }
    /* An attempt starts with nothing seen and the report preset by init-header. */
    void Start()
    {
        seen.clear();
        memset(report, 0xCC, sizeof report);
        EXPECT_EQ(7, pad.JOY1_InitHeader(report));
    }
    bool Open()
    {
        if (pad.JOY1_Open(&host) == 0)
            return true;
        ADD_FAILURE() << "JOY1_Open failed";
        return false;
    }
    bool Run(const Steps &steps)
    {
        for (const Step &step : steps) {
            if (*step.xdotool && !SendX(step.xdotool)) {
                ADD_FAILURE() << "xdotool " << step.xdotool;
                return false;
            }
            pad.JOY1_Poll();
            seen.push_back({ &step, Bytes(report, 8) });
        }
        return true;
    }
    /* Byte 0 and the byte past the report are the emulator's and must stay 0xCC. */
    void ExpectSeen()
    {
        for (const auto &step : seen)
            EXPECT_EQ(std::string("cc 12 5a ff ") + step.first->bytes + " cc", step.second)
                << step.first->what;
    }
};

} // namespace

TEST_F(MousePadLive, MotionAndButtonsOfTheRealMouseReachBytesFourToSix)
{
    const Steps steps = {
        { "30 right, 20 up", "mousemove_relative -- 30 -20", "ff 1e ec" },
        { "no motion since the last poll", "", "ff 00 00" },
        { "+300 and -300 clamp", "mousemove_relative -- 300 -300", "ff 7f 80" },
        { "the clamped rest is not carried", "", "ff 00 00" },
        { "one count left", "mousemove_relative -- -1 0", "ff ff 00" },
        { "one count down", "mousemove_relative -- 0 1", "ff 00 01" },
        { "exactly the range", "mousemove_relative -- 127 -128", "ff 7f 80" },
        { "left button down", "mousedown 1", "f7 00 00" },
        { "left held, no new motion", "", "f7 00 00" },
        { "right too", "mousedown 3", "f3 00 00" },
        { "left up, right held", "mouseup 1", "fb 00 00" },
        { "right held while moving", "mousemove_relative -- -5 7", "fb fb 07" },
        { "right up", "mouseup 3", "ff 00 00" },
        { "middle button is not reported", "mousedown 2", "ff 00 00" },
        { "middle up", "mouseup 2", "ff 00 00" },
        { "wheel is not reported", "click 4", "ff 00 00" },
    };
    bool ran = RunUndisturbed(emulator, 0, [&]() {
        HeldInput held;
        if (!Open())
            return false;
        Start();
        pad.JOY1_Poll(); /* whatever moved before */
        bool done = Run(steps);
        pad.JOY1_Close();
        return done;
    });
    ASSERT_TRUE(ran);
    ExpectSeen();
}

TEST_F(MousePadLive, LosingTheForegroundGivesARestingMouseUntilItComesBack)
{
    const Steps before = {
        { "own window in front", "mousemove_relative -- 30 -20", "ff 1e ec" },
        { "right button held when the window goes", "mousedown 3", "fb 00 00" },
    };
    const Steps away = {
        { "foreground lost", "", "ff 00 00" },
        { "motion elsewhere is not reported", "mousemove_relative -- 30 -20", "ff 00 00" },
        { "still lost, polls keep returning", "", "ff 00 00" },
        { "button released elsewhere", "mouseup 3", "ff 00 00" },
    };
    const Steps back = {
        { "back in front: this poll takes the mouse again", "", "ff 00 00" },
        { "motion again", "mousemove_relative -- -30 20", "ff e2 14" },
        { "and buttons", "mousedown 1", "f7 00 00" },
        { "released", "mouseup 1", "ff 00 00" },
    };
    bool ran = RunUndisturbed(emulator, 1, [&]() {
        HeldInput held;
        if (!Open())
            return false;
        Start();
        pad.JOY1_Poll();
        bool done = Run(before);
        if (done) {
            TestWindow other("another window");
            if (!other.Focus()) {
                ADD_FAILURE() << "the other window does not take the foreground";
                done = false;
            }
            done = done && Run(away);
            done = done && emulator.Take();
        }
        done = done && Run(back);
        pad.JOY1_Close();
        return done;
    });
    ASSERT_TRUE(ran);
    ExpectSeen();
}

namespace {

std::vector<HANDLE> NotedEvents;

HANDLE WINAPI NoteEvent(SECURITY_ATTRIBUTES *security, BOOL manual, BOOL initial, const char *name)
{
    HANDLE event = CreateEventA(security, manual, initial, name);
    NotedEvents.push_back(event);
    return event;
}

} // namespace

TEST_F(MousePadLive, CloseEndsTheDeviceAndOpenCyclesKeepWorking)
{
    /* The events the plugin makes, seen on their way out of kernel32. */
    ImportHook events(pad.lib.handle(), "kernel32.dll", "CreateEventA",
                      reinterpret_cast<void *>(NoteEvent));
    ASSERT_TRUE(events.installed());
    const Steps closed = { { "poll before any open", "mousemove_relative -- 10 10", "ff 00 00" } };
    const Steps open = { { "moves while open", "mousemove_relative -- 4 -4", "ff 04 fc" } };
    const Steps after = { { "polls after close", "mousemove_relative -- 10 10", "ff 00 00" } };
    const int kCycles = 4;
    std::vector<std::string> eventStates;
    bool ran = RunUndisturbed(emulator, 0, [&]() {
        eventStates.clear();
        NotedEvents.clear();
        HeldInput held;
        pad.JOY1_Close(); /* nothing open yet */
        Start();
        bool done = Run(closed);
        for (int cycle = 0; done && cycle < kCycles; cycle++) {
            if (!Open())
                return false;
            HANDLE event = NotedEvents.empty() ? NULL : NotedEvents.back();
            DWORD flags = 0;
            std::string state = GetHandleInformation(event, &flags) ? "event open" : "no event";
            pad.JOY1_Poll();
            done = Run(open);
            pad.JOY1_Close();
            state += GetHandleInformation(event, &flags) ? ", left open by close" : ", closed by close";
            eventStates.push_back(state);
            pad.JOY1_Close();
            done = done && Run(after);
        }
        return done;
    });
    ASSERT_TRUE(ran);
    ExpectSeen();
    EXPECT_EQ(static_cast<size_t>(kCycles), NotedEvents.size()) << "one event per open";
    EXPECT_EQ(std::vector<std::string>(kCycles, "event open, closed by close"), eventStates);
}
