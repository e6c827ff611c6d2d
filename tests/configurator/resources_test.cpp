/* The dialog templates and pictures as they are compiled into the program:
   sizes, fonts, styles, control ids, positions and tab stops. */
#include <string.h>

#include "cfg_test.h"

namespace {

typedef TemplateItem Item;

/* A template of this module's resources (the test links the .rc). */
DialogTemplate LoadTemplate(int id)
{
    return ReadDialogTemplate(GetModuleHandleA(NULL), id);
}

enum Kind {
    GROUP_BOX, LABEL, RADIO, CHECK, AUTO_CHECK, PUSH, DEFAULT_PUSH, ICON_PUSH, LIST_SORTED,
    LIST_UNSORTED, EDIT_LINE, EDIT_READONLY_MULTI, PICTURE, LISTBOX
};

struct Row {
    int id;
    Kind kind;
    const char *text;
    short x, y, cx, cy;  /* cx < 0: not checked */
};

const char *KindClass(Kind kind)
{
    switch (kind) {
    case LABEL: case PICTURE: return "STATIC";
    case LIST_SORTED: case LIST_UNSORTED: return "COMBOBOX";
    case EDIT_LINE: case EDIT_READONLY_MULTI: return "EDIT";
    case LISTBOX: return "LISTBOX";
    default: return "BUTTON";
    }
}

/* Checks the kind's style bits and whether it is a tab stop. */
void CheckKind(const Item &item, Kind kind, bool tabStop)
{
    DWORD buttonType = item.style & BS_TYPEMASK;
    switch (kind) {
    case GROUP_BOX: EXPECT_EQ(static_cast<DWORD>(BS_GROUPBOX), buttonType); break;
    case RADIO: EXPECT_EQ(static_cast<DWORD>(BS_AUTORADIOBUTTON), buttonType); break;
    case CHECK: EXPECT_EQ(static_cast<DWORD>(BS_CHECKBOX), buttonType); break;
    case AUTO_CHECK: EXPECT_EQ(static_cast<DWORD>(BS_AUTOCHECKBOX), buttonType); break;
    case PUSH: EXPECT_EQ(static_cast<DWORD>(BS_PUSHBUTTON), buttonType); break;
    case DEFAULT_PUSH: EXPECT_EQ(static_cast<DWORD>(BS_DEFPUSHBUTTON), buttonType); break;
    case ICON_PUSH:
        EXPECT_EQ(static_cast<DWORD>(BS_PUSHBUTTON), buttonType);
        EXPECT_TRUE(item.style & BS_ICON);
        break;
    case LIST_SORTED:
    case LIST_UNSORTED:
        EXPECT_EQ(static_cast<DWORD>(CBS_DROPDOWNLIST), item.style & 3);
        EXPECT_EQ(kind == LIST_SORTED, (item.style & CBS_SORT) != 0);
        break;
    case EDIT_LINE:
        EXPECT_FALSE(item.style & ES_MULTILINE);
        EXPECT_TRUE(item.style & WS_BORDER);
        break;
    case EDIT_READONLY_MULTI:
        EXPECT_TRUE(item.style & ES_MULTILINE);
        EXPECT_TRUE(item.style & ES_READONLY);
        EXPECT_TRUE(item.style & WS_VSCROLL);
        EXPECT_TRUE(item.style & WS_BORDER);
        break;
    case PICTURE: EXPECT_EQ(static_cast<DWORD>(SS_BITMAP), item.style & SS_TYPEMASK); break;
    case LISTBOX:
        EXPECT_TRUE(item.style & LBS_SORT);
        EXPECT_TRUE(item.style & LBS_NOTIFY);
        EXPECT_TRUE(item.style & WS_VSCROLL);
        break;
    case LABEL: EXPECT_EQ(static_cast<DWORD>(SS_LEFT), item.style & SS_TYPEMASK); break;
    }
    EXPECT_EQ(tabStop, (item.style & WS_TABSTOP) != 0) << "tab stop";
    EXPECT_TRUE(item.style & WS_VISIBLE);
}

/* Finds the row's control: by id, or for id -1 by kind and text. */
const Item *FindItem(const DialogTemplate &t, const Row &row)
{
    for (const Item &item : t.items) {
        if (row.id != -1 && item.id == row.id)
            return &item;
        if (row.id == -1 && item.id == -1 && item.cls == KindClass(row.kind) && item.text == row.text &&
            item.x == row.x && item.y == row.y)
            return &item;
    }
    return NULL;
}

void CheckRows(const DialogTemplate &t, const Row *rows, size_t count, bool (*tabStop)(const Row &))
{
    for (size_t i = 0; i < count; i++) {
        const Row &row = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i << " id " << row.id << " \"" << row.text << "\"");
        const Item *item = FindItem(t, row);
        ASSERT_TRUE(item != NULL) << "control missing";
        EXPECT_EQ(KindClass(row.kind), item->cls);
        if (row.kind != PICTURE && row.kind != LIST_SORTED && row.kind != LIST_UNSORTED &&
            row.kind != EDIT_LINE && row.kind != EDIT_READONLY_MULTI && row.kind != LISTBOX) {
            EXPECT_EQ(row.text, item->text);
        }
        EXPECT_EQ(row.x, item->x);
        EXPECT_EQ(row.y, item->y);
        if (row.cx >= 0) {
            EXPECT_EQ(row.cx, item->cx);
            EXPECT_EQ(row.cy, item->cy);
        }
        CheckKind(*item, row.kind, tabStop(row));
    }
}

bool MainTabStop(const Row &row)
{
    /* All but labels, group boxes, the radio buttons and button 1104. */
    return row.kind != LABEL && row.kind != GROUP_BOX && row.kind != RADIO && row.kind != ICON_PUSH;
}

} // namespace

TEST(Resources, MainDialogTemplate)
{
    DialogTemplate t = LoadTemplate(IDD_MAIN);
    ASSERT_TRUE(t.found);
    EXPECT_EQ(320, t.cx);
    EXPECT_EQ(261, t.cy);
    EXPECT_EQ(kMainCaption, t.caption);
    EXPECT_EQ(8, t.pointSize);
    EXPECT_EQ("MS Sans Serif", t.font);
    EXPECT_TRUE(t.style & WS_POPUP);
    EXPECT_EQ(static_cast<DWORD>(WS_CAPTION), t.style & WS_CAPTION);
    EXPECT_TRUE(t.style & WS_VISIBLE);
    EXPECT_TRUE(t.style & DS_MODALFRAME);
    EXPECT_FALSE(t.style & WS_SYSMENU) << "only Exit may end it";

    static const Row rows[] = {
        { -1, GROUP_BOX, "HW Setting", 8, 5, 144, 108 },
        { -1, LABEL, "CPU Mode", 20, 17, 36, 8 },
        { 1000, RADIO, "Compiler", 28, 27, 43, 10 },
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
        { -1, LABEL, "Pad1", 168, 116, -1, -1 },
        { -1, LABEL, "Pad2", 168, 147, -1, -1 },
        { 1013, LIST_UNSORTED, "", 192, 113, 112, 47 },
        { 1014, PUSH, "About", 192, 129, 48, 12 },
        { 1015, PUSH, "Configure", 256, 129, 48, 12 },
        { 1016, LIST_UNSORTED, "", 192, 145, 112, 47 },
        { 1017, PUSH, "About", 192, 161, 48, 12 },
        { 1018, PUSH, "Configure", 256, 161, 48, 12 },
        { -1, GROUP_BOX, "Memory cards", 8, 117, 144, 44 },
        { -1, LABEL, "Card1", 16, 130, -1, -1 },
        { -1, LABEL, "Card2", 16, 144, -1, -1 },
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
        { 1104, ICON_PUSH, "", 130, 221, 16, 12 },
        { 1101, PUSH, "Save", 8, 244, 32, 12 },
        { 1100, PUSH, "Exit", 44, 244, 32, 12 },
        { 1102, PUSH, "About", 80, 244, 32, 12 },
        { 1103, DEFAULT_PUSH, "Run", 116, 244, 32, 12 },
    };
    EXPECT_EQ(dimof(rows), t.items.size()) << "no controls beyond the table";
    CheckRows(t, rows, dimof(rows), MainTabStop);

    const Item *compiler = FindItem(t, rows[2]);
    ASSERT_TRUE(compiler);
    EXPECT_TRUE(compiler->style & WS_GROUP) << "Compiler starts the radio group";
    const Item *interpreter = FindItem(t, rows[3]);
    ASSERT_TRUE(interpreter);
    EXPECT_FALSE(interpreter->style & WS_GROUP);
    const Item *edit = FindItem(t, rows[43]);
    ASSERT_TRUE(edit);
    EXPECT_TRUE(edit->style & ES_AUTOHSCROLL);
    const Item *chooser = FindItem(t, rows[44]);
    ASSERT_TRUE(chooser);
    EXPECT_TRUE((chooser->style & BS_CENTER) == BS_CENTER);
}

static bool AlwaysTab(const Row &row)
{
    return row.kind != LABEL && row.kind != GROUP_BOX && row.kind != PICTURE;
}

TEST(Resources, SplashAboutAndPluginAboutTemplates)
{
    struct DialogRow {
        int id;
        short cx, cy;
        const char *caption;
        std::vector<Row> rows;
        DWORD styleWanted;
        DWORD styleRefused;
    };
    const DialogRow dialogs[] = {
        { IDD_SPLASH, 261, 146, "",
          { { -1, PICTURE, "", 0, 0, -1, -1 } },
          DS_MODALFRAME | DS_CENTER | WS_POPUP, WS_CAPTION },
        { IDD_ABOUT, 152, 150, "",
          { { -1, PICTURE, "", 9, 8, 132, 67 },
            { IDC_ABOUT_TEXT, EDIT_READONLY_MULTI, "", 9, 80, 133, 44 },
            { IDOK, DEFAULT_PUSH, "OK", 52, 132, 48, 12 } },
          DS_MODALFRAME | WS_POPUP, WS_CAPTION },
        { IDD_PLUGIN_ABOUT, 180, 145, "About plugin",
          { { -1, GROUP_BOX, "", 6, 3, -1, -1 },
            { -1, LABEL, "Name:", 40, 16, -1, -1 },
            { -1, LABEL, "Author:", 40, 32, -1, -1 },
            { IDC_PLUGIN_ICON, ICON_PUSH, "", 14, 14, -1, -1 },
            { IDC_PLUGIN_DESCRIPTION, EDIT_READONLY_MULTI, "", 14, 48, -1, -1 },
            { IDOK, DEFAULT_PUSH, "OK", 66, 127, -1, -1 } },
          DS_MODALFRAME | WS_POPUP | WS_CAPTION, 0 },
    };
    for (const DialogRow &d : dialogs) {
        SCOPED_TRACE(testing::Message() << "dialog " << d.id);
        DialogTemplate t = LoadTemplate(d.id);
        ASSERT_TRUE(t.found);
        EXPECT_EQ(d.cx, t.cx);
        EXPECT_EQ(d.cy, t.cy);
        EXPECT_EQ(d.caption, t.caption);
        EXPECT_EQ(8, t.pointSize);
        EXPECT_EQ("MS Sans Serif", t.font);
        EXPECT_EQ(d.styleWanted, t.style & d.styleWanted);
        EXPECT_EQ(0u, t.style & d.styleRefused);
        if (d.id == IDD_PLUGIN_ABOUT) {
            /* The decorative icon button is no tab stop; the rest are. */
            for (const Row &row : d.rows) {
                const Item *item = FindItem(t, row);
                ASSERT_TRUE(item) << row.text;
                CheckKind(*item, row.kind, AlwaysTab(row) && row.kind != ICON_PUSH);
            }
        } else {
            CheckRows(t, d.rows.data(), d.rows.size(), AlwaysTab);
        }
    }

    /* The splash status line and the pictures' resource numbers. */
    DialogTemplate splash = LoadTemplate(IDD_SPLASH);
    ASSERT_EQ(2u, splash.items.size());
    EXPECT_EQ(IDB_SPLASH, splash.items[0].textResource);
    const Item &status = splash.items[1];
    EXPECT_EQ(IDC_SPLASH_STATUS, status.id);
    EXPECT_EQ("EDIT", status.cls);
    EXPECT_EQ(0, status.x);
    EXPECT_EQ(134, status.y);
    EXPECT_EQ(260, status.cx);
    EXPECT_EQ(12, status.cy);
    EXPECT_TRUE(status.style & ES_READONLY);
    EXPECT_TRUE(status.style & WS_DISABLED);
    EXPECT_TRUE(status.style & WS_BORDER);
    EXPECT_FALSE(status.style & ES_MULTILINE);
    DialogTemplate about = LoadTemplate(IDD_ABOUT);
    ASSERT_FALSE(about.items.empty());
    EXPECT_EQ(IDB_ABOUT, about.items[0].textResource);
    EXPECT_TRUE(about.items[0].style & SS_CENTERIMAGE);

    DialogTemplate plugin = LoadTemplate(IDD_PLUGIN_ABOUT);
    for (int id : { IDC_PLUGIN_NAME, IDC_PLUGIN_AUTHOR }) {
        const Item *item = NULL;
        for (const Item &i : plugin.items)
            if (i.id == id)
                item = &i;
        ASSERT_TRUE(item) << id;
        EXPECT_EQ("EDIT", item->cls);
        EXPECT_TRUE(item->style & ES_READONLY);
        EXPECT_FALSE(item->style & ES_MULTILINE);
    }
}

namespace {

struct BitmapHeader {
    bool found = false;
    LONG width = 0, height = 0;
    WORD bits = 0;
    DWORD colorsUsed = 0;
    size_t distinctIndexes = 0;
};

BitmapHeader ReadBitmap(int id)
{
    BitmapHeader b;
    HRSRC res = FindResourceA(NULL, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_BITMAP));
    if (!res)
        return b;
    const BITMAPINFOHEADER *h =
        static_cast<const BITMAPINFOHEADER *>(LockResource(LoadResource(NULL, res)));
    b.found = true;
    b.width = h->biWidth;
    b.height = h->biHeight;
    b.bits = h->biBitCount;
    b.colorsUsed = h->biClrUsed;
    if (h->biBitCount == 8 && h->biCompression == BI_RGB) {
        const BYTE *pixels = reinterpret_cast<const BYTE *>(h) + h->biSize +
                             4 * (h->biClrUsed ? h->biClrUsed : 256);
        bool seen[256] = {};
        size_t rowSize = (static_cast<size_t>(h->biWidth) + 3) & ~size_t(3);
        for (LONG y = 0; y < h->biHeight; y++)
            for (LONG x = 0; x < h->biWidth; x++)
                seen[pixels[y * rowSize + x]] = true;
        for (bool s : seen)
            b.distinctIndexes += s;
    }
    return b;
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
        BitmapHeader b = ReadBitmap(row.id);
        ASSERT_TRUE(b.found);
        EXPECT_EQ(row.width, b.width);
        EXPECT_EQ(row.height, b.height);
        EXPECT_EQ(8, b.bits) << "256 colours";
        /* A real picture, not a blank: it uses most of its palette. */
        EXPECT_GT(b.distinctIndexes, 150u);
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
