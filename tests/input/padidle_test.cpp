/* padidle through its real exports. */
#include <string.h>

#include "kova_test.h"

namespace {

struct PadIdle : Joy0Exports {
    PadIdle() : Joy0Exports(ShippedPath("padidle.dll")) {}
};

} // namespace

TEST(PadIdle, InitHeaderWritesOnlyIdentifierAndMarker)
{
    PadIdle pad;
    ASSERT_TRUE(pad.lib.loaded());
    EXPECT_EQ(0, pad.JOY0_Open(NULL));
    uint8_t report[8];
    memset(report, 0xCC, sizeof report);
    EXPECT_EQ(5, pad.JOY0_InitHeader(report));
    const uint8_t want[8] = { 0xCC, 0x41, 0x5A, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC };
    EXPECT_EQ(0, memcmp(want, report, sizeof want));
    pad.JOY0_Close();
}

TEST(PadIdle, PollsReleaseEveryButtonInTheLastRegisteredBufferOnly)
{
    PadIdle pad;
    ASSERT_TRUE(pad.lib.loaded());
    ASSERT_EQ(0, pad.JOY0_Open(NULL));
    uint8_t first[8], second[8];
    memset(first, 0x00, sizeof first);
    memset(second, 0x00, sizeof second);
    ASSERT_EQ(5, pad.JOY0_InitHeader(first));
    pad.JOY0_Poll();
    const uint8_t polled[8] = { 0x00, 0x41, 0x5A, 0xFF, 0xFF, 0x00, 0x00, 0x00 };
    EXPECT_EQ(0, memcmp(polled, first, sizeof polled));

    ASSERT_EQ(5, pad.JOY0_InitHeader(second));
    first[3] = first[4] = 0x12; /* a poll now must not reach the old buffer */
    pad.JOY0_Vibrate();
    pad.JOY0_Poll();
    pad.JOY0_Poll();
    EXPECT_EQ(0x12, first[3]);
    EXPECT_EQ(0x12, first[4]);
    EXPECT_EQ(0, memcmp(polled, second, sizeof polled));
    pad.JOY0_Close();
}

TEST(PadIdle, PollBeforeAnyInitHeaderWritesNothing)
{
    PadIdle pad;
    ASSERT_TRUE(pad.lib.loaded());
    ASSERT_EQ(0, pad.JOY0_Open(NULL));
    pad.JOY0_Poll(); /* no buffer yet: must not crash */
    pad.JOY0_Close();
}

TEST(PadIdle, InitHeaderWithoutABufferWritesNothingAndLaterPollsNeither)
{
    PadIdle pad;
    ASSERT_TRUE(pad.lib.loaded());
    ASSERT_EQ(0, pad.JOY0_Open(NULL));
    uint8_t report[8];
    memset(report, 0xCC, sizeof report);
    ASSERT_EQ(5, pad.JOY0_InitHeader(report));
    EXPECT_EQ(5, pad.JOY0_InitHeader(NULL)); /* the buffer is withdrawn */
    pad.JOY0_Poll();
    EXPECT_EQ(0xCC, report[3]);
    EXPECT_EQ(0xCC, report[4]);
    pad.JOY0_Close();
}
