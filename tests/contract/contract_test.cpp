/* The contract's tables and records as a host sees them at run time. */
#include <string.h>

#include "kova_test.h"

extern "C" int ContractCodesSeenFromC(void);

struct FamilyRow {
    int code;
    const char *name, *prefix, *install, *group, *about, *configure;
};
#define ROW(code, name, prefix, install, group, about, configure) \
    { code, name, prefix, install, group, about, configure },
static const FamilyRow kFamilies[] = { KOVA_PLUGIN_FAMILIES(ROW) };
#undef ROW

TEST(Contract, FamiliesInTheirFixedOrder)
{
    static const FamilyRow expected[] = {
        { 1, "GPU", "GPU_", "GpuRend.dll", "Graphics", "GPU_About", "GPU_Configure" },
        { 2, "SPU", "SPU_", "SpuRend.dll", "Sound", "SPU_About", "SPU_Configure" },
        { 3, "JOY0", "JOY0_", "Joy0Rend.dll", "Pad1", "JOY0_About", "JOY0_Configure" },
        { 4, "JOY1", "JOY1_", "Joy1Rend.dll", "Pad2", "JOY1_About", "JOY1_Configure" },
        { 5, "CD", "CD_", "CDRend.dll", "CD-ROM", "CD_About", "CD_Configure" },
    };
    ASSERT_EQ(dimof(expected), dimof(kFamilies));
    ASSERT_EQ(5, ContractCodesSeenFromC());
    for (size_t i = 0; i < dimof(expected); i++) {
        SCOPED_TRACE(testing::Message() << "row " << i);
        EXPECT_EQ(expected[i].code, kFamilies[i].code);
        EXPECT_STREQ(expected[i].name, kFamilies[i].name);
        EXPECT_STREQ(expected[i].prefix, kFamilies[i].prefix);
        EXPECT_STREQ(expected[i].install, kFamilies[i].install);
        EXPECT_STREQ(expected[i].group, kFamilies[i].group);
        EXPECT_STREQ(expected[i].about, kFamilies[i].about);
        EXPECT_STREQ(expected[i].configure, kFamilies[i].configure);
    }
}

TEST(Contract, RecordsAreLaidOutToTheByte)
{
    /* Filling the fields through the structs must put the values at the
       byte offsets that a foreign host reads. */
    PluginInfo info;
    memset(&info, 0, sizeof info);
    info.type = 5;
    info.versionMinor = 0x10;
    info.versionMajor = 1;
    info.reserved = 0x77;
    strcpy(info.author, "A");
    strcpy(info.name, "N");
    strcpy(info.description, "D");
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&info);
    EXPECT_EQ(1156u, sizeof info);
    EXPECT_EQ("05 10 01 77 41", Bytes(p, 5)) << "type, minor, major, reserved, 'A'";
    EXPECT_EQ('N', p[68]);
    EXPECT_EQ('D', p[132]);

    HostServices host;
    memset(&host, 0, sizeof host);
    host.ramBase = reinterpret_cast<uint8_t *>(0x11111111);
    host.flags = 0x22222222;
    host.readSetting = reinterpret_cast<ReadSettingFn>(0x33333333);
    host.writeSetting = reinterpret_cast<WriteSettingFn>(0x44444444);
    host.ramWriteNotify = reinterpret_cast<RamWriteNotifyFn>(0x55555555);
    host.mainWindow = reinterpret_cast<HWND>(0x66666666);
    host.hostInstance = reinterpret_cast<HINSTANCE>(0x77777777);
    uint32_t words[14];
    ASSERT_EQ(sizeof words, sizeof host);
    memcpy(words, &host, sizeof words);
    const uint32_t expected[14] = { 0x11111111, 0x22222222, 0, 0, 0, 0, 0, 0,
                                    0x33333333, 0x44444444, 0x55555555, 0x66666666, 0x77777777, 0 };
    for (int i = 0; i < 14; i++)
        EXPECT_EQ(expected[i], words[i]) << "word at offset " << i * 4;
}

TEST(Contract, PadReportLengthFromIdentifier)
{
    EXPECT_EQ(5, PAD_REPORT_LENGTH(PAD_ID_DIGITAL));
    EXPECT_EQ(7, PAD_REPORT_LENGTH(PAD_ID_MOUSE));
    EXPECT_EQ(3, PAD_REPORT_LENGTH(0x40));
    EXPECT_EQ(33, PAD_REPORT_LENGTH(0x0F));
}
