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
static const ControlRow kControls[JOY_CONTROL_END] = {
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

#define CONTROL_BIT(c) (1u << (c))

uint32_t JoyActiveControls(const XINPUT_GAMEPAD &pad)
{
    /* Every poll comes here: only the buttons held are looked at. */
    uint32_t active = 0;
    for (unsigned held = pad.wButtons; held; held &= held - 1)
        active |= CONTROL_BIT(kButtonControls[__builtin_ctz(held)]);
    if (pad.bLeftTrigger >= JOY_TRIGGER_PRESSED)
        active |= CONTROL_BIT(JOY_LT);
    if (pad.bRightTrigger >= JOY_TRIGGER_PRESSED)
        active |= CONTROL_BIT(JOY_RT);
    /* XInput's Y grows upwards. The outer half of each side: 16384 and up,
       -16385 and down (the negative side is one count longer). */
    if (pad.sThumbLY >= JOY_STICK_PRESSED)
        active |= CONTROL_BIT(JOY_LSUP);
    if (pad.sThumbLY < -JOY_STICK_PRESSED)
        active |= CONTROL_BIT(JOY_LSDOWN);
    if (pad.sThumbLX < -JOY_STICK_PRESSED)
        active |= CONTROL_BIT(JOY_LSLEFT);
    if (pad.sThumbLX >= JOY_STICK_PRESSED)
        active |= CONTROL_BIT(JOY_LSRIGHT);
    if (pad.sThumbRY >= JOY_STICK_PRESSED)
        active |= CONTROL_BIT(JOY_RSUP);
    if (pad.sThumbRY < -JOY_STICK_PRESSED)
        active |= CONTROL_BIT(JOY_RSDOWN);
    if (pad.sThumbRX < -JOY_STICK_PRESSED)
        active |= CONTROL_BIT(JOY_RSLEFT);
    if (pad.sThumbRX >= JOY_STICK_PRESSED)
        active |= CONTROL_BIT(JOY_RSRIGHT);
    /* JOY_NONE stands for the two wButtons bits without a control. */
    return active & ~CONTROL_BIT(JOY_NONE);
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

uint16_t JoyButtonsOf(uint32_t active, const JoyWords &words)
{
    uint16_t pressed = 0;
    for (; active; active &= active - 1)
        pressed = static_cast<uint16_t>(pressed | words.byControl[__builtin_ctz(active)]);
    return pressed;
}

uint16_t JoyPressedButtons(const XINPUT_GAMEPAD &pad, const JoyMap &map)
{
    JoyWords words;
    JoyMapWords(map, &words);
    return JoyButtonsOf(JoyActiveControls(pad), words);
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

/* Narrows the text from *begin to *end to what lies between the blanks
   around it. */
static void TrimBlanks(const char **begin, const char **end)
{
    while (*begin < *end && IsBlank(**begin))
        ++*begin;
    while (*end > *begin && IsBlank((*end)[-1]))
        --*end;
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
