#include "padjoy_logic.h"

#include <string.h>

#include "kova_str.h"

static const char *const kButtonNames[JOY_BUTTON_COUNT] = {
    "Select", "L3", "R3", "Start", "Up", "Right", "Down", "Left",
    "L2", "R2", "L1", "R1", "Triangle", "Circle", "Cross", "Square",
};

/* How a control is read from XInput's state. */
enum ControlKind { KIND_BUTTON, KIND_TRIGGER, KIND_STICK };
enum StickAxis { AXIS_LX, AXIS_LY, AXIS_RX, AXIS_RY };

struct ControlRow {
    const char *name;   /* in the settings */
    const char *label;  /* in the dialog */
    uint8_t kind;
    uint16_t button;    /* KIND_BUTTON: the XINPUT_GAMEPAD_ bit */
    uint8_t which;      /* KIND_TRIGGER: 0 left, 1 right; KIND_STICK: the axis */
    int8_t sign;        /* KIND_STICK: +1 up or right, -1 down or left */
};

/* One row per JoyControl, in its order; row 0 is JOY_NONE. XInput's
   thumbstick Y grows upwards. */
static const ControlRow kControls[JOY_CONTROL_END] = {
    { "-", "(none)", KIND_BUTTON, 0, 0, 0 },
    { "A", "A", KIND_BUTTON, XINPUT_GAMEPAD_A, 0, 0 },
    { "B", "B", KIND_BUTTON, XINPUT_GAMEPAD_B, 0, 0 },
    { "X", "X", KIND_BUTTON, XINPUT_GAMEPAD_X, 0, 0 },
    { "Y", "Y", KIND_BUTTON, XINPUT_GAMEPAD_Y, 0, 0 },
    { "LB", "LB", KIND_BUTTON, XINPUT_GAMEPAD_LEFT_SHOULDER, 0, 0 },
    { "RB", "RB", KIND_BUTTON, XINPUT_GAMEPAD_RIGHT_SHOULDER, 0, 0 },
    { "LT", "LT", KIND_TRIGGER, 0, 0, 0 },
    { "RT", "RT", KIND_TRIGGER, 0, 1, 0 },
    { "BACK", "Back", KIND_BUTTON, XINPUT_GAMEPAD_BACK, 0, 0 },
    { "START", "Start", KIND_BUTTON, XINPUT_GAMEPAD_START, 0, 0 },
    { "LS", "Left stick click", KIND_BUTTON, XINPUT_GAMEPAD_LEFT_THUMB, 0, 0 },
    { "RS", "Right stick click", KIND_BUTTON, XINPUT_GAMEPAD_RIGHT_THUMB, 0, 0 },
    { "UP", "D-pad up", KIND_BUTTON, XINPUT_GAMEPAD_DPAD_UP, 0, 0 },
    { "DOWN", "D-pad down", KIND_BUTTON, XINPUT_GAMEPAD_DPAD_DOWN, 0, 0 },
    { "LEFT", "D-pad left", KIND_BUTTON, XINPUT_GAMEPAD_DPAD_LEFT, 0, 0 },
    { "RIGHT", "D-pad right", KIND_BUTTON, XINPUT_GAMEPAD_DPAD_RIGHT, 0, 0 },
    { "LSUP", "Left stick up", KIND_STICK, 0, AXIS_LY, 1 },
    { "LSDOWN", "Left stick down", KIND_STICK, 0, AXIS_LY, -1 },
    { "LSLEFT", "Left stick left", KIND_STICK, 0, AXIS_LX, -1 },
    { "LSRIGHT", "Left stick right", KIND_STICK, 0, AXIS_LX, 1 },
    { "RSUP", "Right stick up", KIND_STICK, 0, AXIS_RY, 1 },
    { "RSDOWN", "Right stick down", KIND_STICK, 0, AXIS_RY, -1 },
    { "RSLEFT", "Right stick left", KIND_STICK, 0, AXIS_RX, -1 },
    { "RSRIGHT", "Right stick right", KIND_STICK, 0, AXIS_RX, 1 },
};

const JoyMap kJoyDefaultMap = { {
    { JOY_BACK, JOY_NONE },  /* Select */
    { JOY_LS, JOY_NONE },    /* L3 */
    { JOY_RS, JOY_NONE },    /* R3 */
    { JOY_START, JOY_NONE }, /* Start */
    { JOY_UP, JOY_LSUP },
    { JOY_RIGHT, JOY_LSRIGHT },
    { JOY_DOWN, JOY_LSDOWN },
    { JOY_LEFT, JOY_LSLEFT },
    { JOY_LT, JOY_NONE },    /* L2 */
    { JOY_RT, JOY_NONE },    /* R2 */
    { JOY_LB, JOY_NONE },    /* L1 */
    { JOY_RB, JOY_NONE },    /* R1 */
    { JOY_Y, JOY_NONE },     /* Triangle */
    { JOY_B, JOY_NONE },     /* Circle */
    { JOY_A, JOY_NONE },     /* Cross */
    { JOY_X, JOY_NONE },     /* Square */
} };

static bool IsControl(int control)
{
    return control > JOY_NONE && control < JOY_CONTROL_END;
}

const char *JoyButtonName(int button)
{
    return button >= 0 && button < JOY_BUTTON_COUNT ? kButtonNames[button] : "";
}

const char *JoyControlName(int control)
{
    return kControls[IsControl(control) ? control : JOY_NONE].name;
}

const char *JoyControlLabel(int control)
{
    return kControls[IsControl(control) ? control : JOY_NONE].label;
}

uint16_t JoyButtonBit(int button)
{
    /* Buttons 0..7 are report byte 3, the high byte of the word. */
    return static_cast<uint16_t>(1u << ((button + 8) % 16));
}

static bool ControlActive(const XINPUT_GAMEPAD &pad, const ControlRow &row)
{
    switch (row.kind) {
    case KIND_BUTTON:
        return (pad.wButtons & row.button) != 0;
    case KIND_TRIGGER:
        return (row.which ? pad.bRightTrigger : pad.bLeftTrigger) >= JOY_TRIGGER_PRESSED;
    default: {
        const SHORT axes[4] = { pad.sThumbLX, pad.sThumbLY, pad.sThumbRX, pad.sThumbRY };
        int value = axes[row.which & 3];
        /* The outer half of each side: 16384 and up, -16385 and down (the
           negative side is one count longer). */
        return row.sign > 0 ? value >= JOY_STICK_PRESSED : value < -JOY_STICK_PRESSED;
    }
    }
}

uint32_t JoyActiveControls(const XINPUT_GAMEPAD &pad)
{
    uint32_t active = 0;
    for (int c = JOY_NONE + 1; c < JOY_CONTROL_END; c++) {
        if (ControlActive(pad, kControls[c]))
            active |= 1u << c;
    }
    return active;
}

uint16_t JoyPressedButtons(const XINPUT_GAMEPAD &pad, const JoyMap &map)
{
    return JoyButtonsOf(JoyActiveControls(pad), map);
}

uint16_t JoyButtonsOf(uint32_t active, const JoyMap &map)
{
    uint16_t pressed = 0;
    for (int b = 0; b < JOY_BUTTON_COUNT; b++) {
        for (int slot = 0; slot < JOY_CONTROLS_PER_BUTTON; slot++) {
            int control = map.controls[b][slot];
            if (IsControl(control) && (active & (1u << control)))
                pressed = static_cast<uint16_t>(pressed | JoyButtonBit(b));
        }
    }
    return pressed;
}

int JoyNewControl(uint32_t before, uint32_t now)
{
    uint32_t fresh = now & ~before;
    for (int c = JOY_NONE + 1; c < JOY_CONTROL_END; c++) {
        if (fresh & (1u << c))
            return c;
    }
    return JOY_NONE;
}

void JoyAddControl(JoyMap *map, int button, int control)
{
    if (button < 0 || button >= JOY_BUTTON_COUNT || !IsControl(control))
        return;
    uint8_t *slots = map->controls[button];
    if (slots[0] == control || slots[1] == control)
        return;
    if (slots[0] != JOY_NONE && slots[1] == JOY_NONE) {
        slots[1] = static_cast<uint8_t>(control);
        return;
    }
    slots[0] = static_cast<uint8_t>(control);
    slots[1] = JOY_NONE;
}

void JoyClearButton(JoyMap *map, int button)
{
    if (button < 0 || button >= JOY_BUTTON_COUNT)
        return;
    map->controls[button][0] = JOY_NONE;
    map->controls[button][1] = JOY_NONE;
}

/* ---- the settings ---- */

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

/* The control whose name is the text from begin to end (blanks around it
   ignored, any letter case); JOY_NONE when there is none. */
static int ControlNamed(const char *begin, const char *end)
{
    while (begin < end && IsBlank(*begin))
        begin++;
    while (end > begin && IsBlank(end[-1]))
        end--;
    char name[16];
    size_t length = static_cast<size_t>(end - begin);
    if (length == 0 || length >= sizeof name)
        return JOY_NONE;
    memcpy(name, begin, length);
    name[length] = '\0';
    for (int c = JOY_NONE + 1; c < JOY_CONTROL_END; c++) {
        if (TextEqualsNoCase(name, kControls[c].name))
            return c;
    }
    return JOY_NONE;
}

/* One entry, from begin to end; false when it cannot be read. */
static bool ReadEntry(const char *begin, const char *end, uint8_t slots[JOY_CONTROLS_PER_BUTTON])
{
    const char *b = begin, *e = end;
    while (b < e && IsBlank(*b))
        b++;
    while (e > b && IsBlank(e[-1]))
        e--;
    if (e - b == 1 && *b == '-') {
        slots[0] = slots[1] = JOY_NONE;
        return true;
    }
    const char *slash = static_cast<const char *>(memchr(b, '/', static_cast<size_t>(e - b)));
    int first = ControlNamed(b, slash ? slash : e);
    int second = JOY_NONE;
    if (slash) {
        if (memchr(slash + 1, '/', static_cast<size_t>(e - slash - 1)))
            return false;
        second = ControlNamed(slash + 1, e);
        if (second == JOY_NONE)
            return false;
    }
    if (first == JOY_NONE)
        return false;
    slots[0] = static_cast<uint8_t>(first);
    slots[1] = static_cast<uint8_t>(second == first ? JOY_NONE : second);
    return true;
}

void JoyReadMap(const char *value, JoyMap *map)
{
    *map = kJoyDefaultMap;
    if (!value)
        return;
    const char *p = value;
    for (int b = 0; b < JOY_BUTTON_COUNT; b++) {
        const char *comma = strchr(p, ',');
        const char *end = comma ? comma : p + strlen(p);
        uint8_t slots[JOY_CONTROLS_PER_BUTTON];
        if (ReadEntry(p, end, slots))
            memcpy(map->controls[b], slots, sizeof slots);
        if (!comma)
            break;
        p = comma + 1;
    }
}

bool JoyWriteMap(const JoyMap &map, char *dst, size_t dstSize)
{
    if (dstSize == 0)
        return false;
    dst[0] = '\0';
    bool fits = true;
    for (int b = 0; b < JOY_BUTTON_COUNT; b++) {
        const uint8_t *slots = map.controls[b];
        if (b > 0)
            fits = BufAppend(dst, dstSize, ",") && fits;
        fits = BufAppend(dst, dstSize, JoyControlName(slots[0])) && fits;
        if (IsControl(slots[0]) && IsControl(slots[1])) {
            fits = BufAppend(dst, dstSize, "/") && fits;
            fits = BufAppend(dst, dstSize, JoyControlName(slots[1])) && fits;
        }
    }
    if (!fits)
        dst[0] = '\0';
    return fits;
}

int JoyReadController(const char *value)
{
    if (!value)
        return 0;
    while (IsBlank(*value))
        value++;
    char digit = *value;
    if (digit < '0' || digit >= '0' + JOY_USER_COUNT)
        return 0;
    value++;
    while (IsBlank(*value))
        value++;
    return *value ? 0 : digit - '0';
}

void JoyFormatButton(const JoyMap &map, int button, char *dst, size_t dstSize)
{
    if (button < 0 || button >= JOY_BUTTON_COUNT) {
        BufSet(dst, dstSize, "");
        return;
    }
    const uint8_t *slots = map.controls[button];
    BufFormat(dst, dstSize, "%s\t%s", JoyButtonName(button), JoyControlLabel(slots[0]));
    if (IsControl(slots[0]) && IsControl(slots[1])) {
        BufAppend(dst, dstSize, " or ");
        BufAppend(dst, dstSize, JoyControlLabel(slots[1]));
    }
}

void JoyFormatPressed(uint16_t pressed, char *dst, size_t dstSize)
{
    BufSet(dst, dstSize, "");
    for (int b = 0; b < JOY_BUTTON_COUNT; b++) {
        if (!(pressed & JoyButtonBit(b)))
            continue;
        if (dst[0])
            BufAppend(dst, dstSize, ", ");
        BufAppend(dst, dstSize, JoyButtonName(b));
    }
    if (!dst[0])
        BufSet(dst, dstSize, "nothing");
}
