/* KOVA.EXE stand-in.
 *
 * Does what the emulator does with the system's files and plugins, and
 * prints it: the argument vector it was started with, section "KOVA" of its
 * KOVA.INI, and a short run of every installed plugin, loaded by its fixed
 * name from the program's own directory and called with a HostServices
 * record of its own (2 MB RAM, settings over KOVA.INI, a window).
 *
 * Calling order, per plugin: open first; nothing after a failed open except
 * CD_Close; close last, in reverse order of opening.
 *
 * Exit code 0 when everything it tried worked, 1 when something failed (a
 * library that does not load, a missing entry point, a failed open, a
 * failed check, or a call that raised an exception, after which that
 * plugin is called no more while the other families go on). A family with
 * nothing installed is reported, not failed.
 *
 * With a GPU plugin open it then sends GPU_Update 60 times a second, for
 * KOVA_STANDIN_LIVE_MS or one second, and takes the GPU's snapshot.
 *
 * Environment:
 *   KOVA_STANDIN_LIVE_MS  show frames and poll the pads for this many
 *                         milliseconds and print every change of a report
 *                         (for watching the screen and trying input by hand)
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kova_str.h"
#include "standin.h"

bool SetUpHost(HINSTANCE instance);
void PrintSettings();
void OpenTranscript();
void CloseTranscript();
int FailureCount();

int main(int argc, char **argv)
{
    /* A library that cannot be loaded is a line of the transcript, not a
       system box waiting for someone to close it. */
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HINSTANCE instance = GetModuleHandleA(NULL);
    if (!SetUpHost(instance))
        return 1;
    OpenTranscript();

    Say("KOVA stand-in");
    Say("argc %d", argc);
    for (int i = 0; i < argc; i++)
        Say("argv[%d] %s", i, argv[i]);
    PrintSettings();

    InstalledPlugin gpu = { "GPU", KOVA_INSTALL_NAME_GPU, NULL, false, false };
    InstalledPlugin cd = { "CD", KOVA_INSTALL_NAME_CD, NULL, false, false };
    InstalledPlugin pad1 = { "PAD1", KOVA_INSTALL_NAME_JOY0, NULL, false, false };
    InstalledPlugin pad2 = { "PAD2", KOVA_INSTALL_NAME_JOY1, NULL, false, false };

    char spuPath[MAX_PATH];
    BufSet(spuPath, ProgramDirectory);
    BufAppend(spuPath, KOVA_INSTALL_NAME_SPU);
    Say("SPU %s: %s", KOVA_INSTALL_NAME_SPU,
        GetFileAttributesA(spuPath) == INVALID_FILE_ATTRIBUTES ? "not installed" : "present");

    OpenGpu(&gpu);
    OpenCd(&cd);
    WaitForForeground();
    OpenPad(&pad1, 0);
    OpenPad(&pad2, 1);

    ExerciseGpu(&gpu);
    ExerciseCd(&cd);
    InstalledPlugin *pads[2] = { &pad1, &pad2 };
    ExercisePads(pads);
    RunFrames(&gpu);

    ClosePad(&pad2, 1);
    ClosePad(&pad1, 0);
    CloseCd(&cd);
    CloseGpu(&gpu);

    int failures = FailureCount();
    Say(failures ? "result: %d failure(s)" : "result: ok", failures);
    CloseTranscript();
    return failures ? 1 : 0;
}
