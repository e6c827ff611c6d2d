/* KOVA.INI: section "KOVA" read at start-up and written by Save, and the
 * two settings callbacks that plugins get in HostServices. Only the profile
 * functions touch the file. */
#include "configurator.h"

#include <string.h>

#include "kova_files.h"
#include "kova_str.h"
#include "resource.h"
#include "text_rules.h"

static const char kSection[] = "KOVA";

Settings settings;

/* readSetting's buffer: a value as GetPrivateProfileStringA delivers it. */
static char settingBuffer[KOVA_SETTING_SIZE];

void ResetSettings()
{
    memset(&settings, 0, sizeof settings);
    settings.emulateBios = 1;
    settings.cpuMode = 1;
}

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
    MessageBoxA(owner, message, "System Error", MB_OK | MB_ICONEXCLAMATION);
}

void LoadSettings()
{
    char value[KOVA_SETTING_SIZE];
    ReadSetting(kSection, "EmulateBios", value);
    settings.emulateBios = ParseOnOff(value, settings.emulateBios);
    ReadSetting(kSection, "CpuMode", value);
    settings.cpuMode = ParseCpuMode(value, settings.cpuMode);
    ReadSetting(kSection, "Verbose", value);
    settings.verbose = ParseOnOff(value, settings.verbose);
    ReadSetting(kSection, "Disasm", value);
    settings.disasm = ParseOnOff(value, settings.disasm);
    ReadSetting(kSection, "Debugger", value);
    settings.debugger = ParseOnOff(value, settings.debugger);
    ReadSetting(kSection, "CDUseCache", value);
    settings.cdUseCache = ParseOnOff(value, settings.cdUseCache);
    ReadSetting(kSection, "UseSerial", value);
    settings.useSerial = ParseOnOff(value, settings.useSerial);
    ReadSetting(kSection, "CDCountry", value);
    settings.cdCountry = ParseCountry(value);
}

/* ---- Save: KOVA.INI whole or unchanged ---- */

/* The keys of one Save, in the order they are written, taken from the
   dialog before anything is written: the room they need is known first,
   and each is read back afterwards. */
struct SavedKey {
    const char *key;
    char value[KOVA_SETTING_SIZE];
};
static SavedKey savedKeys[12];
static int savedCount;

static void SaveValue(const char *key, const char *value)
{
    if (savedCount >= static_cast<int>(dimof(savedKeys)))
        return;
    savedKeys[savedCount].key = key;
    BufSet(savedKeys[savedCount].value, value);
    savedCount++;
}

/* A list's selected entry, whole: file and port names may be as long as
   Windows allows. An empty list writes the empty value. */
static void SaveSelected(HWND dialog, const char *key, int listId)
{
    char text[KOVA_SETTING_SIZE];
    text[0] = '\0';
    SelectedComboText(dialog, listId, text, sizeof text);
    SaveValue(key, text);
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

void RemoveLeftoverTemporaryFiles()
{
    char pattern[MAX_PATH];
    if (!ProgramPath(pattern, sizeof pattern, SAVE_TEMPORARY_PREFIX "*.tmp"))
        return;
    ForEachFile(pattern, [](const char *name) {
        char path[MAX_PATH];
        if (IsSaveTemporaryName(name) && ProgramPath(path, sizeof path, name))
            DeleteFileA(path);
        return true;
    });
}

void SaveSettings(HWND dialog)
{
    savedCount = 0;
    if (settings.emulateBios == 0)
        SaveSelected(dialog, "RomName", IDC_BIOS_LIST);
    /* Without a BIOS image there is nothing else to run. */
    SaveValue("EmulateBios", settings.biosAvailable ? OnOffText(settings.emulateBios) : "on");
    SaveValue("Debugger", OnOffText(settings.debugger));
    SaveValue("Verbose", OnOffText(settings.verbose));
    SaveValue("Disasm", OnOffText(settings.disasm));
    settings.cdUseCache = IsControlChecked(dialog, IDC_SECTOR_CACHE);
    SaveValue("CDUseCache", OnOffText(settings.cdUseCache));
    settings.useSerial = IsControlChecked(dialog, IDC_USE_SERIAL);
    SaveValue("UseSerial", OnOffText(settings.useSerial));
    SaveValue("CpuMode", CpuModeText(settings.cpuMode));
    if (settings.useSerial == 1)
        SaveSelected(dialog, "ComPort", IDC_PORT_LIST);
    settings.cdCountry = static_cast<int>(SendDlgItemMessageA(dialog, IDC_COUNTRY, CB_GETCURSEL, 0, 0));
    char country[16];
    BufFormat(country, sizeof country, "%d", settings.cdCountry);
    SaveValue("CDCountry", country);
    SaveSelected(dialog, "MemCard1", IDC_MEMCARD1);
    SaveSelected(dialog, "MemCard2", IDC_MEMCARD2);

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
        MessageBoxA(dialog, message, "System Error", MB_OK | MB_ICONEXCLAMATION);
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
            MessageBoxA(dialog, message, "System Error", MB_OK | MB_ICONEXCLAMATION);
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
        MessageBoxA(dialog, message, "System Error", MB_OK | MB_ICONEXCLAMATION);
    }
}
