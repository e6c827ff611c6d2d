/* KOVA.INI: section "KOVA" read at start-up and written by Save, and the
 * two settings callbacks that plugins get in HostServices. Only the profile
 * functions touch the file. */
#include "settings.h"

#include <string.h>

#include "catalogue.h"
#include "configurator.h"
#include "dialogs.h"
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
   Save holds them in this order); LoadSettings reads the rows with a flag.
   control: the list whose entry is written, or the control that Save takes
   the flag from first (0: the flag as it stands). */
static const struct SettingKey {
    const char *key;
    ValueKind kind;
    int *flag;
    int control;
    WrittenWhen when;
} kKeys[] = {
    { "RomName", VALUE_LIST_TEXT, NULL, IDC_BIOS_LIST, WITHOUT_BIOS_EMULATION },
    { "EmulateBios", VALUE_BIOS, &settings.emulateBios, 0, ALWAYS },
    { "Debugger", VALUE_ON_OFF, &settings.debugger, 0, ALWAYS },
    { "Verbose", VALUE_ON_OFF, &settings.verbose, 0, ALWAYS },
    { "Disasm", VALUE_ON_OFF, &settings.disasm, 0, ALWAYS },
    { "CDUseCache", VALUE_ON_OFF, &settings.cdUseCache, IDC_SECTOR_CACHE, ALWAYS },
    { "UseSerial", VALUE_ON_OFF, &settings.useSerial, IDC_USE_SERIAL, ALWAYS },
    { "CpuMode", VALUE_CPU_MODE, &settings.cpuMode, 0, ALWAYS },
    { "ComPort", VALUE_LIST_TEXT, NULL, IDC_PORT_LIST, WITH_SERIAL_MAPPER },
    { "CDCountry", VALUE_COUNTRY, &settings.cdCountry, IDC_COUNTRY, ALWAYS },
    { "MemCard1", VALUE_LIST_TEXT, NULL, IDC_MEMCARD1, ALWAYS },
    { "MemCard2", VALUE_LIST_TEXT, NULL, IDC_MEMCARD2, ALWAYS },
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
    for (const SettingKey &row : kKeys) {
        if (!row.flag)
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

static bool Written(WrittenWhen when)
{
    if (when == WITHOUT_BIOS_EMULATION)
        return settings.emulateBios == 0;
    if (when == WITH_SERIAL_MAPPER)
        return settings.useSerial == 1;
    return true;
}

/* Takes the row's flag from its control, then writes the row's value. */
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
    WriteSetting(kSection, row.key, text);
}

void SaveSettings(HWND dialog)
{
    TakeSettingsWriteFailure(); /* whatever failed before was told already */
    for (const SettingKey &row : kKeys)
        if (Written(row.when))
            SaveKey(dialog, row);
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
        MessageBoxA(dialog, message, SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
    }
}
