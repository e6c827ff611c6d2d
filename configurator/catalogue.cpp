/* The plugin catalogue: every library in PLUGIN\ asked for its PluginInfo
 * once during the splash, filed by the type byte it reports; the family
 * lists of the main dialog; configure calls; and installing the selected
 * libraries under their fixed names. */
#include "catalogue.h"

#include <stdlib.h>
#include <string.h>

#include "dialog_util.h"
#include "file_write.h"
#include "kova_files.h"
#include "kova_guard.h"
#include "kova_module.h"
#include "kova_str.h"
#include "resource.h"
#include "run_marker.h"

/* The main dialog's list, About and Configure button of each family. */
#define PLUGIN_GPU_CONTROLS IDC_GPU_LIST, IDC_GPU_ABOUT, IDC_GPU_CONFIGURE
#define PLUGIN_SPU_CONTROLS IDC_SPU_LIST, IDC_SPU_ABOUT, IDC_SPU_CONFIGURE
#define PLUGIN_JOY0_CONTROLS IDC_JOY0_LIST, IDC_JOY0_ABOUT, IDC_JOY0_CONFIGURE
#define PLUGIN_JOY1_CONTROLS IDC_JOY1_LIST, IDC_JOY1_ABOUT, IDC_JOY1_CONFIGURE
#define PLUGIN_CD_CONTROLS IDC_CD_LIST, IDC_CD_ABOUT, IDC_CD_CONFIGURE

/* The five families in the contract's fixed order: GPU, SPU, JOY0, JOY1, CD. */
static const struct FamilyRow {
    const char *aboutName;
    const char *configureName;
    const char *installName;
    int listId, aboutId, configureId;
} kFamilies[PLUGIN_TYPE_COUNT] = {
#define FAMILY_ROW(code, name, prefix, install, group, about, configure) \
    { about, configure, install, code##_CONTROLS },
    KOVA_PLUGIN_FAMILIES(FAMILY_ROW)
#undef FAMILY_ROW
};

CatalogueTable PluginCatalogue;

static const char kPluginFolder[] = "PLUGIN\\";

/* The about entry point writes into this scratch record, with 64 KB of
   room and then a page that faults behind it, and exactly one record's
   bytes are taken from it: a plugin that writes more than a record can
   neither reach the next catalogue entry nor the entry's file name. */
enum { SCRATCH_ROOM = 64 * 1024 };
static PluginInfo *AboutScratch;

static bool MakeAboutScratch()
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    DWORD page = system.dwPageSize;
    DWORD used = (sizeof(PluginInfo) + SCRATCH_ROOM + page - 1) / page * page;
    void *block = VirtualAlloc(NULL, used + page, MEM_RESERVE, PAGE_NOACCESS);
    void *committed = block ? VirtualAlloc(block, used, MEM_COMMIT, PAGE_READWRITE) : NULL;
    if (!committed) {
        if (block)
            VirtualFree(block, 0, MEM_RELEASE);
        return false;
    }
    AboutScratch = static_cast<PluginInfo *>(block);
    return true;
}

static void FreeAboutScratch()
{
    if (AboutScratch)
        VirtualFree(AboutScratch, 0, MEM_RELEASE);
    AboutScratch = NULL;
}

/* The libraries that failed during the scan, one name a line, for the one
   message the main dialog shows when it opens. */
static char FailedLibraries[4096];
static bool FailedLibrariesCut;

static void NoteFailedLibrary(const char *fileName)
{
    if (FailedLibrariesCut)
        return;
    if (!BufAppend(FailedLibraries, fileName) || !BufAppend(FailedLibraries, "\r\n")) {
        FailedLibrariesCut = true;
        /* The list ends with a whole line saying that there are more. */
        size_t keep = sizeof FailedLibraries - 8;
        while (keep > 0 && FailedLibraries[keep - 1] != '\n')
            keep--;
        FailedLibraries[keep] = '\0';
        BufAppend(FailedLibraries, "...\r\n");
    }
}

/* The library an earlier run ended in, by the marker it left: this scan
   passes it over, and the main dialog names it once it is open. RUN_NONE
   when there was none, or when it is no longer in PLUGIN\. */
static RunMark EndedIn;

struct AboutCall {
    const char *path;
    bool answered;
};

/* Loading (and so the library's DllMain), the about call and freeing, all
   third-party code: run as one guarded call. */
static void LoadAndAsk(void *context)
{
    AboutCall *call = static_cast<AboutCall *>(context);
    /* A library that needs a missing DLL must not stop the scan with a
       system message box. */
    HMODULE library = LoadLibraryQuietly(call->path);
    if (!library)
        return;
    for (const FamilyRow &family : kFamilies) {
        PluginAboutFn about = GetProcAs<PluginAboutFn>(library, family.aboutName);
        if (!about)
            continue;
        about(AboutScratch);
        call->answered = true;
        break;
    }
    FreeLibrary(library);
}

/* Asks one library for its record; true when it answered an about call.
   A library that fails is noted for the user and not freed: whatever it
   left behind (a timer, a hook, a window class) keeps its code. */
static bool CatalogueLibrary(PluginEntry *entry)
{
    char path[MAX_PATH];
    if (!ProgramPath(path, sizeof path, kPluginFolder, entry->fileName))
        return false;
    /* Only the record is taken, so only the record starts as zeros. */
    memset(AboutScratch, 0, sizeof(PluginInfo));
    AboutCall call = { path, false };
    MarkRun(RUN_ABOUT, entry->fileName);
    if (GuardedCall(LoadAndAsk, &call).failed) {
        NoteFailedLibrary(entry->fileName);
        return false;
    }
    if (!call.answered)
        return false;
    memcpy(&entry->info, AboutScratch, sizeof entry->info);
    TerminatePluginTexts(&entry->info);
    return true;
}

void TerminatePluginTexts(PluginInfo *info)
{
    BufTerminate(info->author, sizeof info->author);
    BufTerminate(info->name, sizeof info->name);
    BufTerminate(info->description, sizeof info->description);
}

bool FormatPluginLine(char *dst, size_t dstSize, const PluginInfo *info)
{
    /* The precision keeps the read inside the field even for a record that
       has not been through TerminatePluginTexts. */
    int nameLength = static_cast<int>(BufLength(info->name, sizeof info->name));
    return BufFormat(dst, dstSize, "%.*s %x.%x", nameLength, info->name,
                     static_cast<unsigned>(info->versionMajor),
                     static_cast<unsigned>(info->versionMinor));
}

void ScanPlugins()
{
    PluginCatalogue.count = 0;
    memset(PluginCatalogue.families, 0, sizeof PluginCatalogue.families);
    FailedLibraries[0] = '\0';
    FailedLibrariesCut = false;

    /* Taken before anything is loaded. A folder the user may not write to
       has no marker: the scan goes on without one, as it always did. */
    OpenRunMarker(&EndedIn);
    static bool endedInMet;
    endedInMet = false;
    char pattern[MAX_PATH];
    if (ProgramPath(pattern, sizeof pattern, kPluginFolder, "*.dll") && MakeAboutScratch()) {
        ForEachFile(pattern, [](const char *name) {
            /* Not loaded again before the user has read its name; the
               start after this one asks it as any other. */
            if (EndedIn.call != RUN_NONE && TextEqualsNoCase(name, EndedIn.fileName)) {
                BufSet(EndedIn.fileName, name);
                endedInMet = true;
                return true;
            }
            /* A library that does not answer leaves its entry to the next. */
            PluginEntry *entry = &PluginCatalogue.entries[PluginCatalogue.count];
            if (!BufSet(entry->fileName, name) || !CatalogueLibrary(entry))
                return true;
            PluginCatalogue.count++;
            PluginType type = entry->info.type;
            if (type >= PLUGIN_TYPE_FIRST && type <= PLUGIN_TYPE_LAST) {
                FamilyList *list = &PluginCatalogue.families[type - PLUGIN_TYPE_FIRST];
                list->entries[list->count++] = entry;
            }
            return PluginCatalogue.count < MAX_PLUGINS;
        });
        FreeAboutScratch();
    }
    CloseRunMarker();
    /* A library that is gone has nothing left to remove or replace. */
    if (!endedInMet)
        EndedIn.call = RUN_NONE;
}

void ReportEndedRun(HWND dialog)
{
    if (EndedIn.call == RUN_NONE)
        return;
    char message[MAX_PATH + 256];
    BufFormat(message, sizeof message,
              "The last start of the configurator ended while PLUGIN\\%s %s. It is not listed "
              "now; remove it from PLUGIN\\ or replace it, and it will be asked again at the next "
              "start.",
              EndedIn.fileName,
              EndedIn.call == RUN_CONFIGURE ? "was being configured" : "was asked who it is");
    EndedIn.call = RUN_NONE;
    MessageBoxA(dialog, message, SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
}

void ReportFailedLibraries(HWND dialog)
{
    if (!FailedLibraries[0])
        return;
    static char message[sizeof FailedLibraries + 128];
    BufSet(message, "These libraries in PLUGIN\\ failed while they were asked who they are and "
                    "are not listed:\r\n\r\n");
    BufAppend(message, FailedLibraries);
    FailedLibraries[0] = '\0';
    MessageBoxA(dialog, message, SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
}

void FillFamilyCombos(HWND dialog)
{
    for (int f = 0; f < PLUGIN_TYPE_COUNT; f++) {
        const FamilyRow &family = kFamilies[f];
        const FamilyList &list = PluginCatalogue.families[f];
        if (list.count == 0) {
            EnableControl(dialog, family.listId, false);
            EnableControl(dialog, family.aboutId, false);
            EnableControl(dialog, family.configureId, false);
            continue;
        }
        for (int i = 0; i < list.count; i++) {
            char line[PLUGININFO_NAME_SIZE + 16];
            FormatPluginLine(line, sizeof line, &list.entries[i]->info);
            SendDlgItemMessageA(dialog, family.listId, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(line));
        }
        SendDlgItemMessageA(dialog, family.listId, CB_SETCURSEL, 0, 0);
    }
}

int FamilyOfButton(int id, bool configure)
{
    for (int f = 0; f < PLUGIN_TYPE_COUNT; f++)
        if ((configure ? kFamilies[f].configureId : kFamilies[f].aboutId) == id)
            return f;
    return -1;
}

PluginEntry *SelectedPlugin(HWND dialog, int family)
{
    const FamilyList &list = PluginCatalogue.families[family];
    LRESULT index = SendDlgItemMessageA(dialog, kFamilies[family].listId, CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= list.count)
        return NULL;
    return list.entries[index];
}

/* Loading, the configure call (and the plugin's modal dialog with it) and
   freeing, as one guarded call. */
static void LoadAndConfigure(void *context)
{
    const char *path = static_cast<const char *>(context);
    /* The file may have changed since the scan: a library that no longer
       loads does nothing, without a system message box. */
    HMODULE library = LoadLibraryQuietly(path);
    if (!library)
        return;
    for (const FamilyRow &row : kFamilies) {
        PluginConfigureFn configure = GetProcAs<PluginConfigureFn>(library, row.configureName);
        if (configure) {
            configure(&Host);
            break;
        }
    }
    FreeLibrary(library);
}

void ConfigurePlugin(HWND dialog, int family)
{
    PluginEntry *entry = SelectedPlugin(dialog, family);
    if (!entry)
        return;
    /* The copy in PLUGIN\, not the installed one: the user configures what
       the list shows. */
    char path[MAX_PATH];
    if (!ProgramPath(path, sizeof path, kPluginFolder, entry->fileName))
        return;
    /* The record is the configurator's own: what a plugin scribbled into
       it must not reach the next plugin. */
    const HostServices host = Host;
    OpenRunMarker(NULL);
    MarkRun(RUN_CONFIGURE, entry->fileName);
    bool failed = GuardedCall(LoadAndConfigure, path).failed;
    CloseRunMarker();
    Host = host;
    if (failed) {
        /* Not freed: see CatalogueLibrary. */
        char message[MAX_PATH + 128];
        BufFormat(message, sizeof message,
                  "The plugin PLUGIN\\%s failed while it was being configured and was stopped.",
                  entry->fileName);
        MessageBoxA(dialog, message, SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
    }
}

/* Byte copy through a temporary file in the target's directory, which then
   replaces target: target is either the old file or the whole new one. */
static bool CopyLibrary(const char *source, const char *target)
{
    /* Windows refuses to replace a read-only file; the check makes it so
       on every file system, also where the owner could write anyway. */
    DWORD targetAttributes = GetFileAttributesA(target);
    if (targetAttributes != INVALID_FILE_ATTRIBUTES && (targetAttributes & FILE_ATTRIBUTE_READONLY))
        return false;
    HANDLE in = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(in, NULL);
    bool ok = size != INVALID_FILE_SIZE;
    void *buffer = ok ? malloc(size ? size : 1) : NULL;
    DWORD got = 0;
    ok = buffer && (size == 0 || (ReadFile(in, buffer, size, &got, NULL) && got == size));
    CloseHandle(in);

    /* The new copy is written beside the target first and only then put in
       its place, so a failed read or write never leaves a truncated or
       missing plugin where the emulator looks for it. */
    ok = ok && WriteWholeFile(target, buffer, size, MOVEFILE_REPLACE_EXISTING);
    free(buffer);
    return ok;
}

ULONGLONG InstallSize(HWND dialog, ULONGLONG cluster)
{
    ULONGLONG total = 0;
    for (int f = 0; f < PLUGIN_TYPE_COUNT; f++) {
        PluginEntry *entry = SelectedPlugin(dialog, f);
        char source[MAX_PATH];
        if (entry && ProgramPath(source, sizeof source, kPluginFolder, entry->fileName))
            total += ClustersFor(FileSizeOf(source), cluster);
    }
    return total;
}

void InstallPlugins(HWND dialog, char *failed, size_t failedSize)
{
    if (failedSize)
        failed[0] = '\0';
    for (int f = 0; f < PLUGIN_TYPE_COUNT; f++) {
        /* A family without a library keeps whatever is installed. */
        PluginEntry *entry = SelectedPlugin(dialog, f);
        if (!entry)
            continue;
        char source[MAX_PATH], target[MAX_PATH];
        bool ok = ProgramPath(source, sizeof source, kPluginFolder, entry->fileName) &&
                  ProgramPath(target, sizeof target, kFamilies[f].installName) &&
                  CopyLibrary(source, target);
        if (!ok) {
            BufAppend(failed, failedSize, kFamilies[f].installName);
            BufAppend(failed, failedSize, " (from PLUGIN\\");
            BufAppend(failed, failedSize, entry->fileName);
            BufAppend(failed, failedSize, ")\r\n");
        }
    }
}
