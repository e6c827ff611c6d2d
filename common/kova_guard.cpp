/* Guarded calls into third-party code.
 *
 * How an exception is caught without the compiler's help: MinGW's i686 GCC
 * has no __try/__except, so the guard registers a structured-exception
 * frame of its own. KovaGuardInvoke (below, in assembly) pushes a
 * registration record onto the thread's frame chain (fs:[0]) holding
 * KovaGuardHandler, remembers its own stack and frame pointers in the
 * record, and calls the body. Windows asks the frames of the chain in turn,
 * innermost first, so whatever the third-party code handles itself (its
 * own __try blocks, the system's, the loader's around a DllMain) is
 * handled there as usual; only an exception that nothing inside handled
 * reaches our frame. The handler then rewrites the faulting context to
 * resume at KovaGuardResume with the stack and frame pointers remembered,
 * and returns "continue execution": the system loads that context, and the
 * call is over. The frames the third-party code had pushed above ours are
 * abandoned, not unwound: its own cleanup is not trusted, and unwinding
 * needs stack that an overflow has not got. KovaGuardResume puts the chain
 * head back to what it was before the call, which also drops those frames.
 *
 * A vectored handler was not taken: it sees every exception first, also
 * those that the code inside would have handled itself.
 *
 * After a stack overflow the stack's guard page is gone (the system turned
 * it into an ordinary page to run the handler); without it the next
 * overflow would kill the process. RestoreStackGuard puts it back. */
#include "kova_guard.h"

#include <string.h>

struct GuardFrame {
    /* The registration record: must come first and live on the stack.
       The assembly and the system's dispatcher use it; no C++ code does. */
    // cppcheck-suppress unusedStructMember
    void *next;
    // cppcheck-suppress unusedStructMember
    void *handler;
    /* KovaGuardInvoke's stack and frame pointers, to resume with. */
    DWORD esp;
    DWORD ebp;
    DWORD failed;
    DWORD code;
};

extern "C" {
void KovaGuardInvoke(GuardFrame *frame, void (*body)(void *), void *context);
void KovaGuardResume(void);
EXCEPTION_DISPOSITION __cdecl KovaGuardHandler(EXCEPTION_RECORD *record, void *establisher,
                                              CONTEXT *context, void *dispatcher);
}

/* The offsets used here are those of GuardFrame. */
asm(".text\n"
    ".globl _KovaGuardInvoke\n"
    ".def _KovaGuardInvoke; .scl 2; .type 32; .endef\n"
    "_KovaGuardInvoke:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %ebx\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    movl 8(%ebp), %eax\n"         /* frame */
    "    movl %esp, 8(%eax)\n"
    "    movl %ebp, 12(%eax)\n"
    "    movl %fs:0, %ecx\n"
    "    movl %ecx, 0(%eax)\n"
    "    movl $_KovaGuardHandler, 4(%eax)\n"
    "    movl %eax, %fs:0\n"
    "    pushl 16(%ebp)\n"             /* context */
    "    call *12(%ebp)\n"             /* body(context) */
    ".globl _KovaGuardResume\n"
    ".def _KovaGuardResume; .scl 2; .type 32; .endef\n"
    "_KovaGuardResume:\n"              /* returned, or resumed by the handler */
    "    cld\n"
    "    movl 8(%ebp), %eax\n"
    "    movl 0(%eax), %ecx\n"
    "    movl %ecx, %fs:0\n"           /* the chain head as before the call */
    "    leal -12(%ebp), %esp\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    ret\n");

/* Runs on whatever stack the fault left, possibly the last page of an
   overflowed one: no calls, nothing on the stack. */
EXCEPTION_DISPOSITION __cdecl KovaGuardHandler(EXCEPTION_RECORD *record, void *establisher,
                                              CONTEXT *context, void *)
{
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    GuardFrame *frame = static_cast<GuardFrame *>(establisher);
    frame->failed = 1;
    frame->code = record->ExceptionCode;
    context->Esp = frame->esp;
    context->Ebp = frame->ebp;
    context->Eip = reinterpret_cast<DWORD>(&KovaGuardResume);
    return ExceptionContinueExecution;
}

/* Makes the lowest committed read-write page of this thread's stack its
   guard page again, unless a guard page is still there. */
static void RestoreStackGuard()
{
    MEMORY_BASIC_INFORMATION info;
    char here = 0;
    if (!VirtualQuery(&here, &info, sizeof info))
        return;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD page = system.dwPageSize;
    char *p = static_cast<char *>(info.AllocationBase);
    while (p < &here) {
        if (!VirtualQuery(p, &info, sizeof info) || info.AllocationBase == NULL)
            return;
        if (info.State == MEM_COMMIT) {
            if (info.Protect & PAGE_GUARD)
                return;
            if ((info.Protect & 0xFF) == PAGE_READWRITE) {
                /* Never the page in use, nor the one just below it. */
                if (p + 2 * page > &here - page)
                    return;
                DWORD old;
                VirtualProtect(p, page, PAGE_READWRITE | PAGE_GUARD, &old);
                return;
            }
        }
        p = static_cast<char *>(info.BaseAddress) + info.RegionSize;
    }
}

/* ---- the thread's windows ---- */

enum { MAX_SNAPSHOT = 64 };
struct WindowSnapshot {
    int count;
    HWND windows[MAX_SNAPSHOT];
    bool enabled[MAX_SNAPSHOT];
};

static BOOL CALLBACK Collect(HWND window, LPARAM param)
{
    WindowSnapshot *snapshot = reinterpret_cast<WindowSnapshot *>(param);
    if (snapshot->count == MAX_SNAPSHOT)
        return FALSE;
    snapshot->windows[snapshot->count] = window;
    snapshot->enabled[snapshot->count] = IsWindowEnabled(window) != FALSE;
    snapshot->count++;
    return TRUE;
}

static void TakeSnapshot(WindowSnapshot *snapshot)
{
    snapshot->count = 0;
    EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(snapshot));
}

/* A window is a handle, not data we point at. */
// cppcheck-suppress constParameter
static bool InSnapshot(const WindowSnapshot &snapshot, HWND window)
{
    for (int i = 0; i < snapshot.count; i++)
        if (snapshot.windows[i] == window)
            return true;
    return false;
}

/* A call that failed inside a modal loop (its own dialog, a message box)
   leaves that window up and its owner disabled: the windows that are new
   lose the failed code's procedures and are destroyed, and the windows the
   call disabled are enabled again. */
static void RestoreWindows(const WindowSnapshot &before)
{
    WindowSnapshot now;
    TakeSnapshot(&now);
    ReleaseCapture();
    for (int i = 0; i < now.count; i++) {
        HWND window = now.windows[i];
        char className[32];
        if (InSnapshot(before, window) || !GetClassNameA(window, className, sizeof className))
            continue;
        /* The thread's input-method window is the system's own. */
        if (strcmp(className, "IME") == 0 || strcmp(className, "MSCTFIME UI") == 0)
            continue;
        if (strcmp(className, "#32770") == 0)
            SetWindowLongPtrA(window, DWLP_DLGPROC, 0);
        else
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
        /* Its children may still call into the failed code. */
        GuardFrame frame;
        memset(&frame, 0, sizeof frame);
        KovaGuardInvoke(&frame, [](void *w) { DestroyWindow(static_cast<HWND>(w)); }, window);
    }
    for (int i = 0; i < before.count; i++)
        if (before.enabled[i] && IsWindow(before.windows[i]) && !IsWindowEnabled(before.windows[i]))
            EnableWindow(before.windows[i], TRUE);
}

/* ---- the call ---- */

static bool HaveSse()
{
    static int known = -1;
    if (known < 0)
        known = IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) ? 1 : 0;
    return known == 1;
}

GuardOutcome GuardedCall(void (*body)(void *), void *context)
{
    unsigned short controlWord = 0;
    DWORD mxcsr = 0;
    const bool sse = HaveSse();
    asm volatile("fnstcw %0" : "=m"(controlWord));
    if (sse)
        asm volatile("stmxcsr %0" : "=m"(mxcsr));
    WCHAR directory[MAX_PATH];
    DWORD directoryLength = GetCurrentDirectoryW(MAX_PATH, directory);
    bool haveDirectory = directoryLength > 0 && directoryLength < MAX_PATH;
    WindowSnapshot windows;
    TakeSnapshot(&windows);

    GuardFrame frame;
    memset(&frame, 0, sizeof frame);
    KovaGuardInvoke(&frame, body, context);

    /* The x87 stack is empty between calls (no guarded function returns a
       floating-point value), so resetting it loses nothing and also drops
       an exception the failed code left pending. */
    asm volatile("fninit\n\tfldcw %0" : : "m"(controlWord));
    if (sse)
        asm volatile("ldmxcsr %0" : : "m"(mxcsr));
    if (frame.failed && frame.code == EXCEPTION_STACK_OVERFLOW)
        RestoreStackGuard();
    if (frame.failed)
        RestoreWindows(windows);
    if (haveDirectory) {
        WCHAR now[MAX_PATH];
        DWORD nowLength = GetCurrentDirectoryW(MAX_PATH, now);
        if (nowLength != directoryLength || memcmp(now, directory, nowLength * sizeof(WCHAR)) != 0)
            SetCurrentDirectoryW(directory);
    }
    GuardOutcome outcome = { frame.failed != 0, frame.code };
    return outcome;
}
