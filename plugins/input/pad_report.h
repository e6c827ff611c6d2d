/* The pad report buffer shared by the pad plugins.
 *
 * The buffer belongs to the emulator; a pad plugin is handed its address at
 * init-header and writes into it at every poll. Only the last address given
 * counts. Byte 0 is the emulator's and is never written here. */
#ifndef PAD_REPORT_H
#define PAD_REPORT_H

#include <stdint.h>

#include "kova_plugin.h"

/* Writes the device identifier and the marker into bytes 1 and 2 and returns
   the report length; leaves every other byte alone. A null buffer gets no
   bytes but the same length. */
inline int32_t PadWriteHeader(uint8_t *report, uint8_t deviceId)
{
    if (!report)
        return PAD_REPORT_LENGTH(deviceId);
    report[1] = deviceId;
    report[2] = PAD_REPORT_MARKER;
    return PAD_REPORT_LENGTH(deviceId);
}

/* The digital pad's header: 0x41, 0x5A; returns 5. */
inline int32_t PadWriteDigitalHeader(uint8_t *report)
{
    return PadWriteHeader(report, PAD_ID_DIGITAL);
}

/* The analog pad (a DualShock in analog mode): 0x73, 3 data words. */
#define PAD_ID_ANALOG 0x73

/* Analog pad data bytes 3 to 8: the buttons as PadWriteButtons writes
   them, then the sticks: right X, right Y, left X, left Y (0x00 left or
   up, 0x80 at rest, 0xFF right or down). */
inline void PadWriteAnalog(uint8_t *report, uint16_t pressed, const uint8_t sticks[4])
{
    uint16_t released = static_cast<uint16_t>(~pressed);
    report[3] = static_cast<uint8_t>(released >> 8);
    report[4] = static_cast<uint8_t>(released & 0xFF);
    for (int i = 0; i < 4; i++)
        report[5 + i] = sticks[i];
}

/* Digital pad data bytes 3 and 4 from a 16-bit word of pressed buttons
   (bit i set while button i is held: bits 0..7 go to byte 4, 8..15 to
   byte 3). The report is active-low, so the word is inverted. */
inline void PadWriteButtons(uint8_t *report, uint16_t pressed)
{
    uint16_t released = static_cast<uint16_t>(~pressed);
    report[3] = static_cast<uint8_t>(released >> 8);
    report[4] = static_cast<uint8_t>(released & 0xFF);
}

/* The mouse's buttons in byte 4 of its report (active-low like the pad's);
   byte 3 carries no buttons and stays 0xFF. */
#define PAD_MOUSE_LEFT  0x08
#define PAD_MOUSE_RIGHT 0x04

/* One axis of motion as the report's signed byte. Motion beyond -128..127
   is dropped, not carried into the next report. */
inline uint8_t PadClampMotion(int32_t counts)
{
    if (counts > 127)
        counts = 127;
    if (counts < -128)
        counts = -128;
    return static_cast<uint8_t>(counts & 0xFF);
}

/* Bytes 4 to 6 of the mouse report: buttons, then X and Y motion since the
   previous report. Byte 3 keeps what init-header preset. */
inline void PadWriteMouse(uint8_t *report, bool left, bool right, int32_t dx, int32_t dy)
{
    uint8_t buttons = 0xFF;
    if (left)
        buttons = static_cast<uint8_t>(buttons & ~PAD_MOUSE_LEFT);
    if (right)
        buttons = static_cast<uint8_t>(buttons & ~PAD_MOUSE_RIGHT);
    report[4] = buttons;
    report[5] = PadClampMotion(dx);
    report[6] = PadClampMotion(dy);
}

/* The mouse's header, with the four data bytes preset to a mouse at rest:
   no buttons, no motion. Returns the report length, 7; a null buffer gets
   no bytes, as with PadWriteHeader. */
inline int32_t PadWriteMouseHeader(uint8_t *report)
{
    int32_t length = PadWriteHeader(report, PAD_ID_MOUSE);
    if (!report)
        return length;
    report[3] = 0xFF;
    PadWriteMouse(report, false, false, 0, 0);
    return length;
}

#endif
