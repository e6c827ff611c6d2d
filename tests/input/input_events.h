/* Real key and mouse events for the input plugin tests: xdotool on the
 * test display, with everything pressed released again, even when a test
 * fails half-way, so that the next test starts with a quiet keyboard. */
#ifndef INPUT_EVENTS_H
#define INPUT_EVENTS_H

#include <functional>
#include <string>

#include "kova_test.h"

/* The X names of every key the keyboard pad reads. */
extern const char kAllPadKeys[];

/* Runs xdotool with the arguments, then lets the test thread handle what
   Wine's X driver received (input arrives through this thread's queue). */
bool SendX(const std::string &arguments);

/* While it exists, anything pressed through it is released again at the
   end: every pad key up, mouse buttons 1 to 3 up. */
class HeldInput {
public:
    HeldInput() = default;
    ~HeldInput();
    HeldInput(const HeldInput &) = delete;
    HeldInput &operator=(const HeldInput &) = delete;
    bool KeysDown(const std::string &keys) { return SendX("keydown " + keys); }
    bool KeysUp(const std::string &keys) { return SendX("keyup " + keys); }
};

/* The window that real events are meant for, standing in for the
   emulator's: a window of this process that holds the foreground and the X
   keyboard focus, and counts how often it lost them. */
class ForegroundWindow {
public:
    /* coverScreen: Wine sees pointer motion only while the pointer is over
       one of its windows, and a DirectInput mouse bound to a small window
       would lose a long move at its edge; such a window covers the screen
       and gets the pointer in its middle. */
    ForegroundWindow(const char *title, bool coverScreen);
    ~ForegroundWindow();
    HWND handle() const { return window_.handle(); }
    /* Brings it to the foreground; true when it is there. */
    bool Take();
    /* Times it went inactive since it was made. */
    unsigned losses() const;

private:
    TestWindow window_;
    bool coverScreen_;
};

/* Runs one attempt of a real-event sequence; lostForeground tells how often
   the window may lose the foreground on purpose during it. When it lost it
   more often, a window of some other test (or program) took the keyboard
   and the mouse meanwhile and what the attempt saw is void: the attempt is
   run again, a few times, after a pause. Returns false with a test failure
   when no attempt ran undisturbed. The attempt returns false when it could
   not run at all (it has reported why). */
bool RunUndisturbed(ForegroundWindow &window, unsigned lostForeground,
                    const std::function<bool()> &attempt);

#endif
