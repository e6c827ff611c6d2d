/* padidle through its real exports. */
#include <string.h>

#include "kova_test.h"

namespace {

struct PadIdle {
    Library lib{ ShippedPath("padidle.dll") };
    PluginOpenFn open = lib.Get<PluginOpenFn>("JOY0_Open");
    PluginCloseFn close = lib.Get<PluginCloseFn>("JOY0_Close");
    PadVibrateFn vibrate = lib.Get<PadVibrateFn>("JOY0_Vibrate");
    PadInitHeaderFn initHeader = lib.Get<PadInitHeaderFn>("JOY0_InitHeader");
    PadPollFn poll = lib.Get<PadPollFn>("JOY0_Poll");
    PluginConfigureFn configure = lib.Get<PluginConfigureFn>("JOY0_Configure");
};

} // namespace

TEST(PadIdle, InitHeaderWritesOnlyIdentifierAndMarker)
{
    PadIdle pad;
    ASSERT_TRUE(pad.lib.loaded());
    EXPECT_EQ(0, pad.open(NULL));
    uint8_t report[8];
    memset(report, 0xCC, sizeof report);
    EXPECT_EQ(5, pad.initHeader(report));
    const uint8_t want[8] = { 0xCC, 0x41, 0x5A, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC };
    EXPECT_EQ(0, memcmp(want, report, sizeof want));
    pad.close();
}

TEST(PadIdle, PollsReleaseEveryButtonInTheLastRegisteredBufferOnly)
{
    PadIdle pad;
    ASSERT_TRUE(pad.lib.loaded());
    ASSERT_EQ(0, pad.open(NULL));
    uint8_t first[8], second[8];
    memset(first, 0x00, sizeof first);
    memset(second, 0x00, sizeof second);
    ASSERT_EQ(5, pad.initHeader(first));
    pad.poll();
    const uint8_t polled[8] = { 0x00, 0x41, 0x5A, 0xFF, 0xFF, 0x00, 0x00, 0x00 };
    EXPECT_EQ(0, memcmp(polled, first, sizeof polled));

    ASSERT_EQ(5, pad.initHeader(second));
    first[3] = first[4] = 0x12; /* a poll now must not reach the old buffer */
    pad.vibrate();
    pad.poll();
    pad.poll();
    EXPECT_EQ(0x12, first[3]);
    EXPECT_EQ(0x12, first[4]);
    EXPECT_EQ(0, memcmp(polled, second, sizeof polled));
    pad.close();
}

TEST(PadIdle, PollBeforeAnyInitHeaderWritesNothing)
{
    PadIdle pad;
    ASSERT_TRUE(pad.lib.loaded());
    ASSERT_EQ(0, pad.open(NULL));
    pad.poll(); /* no buffer yet: must not crash */
    pad.close();
}

TEST(PadIdle, InitHeaderWithoutABufferWritesNothingAndLaterPollsNeither)
{
    PadIdle pad;
    ASSERT_TRUE(pad.lib.loaded());
    ASSERT_EQ(0, pad.open(NULL));
    uint8_t report[8];
    memset(report, 0xCC, sizeof report);
    ASSERT_EQ(5, pad.initHeader(report));
    EXPECT_EQ(5, pad.initHeader(NULL)); /* the buffer is withdrawn */
    pad.poll();
    EXPECT_EQ(0xCC, report[3]);
    EXPECT_EQ(0xCC, report[4]);
    pad.close();
}
