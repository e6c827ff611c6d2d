/* The report arithmetic of the keyboard pad and the mouse, without a
   device: a made-up keyboard answers the key-state questions, made-up
   DirectInput states stand for the mouse. */
#include <string.h>

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
