/* Every plugin's PluginInfo, fetched through the about entry point of the
   real library, compared whole with the record it must be: texts byte for
   byte and every byte after a terminator zero. */
#include <string.h>

#include "kova_test.h"

struct InfoRow {
    const char *file;
    const char *about;
    uint8_t type;
    const char *name;
    const char *description;
    const char *author = "Tovrin";
};

static const char kPadJoyDescription[] =
    "A digital or analog pad on a game controller (XInput or DirectInput). Configure chooses the "
    "controller, the pad type and which of its controls presses each button.";

static const InfoRow kRows[] = {
    { "gpuhost.dll", "GPU_About", PLUGIN_GPU, "GPUHost",
      "This Plugin allows to use PsemuPro Gpu plugin with KOVA." },
    { "cddirect.dll", "CD_About", PLUGIN_CD, "CDDirect",
      "This Plugin uses IOControl methods for reading CD-ROMs.It can work only on NT4 and NT2000." },
    { "cdidle.dll", "CD_About", PLUGIN_CD, "CDIdle",
      "This Plugin is a dummy CD driver. Use it only for running demos and executables that "
      "don't need CD-ROM accesses." },
    { "padkeys.dll", "JOY0_About", PLUGIN_JOY0, "PadKeys",
      "This Plugin emulates digital gamepad on the keyboard.\r\n\r\nUse:\r\n Up, Down, Left, "
      "Right =  directions\r\n V = Triangle\r\n Z = Circle\r\n C = Square\r\n X = Cross\r\n "
      "ENTER = Start\r\n TAB = Select\r\n Delete = L1\r\n Insert = L2\r\n PageUp = R1\r\n "
      "PageDn = R2\r\n\r\nNO DirectX required." },
    { "padidle.dll", "JOY0_About", PLUGIN_JOY0, "PadIdle",
      "This Plugin simply emulates digital gamepad.\r\nNO DirectX required." },
    { "mousepad.dll", "JOY1_About", PLUGIN_JOY1, "MousePad",
      "DirectInput Mouse Driver\r\n\r\nThis plugin emulates the input device SCPH-1030.\r\n"
      "Requires DirectX 3.0" },
    { "padjoy1.dll", "JOY0_About", PLUGIN_JOY0, "PadJoy1", kPadJoyDescription, "KOVA" },
    { "padjoy2.dll", "JOY1_About", PLUGIN_JOY1, "PadJoy2", kPadJoyDescription, "KOVA" },
    { "cdimage.dll", "CD_About", PLUGIN_CD, "CDImage",
      "Reads PlayStation discs from image files: CUE sheets with their BIN files, single BIN "
      "images, ISO, CHD, PBP, ECM and CloneCD images, and playlists of the discs of a game.", "KOVA" },
};


class PluginInfoTest : public testing::TestWithParam<InfoRow> {};

TEST_P(PluginInfoTest, AboutCopiesTheWholeRecord)
{
    const InfoRow &row = GetParam();
    if (!IsShipped(row.file))
        GTEST_SKIP() << row.file << " is not built yet";
    Library lib(ShippedPath(row.file));
    ASSERT_TRUE(lib.loaded()) << row.file;
    PluginAboutFn about = lib.Get<PluginAboutFn>(row.about);
    ASSERT_TRUE(about);

    PluginInfo got;
    memset(&got, 0xCC, sizeof got); /* a byte the plugin leaves out shows */
    about(&got);
    PluginInfo want = MakePluginInfo(row.type, 1, 0, row.author, row.name, row.description);
    EXPECT_EQ("", DiffPluginInfo(want, got));
    EXPECT_STREQ(row.description, got.description);
}

INSTANTIATE_TEST_SUITE_P(AllPlugins, PluginInfoTest, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<InfoRow> &param) {
                             std::string name = param.param.file;
                             return name.substr(0, name.find('.'));
                         });
