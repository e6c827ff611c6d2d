/* cdidle through its real exports. Each test loads the library afresh, so
   the module state starts as the emulator would find it. */
#include <string.h>

#include "kova_test.h"

namespace {

struct CdIdle : CdExports {
    CdIdle() : CdExports(ShippedPath("cdidle.dll")) {}
};

} // namespace

TEST(CdIdle, ReadErrorIsAFlagThatWaitReportsOnce)
{
    struct Step {
        const char *calls; /* r = CD_Read, w = CD_Wait (expects the next value) */
        int waits[4];
    };
    static const Step steps[] = {
        { "w", { 0 } },                 /* before any read */
        { "rww", { -1, 0 } },           /* read, then -1, then 0 */
        { "rrww", { -1, 0 } },          /* two reads: still one -1 */
        { "rwrw", { -1, -1 } },         /* every read raises it again */
    };
    for (size_t i = 0; i < dimof(steps); i++) {
        SCOPED_TRACE(testing::Message() << "row " << i << " " << steps[i].calls);
        CdIdle cd;
        ASSERT_TRUE(cd.lib.loaded());
        ASSERT_EQ(0, cd.CD_Open(NULL));
        int w = 0;
        for (const char *c = steps[i].calls; *c; c++) {
            const uint8_t msf[3] = { 0, 2, 0 };
            if (*c == 'r')
                ASSERT_TRUE(cd.CD_Read(msf) != NULL);
            else
                EXPECT_EQ(steps[i].waits[w++], cd.CD_Wait());
        }
        cd.CD_Close();
    }
}

TEST(CdIdle, EveryReadReturnsTheSameEmptyImage)
{
    CdIdle cd;
    ASSERT_TRUE(cd.lib.loaded());
    ASSERT_EQ(0, cd.CD_Open(NULL));
    /* on the disc, off it, in the lead-in, before the first sector, none */
    static const uint8_t addresses[][3] = { { 0, 2, 0 },     { 1, 23, 45 }, { 99, 99, 99 },
                                            { 255, 255, 255 }, { 0, 0, 0 },   { 0, 1, 74 } };
    const uint8_t *first = NULL;
    for (size_t row = 0; row <= dimof(addresses); row++) {
        const uint8_t *image = cd.CD_Read(row < dimof(addresses) ? addresses[row] : NULL);
        ASSERT_TRUE(image != NULL);
        if (!first)
            first = image;
        EXPECT_EQ(first, image);
        for (int i = 0; i < CD_SECTOR_IMAGE_SIZE; i++)
            ASSERT_EQ(0, image[i]) << "byte " << i;
        EXPECT_EQ(-1, cd.CD_Wait());
    }
    cd.CD_Close();
}

TEST(CdIdle, TracksOneToThreeAndNoTrackAddresses)
{
    CdIdle cd;
    ASSERT_TRUE(cd.lib.loaded());
    ASSERT_EQ(0, cd.CD_Open(NULL));
    uint8_t tn[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
    EXPECT_EQ(0, cd.CD_GetTN(tn));
    EXPECT_EQ("cc 01 03 cc", Bytes(tn, 4));
    for (int track : { 0, 1, 2, 3, 4, 0xAA, -1 }) {
        uint8_t td[4] = { 0xCC, 0xCC, 0xCC, 0xCC };
        EXPECT_EQ(0, cd.CD_GetTD(td, track)) << "track " << track;
        EXPECT_EQ("cc cc cc cc", Bytes(td, 4)) << "track " << track;
    }
    EXPECT_EQ(0, cd.CD_Play());
    EXPECT_EQ(0, cd.CD_Stop());
    cd.CD_GetSeek();
    cd.CD_Close();
}

TEST(CdIdle, ConfigureShowsARealMessageBox)
{
    /* The same call without the recorder: a real box appears, owned by the
       main window, and OK closes it. */
    CdIdle cd;
    ASSERT_TRUE(cd.lib.loaded());
    TestWindow owner;
    HostServices host = {};
    host.mainWindow = owner.handle();
    SeenBox answer = AnswerDuring("CDIdle config", IDOK, [&] { EXPECT_EQ(0, cd.CD_Configure(&host)); });
    ASSERT_TRUE(answer.seen);
    EXPECT_EQ(owner.handle(), answer.owner);
    EXPECT_EQ("No configuration is required", answer.text);
}
