/* KOVA.INI: section "KOVA" (its keys, read at start-up, and the values Save
 * writes), and the two settings callbacks that plugins get in
 * HostServices. The file is read and written through kova_ini.h: written
 * whole, a batch of writes at a time. */
#include "settings.h"

#include <string.h>

#include "configurator.h"
#include "dialog_util.h"
#include "kova_ini.h"
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
    ReadIniValue(settingsPath, section, key, settingBuffer, sizeof settingBuffer);
    /* out holds KOVA_SETTING_SIZE bytes by contract, and so does the buffer. */
    memcpy(out, settingBuffer, strlen(settingBuffer) + 1);
    return 0;
}

/* A plugin is not told whether its write reached the file (its result is
   always 0); the user is, once the plugin's call or Save is over. */
int32_t KOVA_CALL WriteSetting(const char *section, const char *key, const char *value)
{
    WriteIniValue(settingsPath, section, key, value);
    return 0;
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

/* ---- loading ---- */

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

/* ---- the values Save writes ---- */

/* The values of one Save, in the order of kKeys, taken from the dialog
   before anything is written: the room they need is known first. */
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

ULONGLONG TakeSectionValues(HWND dialog)
{
    savedCount = 0;
    for (const SettingKey &row : kKeys)
        if (Written(row.when))
            SaveKey(dialog, row);
    ULONGLONG bytes = sizeof "[KOVA]\r\n";
    for (int i = 0; i < savedCount; i++)
        bytes += strlen(savedKeys[i].key) + strlen(savedKeys[i].value) + 3;
    return bytes;
}

bool WriteSectionValues()
{
    BeginIniWrites();
    for (int i = 0; i < savedCount; i++)
        WriteSetting(kSection, savedKeys[i].key, savedKeys[i].value);
    return EndIniWrites();
}
