/* Run: KOVA.EXE from the program directory, with the words of the command
 * line as its arguments; the configurator waits until it has ended. */
#include "launch.h"

#include "configurator.h"
#include "dialog_util.h"
#include "kova_str.h"
#include "resource.h"

/* ---- the command line's words ---- */

bool NextWord(const char *text, size_t *pos, size_t *start, size_t *length)
{
    size_t p = *pos;
    while (text[p] == ' ')
        p++;
    if (text[p] == '\0') {
        *pos = p;
        return false;
    }
    *start = p;
    while (text[p] != '\0' && text[p] != ' ')
        p++;
    *length = p - *start;
    *pos = p;
    return true;
}

static bool PutChar(char *dst, size_t dstSize, size_t *used, char c)
{
    if (*used + 1 >= dstSize)
        return false;
    dst[(*used)++] = c;
    dst[*used] = '\0';
    return true;
}

static bool NeedsQuotes(const char *word, size_t length)
{
    if (length == 0)
        return true;
    for (size_t i = 0; i < length; i++) {
        char c = word[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '"')
            return true;
    }
    return false;
}

bool AppendArgument(char *dst, size_t dstSize, const char *word, size_t length)
{
    if (dstSize == 0)
        return false;
    size_t used = BufLength(dst, dstSize);
    if (used >= dstSize) {
        dst[dstSize - 1] = '\0';
        return false;
    }
    if (used > 0 && !PutChar(dst, dstSize, &used, ' '))
        return false;
    if (!NeedsQuotes(word, length)) {
        for (size_t i = 0; i < length; i++)
            if (!PutChar(dst, dstSize, &used, word[i]))
                return false;
        return true;
    }
    /* The runtime's rules: 2n backslashes before a quote give n backslashes,
       2n+1 give n and a literal quote; backslashes elsewhere are literal. */
    if (!PutChar(dst, dstSize, &used, '"'))
        return false;
    size_t backslashes = 0;
    for (size_t i = 0; i < length; i++) {
        char c = word[i];
        if (c == '\\') {
            backslashes++;
            continue;
        }
        size_t times = (c == '"') ? 2 * backslashes + 1 : backslashes;
        for (size_t k = 0; k < times; k++)
            if (!PutChar(dst, dstSize, &used, '\\'))
                return false;
        backslashes = 0;
        if (!PutChar(dst, dstSize, &used, c))
            return false;
    }
    /* Backslashes before the closing quote are doubled too. */
    for (size_t k = 0; k < 2 * backslashes; k++)
        if (!PutChar(dst, dstSize, &used, '\\'))
            return false;
    return PutChar(dst, dstSize, &used, '"');
}

bool BuildCommandLine(char *dst, size_t dstSize, const char *program, const char *words)
{
    if (dstSize == 0)
        return false;
    dst[0] = '\0';
    /* Entry 0 is read up to the next quote without escapes; a path never
       holds a quote, so plain quotes keep a blank in the program directory
       from splitting it. */
    if (!BufSet(dst, dstSize, "\"") || !BufAppend(dst, dstSize, program) ||
        !BufAppend(dst, dstSize, "\""))
        return false;
    size_t pos = 0, start = 0, length = 0;
    while (NextWord(words, &pos, &start, &length))
        if (!AppendArgument(dst, dstSize, words + start, length))
            return false;
    return true;
}

/* ---- Run ---- */


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
                    SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
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
        MessageBoxA(dialog, "Cannot run KOVA.EXE", SYSTEM_ERROR_CAPTION, MB_OK);
}
