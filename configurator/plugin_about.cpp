/* "About plugin": the catalogued record of the plugin selected in a
 * family's list. The texts were terminated when the record was read. */
#include "catalogue.h"
#include "configurator.h"
#include "dialogs.h"
#include "resource.h"

static INT_PTR CALLBACK PluginAboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const PluginEntry *entry = reinterpret_cast<const PluginEntry *>(lParam);
        char line[PLUGININFO_NAME_SIZE + 16];
        FormatPluginLine(line, sizeof line, &entry->info);
        SetDlgItemTextA(dialog, IDC_PLUGIN_NAME, line);
        SetDlgItemTextA(dialog, IDC_PLUGIN_AUTHOR, entry->info.author);
        SetDlgItemTextA(dialog, IDC_PLUGIN_DESCRIPTION, entry->info.description);
        return TRUE;
    }
    case WM_COMMAND:
        return EndOnOkOrCancel(dialog, wParam) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

void ShowPluginAbout(HWND dialog, int family)
{
    PluginEntry *entry = SelectedPlugin(dialog, family);
    if (!entry)
        return;
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_PLUGIN_ABOUT), dialog, PluginAboutProc,
                    reinterpret_cast<LPARAM>(entry));
}
