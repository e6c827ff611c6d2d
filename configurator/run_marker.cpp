/* The run marker: KOVACFG.RUN, one line naming the library in PLUGIN\ and
 * the call the configurator is in. It is written with plain file calls,
 * not the profile functions: the scan marks every library, and one open
 * handle rewritten in place costs next to nothing beside loading it. */
#include "run_marker.h"

#include <string.h>

#include "configurator.h"
#include "kova_str.h"

/* A mark is one short line: anything longer is no marker of ours. */
enum { MARK_SIZE = MAX_PATH + 16 };

static const char *const kCallWords[] = { "", "about", "configure" };

static HANDLE Marker = INVALID_HANDLE_VALUE;
static char MarkerPath[MAX_PATH];

bool IsPlainFileName(const char *name)
{
    size_t length = strlen(name);
    if (length == 0 || length >= MAX_PATH || strcmp(name, ".") == 0 || strcmp(name, "..") == 0 ||
        name[length - 1] == ' ' || name[length - 1] == '.')
        return false;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || strchr("\\/:*?\"<>|", c))
            return false;
        /* A lead byte takes the next one with it (a Shift-JIS trail byte
           may be that of a backslash); the terminator is never a trail. */
        if (IsDBCSLeadByte(c) && name[i + 1] != '\0')
            i++;
    }
    return true;
}

bool FormatRunMark(char *dst, size_t dstSize, RunCall call, const char *fileName)
{
    if ((call != RUN_ABOUT && call != RUN_CONFIGURE) ||
        !BufFormat(dst, dstSize, "%s %s\r\n", kCallWords[call], fileName)) {
        if (dstSize)
            dst[0] = '\0';
        return false;
    }
    return true;
}

bool ParseRunMark(const char *bytes, size_t length, RunMark *mark)
{
    mark->call = RUN_NONE;
    mark->fileName[0] = '\0';
    if (length < 2 || length >= MARK_SIZE || bytes[length - 2] != '\r' || bytes[length - 1] != '\n')
        return false;
    char line[MARK_SIZE];
    memcpy(line, bytes, length - 2);
    line[length - 2] = '\0';
    char *blank = strchr(line, ' ');
    /* A NUL inside the line would cut it short unseen. */
    if (strlen(line) != length - 2 || !blank)
        return false;
    *blank = '\0';
    RunCall call = RUN_NONE;
    for (int c = RUN_ABOUT; c <= RUN_CONFIGURE; c++)
        if (strcmp(line, kCallWords[c]) == 0)
            call = static_cast<RunCall>(c);
    if (call == RUN_NONE || !IsPlainFileName(blank + 1) || !BufSet(mark->fileName, blank + 1))
        return false;
    mark->call = call;
    return true;
}

bool OpenRunMarker(RunMark *leftover)
{
    if (leftover) {
        leftover->call = RUN_NONE;
        leftover->fileName[0] = '\0';
    }
    CloseRunMarker();
    if (!ProgramPath(MarkerPath, sizeof MarkerPath, RUN_MARKER_NAME))
        return false;
    /* Others may read it (a user looking at a configurator that hangs),
       but not write it: a second configurator in the same folder runs
       without a marker rather than taking this one's mark for a leftover. */
    Marker = CreateFileA(MarkerPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (Marker == INVALID_HANDLE_VALUE)
        return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        char bytes[MARK_SIZE];
        DWORD got = 0;
        if (leftover && ReadFile(Marker, bytes, sizeof bytes, &got, NULL))
            ParseRunMark(bytes, got, leftover);
        SetFilePointer(Marker, 0, NULL, FILE_BEGIN);
        SetEndOfFile(Marker);
    }
    return true;
}

void MarkRun(RunCall call, const char *fileName)
{
    if (Marker == INVALID_HANDLE_VALUE)
        return;
    /* Emptied before it is written: a run ended in between leaves an empty
       marker, never the ends of two marks. Not flushed: what WriteFile has
       taken outlives the process however it ends. */
    SetFilePointer(Marker, 0, NULL, FILE_BEGIN);
    SetEndOfFile(Marker);
    char line[MARK_SIZE];
    DWORD written = 0;
    if (FormatRunMark(line, sizeof line, call, fileName))
        WriteFile(Marker, line, static_cast<DWORD>(strlen(line)), &written, NULL);
}

void CloseRunMarker()
{
    if (Marker == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(Marker);
    Marker = INVALID_HANDLE_VALUE;
    DeleteFileA(MarkerPath);
}
