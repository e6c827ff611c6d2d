/* The game-controller pad's mapping, apart from XInput and the windows so
 * that it can be checked against made-up controller states: which controls
 * a controller state holds, which pad buttons a map makes of them, and the
 * "Map" and "Controller" settings as texts. */
#ifndef PADJOY_LOGIC_H
#define PADJOY_LOGIC_H

#include <windows.h>
#include <xinput.h>
#include <stddef.h>
#include <stdint.h>

/* The pad's sixteen buttons in the order of the "Map" setting: Select, L3,
   R3, Start, Up, Right, Down, Left (report byte 3, bits 0 to 7), then L2,
   R2, L1, R1, Triangle, Circle, Cross, Square (byte 4, bits 0 to 7). */
#define JOY_BUTTON_COUNT 16
/* Controls per pad button; either one presses it. */
#define JOY_CONTROLS_PER_BUTTON 2
/* XInput's user indexes, 0 to 3. */
#define JOY_USER_COUNT 4

/* A controller's controls, in the order of their names in the settings.
   JOY_NONE leaves a slot of the map empty. */
enum JoyControl {
    JOY_NONE = 0,
    JOY_A, JOY_B, JOY_X, JOY_Y, JOY_LB, JOY_RB, JOY_LT, JOY_RT, JOY_BACK, JOY_START, JOY_LS, JOY_RS,
    JOY_UP, JOY_DOWN, JOY_LEFT, JOY_RIGHT,
    JOY_LSUP, JOY_LSDOWN, JOY_LSLEFT, JOY_LSRIGHT, JOY_RSUP, JOY_RSDOWN, JOY_RSLEFT, JOY_RSRIGHT,
    JOY_CONTROL_END
};

/* A trigger counts from here (0 to 255: past half-way), a thumbstick
   direction from here on its side (the outer half of -32768..32767). */
#define JOY_TRIGGER_PRESSED 128
#define JOY_STICK_PRESSED   16384

/* Per pad button, up to two controls; a second is only ever set beside a
   first, and never the same one twice. */
struct JoyMap {
    uint8_t controls[JOY_BUTTON_COUNT][JOY_CONTROLS_PER_BUTTON];
};

extern const JoyMap kJoyDefaultMap;

/* "Select", ... "Square"; "" outside 0..15. */
const char *JoyButtonName(int button);
/* The name in the settings ("LSUP"), and what the dialog shows ("Left stick
   up"); "-" and "(none)" for JOY_NONE or anything unknown. */
const char *JoyControlName(int control);
const char *JoyControlLabel(int control);

/* The controls the state holds at this moment: bit c for control c. */
uint32_t JoyActiveControls(const XINPUT_GAMEPAD &pad);

/* The map as a poll uses it: per control, the word of pad buttons it
   presses (bits 0..7 report byte 4, 8..15 byte 3, as PadWriteButtons takes
   them). Made once when the map is read, so a poll costs a few
   instructions per control held. */
struct JoyWords {
    uint16_t byControl[JOY_CONTROL_END];
};
void JoyMapWords(const JoyMap &map, JoyWords *words);
/* The word of pressed pad buttons from controls already read. */
uint16_t JoyButtonsOf(uint32_t active, const JoyWords &words);
/* The same from a state and a map, in one go. */
uint16_t JoyPressedButtons(const XINPUT_GAMEPAD &pad, const JoyMap &map);
/* The first control (in name order) active now that was not before;
   JOY_NONE when none. Lets "Set" take a press, not a control held down
   when the wait began. */
int JoyNewControl(uint32_t before, uint32_t now);

/* "Set": a button without a control gets this one, a button with one gets
   it as its second, a button with two starts again with this one alone. A
   control the button has already changes nothing. */
void JoyAddControl(JoyMap *map, int button, int control);
void JoyClearButton(JoyMap *map, int button);

/* "Map": sixteen comma-separated entries, each "-" or one or two names
   joined by "/", letter case and blanks around names ignored. An entry that
   cannot be read (unknown name, empty, three names, missing) keeps that
   button's defaults; entries after the sixteenth are ignored. */
void JoyReadMap(const char *value, JoyMap *map);
/* The map as "Map" stores it; false (dst empty) when it does not fit. */
bool JoyWriteMap(const JoyMap &map, char *dst, size_t dstSize);
/* "Controller": "0" to "3"; anything else is controller 0. */
int JoyReadController(const char *value);

/* A line of the dialog's list: the button, a tab, its controls ("Up\tD-pad
   up or Left stick up", "L3\t(none)"). */
void JoyFormatButton(const JoyMap &map, int button, char *dst, size_t dstSize);
/* The names of the pressed pad buttons in map order, separated by ", ", or
   "nothing". */
void JoyFormatPressed(uint16_t pressed, char *dst, size_t dstSize);
/* The bit of the pressed word that a pad button drives. */
uint16_t JoyButtonBit(int button);

#endif
