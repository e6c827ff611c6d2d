/* The run marker (run_marker.cpp): while the configurator has a library of
 * PLUGIN\ loaded for one of its calls, KOVACFG.RUN beside KOVA.INI names
 * that library and the call. A library may end the process (ExitProcess,
 * abort) or never return, which no guarded call can catch; the marker it
 * leaves behind tells the next start which library that was. The marker's
 * bytes are made and read by pure functions, which tests reach directly. */
#ifndef KOVACFG_RUN_MARKER_H
#define KOVACFG_RUN_MARKER_H

#include <windows.h>

#define RUN_MARKER_NAME "KOVACFG.RUN"

enum RunCall {
    RUN_NONE,
    RUN_ABOUT,      /* loaded and asked who it is, during the scan */
    RUN_CONFIGURE,  /* loaded and configured */
};

struct RunMark {
    RunCall call;
    char fileName[MAX_PATH];  /* bare name inside PLUGIN\ */
};

/* The marker's bytes: one line of the call's word ("about" or
   "configure"), a blank and the file name, ended by CR LF. False (dst "")
   for RUN_NONE or a line that does not fit. */
bool FormatRunMark(char *dst, size_t dstSize, RunCall call, const char *fileName);
/* The mark in a marker's bytes: exactly one line as FormatRunMark makes
   it, naming a plain file name. False (mark->call RUN_NONE) otherwise. */
bool ParseRunMark(const char *bytes, size_t length, RunMark *mark);
/* A bare file name as a folder search delivers it: not empty, shorter than
   MAX_PATH, no control, path or wildcard characters (the trail bytes of
   the ANSI code page's double-byte characters are not taken for them),
   not "." or "..", not ending in a blank or a dot. */
bool IsPlainFileName(const char *name);

/* Opens the marker for the marks of a scan or of a configure call. With
   leftover, an earlier run's readable mark goes there (else RUN_NONE);
   whatever the file held is dropped. False when the program directory
   cannot hold the marker: nothing is marked then, and nothing taken. */
bool OpenRunMarker(RunMark *leftover);
/* Makes the mark name the call about to be made; nothing without a marker. */
void MarkRun(RunCall call, const char *fileName);
/* Closes and removes the marker: every call it marked has returned. */
void CloseRunMarker();

#endif
