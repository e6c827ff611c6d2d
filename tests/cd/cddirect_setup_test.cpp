/* The drive-letter dialog of cddirect.dll, shown for real by CD_Configure
 * on a freshly loaded library, driven from a timer inside its modal loop:
 * what it lists and selects, and what OK, Cancel, Esc and Enter store
 * through the host's writeSetting. The drive types come from the test
 * prefix (E: CD-ROM, C: fixed) or from a replaced GetDriveTypeA. */
#include "cd/cddirect/resource.h"
#include "kova_test.h"

namespace {

const char kCaption[] = "IOControl Setup";

/* ---- driving the dialog ---- */

struct DialogSeen {
    bool seen = false;
    HWND owner = NULL;
    Lines items;
    int selected = -2;
    bool listEnabled = false;
};

DialogDriver::Step Read(DialogSeen *s)
{
    return Check([s](HWND dialog) {
        s->seen = true;
        s->owner = GetWindow(dialog, GW_OWNER);
        s->items = ComboItems(dialog, IDC_DRIVE_LETTER);
        s->selected = static_cast<int>(SendDlgItemMessageA(dialog, IDC_DRIVE_LETTER, CB_GETCURSEL, 0, 0));
        s->listEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_DRIVE_LETTER)) != FALSE;
    });
}

typedef std::vector<DialogDriver::Step> Steps;
const Steps kOk = { Press(IDOK) }, kCancel = { Press(IDCANCEL) }, kEscape = { Key(VK_ESCAPE) },
            kEnter = { Key(VK_RETURN) }, kDownEnter = { Key(VK_DOWN, IDC_DRIVE_LETTER), Key(VK_RETURN) },
            kLastOk = { Choose(IDC_DRIVE_LETTER, -1), Press(IDOK) };

/* Runs CD_Configure while the steps read the dialog and act on it. */
int32_t Configure(PluginConfigureFn configure, HostServices *host, const Steps &action, DialogSeen *seen)
{
    Steps steps = { Read(seen) };
    steps.insert(steps.end(), action.begin(), action.end());
    DialogDriver driver(kCaption, steps);
    int32_t result = configure(host);
    EXPECT_TRUE(driver.finished()) << "dialog steps done: " << driver.stepsDone();
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
        Steps action;
        std::vector<std::string> items;
        int selected;
        bool enabled;
        std::vector<std::string> stored;
        bool record = true;   /* else configure without a record: no owner, stored nowhere */
        const char *before = NULL; /* the letter stored before */
    };
    const Row rows[] = {
        { "real drives, OK", NULL, kOk, { "E:\\" }, 0, true, { "E" } },
        { "real drives, Enter", NULL, kEnter, { "E:\\" }, 0, true, { "E" } },
        { "real drives, Cancel", NULL, kCancel, { "E:\\" }, 0, true, {} },
        { "real drives, Esc", NULL, kEscape, { "E:\\" }, 0, true, {} },
        { "E and G, OK", "EG", kOk, { "E:\\", "G:\\" }, 0, true, { "E" } },
        { "E and G, arrow down and Enter", "GE", kDownEnter, { "E:\\", "G:\\" }, 0, true,
          { "G" } },
        { "E and G, Esc", "EG", kEscape, { "E:\\", "G:\\" }, 0, true, {} },
        { "no CD-ROM drive, OK", "", kOk, {}, -1, false, {} },
        { "no CD-ROM drive, Enter", "", kEnter, {}, -1, false, {} },
        { "every letter a CD-ROM drive, Z chosen", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", kLastOk,
          { "A:\\", "B:\\", "C:\\", "D:\\", "E:\\", "F:\\", "G:\\", "H:\\", "I:\\", "J:\\",
            "K:\\", "L:\\", "M:\\", "N:\\", "O:\\", "P:\\", "Q:\\", "R:\\", "S:\\", "T:\\",
            "U:\\", "V:\\", "W:\\", "X:\\", "Y:\\", "Z:\\" },
          0, true, { "Z" } },
        { "G stored: the first drive is selected all the same", "EG", kOk, { "E:\\", "G:\\" }, 0,
          true, { "E" }, true, "G" },
        { "no record, OK", NULL, kOk, { "E:\\" }, 0, true, {}, false },
        { "no record, Cancel", NULL, kCancel, { "E:\\" }, 0, true, {}, false },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        if (!row.cdroms) {
            /* The prefix has a fixed drive and a CD-ROM drive. */
            ASSERT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("C:"));
            ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), GetDriveTypeA("E:"));
        }
        CdExports cd(ShippedPath("cddirect.dll"));
        ASSERT_TRUE(cd.CD_Configure);
        CdRomLetters = row.cdroms ? row.cdroms : "";
        RootsAsked.clear();
        ImportHook hook(row.cdroms ? cd.lib.handle() : NULL, "kernel32.dll", "GetDriveTypeA",
                        reinterpret_cast<void *>(FakeGetDriveType));
        if (row.cdroms) {
            ASSERT_TRUE(hook.installed());
        }

        TestWindow owner;
        RecordingHost host;
        host.record.mainWindow = owner.handle();
        if (row.before) {
            host.Answer("CDIOCTRL", "DriveLetter", row.before);
        }
        DialogSeen seen;
        HostServices *record = row.record ? &host.record : NULL;
        EXPECT_EQ(0, Configure(cd.CD_Configure, record, row.action, &seen));

        ASSERT_TRUE(seen.seen) << "no dialog";
        EXPECT_EQ(row.record ? owner.handle() : NULL, seen.owner);
        EXPECT_EQ(row.items, seen.items);
        EXPECT_EQ(row.selected, seen.selected);
        EXPECT_EQ(row.enabled, seen.listEnabled);
        HostCalls want;
        for (const std::string &letter : row.stored)
            want.push_back({ "write", "CDIOCTRL", "DriveLetter", letter });
        EXPECT_EQ(want, host.Calls("write"));
        EXPECT_TRUE(host.Calls("read").empty()) << "the dialog does not read the stored letter";
        if (row.cdroms) {
            EXPECT_EQ(AllRoots(), RootsAsked) << "A: to Z:, two characters each, in order";
        }
    }
}

TEST(CdDirectSetup, TheListIsBuiltAfreshAtEveryOpening)
{
    /* One library, two openings: a drive added in between shows at once. */
    CdExports cd(ShippedPath("cddirect.dll"));
    ASSERT_TRUE(cd.CD_Configure);
    ImportHook hook(cd.lib.handle(), "kernel32.dll", "GetDriveTypeA",
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
        EXPECT_EQ(0, Configure(cd.CD_Configure, &host.record, kCancel, &seen));
        EXPECT_EQ(row.items, seen.items);
        EXPECT_EQ(row.items.empty(), !seen.listEnabled);
    }
    EXPECT_TRUE(host.Calls("write").empty());
}

TEST(CdDirectSetup, TemplateOneHundredAndOneInUsEnglish)
{
    Library lib(ShippedPath("cddirect.dll"));
    ASSERT_TRUE(lib.loaded());
    DialogTemplate t = ReadDialogTemplate(lib.handle(), IDD_SETUP,
                                          MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_TRUE(t.found) << "dialog 101, English (United States)";
    EXPECT_EQ("IOControl Setup", t.caption);
    EXPECT_EQ(8, t.pointSize);
    EXPECT_EQ("MS Sans Serif", t.font);
    EXPECT_EQ(112, t.cx);
    EXPECT_EQ(74, t.cy);
    const DWORD frame = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
    EXPECT_EQ(frame, t.style & (frame | WS_SYSMENU)) << "a modal frame, no system menu";

    /* (style & type mask) is the control's type; the further bits set too */
    const DWORD visible = WS_VISIBLE;
    ExpectControls(t, {
        { IDOK, "BUTTON", "OK", 4, 56, 48, 12, 0x0F | WS_TABSTOP | visible,
          BS_DEFPUSHBUTTON | WS_TABSTOP | visible },
        { IDCANCEL, "BUTTON", "Cancel", 60, 56, 48, 12, 0x0F | WS_TABSTOP | visible,
          BS_PUSHBUTTON | WS_TABSTOP | visible },
        { -1, "BUTTON", "Selection", 4, 4, 104, 44, 0x0F | visible, BS_GROUPBOX | visible },
        { -1, "STATIC", "Drive Letter", 16, 24, 38, 8, 0x1F | WS_GROUP | visible, SS_LEFT | WS_GROUP | visible },
        { IDC_DRIVE_LETTER, "COMBOBOX", "", 60, 22, 36, 46, 0x03 | WS_VSCROLL | WS_TABSTOP | visible,
          CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | visible },
    });
}
