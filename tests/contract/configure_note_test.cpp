/* The plugins without settings answer their configure entry point with a
   note: a message box owned by the host's main window, OK only, no icon,
   result 0; called on a freshly loaded library, without open. */
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
    /* A recorded box shows nothing, so a made-up owner will do; a real
       window would take the foreground from tests with real events. */
    HWND owner = reinterpret_cast<HWND>(0x00012340);
    for (const NoteRow &row : kNotes) {
        SCOPED_TRACE(row.file);
        Library lib(ShippedPath(row.file));
        ASSERT_TRUE(lib.loaded());
        PluginConfigureFn configure = lib.Get<PluginConfigureFn>(row.configure);
        ASSERT_TRUE(configure);
        MessageBoxRecorder boxes(lib.handle());
        HostServices host;
        memset(&host, 0, sizeof host);
        host.mainWindow = owner;
        EXPECT_EQ(0, configure(&host));
        ASSERT_EQ(1u, boxes.calls().size());
        EXPECT_EQ(owner, boxes.calls()[0].owner);
        EXPECT_EQ(row.text, boxes.calls()[0].text);
        EXPECT_EQ(row.caption, boxes.calls()[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.calls()[0].type);
    }
}
