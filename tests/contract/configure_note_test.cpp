/* What every shipped plugin does with its shared entry points, through its
   real exports on a freshly loaded library: the configure note of the
   plugins without settings, open without a usable record, close without
   open and twice. */
#include <string.h>

#include "kova_test.h"

struct NoteRow {
    const char *file;
    const char *configure;
    const char *text;
    const char *caption;
};

static const NoteRow kNotes[] = {
    { "cdidle.dll", "CD_Configure", "No configuration is required", "CDIdle config" },
    { "padidle.dll", "JOY0_Configure", "This plugin doesn't require configuration", "PadIdle Config" },
    { "padkeys.dll", "JOY0_Configure", "This plugin doesn't require configuration", "PadKeys Config" },
    { "mousepad.dll", "JOY1_Configure", "This Plugin doesn't need to be configured", "MousePad config" },
};

TEST(ConfigureNote, EachPluginWithoutSettingsShowsItsNote)
{
    /* A message box owned by the host's main window, OK only, no icon,
       result 0; without a record, the same box without an owner. A recorded
       box shows nothing, so a made-up owner will do; a real window would
       take the foreground from tests with real events. */
    HWND owner = reinterpret_cast<HWND>(0x00012340);
    for (const NoteRow &row : kNotes) {
        for (bool record : { true, false }) {
            SCOPED_TRACE(testing::Message() << row.file << (record ? "" : " without a record"));
            Library lib(ShippedPath(row.file));
            ASSERT_TRUE(lib.loaded());
            PluginConfigureFn configure = lib.Get<PluginConfigureFn>(row.configure);
            ASSERT_TRUE(configure);
            MessageBoxRecorder boxes(lib.handle());
            HostServices host;
            memset(&host, 0, sizeof host);
            host.mainWindow = owner;
            EXPECT_EQ(0, configure(record ? &host : NULL));
            ASSERT_EQ(1u, boxes.calls().size());
            EXPECT_EQ(record ? owner : NULL, boxes.calls()[0].owner);
            EXPECT_EQ(row.text, boxes.calls()[0].text);
            EXPECT_EQ(row.caption, boxes.calls()[0].caption);
            EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.calls()[0].type);
        }
    }
}

struct PluginRow {
    const char *file;
    const char *prefix;
    int32_t openWithoutRecord;
};

/* The plugins that take something from the record refuse to open without
   it; the idle ones never read it and open all the same. */
static const PluginRow kPlugins[] = {
    { "gpuhost.dll", "GPU", -1 },  { "cddirect.dll", "CD", -1 }, { "mousepad.dll", "JOY1", -1 },
    { "cdidle.dll", "CD", 0 },     { "padkeys.dll", "JOY0", 0 }, { "padidle.dll", "JOY0", 0 },
    /* Without a record: the default map, and XInput if there is one. */
    { "padjoy1.dll", "JOY0", 0 },  { "padjoy2.dll", "JOY1", 0 },
    { "cdimage.dll", "CD", -1 },
};

/* A row's plugin, freshly loaded, with its open and close entry points. */
struct SharedExports {
    Library lib;
    PluginOpenFn open;
    PluginCloseFn close;
    explicit SharedExports(const PluginRow &row)
        : lib(ShippedPath(row.file)), open(lib.Get<PluginOpenFn>((std::string(row.prefix) + "_Open").c_str())),
          close(lib.Get<PluginCloseFn>((std::string(row.prefix) + "_Close").c_str()))
    {
    }
};

TEST(SharedEntryPoints, OpenWithoutARecordOrWithOneOfZerosChangesNothing)
{
    for (const PluginRow &row : kPlugins) {
        SCOPED_TRACE(row.file);
        SharedExports plugin(row);
        ASSERT_TRUE(plugin.open && plugin.close);
        EXPECT_EQ(row.openWithoutRecord, plugin.open(NULL)) << "no record";
        plugin.close();
        /* A record without callbacks, module or window: nothing to read a
           setting through, and nothing of it is changed. */
        HostServices empty;
        memset(&empty, 0, sizeof empty);
        empty.flags = 0xFFFFFFFFu;
        std::vector<uint8_t> before = RecordBytes(empty);
        EXPECT_EQ(row.openWithoutRecord, plugin.open(&empty)) << "a record of zeros";
        EXPECT_EQ(before, RecordBytes(empty)) << "the record untouched";
        plugin.close();
    }
}

TEST(SharedEntryPoints, CloseWithoutOpenAndTwiceIsHarmless)
{
    TestWindow window;
    /* cdimage opens only on an image: a blank ISO of 16 sectors. */
    ScratchDir dir("close-twice");
    ASSERT_TRUE(WriteFileBytes(dir / "blank.iso", std::vector<uint8_t>(16 * 2048).data(), 16 * 2048));
    /* gpuhost: GpuHostClose.WithoutOpenOrTwiceCallsNothing */
    for (const PluginRow &row : kPlugins) {
        if (!strcmp(row.prefix, "GPU"))
            continue;
        SCOPED_TRACE(row.file);
        SharedExports plugin(row);
        ASSERT_TRUE(plugin.open && plugin.close);
        RecordingHost host;
        host.Answer("CDIOCTRL", "DriveLetter", "E");
        host.Answer("CDIMAGE", "ImageFile", dir / "blank.iso");
        host.record.mainWindow = window.handle();
        host.record.hostInstance = GetModuleHandleA(NULL);
        plugin.close(); /* never opened */
        plugin.close();
        EXPECT_EQ(0, plugin.open(&host.record));
        plugin.close();
        plugin.close();
        EXPECT_EQ(0, plugin.open(&host.record)) << "opens again after two closes";
        plugin.close();
    }
}
