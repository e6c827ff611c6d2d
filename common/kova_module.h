/* Directories of modules: "C:\EMU\KOVA.EXE" -> "C:\EMU\". */
#ifndef KOVA_MODULE_H
#define KOVA_MODULE_H

#include <stddef.h>
#include <windows.h>

/* Ends the text just behind its last backslash. A text without any
   backslash becomes empty. */
void CutAfterLastBackslash(char *path);

/* Puts the directory of module's file, with its final backslash, into dst.
   Returns false, with dst empty, when the name cannot be had or does not
   fit (Windows cuts a long module name without saying so unless the buffer
   is checked). */
bool ModuleDirectory(HMODULE module, char *dst, size_t dstSize);

/* Whether the ANSI name of module's file (what ModuleDirectory works from)
   names that very file. A folder name with characters outside the ANSI
   code page comes back with look-alikes in their place ("Omega" for a
   name that begins with a Greek capital omega): another folder, or none,
   and every path built on it would be wrong. */
bool ModuleNameIsExact(HMODULE module);

/* LoadLibraryA without the system's error boxes: a file that is no
   library, or one that needs a DLL the machine lacks, gives null at once
   instead of stopping the caller with a message it did not ask for. */
HMODULE LoadLibraryQuietly(const char *path);

/* Windows' GetProcAddress gives a generic function pointer; this turns it
   into the typed one without a cast warning. Null when not exported. */
template <typename Fn>
inline Fn GetProcAs(HMODULE module, const char *name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

#endif
