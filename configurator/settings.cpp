/* KOVA.INI: section "KOVA" read at start-up and written by Save, and the
 * two settings callbacks that plugins get in HostServices. Only the profile
 * functions touch the file. */
#include "configurator.h"

#include <string.h>

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

static void SaveValue(const char *key, const char *value)
{
    WriteSetting(kSection, key, value);
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

void SaveSettings(HWND dialog)
{
    TakeSettingsWriteFailure(); /* whatever failed before was told already */
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

    if (TakeSettingsWriteFailure())
        ReportUnwrittenSettings(dialog, "The settings");

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
