/* padkeys through its real exports, with real key events: xdotool presses
   keys on the test display while a window of this process has the X
   keyboard focus, and the plugin reads Windows' asynchronous key state. */
#include <string.h>

#include "input_events.h"
#include "kova_test.h"

namespace {

struct PadKeys : Joy0Exports {
    PadKeys() : Joy0Exports(ShippedPath("padkeys.dll")) {}
};

} // namespace

TEST(PadKeys, InitHeaderWritesOnlyIdentifierAndMarker)
{
    for (bool opened : { true, false }) {
        SCOPED_TRACE(opened ? "opened" : "never opened, polled and vibrated before any buffer");
        PadKeys pad;
        ASSERT_TRUE(pad.lib.loaded());
        if (opened) {
            EXPECT_EQ(0, pad.JOY0_Open(NULL));
        } else {
            pad.JOY0_Poll();
            pad.JOY0_Vibrate();
            EXPECT_EQ(5, pad.JOY0_InitHeader(NULL)) << "no buffer: the length, and nothing written";
            pad.JOY0_Poll();
        }
        uint8_t report[8];
        memset(report, 0xCC, sizeof report);
        EXPECT_EQ(5, pad.JOY0_InitHeader(report));
        EXPECT_EQ("cc 41 5a cc cc cc cc cc", Bytes(report, sizeof report));
        if (!opened) {
            pad.JOY0_Poll();
            EXPECT_EQ("cc 41 5a ff ff cc cc cc", Bytes(report, sizeof report)) << "no key is held";
        }
        EXPECT_EQ(5, pad.JOY0_InitHeader(NULL)) << "no buffer: still the length";
        pad.JOY0_Poll(); /* and nothing to write to */
        pad.JOY0_Close();
    }
}

TEST(PadKeys, RealKeysHeldAtThePollClearTheirButtons)
{
    ASSERT_TRUE(HaveXDisplay()) << "real key events need the test display";
    ForegroundWindow window("padkeys window", false);
    PadKeys pad;
    ASSERT_TRUE(pad.lib.loaded());

    struct Row {
        const char *keys;  /* X key names, "" for none */
        const char *bytes; /* 0 to 5 */
    };
    const Row rows[] = {
        { "", "cc 41 5a ff ff cc" },
        { "Return", "cc 41 5a f7 ff cc" },
        { "Left", "cc 41 5a 7f ff cc" },
        { "Prior", "cc 41 5a ff fd cc" },
        { "Next", "cc 41 5a ff f7 cc" },
        { "Up Down", "cc 41 5a af ff cc" },
        { "Insert", "cc 41 5a ff fe cc" },
        { "Delete", "cc 41 5a ff fb cc" },
        { "Tab", "cc 41 5a fe ff cc" },
        { "v z", "cc 41 5a ff cf cc" },
        { "x c", "cc 41 5a ff 3f cc" },
        { "Right", "cc 41 5a df ff cc" },
        { kAllPadKeys, "cc 41 5a 06 00 cc" },
        { "space a Escape F1", "cc 41 5a ff ff cc" },
    };
    /* per row: the report while the keys are held, then after they went up */
    std::vector<std::string> seen;
    bool ran = RunUndisturbed(window, 0, [&]() {
        seen.clear();
        HeldInput held;
        EXPECT_EQ(0, pad.JOY0_Open(NULL));
        uint8_t report[6];
        memset(report, 0xCC, sizeof report);
        EXPECT_EQ(5, pad.JOY0_InitHeader(report));
        for (const Row &row : rows) {
            if (*row.keys && !held.KeysDown(row.keys))
                return false;
            pad.JOY0_Poll();
            seen.push_back(Bytes(report, sizeof report));
            if (*row.keys && !held.KeysUp(row.keys))
                return false;
            pad.JOY0_Poll();
            seen.push_back(Bytes(report, sizeof report));
        }
        pad.JOY0_Close();
        return true;
    });
    ASSERT_TRUE(ran);
    ASSERT_EQ(2 * dimof(rows), seen.size());
    for (size_t i = 0; i < dimof(rows); i++) {
        const char *what = *rows[i].keys ? rows[i].keys : "no key";
        EXPECT_EQ(rows[i].bytes, seen[2 * i]) << what << " held";
        EXPECT_EQ("cc 41 5a ff ff cc", seen[2 * i + 1]) << what << " up again";
    }
}

TEST(PadKeys, ASecondInitHeaderMovesLaterPollsToTheNewBuffer)
{
    ASSERT_TRUE(HaveXDisplay()) << "real key events need the test display";
    ForegroundWindow window("padkeys window", false);
    PadKeys pad;
    ASSERT_TRUE(pad.lib.loaded());
    uint8_t first[6], second[6];
    std::vector<std::string> seen;
    bool ran = RunUndisturbed(window, 0, [&]() {
        seen.clear();
        HeldInput held;
        EXPECT_EQ(0, pad.JOY0_Open(NULL));
        if (!held.KeysDown("Return"))
            return false;
        pad.JOY0_Poll(); /* before any init-header: nowhere to write, no harm */
        memset(first, 0xCC, sizeof first);
        memset(second, 0x00, sizeof second);
        EXPECT_EQ(5, pad.JOY0_InitHeader(first));
        seen.push_back(Bytes(first, sizeof first));
        pad.JOY0_Poll();
        seen.push_back(Bytes(first, sizeof first));
        EXPECT_EQ(5, pad.JOY0_InitHeader(second));
        seen.push_back(Bytes(second, sizeof second));
        if (!held.KeysDown("Left"))
            return false;
        pad.JOY0_Vibrate();
        pad.JOY0_Poll();
        seen.push_back(Bytes(second, sizeof second));
        seen.push_back(Bytes(first, sizeof first));
        pad.JOY0_Close();
        return true;
    });
    ASSERT_TRUE(ran);
    const std::vector<std::string> want = {
        "cc 41 5a cc cc cc", /* keys are read at polls only */
        "cc 41 5a f7 ff cc",
        "00 41 5a 00 00 00", /* the new buffer after its init-header */
        "00 41 5a 77 ff 00", /* Enter and Left, in the new buffer */
        "cc 41 5a f7 ff cc", /* the old buffer is not written any more */
    };
    EXPECT_EQ(want, seen);
}

