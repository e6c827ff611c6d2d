/* The "Memory Cards" dialog: two cards side by side (those of MEMCARDS\,
 * and card files opened from anywhere, in any format of card_format.h),
 * their saves with icon, title, product code, region and blocks, and what
 * the user does with them (copy, delete, import, export, format, new card,
 * save a card of another format as a raw card in MEMCARDS\).
 * The card bytes are changed by card_image.cpp; this file reads and writes
 * the files. A card is only ever replaced whole: the new one is written
 * beside it and moved over it, so a failure leaves the old one as it was. */
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>

#include "card_format.h"
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
    char name[MAX_PATH];   /* as the list shows it: a bare name in MEMCARDS\ or an opened file's path; "" for none */
    int opened;            /* 0 for a card in MEMCARDS\, else 1 + its place in openedFiles */
    bool read;             /* the file could be read */
    const CardFileFormat *format;      /* the format of the card read; null for a file that is none */
    const CardFileFormat *saveFormat;  /* for a single save where a card was looked for */
    uint8_t data[CARD_SIZE];
    size_t size;           /* the card's length as ListCard takes it */
    CardListing listing;
};
static Side sides[2];
/* What the dialog opens with: the main dialog's slots. */
static const char *openingNames[2];

/* Card files chosen with Open...: both lists offer them until the dialog closes. */
struct OpenedFile {
    wchar_t path[MAX_PATH];
    char shown[MAX_PATH];  /* the path as the lists and messages show it */
};
static OpenedFile openedFiles[16];
static int openedCount;

static int Id(int leftId, int side)
{
    return leftId + side;
}

static bool CardPath(const char *name, char *dst, size_t dstSize)
{
    return ProgramPath(dst, dstSize, kCardFolder, name);
}

static bool Widen(const char *text, wchar_t *dst, int dstCount)
{
    return MultiByteToWideChar(CP_ACP, 0, text, -1, dst, dstCount) != 0;
}

/* A path for messages; characters that ANSI does not hold show as '?'. */
static void Narrow(const wchar_t *text, char *dst, int dstSize)
{
    if (!WideCharToMultiByte(CP_ACP, 0, text, -1, dst, dstSize, NULL, NULL))
        BufSet(dst, static_cast<size_t>(dstSize), "?");
}

/* The side's file, and its path as messages show it. */
static bool SidePath(const Side &s, wchar_t *path, char *shown, size_t shownSize)
{
    if (s.opened) {
        const OpenedFile &file = openedFiles[s.opened - 1];
        BufSet(path, MAX_PATH, file.path);
        return BufSet(shown, shownSize, file.shown);
    }
    return CardPath(s.name, shown, shownSize) && Widen(shown, path, MAX_PATH);
}

/* A card or save file's bytes as they are now: at most CARD_FILE_MAX of
   them, *size the file's length up to that. */
static uint8_t fileBytes[CARD_FILE_MAX];

static bool ReadBytes(const wchar_t *path, uint8_t *bytes, size_t *size)
{
    /* The emulator may have the card open: reading must not stop it. */
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER length;
    DWORD got = 0;
    bool ok = GetFileSizeEx(file, &length) != 0;
    if (ok) {
        DWORD want = static_cast<DWORD>(length.QuadPart > CARD_FILE_MAX ? CARD_FILE_MAX : length.QuadPart);
        ok = want == 0 || (ReadFile(file, bytes, want, &got, NULL) && got == want);
        *size = want;
    }
    CloseHandle(file);
    return ok;
}

/* Reads the card in the side's file, in whichever format it is: data
   receives CARD_SIZE bytes, *size the length ListCard takes. A file that
   is a single save, and no card, gives *saveFormat and no card. */
static bool ReadCard(const Side &s, uint8_t *data, size_t *size, const CardFileFormat **format,
                     const CardFileFormat **saveFormat)
{
    wchar_t path[MAX_PATH];
    char shown[MAX_PATH];
    size_t length = 0;
    *format = *saveFormat = NULL;
    *size = 0;
    memset(data, 0, CARD_SIZE);
    if (!SidePath(s, path, shown, sizeof shown) || !ReadBytes(path, fileBytes, &length))
        return false;
    int cardSure = 0, saveSure = 0;
    const CardFileFormat *card = RecogniseCardFile(CARD_FILE_CARD, fileBytes, length, &cardSure);
    const CardFileFormat *save = RecogniseCardFile(CARD_FILE_SAVE, fileBytes, length, &saveSure);
    if (cardSure == CARD_LAST_RESORT && saveSure == CARD_BY_SIGNATURE) {
        *saveFormat = save;
        return true;
    }
    *format = card;
    return card->read(fileBytes, length, L"", data, size) == NULL;
}

/* Where a write in place of path goes: a symbolic link's target, so that
   the link stays and the card is changed where it lies. */
static void WriteTarget(const wchar_t *path, wchar_t *target)
{
    typedef DWORD(WINAPI * FinalPathFn)(HANDLE, LPWSTR, DWORD, DWORD);
    BufSet(target, MAX_PATH, path);
    /* Not in Windows XP: there a card stays where it is named. */
    FinalPathFn finalPath = reinterpret_cast<FinalPathFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleW")));
    if (!finalPath)
        return;
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    wchar_t final[MAX_PATH + 8];
    DWORD length = finalPath(file, final, dimof(final), 0 /* FILE_NAME_NORMALIZED, VOLUME_NAME_DOS */);
    CloseHandle(file);
    /* "\\?\C:\..." or "\\?\UNC\server\..." is the form it comes in; a
       path too long for the writer keeps the name given. */
    if (length == 0 || length >= dimof(final))
        return;
    if (wcsncmp(final, L"\\\\?\\UNC\\", 8) == 0) {
        /* "\\server\...": one backslash before the "\server" that follows UNC. */
        if (wcslen(final + 7) + 1 < MAX_PATH) {
            target[0] = L'\\';
            BufSet(target + 1, MAX_PATH - 1, final + 7);
        }
        return;
    }
    const wchar_t *plain = wcsncmp(final, L"\\\\?\\", 4) == 0 ? final + 4 : final;
    if (wcslen(plain) < MAX_PATH)
        BufSet(target, MAX_PATH, plain);
}

enum WriteResult { WRITTEN, HELD_OPEN, NOT_WRITTEN, EXISTS };

/* Writes bytes as the whole new content of path: into a file beside it
   first, then moved over it (or, with mustBeNew, into its place only when
   no such file exists). A file another program has open is left alone. */
static WriteResult WriteWhole(const wchar_t *path, const uint8_t *data, size_t size, bool mustBeNew)
{
    if (!mustBeNew) {
        /* Windows refuses to replace a read-only file; the check makes it
           so on every file system, also where the owner could anyway. */
        DWORD attributes = GetFileAttributesW(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            return NOT_WRITTEN;
        HANDLE held = CreateFileW(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        if (held == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
                return HELD_OPEN;
        } else {
            CloseHandle(held);
        }
    } else if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
        return EXISTS;
    }
    if (WriteWholeFileW(path, data, static_cast<unsigned long>(size),
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
    char message[3 * MAX_PATH + 512];
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

/* A card that is read and can be written in place: a raw card. */
static bool Writable(const Side &s)
{
    return s.read && s.format && s.format->write;
}

static bool HasCard(const Side &s)
{
    return s.name[0] && s.read && s.format;
}

/* ---- showing the sides ---- */

enum { COLUMN_TITLE, COLUMN_PRODUCT, COLUMN_REGION, COLUMN_BLOCKS, COLUMNS };

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

/* The product, region and blocks columns as wide as what they show (or
   their headers), the title column the rest: titles are the longest texts
   a card holds. */
static void FitColumns(HWND list)
{
    RECT client;
    GetClientRect(list, &client);
    /* Room for the scroll bar that a full card shows. */
    int room = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
    for (int column = COLUMN_PRODUCT; column < COLUMNS; column++) {
        wchar_t header[16];
        LVCOLUMNW about;
        memset(&about, 0, sizeof about);
        about.mask = LVCF_TEXT;
        about.pszText = header;
        about.cchTextMax = dimof(header);
        header[0] = L'\0';
        SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&about));
        /* The header's text with the margins the list gives a cell. */
        int least = static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(header))) + 16;
        SendMessageW(list, LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
        int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
        if (width < least) {
            width = least;
            SendMessageW(list, LVM_SETCOLUMNWIDTH, column, width);
        }
        room -= width;
    }
    SendMessageW(list, LVM_SETCOLUMNWIDTH, COLUMN_TITLE, room > 40 ? room : 40);
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

/* The side's status line: what the file is, its damage, its free blocks. */
static void ShowStatus(HWND dialog, int side)
{
    const Side &s = sides[side];
    char status[320];
    if (!s.name[0])
        BufSet(status, "No card.");
    else if (!s.read)
        BufSet(status, "The card could not be read.");
    else if (s.saveFormat)
        BufFormat(status, sizeof status, "This file is %s, not a card: Import... puts its save on a card.",
                  s.saveFormat->what);
    else {
        status[0] = '\0';
        if (!s.format->write) {
            BufFormat(status, sizeof status, "Read-only, %s: Save as .mcd... makes a card of it.\r\n",
                      s.format->what);
        }
        if (s.listing.damage) {
            BufAppend(status, "Damaged: ");
            BufAppend(status, s.listing.problem);
            BufAppend(status, ".\r\n");
        }
        char free[32];
        BufFormat(free, sizeof free, "Free blocks: %d", s.listing.freeBlocks);
        BufAppend(status, free);
    }
    SetDlgItemTextA(dialog, Id(IDC_STATUS_LEFT, side), status);
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
    for (int i = 0; HasCard(s) && i < s.listing.saveCount; i++) {
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
        char code[CARD_NAME_SIZE], blocks[32];
        SaveProductCode(save.name, code, sizeof code);
        /* A save whose chain breaks: the blocks up to the break. */
        BufFormat(blocks, sizeof blocks, save.broken ? "%d, damaged" : "%d", save.blockCount);
        SetItemTextA(list, row, COLUMN_PRODUCT, code);
        SetItemTextA(list, row, COLUMN_REGION, SaveRegion(save.name));
        SetItemTextA(list, row, COLUMN_BLOCKS, blocks);
    }
    FitColumns(list);
    ShowStatus(dialog, side);
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
        const Side &s = sides[side];
        bool save = HasCard(s) && SelectedSave(dialog, side) != 0;
        EnableControl(dialog, Id(IDC_DELETE_LEFT, side), save && Writable(s));
        EnableControl(dialog, Id(IDC_EXPORT_LEFT, side), save);
        EnableControl(dialog, side == LEFT ? IDC_COPY_TO_RIGHT : IDC_COPY_TO_LEFT,
                      save && Writable(sides[!side]));
        EnableControl(dialog, Id(IDC_IMPORT_LEFT, side), Writable(s));
        /* Only a card is formatted: never a file read as another thing. A
           file that could not be read at all says so when it is written. */
        EnableControl(dialog, Id(IDC_FORMAT_LEFT, side), s.name[0] && (!s.read || Writable(s)));
        /* A card in another format, or lying elsewhere, into MEMCARDS\. */
        EnableControl(dialog, Id(IDC_SAVE_AS_LEFT, side), HasCard(s) && (s.opened || !Writable(s)));
    }
    char same[2 * MAX_PATH + 64] = "";
    if (sides[LEFT].name[0] && _stricmp(sides[LEFT].name, sides[RIGHT].name) == 0)
        BufFormat(same, sizeof same, "Both sides show the same card, %s.", sides[LEFT].name);
    SetDlgItemTextA(dialog, IDC_SAME_CARD, same);
}

/* Reads the side's card afresh and shows it. */
static void ShowSide(HWND dialog, int side)
{
    Side &s = sides[side];
    s.read = s.name[0] && ReadCard(s, s.data, &s.size, &s.format, &s.saveFormat);
    if (HasCard(s))
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

/* Lists MEMCARDS\*.mcd and the opened files in both card lists (an entry's
   data: 0, or 1 + its place in openedFiles) and selects each side's card. */
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
    for (int i = 0; i < openedCount; i++)
        for (int side = LEFT; side <= RIGHT; side++) {
            LRESULT index = SendDlgItemMessageA(dialog, Id(IDC_CARD_LEFT, side), CB_ADDSTRING, 0,
                                                reinterpret_cast<LPARAM>(openedFiles[i].shown));
            if (index >= 0)
                SendDlgItemMessageA(dialog, Id(IDC_CARD_LEFT, side), CB_SETITEMDATA, index, i + 1);
        }
    for (int side = LEFT; side <= RIGHT; side++) {
        int list = Id(IDC_CARD_LEFT, side);
        int count = static_cast<int>(SendDlgItemMessageA(dialog, list, CB_GETCOUNT, 0, 0));
        int index = -1;
        for (int i = 0; sides[side].name[0] && i < count && index < 0; i++) {
            char text[MAX_PATH];
            LRESULT length = SendDlgItemMessageA(dialog, list, CB_GETLBTEXTLEN, i, 0);
            if (length < 0 || length >= static_cast<LRESULT>(sizeof text))
                continue;
            SendDlgItemMessageA(dialog, list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            if (SendDlgItemMessageA(dialog, list, CB_GETITEMDATA, i, 0) == sides[side].opened &&
                _stricmp(text, sides[side].name) == 0)
                index = i;
        }
        if (index < 0)
            sides[side].name[0] = '\0';
        SendDlgItemMessageA(dialog, list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        EnableControl(dialog, list, count > 0);
    }
}

static void InitMemoryCards(HWND dialog)
{
    openedCount = 0;
    for (int side = LEFT; side <= RIGHT; side++) {
        HWND list = GetDlgItem(dialog, Id(IDC_SAVES_LEFT, side));
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        AddColumn(list, COLUMN_TITLE, "Title", 0);
        AddColumn(list, COLUMN_PRODUCT, "Product", 0);
        AddColumn(list, COLUMN_REGION, "Region", 0);
        AddColumn(list, COLUMN_BLOCKS, "Blocks", 0);
        HIMAGELIST icons = ImageList_Create(16, 16, ILC_COLOR32, CARD_SAVE_BLOCKS, 0);
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(icons));
        BufSet(sides[side].name, openingNames[side] ? openingNames[side] : "");
        sides[side].opened = 0;
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
    const CardFileFormat *format, *saveFormat;
    const Side &s = sides[side];
    if (ReadCard(s, now, &size, &format, &saveFormat) && format == s.format &&
        saveFormat == s.saveFormat && size == s.size && memcmp(now, s.data, CARD_SIZE) == 0)
        return true;
    Say(dialog, MB_ICONINFORMATION,
        "The card %s has changed since it was shown. It is shown again as it is now; nothing was "
        "written.", s.name);
    ShowSides(dialog);
    return false;
}

/* Writes the card in place of the side's file (at a link's target) and
   shows both sides afresh. */
static bool WriteCard(HWND dialog, int side, const uint8_t *card)
{
    wchar_t path[MAX_PATH];
    char shown[MAX_PATH];
    WriteResult result = NOT_WRITTEN;
    /* A file that could not be read is formatted as the raw card it is to be. */
    const CardFileFormat *format = sides[side].read ? sides[side].format : &kRawCard;
    if (SidePath(sides[side], path, shown, sizeof shown) && format && format->write) {
        size_t size = format->write(card, CARD_SIZE, fileBytes);
        wchar_t target[MAX_PATH];
        WriteTarget(path, target);
        result = WriteWhole(target, fileBytes, size, false);
    }
    if (result == HELD_OPEN)
        Say(dialog, MB_ICONEXCLAMATION,
            "The memory card %s is in use by another program. Nothing was written; close that "
            "program and try again.", shown);
    else if (result != WRITTEN)
        Say(dialog, MB_ICONEXCLAMATION,
            "The memory card %s could not be written. It is as it was.", shown);
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

/* A save whose directory entry has no file name can be shown, but no card
   takes it back: it is not written anywhere. */
static bool RefuseNameless(HWND dialog, const CardSave *save, const char *what)
{
    if (save->name[0])
        return false;
    Say(dialog, MB_ICONINFORMATION,
        "%s: the save in block %d has no file name, and a save without one can never be put on a "
        "card again.", what, save->blocks[0]);
    return true;
}

/* Adds a save held as .mcs bytes to the side's card, or says why not. */
static void AddSave(HWND dialog, int side, const uint8_t *mcs, size_t mcsSize, const char *what)
{
    Side &s = sides[side];
    if (!Writable(s) || RefuseDamaged(dialog, side, what) || !StillAsShown(dialog, side))
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

static uint8_t mcsBuffer[CARD_MCS_MAX];

static void CopySave(HWND dialog, int from)
{
    const CardSave *save = SaveAt(from, SelectedSave(dialog, from));
    size_t size = 0;
    /* The save as it is on the disk now, not as it was when shown. */
    if (!save || RefuseNameless(dialog, save, "Not copied") || !StillAsShown(dialog, from) ||
        ExportSave(sides[from].data, sides[from].size, save->blocks[0], mcsBuffer, &size) != CARD_OK)
        return;
    AddSave(dialog, !from, mcsBuffer, size, "Not copied");
}

static void DeleteSelected(HWND dialog, int side)
{
    const CardSave *save = SaveAt(side, SelectedSave(dialog, side));
    if (!save || !Writable(sides[side]) || RefuseDamaged(dialog, side, "Not deleted"))
        return;
    char question[2 * MAX_PATH + 128];
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
    if (s.read && !Writable(s))
        return;
    static char question[2 * MAX_PATH + CARD_SAVE_BLOCKS * (CARD_NAME_SIZE + 4) + 256];
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

enum FileChoice { CHOOSE_EXPORT, CHOOSE_IMPORT, CHOOSE_CARD };

static bool ChooseFile(HWND dialog, FileChoice kind, wchar_t *path, size_t pathCount)
{
    OPENFILENAMEW choice;
    memset(&choice, 0, sizeof choice);
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = dialog;
    choice.lpstrFile = path;
    choice.nMaxFile = static_cast<DWORD>(pathCount);
    DWORD flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    switch (kind) {
    case CHOOSE_EXPORT:
        choice.lpstrFilter = L"Single saves (*.mcs)\0*.mcs\0All files (*.*)\0*.*\0";
        choice.lpstrDefExt = L"mcs";
        choice.lpstrTitle = L"Export save";
        choice.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        return GetSaveFileNameW(&choice) != 0;
    case CHOOSE_IMPORT:
        /* Raw saves are named after their save, often without an extension. */
        choice.lpstrFilter = L"Single saves (*.mcs)\0*.mcs\0PS3 saves (*.psv)\0*.psv\0"
                             L"Raw saves and all files (*.*)\0*.*\0";
        choice.lpstrTitle = L"Import save";
        break;
    case CHOOSE_CARD:
        choice.lpstrFilter = L"Memory cards (*.mcd, *.mcr, *.gme, *.vmp, ...)\0"
                             L"*.mcd;*.mcr;*.mc;*.gme;*.vmp;*.bin;*.mem;*.ddf;*.srm;*.psm;*.ps\0"
                             L"All files (*.*)\0*.*\0";
        choice.lpstrTitle = L"Open memory card";
        break;
    }
    choice.Flags = flags;
    return GetOpenFileNameW(&choice) != 0;
}

/* The file's name without its folder and extension. */
static void BareName(const wchar_t *path, wchar_t *dst, size_t dstCount)
{
    const wchar_t *name = path;
    for (const wchar_t *c = path; *c; c++)
        if (*c == L'\\' || *c == L'/' || *c == L':')
            name = c + 1;
    size_t length = wcslen(name);
    const wchar_t *dot = wcsrchr(name, L'.');
    if (dot && dot != name)
        length = static_cast<size_t>(dot - name);
    if (length >= dstCount)
        length = dstCount - 1;
    wmemcpy(dst, name, length);
    dst[length] = L'\0';
}

static void ImportFile(HWND dialog, int side)
{
    wchar_t path[MAX_PATH] = L"", name[MAX_PATH];
    char shown[MAX_PATH];
    if (!ChooseFile(dialog, CHOOSE_IMPORT, path, MAX_PATH))
        return;
    Narrow(path, shown, sizeof shown);
    size_t length = 0;
    if (!ReadBytes(path, fileBytes, &length)) {
        Say(dialog, MB_ICONEXCLAMATION, "The file %s could not be read.", shown);
        return;
    }
    int sure = 0, cardSure = 0;
    const CardFileFormat *format = RecogniseCardFile(CARD_FILE_SAVE, fileBytes, length, &sure);
    const CardFileFormat *card = RecogniseCardFile(CARD_FILE_CARD, fileBytes, length, &cardSure);
    BareName(path, name, dimof(name));
    size_t got = 0;
    const char *problem = format->read(fileBytes, length, name, mcsBuffer, &got);
    if (problem && sure == CARD_LAST_RESORT && cardSure > CARD_LAST_RESORT) {
        Say(dialog, MB_ICONINFORMATION, "Not imported: %s is %s, not a single save: Open... shows its saves.",
            shown, card->what);
        return;
    }
    if (problem && sure == CARD_LAST_RESORT) {
        Say(dialog, MB_ICONINFORMATION, "Not imported: %s is no save file (%s).", shown, problem);
        return;
    }
    if (problem) {
        Say(dialog, MB_ICONINFORMATION, "Not imported: %s is %s, but %s.", shown, format->what, problem);
        return;
    }
    AddSave(dialog, side, mcsBuffer, got, "Not imported");
}

static void ExportSelected(HWND dialog, int side)
{
    const CardSave *save = SaveAt(side, SelectedSave(dialog, side));
    if (!save || RefuseNameless(dialog, save, "Not exported"))
        return;
    /* The save as the card holds it now, as Copy takes it. */
    int first = save->blocks[0];
    size_t size = 0;
    if (!StillAsShown(dialog, side) ||
        ExportSave(sides[side].data, sides[side].size, first, mcsBuffer, &size) != CARD_OK)
        return;
    /* The save's file name, less what a Windows file name cannot hold. */
    wchar_t path[MAX_PATH];
    size_t n = 0;
    for (const char *c = save->name; *c && n + 1 < dimof(path); c++)
        path[n++] = strchr("\\/:*?\"<>|", *c) || static_cast<unsigned char>(*c) < 0x20 ||
                            static_cast<unsigned char>(*c) > 0x7E
                        ? L'_'
                        : static_cast<wchar_t>(*c);
    path[n] = L'\0';
    if (!ChooseFile(dialog, CHOOSE_EXPORT, path, MAX_PATH))
        return;
    size = kMcsSave.write(mcsBuffer, size, fileBytes);
    if (WriteWhole(path, fileBytes, size, false) != WRITTEN) {
        char shown[MAX_PATH];
        Narrow(path, shown, sizeof shown);
        Say(dialog, MB_ICONEXCLAMATION, "The save could not be written to %s.", shown);
    }
}

/* ---- Open... ---- */

static void OpenCardFile(HWND dialog, int side)
{
    wchar_t path[MAX_PATH] = L"";
    if (!ChooseFile(dialog, CHOOSE_CARD, path, MAX_PATH))
        return;
    int found = -1;
    for (int i = 0; i < openedCount && found < 0; i++)
        if (_wcsicmp(openedFiles[i].path, path) == 0)
            found = i;
    if (found < 0) {
        if (openedCount == static_cast<int>(dimof(openedFiles))) {
            Say(dialog, MB_ICONINFORMATION, "No more cards can be opened; close this dialog and open it again.");
            return;
        }
        found = openedCount++;
        BufSet(openedFiles[found].path, path);
        Narrow(path, openedFiles[found].shown, sizeof openedFiles[found].shown);
    }
    BufSet(sides[side].name, openedFiles[found].shown);
    sides[side].opened = found + 1;
    FillCardLists(dialog);
    ShowSides(dialog);
}

/* ---- New card, Save as .mcd ---- */

struct NameAsked {
    const char *caption;
    char typed[MAX_PATH];  /* what the field shows first, then what the user typed */
};

static INT_PTR CALLBACK NewCardProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    static NameAsked *asked;
    if (message == WM_INITDIALOG) {
        asked = reinterpret_cast<NameAsked *>(lParam);
        SetWindowTextA(dialog, asked->caption);
        SendDlgItemMessageA(dialog, IDC_NEW_CARD_NAME, EM_LIMITTEXT, 100, 0);
        SetDlgItemTextA(dialog, IDC_NEW_CARD_NAME, asked->typed);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    if (LOWORD(wParam) == IDOK) {
        ControlText(dialog, IDC_NEW_CARD_NAME, asked->typed, sizeof asked->typed);
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

/* Asks for the name of a new card in MEMCARDS\ until it is one or the user
   cancels; *name the bare file name, path its place. */
static bool AskCardName(HWND dialog, const char *caption, const char *suggested, char *name,
                        size_t nameSize, wchar_t *path)
{
    static NameAsked asked;
    asked.caption = caption;
    BufSet(asked.typed, suggested);
    char ansiPath[MAX_PATH];
    for (;;) {
        if (DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_NEW_CARD), dialog, NewCardProc,
                            reinterpret_cast<LPARAM>(&asked)) != IDOK)
            return false;
        if (NewCardFileName(asked.typed, name, nameSize) && CardPath(name, ansiPath, sizeof ansiPath) &&
            Widen(ansiPath, path, MAX_PATH))
            return true;
        Say(dialog, MB_ICONINFORMATION,
            "A card's name may not be empty, nor hold any of the characters \\ / : * ? \" < > |.");
    }
}

/* Writes the card as a new file in MEMCARDS\, never over one. */
static bool MakeCard(HWND dialog, const char *name, const wchar_t *path, const uint8_t *card)
{
    char folder[MAX_PATH];
    /* The release ships the folder; a user may have removed it. */
    if (ProgramPath(folder, sizeof folder, kCardFolder))
        CreateDirectoryA(folder, NULL);
    size_t size = kRawCard.write(card, CARD_SIZE, fileBytes);
    WriteResult result = WriteWhole(path, fileBytes, size, true);
    if (result == EXISTS) {
        Say(dialog, MB_ICONINFORMATION, "There is already a card named %s. Nothing was replaced.", name);
        return false;
    }
    if (result != WRITTEN) {
        char shown[MAX_PATH];
        Narrow(path, shown, sizeof shown);
        Say(dialog, MB_ICONEXCLAMATION, "The memory card %s could not be written.", shown);
        return false;
    }
    return true;
}

static void NewCard(HWND dialog)
{
    char name[MAX_PATH];
    wchar_t path[MAX_PATH];
    if (!AskCardName(dialog, "New card", "", name, sizeof name, path))
        return;
    static uint8_t card[CARD_SIZE];
    FormatCard(card);
    if (!MakeCard(dialog, name, path, card))
        return;
    /* The new card shows on the right, and on the left too when it shows none. */
    BufSet(sides[RIGHT].name, name);
    sides[RIGHT].opened = 0;
    if (!sides[LEFT].name[0])
        BufSet(sides[LEFT].name, name);
    FillCardLists(dialog);
    ShowSides(dialog);
}

/* The side's card, byte for byte, as a new raw card in MEMCARDS\; the side
   shows it then. */
static void SaveAsCard(HWND dialog, int side)
{
    Side &s = sides[side];
    if (!HasCard(s) || !StillAsShown(dialog, side))
        return;
    wchar_t path[MAX_PATH], bare[MAX_PATH];
    char shown[MAX_PATH], suggested[MAX_PATH], name[MAX_PATH];
    SidePath(s, path, shown, sizeof shown);
    BareName(path, bare, dimof(bare));
    Narrow(bare, suggested, sizeof suggested);
    if (!AskCardName(dialog, "Save as .mcd", suggested, name, sizeof name, path))
        return;
    static uint8_t card[CARD_SIZE];
    memcpy(card, s.data, CARD_SIZE);
    if (!MakeCard(dialog, name, path, card))
        return;
    BufSet(s.name, name);
    s.opened = 0;
    FillCardLists(dialog);
    ShowSides(dialog);
}

/* ---- the dialog ---- */

static void OnCardChosen(HWND dialog, int side)
{
    int list = Id(IDC_CARD_LEFT, side);
    if (!SelectedComboText(dialog, list, sides[side].name, sizeof sides[side].name))
        sides[side].name[0] = '\0';
    LRESULT index = SendDlgItemMessageA(dialog, list, CB_GETCURSEL, 0, 0);
    LRESULT opened = index >= 0 ? SendDlgItemMessageA(dialog, list, CB_GETITEMDATA, index, 0) : 0;
    sides[side].opened = opened > 0 && opened <= openedCount ? static_cast<int>(opened) : 0;
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
        /* Each side's controls: the right side's id is the left side's + 1. */
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
        case IDC_OPEN_LEFT:
        case IDC_OPEN_RIGHT:
            OpenCardFile(dialog, side);
            return TRUE;
        case IDC_SAVE_AS_LEFT:
        case IDC_SAVE_AS_RIGHT:
            SaveAsCard(dialog, side);
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
