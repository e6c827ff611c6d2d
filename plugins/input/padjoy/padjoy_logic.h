/* The game-controller pad's mapping, apart from XInput, DirectInput and
 * the windows so that it can be checked against made-up controller states:
 * which controls a controller state holds, which pad buttons a map makes of
 * them, the analog sticks' bytes, and the "Map", "Sticks", "Controller" and
 * "PadType" settings as texts. */
#ifndef PADJOY_LOGIC_H
#define PADJOY_LOGIC_H

/* DirectInput 8: first of the input headers wherever it is included. */
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
#include <xinput.h>
#include <dinput.h>
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
/* The analog pad's four stick axes in report order (bytes 5 to 8), and in
   the order of the "Sticks" setting: right X, right Y, left X, left Y. */
#define JOY_STICK_COUNT 4

/* What DirectInput's joystick state (DIJOYSTATE2) gives: 128 buttons,
   eight axes (X, Y, Z, RX, RY, RZ and two sliders) and four hats. */
#define JOY_DI_BUTTONS 128
#define JOY_DI_AXES 8
#define JOY_DI_POVS 4

/* A controller's controls, in the order of their names in the settings:
   XInput's first, then DirectInput's buttons, axis directions (minus, plus
   per axis) and hat directions (up, right, down, left per hat). JOY_NONE
   leaves a slot of the map empty. */
enum JoyControl {
    JOY_NONE = 0,
    JOY_A, JOY_B, JOY_X, JOY_Y, JOY_LB, JOY_RB, JOY_LT, JOY_RT, JOY_BACK, JOY_START, JOY_LS, JOY_RS,
    JOY_UP, JOY_DOWN, JOY_LEFT, JOY_RIGHT,
    JOY_LSUP, JOY_LSDOWN, JOY_LSLEFT, JOY_LSRIGHT, JOY_RSUP, JOY_RSDOWN, JOY_RSLEFT, JOY_RSRIGHT,
    JOY_XINPUT_END,
    JOY_DI_BUTTON = JOY_XINPUT_END,
    JOY_DI_AXIS = JOY_DI_BUTTON + JOY_DI_BUTTONS,
    JOY_DI_POV = JOY_DI_AXIS + 2 * JOY_DI_AXES,
    JOY_CONTROL_END = JOY_DI_POV + 4 * JOY_DI_POVS
};
/* DirectInput button b (0-based), axis a's direction (plus or not), hat
   p's direction (0 up, 1 right, 2 down, 3 left). */
#define JOY_DI_BUTTON_OF(b) (JOY_DI_BUTTON + (b))
#define JOY_DI_AXIS_OF(a, plus) (JOY_DI_AXIS + 2 * (a) + ((plus) ? 1 : 0))
#define JOY_DI_POV_OF(p, d) (JOY_DI_POV + 4 * (p) + (d))
/* DirectInput's axes in DIJOYSTATE2. */
enum { JOY_AXIS_X, JOY_AXIS_Y, JOY_AXIS_Z, JOY_AXIS_RX, JOY_AXIS_RY, JOY_AXIS_RZ, JOY_AXIS_S0, JOY_AXIS_S1 };

/* A trigger counts from here (0 to 255: past half-way), a thumbstick
   direction from here on its side (the outer half of -32768..32767). A
   DirectInput axis, whose range padjoy sets to 0..JOY_AXIS_MAX, counts in
   a direction past half of the way from its resting value to that end. */
#define JOY_TRIGGER_PRESSED 128
#define JOY_STICK_PRESSED   16384
#define JOY_AXIS_MAX 65535
#define JOY_AXIS_CENTRE 32767

/* The controls held at one moment: bit c of the set for control c. */
#define JOY_ACTIVE_WORDS ((JOY_CONTROL_END + 31) / 32)
struct JoyActive {
    uint32_t bits[JOY_ACTIVE_WORDS];
};

/* Per pad button up to two controls; a second is only ever set beside a
   first, and never the same one twice. Per stick axis one axis control,
   the direction that moves the pad's stick right (X) or down (Y); JOY_NONE
   leaves that axis at rest. */
struct JoyMap {
    uint8_t controls[JOY_BUTTON_COUNT][JOY_CONTROLS_PER_BUTTON];
    uint8_t sticks[JOY_STICK_COUNT];
};

/* The defaults: for an XInput controller or a DirectInput device, as the
   digital pad (the left stick also on the D-pad) or the analog one. */
extern const JoyMap kJoyDefaultMap;  /* XInput, digital */
const JoyMap &JoyDefaultMap(bool direct, bool analog);

/* What the reading of a DirectInput device needs to know of it: its
   button, hat and axis counts from its capabilities, and each axis' value
   at rest (the nearest of 0, the centre and the top to its first reading,
   so that a trigger resting at one end does not count as held). */
struct JoyDirectShape {
    int buttons;
    int povs;
    bool hasAxis[JOY_DI_AXES];
    LONG rest[JOY_DI_AXES];
};
LONG JoyRestOf(LONG firstValue);

/* One reading of a controller: XInput's state or DirectInput's. */
struct JoyReading {
    bool direct;
    XINPUT_GAMEPAD pad;
    DIJOYSTATE2 state;
    JoyDirectShape shape;
};

/* "Select", ... "Square"; "" outside 0..15. "Right stick X", ... "Left
   stick Y" for 16 to 19. */
const char *JoyButtonName(int button);
const char *JoyStickName(int stick);
/* The name in the settings ("LSUP", "B7", "RZ-", "POV0UP"), and what the
   dialog shows ("Left stick up", "Button 7", "RZ axis -", "Hat 1 up");
   "-" and "(none)" for JOY_NONE or anything unknown. */
void JoyControlName(int control, char *dst, size_t dstSize);
void JoyControlLabel(int control, char *dst, size_t dstSize);
/* Controls of DirectInput devices, and those that can drive a stick (a
   thumbstick's or an axis' direction). */
bool JoyIsDirectControl(int control);
bool JoyIsAxisControl(int control);

/* The controls a reading holds at this moment. */
void JoyActiveControls(const XINPUT_GAMEPAD &pad, JoyActive *active);
void JoyDirectControls(const DIJOYSTATE2 &state, const JoyDirectShape &shape, JoyActive *active);
void JoyActiveOf(const JoyReading &reading, JoyActive *active);

/* The map as a poll uses it: per control, the word of pad buttons it
   presses (bits 0..7 report byte 4, 8..15 byte 3, as PadWriteButtons takes
   them). Made once when the map is read, so a poll costs a few
   instructions per control held. */
struct JoyWords {
    uint16_t byControl[JOY_CONTROL_END];
};
void JoyMapWords(const JoyMap &map, JoyWords *words);
/* The word of pressed pad buttons from controls already read. */
uint16_t JoyButtonsOf(const JoyActive &active, const JoyWords &words);
/* The same from an XInput state and a map, in one go. */
uint16_t JoyPressedButtons(const XINPUT_GAMEPAD &pad, const JoyMap &map);
/* The first control (in name order) active now that was not before;
   JOY_NONE when none. With axesOnly, only the controls that can drive a
   stick count. Lets "Set" take a press, not a control held down when the
   wait began. */
int JoyNewControl(const JoyActive &before, const JoyActive &now, bool axesOnly);

/* A stick byte from a position 0..65535 that grows rightwards or
   downwards: 0x00 left or up, 0x80 at the centre, 0xFF right or down. */
uint8_t JoyStickByte(LONG position);
/* The four stick bytes (report bytes 5 to 8) of a reading through the
   map's sticks: 0x80 for an axis without a control or one the controller
   does not have. */
void JoySticksOf(const JoyReading &reading, const JoyMap &map, uint8_t sticks[JOY_STICK_COUNT]);

/* "Set": a button without a control gets this one, a button with one gets
   it as its second, a button with two starts again with this one alone. A
   control the button has already changes nothing. Buttons 16 to 19 are the
   stick axes, which take one axis control. */
void JoyAddControl(JoyMap *map, int button, int control);
void JoyClearButton(JoyMap *map, int button);
/* Whether the map names any control of a DirectInput device (direct) or of
   an XInput one (!direct). */
bool JoyMapUses(const JoyMap &map, bool direct);

/* "Map": sixteen comma-separated entries, each "-" or one or two names
   joined by "/", letter case and blanks around names ignored. An entry that
   cannot be read (unknown name, empty, three names, missing) keeps what
   *map holds for that button (the caller's defaults); entries after the
   sixteenth are ignored. "Sticks" the same with four entries of one axis
   control each. */
void JoyReadMap(const char *value, JoyMap *map);
void JoyReadSticks(const char *value, JoyMap *map);
/* The map as "Map" and "Sticks" store it; false (dst empty) when it does
   not fit. */
bool JoyWriteMap(const JoyMap &map, char *dst, size_t dstSize);
bool JoyWriteSticks(const JoyMap &map, char *dst, size_t dstSize);

/* The chosen controller: an XInput user index, or a DirectInput device by
   its instance GUID and product name. */
#define JOY_PRODUCT_SIZE MAX_PATH
struct JoyController {
    int user;  /* 0 to 3, or JOY_DIRECT */
    GUID instance;
    char product[JOY_PRODUCT_SIZE];
};
#define JOY_DIRECT (-1)
/* "Controller": "0" to "3", or "{instance GUID} product name"; anything
   else is controller 0. */
void JoyReadController(const char *value, JoyController *controller);
bool JoyWriteController(const JoyController &controller, char *dst, size_t dstSize);
/* "PadType": "analog" in any letter case; anything else is digital. */
bool JoyReadAnalog(const char *value);

/* An attached DirectInput game controller as enumerated. */
struct JoyDevice {
    GUID instance;
    char product[JOY_PRODUCT_SIZE];
};
/* The device that the controller names: the one with its GUID, else the
   first with its product name (a GUID changes when the device moves to
   another port); -1 when none. */
int JoyFindDevice(const JoyController &controller, const JoyDevice *devices, int count);
/* Whether a device's interface path (DIPROP_GUIDANDPATH) is that of an
   XInput controller, which DirectInput enumerates too ("IG_" in it). */
bool JoyIsXInputPath(const WCHAR *path);

/* A line of the dialog's list: the button, a tab, its controls ("Up\tD-pad
   up or Left stick up", "L3\t(none)"); 16 to 19 the stick axes. */
void JoyFormatButton(const JoyMap &map, int button, char *dst, size_t dstSize);
/* The names of the pressed pad buttons in map order, separated by ", ", or
   "nothing". */
void JoyFormatPressed(uint16_t pressed, char *dst, size_t dstSize);
/* The bit of the pressed word that a pad button drives. */
uint16_t JoyButtonBit(int button);

#endif
