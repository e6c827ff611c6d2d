/* KOVA.INI: section "KOVA" read at start-up and written by Save, and the
 * two settings callbacks that plugins get in HostServices. Only the profile
 * functions touch the file. */
#include "settings.h"

#include <string.h>
#include <wchar.h>

#include "catalogue.h"
#include "configurator.h"
#include "dialogs.h"
#include "kova_files.h"
#include "kova_module.h"
#include "kova_str.h"
#include "resource.h"

static const char kSection[] = "KOVA";

Settings settings;

/* ---- values ---- */

/* falseWord gives 0, trueWord 1, in any letter case; anything else keeps
   current. */
static int ParseWord(const char *value, const char *falseWord, const char *trueWord, int current)
{
    if (TextEqualsNoCase(value, falseWord))
        return 0;
    if (TextEqualsNoCase(value, trueWord))
        return 1;
    return current;
}

int ParseOnOff(const char *value, int current)
{
    return ParseWord(value, "off", "on", current);
}

int ParseCpuMode(const char *value, int current)
{
    return ParseWord(value, "interpreter", "compiler", current);
}

int ParseCountry(const char *value)
{
    int country = static_cast<signed char>(value[0]) - '0';
    return static_cast<unsigned>(country) <= 2 ? country : 0;
}

static const char *OnOffText(int flag)
{
    return flag ? "on" : "off";
}

const char *CpuModeText(int cpuMode)
{
    return cpuMode == 1 ? "Compiler" : "Interpreter";
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

/* The value without the blanks around it: start and length. */
static void TrimmedValue(const char *value, const char **start, size_t *length)
{
    while (IsBlank(*value))
        value++;
    size_t n = strlen(value);
    while (n && IsBlank(value[n - 1]))
        n--;
    *start = value;
    *length = n;
}

/* Whether a value read back from KOVA.INI is the one written: reading
   drops the blanks and tabs around a value, so they do not count. */
static bool SameSettingValue(const char *written, const char *read)
{
    const char *a, *b;
    size_t na, nb;
    TrimmedValue(written, &a, &na);
    TrimmedValue(read, &b, &nb);
    return na == nb && memcmp(a, b, na) == 0;
}

unsigned long long ClustersFor(unsigned long long bytes, unsigned long long cluster)
{
    if (cluster == 0)
        return bytes;
    return (bytes + cluster - 1) / cluster * cluster + cluster;
}

/* Whether a file name is one of Save's temporary files: the prefix, one to
   four hex digits and ".tmp", in any letter case, as GetTempFileNameA makes
   them. */
static bool IsSaveTemporaryName(const char *name)
{
    static const char kPrefix[] = SAVE_TEMPORARY_PREFIX;
    size_t prefix = sizeof kPrefix - 1;
    size_t length = strlen(name);
    if (length < prefix + 1 + 4 || length > prefix + 4 + 4)
        return false;
    char head[sizeof kPrefix];
    memcpy(head, name, prefix);
    head[prefix] = '\0';
    if (!TextEqualsNoCase(head, kPrefix) || !TextEqualsNoCase(name + length - 4, ".tmp"))
        return false;
    for (size_t i = prefix; i < length - 4; i++) {
        char c = name[i];
        bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex)
            return false;
    }
    return true;
}

/* ---- the section's keys ---- */

enum ValueKind {
    VALUE_ON_OFF,     /* "on"/"off" after the flag */
    VALUE_BIOS,       /* as VALUE_ON_OFF, but "on" while no BIOS image is listed:
                         without one there is nothing else to run */
    VALUE_CPU_MODE,   /* "Compiler"/"Interpreter" */
    VALUE_COUNTRY,    /* the decimal index */
    VALUE_LIST_TEXT   /* the selected entry of a list, whole; not read back */
};

enum WrittenWhen { ALWAYS, WITHOUT_BIOS_EMULATION, WITH_SERIAL_MAPPER };

/* One row per key, in the order Save writes them (a file made by the first
   Save holds them in this order). readAs: the row's place in the order in
   which LoadSettings reads the keys that have a flag (0: never read back).
   control: the list whose entry is written, or the control that Save takes
   the flag from first (0: the flag as it stands). */
static const struct SettingKey {
    const char *key;
    ValueKind kind;
    int *flag;
    int control;
    WrittenWhen when;
    size_t readAs;
} kKeys[] = {
    { "RomName", VALUE_LIST_TEXT, NULL, IDC_BIOS_LIST, WITHOUT_BIOS_EMULATION, 0 },
    { "EmulateBios", VALUE_BIOS, &settings.emulateBios, 0, ALWAYS, 1 },
    { "Debugger", VALUE_ON_OFF, &settings.debugger, 0, ALWAYS, 5 },
    { "Verbose", VALUE_ON_OFF, &settings.verbose, 0, ALWAYS, 3 },
    { "Disasm", VALUE_ON_OFF, &settings.disasm, 0, ALWAYS, 4 },
    { "CDUseCache", VALUE_ON_OFF, &settings.cdUseCache, IDC_SECTOR_CACHE, ALWAYS, 6 },
    { "UseSerial", VALUE_ON_OFF, &settings.useSerial, IDC_USE_SERIAL, ALWAYS, 7 },
    { "CpuMode", VALUE_CPU_MODE, &settings.cpuMode, 0, ALWAYS, 2 },
    { "ComPort", VALUE_LIST_TEXT, NULL, IDC_PORT_LIST, WITH_SERIAL_MAPPER, 0 },
    { "CDCountry", VALUE_COUNTRY, &settings.cdCountry, IDC_COUNTRY, ALWAYS, 8 },
    { "MemCard1", VALUE_LIST_TEXT, NULL, IDC_MEMCARD1, ALWAYS, 0 },
    { "MemCard2", VALUE_LIST_TEXT, NULL, IDC_MEMCARD2, ALWAYS, 0 },
};

void ResetSettings()
{
    memset(&settings, 0, sizeof settings);
    settings.emulateBios = 1;
    settings.cpuMode = 1;
}

/* ---- the settings callbacks ---- */

/* readSetting's buffer: a value as GetPrivateProfileStringA delivers it. */
static char settingBuffer[KOVA_SETTING_SIZE];

int32_t KOVA_CALL ReadSetting(const char *section, const char *key, char *out)
{
    GetPrivateProfileStringA(section, key, "", settingBuffer, sizeof settingBuffer, settingsPath);
    /* out holds KOVA_SETTING_SIZE bytes by contract, and so does the buffer. */
    memcpy(out, settingBuffer, strlen(settingBuffer) + 1);
    return 0;
}

/* Windows refuses to write a read-only file; the check makes it so also
   where the file system would let its owner write, so that a KOVA.INI the
   user protected stays as it is, whoever writes. */
static bool SettingsFileReadOnly()
{
    DWORD attributes = GetFileAttributesA(settingsPath);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

/* A write that did not reach the file since the last look. A plugin is
   not told (its result is always 0); the user is, once the plugin's call
   or Save is over. */
static bool writeFailed;

int32_t KOVA_CALL WriteSetting(const char *section, const char *key, const char *value)
{
    if (SettingsFileReadOnly() || !WritePrivateProfileStringA(section, key, value, settingsPath))
        writeFailed = true;
    return 0;
}

bool TakeSettingsWriteFailure()
{
    bool failed = writeFailed;
    writeFailed = false;
    return failed;
}

void ReportUnwrittenSettings(HWND owner, const char *what)
{
    char message[MAX_PATH + 160];
    BufFormat(message, sizeof message,
              "%s could not be written to %s.\r\n\r\n"
              "Check that the file and its folder may be written to.",
              what, settingsPath);
    MessageBoxA(owner, message, SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
}

/* ---- loading and saving ---- */

void LoadSettings()
{
    char value[KOVA_SETTING_SIZE];
    /* EmulateBios, CpuMode, Verbose, Disasm, Debugger, CDUseCache,
       UseSerial, CDCountry: the reading order, not the order Save writes. */
    for (size_t place = 1; place <= dimof(kKeys); place++) {
        for (const SettingKey &row : kKeys) {
            if (row.readAs != place)
                continue;
            ReadSetting(kSection, row.key, value);
            if (row.kind == VALUE_CPU_MODE)
                *row.flag = ParseCpuMode(value, *row.flag);
            else if (row.kind == VALUE_COUNTRY)
                *row.flag = ParseCountry(value);
            else
                *row.flag = ParseOnOff(value, *row.flag);
        }
    }
}

/* ---- Save: KOVA.INI whole or unchanged ---- */

/* The values of one Save, in the order of kKeys, taken from the dialog
   before anything is written: the room they need is known first, and each
   is read back afterwards. */
struct SavedKey {
    const char *key;
    char value[KOVA_SETTING_SIZE];
};
static SavedKey savedKeys[dimof(kKeys)];
static int savedCount;

static void SaveValue(const char *key, const char *value)
{
    if (savedCount >= static_cast<int>(dimof(savedKeys)))
        return;
    savedKeys[savedCount].key = key;
    BufSet(savedKeys[savedCount].value, value);
    savedCount++;
}

/* 0 for a missing file. */
static ULONGLONG FileSizeOf(const char *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

/* The program volume's allocation unit: every file takes whole ones. */
static ULONGLONG ClusterSize()
{
    char root[MAX_PATH];
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (GetVolumePathNameA(programDirectory, root, sizeof root) &&
        GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) &&
        sectorsPerCluster && bytesPerSector)
        return static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector;
    return 4096;
}

/* What the user may still write on the program volume; false when the
   system cannot tell. */
static bool FreeBytes(ULONGLONG *bytes)
{
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA(programDirectory, &available, &total, &free))
        return false;
    *bytes = available.QuadPart;
    return true;
}

/* Drops the profile functions' cached copy of a file, so that the next
   read sees what is on the disk and not what was meant to be written. */
static void ForgetCachedCopy(const char *path)
{
    WritePrivateProfileStringA(NULL, NULL, NULL, path);
}

static bool WrittenKeysReadBack()
{
    char value[KOVA_SETTING_SIZE];
    for (int i = 0; i < savedCount; i++) {
        GetPrivateProfileStringA(kSection, savedKeys[i].key, "", value, sizeof value, settingsPath);
        if (!SameSettingValue(savedKeys[i].value, value))
            return false;
    }
    return true;
}

static bool IsSavedKey(const char *section, const char *key)
{
    if (!TextEqualsNoCase(section, kSection))
        return false;
    for (int i = 0; i < savedCount; i++)
        if (TextEqualsNoCase(key, savedKeys[i].key))
            return true;
    return false;
}

/* Lists of names as the profile functions give them (NUL-separated, an
   empty name last) and the two values compared. Far more than a settings
   file holds; a list that does not fit counts as not verified. */
static char sectionNames[65536];
static char keyNames[65536];
static char valueBefore[32768];
static char valueAfter[32768];

/* Every key of the copy taken before the write, other than those just
   written, still has its old value: the plugins' sections and anything
   else the user keeps in the file. */
static bool OtherKeysSurvived(const char *copy)
{
    DWORD n = GetPrivateProfileSectionNamesA(sectionNames, sizeof sectionNames, copy);
    if (n >= sizeof sectionNames - 2)
        return false;
    for (const char *section = sectionNames; *section; section += strlen(section) + 1) {
        n = GetPrivateProfileStringA(section, NULL, "", keyNames, sizeof keyNames, copy);
        if (n >= sizeof keyNames - 2)
            return false;
        for (const char *key = keyNames; *key; key += strlen(key) + 1) {
            if (IsSavedKey(section, key))
                continue;
            GetPrivateProfileStringA(section, key, "", valueBefore, sizeof valueBefore, copy);
            GetPrivateProfileStringA(section, key, "", valueAfter, sizeof valueAfter, settingsPath);
            if (strcmp(valueBefore, valueAfter) != 0)
                return false;
        }
    }
    return true;
}

/* Writes the saved keys so that KOVA.INI ends up whole or as it was: a
   copy beside it first, then the writes, then every key read back from
   the disk. A full volume lets the profile functions cut the file and
   still report success, so only reading back shows it. On any difference
   the copy goes back in place (a rename, which needs no room). diskFull
   tells whether the volume had no room left for the file. */
static bool WriteSettingsWhole(ULONGLONG newBytes, ULONGLONG cluster, bool *diskFull)
{
    *diskFull = false;
    TakeSettingsWriteFailure(); /* whatever failed before was told already */
    /* Windows would refuse every write: nothing to do and nothing to put back. */
    if (SettingsFileReadOnly())
        return false;
    bool existed = GetFileAttributesA(settingsPath) != INVALID_FILE_ATTRIBUTES;
    char copy[MAX_PATH];
    if (existed) {
        if (!GetTempFileNameA(programDirectory, SAVE_TEMPORARY_PREFIX, 0, copy))
            return false;
        /* A file another program holds open cannot be copied, nor written. */
        if (!CopyFileA(settingsPath, copy, FALSE)) {
            DeleteFileA(copy);
            return false;
        }
        SetFileAttributesA(copy, FILE_ATTRIBUTE_NORMAL);
    }
    for (int i = 0; i < savedCount; i++)
        WriteSetting(kSection, savedKeys[i].key, savedKeys[i].value);
    ForgetCachedCopy(settingsPath);
    bool whole = !TakeSettingsWriteFailure() && WrittenKeysReadBack() &&
                 (!existed || OtherKeysSurvived(copy));
    if (existed)
        ForgetCachedCopy(copy);
    if (whole) {
        if (existed)
            DeleteFileA(copy);
        return true;
    }
    ULONGLONG room;
    *diskFull = FreeBytes(&room) && room < ClustersFor(newBytes, cluster);
    /* Should the copy not go back, it stays: it is then the only whole one. */
    if (existed)
        MoveFileExA(copy, settingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    else
        DeleteFileA(settingsPath);
    ForgetCachedCopy(settingsPath);
    return false;
}

static unsigned long KiloBytes(ULONGLONG bytes)
{
    ULONGLONG kb = (bytes + 1023) / 1024;
    return kb > 0xFFFFFFFFu ? 0xFFFFFFFFul : static_cast<unsigned long>(kb);
}

void RemoveLeftoverTemporaryFiles(const char *relative)
{
    char pattern[MAX_PATH];
    if (!ProgramPath(pattern, sizeof pattern, relative, SAVE_TEMPORARY_PREFIX "*.tmp"))
        return;
    ForEachFile(pattern, [relative](const char *name) {
        char path[MAX_PATH];
        if (IsSaveTemporaryName(name) && ProgramPath(path, sizeof path, relative, name))
            DeleteFileA(path);
        return true;
    });
}

static bool Written(WrittenWhen when)
{
    if (when == WITHOUT_BIOS_EMULATION)
        return settings.emulateBios == 0;
    if (when == WITH_SERIAL_MAPPER)
        return settings.useSerial == 1;
    return true;
}

/* Takes the row's flag from its control, then the row's value into the Save. */
static void SaveKey(HWND dialog, const SettingKey &row)
{
    /* A list's selected entry, whole: file and port names may be as long as
       Windows allows. An empty list writes the empty value. */
    char text[KOVA_SETTING_SIZE];
    text[0] = '\0';
    switch (row.kind) {
    case VALUE_LIST_TEXT:
        SelectedComboText(dialog, row.control, text, sizeof text);
        break;
    case VALUE_COUNTRY:
        *row.flag = static_cast<int>(SendDlgItemMessageA(dialog, row.control, CB_GETCURSEL, 0, 0));
        BufFormat(text, sizeof text, "%d", *row.flag);
        break;
    case VALUE_CPU_MODE:
        BufSet(text, CpuModeText(*row.flag));
        break;
    case VALUE_BIOS:
    case VALUE_ON_OFF: {
        if (row.control)
            *row.flag = IsControlChecked(dialog, row.control);
        bool on = *row.flag || (row.kind == VALUE_BIOS && !settings.biosAvailable);
        BufSet(text, OnOffText(on));
        break;
    }
    }
    SaveValue(row.key, text);
}

void SaveSettings(HWND dialog)
{
    savedCount = 0;
    for (const SettingKey &row : kKeys)
        if (Written(row.when))
            SaveKey(dialog, row);

    /* The room Save takes at its peak: the copy of KOVA.INI, the file with
       every key added, and a new copy of each library beside the old one. */
    ULONGLONG iniBytes = FileSizeOf(settingsPath);
    ULONGLONG newBytes = iniBytes + sizeof "[KOVA]\r\n";
    for (int i = 0; i < savedCount; i++)
        newBytes += strlen(savedKeys[i].key) + strlen(savedKeys[i].value) + 3;
    ULONGLONG cluster = ClusterSize();
    ULONGLONG needed = (iniBytes ? ClustersFor(iniBytes, cluster) : 0) +
                       ClustersFor(newBytes, cluster) + InstallSize(dialog, cluster);
    ULONGLONG room;
    if (FreeBytes(&room) && room < needed) {
        char message[MAX_PATH + 256];
        BufFormat(message, sizeof message,
                  "Nothing was saved: the settings and the plugins need %lu KB on the disk of "
                  "%s, and %lu KB are free.\r\n\r\n"
                  "KOVA.INI and the installed plugins are unchanged.",
                  KiloBytes(needed), programDirectory, KiloBytes(room));
        MessageBoxA(dialog, message, SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
        return;
    }

    bool diskFull;
    if (!WriteSettingsWhole(newBytes, cluster, &diskFull)) {
        if (diskFull) {
            /* The libraries would not fit either: one message for the whole Save. */
            char message[MAX_PATH + 256];
            BufFormat(message, sizeof message,
                      "The settings could not be written to %s: the disk is full.\r\n\r\n"
                      "The file is as it was, and no plugin was installed.",
                      settingsPath);
            MessageBoxA(dialog, message, SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        ReportUnwrittenSettings(dialog, "The settings");
    }

    static char failed[PLUGIN_TYPE_COUNT * (2 * MAX_PATH + 32)];
    failed[0] = '\0';
    InstallPlugins(dialog, failed, sizeof failed);
    if (failed[0]) {
        static char message[sizeof failed + 256];
        BufFormat(message, sizeof message,
                  "These plugins could not be installed; the files installed before are "
                  "unchanged:\r\n\r\n%s",
                  failed);
        MessageBoxA(dialog, message, SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
    }
}

bool WriteWholeFile(const char *path, const void *data, unsigned long size, unsigned long moveFlags)
{
    wchar_t wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide, MAX_PATH)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return WriteWholeFileW(wide, data, size, moveFlags);
}

bool WriteWholeFileW(const wchar_t *path, const void *data, unsigned long size, unsigned long moveFlags)
{
    wchar_t folder[MAX_PATH], temporary[MAX_PATH];
    size_t length = wcslen(path);
    if (length >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    wmemcpy(folder, path, length + 1);
    wchar_t *slash = wcsrchr(folder, L'\\');
    if (slash)
        slash[1] = L'\0';
    if (!GetTempFileNameW(folder, L"" SAVE_TEMPORARY_PREFIX, 0, temporary))
        return false;
    HANDLE out = CreateFileW(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             NULL);
    DWORD written = 0;
    bool ok = out != INVALID_HANDLE_VALUE &&
              (size == 0 || (WriteFile(out, data, size, &written, NULL) && written == size)) &&
              FlushFileBuffers(out);
    if (out != INVALID_HANDLE_VALUE && !CloseHandle(out))
        ok = false;
    if (ok && MoveFileExW(temporary, path, moveFlags | MOVEFILE_WRITE_THROUGH))
        return true;
    DWORD error = GetLastError();
    DeleteFileW(temporary);
    SetLastError(error);
    return false;
}
