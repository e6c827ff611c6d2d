/* The "Memory Cards" dialog: two cards of MEMCARDS\ side by side, their
 * saves with icon, title, product code, region and blocks, and what the
 * user does with them (copy, delete, import, export, format, new card).
 * The card bytes are changed by card_image.cpp; this file reads and writes
 * the files. A card is only ever replaced whole: the new one is written
 * beside it and moved over it, so a failure leaves the old one as it was. */
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <string.h>

#include <algorithm>

#include "card_image.h"
#include "configurator.h"
#include "dialogs.h"
#include "file_write.h"
#include "kova_files.h"
#include "kova_module.h"
#include "kova_str.h"
#include "resource.h"

static const char kCaption[] = "Memory Cards";
static const char kCardFolder[] = "MEMCARDS\\";

enum { LEFT = 0, RIGHT = 1 };

/* One side of the dialog: the card it shows, as read when it was shown. */
struct Side {
    char name[MAX_PATH];   /* bare file name in MEMCARDS\, "" for none */
    bool read;             /* the file could be read */
    uint8_t data[CARD_SIZE];
    size_t size;           /* the file's length, at most CARD_SIZE + 1 */
    CardListing listing;
};
static Side sides[2];
/* What the dialog opens with: the main dialog's slots. */
static const char *openingNames[2];

static int Id(int leftId, int side)
{
    return leftId + side;
}

static bool CardPath(const char *name, char *dst, size_t dstSize)
{
    return ProgramPath(dst, dstSize, kCardFolder, name);
}

/* Reads at most CARD_SIZE bytes of the card; *size is its length, one more
   than CARD_SIZE for anything longer. */
static bool ReadCard(const char *name, uint8_t *data, size_t *size)
{
    char path[MAX_PATH];
    if (!CardPath(name, path, sizeof path))
        return false;
    /* The emulator may have the card open: reading must not stop it. */
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER length;
    DWORD got = 0;
    bool ok = GetFileSizeEx(file, &length) != 0;
    if (ok) {
        DWORD want = static_cast<DWORD>(length.QuadPart > CARD_SIZE ? CARD_SIZE : length.QuadPart);
        memset(data, 0, CARD_SIZE);
        ok = want == 0 || (ReadFile(file, data, want, &got, NULL) && got == want);
        *size = length.QuadPart > CARD_SIZE ? static_cast<size_t>(CARD_SIZE) + 1 : want;
    }
    CloseHandle(file);
    return ok;
}

enum WriteResult { WRITTEN, HELD_OPEN, NOT_WRITTEN, EXISTS };

/* Writes bytes as the whole new content of path: into a file beside it
   first, then moved over it (or, with mustBeNew, into its place only when
   no such file exists). A file another program has open is left alone. */
static WriteResult WriteWhole(const char *path, const uint8_t *data, size_t size, bool mustBeNew)
{
    if (!mustBeNew) {
        /* Windows refuses to replace a read-only file; the check makes it
           so on every file system, also where the owner could anyway. */
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            return NOT_WRITTEN;
        HANDLE held = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        if (held == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
                return HELD_OPEN;
        } else {
            CloseHandle(held);
        }
    } else if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        return EXISTS;
    }
    if (WriteWholeFile(path, data, static_cast<unsigned long>(size),
                       mustBeNew ? 0 : MOVEFILE_REPLACE_EXISTING))
        return WRITTEN;
    DWORD error = GetLastError();
    if (mustBeNew && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
        return EXISTS;
    return NOT_WRITTEN;
}

static void Say(HWND dialog, UINT icon, const char *format, ...) __attribute__((format(printf, 3, 4)));
static void Say(HWND dialog, UINT icon, const char *format, ...)
{
    char message[2 * MAX_PATH + 512];
    va_list args;
    va_start(args, format);
    BufFormatV(message, sizeof message, format, args);
    va_end(args);
    MessageBoxA(dialog, message, icon == MB_ICONEXCLAMATION ? SYSTEM_ERROR_CAPTION : kCaption,
                MB_OK | icon);
}

static bool Ask(HWND dialog, const char *message)
{
    return MessageBoxA(dialog, message, kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

/* ---- showing the sides ---- */

static void AddColumn(HWND list, int index, const char *title, int width)
{
    LVCOLUMNA column;
    memset(&column, 0, sizeof column);
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char *>(title);
    column.cx = width;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

static HBITMAP IconBitmap(const uint32_t *pixels)
{
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16; /* top row first */
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (bitmap && bits)
        memcpy(bits, pixels, 256 * sizeof(uint32_t));
    return bitmap;
}

static void SetItemText(HWND list, int item, int column, const wchar_t *text)
{
    LVITEMW cell;
    memset(&cell, 0, sizeof cell);
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t *>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&cell));
}

static void SetItemTextA(HWND list, int item, int column, const char *text)
{
    wchar_t wide[64];
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, wide, dimof(wide)))
        wide[0] = L'\0';
    SetItemText(list, item, column, wide);
}

static void FillSaves(HWND dialog, int side)
{
    const Side &s = sides[side];
    HWND list = GetDlgItem(dialog, Id(IDC_SAVES_LEFT, side));
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    HIMAGELIST icons = reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ImageList_RemoveAll(icons);
    uint32_t background = GetSysColor(COLOR_WINDOW);
    /* COLORREF is 0x00BBGGRR; the pixels are 0x00RRGGBB. */
    background = ((background & 0xFF) << 16) | (background & 0xFF00) | ((background >> 16) & 0xFF);
    for (int i = 0; s.read && i < s.listing.saveCount; i++) {
        const CardSave &save = s.listing.saves[i];
        uint32_t pixels[256];
        if (!SaveIconPixels(s.data, s.size, save, background, pixels))
            std::fill(pixels, pixels + 256, background);
        HBITMAP bitmap = IconBitmap(pixels);
        int image = bitmap ? ImageList_Add(icons, bitmap, NULL) : -1;
        if (bitmap)
            DeleteObject(bitmap);

        wchar_t title[CARD_TITLE_SIZE + 1];
        SaveTitleText(save.title, title, dimof(title));
        /* A save without a header of its own goes by its file name. */
        if (!title[0] && !MultiByteToWideChar(CP_ACP, 0, save.name, -1, title, dimof(title)))
            title[0] = L'\0';
        LVITEMW item;
        memset(&item, 0, sizeof item);
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = i;
        item.pszText = title;
        item.iImage = image;
        item.lParam = save.blocks[0];
        int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        char code[CARD_NAME_SIZE], blocks[16];
        SaveProductCode(save.name, code, sizeof code);
        BufFormat(blocks, sizeof blocks, "%d", save.blockCount);
        SetItemTextA(list, row, 1, code);
        SetItemTextA(list, row, 2, SaveRegion(save.name));
        SetItemTextA(list, row, 3, blocks);
    }
    char status[160];
    if (!s.name[0])
        BufSet(status, "No card.");
    else if (!s.read)
        BufSet(status, "The card could not be read.");
    else if (s.listing.damage)
        BufFormat(status, sizeof status, "Damaged: %s.\r\nFree blocks: %d", s.listing.problem,
                  s.listing.freeBlocks);
    else
        BufFormat(status, sizeof status, "Free blocks: %d", s.listing.freeBlocks);
    SetDlgItemTextA(dialog, Id(IDC_STATUS_LEFT, side), status);
}

static int SelectedSave(HWND dialog, int side)
{
    HWND list = GetDlgItem(dialog, Id(IDC_SAVES_LEFT, side));
    int item = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (item < 0)
        return 0;
    LVITEMW row;
    memset(&row, 0, sizeof row);
    row.mask = LVIF_PARAM;
    row.iItem = item;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row)))
        return 0;
    return static_cast<int>(row.lParam);
}

static const CardSave *SaveAt(int side, int firstBlock)
{
    for (int i = 0; i < sides[side].listing.saveCount; i++)
        if (sides[side].listing.saves[i].blocks[0] == firstBlock)
            return &sides[side].listing.saves[i];
    return NULL;
}

static void UpdateButtons(HWND dialog)
{
    for (int side = LEFT; side <= RIGHT; side++) {
        bool card = sides[side].name[0] && sides[side].read;
        bool save = card && SelectedSave(dialog, side) != 0;
        EnableControl(dialog, Id(IDC_DELETE_LEFT, side), save);
        EnableControl(dialog, Id(IDC_EXPORT_LEFT, side), save);
        EnableControl(dialog, side == LEFT ? IDC_COPY_TO_RIGHT : IDC_COPY_TO_LEFT,
                      save && sides[!side].name[0] && sides[!side].read);
        EnableControl(dialog, Id(IDC_IMPORT_LEFT, side), card);
        EnableControl(dialog, Id(IDC_FORMAT_LEFT, side), sides[side].name[0] != '\0');
    }
    char same[MAX_PATH + 64] = "";
    if (sides[LEFT].name[0] && _stricmp(sides[LEFT].name, sides[RIGHT].name) == 0)
        BufFormat(same, sizeof same, "Both sides show the same card, %s.", sides[LEFT].name);
    SetDlgItemTextA(dialog, IDC_SAME_CARD, same);
}

/* Reads the side's card afresh and shows it. */
static void ShowSide(HWND dialog, int side)
{
    Side &s = sides[side];
    s.read = s.name[0] && ReadCard(s.name, s.data, &s.size);
    if (s.read)
        ListCard(s.data, s.size, &s.listing);
    else
        memset(&s.listing, 0, sizeof s.listing);
    FillSaves(dialog, side);
}

static void ShowSides(HWND dialog)
{
    ShowSide(dialog, LEFT);
    ShowSide(dialog, RIGHT);
    UpdateButtons(dialog);
}

/* Lists MEMCARDS\*.mcd in both card lists and selects each side's card. */
static void FillCardLists(HWND dialog)
{
    char pattern[MAX_PATH];
    for (int side = LEFT; side <= RIGHT; side++)
        SendDlgItemMessageA(dialog, Id(IDC_CARD_LEFT, side), CB_RESETCONTENT, 0, 0);
    if (ProgramPath(pattern, sizeof pattern, kCardFolder, "*.mcd"))
        ForEachFile(pattern, [dialog](const char *name) {
            for (int side = LEFT; side <= RIGHT; side++)
                SendDlgItemMessageA(dialog, Id(IDC_CARD_LEFT, side), CB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(name));
            return true;
        });
    for (int side = LEFT; side <= RIGHT; side++) {
        int list = Id(IDC_CARD_LEFT, side);
        LRESULT index = sides[side].name[0]
            ? SendDlgItemMessageA(dialog, list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(sides[side].name))
            : CB_ERR;
        if (index == CB_ERR)
            sides[side].name[0] = '\0';
        SendDlgItemMessageA(dialog, list, CB_SETCURSEL, index == CB_ERR ? static_cast<WPARAM>(-1) : index, 0);
        EnableControl(dialog, list, SendDlgItemMessageA(dialog, list, CB_GETCOUNT, 0, 0) > 0);
    }
}

static void InitMemoryCards(HWND dialog)
{
    for (int side = LEFT; side <= RIGHT; side++) {
        HWND list = GetDlgItem(dialog, Id(IDC_SAVES_LEFT, side));
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        /* Column widths in dialog units, as the rest of the layout. */
        RECT widths = { 84, 48, 32, 32 };
        MapDialogRect(dialog, &widths);
        AddColumn(list, 0, "Title", widths.left);
        AddColumn(list, 1, "Product", widths.top);
        AddColumn(list, 2, "Region", widths.right);
        AddColumn(list, 3, "Blocks", widths.bottom);
        HIMAGELIST icons = ImageList_Create(16, 16, ILC_COLOR32, CARD_SAVE_BLOCKS, 0);
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(icons));
        BufSet(sides[side].name, openingNames[side] ? openingNames[side] : "");
    }
    FillCardLists(dialog);
    ShowSides(dialog);
}

/* ---- acting on cards ---- */

/* False, with a message, when the card on disk is no longer what the side
   shows: another program wrote it. The sides are then shown afresh. */
static bool StillAsShown(HWND dialog, int side)
{
    static uint8_t now[CARD_SIZE];
    size_t size = 0;
    const Side &s = sides[side];
    if (ReadCard(s.name, now, &size) && size == s.size && memcmp(now, s.data, CARD_SIZE) == 0)
        return true;
    Say(dialog, MB_ICONINFORMATION,
        "The card %s has changed since it was shown. It is shown again as it is now; nothing was "
        "written.", s.name);
    ShowSides(dialog);
    return false;
}

/* Writes the card in place of the side's file and shows both sides afresh. */
static bool WriteCard(HWND dialog, int side, const uint8_t *card)
{
    char path[MAX_PATH];
    WriteResult result = CardPath(sides[side].name, path, sizeof path)
                             ? WriteWhole(path, card, CARD_SIZE, false)
                             : NOT_WRITTEN;
    if (result == HELD_OPEN)
        Say(dialog, MB_ICONEXCLAMATION,
            "The memory card %s is in use by another program. Nothing was written; close that "
            "program and try again.", path);
    else if (result != WRITTEN)
        Say(dialog, MB_ICONEXCLAMATION,
            "The memory card %s could not be written. It is as it was.", path);
    ShowSides(dialog);
    return result == WRITTEN;
}

static bool RefuseDamaged(HWND dialog, int side, const char *what)
{
    if (!sides[side].listing.damage)
        return false;
    Say(dialog, MB_ICONINFORMATION,
        "%s: the card %s is damaged (%s). Nothing is written to a damaged card; Export its "
        "saves first, then Format makes it usable again.",
        what, sides[side].name, sides[side].listing.problem);
    return true;
}

/* Adds a save held as .mcs bytes to the side's card, or says why not. */
static void AddSave(HWND dialog, int side, const uint8_t *mcs, size_t mcsSize, const char *what)
{
    Side &s = sides[side];
    if (RefuseDamaged(dialog, side, what) || !StillAsShown(dialog, side))
        return;
    static uint8_t card[CARD_SIZE];
    memcpy(card, s.data, CARD_SIZE);
    /* Bytes 10-29 of the directory frame; the file need not end it. */
    char name[CARD_NAME_SIZE];
    memcpy(name, mcs + 10, CARD_NAME_SIZE - 1);
    name[CARD_NAME_SIZE - 1] = '\0';
    switch (ImportSave(card, mcs, mcsSize)) {
    case CARD_OK:
        WriteCard(dialog, side, card);
        return;
    case CARD_NO_ROOM:
        Say(dialog, MB_ICONINFORMATION, "%s: the save %s needs %d blocks, and the card %s has %d free.",
            what, name, static_cast<int>((mcsSize - CARD_FRAME_SIZE) / CARD_BLOCK_SIZE), s.name,
            s.listing.freeBlocks);
        return;
    case CARD_NAME_TAKEN:
        Say(dialog, MB_ICONINFORMATION, "%s: the card %s already holds a save named %s.", what,
            s.name, name);
        return;
    default:
        Say(dialog, MB_ICONINFORMATION, "%s: the save could not be added to the card %s.", what, s.name);
        return;
    }
}

static uint8_t mcsBuffer[CARD_MCS_MAX + 1];

static void CopySave(HWND dialog, int from)
{
    int first = SelectedSave(dialog, from);
    size_t size = 0;
    /* The save as it is on the disk now, not as it was when shown. */
    if (!first || !StillAsShown(dialog, from) ||
        ExportSave(sides[from].data, sides[from].size, first, mcsBuffer, &size) != CARD_OK)
        return;
    AddSave(dialog, !from, mcsBuffer, size, "Not copied");
}

static void DeleteSelected(HWND dialog, int side)
{
    const CardSave *save = SaveAt(side, SelectedSave(dialog, side));
    if (!save || RefuseDamaged(dialog, side, "Not deleted"))
        return;
    char question[MAX_PATH + 128];
    BufFormat(question, sizeof question, "Delete the save %s (%d block%s) from the card %s?",
              save->name, save->blockCount, save->blockCount == 1 ? "" : "s", sides[side].name);
    if (!Ask(dialog, question) || !StillAsShown(dialog, side))
        return;
    static uint8_t card[CARD_SIZE];
    memcpy(card, sides[side].data, CARD_SIZE);
    if (DeleteSave(card, save->blocks[0]) == CARD_OK)
        WriteCard(dialog, side, card);
}

static void FormatSide(HWND dialog, int side)
{
    const Side &s = sides[side];
    static char question[MAX_PATH + CARD_SAVE_BLOCKS * (CARD_NAME_SIZE + 4) + 256];
    BufFormat(question, sizeof question, "Format the card %s? ", s.name);
    if (s.listing.damage) {
        BufAppend(question, "It is damaged (");
        BufAppend(question, s.listing.problem);
        BufAppend(question, "). ");
    }
    if (s.listing.saveCount == 0) {
        BufAppend(question, "It holds no save that can be read.");
    } else {
        BufAppend(question, "These saves on it will be lost:\r\n");
        for (int i = 0; i < s.listing.saveCount; i++) {
            BufAppend(question, "\r\n");
            BufAppend(question, s.listing.saves[i].name);
        }
    }
    /* A card that could not be read cannot be compared: writing it says why it failed. */
    if (!Ask(dialog, question) || (s.read && !StillAsShown(dialog, side)))
        return;
    static uint8_t card[CARD_SIZE];
    FormatCard(card);
    WriteCard(dialog, side, card);
}

static bool ChooseFile(HWND dialog, bool save, char *path, size_t pathSize)
{
    OPENFILENAMEA choice;
    memset(&choice, 0, sizeof choice);
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = dialog;
    choice.lpstrFilter = "Single saves (*.mcs)\0*.mcs\0All files (*.*)\0*.*\0";
    choice.lpstrFile = path;
    choice.nMaxFile = static_cast<DWORD>(pathSize);
    choice.lpstrDefExt = "mcs";
    if (save) {
        choice.lpstrTitle = "Export save";
        choice.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        return GetSaveFileNameA(&choice) != 0;
    }
    choice.lpstrTitle = "Import save";
    choice.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return GetOpenFileNameA(&choice) != 0;
}

static void ImportFile(HWND dialog, int side)
{
    char path[MAX_PATH] = "";
    if (!ChooseFile(dialog, false, path, sizeof path))
        return;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    DWORD got = 0;
    bool read = file != INVALID_HANDLE_VALUE &&
                ReadFile(file, mcsBuffer, sizeof mcsBuffer, &got, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!read) {
        Say(dialog, MB_ICONEXCLAMATION, "The file %s could not be read.", path);
        return;
    }
    const char *problem = SaveFileProblem(mcsBuffer, got);
    if (problem) {
        Say(dialog, MB_ICONINFORMATION, "Not imported: %s is no save file (%s).", path, problem);
        return;
    }
    AddSave(dialog, side, mcsBuffer, got, "Not imported");
}

static void ExportSelected(HWND dialog, int side)
{
    const CardSave *save = SaveAt(side, SelectedSave(dialog, side));
    size_t size = 0;
    if (!save || ExportSave(sides[side].data, sides[side].size, save->blocks[0], mcsBuffer, &size) != CARD_OK)
        return;
    /* The save's file name, less what a Windows file name cannot hold. */
    char path[MAX_PATH];
    size_t n = 0;
    for (const char *c = save->name; *c && n + 1 < sizeof path; c++)
        path[n++] = strchr("\\/:*?\"<>|", *c) || *c < 0x20 ? '_' : *c;
    path[n] = '\0';
    if (!ChooseFile(dialog, true, path, sizeof path))
        return;
    if (WriteWhole(path, mcsBuffer, size, false) != WRITTEN)
        Say(dialog, MB_ICONEXCLAMATION, "The save could not be written to %s.", path);
}

/* ---- New card ---- */

static char newCardName[MAX_PATH];

static INT_PTR CALLBACK NewCardProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        SendDlgItemMessageA(dialog, IDC_NEW_CARD_NAME, EM_LIMITTEXT, 100, 0);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    if (LOWORD(wParam) == IDOK) {
        ControlText(dialog, IDC_NEW_CARD_NAME, newCardName, sizeof newCardName);
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

static void NewCard(HWND dialog)
{
    char name[MAX_PATH], path[MAX_PATH], folder[MAX_PATH];
    for (;;) {
        if (DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_NEW_CARD), dialog, NewCardProc, 0) != IDOK)
            return;
        if (!NewCardFileName(newCardName, name, sizeof name) || !CardPath(name, path, sizeof path)) {
            Say(dialog, MB_ICONINFORMATION,
                "A card's name may not be empty, nor hold any of the characters \\ / : * ? \" < > |.");
            continue;
        }
        break;
    }
    /* The release ships the folder; a user may have removed it. */
    if (ProgramPath(folder, sizeof folder, kCardFolder))
        CreateDirectoryA(folder, NULL);
    static uint8_t card[CARD_SIZE];
    FormatCard(card);
    WriteResult result = WriteWhole(path, card, CARD_SIZE, true);
    if (result == EXISTS) {
        Say(dialog, MB_ICONINFORMATION, "There is already a card named %s. Nothing was replaced.", name);
        return;
    }
    if (result != WRITTEN) {
        Say(dialog, MB_ICONEXCLAMATION, "The memory card %s could not be written.", path);
        return;
    }
    /* The new card shows on the right, and on the left too when it shows none. */
    BufSet(sides[RIGHT].name, name);
    if (!sides[LEFT].name[0])
        BufSet(sides[LEFT].name, name);
    FillCardLists(dialog);
    ShowSides(dialog);
}

/* ---- the dialog ---- */

static void OnCardChosen(HWND dialog, int side)
{
    if (!SelectedComboText(dialog, Id(IDC_CARD_LEFT, side), sides[side].name, sizeof sides[side].name))
        sides[side].name[0] = '\0';
    ShowSide(dialog, side);
    UpdateButtons(dialog);
}

static INT_PTR CALLBACK MemoryCardsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitMemoryCards(dialog);
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR *header = reinterpret_cast<const NMHDR *>(lParam);
        int from = static_cast<int>(header->idFrom);
        if ((from == IDC_SAVES_LEFT || from == IDC_SAVES_RIGHT) &&
            header->code == LVN_ITEMCHANGED)
            UpdateButtons(dialog);
        return FALSE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam), code = HIWORD(wParam);
        if ((id == IDC_CARD_LEFT || id == IDC_CARD_RIGHT)) {
            if (code == CBN_SELCHANGE)
                OnCardChosen(dialog, id - IDC_CARD_LEFT);
            return TRUE;
        }
        if (code != BN_CLICKED)
            return FALSE;
        int side = (id - IDC_CARD_LEFT) % 2;
        switch (id) {
        case IDCANCEL:
        case IDOK:
            EndDialog(dialog, 0);
            return TRUE;
        case IDC_COPY_TO_RIGHT:
            CopySave(dialog, LEFT);
            return TRUE;
        case IDC_COPY_TO_LEFT:
            CopySave(dialog, RIGHT);
            return TRUE;
        case IDC_DELETE_LEFT:
        case IDC_DELETE_RIGHT:
            DeleteSelected(dialog, side);
            return TRUE;
        case IDC_IMPORT_LEFT:
        case IDC_IMPORT_RIGHT:
            ImportFile(dialog, side);
            return TRUE;
        case IDC_EXPORT_LEFT:
        case IDC_EXPORT_RIGHT:
            ExportSelected(dialog, side);
            return TRUE;
        case IDC_FORMAT_LEFT:
        case IDC_FORMAT_RIGHT:
            FormatSide(dialog, side);
            return TRUE;
        case IDC_NEW_CARD:
            NewCard(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    }
    case WM_DESTROY:
        for (int side = LEFT; side <= RIGHT; side++) {
            HWND list = GetDlgItem(dialog, Id(IDC_SAVES_LEFT, side));
            HIMAGELIST icons = reinterpret_cast<HIMAGELIST>(
                SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, 0));
            if (icons)
                ImageList_Destroy(icons);
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void RunMemoryCards(HWND owner, const char *slot1, const char *slot2)
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES };
    InitCommonControlsEx(&controls);
    openingNames[LEFT] = slot1;
    openingNames[RIGHT] = slot2;
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_MEMORY_CARDS), owner, MemoryCardsProc, 0);
}
