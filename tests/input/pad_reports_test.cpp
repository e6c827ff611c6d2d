/* The report arithmetic of the keyboard pad, the mouse and the game
   controller, without a device: a made-up keyboard answers the key-state
   questions, made-up DirectInput and XInput states stand for the mouse and
   the controller. */
#include <string.h>

#include "padjoy_logic.h"  /* DirectInput 8's header, which serves the mouse too */
#include "kova_test.h"
#include "mousepad_logic.h"
#include "pad_report.h"
#include "padkeys_logic.h"

namespace {

/* ---- a keyboard whose held keys a row names ---- */

std::vector<int> HeldKeys;
std::vector<int> AskedKeys;
SHORT HeldAnswer = static_cast<SHORT>(0x8000);

SHORT WINAPI MadeUpKeyState(int virtualKey)
{
    AskedKeys.push_back(virtualKey);
    for (int held : HeldKeys)
        if (held == virtualKey)
            return HeldAnswer;
    return 0;
}

/* Bytes 3 and 4 of a digital pad report after one poll of the keyboard. */
std::string PollKeys(const std::vector<int> &held)
{
    HeldKeys = held;
    AskedKeys.clear();
    uint8_t report[6];
    memset(report, 0xCC, sizeof report);
    PadWriteButtons(report, PadKeysPressed(MadeUpKeyState));
    return Bytes(report, sizeof report);
}

} // namespace

TEST(PadKeysReport, HeldKeysClearTheirButtonBits)
{
    struct Row {
        const char *what;
        std::vector<int> held;
        const char *bytes; /* 0 to 5; only 3 and 4 are the pad's */
    };
    const Row rows[] = {
        { "no key", {}, "cc cc cc ff ff cc" },
        { "Insert: L2", { VK_INSERT }, "cc cc cc ff fe cc" },
        { "Page Up: R2", { VK_PRIOR }, "cc cc cc ff fd cc" },
        { "Delete: L1", { VK_DELETE }, "cc cc cc ff fb cc" },
        { "Page Down: R1", { VK_NEXT }, "cc cc cc ff f7 cc" },
        { "V: Triangle", { 'V' }, "cc cc cc ff ef cc" },
        { "Z: Circle", { 'Z' }, "cc cc cc ff df cc" },
        { "X: Cross", { 'X' }, "cc cc cc ff bf cc" },
        { "C: Square", { 'C' }, "cc cc cc ff 7f cc" },
        { "Tab: Select", { VK_TAB }, "cc cc cc fe ff cc" },
        { "Enter: Start", { VK_RETURN }, "cc cc cc f7 ff cc" },
        { "Up", { VK_UP }, "cc cc cc ef ff cc" },
        { "Right", { VK_RIGHT }, "cc cc cc df ff cc" },
        { "Down", { VK_DOWN }, "cc cc cc bf ff cc" },
        { "Left", { VK_LEFT }, "cc cc cc 7f ff cc" },
        { "Up and Down together are not filtered", { VK_UP, VK_DOWN }, "cc cc cc af ff cc" },
        { "all fourteen: L3 and R3 stay released",
          { VK_INSERT, VK_PRIOR, VK_DELETE, VK_NEXT, 'V', 'Z', 'X', 'C', VK_TAB, VK_RETURN, VK_UP,
            VK_RIGHT, VK_DOWN, VK_LEFT },
          "cc cc cc 06 00 cc" },
        { "keys outside the table do nothing", { VK_SPACE, VK_SHIFT, 'A', VK_ESCAPE, VK_F1 },
          "cc cc cc ff ff cc" },
        { "lower-case codes are not letter keys", { 'v', 'z' }, "cc cc cc ff ff cc" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.bytes, PollKeys(row.held));
    }
}

TEST(PadKeysReport, AsksForTheFourteenKeysInTableOrderOnly)
{
    PollKeys({});
    const std::vector<int> asked = { VK_INSERT, VK_PRIOR, VK_DELETE, VK_NEXT, 'V', 'Z', 'X', 'C',
                                     VK_TAB, VK_RETURN, VK_UP, VK_RIGHT, VK_DOWN, VK_LEFT };
    EXPECT_EQ(asked, AskedKeys);
    PollKeys({ VK_UP });
    EXPECT_EQ(asked, AskedKeys) << "the same questions at every poll";
}

TEST(PadKeysReport, OnlyTheDownNowBitOfTheAnswerCounts)
{
    struct Row {
        SHORT answer;
        const char *bytes;
    };
    const Row rows[] = {
        { 0x0001, "cc cc cc ff ff cc" }, /* went down since the last question, up now */
        { static_cast<SHORT>(0x8000), "cc cc cc f7 ff cc" },
        { static_cast<SHORT>(0x8001), "cc cc cc f7 ff cc" },
        { static_cast<SHORT>(0xFFFF), "cc cc cc f7 ff cc" },
        { 0x7FFF, "cc cc cc ff ff cc" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "answer 0x" << std::hex << (row.answer & 0xFFFF));
        HeldAnswer = row.answer;
        EXPECT_EQ(row.bytes, PollKeys({ VK_RETURN }));
    }
    HeldAnswer = static_cast<SHORT>(0x8000);
}

TEST(MouseReport, HeaderPresetsARestingMouse)
{
    uint8_t report[9];
    memset(report, 0xCC, sizeof report);
    EXPECT_EQ(7, PadWriteMouseHeader(report));
    EXPECT_EQ("cc 12 5a ff ff 00 00 cc cc", Bytes(report, sizeof report));
    EXPECT_EQ(7, PadWriteMouseHeader(NULL)) << "no buffer: the length, nothing written";
}

TEST(MouseReport, MotionIsClampedToASignedByte)
{
    struct Row {
        int32_t counts;
        uint8_t byte;
    };
    const Row rows[] = {
        { 0, 0x00 },      { 1, 0x01 },      { -1, 0xFF },       { 126, 0x7E },
        { 127, 0x7F },    { 128, 0x7F },    { 300, 0x7F },      { -127, 0x81 },
        { -128, 0x80 },   { -129, 0x80 },   { -300, 0x80 },     { 255, 0x7F },
        { 256, 0x7F },    { -256, 0x80 },   { INT32_MAX, 0x7F }, { INT32_MIN, 0x80 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.counts);
        EXPECT_EQ(row.byte, PadClampMotion(row.counts));
    }
}

TEST(MouseReport, StateGivesButtonsAndMotionInBytesFourToSix)
{
    struct Row {
        const char *what;
        DIMOUSESTATE state;
        const char *bytes; /* 0 to 7 */
    };
    const Row rows[] = {
        { "at rest", { 0, 0, 0, { 0, 0, 0, 0 } }, "cc cc cc cc ff 00 00 cc" },
        { "left", { 0, 0, 0, { 0x80, 0, 0, 0 } }, "cc cc cc cc f7 00 00 cc" },
        { "right", { 0, 0, 0, { 0, 0x80, 0, 0 } }, "cc cc cc cc fb 00 00 cc" },
        { "both", { 0, 0, 0, { 0x80, 0x80, 0, 0 } }, "cc cc cc cc f3 00 00 cc" },
        { "only bit 7 means down", { 0, 0, 0, { 0x7F, 0x7F, 0, 0 } }, "cc cc cc cc ff 00 00 cc" },
        { "bit 7 with other bits", { 0, 0, 0, { 0xFF, 0x81, 0, 0 } }, "cc cc cc cc f3 00 00 cc" },
        { "third and fourth buttons and the wheel are not reported",
          { 0, 0, 120, { 0, 0, 0x80, 0x80 } }, "cc cc cc cc ff 00 00 cc" },
        { "right and down as DirectInput gives them", { 30, 20, 0, { 0, 0, 0, 0 } },
          "cc cc cc cc ff 1e 14 cc" },
        { "left and up", { -30, -20, 0, { 0, 0, 0, 0 } }, "cc cc cc cc ff e2 ec cc" },
        { "+300 and -300 clamp", { 300, -300, 0, { 0x80, 0, 0, 0 } }, "cc cc cc cc f7 7f 80 cc" },
        { "-1", { -1, -1, 0, { 0, 0, 0, 0 } }, "cc cc cc cc ff ff ff cc" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        uint8_t report[8];
        memset(report, 0xCC, sizeof report);
        MouseWriteState(report, row.state);
        EXPECT_EQ(row.bytes, Bytes(report, sizeof report));
    }
    uint8_t report[8];
    memset(report, 0xCC, sizeof report);
    MouseWriteNeutral(report);
    EXPECT_EQ("cc cc cc cc ff 00 00 cc", Bytes(report, sizeof report));
}

/* ---- the game controller ---- */

namespace {

/* A controller state; what a row leaves out is at rest. */
struct JoyState {
    WORD buttons;
    BYTE lt, rt;
    SHORT lx, ly, rx, ry;
    JoyState(WORD b = 0, BYTE l = 0, BYTE r = 0, SHORT x = 0, SHORT y = 0, SHORT x2 = 0, SHORT y2 = 0)
        : buttons(b), lt(l), rt(r), lx(x), ly(y), rx(x2), ry(y2)
    {
    }
};

/* Bytes 3 and 4 after one poll of the state through the map. */
std::string JoyBytes(const JoyState &s, const JoyMap &map)
{
    XINPUT_GAMEPAD pad = { s.buttons, s.lt, s.rt, s.lx, s.ly, s.rx, s.ry };
    uint8_t report[5] = {};
    PadWriteButtons(report, JoyPressedButtons(pad, map));
    return Bytes(report + 3, 2);
}

std::string MapText(const JoyMap &map)
{
    char text[KOVA_SETTING_SIZE];
    EXPECT_TRUE(JoyWriteMap(map, text, sizeof text));
    return text;
}

const char kDefaultMap[] =
    "BACK,LS,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A,X";

} // namespace

TEST(PadJoyReport, ControlsPressTheirButtonsPastTheThresholds)
{
    struct Row {
        const char *what;
        JoyState state;
        const char *bytes; /* 3 and 4 */
    };
    const Row rows[] = {
        { "nothing", {}, "ff ff" },
        { "Back: Select", { XINPUT_GAMEPAD_BACK }, "fe ff" },
        { "left stick click: L3", { XINPUT_GAMEPAD_LEFT_THUMB }, "fd ff" },
        { "right stick click: R3", { XINPUT_GAMEPAD_RIGHT_THUMB }, "fb ff" },
        { "Start", { XINPUT_GAMEPAD_START }, "f7 ff" },
        { "D-pad up", { XINPUT_GAMEPAD_DPAD_UP }, "ef ff" },
        { "D-pad right", { XINPUT_GAMEPAD_DPAD_RIGHT }, "df ff" },
        { "D-pad down", { XINPUT_GAMEPAD_DPAD_DOWN }, "bf ff" },
        { "D-pad left", { XINPUT_GAMEPAD_DPAD_LEFT }, "7f ff" },
        { "left trigger 255: L2", { 0, 255 }, "ff fe" },
        { "right trigger 255: R2", { 0, 0, 255 }, "ff fd" },
        { "LB: L1", { XINPUT_GAMEPAD_LEFT_SHOULDER }, "ff fb" },
        { "RB: R1", { XINPUT_GAMEPAD_RIGHT_SHOULDER }, "ff f7" },
        { "Y: Triangle", { XINPUT_GAMEPAD_Y }, "ff ef" },
        { "B: Circle", { XINPUT_GAMEPAD_B }, "ff df" },
        { "A: Cross", { XINPUT_GAMEPAD_A }, "ff bf" },
        { "X: Square", { XINPUT_GAMEPAD_X }, "ff 7f" },
        { "triggers at half-way (127): not yet", { 0, 127, 127 }, "ff ff" },
        { "triggers just past it (128)", { 0, 128, 128 }, "ff fc" },
        { "left stick up 16383: not yet", { 0, 0, 0, 0, 16383 }, "ff ff" },
        { "left stick up 16384: Up", { 0, 0, 0, 0, 16384 }, "ef ff" },
        { "left stick right 32767: Right", { 0, 0, 0, 32767 }, "df ff" },
        { "left stick down -16384: not yet", { 0, 0, 0, 0, -16384 }, "ff ff" },
        { "left stick down -16385: Down", { 0, 0, 0, 0, -16385 }, "bf ff" },
        { "left stick left -32768: Left", { 0, 0, 0, -32768 }, "7f ff" },
        { "right stick all the way: nothing by default", { 0, 0, 0, 0, 0, 32767, -32768 }, "ff ff" },
        { "D-pad up and the stick up: one Up", { XINPUT_GAMEPAD_DPAD_UP, 0, 0, 0, 30000 }, "ef ff" },
        { "stick up-left, A and both triggers", { XINPUT_GAMEPAD_A, 200, 200, -20000, 20000 }, "6f bc" },
        { "everything", { 0xF3FF, 255, 255, 32767, 32767, 32767, 32767 }, "00 00" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.bytes, JoyBytes(row.state, kJoyDefaultMap));
    }
}

TEST(PadJoyReport, TheMapSettingIsReadEntryByEntry)
{
    struct Row {
        const char *value;
        const char *read;  /* the map as it is written back */
        JoyState state;
        const char *bytes;
    };
    const Row rows[] = {
        { "", kDefaultMap, {}, "ff ff" },
        { kDefaultMap, kDefaultMap, { XINPUT_GAMEPAD_A }, "ff bf" },
        { "A/B,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-", "A/B,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-", { XINPUT_GAMEPAD_B }, "fe ff" },
        { "a / rsup , lt", "A/RSUP,LT,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A,X",
          { 0, 255, 0, 0, 0, 0, 20000 }, "fc fe" },
        { "A/A", "A,LS,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A,X",
          { XINPUT_GAMEPAD_A }, "fe bf" },
        { "NOPE,,A/B/X,A/,/A,-/A,BACKK", kDefaultMap, { XINPUT_GAMEPAD_A }, "ff bf" },
        { "-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,A,A,A", "-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-",
          { XINPUT_GAMEPAD_A }, "ff ff" },
        { "X,X,X,X,X,X,X,X,X,X,X,X,X,X,X,X", "X,X,X,X,X,X,X,X,X,X,X,X,X,X,X,X", { XINPUT_GAMEPAD_X }, "00 00" },
        { ",,,,,,,,,,,,,,,RSRIGHT/rsleft", "BACK,LS,RS,START,UP/LSUP,RIGHT/LSRIGHT,DOWN/LSDOWN,LEFT/LSLEFT,LT,RT,LB,RB,Y,B,A,RSRIGHT/RSLEFT",
          { XINPUT_GAMEPAD_X, 0, 0, 0, 0, -20000 }, "ff 7f" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.value);
        JoyMap map = kJoyDefaultMap;
        JoyReadMap(row.value, &map);
        EXPECT_EQ(row.read, MapText(map));
        EXPECT_EQ(row.bytes, JoyBytes(row.state, map));
    }
    char tiny[8] = "x";
    EXPECT_FALSE(JoyWriteMap(kJoyDefaultMap, tiny, sizeof tiny)) << "does not fit";
    EXPECT_EQ("", std::string(tiny));
}

TEST(PadJoyReport, ControllerSettingAndTheDialogsRules)
{
    const std::pair<const char *, int> controllers[] = {
        { "", 0 }, { "0", 0 }, { "1", 1 }, { "3", 3 }, { " 2 ", 2 }, { "4", 0 }, { "-1", 0 },
        { "12", 0 }, { "x", 0 }, { "2x", 0 }, { "{6B6F7600-1234-5678-9ABC-DEF011223300}", JOY_DIRECT },
        { "{6B6F7600-1234-5678-9ABC-DEF01122330}", 0 }, { "{6B6F7600-1234-5678-9ABC_DEF011223300} Pad", 0 },
        { "{6B6F7600-1234-5678-9ABC-DEF01122330X} Pad", 0 },
    };
    for (const auto &row : controllers) {
        JoyController c;
        JoyReadController(row.first, &c);
        EXPECT_EQ(row.second, c.user) << "\"" << row.first << "\"";
    }
    /* A DirectInput device: its GUID and product name, written back as
       read; the name finds it when the GUID is another. */
    JoyController pad;
    JoyReadController(" {6b6f7600-1234-5678-9abc-def011223300}  USB Gamepad ", &pad);
    char text[KOVA_SETTING_SIZE];
    ASSERT_TRUE(JoyWriteController(pad, text, sizeof text));
    EXPECT_EQ("{6B6F7600-1234-5678-9ABC-DEF011223300} USB Gamepad", std::string(text));
    JoyDevice devices[3] = {};
    JoyReadController("{00000001-0000-0000-0000-000000000000}", &pad);
    ASSERT_TRUE(JoyWriteController(pad, text, sizeof text));
    EXPECT_EQ("{00000001-0000-0000-0000-000000000000}", std::string(text)) << "without a name";
    devices[0].instance = pad.instance;
    BufSet(devices[1].product, "USB Gamepad");
    BufSet(devices[2].product, "USB Gamepad");
    JoyReadController(" {6b6f7600-1234-5678-9abc-def011223300}  USB Gamepad ", &pad);
    EXPECT_EQ(1, JoyFindDevice(pad, devices, 3)) << "by name: the first";
    devices[2].instance = pad.instance;
    EXPECT_EQ(2, JoyFindDevice(pad, devices, 3)) << "by GUID before any name";
    EXPECT_EQ(-1, JoyFindDevice(pad, devices, 1));
    EXPECT_TRUE(JoyIsXInputPath(L"\\\\?\\hid#vid_045e&pid_028e&IG_00#1"));
    EXPECT_TRUE(JoyIsXInputPath(L"\\\\?\\hid#vid_045e&pid_028e&ig_00#1"));
    EXPECT_FALSE(JoyIsXInputPath(L"\\\\?\\hid#vid_054c&pid_05c4#1"));
    EXPECT_FALSE(JoyIsXInputPath(L""));
    EXPECT_TRUE(JoyReadAnalog(" Analog "));
    EXPECT_FALSE(JoyReadAnalog("digital"));
    EXPECT_FALSE(JoyReadAnalog("analogue"));

    /* "Set": the first new control; held ones do not count; for a stick
       only an axis. */
    JoyActive none = {}, a = {}, aAndUp = {}, aAndB7 = {};
    a.bits[0] = 1u << JOY_A;
    aAndUp.bits[0] = (1u << JOY_A) | (1u << JOY_RSUP);
    aAndB7 = a;
    aAndB7.bits[JOY_DI_BUTTON_OF(6) / 32] |= 1u << (JOY_DI_BUTTON_OF(6) % 32);
    EXPECT_EQ(JOY_NONE, JoyNewControl(none, none, false));
    EXPECT_EQ(JOY_A, JoyNewControl(none, aAndUp, false));
    EXPECT_EQ(JOY_RSUP, JoyNewControl(none, aAndUp, true));
    EXPECT_EQ(JOY_RSUP, JoyNewControl(a, aAndUp, false));
    EXPECT_EQ(JOY_NONE, JoyNewControl(a, a, false));
    EXPECT_EQ(JOY_DI_BUTTON_OF(6), JoyNewControl(a, aAndB7, false));
    EXPECT_EQ(JOY_NONE, JoyNewControl(a, aAndB7, true));

    /* Set on one button, in turn: first, second, the same again, a third
       starts again; Clear. */
    struct Step {
        int control;  /* JOY_NONE: Clear */
        const char *line;
    };
    const Step steps[] = {
        { JOY_NONE, "Cross\t(none)" },       { JOY_RT, "Cross\tRT" },
        { JOY_RSLEFT, "Cross\tRT or Right stick left" },
        { JOY_RT, "Cross\tRT or Right stick left" }, { JOY_B, "Cross\tB" },
    };
    JoyMap map = kJoyDefaultMap;
    for (const Step &step : steps) {
        if (step.control == JOY_NONE)
            JoyClearButton(&map, 14);
        else
            JoyAddControl(&map, 14, step.control);
        char line[96];
        JoyFormatButton(map, 14, line, sizeof line);
        EXPECT_EQ(step.line, std::string(line));
    }

    char pressed[128];
    JoyFormatPressed(0, pressed, sizeof pressed);
    EXPECT_EQ("nothing", std::string(pressed));
    JoyFormatPressed(0xFFFF, pressed, sizeof pressed);
    EXPECT_EQ("Select, L3, R3, Start, Up, Right, Down, Left, L2, R2, L1, R1, Triangle, Circle, Cross, Square",
              std::string(pressed));
}

namespace {

/* A DirectInput pad at rest: 12 buttons, one hat, X, Y, Z and RZ centred
   and a slider (a trigger) resting at 0. */
struct DiPad {
    DIJOYSTATE2 state;
    JoyDirectShape shape;
    DiPad()
    {
        memset(&state, 0, sizeof state);
        state.lX = state.lY = state.lZ = state.lRz = JOY_AXIS_CENTRE;
        for (DWORD &pov : state.rgdwPOV)
            pov = 0xFFFFFFFF;
        memset(&shape, 0, sizeof shape);
        shape.buttons = 12;
        shape.povs = 1;
        for (int a : { JOY_AXIS_X, JOY_AXIS_Y, JOY_AXIS_Z, JOY_AXIS_RZ, JOY_AXIS_S0 })
            shape.hasAxis[a] = true;
        const LONG first[JOY_DI_AXES] = { state.lX, state.lY, state.lZ, 0, 0, state.lRz, 0, 0 };
        for (int a = 0; a < JOY_DI_AXES; a++)
            shape.rest[a] = JoyRestOf(first[a]);
    }
};

/* Bytes 3 and 4 of the pad through the map, and the names of the
   controls it holds. */
std::string DiBytes(const DiPad &pad, const JoyMap &map)
{
    JoyWords words;
    JoyMapWords(map, &words);
    JoyActive active;
    JoyDirectControls(pad.state, pad.shape, &active);
    uint8_t report[5] = {};
    PadWriteButtons(report, JoyButtonsOf(active, words));
    std::string names;
    for (int c = 1; c < JOY_CONTROL_END; c++) {
        if ((active.bits[c / 32] >> (c % 32)) & 1) {
            char name[16];
            JoyControlName(c, name, sizeof name);
            names += std::string(" ") + name;
        }
    }
    return Bytes(report + 3, 2) + names;
}

} // namespace

TEST(PadJoyReport, DirectInputButtonsAxesAndHatsPressThroughTheirDefaults)
{
    struct Row {
        const char *what;
        std::function<void(DIJOYSTATE2 &)> change;
        const char *bytes; /* 3 and 4, then the controls held */
    };
    const Row rows[] = {
        { "at rest: the slider resting at 0 holds nothing", [](DIJOYSTATE2 &) {}, "ff ff" },
        { "button 1: Square", [](DIJOYSTATE2 &s) { s.rgbButtons[0] = 0x80; }, "ff 7f B1" },
        { "buttons 2, 3, 4: Cross, Circle, Triangle",
          [](DIJOYSTATE2 &s) { s.rgbButtons[1] = s.rgbButtons[2] = s.rgbButtons[3] = 0x80; }, "ff 8f B2 B3 B4" },
        { "buttons 5 to 8: L1, R1, L2, R2",
          [](DIJOYSTATE2 &s) { memset(s.rgbButtons + 4, 0x80, 4); }, "ff f0 B5 B6 B7 B8" },
        { "9, 10, 11, 12: Select, Start, L3, R3",
          [](DIJOYSTATE2 &s) { memset(s.rgbButtons + 8, 0x80, 4); }, "f0 ff B9 B10 B11 B12" },
        { "a button byte without bit 7 is not held", [](DIJOYSTATE2 &s) { s.rgbButtons[0] = 0x7F; }, "ff ff" },
        { "button 13, past the 12 the pad has", [](DIJOYSTATE2 &s) { s.rgbButtons[12] = 0x80; }, "ff ff" },
        { "hat up (0): Up", [](DIJOYSTATE2 &s) { s.rgdwPOV[0] = 0; }, "ef ff POV0UP" },
        { "hat up-right (4500): Up and Right", [](DIJOYSTATE2 &s) { s.rgdwPOV[0] = 4500; },
          "cf ff POV0UP POV0RIGHT" },
        { "hat 2249 from right: Right only", [](DIJOYSTATE2 &s) { s.rgdwPOV[0] = 9000 + 2249; }, "df ff POV0RIGHT" },
        { "hat down-left (22500)", [](DIJOYSTATE2 &s) { s.rgdwPOV[0] = 22500; }, "3f ff POV0DOWN POV0LEFT" },
        { "hat up-left (31500)", [](DIJOYSTATE2 &s) { s.rgdwPOV[0] = 31500; }, "6f ff POV0UP POV0LEFT" },
        { "hat centred with a low word of 0xFFFF", [](DIJOYSTATE2 &s) { s.rgdwPOV[0] = 0x0000FFFF; }, "ff ff" },
        { "second hat, which the pad has not", [](DIJOYSTATE2 &s) { s.rgdwPOV[1] = 0; }, "ff ff" },
        { "X at 49150: not yet", [](DIJOYSTATE2 &s) { s.lX = 49150; }, "ff ff" },
        { "X at 49151: Right", [](DIJOYSTATE2 &s) { s.lX = 49151; }, "df ff X+" },
        { "Y at 16384: not yet", [](DIJOYSTATE2 &s) { s.lY = 16384; }, "ff ff" },
        { "Y at 16383: Up", [](DIJOYSTATE2 &s) { s.lY = 16383; }, "ef ff Y-" },
        { "Y at 65535: Down", [](DIJOYSTATE2 &s) { s.lY = 65535; }, "bf ff Y+" },
        { "X at 0: Left", [](DIJOYSTATE2 &s) { s.lX = 0; }, "7f ff X-" },
        { "Z and RZ to the ends: no button by default",
          [](DIJOYSTATE2 &s) { s.lZ = 0; s.lRz = 65535; }, "ff ff Z- RZ+" },
        { "slider from rest 0: 32767 not yet", [](DIJOYSTATE2 &s) { s.rglSlider[0] = 32767; }, "ff ff" },
        { "slider from rest 0: 32768 is S0+", [](DIJOYSTATE2 &s) { s.rglSlider[0] = 32768; }, "ff ff S0+" },
        { "RX moved, which the pad has not", [](DIJOYSTATE2 &s) { s.lRx = 65535; }, "ff ff" },
    };
    const JoyMap &digital = JoyDefaultMap(true, false);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        DiPad pad;
        row.change(pad.state);
        EXPECT_EQ(row.bytes, DiBytes(pad, digital));
    }
    /* The analog defaults leave the stick off the D-pad. */
    DiPad pad;
    pad.state.lX = 0;
    pad.state.rgdwPOV[0] = 18000;
    EXPECT_EQ("bf ff X- POV0DOWN", DiBytes(pad, JoyDefaultMap(true, true)));
    /* Resting values: the nearest of the ends and the centre. */
    const std::pair<LONG, LONG> rests[] = { { 0, 0 }, { 16383, 0 }, { 16384, JOY_AXIS_CENTRE },
                                            { 32767, JOY_AXIS_CENTRE }, { 49151, JOY_AXIS_CENTRE },
                                            { 49152, JOY_AXIS_MAX }, { 65535, JOY_AXIS_MAX } };
    for (const auto &rest : rests)
        EXPECT_EQ(rest.second, JoyRestOf(rest.first)) << rest.first;
}

TEST(PadJoyReport, DirectInputNamesAreReadAndWrittenBack)
{
    struct Row {
        const char *value, *read;
    };
    const Row rows[] = {
        { "b7,x+ ,RZ-,pov0up,POV3LEFT,B128,s1+,A/B1,-,-,-,-,-,-,-,-",
          "B7,X+,RZ-,POV0UP,POV3LEFT,B128,S1+,A/B1,-,-,-,-,-,-,-,-" },
        /* not names: keep the defaults of those entries */
        { "B0,B129,Z,X*,POV4UP,POV0,B07x,Q+,POV0UPP,-,-,-,-,-,-,-",
          "B9,B11,B12,B10,POV0UP/Y-,POV0RIGHT/X+,POV0DOWN/Y+,POV0LEFT/X-,B7,-,-,-,-,-,-,-" },
    };
    for (const Row &row : rows) {
        JoyMap map = JoyDefaultMap(true, false);
        JoyReadMap(row.value, &map);
        EXPECT_EQ(row.read, MapText(map));
    }
    EXPECT_EQ("B9,B11,B12,B10,POV0UP,POV0RIGHT,POV0DOWN,POV0LEFT,B7,B8,B5,B6,B4,B3,B2,B1",
              MapText(JoyDefaultMap(true, true)));
    EXPECT_EQ("BACK,LS,RS,START,UP,RIGHT,DOWN,LEFT,LT,RT,LB,RB,Y,B,A,X", MapText(JoyDefaultMap(false, true)));

    /* "Sticks": one axis control each; a button or a hat is not one. */
    const Row sticks[] = {
        { "", "Z+,RZ+,X+,Y+" },
        { "rx-, Y- ,-,S0+", "RX-,Y-,-,S0+" },
        { "B1,POV0UP,LSRIGHT,nope,Y+", "Z+,RZ+,LSRIGHT,Y+" },
    };
    for (const Row &row : sticks) {
        JoyMap map = JoyDefaultMap(true, true);
        JoyReadSticks(row.value, &map);
        char text[KOVA_SETTING_SIZE];
        EXPECT_TRUE(JoyWriteSticks(map, text, sizeof text));
        EXPECT_EQ(row.read, std::string(text)) << row.value;
    }
    char label[32];
    const std::pair<int, const char *> labels[] = {
        { JOY_DI_BUTTON_OF(6), "Button 7" }, { JOY_DI_AXIS_OF(JOY_AXIS_RZ, false), "RZ axis -" },
        { JOY_DI_POV_OF(0, 0), "Hat 1 up" }, { JOY_LSUP, "Left stick up" }, { JOY_CONTROL_END, "(none)" },
    };
    for (const auto &l : labels) {
        JoyControlLabel(l.first, label, sizeof label);
        EXPECT_EQ(l.second, std::string(label));
    }
}

TEST(PadJoyReport, StickBytesAtTheEndsTheCentreAndBetween)
{
    struct Row {
        SHORT thumb;   /* XInput: X as is, Y grows upwards */
        LONG axis;     /* DirectInput, range 0..65535 */
        const char *x, *y, *axisPlus, *axisMinus;
    };
    const Row rows[] = {
        { -32768, 0, "00", "ff", "00", "ff" },      /* the ends */
        { -32641, 127, "00", "ff", "00", "ff" },
        { -32640, 128, "01", "ff", "01", "ff" },    /* the first step off the end */
        { -129, 32639, "7f", "80", "7f", "80" },
        { -128, 32640, "80", "80", "80", "80" },    /* the centre's band */
        { -1, 32767, "80", "80", "80", "80" },
        { 0, 32768, "80", "80", "80", "80" },
        { 129, 32897, "80", "7f", "80", "7f" },
        { 130, 32898, "81", "7f", "81", "7f" },
        { 32637, 65405, "fe", "01", "fe", "01" },
        { 32638, 65406, "ff", "01", "ff", "01" },   /* the last step to the end */
        { 32767, 65535, "ff", "00", "ff", "00" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.thumb);
        JoyReading x = {};
        x.pad.sThumbRX = x.pad.sThumbLX = row.thumb;
        x.pad.sThumbRY = x.pad.sThumbLY = row.thumb;
        uint8_t sticks[JOY_STICK_COUNT];
        JoySticksOf(x, kJoyDefaultMap, sticks);
        EXPECT_EQ(std::string(row.x) + " " + row.y + " " + row.x + " " + row.y, Bytes(sticks, 4));

        DiPad pad;
        JoyReading d = {};
        d.direct = true;
        d.state = pad.state;
        d.shape = pad.shape;
        d.state.lX = d.state.lZ = row.axis;
        JoyMap map = JoyDefaultMap(true, true);
        map.sticks[1] = JOY_DI_AXIS_OF(JOY_AXIS_Z, false); /* right Y on Z, upside down */
        map.sticks[3] = JOY_DI_AXIS_OF(JOY_AXIS_RX, true); /* an axis the pad has not */
        JoySticksOf(d, map, sticks);
        EXPECT_EQ(std::string(row.axisPlus) + " " + row.axisMinus + " " + row.axisPlus + " 80", Bytes(sticks, 4));
    }
    uint8_t report[9] = { 0xCC, 0x73, 0x5A };
    const uint8_t sticks[4] = { 0x00, 0x80, 0xFF, 0x12 };
    PadWriteAnalog(report, JoyButtonBit(1) | JoyButtonBit(14), sticks);
    EXPECT_EQ("cc 73 5a fd bf 00 80 ff 12", Bytes(report, 9)) << "L3 and Cross";
    EXPECT_EQ(9, PadWriteHeader(NULL, PAD_ID_ANALOG));
}
