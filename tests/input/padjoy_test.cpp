/* padjoy1.dll and padjoy2.dll through their exports, with the scripted
 * XInput (xinput1_4.dll beside this program, tests/input/fake_xinput.cpp)
 * standing in for the controllers: what the polls report as controllers
 * come and go, which library and user index they read, and the dialog
 * "Game Controller" worked by clicks and keys from inside its modal loop. */
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
#include <dinput.h>
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

/* The scripted DirectInput (dinput8.dll beside this program,
   tests/input/fake_dinput8.cpp): device 0 is an XInput controller, which
   DirectInput lists too; 1 a USB pad with 12 buttons, a hat and the axes X,
   Y, Z and RZ; 2 the same, but it needs polling. */
struct FakeDInput {
    Library lib{ TestBinPath("dinput8.dll") };
    void (*Reset)(void) = lib.Get<void (*)(void)>("FakeDInputReset");
    void (*Plug)(int, const char *, int, int, unsigned, BOOL) =
        lib.Get<void (*)(int, const char *, int, int, unsigned, BOOL)>("FakeDInputPlug");
    void (*Unplug)(int) = lib.Get<void (*)(int)>("FakeDInputUnplug");
    void (*Replug)(int) = lib.Get<void (*)(int)>("FakeDInputReplug");
    void (*Move)(void) = lib.Get<void (*)(void)>("FakeDInputMove");
    void (*State)(int, const DIJOYSTATE2 *) = lib.Get<void (*)(int, const DIJOYSTATE2 *)>("FakeDInputState");
    void (*Polled)(int, BOOL) = lib.Get<void (*)(int, BOOL)>("FakeDInputPolled");
    void (*Lose)(int) = lib.Get<void (*)(int)>("FakeDInputLose");
    LONG (*Count)(const char *) = lib.Get<LONG (*)(const char *)>("FakeDInputCount");
    FakeDInput()
    {
        Reset();
        Plug(0, "XBOX 360 For Windows", 10, 1, 0x3F, TRUE);
        Plug(1, "USB Gamepad", 12, 1, 0x27, FALSE);
        Plug(2, "Twin Pad", 12, 1, 0x27, FALSE);
        Polled(2, TRUE);
    }
    /* The device at rest but for what change does. */
    void Set(int id, const std::function<void(DIJOYSTATE2 &)> &change)
    {
        DIJOYSTATE2 state = {};
        state.lX = state.lY = state.lZ = state.lRx = state.lRy = state.lRz = 32767;
        for (DWORD &pov : state.rgdwPOV)
            pov = 0xFFFFFFFF;
        change(state);
        State(id, &state);
    }
};
/* The GUIDs the scripted devices have until they are moved. */
const char kUsbPad[] = "{6B6F7601-1234-5678-9ABC-DEF011223301} USB Gamepad";
const char kTwinPad[] = "{6B6F7602-1234-5678-9ABC-DEF011223302} Twin Pad";

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
                              { "read", kPorts[port].section, "PadType", "" },
                              { "read", kPorts[port].section, "Map", "" },
                              { "read", kPorts[port].section, "Sticks", "" } }),
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
const char kXInputSticks[] = "RSRIGHT,RSDOWN,LSRIGHT,LSDOWN";
typedef std::vector<DialogDriver::Step> Steps;

/* What OK writes, in its order. */
HostCalls Stored(const char *section, const std::string &controller, const char *map,
                 const char *padType = "digital", const char *sticks = kXInputSticks)
{
    return { { "write", section, "Controller", controller },
             { "write", section, "PadType", padType },
             { "write", section, "Map", map },
             { "write", section, "Sticks", sticks } };
}

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
          Stored("PADJOY1", "0", "BACK,LS,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A/Y,X") },
        { "a third Set starts again; a control held at Set must be let go first", 1, "A/B",
          [&](FakeXInput *x) {
              return Steps{ Check([=](HWND d) { EXPECT_EQ("Select\tA or B", ListLine(d, 0)); }),
                            Pad(x, 0, XINPUT_GAMEPAD_X), Press(IDC_SET), Wait(200),
                            Pad(x, 0, 0), Shows(IDC_LIVE, "Pressed now: nothing"), Pad(x, 0, XINPUT_GAMEPAD_X),
                            Shows(IDC_PROMPT, "Select is pressed by X."), Press(IDOK) };
          },
          Stored("PADJOY2", "0", "X,LS,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A,X") },
        { "controller 2, Clear on Select, Enter", 0, NULL,
          [&](FakeXInput *x) {
              return Steps{ Pad(x, 1, XINPUT_GAMEPAD_B), Choose(IDC_CONTROLLER, 1),
                            Shows(IDC_LIVE, "Pressed now: Circle"), Press(IDC_CLEAR),
                            Check([](HWND d) { EXPECT_EQ("Select\t(none)", ListLine(d, 0)); }),
                            Key(VK_RETURN) };
          },
          Stored("PADJOY1", "1", "-,LS,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A,X") },
        { "Defaults after a stored map", 0, "-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-",
          [&](FakeXInput *) {
              return Steps{ Check([](HWND d) { EXPECT_EQ("Up\t(none)", ListLine(d, 4)); }),
                            Press(IDC_DEFAULTS),
                            Check([](HWND d) { EXPECT_EQ("Up\tD-pad up or Left stick up", ListLine(d, 4)); }),
                            Press(IDOK) };
          },
          Stored("PADJOY1", "0", kDefaultMap) },
        { "Set, nothing pressed for 5 s: unchanged", 0, NULL,
          [&](FakeXInput *) {
              return Steps{ Press(IDC_SET),
                            Shows(IDC_PROMPT, "Nothing was pressed in 5 seconds: Select is unchanged."),
                            Press(IDOK) };
          },
          Stored("PADJOY1", "0", kDefaultMap) },
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
        EXPECT_EQ(HostCalls(Stored("PADJOY1", "0", kDefaultMap)),
                  host.Calls("write"));
    }

    /* Without a record: no owner, the defaults, OK stores nowhere. */
    HWND owner = reinterpret_cast<HWND>(1);
    DialogDriver bare(kCaption, { Check([&](HWND d) { owner = GetWindow(d, GW_OWNER); }), Press(IDOK) });
    EXPECT_EQ(0, pad.Configure(NULL));
    EXPECT_TRUE(bare.finished());
    EXPECT_EQ(NULL, owner);
}


/* ---- DirectInput controllers and the analog pad ---- */

TEST(PadJoy, DirectInputPadsReportThroughTheirMapsAsTheyComeAndGo)
{
    /* Each step changes the scripted devices, waits, then polls once. */
    struct Step {
        const char *what;
        std::function<void(FakeDInput &, int)> change;
        DWORD sleepMs;
        const char *digital, *analog; /* bytes 3 and on */
    };
    const auto held = [](FakeDInput &d, int id) {
        d.Set(id, [](DIJOYSTATE2 &s) {
            s.rgbButtons[10] = s.rgbButtons[11] = 0x80;
            s.lX = 0;
            s.lY = 65535;
            s.lZ = 65535;
            s.lRz = 0;
        });
    };
    const char *heldDigital = "39 ff", *heldAnalog = "f9 ff ff 00 00 ff";
    const std::vector<Step> steps = {
        { "at rest", [](FakeDInput &, int) {}, 0, "ff ff", "ff ff 80 80 80 80" },
        { "button 3 and the hat right: Circle, Right",
          [](FakeDInput &d, int id) {
              d.Set(id, [](DIJOYSTATE2 &s) { s.rgbButtons[2] = 0x80; s.rgdwPOV[0] = 9000; });
          },
          0, "df df", "df df 80 80 80 80" },
        { "buttons 11 and 12, sticks to the ends: L3, R3; Left and Down or the stick bytes", held, 0,
          heldDigital, heldAnalog },
        { "the input lost: taken back in the same poll", [](FakeDInput &d, int id) { d.Lose(id); }, 0,
          heldDigital, heldAnalog },
        { "pulled out: all released", [](FakeDInput &d, int id) { d.Unplug(id); }, 0, "ff ff",
          "ff ff 80 80 80 80" },
        { "plugged in again: not looked for at once", [](FakeDInput &d, int id) { d.Replug(id); }, 0, "ff ff",
          "ff ff 80 80 80 80" },
        { "a second later: used again", [](FakeDInput &, int) {}, 1100, heldDigital, heldAnalog },
        { "pulled out, moved to another port", [](FakeDInput &d, int id) { d.Unplug(id); d.Move(); }, 0,
          "ff ff", "ff ff 80 80 80 80" },
        { "plugged in there: found by its name", [](FakeDInput &d, int id) { d.Replug(id); }, 1100,
          heldDigital, heldAnalog },
    };
    /* Port 1 the USB pad, port 2 the one that needs polling; the
       XInput controller that DirectInput lists too is never touched. */
    const char *const controllers[2] = { kUsbPad, kTwinPad };
    for (int port = 0; port < 2; port++) {
        for (bool analog : { false, true }) {
            SCOPED_TRACE(std::string(kPorts[port].library) + (analog ? " analog" : " digital"));
            FakeDInput dinput;
            FakeXInput xinput;
            PadJoy pad(port);
            RecordingHost host;
            TestWindow window;
            host.record.mainWindow = window.handle();
            host.Answer(kPorts[port].section, "Controller", controllers[port]);
            host.Answer(kPorts[port].section, "PadType", analog ? "Analog" : "");
            ASSERT_EQ(0, pad.Open(&host.record));
            uint8_t report[10];
            memset(report, 0xCC, sizeof report);
            ASSERT_EQ(analog ? 9 : 5, pad.InitHeader(report));
            EXPECT_EQ(analog ? "cc 73 5a cc cc cc cc cc cc cc" : "cc 41 5a cc cc cc cc cc cc cc",
                      Bytes(report, sizeof report));
            for (const Step &step : steps) {
                SCOPED_TRACE(step.what);
                step.change(dinput, port + 1);
                if (step.sleepMs)
                    Sleep(step.sleepMs);
                pad.Poll();
                EXPECT_EQ(analog ? step.analog : step.digital, Bytes(report + 3, analog ? 6 : 2));
                EXPECT_EQ(0xCC, report[analog ? 9 : 5]) << "nothing past the report";
            }
            EXPECT_EQ(3, dinput.Count("EnumDevices")) << "at the first poll and once for each return";
            EXPECT_EQ(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND, dinput.Count("cooperative"));
            EXPECT_EQ(static_cast<LONG>(sizeof(DIJOYSTATE2)), dinput.Count("dataSize"));
            EXPECT_EQ(0, dinput.Count("rangeMin"));
            EXPECT_EQ(65535, dinput.Count("rangeMax"));
            EXPECT_EQ(port == 1 ? 9 : 0, dinput.Count("Poll"))
                << "only the device that needs it, before each read (two where it was taken back)";
            EXPECT_EQ(0, xinput.Calls(0) + xinput.Calls(1) + xinput.Calls(2) + xinput.Calls(3));
            pad.Close();
            EXPECT_EQ(0, dinput.Count("open")) << "every device released";
            pad.Poll();
            EXPECT_EQ(analog ? "ff ff 80 80 80 80" : "ff ff", Bytes(report + 3, analog ? 6 : 2));
        }
    }
}

TEST(PadJoy, AnAnalogXInputPadSendsItsThumbsticks)
{
    FakeXInput xinput;
    XINPUT_GAMEPAD held = { XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_LEFT_THUMB, 0, 0, -32768, 32767, 32767, -32768 };
    xinput.Script(1, ERROR_SUCCESS, &held);
    PadJoy pad(1);
    RecordingHost host;
    host.Answer("PADJOY2", "Controller", "1");
    host.Answer("PADJOY2", "PadType", "analog");
    ASSERT_EQ(0, pad.Open(&host.record));
    uint8_t report[9] = {};
    ASSERT_EQ(9, pad.InitHeader(report));
    pad.Poll();
    /* L3 and Cross; right stick right and down, left stick left and up;
       the stick no longer presses the D-pad. */
    EXPECT_EQ("00 73 5a fd bf ff ff 00 00", Bytes(report, 9));
    xinput.Disconnect(1);
    pad.Poll();
    EXPECT_EQ("00 73 5a ff ff 80 80 80 80", Bytes(report, 9));
    pad.Close();
}

TEST(PadJoyDialog, DirectInputControllersAreListedOnceAndMappedBySet)
{
    auto select = [](int row) {
        return Check([row](HWND d) { SendDlgItemMessageA(d, IDC_BUTTONS, LB_SETCURSEL, static_cast<WPARAM>(row), 0); });
    };
    auto device = [](FakeDInput *d, int id, const std::function<void(DIJOYSTATE2 &)> &change) {
        return Check([=](HWND) { d->Set(id, change); });
    };
    struct Row {
        const char *what;
        const char *stored;  /* Controller before */
        std::function<Steps(FakeDInput *)> steps;
        Lines combo;         /* past the four XInput lines */
        HostCalls writes;
    };
    const Lines attached = { "USB Gamepad", "Twin Pad" };
    const std::vector<Row> rows = {
        { "USB Gamepad chosen; Set on a button, an axis, a hat and a stick", NULL,
          [&](FakeDInput *d) {
              return Steps{
                  Choose(IDC_CONTROLLER, 4),
                  Shows(IDC_PROMPT, "The buttons have the defaults of a DirectInput controller."),
                  Check([](HWND dlg) { EXPECT_EQ("Cross\tButton 2", ListLine(dlg, 14)); }),
                  select(14), Press(IDC_SET), Wait(200),
                  device(d, 1, [](DIJOYSTATE2 &s) { s.rgbButtons[6] = 0x80; }),
                  Shows(IDC_PROMPT, "Cross is pressed by Button 2 or Button 7."),
                  select(8), Press(IDC_SET), Wait(200),
                  device(d, 1, [](DIJOYSTATE2 &s) { s.rgbButtons[6] = 0x80; s.lRz = 0; }),
                  Shows(IDC_PROMPT, "L2 is pressed by Button 7 or RZ axis -."),
                  select(4), Press(IDC_SET), Wait(200),
                  device(d, 1, [](DIJOYSTATE2 &s) { s.rgbButtons[6] = 0x80; s.lRz = 0; s.rgdwPOV[0] = 18000; }),
                  Shows(IDC_PROMPT, "Up is pressed by Hat 1 down."),
                  Choose(IDC_PADTYPE, 1),
                  Check([](HWND dlg) { EXPECT_EQ("Right stick X\tZ axis +", ListLine(dlg, 16)); }),
                  select(16), Press(IDC_SET), Wait(200),
                  device(d, 1, [](DIJOYSTATE2 &s) {
                      s.rgbButtons[6] = 0x80; s.lRz = 0; s.rgdwPOV[0] = 18000; s.lX = 0; s.rgbButtons[0] = 0x80;
                  }),
                  Shows(IDC_PROMPT, "Right stick X is driven by X axis -."),
                  Shows(IDC_LIVE, "Pressed now: Up, Down, Left, L2, Cross, Square. Right stick FF 00, left stick 00 80"),
                  Press(IDOK) };
          },
          attached,
          Stored("PADJOY1", kUsbPad,
                 "B9,B11,B12,B10,POV0DOWN,POV0RIGHT/X+,POV0DOWN/Y+,POV0LEFT/X-,B7/RZ-,B8,B5,B6,B4,B3,B2/B7,B1",
                 "analog", "X-,RZ+,X+,Y+") },
        { "a stored device that is not attached: listed, kept", "{6B6F76FF-0000-0000-0000-000000000000} Old Pad",
          [&](FakeDInput *) {
              return Steps{ Shows(IDC_LIVE, "Old Pad is not connected."),
                            Check([](HWND dlg) { EXPECT_EQ("Up\tHat 1 up or Y axis -", ListLine(dlg, 4)); }),
                            Press(IDOK) };
          },
          { "USB Gamepad", "Twin Pad", "Old Pad (not connected)" },
          Stored("PADJOY1", "{6B6F76FF-0000-0000-0000-000000000000} Old Pad",
                 "B9,B11,B12,B10,POV0UP/Y-,POV0RIGHT/X+,POV0DOWN/Y+,POV0LEFT/X-,B7,B8,B5,B6,B4,B3,B2,B1",
                 "digital", "Z+,RZ+,X+,Y+") },
        { "a stored device on another port: found by its name, its new GUID stored; back to XInput",
          "{00000000-0000-0000-0000-000000000000} Twin Pad",
          [&](FakeDInput *d) {
              return Steps{ device(d, 2, [](DIJOYSTATE2 &s) { s.rgbButtons[9] = 0x80; }),
                            Shows(IDC_LIVE, "Pressed now: Start"),
                            Check([](HWND dlg) {
                                EXPECT_EQ(5, SendDlgItemMessageA(dlg, IDC_CONTROLLER, CB_GETCURSEL, 0, 0));
                            }),
                            Press(IDOK) };
          },
          attached,
          Stored("PADJOY1", kTwinPad,
                 "B9,B11,B12,B10,POV0UP/Y-,POV0RIGHT/X+,POV0DOWN/Y+,POV0LEFT/X-,B7,B8,B5,B6,B4,B3,B2,B1",
                 "digital", "Z+,RZ+,X+,Y+") },
        { "from a DirectInput device back to an XInput slot: XInput's defaults", kUsbPad,
          [&](FakeDInput *) {
              return Steps{ Choose(IDC_CONTROLLER, 0),
                            Shows(IDC_PROMPT, "The buttons have the defaults of an XInput controller."),
                            Press(IDOK) };
          },
          attached, Stored("PADJOY1", "0", kDefaultMap) },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        FakeDInput dinput;
        FakeXInput xinput;
        PadJoy pad(0);
        RecordingHost host;
        if (row.stored)
            host.Answer("PADJOY1", "Controller", row.stored);
        Lines combo;
        Steps steps = { Check([&](HWND d) { combo = ComboItems(d, IDC_CONTROLLER); }) };
        Steps rest = row.steps(&dinput);
        steps.insert(steps.end(), rest.begin(), rest.end());
        DialogDriver driver(kCaption, steps);
        EXPECT_EQ(0, pad.Configure(&host.record));
        EXPECT_TRUE(driver.finished()) << "dialog steps done: " << driver.stepsDone();
        Lines want = { "Controller 1 (not connected)", "Controller 2 (not connected)",
                       "Controller 3 (not connected)", "Controller 4 (not connected)" };
        want.insert(want.end(), row.combo.begin(), row.combo.end());
        EXPECT_EQ(want, combo) << "the XInput controller DirectInput lists too is not listed again";
        EXPECT_EQ(row.writes, host.Calls("write"));
        EXPECT_EQ(0, dinput.Count("open")) << "every device released";
    }
}
