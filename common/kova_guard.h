/* Calls into code we do not control: plugin entry points, the DllMain that
   LoadLibrary runs, the functions of a hosted GPU plugin. */
#ifndef KOVA_GUARD_H
#define KOVA_GUARD_H

#include <windows.h>

/* What became of a guarded call. */
struct GuardOutcome {
    bool failed;   /* an exception that nothing inside handled ended it */
    DWORD code;    /* that exception's code (EXCEPTION_ACCESS_VIOLATION, ...) */
};

/* Runs body(context) so that an exception left unhandled inside it ends
   that call only: the caller goes on behind it as if it had returned.
   Afterwards, whether it returned or failed, the x87 control word, the SSE
   control register and the current directory are what they were before,
   and after a failure the thread's windows are as they were: windows the
   call left behind are destroyed, windows it disabled are enabled again.
   Never for per-word paths: it saves and restores state at every call. */
GuardOutcome GuardedCall(void (*body)(void *), void *context);

template <typename Body>
inline GuardOutcome Guarded(Body body)
{
    return GuardedCall([](void *p) { (*static_cast<Body *>(p))(); }, &body);
}

#endif
