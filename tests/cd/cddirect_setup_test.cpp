/* The drive-letter dialog of cddirect.dll, shown for real by CD_Configure
 * on a freshly loaded library, driven from a timer inside its modal loop:
 * what it lists and selects, and what OK, Cancel, Esc and Enter store
 * through the host's writeSetting. The drive types come from the test
 * prefix (E: CD-ROM, C: fixed) or from a replaced GetDriveTypeA. */
#include <string.h>

#include "cd_test_disc.h"
#include "cd/cddirect/resource.h"
#include "kova_test.h"

namespace {

/* ---- driving the dialog ---- */

enum Action {
    ClickOk,
    ClickCancel,
    KeyEscape,
    KeyEnter,
    KeyDownThenEnter,  /* the arrow key on the list, then Enter */
    PickLastThenOk,    /* select the last item, then OK */
};

struct DialogSeen {
    bool seen = false;
    std::string caption;
    HWND owner = NULL;
    std::vector<std::string> items;
    int selected = -2;
    bool listEnabled = false;
};

Action PendingAction;
DialogSeen *Seen;

BOOL CALLBACK FindDialog(HWND window, LPARAM found)
{
    char cls[32];
    if (GetClassNameA(window, cls, sizeof cls) && !strcmp(cls, "#32770") && IsWindowVisible(window)) {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void PostKey(HWND target, UINT vk)
{
    PostMessageA(target, WM_KEYDOWN, vk, 1);
    PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
}

void CALLBACK DriveDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog || !Seen || Seen->seen)
        return;
    KillTimer(NULL, timer);
    DialogSeen &s = *Seen;
    s.seen = true;
    char text[256];
    GetWindowTextA(dialog, text, sizeof text);
    s.caption = text;
    s.owner = GetWindow(dialog, GW_OWNER);
    HWND list = GetDlgItem(dialog, IDC_DRIVE_LETTER);
    LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        char item[64];
        if (SendMessageA(list, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof item)) {
            SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
            s.items.push_back(item);
        }
    }
    s.selected = static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0));
    s.listEnabled = IsWindowEnabled(list) != FALSE;

    /* Keys go where the user's would: to the window with the focus, through
       the dialog's own message loop. */
    HWND focus = GetFocus();
    switch (PendingAction) {
    case ClickOk:
        SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        break;
    case ClickCancel:
        SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        break;
    case KeyEscape:
        PostKey(focus ? focus : dialog, VK_ESCAPE);
        break;
    case KeyEnter:
        PostKey(focus ? focus : dialog, VK_RETURN);
        break;
    case KeyDownThenEnter:
        PostKey(list, VK_DOWN);
        PostKey(focus ? focus : dialog, VK_RETURN);
        break;
    case PickLastThenOk:
        SendMessageA(list, CB_SETCURSEL, count - 1, 0);
        SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        break;
    }
}

/* Runs CD_Configure with the timer armed; the dialog is answered by
   DriveDialog. */
int32_t Configure(PluginConfigureFn configure, HostServices *host, Action action, DialogSeen *seen)
{
    PendingAction = action;
    Seen = seen;
    UINT_PTR timer = SetTimer(NULL, 0, 30, DriveDialog);
    int32_t result = configure(host);
    KillTimer(NULL, timer);
    Seen = NULL;
    return result;
}

/* ---- a machine of the test's choosing ---- */

std::string CdRomLetters;  /* drives GetDriveTypeA calls CD-ROM */
std::vector<std::string> RootsAsked;

UINT WINAPI FakeGetDriveType(LPCSTR root)
{
    RootsAsked.push_back(root ? root : "(null)");
    if (!root || !root[0])
        return DRIVE_NO_ROOT_DIR;
    if (CdRomLetters.find(root[0]) != std::string::npos)
        return DRIVE_CDROM;
    if (root[0] == 'C')
        return DRIVE_FIXED;
    if (root[0] == 'A')
        return DRIVE_REMOVABLE;
    if (root[0] == 'N')
        return DRIVE_REMOTE;
    return DRIVE_NO_ROOT_DIR;
}

std::vector<std::string> AllRoots()
{
    std::vector<std::string> roots;
    for (char c = 'A'; c <= 'Z'; c++)
        roots.push_back(std::string(1, c) + ":");
    return roots;
}

} // namespace

TEST(CdDirectSetup, ListsTheCdRomDrivesAndStoresTheChoice)
{
    struct Row {
        const char *what;
        const char *cdroms;   /* null: the prefix's real drives */
        Action action;
        std::vector<std::string> items;
        int selected;
        bool enabled;
        std::vector<std::string> stored;
    };
    const Row rows[] = {
        { "real drives, OK", NULL, ClickOk, { "E:\\" }, 0, true, { "E" } },
        { "real drives, Enter", NULL, KeyEnter, { "E:\\" }, 0, true, { "E" } },
        { "real drives, Cancel", NULL, ClickCancel, { "E:\\" }, 0, true, {} },
        { "real drives, Esc", NULL, KeyEscape, { "E:\\" }, 0, true, {} },
        { "E and G, OK", "EG", ClickOk, { "E:\\", "G:\\" }, 0, true, { "E" } },
        { "E and G, arrow down and Enter", "GE", KeyDownThenEnter, { "E:\\", "G:\\" }, 0, true,
          { "G" } },
        { "E and G, Esc", "EG", KeyEscape, { "E:\\", "G:\\" }, 0, true, {} },
        { "no CD-ROM drive, OK", "", ClickOk, {}, -1, false, {} },
        { "no CD-ROM drive, Enter", "", KeyEnter, {}, -1, false, {} },
        { "every letter a CD-ROM drive, Z chosen", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", PickLastThenOk,
          { "A:\\", "B:\\", "C:\\", "D:\\", "E:\\", "F:\\", "G:\\", "H:\\", "I:\\", "J:\\",
            "K:\\", "L:\\", "M:\\", "N:\\", "O:\\", "P:\\", "Q:\\", "R:\\", "S:\\", "T:\\",
            "U:\\", "V:\\", "W:\\", "X:\\", "Y:\\", "Z:\\" },
          0, true, { "Z" } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        if (!row.cdroms) {
            /* The prefix has a fixed drive and a CD-ROM drive. */
            ASSERT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("C:"));
            ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), GetDriveTypeA("E:"));
        }
        Library lib(ShippedPath("cddirect.dll"));
        ASSERT_TRUE(lib.loaded());
        PluginConfigureFn configure = lib.Get<PluginConfigureFn>("CD_Configure");
        ASSERT_TRUE(configure);
        CdRomLetters = row.cdroms ? row.cdroms : "";
        RootsAsked.clear();
        ImportHook hook(row.cdroms ? lib.handle() : NULL, "kernel32.dll", "GetDriveTypeA",
                        reinterpret_cast<void *>(FakeGetDriveType));
        if (row.cdroms) {
            ASSERT_TRUE(hook.installed());
        }

        TestWindow owner;
        RecordingHost host;
        host.record.mainWindow = owner.handle();
        DialogSeen seen;
        EXPECT_EQ(0, Configure(configure, &host.record, row.action, &seen));

        ASSERT_TRUE(seen.seen) << "no dialog";
        EXPECT_EQ("IOControl Setup", seen.caption);
        EXPECT_EQ(owner.handle(), seen.owner);
        EXPECT_EQ(row.items, seen.items);
        EXPECT_EQ(row.selected, seen.selected);
        EXPECT_EQ(row.enabled, seen.listEnabled);
        std::vector<SettingCall> want;
        for (const std::string &letter : row.stored)
            want.push_back({ "CDIOCTRL", "DriveLetter", letter });
        EXPECT_EQ(want, host.writes());
        EXPECT_TRUE(host.reads().empty()) << "the dialog does not read the stored letter";
        if (row.cdroms) {
            EXPECT_EQ(AllRoots(), RootsAsked) << "A: to Z:, two characters each, in order";
        }
    }
}

TEST(CdDirectSetup, OpensOnTheFirstDriveWhateverIsStored)
{
    Library lib(ShippedPath("cddirect.dll"));
    PluginConfigureFn configure = lib.Get<PluginConfigureFn>("CD_Configure");
    ASSERT_TRUE(configure);
    CdRomLetters = "EG";
    ImportHook hook(lib.handle(), "kernel32.dll", "GetDriveTypeA",
                    reinterpret_cast<void *>(FakeGetDriveType));
    ASSERT_TRUE(hook.installed());
    RecordingHost host;
    host.Answer("CDIOCTRL", "DriveLetter", "G");
    DialogSeen seen;
    EXPECT_EQ(0, Configure(configure, &host.record, ClickOk, &seen));
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(0, seen.selected);
    EXPECT_EQ((std::vector<SettingCall>{ { "CDIOCTRL", "DriveLetter", "E" } }), host.writes());
}

TEST(CdDirectSetup, TheListIsBuiltAfreshAtEveryOpening)
{
    /* One library, two openings: a drive added in between shows at once. */
    Library lib(ShippedPath("cddirect.dll"));
    PluginConfigureFn configure = lib.Get<PluginConfigureFn>("CD_Configure");
    ASSERT_TRUE(configure);
    ImportHook hook(lib.handle(), "kernel32.dll", "GetDriveTypeA",
                    reinterpret_cast<void *>(FakeGetDriveType));
    ASSERT_TRUE(hook.installed());
    RecordingHost host;
    struct Row {
        const char *cdroms;
        std::vector<std::string> items;
    };
    const Row rows[] = { { "F", { "F:\\" } }, { "DF", { "D:\\", "F:\\" } }, { "", {} } };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.cdroms);
        CdRomLetters = row.cdroms;
        DialogSeen seen;
        EXPECT_EQ(0, Configure(configure, &host.record, ClickCancel, &seen));
        EXPECT_EQ(row.items, seen.items);
        EXPECT_EQ(row.items.empty(), !seen.listEnabled);
    }
    EXPECT_TRUE(host.writes().empty());
}

/* ---- the template ---- */

namespace {

struct TemplateControl {
    uint16_t id;
    uint16_t classAtom; /* 0x80 button, 0x82 static, 0x85 combo box */
    std::string text;
    short x, y, cx, cy;
    DWORD style;
};

struct DialogTemplate {
    bool valid = false;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    uint16_t pointSize = 0;
    std::string font;
    std::vector<TemplateControl> controls;
};

std::string Narrow(const uint16_t *&p)
{
    std::string s;
    while (*p)
        s += static_cast<char>(*p++);
    p++;
    return s;
}

/* Reads a classic DLGTEMPLATE (what a DIALOG statement compiles to). */
DialogTemplate ParseTemplate(const void *data)
{
    DialogTemplate t;
    const uint16_t *w = static_cast<const uint16_t *>(data);
    if (w[0] == 1 && w[1] == 0xFFFF)
        return t; /* an extended template: not what the script holds */
    const DLGTEMPLATE *head = static_cast<const DLGTEMPLATE *>(data);
    t.style = head->style;
    t.x = head->x;
    t.y = head->y;
    t.cx = head->cx;
    t.cy = head->cy;
    const uint16_t *p = reinterpret_cast<const uint16_t *>(head + 1);
    if (*p == 0xFFFF) p += 2; else Narrow(p); /* menu */
    if (*p == 0xFFFF) p += 2; else Narrow(p); /* class */
    t.caption = Narrow(p);
    if (t.style & DS_SETFONT) {
        t.pointSize = *p++;
        t.font = Narrow(p);
    }
    for (int i = 0; i < head->cdit; i++) {
        p = reinterpret_cast<const uint16_t *>((reinterpret_cast<uintptr_t>(p) + 3) & ~3u);
        const DLGITEMTEMPLATE *item = reinterpret_cast<const DLGITEMTEMPLATE *>(p);
        TemplateControl c;
        c.style = item->style;
        c.x = item->x;
        c.y = item->y;
        c.cx = item->cx;
        c.cy = item->cy;
        c.id = item->id;
        p = reinterpret_cast<const uint16_t *>(reinterpret_cast<const uint8_t *>(item) + 18);
        c.classAtom = 0;
        if (*p == 0xFFFF) {
            c.classAtom = p[1];
            p += 2;
        } else {
            Narrow(p);
        }
        if (*p == 0xFFFF) {
            p += 2;
        } else {
            c.text = Narrow(p);
        }
        uint16_t extra = *p++;
        p = reinterpret_cast<const uint16_t *>(reinterpret_cast<const uint8_t *>(p) + extra);
        t.controls.push_back(c);
    }
    t.valid = true;
    return t;
}

} // namespace

TEST(CdDirectSetup, TemplateOneHundredAndOneInUsEnglish)
{
    Library lib(ShippedPath("cddirect.dll"));
    ASSERT_TRUE(lib.loaded());
    HRSRC found = FindResourceExA(lib.handle(), MAKEINTRESOURCEA(5) /* RT_DIALOG */,
                                  MAKEINTRESOURCEA(IDD_SETUP),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_TRUE(found != NULL) << "dialog 101, English (United States)";
    const void *data = LockResource(LoadResource(lib.handle(), found));
    ASSERT_TRUE(data != NULL);
    DialogTemplate t = ParseTemplate(data);
    ASSERT_TRUE(t.valid);

    EXPECT_EQ("IOControl Setup", t.caption);
    EXPECT_EQ(8, t.pointSize);
    EXPECT_EQ("MS Sans Serif", t.font);
    EXPECT_EQ(112, t.cx);
    EXPECT_EQ(74, t.cy);
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP), t.style & WS_POPUP);
    EXPECT_EQ(static_cast<DWORD>(WS_CAPTION), t.style & WS_CAPTION);
    EXPECT_EQ(static_cast<DWORD>(DS_MODALFRAME), t.style & DS_MODALFRAME);
    EXPECT_EQ(0u, t.style & WS_SYSMENU) << "no system menu";

    struct Row {
        uint16_t id;
        uint16_t classAtom;
        const char *text;
        short x, y, cx, cy;
        DWORD typeMask, type; /* (style & typeMask) == type */
        DWORD flags;          /* further style bits that must be set */
    };
    static const Row rows[] = {
        { IDOK, 0x80, "OK", 4, 56, 48, 12, 0x0F, BS_DEFPUSHBUTTON, WS_TABSTOP },
        { IDCANCEL, 0x80, "Cancel", 60, 56, 48, 12, 0x0F, BS_PUSHBUTTON, WS_TABSTOP },
        { 0xFFFF, 0x80, "Selection", 4, 4, 104, 44, 0x0F, BS_GROUPBOX, 0 },
        { 0xFFFF, 0x82, "Drive Letter", 16, 24, 38, 8, 0x1F, SS_LEFT, WS_GROUP },
        { IDC_DRIVE_LETTER, 0x85, "", 60, 22, 36, 46, 0x03, CBS_DROPDOWNLIST,
          WS_VSCROLL | WS_TABSTOP },
    };
    ASSERT_EQ(dimof(rows), t.controls.size());
    for (size_t i = 0; i < dimof(rows); i++) {
        const Row &want = rows[i];
        const TemplateControl &got = t.controls[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " " << want.text);
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(want.classAtom, got.classAtom);
        EXPECT_EQ(want.text, got.text);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
        EXPECT_EQ(want.type, got.style & want.typeMask);
        EXPECT_EQ(want.flags, got.style & want.flags);
        EXPECT_TRUE(got.style & WS_VISIBLE);
    }
}
