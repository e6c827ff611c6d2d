/* Save: the room it needs, KOVA.INI written whole, the plugins installed,
 * and the one message about what failed. */
#include "save.h"

#include "catalogue.h"
#include "configurator.h"
#include "file_write.h"
#include "kova_str.h"
#include "settings.h"

static unsigned long KiloBytes(ULONGLONG bytes)
{
    ULONGLONG kb = (bytes + 1023) / 1024;
    return kb > 0xFFFFFFFFu ? 0xFFFFFFFFul : static_cast<unsigned long>(kb);
}

static void Tell(HWND dialog, const char *message)
{
    MessageBoxA(dialog, message, SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
}

void SaveSettings(HWND dialog)
{
    /* The room Save takes at its peak: the new KOVA.INI beside the old one
       (a copy of it, then every key written), and a new copy of each
       library beside the old one. */
    ULONGLONG iniBytes = FileSizeOf(settingsPath);
    ULONGLONG newBytes = iniBytes + TakeSectionValues(dialog);
    ULONGLONG cluster = ClusterSize(programDirectory);
    ULONGLONG needed = ClustersFor(newBytes, cluster) + InstallSize(dialog, cluster);
    ULONGLONG room;
    char message[MAX_PATH + 256];
    if (FreeBytes(programDirectory, &room) && room < needed) {
        BufFormat(message, sizeof message,
                  "Nothing was saved: the settings and the plugins need %lu KB on the disk of "
                  "%s, and %lu KB are free.\r\n\r\n"
                  "KOVA.INI and the installed plugins are unchanged.",
                  KiloBytes(needed), programDirectory, KiloBytes(room));
        Tell(dialog, message);
        return;
    }

    if (!WriteSectionValues()) {
        if (FreeBytes(programDirectory, &room) && room < ClustersFor(newBytes, cluster)) {
            /* The libraries would not fit either: one message for the whole Save. */
            BufFormat(message, sizeof message,
                      "The settings could not be written to %s: the disk is full.\r\n\r\n"
                      "The file is as it was, and no plugin was installed.",
                      settingsPath);
            Tell(dialog, message);
            return;
        }
        ReportUnwrittenSettings(dialog, "The settings");
    }

    static char failed[PLUGIN_TYPE_COUNT * (2 * MAX_PATH + 32)];
    InstallPlugins(dialog, failed, sizeof failed);
    if (failed[0]) {
        static char list[sizeof failed + 256];
        BufFormat(list, sizeof list,
                  "These plugins could not be installed; the files installed before are "
                  "unchanged:\r\n\r\n%s",
                  failed);
        Tell(dialog, list);
    }
}
