/* A scripted DirectInput 8, built as dinput8.dll beside the test programs
 * (the test prefix prefers it to Wine's own, tests/rig/prefix.d): its game
 * controllers are what the test plugs, unplugs, moves and presses, and it
 * counts the calls that matter. One device may say that it is an XInput
 * controller (its interface path holds "IG_"), as DirectInput lists those
 * too. A program that cannot be scripted from within (the KOVA.EXE
 * stand-in) gets one device from KOVA_FAKE_DINPUT: "Name=hex" plugs a pad
 * of that product name holding the buttons of the hex mask (bit 0 button
 * 1), with its axes at rest. */
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
#include <dinput.h>
#include <stdlib.h>
#include <string.h>

namespace {

#define MAX_DEVICES 4
#define MAX_OBJECTS 16

struct Device {
    bool attached;
    bool xinput;
    bool polled;      /* needs Poll: says so in its capabilities */
    bool lost;        /* the next state read says DIERR_INPUTLOST */
    char product[MAX_PATH];
    GUID instance;
    int buttons, povs;
    unsigned axes;    /* bit a: axis a of DIJOYSTATE2 (X, Y, Z, RX, RY, RZ, S0, S1) */
    DIJOYSTATE2 state;
};
Device Devices[MAX_DEVICES];
DWORD Generation;     /* new instance GUIDs after a move */

/* Counted calls, by name. */
struct Counts {
    LONG enumDevices, createDevice, getDeviceState, acquire, poll, released, open;
    DWORD cooperative;
    LONG rangeMin, rangeMax;
    LONG dataSize;
} Count;

GUID InstanceOf(int id)
{
    GUID guid = { 0x6B6F7600u + static_cast<DWORD>(id) + 0x100u * Generation, 0x1234, 0x5678,
                  { 0x9A, 0xBC, 0xDE, 0xF0, 0x11, 0x22, 0x33, static_cast<BYTE>(id) } };
    return guid;
}

void RestState(DIJOYSTATE2 *state)
{
    memset(state, 0, sizeof *state);
    state->lX = state->lY = state->lZ = state->lRx = state->lRy = state->lRz = 32767;
    for (DWORD &pov : state->rgdwPOV)
        pov = 0xFFFFFFFF;
}

void Reset()
{
    memset(Devices, 0, sizeof Devices);
    memset(&Count, 0, sizeof Count);
    Generation = 0;
}

/* COM objects are released, never deleted through their interface. */
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class FakeDevice : public IDirectInputDevice8A {
public:
    int id = -1;
    LONG refs = 0;
    bool acquired = false;
    bool formatted = false;

    Device &dev() { return Devices[id]; }

    STDMETHOD_(HRESULT, QueryInterface)(REFIID, void **out) override
    {
        *out = NULL;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs); }
    STDMETHOD_(ULONG, Release)() override
    {
        if (--refs == 0) {
            Count.released++;
            Count.open--;
            id = -1;
        }
        return static_cast<ULONG>(refs);
    }
    STDMETHOD(GetCapabilities)(LPDIDEVCAPS caps) override
    {
        if (!dev().attached)
            return DIERR_UNPLUGGED;
        caps->dwFlags = DIDC_ATTACHED | (dev().polled ? DIDC_POLLEDDEVICE : 0);
        caps->dwDevType = DI8DEVTYPE_GAMEPAD;
        caps->dwButtons = static_cast<DWORD>(dev().buttons);
        caps->dwPOVs = static_cast<DWORD>(dev().povs);
        caps->dwAxes = static_cast<DWORD>(__builtin_popcount(dev().axes));
        return DI_OK;
    }
    STDMETHOD(EnumObjects)(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override { return DI_OK; }
    STDMETHOD(GetProperty)(REFGUID prop, LPDIPROPHEADER header) override
    {
        /* Properties are small numbers in a GUID's clothes: compare the
           addresses, never the GUIDs. */
        if (&prop != &DIPROP_GUIDANDPATH)
            return DIERR_UNSUPPORTED;
        DIPROPGUIDANDPATH *path = reinterpret_cast<DIPROPGUIDANDPATH *>(header);
        const char *text = dev().xinput ? "\\\\?\\hid#vid_045e&pid_028e&ig_00#1&2&0#{4d1e55b2}"
                                        : "\\\\?\\hid#vid_0810&pid_0001#1&2&0#{4d1e55b2}";
        MultiByteToWideChar(CP_ACP, 0, text, -1, path->wszPath, MAX_PATH);
        return DI_OK;
    }
    STDMETHOD(SetProperty)(REFGUID prop, LPCDIPROPHEADER header) override
    {
        if (&prop == &DIPROP_RANGE) {
            const DIPROPRANGE *range = reinterpret_cast<const DIPROPRANGE *>(header);
            Count.rangeMin = range->lMin;
            Count.rangeMax = range->lMax;
        }
        return DI_OK;
    }
    STDMETHOD(Acquire)() override
    {
        Count.acquire++;
        if (!dev().attached)
            return DIERR_UNPLUGGED;
        if (!formatted)
            return DIERR_INVALIDPARAM;
        bool was = acquired;
        acquired = true;
        dev().lost = false;
        return was ? S_FALSE : DI_OK;
    }
    STDMETHOD(Unacquire)() override
    {
        acquired = false;
        return DI_OK;
    }
    STDMETHOD(GetDeviceState)(DWORD size, LPVOID data) override
    {
        Count.getDeviceState++;
        if (size != sizeof(DIJOYSTATE2))
            return DIERR_INVALIDPARAM;
        if (!dev().attached || dev().lost) {
            acquired = false;
            return DIERR_INPUTLOST;
        }
        if (!acquired)
            return DIERR_NOTACQUIRED;
        memcpy(data, &dev().state, sizeof dev().state);
        return DI_OK;
    }
    STDMETHOD(GetDeviceData)(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(SetDataFormat)(LPCDIDATAFORMAT format) override
    {
        Count.dataSize = static_cast<LONG>(format->dwDataSize);
        formatted = format->dwDataSize == sizeof(DIJOYSTATE2);
        return formatted ? DI_OK : DIERR_INVALIDPARAM;
    }
    STDMETHOD(SetEventNotification)(HANDLE) override { return DI_OK; }
    STDMETHOD(SetCooperativeLevel)(HWND, DWORD flags) override
    {
        Count.cooperative = flags;
        return DI_OK;
    }
    STDMETHOD(GetObjectInfo)(LPDIDEVICEOBJECTINSTANCEA object, DWORD offset, DWORD how) override
    {
        static const DWORD kOffsets[8] = {
            DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_RX, DIJOFS_RY, DIJOFS_RZ, DIJOFS_SLIDER(0), DIJOFS_SLIDER(1),
        };
        if (how != DIPH_BYOFFSET)
            return DIERR_INVALIDPARAM;
        for (int a = 0; a < 8; a++) {
            if (kOffsets[a] == offset && (dev().axes & (1u << a))) {
                object->dwOfs = offset;
                return DI_OK;
            }
        }
        return DIERR_OBJECTNOTFOUND;
    }
    STDMETHOD(GetDeviceInfo)(LPDIDEVICEINSTANCEA) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(RunControlPanel)(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(Initialize)(HINSTANCE, DWORD, REFGUID) override { return DI_OK; }
    STDMETHOD(CreateEffect)(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT *, LPUNKNOWN) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(EnumEffects)(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(GetEffectInfo)(LPDIEFFECTINFOA, REFGUID) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(GetForceFeedbackState)(LPDWORD) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(SendForceFeedbackCommand)(DWORD) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(EnumCreatedEffectObjects)(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override
    {
        return DIERR_UNSUPPORTED;
    }
    STDMETHOD(Escape)(LPDIEFFESCAPE) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(Poll)() override
    {
        Count.poll++;
        return dev().polled ? DI_OK : DI_NOEFFECT;
    }
    STDMETHOD(SendDeviceData)(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(EnumEffectsInFile)(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) override
    {
        return DIERR_UNSUPPORTED;
    }
    STDMETHOD(WriteEffectToFile)(LPCSTR, DWORD, LPDIFILEEFFECT, DWORD) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(BuildActionMap)(LPDIACTIONFORMATA, LPCSTR, DWORD) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(SetActionMap)(LPDIACTIONFORMATA, LPCSTR, DWORD) override { return DIERR_UNSUPPORTED; }
    STDMETHOD(GetImageInfo)(LPDIDEVICEIMAGEINFOHEADERA) override { return DIERR_UNSUPPORTED; }
};

FakeDevice Opened[MAX_OBJECTS];

class FakeInput : public IDirectInput8A {
public:
    LONG refs = 0;
    STDMETHOD_(HRESULT, QueryInterface)(REFIID, void **out) override
    {
        *out = NULL;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs); }
    STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs); }
    STDMETHOD(CreateDevice)(REFGUID instance, LPDIRECTINPUTDEVICE8A *out, LPUNKNOWN) override
    {
        Count.createDevice++;
        *out = NULL;
        for (int id = 0; id < MAX_DEVICES; id++) {
            if (!Devices[id].attached || !IsEqualGUID(instance, Devices[id].instance))
                continue;
            for (FakeDevice &object : Opened) {
                if (object.id >= 0)
                    continue;
                object.id = id;
                object.refs = 1;
                object.acquired = false;
                object.formatted = false;
                Count.open++;
                *out = &object;
                return DI_OK;
            }
            return E_OUTOFMEMORY;
        }
        return DIERR_DEVICENOTREG;
    }
    STDMETHOD(EnumDevices)(DWORD type, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref, DWORD flags) override
    {
        Count.enumDevices++;
        if (type != DI8DEVCLASS_GAMECTRL || !(flags & DIEDFL_ATTACHEDONLY))
            return DIERR_INVALIDPARAM;
        for (Device &device : Devices) {
            if (!device.attached)
                continue;
            DIDEVICEINSTANCEA instance;
            memset(&instance, 0, sizeof instance);
            instance.dwSize = sizeof instance;
            instance.guidInstance = device.instance;
            instance.dwDevType = DI8DEVTYPE_GAMEPAD;
            strcpy(instance.tszProductName, device.product);
            strcpy(instance.tszInstanceName, device.product);
            if (callback(&instance, ref) == DIENUM_STOP)
                break;
        }
        return DI_OK;
    }
    STDMETHOD(GetDeviceStatus)(REFGUID) override { return DI_OK; }
    STDMETHOD(RunControlPanel)(HWND, DWORD) override { return DI_OK; }
    STDMETHOD(Initialize)(HINSTANCE, DWORD) override { return DI_OK; }
    STDMETHOD(FindDevice)(REFGUID, LPCSTR, LPGUID) override { return DIERR_DEVICENOTREG; }
    STDMETHOD(EnumDevicesBySemantics)(LPCSTR, LPDIACTIONFORMATA, LPDIENUMDEVICESBYSEMANTICSCBA, LPVOID, DWORD) override
    {
        return DIERR_UNSUPPORTED;
    }
    STDMETHOD(ConfigureDevices)(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSA, DWORD, LPVOID) override
    {
        return DIERR_UNSUPPORTED;
    }
};

#pragma GCC diagnostic pop

FakeInput Input;

void Plug(int id, const char *product, int buttons, int povs, unsigned axes, BOOL xinput)
{
    Device &device = Devices[id];
    memset(&device, 0, sizeof device);
    device.attached = true;
    device.xinput = xinput != FALSE;
    strncpy(device.product, product, sizeof device.product - 1);
    device.instance = InstanceOf(id);
    device.buttons = buttons;
    device.povs = povs;
    device.axes = axes;
    RestState(&device.state);
}

void ScriptFromEnvironment()
{
    char text[256];
    DWORD got = GetEnvironmentVariableA("KOVA_FAKE_DINPUT", text, sizeof text);
    if (got == 0 || got >= sizeof text)
        return;
    char *equals = strchr(text, '=');
    if (!equals)
        return;
    *equals = '\0';
    Plug(0, text, 12, 1, 0x27, FALSE);
    unsigned long held = strtoul(equals + 1, NULL, 16);
    for (int b = 0; b < 32; b++)
        Devices[0].state.rgbButtons[b] = (held >> b) & 1 ? 0x80 : 0;
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

HRESULT WINAPI DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, LPVOID *out, LPUNKNOWN)
{
    *out = NULL;
    if (version != 0x0800 || !IsEqualGUID(iid, IID_IDirectInput8A))
        return DIERR_INVALIDPARAM;
    Input.AddRef();
    *out = &Input;
    return DI_OK;
}

HRESULT WINAPI DllCanUnloadNow(void)
{
    return S_FALSE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, LPVOID *out)
{
    *out = NULL;
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllRegisterServer(void)
{
    return S_OK;
}

HRESULT WINAPI DllUnregisterServer(void)
{
    return S_OK;
}

/* No devices, every count 0. */
void FakeDInputReset(void)
{
    Reset();
}

/* Attaches device id (0 to 3) at rest: its product name, button and hat
   counts, axes (bit a for axis a) and whether it is an XInput controller. */
void FakeDInputPlug(int id, const char *product, int buttons, int povs, unsigned axes, BOOL xinput)
{
    if (id >= 0 && id < MAX_DEVICES)
        Plug(id, product, buttons, povs, axes, xinput);
}

/* Pulls it out; plugging it in again keeps its instance GUID unless it
   was moved. */
void FakeDInputUnplug(int id)
{
    if (id >= 0 && id < MAX_DEVICES)
        Devices[id].attached = false;
}

void FakeDInputReplug(int id)
{
    if (id >= 0 && id < MAX_DEVICES)
        Devices[id].attached = true;
}

/* Every device gets a new instance GUID, as on another USB port. */
void FakeDInputMove(void)
{
    Generation++;
    for (int id = 0; id < MAX_DEVICES; id++)
        Devices[id].instance = InstanceOf(id);
}

/* What the device reads from now on. */
void FakeDInputState(int id, const DIJOYSTATE2 *state)
{
    if (id >= 0 && id < MAX_DEVICES)
        Devices[id].state = *state;
}

/* The device needs Poll before each read. */
void FakeDInputPolled(int id, BOOL polled)
{
    if (id >= 0 && id < MAX_DEVICES)
        Devices[id].polled = polled != FALSE;
}

/* The next read says the input was lost (another program took it) until
   the device is acquired again. */
void FakeDInputLose(int id)
{
    if (id >= 0 && id < MAX_DEVICES)
        Devices[id].lost = true;
}

/* A count by name: "EnumDevices", "CreateDevice", "GetDeviceState",
   "Acquire", "Poll", "open" (device objects not released), "cooperative"
   (the last flags), "rangeMin", "rangeMax", "dataSize" (the last set). */
LONG FakeDInputCount(const char *what)
{
    const struct {
        const char *name;
        LONG value;
    } counts[] = {
        { "EnumDevices", Count.enumDevices }, { "CreateDevice", Count.createDevice },
        { "GetDeviceState", Count.getDeviceState }, { "Acquire", Count.acquire }, { "Poll", Count.poll },
        { "open", Count.open }, { "cooperative", static_cast<LONG>(Count.cooperative) },
        { "rangeMin", Count.rangeMin }, { "rangeMax", Count.rangeMax }, { "dataSize", Count.dataSize },
    };
    for (const auto &count : counts) {
        if (strcmp(count.name, what) == 0)
            return count.value;
    }
    return -1;
}

} /* extern "C" */
