/* padidle through its real exports, loaded and opened afresh for each test. */
#include <string.h>

#include "kova_test.h"

namespace {

struct PadIdleLib : Joy0Exports {
    PadIdleLib() : Joy0Exports(ShippedPath("padidle.dll")) {}
};

class PadIdle : public testing::Test {
protected:
    PadIdleLib pad;
    uint8_t report[8];

    void SetUp() override
    {
        ASSERT_TRUE(pad.lib.loaded());
        ASSERT_EQ(0, pad.JOY0_Open(NULL));
        memset(report, 0xCC, sizeof report);
    }
    void TearDown() override { pad.JOY0_Close(); }
};

} // namespace

TEST_F(PadIdle, InitHeaderWritesOnlyIdentifierAndMarker)
{
    EXPECT_EQ(5, pad.JOY0_InitHeader(report));
    EXPECT_EQ("cc 41 5a cc cc cc cc cc", Bytes(report, 8));
}

TEST_F(PadIdle, PollsReleaseEveryButtonInTheLastRegisteredBufferOnly)
{
    uint8_t first[8] = {}, second[8] = {};
    ASSERT_EQ(5, pad.JOY0_InitHeader(first));
    pad.JOY0_Poll();
    EXPECT_EQ("00 41 5a ff ff 00 00 00", Bytes(first, 8));

    ASSERT_EQ(5, pad.JOY0_InitHeader(second));
    first[3] = first[4] = 0x12; /* a poll now must not reach the old buffer */
    pad.JOY0_Vibrate();
    pad.JOY0_Poll();
    pad.JOY0_Poll();
    EXPECT_EQ("00 41 5a 12 12 00 00 00", Bytes(first, 8));
    EXPECT_EQ("00 41 5a ff ff 00 00 00", Bytes(second, 8));
}

TEST_F(PadIdle, PollBeforeAnyInitHeaderWritesNothing)
{
    pad.JOY0_Poll(); /* no buffer yet: must not crash */
}

TEST_F(PadIdle, InitHeaderWithoutABufferWritesNothingAndLaterPollsNeither)
{
    ASSERT_EQ(5, pad.JOY0_InitHeader(report));
    EXPECT_EQ(5, pad.JOY0_InitHeader(NULL)); /* the buffer is withdrawn */
    pad.JOY0_Poll();
    EXPECT_EQ("cc 41 5a cc cc cc cc cc", Bytes(report, 8));
}
