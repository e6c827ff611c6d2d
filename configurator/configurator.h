/* The configurator's shared state and the functions its dialogs call.
 *
 * Everything lives for the whole run in module-level variables: the paths,
 * the settings flags, the plugin catalogue and the one HostServices record
 * that every plugin's configure entry point receives. Paths are held in
 * MAX_PATH buffers, the longest that the ANSI file functions accept. */
#ifndef KOVACFG_CONFIGURATOR_H
#define KOVACFG_CONFIGURATOR_H

#include <windows.h>

#include "kova_plugin.h"

/* The longest command line Windows starts a program with, terminator
   included; the command-line field and the chooser's appending use it. */
#define COMMAND_LINE_SIZE 32768
#define MAX_PLUGINS 256

/* ---- start-up (main.cpp / startup.cpp) ---- */

extern HINSTANCE ProgramInstance;   /* the module holding the dialogs */
extern char programDirectory[MAX_PATH];
extern char settingsPath[MAX_PATH];
extern char aboutText[256];
extern char chooserDirectory[MAX_PATH];
extern HostServices Host;
extern int splashStep;

/* Fills the paths, the about text and the HostServices record for the
   program in module (null: the process's own), with instance as the owner
   of the dialog resources. False when the program directory cannot be had,
   is too long for the paths built on it or is named by a lossy ANSI name;
   failure (when not null) is then the text telling the user, else null. */
bool StartUp(HINSTANCE instance, HMODULE module, const char **failure = NULL);
extern const char kPathTooLongText[];
extern const char kFolderNameText[];
/* The whole run: start-up, splash, main dialog. Returns the exit code. */
int RunConfigurator(HINSTANCE instance);

/* Makes dir (ending in a backslash) the program directory: sets
   programDirectory, settingsPath and chooserDirectory. False when the
   longest path built on it would not fit. */
bool UseProgramDirectory(const char *dir);
/* Builds programDirectory + relative into dst; false when it does not fit. */
bool ProgramPath(char *dst, size_t dstSize, const char *relative, const char *name = NULL);

/* ---- settings (settings.cpp) ---- */

struct Settings {
    int emulateBios;
    int cpuMode;
    int verbose;
    int disasm;
    int debugger;
    int cdUseCache;
    int useSerial;
    int cdCountry;
    int biosAvailable;  /* at least one BIOS image listed; not stored */
};
extern Settings settings;

void ResetSettings();
void LoadSettings();
/* Writes section "KOVA" from the main dialog's controls and the flags,
   then installs the plugins. Tells the user once about writes that failed.
   KOVA.INI ends up whole or as it was; a Save that the volume has no room
   for is refused before anything is written. */
void SaveSettings(HWND dialog);
int32_t KOVA_CALL ReadSetting(const char *section, const char *key, char *out);
int32_t KOVA_CALL WriteSetting(const char *section, const char *key, const char *value);
/* Removes what an interrupted Save left in the program directory: its
   temporary files, named by IsSaveTemporaryName. */
void RemoveLeftoverTemporaryFiles();
/* Whether a WriteSetting since the last call did not reach KOVA.INI (a
   read-only or locked file); the next call starts afresh. */
bool TakeSettingsWriteFailure();
/* The one message about that, owned by owner: what + " could not be
   written to " + the file. */
void ReportUnwrittenSettings(HWND owner, const char *what);

/* ---- plugin catalogue (catalogue.cpp) ---- */

struct PluginEntry {
    PluginInfo info;
    char fileName[MAX_PATH];  /* bare name inside PLUGIN\ */
};

struct FamilyRow {
    PluginType type;
    const char *aboutName;
    const char *configureName;
    const char *installName;
    int listId;
    int aboutId;
    int configureId;
};
/* The five families in their fixed order: GPU, SPU, JOY0, JOY1, CD. */
extern const FamilyRow kFamilies[PLUGIN_TYPE_COUNT];

struct FamilyList {
    int count;
    PluginEntry *entries[MAX_PLUGINS];
};

extern PluginEntry catalogue[MAX_PLUGINS];
extern int catalogueCount;
extern FamilyList familyLists[PLUGIN_TYPE_COUNT];

void ScanPlugins();
/* The one message, owned by dialog, naming the libraries that failed
   during the scan; nothing when none did. Shown once. */
void ReportFailedLibraries(HWND dialog);
void FillFamilyCombos(HWND dialog);
/* The entry selected in family's list (index into kFamilies), or null. */
PluginEntry *SelectedPlugin(HWND dialog, int family);
void ShowPluginAbout(HWND dialog, int family);
void ConfigurePlugin(HWND dialog, int family);
/* Installs every family's selected library; the installed names that could
   not be replaced are listed in failed (CR LF separated lines). */
void InstallPlugins(HWND dialog, char *failed, size_t failedSize);
/* The room the copies of InstallPlugins take on a volume with the given
   allocation unit. */
ULONGLONG InstallSize(HWND dialog, ULONGLONG cluster);
/* Byte copy through a temporary file in the target's directory, which then
   replaces target: target is either the old file or the whole new one. */
bool CopyLibrary(const char *source, const char *target);

/* ---- dialogs ---- */

INT_PTR RunSplash();
INT_PTR RunMainDialog();
void ShowProgramAbout(HWND owner);
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void FillSerialPorts(HWND dialog);
int FillFileCombo(HWND dialog, int listId, const char *folder, const char *pattern);

/* ---- emulator launch and file chooser ---- */

void LaunchEmulator(HWND dialog);

extern int chooserResult;
extern char chooserPath[2 * MAX_PATH];
INT_PTR RunChooser(HWND owner);
/* Button 1104: choose a file and append it to the command line. */
void AppendChosenFileToCommandLine(HWND dialog);

/* ---- small helpers shared by the dialogs (dialog_util.cpp) ---- */

/* The text of a combo box's selected entry; "" without a selection. False
   when the entry does not fit dst (dst is then ""). */
bool SelectedComboText(HWND dialog, int id, char *dst, size_t dstSize);
/* The whole text of a control; false (dst "") when it does not fit. */
bool ControlText(HWND dialog, int id, char *dst, size_t dstSize);
void EnableControl(HWND dialog, int id, bool enable);
void CheckControl(HWND dialog, int id, int checked);
int IsControlChecked(HWND dialog, int id);

#endif
