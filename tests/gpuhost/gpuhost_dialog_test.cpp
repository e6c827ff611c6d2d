/* gpuhost's selection dialog, run in-process through GPU_Configure and
   driven from a timer inside its own modal loop: what it lists and selects,
   what its buttons load and call, what the host's writeSetting receives. */
#include <functional>
#include <map>
#include <memory>
#include <string.h>

#include "gpuhost/resource.h"
#include "gpuhost_rig.h"

namespace {

const char kCaption[] = "GpuHostPro Configuration";

typedef std::vector<std::string> Lines;

/* What the list showed. */
struct ListState {
    Lines entries;
    int selected = -2;
    bool listEnabled = false;
    bool buttonsEnabled[3] = {};
    bool okEnabled = false, cancelEnabled = false;
};

ListState ReadList(HWND dialog)
{
    ListState s;
    HWND list = GetDlgItem(dialog, IDC_HOSTED_LIST);
    s.entries = ComboItems(dialog, IDC_HOSTED_LIST);
    s.selected = static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0));
    s.listEnabled = IsWindowEnabled(list) != 0;
    for (int i = 0; i < 3; i++)
        s.buttonsEnabled[i] = IsWindowEnabled(GetDlgItem(dialog, IDC_HOSTED_CONFIGURE + i)) != 0;
    s.okEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != 0;
    s.cancelEnabled = IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)) != 0;
    return s;
}

DialogDriver::Step Read(ListState *state)
{
    return Check([state](HWND dialog) { *state = ReadList(dialog); });
}

/* A configurator's view: gpuhost in PLUGIN\ of a program directory, loaded
   for one configure call, with a recording host record. */
struct Configurator {
    GpuProgramDir dir;
    PseLog log;
    TestWindow window;
    RecordingHost host;
    GpuHost gpu;
    LoadRecorder loads;
    explicit Configurator(const char *name)
        : dir(name), log(dir.dir), window("KOVA configurator"), gpu(dir.GpuHostPath()),
          loads(gpu.lib.handle())
    {
        host.record.mainWindow = window.handle();
        host.record.hostInstance = GetModuleHandleA(NULL);
    }
    /* Runs GPU_Configure with the steps; true when all ran and it returned 0. */
    bool Run(std::vector<DialogDriver::Step> steps)
    {
        DialogDriver driver(kCaption, std::move(steps));
        int32_t result = gpu.GPU_Configure(&host.record);
        EXPECT_EQ(0, result);
        EXPECT_TRUE(driver.finished()) << "dialog steps done: " << driver.stepsDone();
        return driver.finished() && result == 0;
    }
    /* The folder's *.dll files in the order the file system gives them. */
    Lines Enumerated() const { return SearchOrder(dir.psemu + "*.dll"); }
    std::vector<HostCall> Writes() const { return host.Calls("write"); }
};

const Lines kListed = { "attach", "PSEgetLibType", "PSEgetLibVersion", "PSEgetLibName", "detach" };

/* Libraries that do not load, as broken<n>.dll in PLUGIN\PSEMU\. */
void AddBrokenLibraries(const GpuProgramDir &dir)
{
    int n = 0;
    for (const BrokenLibrary &broken : BrokenLibraries(KOVA_EXPORT_NAMES(PSE_GPU_FUNCTIONS))) {
        std::string path = dir.psemu + "broken" + std::to_string(n++) + ".dll";
        EXPECT_TRUE(WriteFileBytes(path, broken.bytes.data(), broken.bytes.size())) << broken.what;
    }
}

} // namespace

TEST(GpuHostDialog, ListsTheGpuPluginsInFolderOrderAndSelectsTheFirst)
{
    Configurator c("gpuhost-dlg-list");
    const std::map<std::string, std::string> gpuPlugins = {
        { "pse_soft.dll", "Soft 2.3" },
        { "pse_hw.dll", "Broken Hw 1.2" },
        { "pse_test1.dll", "Test One 1.0" },
    };
    for (const auto &p : gpuPlugins)
        c.dir.AddHosted(p.first.substr(0, p.first.size() - 4).c_str());
    c.dir.AddHosted("pse_pad");                                     /* type 4 */
    ASSERT_TRUE(WriteFileText(c.dir.psemu + "readme.dll", "text\r\n")); /* no library */
    ASSERT_TRUE(CopyFileTo(ShippedPath("cdidle.dll"), c.dir.psemu + "cdidle.dll")); /* not PSEmu */
    c.dir.dir.MakeDir("PLUGIN\\PSEMU\\x.dll");                      /* a folder */
    AddBrokenLibraries(c.dir);
    ASSERT_TRUE(WriteFileText(c.dir.psemu + "notes.txt", "not *.dll\r\n"));

    Lines want;
    for (const std::string &name : c.Enumerated())
        if (gpuPlugins.count(name))
            want.push_back(gpuPlugins.at(name));

    ListState list;
    HWND owner = NULL;
    ASSERT_TRUE(c.Run({ Read(&list), Check([&](HWND d) { owner = GetWindow(d, GW_OWNER); }),
                        Press(IDCANCEL) }));
    EXPECT_EQ(want, list.entries);
    EXPECT_EQ(0, list.selected);
    EXPECT_TRUE(list.listEnabled);
    EXPECT_TRUE(list.buttonsEnabled[0] && list.buttonsEnabled[1] && list.buttonsEnabled[2]);
    EXPECT_EQ(c.window.handle(), owner);

    /* each candidate loaded and unloaded once; the type-4 one asked its
       type only; the folder never loaded */
    for (const auto &p : gpuPlugins)
        EXPECT_EQ(kListed, c.log.LinesOf(p.first.c_str())) << p.first;
    EXPECT_EQ(Lines({ "attach", "PSEgetLibType", "detach" }), c.log.LinesOf("pse_pad.dll"));
    Lines loaded;
    for (const std::string &name : c.Enumerated())
        loaded.push_back(c.dir.psemu + name);
    EXPECT_EQ(loaded, c.loads.paths());
    EXPECT_TRUE(c.host.calls.empty()) << "neither read nor written";
}

TEST(GpuHostDialog, TemplateAsTheUserSeesIt)
{
    Configurator c("gpuhost-dlg-template");
    c.dir.AddHosted("pse_soft");
    struct Control {
        int id;
        const char *cls;
        const char *text;
        int x, y, w, h;
        DWORD style;  /* bits that must be set */
    };
    static const Control controls[] = {
        { IDOK, "Button", "OK", 41, 76, 48, 12, BS_DEFPUSHBUTTON | WS_TABSTOP },
        { IDCANCEL, "Button", "Cancel", 97, 76, 48, 12, WS_TABSTOP },
        { IDC_HOSTED_CONFIGURE, "Button", "Configure", 13, 48, 48, 12, WS_TABSTOP },
        { IDC_HOSTED_TEST, "Button", "Test", 69, 48, 48, 12, WS_TABSTOP },
        { IDC_HOSTED_ABOUT, "Button", "About", 125, 48, 48, 12, WS_TABSTOP },
        /* the combo box's height is that of its closed field */
        { IDC_HOSTED_LIST, "ComboBox", "", 12, 21, 160, -1, CBS_DROPDOWNLIST | WS_TABSTOP },
    };
    bool checked = false;
    ASSERT_TRUE(c.Run({ Check([&](HWND d) {
                            checked = true;
                            LONG style = GetWindowLongA(d, GWL_STYLE);
                            EXPECT_TRUE(style & WS_CAPTION);
                            EXPECT_FALSE(style & WS_SYSMENU);
                            RECT client = { 0, 0, 188, 95 };
                            MapDialogRect(d, &client);
                            RECT got;
                            GetClientRect(d, &got);
                            EXPECT_EQ(client.right, got.right);
                            EXPECT_EQ(client.bottom, got.bottom);
                            for (const Control &ctl : controls) {
                                SCOPED_TRACE(ctl.text);
                                HWND w = GetDlgItem(d, ctl.id);
                                ASSERT_TRUE(w);
                                char cls[32], text[64];
                                GetClassNameA(w, cls, sizeof cls);
                                GetWindowTextA(w, text, sizeof text);
                                EXPECT_STREQ(ctl.cls, cls);
                                if (ctl.id != IDC_HOSTED_LIST) {
                                    EXPECT_STREQ(ctl.text, text);
                                }
                                EXPECT_EQ(ctl.style, GetWindowLongA(w, GWL_STYLE) & ctl.style);
                                EXPECT_TRUE(IsWindowVisible(w));
                                /* Windows places a control at its mapped
                                   origin with its mapped size. */
                                RECT want = { ctl.x, ctl.y, ctl.w, ctl.h < 0 ? 0 : ctl.h };
                                MapDialogRect(d, &want);
                                RECT r;
                                GetWindowRect(w, &r);
                                MapWindowPoints(NULL, d, reinterpret_cast<POINT *>(&r), 2);
                                EXPECT_EQ(want.left, r.left);
                                EXPECT_EQ(want.top, r.top);
                                EXPECT_EQ(want.right, r.right - r.left);
                                if (ctl.h >= 0) {
                                    EXPECT_EQ(want.bottom, r.bottom - r.top);
                                }
                            }
                            HWND combo = GetDlgItem(d, IDC_HOSTED_LIST);
                            EXPECT_FALSE(GetWindowLongA(combo, GWL_STYLE) & CBS_SORT);
                            /* the group box has no id of its own */
                            HWND group = FindWindowExA(d, NULL, "Button", "Graphic Processing Unit");
                            ASSERT_TRUE(group);
                            EXPECT_EQ(static_cast<LONG>(BS_GROUPBOX),
                                      GetWindowLongA(group, GWL_STYLE) & 0x0F);
                        }),
                        Press(IDCANCEL) }));
    EXPECT_TRUE(checked);
}

TEST(GpuHostDialog, OkWritesTheSelectedEntrysFileName)
{
    Configurator c("gpuhost-dlg-ok");
    c.dir.AddHosted("pse_soft");
    c.dir.AddHosted("pse_hw");
    c.dir.AddHosted("pse_test1");
    AddBrokenLibraries(c.dir);  /* not listed: the entries still name the right files */
    Lines files;
    for (const std::string &name : c.Enumerated())
        if (name.compare(0, 4, "pse_") == 0)
            files.push_back(name);
    ASSERT_EQ(3u, files.size());
    ASSERT_TRUE(c.Run({ Choose(IDC_HOSTED_LIST, 1), Press(IDOK) }));
    EXPECT_EQ(std::vector<HostCall>({ { "write", "GPUHOST", "PluginName", files[1] } }), c.host.calls);
}

TEST(GpuHostDialog, WithoutARecordTheDialogHasNoOwnerAndOkStoresNowhere)
{
    for (int button : { IDOK, IDCANCEL }) {
        SCOPED_TRACE(button);
        GpuProgramDir dir("gpuhost-dlg-norecord");
        dir.AddHosted("pse_soft");
        GpuHost gpu(dir.GpuHostPath());
        HWND owner = reinterpret_cast<HWND>(1);
        DialogDriver driver(kCaption, { Check([&](HWND d) { owner = GetWindow(d, GW_OWNER); }),
                                        Press(button) });
        EXPECT_EQ(0, gpu.GPU_Configure(NULL));
        EXPECT_TRUE(driver.finished());
        EXPECT_EQ(NULL, owner);
    }
}

TEST(GpuHostDialog, OpeningTwiceListsTheSameEntries)
{
    Configurator c("gpuhost-dlg-twice");
    c.dir.AddHosted("pse_soft");
    c.dir.AddHosted("pse_hw");
    c.dir.AddHosted("pse_test2");
    Lines files = c.Enumerated();
    ListState first, second;
    ASSERT_TRUE(c.Run({ Read(&first), Press(IDCANCEL) }));
    ASSERT_TRUE(c.Run({ Read(&second), Choose(IDC_HOSTED_LIST, 2), Press(IDOK) }));
    EXPECT_EQ(3u, first.entries.size());
    EXPECT_EQ(first.entries, second.entries);
    EXPECT_EQ(std::vector<HostCall>({ { "write", "GPUHOST", "PluginName", files[2] } }), c.host.calls);
}

TEST(GpuHostDialog, CancelAndEscapeAfterConfigureWriteNothing)
{
    struct Row {
        const char *what;
        DialogDriver::Step close;
    };
    const Row rows[] = { { "Cancel", Press(IDCANCEL) }, { "Escape", Key(VK_ESCAPE) } };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Configurator c("gpuhost-dlg-cancel");
        c.dir.AddHosted("pse_soft");
        SeenBox box;
        ASSERT_TRUE(c.Run({ Press(IDC_HOSTED_CONFIGURE), AnswerBox("Soft configure", &box),
                            Gone("Soft configure"), row.close }));
        EXPECT_TRUE(box.seen);
        EXPECT_EQ("Soft has nothing to configure", box.text);
        EXPECT_TRUE(c.Writes().empty());
        Lines want = kListed;
        for (const char *line : { "attach", "GPUconfigure", "detach" })
            want.push_back(line);
        EXPECT_EQ(want, c.log.LinesOf("pse_soft.dll"));
    }
}

TEST(GpuHostDialog, AboutLoadsTheSelectedPluginAnew)
{
    Configurator c("gpuhost-dlg-about");
    c.dir.AddHosted("pse_soft");
    c.dir.AddHosted("pse_hw");
    Lines files = c.Enumerated();
    int hw = files[0] == "pse_hw.dll" ? 0 : 1;
    SeenBox box, again;
    ASSERT_TRUE(c.Run({ Choose(IDC_HOSTED_LIST, hw), Press(IDC_HOSTED_ABOUT), AnswerBox("Broken Hw about", &box),
                        Gone("Broken Hw about"), Press(IDC_HOSTED_ABOUT),
                        AnswerBox("Broken Hw about", &again), Gone("Broken Hw about"),
                        Press(IDCANCEL) }));
    EXPECT_TRUE(box.seen && again.seen);
    Lines want = kListed;
    for (int i = 0; i < 2; i++)
        for (const char *line : { "attach", "GPUabout", "detach" })
            want.push_back(line);
    EXPECT_EQ(want, c.log.LinesOf("pse_hw.dll"));
    EXPECT_EQ(kListed, c.log.LinesOf("pse_soft.dll"));
    EXPECT_TRUE(c.Writes().empty());
}

TEST(GpuHostDialog, TestShowsWhatTheDriverReports)
{
    static const char kOk[] = "This driver reports that it should work correctly!";
    static const char kNo[] = "This driver can't run on your hardware!";
    static const char kOld[] = "This is an old style driver and does not support TEST function";
    struct Row {
        const char *built;
        const char *message;
        const char *testLine;  /* null: no GPUtest */
    };
    static const Row rows[] = {
        { "pse_soft", kOk, "GPUtest -> 0" },
        { "pse_hw", kNo, "GPUtest -> -1" },
        { "pse_test1", kOld, "GPUtest -> 1" },
        { "pse_test2", kOld, "GPUtest -> 2" },
        { "pse_no_GPUtest", kOld, NULL },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.built);
        Configurator c("gpuhost-dlg-test");
        c.dir.AddHosted(row.built);
        MessageBoxRecorder boxes(c.gpu.lib.handle());
        HWND dialog = NULL;
        ASSERT_TRUE(c.Run({ Check([&](HWND d) { dialog = d; }), Press(IDC_HOSTED_TEST),
                            [&](HWND) { return !boxes.calls().empty(); }, Press(IDCANCEL) }));
        ASSERT_EQ(1u, boxes.calls().size());
        EXPECT_EQ(row.message, boxes.calls()[0].text);
        EXPECT_EQ("Psemu", boxes.calls()[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION | MB_OK), boxes.calls()[0].type);
        EXPECT_EQ(dialog, boxes.calls()[0].owner);
        Lines want = kListed;
        want.push_back("attach");
        if (row.testLine)
            want.push_back(row.testLine);
        want.push_back("detach");
        EXPECT_EQ(want, c.log.LinesOf((std::string(row.built) + ".dll").c_str()));
    }
}

TEST(GpuHostDialog, TestMessageIsARealBoxOwnedByTheDialog)
{
    Configurator c("gpuhost-dlg-testbox");
    c.dir.AddHosted("pse_hw");
    SeenBox box;
    HWND dialog = NULL;
    ASSERT_TRUE(c.Run({ Check([&](HWND d) { dialog = d; }), Press(IDC_HOSTED_TEST),
                        AnswerBox("Psemu", &box), Gone("Psemu"), Press(IDCANCEL) }));
    EXPECT_TRUE(box.seen);
    EXPECT_EQ("This driver can't run on your hardware!", box.text);
    EXPECT_EQ(dialog, box.owner);
}

TEST(GpuHostDialog, NothingToListDisablesTheListAndItsButtons)
{
    enum Folder { NO_FOLDER, EMPTY, NOT_GPU };
    struct Row {
        const char *what;
        Folder folder;
    };
    static const Row rows[] = {
        { "no PSEMU folder", NO_FOLDER }, { "empty folder", EMPTY }, { "no GPU plugin", NOT_GPU },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Configurator c("gpuhost-dlg-empty");
        if (row.folder == NO_FOLDER) {
            ASSERT_TRUE(RemoveTree(c.dir.psemu));
        }
        if (row.folder == NOT_GPU) {
            c.dir.AddHosted("pse_pad");
            c.dir.AddHosted("pse_no_PSEgetLibType");
            ASSERT_TRUE(WriteFileText(c.dir.psemu + "text.dll", "text\r\n"));
        }
        ListState list;
        ASSERT_TRUE(c.Run({ Read(&list), Press(IDOK) }));  /* OK ends it, writing nothing */
        EXPECT_EQ(Lines(), list.entries);
        EXPECT_EQ(CB_ERR, list.selected);
        EXPECT_FALSE(list.listEnabled);
        EXPECT_FALSE(list.buttonsEnabled[0] || list.buttonsEnabled[1] || list.buttonsEnabled[2]);
        EXPECT_TRUE(list.okEnabled && list.cancelEnabled);
        EXPECT_TRUE(c.Writes().empty());
    }
}

TEST(GpuHostDialog, IncompletePluginsAreListedSafely)
{
    Configurator c("gpuhost-dlg-incomplete");
    const std::map<std::string, std::string> listed = {
        { "pse_noname.dll", "pse_noname.dll 3.7" },     /* PSEgetLibName gives null */
        { "pse_no_PSEgetLibVersion.dll", "Soft" },     /* no version to show */
        { "pse_no_GPUconfigure.dll", "Soft 2.3" },
        { "pse_no_GPUabout.dll", "Soft 2.3" },
    };
    for (const auto &p : listed)
        c.dir.AddHosted(p.first.substr(0, p.first.size() - 4).c_str());
    c.dir.AddHosted("pse_no_PSEgetLibType");  /* cannot tell its type: left out */
    Lines want, files;
    for (const std::string &name : c.Enumerated())
        if (listed.count(name)) {
            want.push_back(listed.at(name));
            files.push_back(name);
        }
    ASSERT_EQ(4u, files.size());
    auto at = [&](const char *name) {
        for (size_t i = 0; i < files.size(); i++)
            if (files[i] == name)
                return static_cast<int>(i);
        return -1;
    };
    ListState list;
    /* Configure without GPUconfigure and About without GPUabout do nothing
       but load and unload; then OK stores the nameless one. */
    ASSERT_TRUE(c.Run({ Read(&list), Choose(IDC_HOSTED_LIST, at("pse_no_GPUconfigure.dll")),
                        Press(IDC_HOSTED_CONFIGURE), Choose(IDC_HOSTED_LIST, at("pse_no_GPUabout.dll")),
                        Press(IDC_HOSTED_ABOUT), Choose(IDC_HOSTED_LIST, at("pse_noname.dll")), Press(IDOK) }));
    EXPECT_EQ(want, list.entries);
    EXPECT_EQ(Lines({ "attach", "detach" }), c.log.LinesOf("pse_no_PSEgetLibType.dll"));
    Lines loadedTwice = kListed;
    loadedTwice.push_back("attach");
    loadedTwice.push_back("detach");
    EXPECT_EQ(loadedTwice, c.log.LinesOf("pse_no_GPUconfigure.dll"));
    EXPECT_EQ(loadedTwice, c.log.LinesOf("pse_no_GPUabout.dll"));
    EXPECT_EQ(std::vector<HostCall>({ { "write", "GPUHOST", "PluginName", "pse_noname.dll" } }),
              c.host.calls);
}

TEST(GpuHostDialog, ASelectedPluginThatNoLongerLoadsIsLeftAlone)
{
    Configurator c("gpuhost-dlg-gone");
    c.dir.AddHosted("pse_soft");
    std::string path = c.dir.psemu + "pse_soft.dll";
    ASSERT_TRUE(c.Run({ Check([&](HWND) {
                            /* replaced by something that is no library */
                            EXPECT_TRUE(WriteFileText(path, "gone\r\n"));
                        }),
                        Press(IDC_HOSTED_CONFIGURE), Press(IDC_HOSTED_TEST),
                        Press(IDC_HOSTED_ABOUT), Wait(200),
                        Check([&](HWND) {
                            EXPECT_FALSE(OwnThread(FindWindowA("#32770", "Psemu")));
                            EXPECT_FALSE(OwnThread(FindWindowA("#32770", "Soft configure")));
                        }),
                        Press(IDCANCEL) }));
    EXPECT_EQ(kListed, c.log.LinesOf("pse_soft.dll"));
    /* three more attempts to load it, all failed */
    EXPECT_EQ(Lines(4, path), c.loads.paths());
}

TEST(GpuHostDialog, MoreThanSixteenPluginsListTheFirstSixteen)
{
    Configurator c("gpuhost-dlg-many");
    for (int i = 0; i < 18; i++) {
        char name[32];
        BufFormat(name, sizeof name, "g%02d.dll", i);
        c.dir.AddHosted("pse_soft", name);
    }
    Lines files = c.Enumerated();
    ASSERT_EQ(18u, files.size());
    ListState list;
    ASSERT_TRUE(c.Run({ Read(&list), Choose(IDC_HOSTED_LIST, 15), Press(IDOK) }));
    EXPECT_EQ(Lines(16, "Soft 2.3"), list.entries);
    EXPECT_EQ(std::vector<HostCall>({ { "write", "GPUHOST", "PluginName", files[15] } }), c.host.calls);
    /* the ones after the sixteenth are not even loaded */
    EXPECT_EQ(16u, c.loads.paths().size());
    EXPECT_EQ(Lines(), c.log.LinesOf(files[16].c_str()));
}

TEST(GpuHostDialog, LongFileNamesAreListedAndStoredWhole)
{
    Configurator c("gpuhost-dlg-long");
    const std::string longName = "a_plugin_with_a_file_name_of_more_than_32_characters.dll";
    c.dir.AddHosted("pse_hw", longName.c_str());
    ListState list;
    SeenBox box;
    ASSERT_TRUE(c.Run({ Read(&list), Press(IDC_HOSTED_TEST), AnswerBox("Psemu", &box),
                        Gone("Psemu"), Press(IDOK) }));
    EXPECT_EQ(Lines({ "Broken Hw 1.2" }), list.entries);
    EXPECT_EQ(std::vector<HostCall>({ { "write", "GPUHOST", "PluginName", longName } }), c.host.calls);
    /* Test loaded the very file */
    EXPECT_EQ(Lines({ "attach", "PSEgetLibType", "PSEgetLibVersion", "PSEgetLibName", "detach",
                      "attach", "GPUtest -> -1", "detach" }),
              c.log.LinesOf(longName.c_str()));
}

TEST(GpuHostDialog, TemplateAsStored)
{
    Library lib(ShippedPath("gpuhost.dll"));
    DialogTemplate t = ReadDialogTemplate(lib.handle(), IDD_GPUHOST_CONFIG);
    ASSERT_TRUE(t.found);
    EXPECT_EQ(static_cast<DWORD>(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION),
              t.style & ~static_cast<DWORD>(WS_VISIBLE));
    EXPECT_EQ(188, t.cx);
    EXPECT_EQ(95, t.cy);
    EXPECT_EQ("GpuHostPro Configuration", t.caption);
    EXPECT_EQ("MS Sans Serif", t.font);
    EXPECT_EQ(8, t.pointSize);
    const DWORD child = WS_CHILD | WS_VISIBLE, all = ~0u;
    ExpectControls(t, {
        { IDOK, "BUTTON", "OK", 41, 76, 48, 12, all, child | WS_TABSTOP | BS_DEFPUSHBUTTON },
        { IDCANCEL, "BUTTON", "Cancel", 97, 76, 48, 12, all, child | WS_TABSTOP | BS_PUSHBUTTON },
        { -1, "BUTTON", "Graphic Processing Unit", 4, 4, 180, 64, all, child | BS_GROUPBOX },
        { IDC_HOSTED_CONFIGURE, "BUTTON", "Configure", 13, 48, 48, 12, all, child | WS_TABSTOP | BS_PUSHBUTTON },
        { IDC_HOSTED_TEST, "BUTTON", "Test", 69, 48, 48, 12, all, child | WS_TABSTOP | BS_PUSHBUTTON },
        { IDC_HOSTED_ABOUT, "BUTTON", "About", 125, 48, 48, 12, all, child | WS_TABSTOP | BS_PUSHBUTTON },
        { IDC_HOSTED_LIST, "COMBOBOX", "", 12, 21, 160, 51, all, child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST },
    });
}
