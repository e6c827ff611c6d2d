/* The plugin catalogue (catalogue.cpp): the scan of PLUGIN\, the family
 * lists of the main dialog, configure calls and installing the selected
 * libraries under their fixed names; and the plugin's list line, which
 * touches no window so that tests reach it directly. */
#ifndef KOVACFG_CATALOGUE_H
#define KOVACFG_CATALOGUE_H

#include <windows.h>

#include "configurator.h"

#define MAX_PLUGINS 256

struct PluginEntry {
    PluginInfo info;
    char fileName[MAX_PATH];  /* bare name inside PLUGIN\ */
};
struct FamilyList {
    int count;
    PluginEntry *entries[MAX_PLUGINS];
};
/* Built once during the splash; the lists are in the families' fixed order
   GPU, SPU, JOY0, JOY1, CD. */
struct CatalogueTable {
    PluginEntry entries[MAX_PLUGINS];
    int count;
    FamilyList families[PLUGIN_TYPE_COUNT];
};
extern CatalogueTable PluginCatalogue;

void ScanPlugins();
/* The one message, owned by dialog, naming the libraries that failed
   during the scan; nothing when none did. Shown once. */
void ReportFailedLibraries(HWND dialog);
/* The one message, owned by dialog, naming the library that an earlier
   run ended in (by the marker it left) and which the scan passed over;
   nothing when there was none. Shown once. */
void ReportEndedRun(HWND dialog);
void FillFamilyCombos(HWND dialog);
/* The family (0..4, in the contract's order) whose About button (or
   Configure button, with configure) has the id; -1 for any other id. */
int FamilyOfButton(int id, bool configure);
/* The entry selected in the family's list, or null. */
PluginEntry *SelectedPlugin(HWND dialog, int family);
void ConfigurePlugin(HWND dialog, int family);
/* Installs every family's selected library; the installed names that could
   not be replaced are listed in failed (CR LF separated lines). */
void InstallPlugins(HWND dialog, char *failed, size_t failedSize);
/* The room the copies of InstallPlugins take on a volume with the given
   allocation unit. */
ULONGLONG InstallSize(HWND dialog, ULONGLONG cluster);

/* Forces terminators into author, name and description: the record was
   filled by a plugin, which may have used every byte of a field. */
void TerminatePluginTexts(PluginInfo *info);
/* "%s %x.%x" of name, major, minor ("CDIdle 1.0", minor 10 as "1.a"). */
bool FormatPluginLine(char *dst, size_t dstSize, const PluginInfo *info);

#endif
