/* The report arithmetic of the keyboard pad, the mouse and the game
   controller, without a device: a made-up keyboard answers the key-state
   questions, made-up DirectInput and XInput states stand for the mouse and
   the controller. */
#include <string.h>

#include "kova_test.h"
#include "mousepad_logic.h"
#include "pad_report.h"
#include "padjoy_logic.h"
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
        JoyMap map;
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
        { "12", 0 }, { "x", 0 }, { "2x", 0 },
    };
    for (const auto &row : controllers)
        EXPECT_EQ(row.second, JoyReadController(row.first)) << "\"" << row.first << "\"";

    /* "Set": the first new control; held ones do not count. */
    EXPECT_EQ(JOY_NONE, JoyNewControl(0, 0));
    EXPECT_EQ(JOY_A, JoyNewControl(0, (1u << JOY_A) | (1u << JOY_RSUP)));
    EXPECT_EQ(JOY_RSUP, JoyNewControl(1u << JOY_A, (1u << JOY_A) | (1u << JOY_RSUP)));
    EXPECT_EQ(JOY_NONE, JoyNewControl(1u << JOY_A, 1u << JOY_A));

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
