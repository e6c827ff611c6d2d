/* KOVA.EXE stand-in: hosts the installed plugins exactly as the emulator
 * does and prints what it sees as a transcript. Shared declarations. */
#ifndef STANDIN_H
#define STANDIN_H

#include <windows.h>

#include "kova_guard.h"
#include "kova_module.h"
#include "kova_plugin.h"
#include "kova_window.h"

/* Prints one line of the transcript (to standard output and to STANDIN.LOG
   beside the program). */
void Say(const char *format, ...) __attribute__((format(printf, 1, 2)));
/* Records a failure: the program then exits with 1. */
void Fail(const char *format, ...) __attribute__((format(printf, 1, 2)));
/* "hex" dump of count bytes, e.g. "12 5a ff". */
void HexBytes(char *dst, size_t dstSize, const uint8_t *bytes, size_t count);

extern char ProgramDirectory[MAX_PATH];
extern char SettingsPath[MAX_PATH];
/* The emulator's record, as every open receives it. */
extern HostServices Host;
/* 2 MB of emulated main RAM. */
extern uint8_t *Ram;

/* Brings the stand-in's window to the front and waits until it is the
   foreground window (or a while has passed, which is reported). */
void WaitForForeground();

/* A plugin loaded by its fixed name from the program directory. */
struct InstalledPlugin {
    const char *family;      /* "GPU", "CD", "PAD1", "PAD2" */
    const char *fileName;    /* fixed install name */
    HMODULE module;
    bool opened;             /* open returned 0 */
    bool failed;             /* a call raised an exception */
};

/* Every call into a plugin goes through here, as a guarded call. An
   exception is a failure line naming the plugin, the entry point and the
   exception code; that plugin gets no further call (not even close) and
   stays loaded, and the other families go on. False then, and for a
   plugin that failed before (without calling it). */
bool ReportFailedCall(InstalledPlugin *plugin, const char *entry, const GuardOutcome &outcome);
template <typename Body>
inline bool Call(InstalledPlugin *plugin, const char *entry, Body body)
{
    if (plugin->failed)
        return false;
    return ReportFailedCall(plugin, entry, Guarded(body));
}

/* Loads the library and checks that every name of the list is exported.
   Reports "absent", a load failure or a missing entry point; returns false
   (with the library unloaded) unless the plugin can be used. */
bool LoadInstalled(InstalledPlugin *plugin, const char *const *names, size_t count);
template <typename Fn>
inline Fn EntryAs(const InstalledPlugin *plugin, const char *name)
{
    return GetProcAs<Fn>(plugin->module, name);
}

/* One exercise per family: open, a short run, and (in CloseX) close. */
void OpenGpu(InstalledPlugin *plugin);
void ExerciseGpu(InstalledPlugin *plugin);
/* The frames after the exercises: GPU_Update 60 times a second and the
   live polls of the pads, then the GPU's snapshot. */
void RunFrames(InstalledPlugin *gpu);
void CloseGpu(InstalledPlugin *plugin);
void OpenCd(InstalledPlugin *plugin);
void ExerciseCd(InstalledPlugin *plugin);
void CloseCd(InstalledPlugin *plugin);
/* port 0 or 1 */
void OpenPad(InstalledPlugin *plugin, int port);
void ExercisePads(InstalledPlugin *pads[2]);
/* Live polls during the frames (after ExercisePads): false when no pad
   polls; otherwise each call polls the open pads once and prints every
   report that changed, stamped with the time since the frames began. */
bool StartLivePads(DWORD liveMs);
void PollPadsLive(DWORD elapsedMs);
void ClosePad(InstalledPlugin *plugin, int port);

#endif
