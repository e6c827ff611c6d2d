/* mousepad with the real mouse: DirectInput under Wine on the test display,
   moved and clicked with xdotool while a window of this process holds the
   foreground, as the emulator's window would. */
#include <string.h>

#include "input_events.h"
#include "kova_test.h"

namespace {

struct MousePad : Joy1Exports {
    MousePad() : Joy1Exports(ShippedPath("mousepad.dll")) {}
};

HostServices HostFor(HWND window)
{
    HostServices host;
    memset(&host, 0, sizeof host);
    host.mainWindow = window;
    host.hostInstance = GetModuleHandleA(NULL);
    return host;
}

/* One step of a sequence: an xdotool action, then a poll. */
struct Step {
    const char *what;
    const char *xdotool; /* "" for none */
    const char *bytes;   /* 4 to 6 after the poll */
};

/* The whole report after each step, e.g. "cc 12 5a ff f7 00 00 cc": byte 0
   and the byte past the report are the emulator's and must stay 0xCC. */
bool RunSteps(MousePad &pad, uint8_t *report, const Step *steps, size_t count,
              std::vector<std::string> *seen)
{
    for (size_t i = 0; i < count; i++) {
        if (*steps[i].xdotool && !SendX(steps[i].xdotool)) {
            ADD_FAILURE() << "xdotool " << steps[i].xdotool;
            return false;
        }
        pad.JOY1_Poll();
        seen->push_back(Bytes(report, 8));
    }
    return true;
}

void ExpectSteps(const std::vector<const Step *> &steps, const std::vector<std::string> &seen)
{
    ASSERT_EQ(steps.size(), seen.size());
    for (size_t i = 0; i < steps.size(); i++)
        EXPECT_EQ(std::string("cc 12 5a ff ") + steps[i]->bytes + " cc", seen[i]) << steps[i]->what;
}

template <size_t N>
void Collect(std::vector<const Step *> *all, const Step (&steps)[N])
{
    for (const Step &step : steps)
        all->push_back(&step);
}

} // namespace

TEST(MousePadLive, MotionAndButtonsOfTheRealMouseReachBytesFourToSix)
{
    ASSERT_TRUE(HaveXDisplay()) << "real mouse events need the test display";
    ForegroundWindow emulator("mousepad window", true);
    MousePad pad;
    ASSERT_TRUE(pad.lib.loaded());
    HostServices host = HostFor(emulator.handle());

    const Step steps[] = {
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
    std::vector<std::string> seen;
    bool ran = RunUndisturbed(emulator, 0, [&]() {
        seen.clear();
        HeldInput held;
        if (pad.JOY1_Open(&host) != 0) {
            ADD_FAILURE() << "JOY1_Open failed";
            return false;
        }
        uint8_t report[8];
        memset(report, 0xCC, sizeof report);
        EXPECT_EQ(7, pad.JOY1_InitHeader(report));
        pad.JOY1_Poll(); /* whatever moved before */
        bool done = RunSteps(pad, report, steps, dimof(steps), &seen);
        pad.JOY1_Close();
        return done;
    });
    ASSERT_TRUE(ran);
    std::vector<const Step *> all;
    Collect(&all, steps);
    ExpectSteps(all, seen);
}

TEST(MousePadLive, LosingTheForegroundGivesARestingMouseUntilItComesBack)
{
    ASSERT_TRUE(HaveXDisplay()) << "real mouse events need the test display";
    ForegroundWindow emulator("mousepad window", true);
    MousePad pad;
    ASSERT_TRUE(pad.lib.loaded());
    HostServices host = HostFor(emulator.handle());

    const Step before[] = {
        { "own window in front", "mousemove_relative -- 30 -20", "ff 1e ec" },
        { "right button held when the window goes", "mousedown 3", "fb 00 00" },
    };
    const Step away[] = {
        { "foreground lost", "", "ff 00 00" },
        { "motion elsewhere is not reported", "mousemove_relative -- 30 -20", "ff 00 00" },
        { "still lost, polls keep returning", "", "ff 00 00" },
        { "button released elsewhere", "mouseup 3", "ff 00 00" },
    };
    const Step back[] = {
        { "back in front: this poll takes the mouse again", "", "ff 00 00" },
        { "motion again", "mousemove_relative -- -30 20", "ff e2 14" },
        { "and buttons", "mousedown 1", "f7 00 00" },
        { "released", "mouseup 1", "ff 00 00" },
    };
    std::vector<std::string> seen;
    bool ran = RunUndisturbed(emulator, 1, [&]() {
        seen.clear();
        HeldInput held;
        if (pad.JOY1_Open(&host) != 0) {
            ADD_FAILURE() << "JOY1_Open failed";
            return false;
        }
        uint8_t report[8];
        memset(report, 0xCC, sizeof report);
        EXPECT_EQ(7, pad.JOY1_InitHeader(report));
        pad.JOY1_Poll();
        bool done = RunSteps(pad, report, before, dimof(before), &seen);
        if (done) {
            TestWindow other("another window");
            if (!other.Focus()) {
                ADD_FAILURE() << "the other window does not take the foreground";
                done = false;
            }
            done = done && RunSteps(pad, report, away, dimof(away), &seen);
            done = done && emulator.Take();
        }
        done = done && RunSteps(pad, report, back, dimof(back), &seen);
        pad.JOY1_Close();
        return done;
    });
    ASSERT_TRUE(ran);
    std::vector<const Step *> all;
    Collect(&all, before);
    Collect(&all, away);
    Collect(&all, back);
    ExpectSteps(all, seen);
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

TEST(MousePadLive, CloseEndsTheDeviceAndOpenCyclesKeepWorking)
{
    ASSERT_TRUE(HaveXDisplay()) << "real mouse events need the test display";
    ForegroundWindow emulator("mousepad window", true);
    MousePad pad;
    ASSERT_TRUE(pad.lib.loaded());
    HostServices host = HostFor(emulator.handle());
    /* The events the plugin makes, seen on their way out of kernel32. */
    ImportHook events(pad.lib.handle(), "kernel32.dll", "CreateEventA",
                      reinterpret_cast<void *>(NoteEvent));
    ASSERT_TRUE(events.installed());

    const Step closed[] = {
        { "poll before any open", "mousemove_relative -- 10 10", "ff 00 00" },
    };
    const Step open[] = {
        { "moves while open", "mousemove_relative -- 4 -4", "ff 04 fc" },
    };
    const Step after[] = {
        { "poll after close, twice", "mousemove_relative -- 10 10", "ff 00 00" },
    };
    const int kCycles = 4;
    std::vector<std::string> seen;
    std::vector<std::string> eventStates;
    bool ran = RunUndisturbed(emulator, 0, [&]() {
        seen.clear();
        eventStates.clear();
        NotedEvents.clear();
        HeldInput held;
        uint8_t report[8];
        memset(report, 0xCC, sizeof report);
        pad.JOY1_Close(); /* nothing open yet */
        EXPECT_EQ(7, pad.JOY1_InitHeader(report));
        bool done = RunSteps(pad, report, closed, dimof(closed), &seen);
        for (int cycle = 0; done && cycle < kCycles; cycle++) {
            if (pad.JOY1_Open(&host) != 0) {
                ADD_FAILURE() << "JOY1_Open failed in cycle " << cycle;
                return false;
            }
            HANDLE event = NotedEvents.empty() ? NULL : NotedEvents.back();
            DWORD flags = 0;
            std::string state = GetHandleInformation(event, &flags) ? "event open" : "no event";
            pad.JOY1_Poll();
            done = RunSteps(pad, report, open, dimof(open), &seen);
            pad.JOY1_Close();
            state += GetHandleInformation(event, &flags) ? ", left open by close" : ", closed by close";
            eventStates.push_back(state);
            pad.JOY1_Close();
            done = done && RunSteps(pad, report, after, dimof(after), &seen);
        }
        return done;
    });
    ASSERT_TRUE(ran);
    std::vector<const Step *> all;
    Collect(&all, closed);
    for (int cycle = 0; cycle < kCycles; cycle++) {
        Collect(&all, open);
        Collect(&all, after);
    }
    ExpectSteps(all, seen);
    EXPECT_EQ(static_cast<size_t>(kCycles), NotedEvents.size()) << "one event per open";
    EXPECT_EQ(std::vector<std::string>(kCycles, "event open, closed by close"), eventStates);
}
