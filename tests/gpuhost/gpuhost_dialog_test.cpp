/* gpuhost's selection dialog, run in-process through GPU_Configure and
   driven from a timer inside its own modal loop: what it lists and selects,
   what its buttons load and call, what the host's writeSetting receives. */
#include <algorithm>
#include <map>

#include "gpuhost/resource.h"
#include "gpuhost_rig.h"

namespace {

const char kCaption[] = "GpuHostPro Configuration";

/* What the list showed. */
struct ListState {
    Lines entries;
    int selected = -2;
    std::string enabled;  /* "<list> <its three buttons> <OK Cancel>", 1 or 0 each */
};

DialogDriver::Step Read(ListState *s)
{
    return Check([s](HWND d) {
        *s = ListState();
        s->entries = ComboItems(d, IDC_HOSTED_LIST);
        s->selected = static_cast<int>(SendDlgItemMessageA(d, IDC_HOSTED_LIST, CB_GETCURSEL, 0, 0));
        for (int id : { IDC_HOSTED_LIST, 0, IDC_HOSTED_CONFIGURE, IDC_HOSTED_TEST, IDC_HOSTED_ABOUT,
                        0, IDOK, IDCANCEL })
            s->enabled += id ? (IsWindowEnabled(GetDlgItem(d, id)) ? "1" : "0") : " ";
    });
}

/* A configurator's view: gpuhost in PLUGIN\ of a program directory, loaded
   for one configure call, with a recording host record. */
struct Configurator {
    GpuProgramDir dir;
    PseLog log;
    TestWindow window;
    RecordingHost host;
    GpuExports gpu;
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
    /* Those of them that texts names, in that order, and their texts. */
    Lines Listed(const std::map<std::string, std::string> &texts, Lines *entries = NULL) const
    {
        Lines files;
        for (const std::string &name : Enumerated())
            if (texts.count(name)) {
                files.push_back(name);
                if (entries)
                    entries->push_back(texts.at(name));
            }
        return files;
    }
    HostCalls Writes() const { return host.Calls("write"); }
};

int At(const Lines &files, const char *name)
{
    return static_cast<int>(std::find(files.begin(), files.end(), name) - files.begin());
}

/* A hosted plugin's calls: those of the listing, then more. */
Lines HostedCalls(const Lines &more = {})
{
    Lines lines = { "attach", "PSEgetLibType", "PSEgetLibVersion", "PSEgetLibName", "detach" };
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

/* Libraries that do not load, as broken<n>.dll in PLUGIN\PSEMU\. */
void AddBrokenLibraries(const GpuProgramDir &dir)
{
    int n = 0;
    for (const BrokenLibrary &broken : BrokenLibraries(KOVA_EXPORT_NAMES(PSE_GPU_FUNCTIONS))) {
        std::string path = dir.psemu + "broken" + std::to_string(n++) + ".dll";
        EXPECT_TRUE(WriteFileBytes(path, broken.bytes.data(), broken.bytes.size())) << broken.what;
    }
}

const DWORD kChild = WS_CHILD | WS_VISIBLE, kAll = ~0u;
const std::vector<ControlRow> kControls = {
    { IDOK, "BUTTON", "OK", 41, 76, 48, 12, kAll, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON },
    { IDCANCEL, "BUTTON", "Cancel", 97, 76, 48, 12, kAll, kChild | WS_TABSTOP | BS_PUSHBUTTON },
    { -1, "BUTTON", "Graphic Processing Unit", 4, 4, 180, 64, kAll, kChild | BS_GROUPBOX },
    { IDC_HOSTED_CONFIGURE, "BUTTON", "Configure", 13, 48, 48, 12, kAll,
      kChild | WS_TABSTOP | BS_PUSHBUTTON },
    { IDC_HOSTED_TEST, "BUTTON", "Test", 69, 48, 48, 12, kAll,
      kChild | WS_TABSTOP | BS_PUSHBUTTON },
    { IDC_HOSTED_ABOUT, "BUTTON", "About", 125, 48, 48, 12, kAll,
      kChild | WS_TABSTOP | BS_PUSHBUTTON },
    { IDC_HOSTED_LIST, "COMBOBOX", "", 12, 21, 160, 51, kAll,
      kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST },
};

/* A control of the running dialog as its row has it: its class, text, type
   (the low four style bits) and the other style bits, at least; Windows
   places it at its mapped origin with its mapped size. A combo box is as
   high as its closed field and keeps no scroll bar style of its own. */
void ExpectShown(HWND dialog, const ControlRow &row)
{
    SCOPED_TRACE(row.text);
    HWND w = row.id < 0 ? FindWindowExA(dialog, NULL, row.cls, row.text)
                        : GetDlgItem(dialog, row.id);
    ASSERT_TRUE(w);
    bool combo = row.id == IDC_HOSTED_LIST;
    char cls[32];
    GetClassNameA(w, cls, sizeof cls);
    EXPECT_EQ(Lower(row.cls), Lower(cls));
    if (!combo) {
        EXPECT_EQ(row.text, WindowText(w));
    }
    DWORD style = static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE));
    DWORD must = row.style & ~static_cast<DWORD>(combo ? WS_VSCROLL : 0);
    EXPECT_EQ(must, style & (must | 0x0F | (combo ? CBS_SORT : 0)));
    EXPECT_TRUE(IsWindowVisible(w));
    RECT want = { row.x, row.y, row.cx, row.cy }, r;
    MapDialogRect(dialog, &want);
    GetWindowRect(w, &r);
    MapWindowPoints(NULL, dialog, reinterpret_cast<POINT *>(&r), 2);
    std::vector<LONG> got = { r.left, r.top, r.right - r.left, r.bottom - r.top };
    EXPECT_EQ(std::vector<LONG>({ want.left, want.top, want.right, combo ? got[3] : want.bottom }),
              got);
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
    c.Listed(gpuPlugins, &want);

    ListState list;
    HWND owner = NULL;
    ASSERT_TRUE(c.Run({ Read(&list), Check([&](HWND d) { owner = GetWindow(d, GW_OWNER); }),
                        Press(IDCANCEL) }));
    EXPECT_EQ(want, list.entries);
    EXPECT_EQ(0, list.selected);
    EXPECT_EQ("1 111 11", list.enabled);
    EXPECT_EQ(c.window.handle(), owner);

    /* each candidate loaded and unloaded once; the type-4 one asked its
       type only; the folder never loaded */
    for (const auto &p : gpuPlugins)
        EXPECT_EQ(HostedCalls(), c.log.LinesOf(p.first.c_str())) << p.first;
    EXPECT_EQ(Lines({ "attach", "PSEgetLibType", "detach" }), c.log.LinesOf("pse_pad.dll"));
    Lines loaded;
    for (const std::string &name : c.Enumerated())
        loaded.push_back(c.dir.psemu + name);
    EXPECT_EQ(loaded, c.loads.paths());
    EXPECT_TRUE(c.host.calls.empty()) << "neither read nor written";
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
    EXPECT_EQ(kCaption, t.caption);
    EXPECT_EQ("MS Sans Serif", t.font);
    EXPECT_EQ(8, t.pointSize);
    ExpectControls(t, kControls);
}

TEST(GpuHostDialog, TemplateAsTheUserSeesIt)
{
    Configurator c("gpuhost-dlg-template");
    c.dir.AddHosted("pse_soft");
    bool checked = false;
    ASSERT_TRUE(c.Run({ Check([&](HWND d) {
                            checked = true;
                            EXPECT_EQ(WS_CAPTION,
                                      GetWindowLongA(d, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU));
                            RECT client = { 0, 0, 188, 95 }, got;
                            MapDialogRect(d, &client);
                            GetClientRect(d, &got);
                            EXPECT_EQ(std::make_pair(client.right, client.bottom),
                                      std::make_pair(got.right, got.bottom));
                            for (const ControlRow &row : kControls)
                                ExpectShown(d, row);
                        }),
                        Press(IDCANCEL) }));
    EXPECT_TRUE(checked);
}

TEST(GpuHostDialog, OkWritesTheSelectedEntrysFileName)
{
    Configurator c("gpuhost-dlg-ok");
    for (const char *built : { "pse_soft", "pse_hw", "pse_test1" })
        c.dir.AddHosted(built);
    AddBrokenLibraries(c.dir);  /* not listed: the entries still name the right files */
    Lines files =
        c.Listed({ { "pse_soft.dll", "" }, { "pse_hw.dll", "" }, { "pse_test1.dll", "" } });
    ASSERT_EQ(3u, files.size());
    ASSERT_TRUE(c.Run({ Choose(IDC_HOSTED_LIST, 1), Press(IDOK) }));
    EXPECT_EQ(HostCalls({ { "write", "GPUHOST", "PluginName", files[1] } }), c.host.calls);
}

TEST(GpuHostDialog, WithoutARecordTheDialogHasNoOwnerAndOkStoresNowhere)
{
    for (int button : { IDOK, IDCANCEL }) {
        SCOPED_TRACE(button);
        Configurator c("gpuhost-dlg-norecord");
        c.dir.AddHosted("pse_soft");
        HWND owner = reinterpret_cast<HWND>(1);
        DialogDriver driver(kCaption, { Check([&](HWND d) { owner = GetWindow(d, GW_OWNER); }),
                                        Press(button) });
        EXPECT_EQ(0, c.gpu.GPU_Configure(NULL));
        EXPECT_TRUE(driver.finished());
        EXPECT_EQ(NULL, owner);
        EXPECT_TRUE(c.host.calls.empty());
    }
}

TEST(GpuHostDialog, OpeningTwiceListsTheSameEntries)
{
    Configurator c("gpuhost-dlg-twice");
    for (const char *built : { "pse_soft", "pse_hw", "pse_test2" })
        c.dir.AddHosted(built);
    Lines files = c.Enumerated();
    ListState first, second;
    ASSERT_TRUE(c.Run({ Read(&first), Press(IDCANCEL) }));
    ASSERT_TRUE(c.Run({ Read(&second), Choose(IDC_HOSTED_LIST, 2), Press(IDOK) }));
    EXPECT_EQ(3u, first.entries.size());
    EXPECT_EQ(first.entries, second.entries);
    EXPECT_EQ(HostCalls({ { "write", "GPUHOST", "PluginName", files[2] } }), c.host.calls);
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
        EXPECT_EQ(HostedCalls({ "attach", "GPUconfigure", "detach" }),
                  c.log.LinesOf("pse_soft.dll"));
    }
}

TEST(GpuHostDialog, AboutLoadsTheSelectedPluginAnew)
{
    Configurator c("gpuhost-dlg-about");
    c.dir.AddHosted("pse_soft");
    c.dir.AddHosted("pse_hw");
    SeenBox box, again;
    ASSERT_TRUE(c.Run({ Choose(IDC_HOSTED_LIST, At(c.Enumerated(), "pse_hw.dll")),
                        Press(IDC_HOSTED_ABOUT), AnswerBox("Broken Hw about", &box),
                        Gone("Broken Hw about"), Press(IDC_HOSTED_ABOUT),
                        AnswerBox("Broken Hw about", &again), Gone("Broken Hw about"),
                        Press(IDCANCEL) }));
    EXPECT_TRUE(box.seen && again.seen);
    EXPECT_EQ(HostedCalls({ "attach", "GPUabout", "detach", "attach", "GPUabout", "detach" }),
              c.log.LinesOf("pse_hw.dll"));
    EXPECT_EQ(HostedCalls(), c.log.LinesOf("pse_soft.dll"));
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
        Lines calls;  /* after the listing */
    };
    const Row rows[] = {
        { "pse_soft", kOk, { "attach", "GPUtest -> 0", "detach" } },
        { "pse_hw", kNo, { "attach", "GPUtest -> -1", "detach" } },
        { "pse_test1", kOld, { "attach", "GPUtest -> 1", "detach" } },
        { "pse_test2", kOld, { "attach", "GPUtest -> 2", "detach" } },
        { "pse_no_GPUtest", kOld, { "attach", "detach" } },
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
        EXPECT_EQ(HostedCalls(row.calls), c.log.LinesOf((std::string(row.built) + ".dll").c_str()));
    }
}

TEST(GpuHostDialog, TestShowsARealBoxAndOkStoresTheWholeFileName)
{
    /* a hosted file name longer than the 32 characters of older dialogs */
    const char *longer = "a_plugin_with_a_file_name_of_more_than_32_characters.dll";
    for (const char *file : { "pse_hw.dll", longer }) {
        SCOPED_TRACE(file);
        Configurator c("gpuhost-dlg-testbox");
        c.dir.AddHosted("pse_hw", file);
        ListState list;
        SeenBox box;
        HWND dialog = NULL;
        ASSERT_TRUE(c.Run({ Read(&list), Check([&](HWND d) { dialog = d; }), Press(IDC_HOSTED_TEST),
                            AnswerBox("Psemu", &box), Gone("Psemu"), Press(IDOK) }));
        EXPECT_EQ(Lines({ "Broken Hw 1.2" }), list.entries);
        EXPECT_TRUE(box.seen);
        EXPECT_EQ("This driver can't run on your hardware!", box.text);
        EXPECT_EQ(dialog, box.owner);
        EXPECT_EQ(HostCalls({ { "write", "GPUHOST", "PluginName", file } }), c.host.calls);
        /* Test loaded the very file */
        EXPECT_EQ(HostedCalls({ "attach", "GPUtest -> -1", "detach" }), c.log.LinesOf(file));
    }
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
        EXPECT_EQ("0 000 11", list.enabled);
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
    Lines want, files = c.Listed(listed, &want);
    ASSERT_EQ(4u, files.size());
    ListState list;
    /* Configure without GPUconfigure and About without GPUabout do nothing
       but load and unload; then OK stores the nameless one. */
    ASSERT_TRUE(c.Run({ Read(&list), Choose(IDC_HOSTED_LIST, At(files, "pse_no_GPUconfigure.dll")),
                        Press(IDC_HOSTED_CONFIGURE),
                        Choose(IDC_HOSTED_LIST, At(files, "pse_no_GPUabout.dll")),
                        Press(IDC_HOSTED_ABOUT),
                        Choose(IDC_HOSTED_LIST, At(files, "pse_noname.dll")), Press(IDOK) }));
    EXPECT_EQ(want, list.entries);
    EXPECT_EQ(Lines({ "attach", "detach" }), c.log.LinesOf("pse_no_PSEgetLibType.dll"));
    EXPECT_EQ(HostedCalls({ "attach", "detach" }), c.log.LinesOf("pse_no_GPUconfigure.dll"));
    EXPECT_EQ(HostedCalls({ "attach", "detach" }), c.log.LinesOf("pse_no_GPUabout.dll"));
    EXPECT_EQ(HostCalls({ { "write", "GPUHOST", "PluginName", "pse_noname.dll" } }), c.host.calls);
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
    EXPECT_EQ(HostedCalls(), c.log.LinesOf("pse_soft.dll"));
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
    EXPECT_EQ(HostCalls({ { "write", "GPUHOST", "PluginName", files[15] } }), c.host.calls);
    /* the ones after the sixteenth are not even loaded */
    EXPECT_EQ(16u, c.loads.paths().size());
    EXPECT_EQ(Lines(), c.log.LinesOf(files[16].c_str()));
}
