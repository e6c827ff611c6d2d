/* gpuhost's configuration-time entry points: its about record, and the
 * dialog in which the user picks the hosted PSEmu Pro GPU plugin from
 * PLUGIN\PSEMU\, tries its own configure, test and about functions, and
 * stores the choice through the host's writeSetting. */
#include <string.h>

#include "gpuhost.h"
#include "gpuhost_logic.h"
#include "gpuhost_res.h"
#include "kova_files.h"
#include "kova_guard.h"
#include "kova_str.h"

static const PluginInfo kInfo = {
    PLUGIN_GPU, 0, 1, 0,
    "Tovrin",
    "GPUHost",
    "This Plugin allows to use PsemuPro Gpu plugin with KOVA.",
};

/* The file names behind the list's entries: slot i is list position i.
   Whole names of any length the file system gives, so that what OK stores
   is the file that was listed. */
#define HOSTED_SLOTS 16
static char HostedNames[HOSTED_SLOTS][MAX_PATH];
static int HostedCount;

/* The caller's record, kept while the dialog runs. */
static HostServices *ConfigHost;

/* baseDirectory + "PSEMU\" + name; false when it does not fit. */
static bool HostedPath(char *path, size_t pathSize, const char *name)
{
    return BufSet(path, pathSize, BaseDirectory) &&
           BufAppend(path, pathSize, GPUHOST_PSEMU_FOLDER) && BufAppend(path, pathSize, name);
}

struct Candidate {
    const char *path;
    const char *fileName;
    bool listed;
    char text[MAX_PATH];
};

/* Loads and asks one candidate; the library is unloaded again either way.
   All of it runs the candidate's code, its DllMain included. */
static void AskCandidate(void *context)
{
    Candidate *candidate = static_cast<Candidate *>(context);
    if (LoadHostedPlugin(candidate->path) != 0)
        return;
    /* Without PSEgetLibType there is no telling what the library is. */
    if (Hosted.PSEgetLibType && Hosted.PSEgetLibType() == PSE_LT_GPU) {
        uint32_t version = 0;
        if (Hosted.PSEgetLibVersion)
            version = static_cast<uint32_t>(Hosted.PSEgetLibVersion());
        const char *libName = Hosted.PSEgetLibName ? Hosted.PSEgetLibName() : NULL;
        FormatHostedEntry(candidate->text, sizeof candidate->text, libName, candidate->fileName,
                          Hosted.PSEgetLibVersion != NULL, version);
        candidate->listed = true;
    }
    UnloadHostedPlugin();
}

/* Adds a candidate to the list when it is a GPU plugin. One that fails
   while it is asked is left out, and left loaded: whatever it set up
   before it failed keeps its code. */
static void ListCandidate(HWND dialog, const char *fileName)
{
    char path[MAX_PATH];
    if (!HostedPath(path, sizeof path, fileName))
        return;
    Candidate candidate = { path, fileName, false, "" };
    if (GuardedCall(AskCandidate, &candidate).failed) {
        Hosted.library = NULL;
        return;
    }
    if (!candidate.listed)
        return;
    LRESULT position = SendDlgItemMessageA(dialog, IDC_HOSTED_LIST, CB_ADDSTRING, 0,
                                           reinterpret_cast<LPARAM>(candidate.text));
    if (position == HostedCount) {
        BufSet(HostedNames[HostedCount], fileName);
        HostedCount++;
    }
}

static void FillPluginList(HWND dialog)
{
    HostedCount = 0;
    char pattern[MAX_PATH];
    if (!HostedPath(pattern, sizeof pattern, "*.dll"))
        return;
    /* The first 16 GPU plugins found are listed. */
    ForEachFile(pattern, [dialog](const char *name) {
        ListCandidate(dialog, name);
        return HostedCount < HOSTED_SLOTS;
    });
}

/* Loads the selected plugin anew; false (nothing loaded) when there is no
   selection or it no longer loads. */
static bool LoadSelected(HWND dialog)
{
    LRESULT selected = SendDlgItemMessageA(dialog, IDC_HOSTED_LIST, CB_GETCURSEL, 0, 0);
    if (selected < 0 || selected >= HostedCount)
        return false;
    char path[MAX_PATH];
    return HostedPath(path, sizeof path, HostedNames[selected]) && LoadHostedPlugin(path) == 0;
}

struct ButtonCall {
    HWND dialog;
    int button;
};

/* One button's load, call and unload: the hosted plugin's code. */
static void PressHosted(void *context)
{
    const ButtonCall *call = static_cast<const ButtonCall *>(context);
    if (!LoadSelected(call->dialog))
        return;
    switch (call->button) {
    case IDC_HOSTED_CONFIGURE:
        if (Hosted.GPUconfigure)
            Hosted.GPUconfigure();
        break;
    case IDC_HOSTED_TEST: {
        long result = Hosted.GPUtest ? Hosted.GPUtest() : 1;
        MessageBoxA(call->dialog, HostedTestMessage(result), "Psemu", MB_ICONINFORMATION | MB_OK);
        break;
    }
    case IDC_HOSTED_ABOUT:
        if (Hosted.GPUabout)
            Hosted.GPUabout();
        break;
    }
    UnloadHostedPlugin();
}

static void OnHostedButton(HWND dialog, int button)
{
    ButtonCall call = { dialog, button };
    if (!GuardedCall(PressHosted, &call).failed)
        return;
    /* The call counts as returned; the library stays loaded (see
       ListCandidate) and the dialog goes on. */
    Hosted.library = NULL;
    LRESULT selected = SendDlgItemMessageA(dialog, IDC_HOSTED_LIST, CB_GETCURSEL, 0, 0);
    char message[MAX_PATH + 64];
    BufFormat(message, sizeof message, "%s failed and was stopped.",
              selected >= 0 && selected < HostedCount ? HostedNames[selected] : "The plugin");
    MessageBoxA(dialog, message, "Psemu", MB_ICONEXCLAMATION | MB_OK);
}

static void OnOk(HWND dialog)
{
    /* An empty list has nothing to store: the earlier choice stays. */
    LRESULT selected = SendDlgItemMessageA(dialog, IDC_HOSTED_LIST, CB_GETCURSEL, 0, 0);
    if (selected >= 0 && selected < HostedCount && ConfigHost && ConfigHost->writeSetting)
        ConfigHost->writeSetting(GPUHOST_SECTION, GPUHOST_KEY_PLUGIN, HostedNames[selected]);
    EndDialog(dialog, 0);
}

static INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillPluginList(dialog);
        if (HostedCount > 0) {
            SendDlgItemMessageA(dialog, IDC_HOSTED_LIST, CB_SETCURSEL, 0, 0);
        } else {
            static const int kNeedAPlugin[] = { IDC_HOSTED_LIST, IDC_HOSTED_CONFIGURE,
                                                IDC_HOSTED_TEST, IDC_HOSTED_ABOUT };
            for (int id : kNeedAPlugin)
                EnableWindow(GetDlgItem(dialog, id), FALSE);
        }
        return TRUE;
    case WM_COMMAND:
        /* The whole value: plain button clicks only, no list notifications. */
        switch (wParam) {
        case IDOK:
            OnOk(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case IDC_HOSTED_CONFIGURE:
        case IDC_HOSTED_TEST:
        case IDC_HOSTED_ABOUT:
            OnHostedButton(dialog, static_cast<int>(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        EndDialog(dialog, 0);
        return FALSE;
    }
    return FALSE;
}

extern "C" {

int32_t KOVA_CALL GPU_Configure(HostServices *host)
{
    ConfigHost = host;
    DialogBoxParamA(GpuHostInstance, MAKEINTRESOURCEA(IDD_GPUHOST_CONFIG), host ? host->mainWindow : NULL,
                    ConfigDialogProc, 0);
    ConfigHost = NULL;
    return 0;
}

void KOVA_CALL GPU_About(PluginInfo *info)
{
    memcpy(info, &kInfo, sizeof kInfo);
}

} /* extern "C" */
