/* A scripted XInput, built as xinput1_4.dll beside the test programs: the
 * system's loader finds it in the program's folder before the system's own,
 * so padjoy reads the controllers a test makes up. The test scripts each
 * user index (connected or not, its state) and counts the calls. A program
 * that cannot be scripted from within (the KOVA.EXE stand-in) gets its
 * controllers from KOVA_FAKE_XINPUT: "0=1000,1=0010" connects users 0 and
 * 1 holding those XINPUT_GAMEPAD button bits. */
#include <windows.h>
#include <xinput.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct User {
    DWORD result;  /* what XInputGetState answers */
    XINPUT_GAMEPAD pad;
    LONG calls;
};
User Users[XUSER_MAX_COUNT];
DWORD Packet;

void Reset()
{
    memset(Users, 0, sizeof Users);
    for (User &user : Users)
        user.result = ERROR_DEVICE_NOT_CONNECTED;
}

void ScriptFromEnvironment()
{
    char text[256];
    DWORD got = GetEnvironmentVariableA("KOVA_FAKE_XINPUT", text, sizeof text);
    if (got == 0 || got >= sizeof text)
        return;
    for (char *p = text; *p;) {
        char *end = NULL;
        unsigned long user = strtoul(p, &end, 10);
        if (*end != '=' || user >= XUSER_MAX_COUNT)
            return;
        Users[user].result = ERROR_SUCCESS;
        Users[user].pad.wButtons = static_cast<WORD>(strtoul(end + 1, &p, 16));
        if (*p == ',')
            p++;
    }
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        Reset();
        ScriptFromEnvironment();
    }
    return TRUE;
}

DWORD WINAPI XInputGetState(DWORD user, XINPUT_STATE *state)
{
    if (user >= XUSER_MAX_COUNT || !state)
        return ERROR_BAD_ARGUMENTS;
    Users[user].calls++;
    if (Users[user].result != ERROR_SUCCESS)
        return Users[user].result;
    state->dwPacketNumber = ++Packet;
    state->Gamepad = Users[user].pad;
    return ERROR_SUCCESS;
}

/* Every user disconnected, every count 0. */
void FakeXInputReset(void)
{
    Reset();
}

/* What XInputGetState answers for the user from now on: ERROR_SUCCESS with
   the state, or the error (ERROR_DEVICE_NOT_CONNECTED). */
void FakeXInputScript(DWORD user, DWORD result, const XINPUT_GAMEPAD *pad)
{
    if (user >= XUSER_MAX_COUNT)
        return;
    Users[user].result = result;
    if (pad)
        Users[user].pad = *pad;
}

/* XInputGetState calls for the user since the last reset. */
LONG FakeXInputCalls(DWORD user)
{
    return user < XUSER_MAX_COUNT ? Users[user].calls : -1;
}

} /* extern "C" */
