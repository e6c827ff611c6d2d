#include "padjoy_logic.h"

#include <string.h>

#include "kova_str.h"

static const char *const kButtonNames[JOY_BUTTON_COUNT] = {
    "Select", "L3", "R3", "Start", "Up", "Right", "Down", "Left",
    "L2", "R2", "L1", "R1", "Triangle", "Circle", "Cross", "Square",
};

struct ControlRow {
    const char *name;   /* in the settings */
    const char *label;  /* in the dialog */
};

/* One row per JoyControl, in its order; row 0 is JOY_NONE. */
static const ControlRow kControls[JOY_XINPUT_END] = {
    { "-", "(none)" },
    { "A", "A" },
    { "B", "B" },
    { "X", "X" },
    { "Y", "Y" },
    { "LB", "LB" },
    { "RB", "RB" },
    { "LT", "LT" },
    { "RT", "RT" },
    { "BACK", "Back" },
    { "START", "Start" },
    { "LS", "Left stick click" },
    { "RS", "Right stick click" },
    { "UP", "D-pad up" },
    { "DOWN", "D-pad down" },
    { "LEFT", "D-pad left" },
    { "RIGHT", "D-pad right" },
    { "LSUP", "Left stick up" },
    { "LSDOWN", "Left stick down" },
    { "LSLEFT", "Left stick left" },
    { "LSRIGHT", "Left stick right" },
    { "RSUP", "Right stick up" },
    { "RSDOWN", "Right stick down" },
    { "RSLEFT", "Right stick left" },
    { "RSRIGHT", "Right stick right" },
};

/* The control of each bit of XINPUT_GAMEPAD.wButtons (bits 10 and 11 are
   none). */
static const uint8_t kButtonControls[16] = {
    JOY_UP, JOY_DOWN, JOY_LEFT, JOY_RIGHT, JOY_START, JOY_BACK, JOY_LS, JOY_RS,
    JOY_LB, JOY_RB, JOY_NONE, JOY_NONE, JOY_A, JOY_B, JOY_X, JOY_Y,
};

static const char *const kStickNames[JOY_STICK_COUNT] = {
    "Right stick X", "Right stick Y", "Left stick X", "Left stick Y",
};
static const char *const kAxisNames[JOY_DI_AXES] = { "X", "Y", "Z", "RX", "RY", "RZ", "S0", "S1" };
static const char *const kPovNames[4] = { "UP", "RIGHT", "DOWN", "LEFT" };
static const char *const kPovLabels[4] = { "up", "right", "down", "left" };

#define DI_BUTTON(n) static_cast<uint8_t>(JOY_DI_BUTTON_OF((n) - 1))
#define DI_AXIS(a, plus) static_cast<uint8_t>(JOY_DI_AXIS_OF(a, plus))
#define DI_POV(d) static_cast<uint8_t>(JOY_DI_POV_OF(0, d))

/* The defaults, by kind of controller and pad type. XInput's face buttons
   by place (Y on top: Triangle); a DirectInput pad's by the usual layout of
   such pads: buttons 1 to 4 Square, Cross, Circle, Triangle, 5 to 8 L1,
   R1, L2, R2, 9 Select, 10 Start, 11 and 12 the stick presses, the hat the
   D-pad, X and Y the left stick, Z and RZ the right one. */
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
}, { JOY_RSRIGHT, JOY_RSDOWN, JOY_LSRIGHT, JOY_LSDOWN } };

static const JoyMap kJoyDirectMap = { {
    { DI_BUTTON(9), JOY_NONE }, { DI_BUTTON(11), JOY_NONE }, { DI_BUTTON(12), JOY_NONE },
    { DI_BUTTON(10), JOY_NONE },
    { DI_POV(0), DI_AXIS(JOY_AXIS_Y, false) }, { DI_POV(1), DI_AXIS(JOY_AXIS_X, true) },
    { DI_POV(2), DI_AXIS(JOY_AXIS_Y, true) }, { DI_POV(3), DI_AXIS(JOY_AXIS_X, false) },
    { DI_BUTTON(7), JOY_NONE }, { DI_BUTTON(8), JOY_NONE }, { DI_BUTTON(5), JOY_NONE },
    { DI_BUTTON(6), JOY_NONE },
    { DI_BUTTON(4), JOY_NONE }, { DI_BUTTON(3), JOY_NONE }, { DI_BUTTON(2), JOY_NONE },
    { DI_BUTTON(1), JOY_NONE },
}, { DI_AXIS(JOY_AXIS_Z, true), DI_AXIS(JOY_AXIS_RZ, true), DI_AXIS(JOY_AXIS_X, true),
     DI_AXIS(JOY_AXIS_Y, true) } };

/* The analog pad's defaults: the digital pad's without the left stick on
   the D-pad (its second controls), as the analog pad has sticks of its own. */
static JoyMap AnalogOf(const JoyMap &digital)
{
    JoyMap map = digital;
    for (int b = 0; b < JOY_BUTTON_COUNT; b++) {
        for (int c = 1; c < JOY_CONTROLS_PER_BUTTON; c++)
            map.controls[b][c] = JOY_NONE;
    }
    return map;
}

static const JoyMap kJoyAnalogMap = AnalogOf(kJoyDefaultMap);
static const JoyMap kJoyDirectAnalogMap = AnalogOf(kJoyDirectMap);

const JoyMap &JoyDefaultMap(bool direct, bool analog)
{
    if (direct)
        return analog ? kJoyDirectAnalogMap : kJoyDirectMap;
    return analog ? kJoyAnalogMap : kJoyDefaultMap;
}

static bool IsControl(int control)
{
    return control > JOY_NONE && control < JOY_CONTROL_END;
}

bool JoyIsDirectControl(int control)
{
    return control >= JOY_DI_BUTTON && control < JOY_CONTROL_END;
}

bool JoyIsAxisControl(int control)
{
    return (control >= JOY_LSUP && control <= JOY_RSRIGHT) ||
           (control >= JOY_DI_AXIS && control < JOY_DI_POV);
}

const char *JoyButtonName(int button)
{
    if (button >= 0 && button < JOY_BUTTON_COUNT)
        return kButtonNames[button];
    return JoyStickName(button - JOY_BUTTON_COUNT);
}

const char *JoyStickName(int stick)
{
    return stick >= 0 && stick < JOY_STICK_COUNT ? kStickNames[stick] : "";
}

/* A control's short name (label false: the map's "B3", "X+", "POV0UP") or
   its label (the dialog's "Button 3", "X axis +", "Hat 1 up"). */
static void ControlText(int control, bool label, char *dst, size_t dstSize)
{
    if (!IsControl(control)) {
        BufSet(dst, dstSize, label ? "(none)" : "-");
    } else if (control < JOY_XINPUT_END) {
        BufSet(dst, dstSize, label ? kControls[control].label : kControls[control].name);
    } else if (control < JOY_DI_AXIS) {
        BufFormat(dst, dstSize, label ? "Button %d" : "B%d", control - JOY_DI_BUTTON + 1);
    } else if (control < JOY_DI_POV) {
        BufFormat(dst, dstSize, label ? "%s axis %c" : "%s%c", kAxisNames[(control - JOY_DI_AXIS) / 2],
                  (control - JOY_DI_AXIS) % 2 ? '+' : '-');
    } else {
        int pov = (control - JOY_DI_POV) / 4, direction = (control - JOY_DI_POV) % 4;
        if (label)
            BufFormat(dst, dstSize, "Hat %d %s", pov + 1, kPovLabels[direction]);
        else
            BufFormat(dst, dstSize, "POV%d%s", pov, kPovNames[direction]);
    }
}

void JoyControlName(int control, char *dst, size_t dstSize)
{
    ControlText(control, false, dst, dstSize);
}

void JoyControlLabel(int control, char *dst, size_t dstSize)
{
    ControlText(control, true, dst, dstSize);
}

uint16_t JoyButtonBit(int button)
{
    /* Buttons 0..7 are report byte 3, the high byte of the word. */
    return static_cast<uint16_t>(1u << ((button + 8) % 16));
}

static inline void SetActive(JoyActive *active, int control)
{
    active->bits[control / 32] |= 1u << (control % 32);
}

static inline bool IsActive(const JoyActive &active, int control)
{
    return (active.bits[control / 32] >> (control % 32)) & 1u;
}

void JoyActiveControls(const XINPUT_GAMEPAD &pad, JoyActive *active)
{
    /* Every poll comes here: only the buttons held are looked at. XInput's
       controls all lie in the first word of the set. */
    uint32_t word = 0;
    for (unsigned held = pad.wButtons; held; held &= held - 1)
        word |= 1u << kButtonControls[__builtin_ctz(held)];
    if (pad.bLeftTrigger >= JOY_TRIGGER_PRESSED)
        word |= 1u << JOY_LT;
    if (pad.bRightTrigger >= JOY_TRIGGER_PRESSED)
        word |= 1u << JOY_RT;
    /* XInput's Y grows upwards. The outer half of each side: 16384 and up,
       -16385 and down (the negative side is one count longer). */
    if (pad.sThumbLY >= JOY_STICK_PRESSED)
        word |= 1u << JOY_LSUP;
    if (pad.sThumbLY < -JOY_STICK_PRESSED)
        word |= 1u << JOY_LSDOWN;
    if (pad.sThumbLX < -JOY_STICK_PRESSED)
        word |= 1u << JOY_LSLEFT;
    if (pad.sThumbLX >= JOY_STICK_PRESSED)
        word |= 1u << JOY_LSRIGHT;
    if (pad.sThumbRY >= JOY_STICK_PRESSED)
        word |= 1u << JOY_RSUP;
    if (pad.sThumbRY < -JOY_STICK_PRESSED)
        word |= 1u << JOY_RSDOWN;
    if (pad.sThumbRX < -JOY_STICK_PRESSED)
        word |= 1u << JOY_RSLEFT;
    if (pad.sThumbRX >= JOY_STICK_PRESSED)
        word |= 1u << JOY_RSRIGHT;
    memset(active, 0, sizeof *active);
    /* JOY_NONE stands for the two wButtons bits without a control. */
    active->bits[0] = word & ~1u;
}

LONG JoyRestOf(LONG firstValue)
{
    if (firstValue <= JOY_AXIS_MAX / 4)
        return 0;
    if (firstValue >= JOY_AXIS_MAX - JOY_AXIS_MAX / 4)
        return JOY_AXIS_MAX;
    return JOY_AXIS_CENTRE;
}

static LONG AxisValue(const DIJOYSTATE2 &state, int axis)
{
    switch (axis) {
    case JOY_AXIS_X: return state.lX;
    case JOY_AXIS_Y: return state.lY;
    case JOY_AXIS_Z: return state.lZ;
    case JOY_AXIS_RX: return state.lRx;
    case JOY_AXIS_RY: return state.lRy;
    case JOY_AXIS_RZ: return state.lRz;
    default: return state.rglSlider[axis - JOY_AXIS_S0];
    }
}

/* Whether a hat at this angle (hundredths of a degree, or centred) points
   in direction d: within 67.5 degrees of it, so a diagonal gives both. */
static bool PovPoints(DWORD angle, int d)
{
    if (LOWORD(angle) == 0xFFFF || angle >= 36000)
        return false;
    LONG diff = static_cast<LONG>(angle) - d * 9000;
    if (diff < 0)
        diff = -diff;
    if (diff > 18000)
        diff = 36000 - diff;
    return diff < 6750;
}

void JoyDirectControls(const DIJOYSTATE2 &state, const JoyDirectShape &shape, JoyActive *active)
{
    memset(active, 0, sizeof *active);
    for (int b = 0; b < shape.buttons && b < JOY_DI_BUTTONS; b++) {
        if (state.rgbButtons[b] & 0x80)
            SetActive(active, JOY_DI_BUTTON_OF(b));
    }
    for (int a = 0; a < JOY_DI_AXES; a++) {
        if (!shape.hasAxis[a])
            continue;
        LONG value = AxisValue(state, a), rest = shape.rest[a];
        LONG up = JOY_AXIS_MAX - rest, down = rest;
        if (up > 0 && value - rest >= (up + 1) / 2)
            SetActive(active, JOY_DI_AXIS_OF(a, true));
        if (down > 0 && rest - value >= (down + 1) / 2)
            SetActive(active, JOY_DI_AXIS_OF(a, false));
    }
    for (int p = 0; p < shape.povs && p < JOY_DI_POVS; p++) {
        for (int d = 0; d < 4; d++) {
            if (PovPoints(state.rgdwPOV[p], d))
                SetActive(active, JOY_DI_POV_OF(p, d));
        }
    }
}

void JoyActiveOf(const JoyReading &reading, JoyActive *active)
{
    if (reading.direct)
        JoyDirectControls(reading.state, reading.shape, active);
    else
        JoyActiveControls(reading.pad, active);
}

void JoyMapWords(const JoyMap &map, JoyWords *words)
{
    memset(words, 0, sizeof *words);
    for (int b = 0; b < JOY_BUTTON_COUNT; b++) {
        for (int slot = 0; slot < JOY_CONTROLS_PER_BUTTON; slot++) {
            int control = map.controls[b][slot];
            if (IsControl(control))
                words->byControl[control] = static_cast<uint16_t>(words->byControl[control] | JoyButtonBit(b));
        }
    }
}

uint16_t JoyButtonsOf(const JoyActive &active, const JoyWords &words)
{
    uint16_t pressed = 0;
    for (int w = 0; w < JOY_ACTIVE_WORDS; w++) {
        for (uint32_t held = active.bits[w]; held; held &= held - 1)
            pressed = static_cast<uint16_t>(pressed | words.byControl[w * 32 + __builtin_ctz(held)]);
    }
    return pressed;
}

uint16_t JoyPressedButtons(const XINPUT_GAMEPAD &pad, const JoyMap &map)
{
    JoyWords words;
    JoyMapWords(map, &words);
    JoyActive active;
    JoyActiveControls(pad, &active);
    return JoyButtonsOf(active, words);
}

int JoyNewControl(const JoyActive &before, const JoyActive &now, bool axesOnly)
{
    for (int c = JOY_NONE + 1; c < JOY_CONTROL_END; c++) {
        if (IsActive(now, c) && !IsActive(before, c) && (!axesOnly || JoyIsAxisControl(c)))
            return c;
    }
    return JOY_NONE;
}

uint8_t JoyStickByte(LONG position)
{
    /* Each half of the travel on its own, so that both middle values
       (32767 and 32768, XInput's 0 either way up) give 0x80: 0..32767 onto
       0x00..0x80, 32768..65535 onto 0x80..0xFF, rounded. */
    const LONG half = JOY_AXIS_CENTRE;
    if (position <= 0)
        return 0x00;
    if (position >= JOY_AXIS_MAX)
        return 0xFF;
    if (position <= half)
        return static_cast<uint8_t>((position * 128 + half / 2) / half);
    return static_cast<uint8_t>(128 + ((position - half - 1) * 127 + half / 2) / half);
}

/* A thumbstick's -32768..32767 as a position 0..65535 growing in the
   control's direction: right and up grow with XInput's value. */
static LONG ThumbPosition(SHORT value, bool grows)
{
    return grows ? value + 32768L : 32767L - value;
}

static uint8_t StickOf(const JoyReading &reading, int control)
{
    const XINPUT_GAMEPAD &pad = reading.pad;
    if (!reading.direct) {
        switch (control) {
        case JOY_LSUP: return JoyStickByte(ThumbPosition(pad.sThumbLY, true));
        case JOY_LSDOWN: return JoyStickByte(ThumbPosition(pad.sThumbLY, false));
        case JOY_LSLEFT: return JoyStickByte(ThumbPosition(pad.sThumbLX, false));
        case JOY_LSRIGHT: return JoyStickByte(ThumbPosition(pad.sThumbLX, true));
        case JOY_RSUP: return JoyStickByte(ThumbPosition(pad.sThumbRY, true));
        case JOY_RSDOWN: return JoyStickByte(ThumbPosition(pad.sThumbRY, false));
        case JOY_RSLEFT: return JoyStickByte(ThumbPosition(pad.sThumbRX, false));
        case JOY_RSRIGHT: return JoyStickByte(ThumbPosition(pad.sThumbRX, true));
        default: return 0x80;
        }
    }
    if (control < JOY_DI_AXIS || control >= JOY_DI_POV)
        return 0x80;
    int axis = (control - JOY_DI_AXIS) / 2;
    if (!reading.shape.hasAxis[axis])
        return 0x80;
    LONG value = AxisValue(reading.state, axis);
    return JoyStickByte((control - JOY_DI_AXIS) % 2 ? value : JOY_AXIS_MAX - value);
}

void JoySticksOf(const JoyReading &reading, const JoyMap &map, uint8_t sticks[JOY_STICK_COUNT])
{
    for (int s = 0; s < JOY_STICK_COUNT; s++)
        sticks[s] = StickOf(reading, map.sticks[s]);
}

void JoyAddControl(JoyMap *map, int button, int control)
{
    if (!IsControl(control))
        return;
    if (button >= JOY_BUTTON_COUNT && button < JOY_BUTTON_COUNT + JOY_STICK_COUNT) {
        if (JoyIsAxisControl(control))
            map->sticks[button - JOY_BUTTON_COUNT] = static_cast<uint8_t>(control);
        return;
    }
    if (button < 0 || button >= JOY_BUTTON_COUNT)
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
    if (button >= JOY_BUTTON_COUNT && button < JOY_BUTTON_COUNT + JOY_STICK_COUNT) {
        map->sticks[button - JOY_BUTTON_COUNT] = JOY_NONE;
        return;
    }
    if (button < 0 || button >= JOY_BUTTON_COUNT)
        return;
    map->controls[button][0] = JOY_NONE;
    map->controls[button][1] = JOY_NONE;
}

bool JoyMapUses(const JoyMap &map, bool direct)
{
    for (int b = 0; b < JOY_BUTTON_COUNT; b++) {
        for (int slot = 0; slot < JOY_CONTROLS_PER_BUTTON; slot++) {
            int c = map.controls[b][slot];
            if (IsControl(c) && JoyIsDirectControl(c) == direct)
                return true;
        }
    }
    for (int s = 0; s < JOY_STICK_COUNT; s++) {
        if (IsControl(map.sticks[s]) && JoyIsDirectControl(map.sticks[s]) == direct)
            return true;
    }
    return false;
}

/* ---- the settings ---- */

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

/* Narrows the text from *begin to *end to what lies between the blanks
   around it. */
static void TrimBlanks(const char **begin, const char **end)
{
    while (*begin < *end && IsBlank(**begin))
        ++*begin;
    while (*end > *begin && IsBlank((*end)[-1]))
        --*end;
}

/* Whether text begins with prefix, letters in any case (ASCII). */
static bool StartsNoCase(const char *text, const char *prefix)
{
    for (; *prefix; text++, prefix++) {
        char a = *text, b = *prefix;
        if (a >= 'a' && a <= 'z')
            a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z')
            b = static_cast<char>(b - 'a' + 'A');
        if (a != b)
            return false;
    }
    return true;
}

/* A DirectInput control's name: "B<n>" (1 to 128), an axis and a sign,
   "POV<p><direction>"; JOY_NONE when it is none of them. */
static int DirectControlNamed(const char *name)
{
    if ((name[0] == 'B' || name[0] == 'b') && name[1] >= '1' && name[1] <= '9') {
        int n = 0;
        const char *p = name + 1;
        for (; *p >= '0' && *p <= '9' && n <= JOY_DI_BUTTONS; p++)
            n = n * 10 + (*p - '0');
        return !*p && n >= 1 && n <= JOY_DI_BUTTONS ? JOY_DI_BUTTON_OF(n - 1) : JOY_NONE;
    }
    size_t length = strlen(name);
    if (length >= 2 && (name[length - 1] == '+' || name[length - 1] == '-')) {
        char axis[8];
        if (length - 1 >= sizeof axis)
            return JOY_NONE;
        memcpy(axis, name, length - 1);
        axis[length - 1] = '\0';
        for (int a = 0; a < JOY_DI_AXES; a++) {
            if (TextEqualsNoCase(axis, kAxisNames[a]))
                return JOY_DI_AXIS_OF(a, name[length - 1] == '+');
        }
        return JOY_NONE;
    }
    if (length >= 5 && StartsNoCase(name, "POV") && name[3] >= '0' && name[3] < '0' + JOY_DI_POVS) {
        for (int d = 0; d < 4; d++) {
            if (TextEqualsNoCase(name + 4, kPovNames[d]))
                return JOY_DI_POV_OF(name[3] - '0', d);
        }
    }
    return JOY_NONE;
}

/* The control whose name is the text from begin to end (blanks around it
   ignored, any letter case); JOY_NONE when there is none. */
static int ControlNamed(const char *begin, const char *end)
{
    TrimBlanks(&begin, &end);
    char name[16];
    size_t length = static_cast<size_t>(end - begin);
    if (length == 0 || length >= sizeof name)
        return JOY_NONE;
    memcpy(name, begin, length);
    name[length] = '\0';
    for (int c = JOY_NONE + 1; c < JOY_XINPUT_END; c++) {
        if (TextEqualsNoCase(name, kControls[c].name))
            return c;
    }
    return DirectControlNamed(name);
}

/* One entry, from begin to end; false when it cannot be read. */
static bool ReadEntry(const char *begin, const char *end, uint8_t slots[JOY_CONTROLS_PER_BUTTON])
{
    const char *b = begin, *e = end;
    TrimBlanks(&b, &e);
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

/* Calls read(index, begin, end) for the first count comma-separated
   entries of the value. */
template <typename Read>
static void ForEachEntry(const char *value, int count, Read read)
{
    if (!value)
        return;
    const char *p = value;
    for (int i = 0; i < count; i++) {
        const char *comma = strchr(p, ',');
        const char *end = comma ? comma : p + strlen(p);
        read(i, p, end);
        if (!comma)
            break;
        p = comma + 1;
    }
}

void JoyReadMap(const char *value, JoyMap *map)
{
    ForEachEntry(value, JOY_BUTTON_COUNT, [map](int b, const char *begin, const char *end) {
        uint8_t slots[JOY_CONTROLS_PER_BUTTON];
        if (ReadEntry(begin, end, slots))
            memcpy(map->controls[b], slots, sizeof slots);
    });
}

void JoyReadSticks(const char *value, JoyMap *map)
{
    ForEachEntry(value, JOY_STICK_COUNT, [map](int s, const char *begin, const char *end) {
        const char *b = begin, *e = end;
        TrimBlanks(&b, &e);
        int control = ControlNamed(b, e);
        if (e - b == 1 && *b == '-')
            map->sticks[s] = JOY_NONE;
        else if (JoyIsAxisControl(control))
            map->sticks[s] = static_cast<uint8_t>(control);
    });
}

static bool AppendName(char *dst, size_t dstSize, int control)
{
    char name[16];
    JoyControlName(control, name, sizeof name);
    return BufAppend(dst, dstSize, name);
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
        fits = AppendName(dst, dstSize, slots[0]) && fits;
        if (IsControl(slots[0]) && IsControl(slots[1])) {
            fits = BufAppend(dst, dstSize, "/") && fits;
            fits = AppendName(dst, dstSize, slots[1]) && fits;
        }
    }
    if (!fits)
        dst[0] = '\0';
    return fits;
}

bool JoyWriteSticks(const JoyMap &map, char *dst, size_t dstSize)
{
    if (dstSize == 0)
        return false;
    dst[0] = '\0';
    bool fits = true;
    for (int s = 0; s < JOY_STICK_COUNT; s++) {
        if (s > 0)
            fits = BufAppend(dst, dstSize, ",") && fits;
        fits = AppendName(dst, dstSize, map.sticks[s]) && fits;
    }
    if (!fits)
        dst[0] = '\0';
    return fits;
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/* count hex digits at text into *value; false when one is not a digit. */
static bool ReadHex(const char *text, int count, unsigned long *value)
{
    *value = 0;
    for (int i = 0; i < count; i++) {
        int digit = HexDigit(text[i]);
        if (digit < 0)
            return false;
        *value = (*value << 4) | static_cast<unsigned long>(digit);
    }
    return true;
}

/* "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": 38 characters. */
#define GUID_TEXT_LENGTH 38

static bool ReadGuid(const char *text, GUID *guid)
{
    static const int kGroups[5] = { 8, 4, 4, 4, 12 };
    if (strlen(text) < GUID_TEXT_LENGTH || text[0] != '{' || text[GUID_TEXT_LENGTH - 1] != '}')
        return false;
    unsigned char bytes[16];
    int n = 0;
    const char *p = text + 1;
    for (int g = 0; g < 5; g++) {
        if (g > 0 && *p++ != '-')
            return false;
        for (int i = 0; i < kGroups[g]; i += 2) {
            unsigned long octet;
            if (!ReadHex(p + i, 2, &octet))
                return false;
            bytes[n++] = static_cast<unsigned char>(octet);
        }
        p += kGroups[g];
    }
    guid->Data1 = (static_cast<unsigned long>(bytes[0]) << 24) | (static_cast<unsigned long>(bytes[1]) << 16) |
                  (static_cast<unsigned long>(bytes[2]) << 8) | bytes[3];
    guid->Data2 = static_cast<unsigned short>((bytes[4] << 8) | bytes[5]);
    guid->Data3 = static_cast<unsigned short>((bytes[6] << 8) | bytes[7]);
    memcpy(guid->Data4, bytes + 8, 8);
    return true;
}

void JoyReadController(const char *value, JoyController *controller)
{
    memset(controller, 0, sizeof *controller);
    if (!value)
        return;
    while (IsBlank(*value))
        value++;
    if (*value == '{') {
        if (!ReadGuid(value, &controller->instance))
            return;
        const char *name = value + GUID_TEXT_LENGTH;
        const char *end = name + strlen(name);
        TrimBlanks(&name, &end);
        size_t length = static_cast<size_t>(end - name);
        if (length >= sizeof controller->product)
            length = sizeof controller->product - 1;
        memcpy(controller->product, name, length);
        controller->product[length] = '\0';
        controller->user = JOY_DIRECT;
        return;
    }
    char digit = *value;
    if (digit < '0' || digit >= '0' + JOY_USER_COUNT)
        return;
    value++;
    while (IsBlank(*value))
        value++;
    controller->user = *value ? 0 : digit - '0';
}

bool JoyWriteController(const JoyController &controller, char *dst, size_t dstSize)
{
    if (controller.user != JOY_DIRECT)
        return BufFormat(dst, dstSize, "%d", controller.user);
    const GUID &g = controller.instance;
    bool fits = BufFormat(dst, dstSize, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}%s%s",
                          static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                          g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7],
                          controller.product[0] ? " " : "", controller.product);
    if (!fits && dstSize)
        dst[0] = '\0';
    return fits;
}

bool JoyReadAnalog(const char *value)
{
    if (!value)
        return false;
    const char *end = value + strlen(value);
    TrimBlanks(&value, &end);
    return end - value == 6 && StartsNoCase(value, "analog");
}

int JoyFindDevice(const JoyController &controller, const JoyDevice *devices, int count)
{
    if (controller.user != JOY_DIRECT)
        return -1;
    for (int i = 0; i < count; i++) {
        if (IsEqualGUID(devices[i].instance, controller.instance))
            return i;
    }
    for (int i = 0; i < count; i++) {
        if (controller.product[0] && strcmp(devices[i].product, controller.product) == 0)
            return i;
    }
    return -1;
}

bool JoyIsXInputPath(const WCHAR *path)
{
    for (; path && path[0]; path++) {
        if ((path[0] == L'I' || path[0] == L'i') && (path[1] == L'G' || path[1] == L'g') && path[2] == L'_')
            return true;
    }
    return false;
}

void JoyFormatButton(const JoyMap &map, int button, char *dst, size_t dstSize)
{
    char label[32];
    if (button >= JOY_BUTTON_COUNT && button < JOY_BUTTON_COUNT + JOY_STICK_COUNT) {
        JoyControlLabel(map.sticks[button - JOY_BUTTON_COUNT], label, sizeof label);
        BufFormat(dst, dstSize, "%s\t%s", JoyButtonName(button), label);
        return;
    }
    if (button < 0 || button >= JOY_BUTTON_COUNT) {
        BufSet(dst, dstSize, "");
        return;
    }
    const uint8_t *slots = map.controls[button];
    JoyControlLabel(slots[0], label, sizeof label);
    BufFormat(dst, dstSize, "%s\t%s", JoyButtonName(button), label);
    if (IsControl(slots[0]) && IsControl(slots[1])) {
        JoyControlLabel(slots[1], label, sizeof label);
        BufAppend(dst, dstSize, " or ");
        BufAppend(dst, dstSize, label);
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
