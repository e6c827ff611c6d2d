/* "Load PSX file": drive, directory, file and file-type lists, filled by
 * the list controls' own directory requests. A selection change passes
 * itself on as the next control's selection change, exactly as if the user
 * had made it: drive -> directory -> file type -> file list. */
#include "file_chooser.h"

#include <ctype.h>
#include <string.h>

#include "configurator.h"
#include "dialog_util.h"
#include "kova_files.h"
#include "kova_str.h"
#include "resource.h"

static const char kCaption[] = "Load PSX file";

char chooserDirectory[MAX_PATH];
int chooserResult;
char chooserPath[2 * MAX_PATH];

/* ---- file types and path arithmetic ---- */

static const char *const kProgramPatterns[] = { "*.exe", "*.cpe", "*.elf", "*.out", NULL };
static const char *const kActionReplayPatterns[] = { "*.rom", "*.bin", NULL };
static const char *const kAllPatterns[] = { "*.*", NULL };

static const struct {
    const char *text;
    const char *const *patterns;
} kChooserTypes[CHOOSER_TYPE_COUNT] = {
    { "PSX executables (*.exe, *.cpe, *.elf, *.out)", kProgramPatterns },
    { "Action Replay images (*.rom, *.bin)", kActionReplayPatterns },
    { "All files (*.*)", kAllPatterns },
};

const char *ChooserTypeText(int type)
{
    return (type >= 0 && type < CHOOSER_TYPE_COUNT) ? kChooserTypes[type].text : NULL;
}

const char *const *ChooserTypePatterns(int type)
{
    return (type >= 0 && type < CHOOSER_TYPE_COUNT) ? kChooserTypes[type].patterns : NULL;
}

int ChooserResultCode(int type)
{
    return type * 16 + 1;
}

int ChooserResultType(int code)
{
    return code >> 4;
}

void ParentDirectory(char *dir)
{
    size_t length = strlen(dir);
    /* "C:\" and anything shorter is a root. */
    if (length <= 3)
        return;
    size_t end = length - 1; /* the final backslash */
    while (end > 0 && dir[end - 1] != '\\')
        end--;
    if (end < 3)
        return;
    dir[end] = '\0';
}

bool IsParentEntry(const char *entry)
{
    return strcmp(entry, "[..]") == 0;
}

bool DirectoryEntryName(char *dst, size_t dstSize, const char *entry)
{
    size_t length = strlen(entry);
    if (dstSize == 0 || length < 3 || entry[0] != '[' || entry[length - 1] != ']') {
        if (dstSize)
            dst[0] = '\0';
        return false;
    }
    if (length - 2 >= dstSize) {
        dst[0] = '\0';
        return false;
    }
    memcpy(dst, entry + 1, length - 2);
    dst[length - 2] = '\0';
    return true;
}

char DriveEntryLetter(const char *entry)
{
    if (strlen(entry) >= 5 && entry[0] == '[' && entry[1] == '-' && entry[3] == '-' &&
        entry[4] == ']')
        return entry[2];
    return 0;
}

bool AppendChosenFile(char *line, size_t lineSize, const char *path, int type)
{
    size_t used = BufLength(line, lineSize);
    size_t need = used + (used ? 1 : 0) + (type == CHOOSER_TYPE_ACTION_REPLAY ? 2 : 0) +
                  strlen(path);
    if (used >= lineSize || need >= lineSize)
        return false;
    if (used)
        BufAppend(line, lineSize, " ");
    if (type == CHOOSER_TYPE_ACTION_REPLAY)
        BufAppend(line, lineSize, "-a");
    BufAppend(line, lineSize, path);
    return true;
}

/* ---- the dialog ---- */

/* Sends the dialog the selection change of one of its lists. */
static void SelectionChanged(HWND dialog, int id)
{
    /* LBN_SELCHANGE and CBN_SELCHANGE are both 1. */
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

static void TooLong(HWND dialog)
{
    MessageBoxA(dialog, "This path is too long to be used.", kCaption,
                MB_OK | MB_ICONEXCLAMATION);
}

static bool ListText(HWND dialog, int id, LRESULT index, char *dst, size_t dstSize)
{
    dst[0] = '\0';
    LRESULT length = SendDlgItemMessageA(dialog, id, LB_GETTEXTLEN, index, 0);
    if (length < 0 || static_cast<size_t>(length) >= dstSize)
        return false;
    SendDlgItemMessageA(dialog, id, LB_GETTEXT, index, reinterpret_cast<LPARAM>(dst));
    return true;
}

static void FillFileList(HWND dialog, const char *const *patterns)
{
    SendDlgItemMessageA(dialog, IDC_CHOOSER_FILES, LB_RESETCONTENT, 0, 0);
    for (; *patterns; patterns++) {
        char search[MAX_PATH];
        if (!BufSet(search, chooserDirectory) || !BufAppend(search, *patterns))
            continue;
        ForEachFile(search, [dialog](const char *name) {
            SendDlgItemMessageA(dialog, IDC_CHOOSER_FILES, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(name));
            return true;
        });
    }
    SendDlgItemMessageA(dialog, IDC_CHOOSER_FILES, LB_SETCURSEL, 0, 0);
}

static void DriveChosen(HWND dialog)
{
    LRESULT index = SendDlgItemMessageA(dialog, IDC_CHOOSER_DRIVES, CB_GETCURSEL, 0, 0);
    char entry[64];
    if (index < 0 || SendDlgItemMessageA(dialog, IDC_CHOOSER_DRIVES, CB_GETLBTEXTLEN, index, 0) >=
                         static_cast<LRESULT>(sizeof entry))
        return;
    SendDlgItemMessageA(dialog, IDC_CHOOSER_DRIVES, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(entry));
    char letter = DriveEntryLetter(entry);
    if (!letter)
        return;
    /* The list is meant to show its letters in capitals; not every system
       converts the entries of its own directory listing. */
    BufFormat(chooserDirectory, sizeof chooserDirectory, "%c:\\",
              toupper(static_cast<unsigned char>(letter)));
    SelectionChanged(dialog, IDC_CHOOSER_DIRS);
}

static void DirectoryChosen(HWND dialog)
{
    LRESULT index = SendDlgItemMessageA(dialog, IDC_CHOOSER_DIRS, LB_GETCURSEL, 0, 0);
    char entry[MAX_PATH];
    if (index != LB_ERR && !ListText(dialog, IDC_CHOOSER_DIRS, index, entry, sizeof entry))
        return;
    if (index == LB_ERR || IsParentEntry(entry)) {
        ParentDirectory(chooserDirectory);
    } else {
        /* The new directory must leave room for the search pattern, or
           it could not be listed: refuse it and stay where we are. */
        char name[MAX_PATH], next[MAX_PATH];
        if (!DirectoryEntryName(name, sizeof name, entry))
            return;
        if (!BufSet(next, chooserDirectory) || !BufAppend(next, name) || !BufAppend(next, "\\") ||
            strlen(next) + 3 >= sizeof next) {
            TooLong(dialog);
            return;
        }
        BufSet(chooserDirectory, next);
    }
    char search[MAX_PATH];
    BufSet(search, chooserDirectory);
    BufAppend(search, "*.*");
    SendDlgItemMessageA(dialog, IDC_CHOOSER_DIRS, LB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(dialog, IDC_CHOOSER_DIRS, LB_DIR, DDL_DIRECTORY | DDL_EXCLUSIVE,
                        reinterpret_cast<LPARAM>(search));
    SelectionChanged(dialog, IDC_CHOOSER_TYPES);
}

static void TypeChosen(HWND dialog)
{
    LRESULT type = SendDlgItemMessageA(dialog, IDC_CHOOSER_TYPES, CB_GETCURSEL, 0, 0);
    const char *const *patterns = ChooserTypePatterns(static_cast<int>(type));
    if (patterns)
        FillFileList(dialog, patterns);
}

static void InitChooser(HWND dialog)
{
    chooserResult = 0;
    for (int type = 0; type < CHOOSER_TYPE_COUNT; type++)
        SendDlgItemMessageA(dialog, IDC_CHOOSER_TYPES, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(ChooserTypeText(type)));
    SendDlgItemMessageA(dialog, IDC_CHOOSER_TYPES, CB_SETCURSEL, 0, 0);

    static char allFiles[] = "*.*";
    SendDlgItemMessageA(dialog, IDC_CHOOSER_DRIVES, CB_DIR, DDL_DRIVES | DDL_EXCLUSIVE,
                        reinterpret_cast<LPARAM>(allFiles));
    LRESULT count = SendDlgItemMessageA(dialog, IDC_CHOOSER_DRIVES, CB_GETCOUNT, 0, 0);
    /* A directory without a drive letter (a network path) matches no
       entry: the dialog then opens on the first drive. */
    LRESULT selected = 0;
    for (LRESULT i = count - 1; i >= 0; i--) {
        char entry[64];
        if (SendDlgItemMessageA(dialog, IDC_CHOOSER_DRIVES, CB_GETLBTEXTLEN, i, 0) >=
            static_cast<LRESULT>(sizeof entry))
            continue;
        SendDlgItemMessageA(dialog, IDC_CHOOSER_DRIVES, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
        char letter = DriveEntryLetter(entry);
        if (letter && tolower(static_cast<unsigned char>(letter)) ==
                          tolower(static_cast<unsigned char>(chooserDirectory[0]))) {
            selected = i;
            break;
        }
    }
    SendDlgItemMessageA(dialog, IDC_CHOOSER_DRIVES, CB_SETCURSEL, selected, 0);
    SelectionChanged(dialog, IDC_CHOOSER_DRIVES);
}

static void ChooseSelectedFile(HWND dialog)
{
    LRESULT index = SendDlgItemMessageA(dialog, IDC_CHOOSER_FILES, LB_GETCURSEL, 0, 0);
    /* Nothing listed: there is no file to hand back, so OK is Cancel. */
    if (index == LB_ERR) {
        EndDialog(dialog, 0);
        return;
    }
    char name[MAX_PATH];
    if (!ListText(dialog, IDC_CHOOSER_FILES, index, name, sizeof name) ||
        !BufSet(chooserPath, chooserDirectory) || !BufAppend(chooserPath, name)) {
        TooLong(dialog);
        return;
    }
    LRESULT type = SendDlgItemMessageA(dialog, IDC_CHOOSER_TYPES, CB_GETCURSEL, 0, 0);
    chooserResult = ChooserResultCode(static_cast<int>(type));
    EndDialog(dialog, 0);
}

static INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitChooser(dialog);
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam), code = HIWORD(wParam);
        if (id == IDC_CHOOSER_DRIVES && code == CBN_SELCHANGE)
            DriveChosen(dialog);
        else if (id == IDC_CHOOSER_DIRS && code == LBN_SELCHANGE)
            DirectoryChosen(dialog);
        else if (id == IDC_CHOOSER_TYPES && code == CBN_SELCHANGE)
            TypeChosen(dialog);
        else if (id == IDOK && code == BN_CLICKED)
            ChooseSelectedFile(dialog);
        else if (id == IDCANCEL && code == BN_CLICKED)
            EndDialog(dialog, 0);
        else
            return FALSE;
        return TRUE;
    }
    default:
        return FALSE;
    }
}

static INT_PTR RunChooser(HWND owner)
{
    chooserResult = 0;
    return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_CHOOSER), owner, ChooserProc, 0);
}

void AppendChosenFileToCommandLine(HWND dialog)
{
    RunChooser(dialog);
    if (chooserResult == 0)
        return;
    static char line[COMMAND_LINE_SIZE];
    if (!ControlText(dialog, IDC_COMMAND_LINE, line, sizeof line) ||
        !AppendChosenFile(line, sizeof line, chooserPath, ChooserResultType(chooserResult))) {
        MessageBoxA(dialog,
                    "The command line cannot take this path: it would be longer than the 32767 "
                    "characters Windows starts a program with. The command line is unchanged.",
                    kCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetDlgItemTextA(dialog, IDC_COMMAND_LINE, line);
}
