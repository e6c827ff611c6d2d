/* The dialog templates and pictures as they are compiled into the program:
   sizes, fonts, styles, control ids, positions and tab stops. */
#include "cfg_test.h"

#include <commctrl.h>

namespace {

enum Kind {
    GROUP_BOX, LABEL, RADIO_FIRST, RADIO, CHECK, AUTO_CHECK, PUSH, DEFAULT_PUSH, ICON_PUSH,
    CENTERED_ICON_PUSH, LIST_SORTED, LIST_UNSORTED, EDIT_LINE, EDIT_READONLY_LINE, EDIT_STATUS,
    EDIT_READONLY_MULTI, PICTURE, CENTERED_PICTURE, SAVE_LIST
};

/* Each kind's class and the style bits it must have (style) under mask;
   whether it is a tab stop comes on top. */
const struct Look {
    const char *cls;
    DWORD mask, style;
    bool tabStop;
} kLooks[] = {
    /* GROUP_BOX */ { "BUTTON", BS_TYPEMASK, BS_GROUPBOX, false },
    /* LABEL */ { "STATIC", SS_TYPEMASK, SS_LEFT, false },
    /* RADIO_FIRST, which starts the radio group, and RADIO */
    { "BUTTON", BS_TYPEMASK | WS_GROUP, BS_AUTORADIOBUTTON | WS_GROUP, false },
    { "BUTTON", BS_TYPEMASK | WS_GROUP, BS_AUTORADIOBUTTON, false },
    /* CHECK */ { "BUTTON", BS_TYPEMASK, BS_CHECKBOX, true },
    /* AUTO_CHECK */ { "BUTTON", BS_TYPEMASK, BS_AUTOCHECKBOX, true },
    /* PUSH */ { "BUTTON", BS_TYPEMASK, BS_PUSHBUTTON, true },
    /* DEFAULT_PUSH */ { "BUTTON", BS_TYPEMASK, BS_DEFPUSHBUTTON, true },
    /* ICON_PUSH (decorative, no tab stop) and CENTERED_ICON_PUSH */
    { "BUTTON", BS_TYPEMASK | BS_ICON, BS_PUSHBUTTON | BS_ICON, false },
    { "BUTTON", BS_TYPEMASK | BS_ICON | BS_CENTER, BS_PUSHBUTTON | BS_ICON | BS_CENTER, false },
    /* LIST_SORTED */ { "COMBOBOX", 3 | CBS_SORT, CBS_DROPDOWNLIST | CBS_SORT, true },
    /* LIST_UNSORTED */ { "COMBOBOX", 3 | CBS_SORT, CBS_DROPDOWNLIST, true },
    /* EDIT_LINE, EDIT_READONLY_LINE, EDIT_STATUS, EDIT_READONLY_MULTI */
    { "EDIT", ES_MULTILINE | WS_BORDER | ES_AUTOHSCROLL, WS_BORDER | ES_AUTOHSCROLL, true },
    { "EDIT", ES_MULTILINE | ES_READONLY, ES_READONLY, true },
    { "EDIT", ES_MULTILINE | ES_READONLY | WS_DISABLED | WS_BORDER,
      ES_READONLY | WS_DISABLED | WS_BORDER, false },
    { "EDIT", ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER,
      ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER, true },
    /* PICTURE, CENTERED_PICTURE */
    { "STATIC", SS_TYPEMASK | SS_CENTERIMAGE, SS_BITMAP, false },
    { "STATIC", SS_TYPEMASK | SS_CENTERIMAGE, SS_BITMAP | SS_CENTERIMAGE, false },
    /* SAVE_LIST: one save selected at a time, still shown while the
       focus is on a button */
    { "SYSLISTVIEW32", LVS_TYPEMASK | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER,
      LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER, true },
};

struct Row {
    int id;
    Kind kind;
    const char *text;
    short x, y, cx, cy;
};

/* Every control in order and no other, each visible and of its kind. */
void CheckRows(const DialogTemplate &t, const std::vector<Row> &rows)
{
    std::vector<ControlRow> controls;
    for (const Row &row : rows) {
        const Look &look = kLooks[row.kind];
        controls.push_back({ row.id, look.cls, row.text, row.x, row.y, row.cx, row.cy,
                             look.mask | WS_TABSTOP | WS_VISIBLE,
                             look.style | (look.tabStop ? WS_TABSTOP : 0) | WS_VISIBLE });
    }
    ExpectControls(t, controls);
}

} // namespace

TEST(Resources, DialogTemplates)
{
    struct DialogRow {
        int id;
        short cx, cy;
        const char *caption;
        std::vector<Row> rows;
        DWORD styleWanted;
        DWORD styleRefused;
        int picture;  /* the bitmap the first control shows, or 0 */
    };
    const DialogRow dialogs[] = {
        /* Without a system menu: only Exit may end it. */
        { IDD_MAIN, 320, 261, kMainCaption,
          {
            { -1, GROUP_BOX, "HW Setting", 8, 5, 144, 108 },
            { -1, LABEL, "CPU Mode", 20, 17, 36, 8 },
            { 1000, RADIO_FIRST, "Compiler", 28, 27, 43, 10 },
            { 1001, RADIO, "Interpreter", 28, 36, 48, 10 },
            { 1002, CHECK, "Emulate BIOS", 20, 49, 60, 10 },
            { 1003, LIST_SORTED, "", 28, 61, 112, 43 },
            { 1004, AUTO_CHECK, "Verbose", 20, 79, 42, 10 },
            { 1005, AUTO_CHECK, "Show PSX code", 20, 88, 68, 10 },
            { 1006, AUTO_CHECK, "Run debugger", 20, 97, 61, 10 },
            { -1, GROUP_BOX, "Graphics", 160, 5, 152, 44 },
            { 1007, LIST_UNSORTED, "", 180, 17, 112, 55 },
            { 1008, PUSH, "About", 180, 33, 48, 12 },
            { 1009, PUSH, "Configure", 244, 33, 48, 12 },
            { -1, GROUP_BOX, "Sound", 160, 53, 152, 44 },
            { 1010, LIST_UNSORTED, "", 180, 65, 112, 51 },
            { 1011, PUSH, "About", 180, 81, 48, 12 },
            { 1012, PUSH, "Configure", 244, 81, 48, 12 },
            { -1, GROUP_BOX, "Input devices", 160, 101, 152, 76 },
            { -1, LABEL, "Pad1", 168, 116, 20, 8 },
            { -1, LABEL, "Pad2", 168, 147, 20, 8 },
            { 1013, LIST_UNSORTED, "", 192, 113, 112, 47 },
            { 1014, PUSH, "About", 192, 129, 48, 12 },
            { 1015, PUSH, "Configure", 256, 129, 48, 12 },
            { 1016, LIST_UNSORTED, "", 192, 145, 112, 47 },
            { 1017, PUSH, "About", 192, 161, 48, 12 },
            { 1018, PUSH, "Configure", 256, 161, 48, 12 },
            { -1, GROUP_BOX, "Memory cards", 8, 117, 144, 44 },
            { IDC_MEMORY_CARDS, PUSH, "Cards...", 104, 114, 40, 11 },
            { -1, LABEL, "Card1", 16, 130, 20, 8 },
            { -1, LABEL, "Card2", 16, 144, 20, 8 },
            { 1020, LIST_SORTED, "", 40, 128, 104, 50 },
            { 1021, LIST_SORTED, "", 40, 142, 104, 48 },
            { -1, GROUP_BOX, "Serial port", 8, 165, 144, 43 },
            { 1029, AUTO_CHECK, "Enable serial mapper", 16, 176, 81, 10 },
            { 1024, LIST_SORTED, "", 24, 188, 120, 54 },
            { -1, GROUP_BOX, "CD-ROM", 160, 181, 152, 75 },
            { 1033, AUTO_CHECK, "Enable Sector Cache", 168, 192, 83, 10 },
            { -1, LABEL, "Country", 168, 208, 25, 8 },
            { 1030, LIST_UNSORTED, "", 196, 206, 108, 49 },
            { -1, LABEL, "Driver", 168, 224, 20, 8 },
            { 1034, LIST_UNSORTED, "", 196, 222, 108, 47 },
            { 1036, PUSH, "About", 196, 239, 48, 12 },
            { 1037, PUSH, "Configure", 256, 239, 48, 12 },
            { -1, GROUP_BOX, "Command Line", 8, 211, 144, 29 },
            { 1019, EDIT_LINE, "", 18, 221, 108, 12 },
            { 1104, CENTERED_ICON_PUSH, "", 130, 221, 16, 12 },
            { 1101, PUSH, "Save", 8, 244, 32, 12 },
            { 1100, PUSH, "Exit", 44, 244, 32, 12 },
            { 1102, PUSH, "About", 80, 244, 32, 12 },
            { 1103, DEFAULT_PUSH, "Run", 116, 244, 32, 12 },
          },
          WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME, WS_SYSMENU, 0 },
        { IDD_SPLASH, 261, 146, "",
          { { -1, PICTURE, "", 0, 0, 0, 0 },
            { IDC_SPLASH_STATUS, EDIT_STATUS, "", 0, 134, 260, 12 } },
          DS_MODALFRAME | DS_CENTER | WS_POPUP, WS_CAPTION, IDB_SPLASH },
        { IDD_ABOUT, 152, 150, "",
          { { -1, CENTERED_PICTURE, "", 9, 8, 132, 67 },
            { IDC_ABOUT_TEXT, EDIT_READONLY_MULTI, "", 9, 80, 133, 44 },
            { IDOK, DEFAULT_PUSH, "OK", 52, 132, 48, 12 } },
          DS_MODALFRAME | WS_POPUP, WS_CAPTION, IDB_ABOUT },
        { IDD_PLUGIN_ABOUT, 180, 145, "About plugin",
          { { -1, GROUP_BOX, "", 6, 3, 168, 118 },
            { IDC_PLUGIN_ICON, ICON_PUSH, "", 14, 14, 20, 20 },
            { -1, LABEL, "Name:", 40, 16, 24, 8 },
            { IDC_PLUGIN_NAME, EDIT_READONLY_LINE, "", 66, 14, 100, 12 },
            { -1, LABEL, "Author:", 40, 32, 24, 8 },
            { IDC_PLUGIN_AUTHOR, EDIT_READONLY_LINE, "", 66, 30, 100, 12 },
            { IDC_PLUGIN_DESCRIPTION, EDIT_READONLY_MULTI, "", 14, 48, 152, 66 },
            { IDOK, DEFAULT_PUSH, "OK", 66, 127, 48, 12 } },
          DS_MODALFRAME | WS_POPUP | WS_CAPTION, 0, 0 },
        { IDD_MEMORY_CARDS, 554, 243, "Memory Cards",
          { { IDC_CARD_LEFT, LIST_SORTED, "", 7, 7, 194, 120 },
            { IDC_OPEN_LEFT, PUSH, "Open...", 205, 6, 52, 14 },
            { IDC_SAVES_LEFT, SAVE_LIST, "", 7, 24, 250, 142 },
            { IDC_STATUS_LEFT, LABEL, "", 7, 169, 250, 24 },
            { IDC_DELETE_LEFT, PUSH, "Delete", 7, 196, 42, 14 },
            { IDC_IMPORT_LEFT, PUSH, "Import...", 55, 196, 42, 14 },
            { IDC_EXPORT_LEFT, PUSH, "Export...", 103, 196, 42, 14 },
            { IDC_FORMAT_LEFT, PUSH, "Format", 151, 196, 42, 14 },
            { IDC_SAVE_AS_LEFT, PUSH, "Save as .mcd...", 199, 196, 58, 14 },
            { IDC_COPY_TO_RIGHT, PUSH, "Copy >", 261, 70, 32, 14 },
            { IDC_COPY_TO_LEFT, PUSH, "< Copy", 261, 90, 32, 14 },
            { IDC_CARD_RIGHT, LIST_SORTED, "", 297, 7, 194, 120 },
            { IDC_OPEN_RIGHT, PUSH, "Open...", 495, 6, 52, 14 },
            { IDC_SAVES_RIGHT, SAVE_LIST, "", 297, 24, 250, 142 },
            { IDC_STATUS_RIGHT, LABEL, "", 297, 169, 250, 24 },
            { IDC_DELETE_RIGHT, PUSH, "Delete", 297, 196, 42, 14 },
            { IDC_IMPORT_RIGHT, PUSH, "Import...", 345, 196, 42, 14 },
            { IDC_EXPORT_RIGHT, PUSH, "Export...", 393, 196, 42, 14 },
            { IDC_FORMAT_RIGHT, PUSH, "Format", 441, 196, 42, 14 },
            { IDC_SAVE_AS_RIGHT, PUSH, "Save as .mcd...", 489, 196, 58, 14 },
            { IDC_NEW_CARD, PUSH, "New card...", 7, 222, 56, 14 },
            { IDC_SAME_CARD, LABEL, "", 70, 225, 400, 8 },
            { IDCANCEL, DEFAULT_PUSH, "Close", 499, 222, 48, 14 } },
          DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0 },
        { IDD_NEW_CARD, 200, 62, "New card",
          { { -1, LABEL, "Name of the new card in MEMCARDS\\ (.mcd is added):", 7, 7, 186, 8 },
            { IDC_NEW_CARD_NAME, EDIT_LINE, "", 7, 19, 186, 12 },
            { IDOK, DEFAULT_PUSH, "OK", 91, 41, 48, 14 },
            { IDCANCEL, PUSH, "Cancel", 145, 41, 48, 14 } },
          DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0 },
    };
    for (const DialogRow &d : dialogs) {
        SCOPED_TRACE(testing::Message() << "dialog " << d.id);
        /* This module's own resources: the test links the .rc. */
        DialogTemplate t = ReadDialogTemplate(GetModuleHandleA(NULL), d.id);
        ASSERT_TRUE(t.found);
        EXPECT_EQ(d.cx, t.cx);
        EXPECT_EQ(d.cy, t.cy);
        EXPECT_EQ(d.caption, t.caption);
        EXPECT_EQ(8, t.pointSize);
        EXPECT_EQ("MS Sans Serif", t.font);
        EXPECT_EQ(d.styleWanted, t.style & d.styleWanted);
        EXPECT_EQ(0u, t.style & d.styleRefused);
        CheckRows(t, d.rows);
        if (d.picture) {
            ASSERT_FALSE(t.items.empty());
            EXPECT_EQ(d.picture, t.items[0].textResource);
        }
    }
}

namespace {

/* How many palette entries an 8-bit uncompressed bitmap uses (0 for any
   other kind). */
size_t DistinctIndexes(const BITMAPINFOHEADER *h)
{
    if (h->biBitCount != 8 || h->biCompression != BI_RGB)
        return 0;
    const BYTE *pixels = reinterpret_cast<const BYTE *>(h) + h->biSize + 4 * (h->biClrUsed ? h->biClrUsed : 256);
    bool seen[256] = {};
    size_t rowSize = (static_cast<size_t>(h->biWidth) + 3) & ~size_t(3), distinct = 0;
    for (LONG y = 0; y < h->biHeight; y++)
        for (LONG x = 0; x < h->biWidth; x++)
            seen[pixels[y * rowSize + x]] = true;
    for (bool used : seen)
        distinct += used;
    return distinct;
}

#pragma pack(push, 1)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

} // namespace

TEST(Resources, PicturesHaveTheirSizesAndColourDepths)
{
    struct Row {
        int id;
        LONG width, height;
    };
    const Row bitmaps[] = { { IDB_SPLASH, 392, 217 }, { IDB_ABOUT, 200, 97 } };
    for (const Row &row : bitmaps) {
        SCOPED_TRACE(row.id);
        HRSRC res = FindResourceA(NULL, MAKEINTRESOURCEA(row.id), reinterpret_cast<LPCSTR>(RT_BITMAP));
        ASSERT_TRUE(res != NULL);
        const BITMAPINFOHEADER *h = static_cast<const BITMAPINFOHEADER *>(LockResource(LoadResource(NULL, res)));
        EXPECT_EQ(row.width, h->biWidth);
        EXPECT_EQ(row.height, h->biHeight);
        EXPECT_EQ(8, h->biBitCount) << "256 colours";
        /* A real picture, not a blank: it uses most of its palette. */
        EXPECT_GT(DistinctIndexes(h), 150u);
    }

    struct IconRow {
        int id;
        std::vector<int> sizes;
    };
    const IconRow icons[] = { { IDI_PROGRAM, { 32 } }, { IDI_CHOOSE_FILE, { 32, 16 } } };
    for (const IconRow &row : icons) {
        SCOPED_TRACE(row.id);
        HRSRC res = FindResourceA(NULL, MAKEINTRESOURCEA(row.id), reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
        ASSERT_TRUE(res != NULL);
        const WORD *dir = static_cast<const WORD *>(LockResource(LoadResource(NULL, res)));
        ASSERT_EQ(row.sizes.size(), dir[2]);
        const GroupIconEntry *entries = reinterpret_cast<const GroupIconEntry *>(dir + 3);
        for (size_t i = 0; i < row.sizes.size(); i++) {
            EXPECT_EQ(row.sizes[i], entries[i].width);
            EXPECT_EQ(row.sizes[i], entries[i].height);
            EXPECT_EQ(16, entries[i].colors) << "16 colours";
            EXPECT_EQ(4, entries[i].bitCount);
        }
        HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(row.id),
                                                   IMAGE_ICON, row.sizes.back(), row.sizes.back(), 0));
        EXPECT_TRUE(icon != NULL);
        DestroyIcon(icon);
    }
}
