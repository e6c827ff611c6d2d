/* Run: KOVA.EXE from the program directory, with the words of the command
 * line as its arguments; the configurator waits until it has ended. */
#include "configurator.h"

#include "kova_str.h"
#include "resource.h"
#include "text_rules.h"

/* CreateProcess takes at most 32767 characters, terminator included. */
static char commandText[COMMAND_LINE_SIZE];
static char commandLine[32767];

void LaunchEmulator(HWND dialog)
{
    char program[MAX_PATH];
    bool havePath = ProgramPath(program, sizeof program, "KOVA.EXE");
    /* Quoting only adds characters: a line that does not fit is refused
       whole rather than started with words missing. */
    if (!ControlText(dialog, IDC_COMMAND_LINE, commandText, sizeof commandText) ||
        (havePath && !BuildCommandLine(commandLine, sizeof commandLine, program, commandText))) {
        MessageBoxA(dialog,
                    "The command line is too long: Windows starts a program with at most 32767 "
                    "characters. Shorten it and press Run again.",
                    "System Error", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    bool started = false;
    if (havePath) {
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        /* No current directory of its own: the emulator starts in the one
           the configurator was started in. */
        started = CreateProcessA(program, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                 &process) != FALSE;
        if (started) {
            /* The dialog does not respond while the emulator runs. */
            WaitForSingleObject(process.hProcess, INFINITE);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    /* The emulator's window had the foreground; the user comes back here. */
    SetForegroundWindow(dialog);
    SetFocus(dialog);
    if (!started)
        MessageBoxA(dialog, "Cannot run KOVA.EXE", "System Error", MB_OK);
}
