/* padjoy1.dll and padjoy2.dll through their exports, with the scripted
 * XInput (xinput1_4.dll beside this program, tests/input/fake_xinput.cpp)
 * standing in for the controllers: what the polls report as controllers
 * come and go, which library and user index they read, and the dialog
 * "Game Controller" worked by clicks and keys from inside its modal loop. */
#include <windows.h>
#include <xinput.h>
#include <string.h>

#include "input/padjoy/resource.h"
#include "kova_test.h"

namespace {

/* ---- the scripted controllers ---- */

struct FakeXInput {
    Library lib{ TestBinPath("xinput1_4.dll") };
    void (*Reset)(void) = lib.Get<void (*)(void)>("FakeXInputReset");
    void (*Script)(DWORD, DWORD, const XINPUT_GAMEPAD *) =
        lib.Get<void (*)(DWORD, DWORD, const XINPUT_GAMEPAD *)>("FakeXInputScript");
    LONG (*Calls)(DWORD) = lib.Get<LONG (*)(DWORD)>("FakeXInputCalls");
    FakeXInput() { Reset(); }
    void Connect(DWORD user, WORD buttons, BYTE leftTrigger = 0, SHORT leftY = 0)
    {
        XINPUT_GAMEPAD pad = {};
        pad.wButtons = buttons;
        pad.bLeftTrigger = leftTrigger;
        pad.sThumbLY = leftY;
        Script(user, ERROR_SUCCESS, &pad);
    }
    void Disconnect(DWORD user) { Script(user, ERROR_DEVICE_NOT_CONNECTED, NULL); }
};

const Lines kXInputNames = { "xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll" };

struct Port {
    const char *library, *section;
};
const Port kPorts[] = { { "padjoy1.dll", "PADJOY1" }, { "padjoy2.dll", "PADJOY2" } };

/* One library behind the entry points of either port. */
struct PadJoy {
    Joy0Exports *joy0 = NULL;
    Joy1Exports *joy1 = NULL;
    explicit PadJoy(int port)
    {
        if (port == 0)
            joy0 = new Joy0Exports(ShippedPath(kPorts[0].library));
        else
            joy1 = new Joy1Exports(ShippedPath(kPorts[1].library));
    }
    ~PadJoy()
    {
        delete joy0;
        delete joy1;
    }
    HMODULE module() const { return joy0 ? joy0->lib.handle() : joy1->lib.handle(); }
    int32_t Open(HostServices *host) { return joy0 ? joy0->JOY0_Open(host) : joy1->JOY1_Open(host); }
    void Close() { joy0 ? joy0->JOY0_Close() : joy1->JOY1_Close(); }
    int32_t InitHeader(uint8_t *report)
    {
        return joy0 ? joy0->JOY0_InitHeader(report) : joy1->JOY1_InitHeader(report);
    }
    void Poll() { joy0 ? joy0->JOY0_Poll() : joy1->JOY1_Poll(); }
    int32_t Configure(HostServices *host)
    {
        return joy0 ? joy0->JOY0_Configure(host) : joy1->JOY1_Configure(host);
    }
};

} // namespace

TEST(PadJoy, PollsReportTheChosenControllerAsItComesAndGoes)
{
    /* Each step changes the scripted controllers, then polls once. */
    struct Step {
        const char *what;
        std::function<void(FakeXInput &)> change;
        const char *bytes; /* 0 to 5 after the poll */
    };
    const std::vector<Step> steps = {
        { "not connected: all released", [](FakeXInput &) {}, "cc 41 5a ff ff cc" },
        { "connected, A: Cross", [](FakeXInput &x) { x.Connect(2, XINPUT_GAMEPAD_A); }, "cc 41 5a ff bf cc" },
        { "A, left trigger and stick up: Cross, L2, Up",
          [](FakeXInput &x) { x.Connect(2, XINPUT_GAMEPAD_A, 200, 30000); }, "cc 41 5a ef be cc" },
        { "gone: all released", [](FakeXInput &x) { x.Disconnect(2); }, "cc 41 5a ff ff cc" },
        { "back again: used at once", [](FakeXInput &x) { x.Connect(2, XINPUT_GAMEPAD_START); },
          "cc 41 5a f7 ff cc" },
        { "another controller's buttons do nothing",
          [](FakeXInput &x) { x.Connect(2, 0); x.Connect(0, XINPUT_GAMEPAD_A); }, "cc 41 5a ff ff cc" },
    };
    for (int port = 0; port < 2; port++) {
        SCOPED_TRACE(kPorts[port].library);
        FakeXInput xinput;
        PadJoy pad(port);
        RecordingHost host;
        host.Answer(kPorts[port].section, "Controller", "2");
        LoadRecorder loads(pad.module());
        ASSERT_EQ(0, pad.Open(&host.record));
        EXPECT_EQ(Lines({ "xinput1_4.dll" }), loads.paths()) << "the first name found is used";
        EXPECT_EQ(HostCalls({ { "read", kPorts[port].section, "Controller", "2" },
                              { "read", kPorts[port].section, "Map", "" } }),
                  host.calls);
        uint8_t report[6];
        memset(report, 0xCC, sizeof report);
        ASSERT_EQ(5, pad.InitHeader(report));
        EXPECT_EQ("cc 41 5a cc cc cc", Bytes(report, sizeof report)) << "init-header reads nothing";
        for (const Step &step : steps) {
            SCOPED_TRACE(step.what);
            step.change(xinput);
            pad.Poll();
            EXPECT_EQ(step.bytes, Bytes(report, sizeof report));
        }
        EXPECT_EQ(static_cast<LONG>(steps.size()), xinput.Calls(2)) << "one XInputGetState per poll";
        EXPECT_EQ(0, xinput.Calls(0) + xinput.Calls(1) + xinput.Calls(3));
        pad.Close();
        pad.Poll();
        EXPECT_EQ("cc 41 5a ff ff cc", Bytes(report, sizeof report)) << "closed: nothing pressed";
        EXPECT_EQ(static_cast<LONG>(steps.size()), xinput.Calls(2)) << "closed: no XInput call";
    }
}

TEST(PadJoy, OpenTakesTheFirstXInputThereIsAndSucceedsWithoutAny)
{
    struct Row {
        const char *what;
        Lines refused;
        Lines asked;
    };
    const Row rows[] = {
        { "xinput1_4 there", {}, { "xinput1_4.dll" } },
        { "only xinput1_3 and 9_1_0", { "xinput1_4.dll" }, { "xinput1_4.dll", "xinput1_3.dll" } },
        { "only xinput9_1_0", { "xinput1_4.dll", "xinput1_3.dll" }, kXInputNames },
        { "no XInput at all", kXInputNames, kXInputNames },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        FakeXInput xinput;
        xinput.Connect(0, XINPUT_GAMEPAD_A);
        PadJoy pad(0);
        LoadRecorder loads(pad.module(), row.refused);
        ASSERT_EQ(0, pad.Open(NULL));
        EXPECT_EQ(row.asked, loads.paths());
        pad.Poll(); /* before any init-header: nowhere to write, no harm */
        uint8_t report[5] = {};
        ASSERT_EQ(5, pad.InitHeader(report));
        pad.Poll();
        /* Only xinput1_4 is the scripted one: the system's others see no
           controller here. */
        EXPECT_EQ(row.refused.empty() ? "00 41 5a ff bf" : "00 41 5a ff ff", Bytes(report, 5));
        pad.Close();
    }
}

TEST(PadJoy, TheMapOfTheSettingsDecidesWhatPresses)
{
    struct Row {
        const char *controller, *map;
        WORD buttons;
        const char *bytes; /* 3 and 4 */
    };
    const Row rows[] = {
        { "", "", XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_BACK, "fe bf" },
        { "0", "A,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-", XINPUT_GAMEPAD_A, "fe ff" },
        { " 0 ", "x,y", XINPUT_GAMEPAD_X | XINPUT_GAMEPAD_START, "f6 7f" },
        { "7", "START", XINPUT_GAMEPAD_START, "f6 ff" },
        { "0", "nonsense,,A/B/X", XINPUT_GAMEPAD_BACK | XINPUT_GAMEPAD_LEFT_THUMB, "fc ff" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string("Controller=") + row.controller + " Map=" + row.map);
        FakeXInput xinput;
        xinput.Connect(0, row.buttons);
        PadJoy pad(1);
        RecordingHost host;
        host.Answer("PADJOY2", "Controller", row.controller);
        host.Answer("PADJOY2", "Map", row.map);
        ASSERT_EQ(0, pad.Open(&host.record));
        uint8_t report[5] = {};
        ASSERT_EQ(5, pad.InitHeader(report));
        pad.Poll();
        EXPECT_EQ(row.bytes, Bytes(report + 3, 2));
        pad.Close();
    }
}

/* ---- the dialog ---- */

namespace {

const char kCaption[] = "Game Controller";
const char kDefaultMap[] = "BACK,LS,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A,X";
typedef std::vector<DialogDriver::Step> Steps;

/* A step that changes the scripted controllers. */
DialogDriver::Step Pad(FakeXInput *x, DWORD user, WORD buttons)
{
    return Check([=](HWND) { x->Connect(user, buttons); });
}

std::string ListLine(HWND dialog, int index)
{
    Lines items = ListItems(dialog, IDC_BUTTONS);
    return index < static_cast<int>(items.size()) ? items[index] : "(no line)";
}

} // namespace

TEST(PadJoyDialog, ClicksAndPressesMakeTheMapThatOkStores)
{
    struct Row {
        const char *what;
        int port;
        const char *storedMap;  /* what the host holds before */
        std::function<Steps(FakeXInput *)> steps;
        HostCalls writes;       /* of the section "PADJOY<port+1>" */
    };
    const char *const cross = "Cross\tA or Y";
    const std::vector<Row> rows = {
        { "Set on Cross, Y pressed: Cross gets Y beside A", 0, NULL,
          [&](FakeXInput *x) {
              return Steps{ Key(VK_END, IDC_BUTTONS), Key(VK_UP, IDC_BUTTONS), Press(IDC_SET),
                            Wait(200), Pad(x, 0, XINPUT_GAMEPAD_Y),
                            Shows(IDC_PROMPT, "Cross is pressed by A or Y."),
                            Check([=](HWND d) { EXPECT_EQ(cross, ListLine(d, 14)); }),
                            Shows(IDC_LIVE, "Pressed now: Triangle, Cross"), Press(IDOK) };
          },
          { { "write", "PADJOY1", "Controller", "0" },
            { "write", "PADJOY1", "Map",
              "BACK,LS,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A/Y,X" } } },
        { "a third Set starts again; a control held at Set must be let go first", 1, "A/B",
          [&](FakeXInput *x) {
              return Steps{ Check([=](HWND d) { EXPECT_EQ("Select\tA or B", ListLine(d, 0)); }),
                            Pad(x, 0, XINPUT_GAMEPAD_X), Press(IDC_SET), Wait(200),
                            Pad(x, 0, 0), Wait(200), Pad(x, 0, XINPUT_GAMEPAD_X),
                            Shows(IDC_PROMPT, "Select is pressed by X."), Press(IDOK) };
          },
          { { "write", "PADJOY2", "Controller", "0" },
            { "write", "PADJOY2", "Map",
              "X,LS,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A,X" } } },
        { "controller 2, Clear on Select, Enter", 0, NULL,
          [&](FakeXInput *x) {
              return Steps{ Pad(x, 1, XINPUT_GAMEPAD_B), Choose(IDC_CONTROLLER, 1),
                            Shows(IDC_LIVE, "Pressed now: Circle"), Press(IDC_CLEAR),
                            Check([](HWND d) { EXPECT_EQ("Select\t(none)", ListLine(d, 0)); }),
                            Key(VK_RETURN) };
          },
          { { "write", "PADJOY1", "Controller", "1" },
            { "write", "PADJOY1", "Map",
              "-,LS,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A,X" } } },
        { "Defaults after a stored map", 0, "-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-",
          [&](FakeXInput *) {
              return Steps{ Check([](HWND d) { EXPECT_EQ("Up\t(none)", ListLine(d, 4)); }),
                            Press(IDC_DEFAULTS),
                            Check([](HWND d) { EXPECT_EQ("Up\tD-pad up or Left stick up", ListLine(d, 4)); }),
                            Press(IDOK) };
          },
          { { "write", "PADJOY1", "Controller", "0" }, { "write", "PADJOY1", "Map", kDefaultMap } } },
        { "Set, nothing pressed for 5 s: unchanged", 0, NULL,
          [&](FakeXInput *) {
              return Steps{ Press(IDC_SET),
                            Shows(IDC_PROMPT, "Nothing was pressed in 5 seconds: Select is unchanged."),
                            Press(IDOK) };
          },
          { { "write", "PADJOY1", "Controller", "0" }, { "write", "PADJOY1", "Map", kDefaultMap } } },
        { "Set and a press, then Cancel: nothing stored", 0, NULL,
          [&](FakeXInput *x) {
              return Steps{ Press(IDC_SET), Wait(200), Pad(x, 0, XINPUT_GAMEPAD_Y),
                            Shows(IDC_PROMPT, "Select is pressed by Back or Y."), Press(IDCANCEL) };
          },
          {} },
        { "Clear, then Esc: nothing stored", 1, NULL,
          [&](FakeXInput *) { return Steps{ Press(IDC_CLEAR), Key(VK_ESCAPE) }; }, {} },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        FakeXInput xinput;
        xinput.Connect(0, 0);
        PadJoy pad(row.port);
        TestWindow owner;
        RecordingHost host;
        host.record.mainWindow = owner.handle();
        if (row.storedMap)
            host.Answer(kPorts[row.port].section, "Map", row.storedMap);
        Lines combo;
        HWND dialogOwner = NULL;
        Steps steps = { Check([&](HWND d) {
            combo = ComboItems(d, IDC_CONTROLLER);
            dialogOwner = GetWindow(d, GW_OWNER);
        }) };
        Steps rest = row.steps(&xinput);
        steps.insert(steps.end(), rest.begin(), rest.end());
        DialogDriver driver(kCaption, steps);
        EXPECT_EQ(0, pad.Configure(&host.record));
        EXPECT_TRUE(driver.finished()) << "dialog steps done: " << driver.stepsDone();
        EXPECT_EQ(owner.handle(), dialogOwner);
        EXPECT_EQ(Lines({ "Controller 1 (connected)", "Controller 2 (not connected)",
                          "Controller 3 (not connected)", "Controller 4 (not connected)" }),
                  combo);
        EXPECT_EQ(row.writes, host.Calls("write"));
    }
}

TEST(PadJoyDialog, WithoutXInputItSaysSoAndStillStores)
{
    PadJoy pad(0);
    LoadRecorder loads(pad.module(), kXInputNames);
    RecordingHost host;
    Lines combo, buttons;
    {
        DialogDriver driver(kCaption, {
            Shows(IDC_LIVE, "XInput is not available on this computer: no controller can be read."),
            Check([&](HWND d) {
                combo = ComboItems(d, IDC_CONTROLLER);
                buttons = ListItems(d, IDC_BUTTONS);
            }),
            Press(IDOK) });
        EXPECT_EQ(0, pad.Configure(&host.record));
        EXPECT_TRUE(driver.finished()) << "dialog steps done: " << driver.stepsDone();
        EXPECT_EQ(Lines({ "Controller 1 (not connected)", "Controller 2 (not connected)",
                          "Controller 3 (not connected)", "Controller 4 (not connected)" }),
                  combo);
        EXPECT_EQ(Lines({ "Select\tBack", "L3\tLeft stick click", "R3\tRight stick click", "Start\tStart",
                          "Up\tD-pad up or Left stick up", "Right\tD-pad right or Left stick right",
                          "Down\tD-pad down or Left stick down", "Left\tD-pad left or Left stick left",
                          "L2\tLT", "R2\tRT", "L1\tLB", "R1\tRB", "Triangle\tY", "Circle\tB", "Cross\tA",
                          "Square\tX" }),
                  buttons);
        EXPECT_EQ(HostCalls({ { "write", "PADJOY1", "Controller", "0" }, { "write", "PADJOY1", "Map", kDefaultMap } }),
                  host.Calls("write"));
    }

    /* Without a record: no owner, the defaults, OK stores nowhere. */
    HWND owner = reinterpret_cast<HWND>(1);
    DialogDriver bare(kCaption, { Check([&](HWND d) { owner = GetWindow(d, GW_OWNER); }), Press(IDOK) });
    EXPECT_EQ(0, pad.Configure(NULL));
    EXPECT_TRUE(bare.finished());
    EXPECT_EQ(NULL, owner);
}
