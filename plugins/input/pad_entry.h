/* The entry points of a pad plugin, for both ports: port 1 (JOY0_) and
 * port 2 (JOY1_). pad_entry.cpp defines all fourteen once; each plugin
 * describes what it does differently in one PadPlugin record, kPadPlugin,
 * and its .def file exports the set of its port (padjoy's two libraries
 * one each). The declarations hold every definition to the contract's
 * types. */
#ifndef PAD_ENTRY_H
#define PAD_ENTRY_H

#include "kova_plugin.h"

#define PAD_ENTRY_POINTS(port)                                 \
    int32_t KOVA_CALL port##_Open(HostServices *host);         \
    void KOVA_CALL port##_Close(void);                         \
    void KOVA_CALL port##_Vibrate(void);                       \
    void KOVA_CALL port##_Poll(void);                          \
    int32_t KOVA_CALL port##_InitHeader(uint8_t *report);      \
    int32_t KOVA_CALL port##_Configure(HostServices *host);    \
    void KOVA_CALL port##_About(PluginInfo *info);

extern "C" {
PAD_ENTRY_POINTS(JOY0)
PAD_ENTRY_POINTS(JOY1)
}

#undef PAD_ENTRY_POINTS

/* What a pad plugin does at each entry point; port is 0 for JOY0_, 1 for
   JOY1_. Vibrate does nothing in every pad. */
struct PadPlugin {
    /* About copies the port's record. */
    const PluginInfo *info[2];
    /* Init-header keeps the address (only the last one counts) and returns
       what this writes: the header bytes and the report length. */
    int32_t (*writeHeader)(uint8_t *report);
    /* Null: open does nothing and returns 0; close does nothing. */
    int32_t (*open)(HostServices *host, int port);
    void (*close)(int port);
    /* Called only once init-header has given a buffer: a poll before it
       has nowhere to write and does nothing. */
    void (*poll)(uint8_t *report, int port);
    /* Null: configure shows the note, a message box with this text and
       caption owned by the host's main window. Configure returns 0. */
    void (*configure)(HostServices *host, int port);
    const char *noteText;
    const char *noteCaption;
};

/* Defined by each pad plugin. */
extern const PadPlugin kPadPlugin;

#endif
