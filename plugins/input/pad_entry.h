/* The entry points of a pad plugin, declared once for both ports: port 1
 * (JOY0_) and port 2 (JOY1_). A plugin defines the seven of its port; the
 * declarations make the compiler hold each definition to the contract's
 * types. padjoy defines both sets and each of its two libraries exports
 * one of them (its .def file). */
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

#endif
