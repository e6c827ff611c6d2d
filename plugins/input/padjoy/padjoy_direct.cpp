/* Reading the chosen controller: an XInput user index, or a DirectInput
 * game controller read as a joystick (DIJOYSTATE2), non-exclusively and in
 * the background, so that it goes on reading whichever window is in front.
 * DirectInput 8 is loaded by name, as XInput is: the libraries load on a
 * machine without it, and the controllers of XInput then still work. */
#include "padjoy.h"

#include <string.h>

#include "kova_module.h"
#include "kova_str.h"

typedef HRESULT (WINAPI *DirectInput8CreateFn)(HINSTANCE, DWORD, REFIID, LPVOID *, LPUNKNOWN);

/* How long a DirectInput device that is not there waits before the
   attached devices are listed again: a controller plugged in is used
   within about this time, and a poll never lists devices itself. */
static const DWORD kSearchMs = 1000;

bool StartDirect(JoyDirect *direct)
{
    direct->library = LoadLibraryQuietly("dinput8.dll");
    direct->input = NULL;
    DirectInput8CreateFn create =
        direct->library ? GetProcAs<DirectInput8CreateFn>(direct->library, "DirectInput8Create") : NULL;
    void *input = NULL;
    if (create && SUCCEEDED(create(ModuleInstance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &input, NULL)) &&
        input) {
        direct->input = static_cast<IDirectInput8A *>(input);
        return true;
    }
    StopDirect(direct);
    return false;
}

void StopDirect(JoyDirect *direct)
{
    if (direct->input)
        direct->input->Release();
    direct->input = NULL;
    if (direct->library)
        FreeLibrary(direct->library);
    direct->library = NULL;
}

struct DeviceList {
    JoyDevice *devices;
    int count, max;
};

static BOOL CALLBACK OnDevice(LPCDIDEVICEINSTANCEA instance, LPVOID context)
{
    DeviceList *list = static_cast<DeviceList *>(context);
    if (list->count >= list->max)
        return DIENUM_STOP;
    JoyDevice &device = list->devices[list->count++];
    device.instance = instance->guidInstance;
    BufSet(device.product, sizeof device.product, instance->tszProductName);
    BufTerminate(device.product, sizeof device.product);
    return DIENUM_CONTINUE;
}

/* Whether DirectInput's device is an XInput controller, which the list
   has already as an XInput user index: its interface path says so. */
static bool IsXInputDevice(IDirectInput8A *input, const GUID &instance)
{
    IDirectInputDevice8A *device = NULL;
    if (FAILED(input->CreateDevice(instance, &device, NULL)) || !device)
        return false;
    DIPROPGUIDANDPATH path;
    memset(&path, 0, sizeof path);
    path.diph.dwSize = sizeof path;
    path.diph.dwHeaderSize = sizeof path.diph;
    path.diph.dwHow = DIPH_DEVICE;
    HRESULT result = device->GetProperty(DIPROP_GUIDANDPATH, &path.diph);
    device->Release();
    path.wszPath[MAX_PATH - 1] = 0;
    return SUCCEEDED(result) && JoyIsXInputPath(path.wszPath);
}

int ListDirectDevices(JoyDirect *direct, JoyDevice *devices, int max)
{
    if (!direct || !direct->input)
        return 0;
    DeviceList list = { devices, 0, max };
    if (FAILED(direct->input->EnumDevices(DI8DEVCLASS_GAMECTRL, OnDevice, &list, DIEDFL_ATTACHEDONLY)))
        return 0;
    int kept = 0;
    for (int i = 0; i < list.count; i++) {
        if (!IsXInputDevice(direct->input, devices[i].instance))
            devices[kept++] = devices[i];
    }
    return kept;
}

void CloseSource(JoySource *source)
{
    if (source->device) {
        source->device->Unacquire();
        source->device->Release();
    }
    source->device = NULL;
}

static const DWORD kAxisOffsets[JOY_DI_AXES] = {
    DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_RX, DIJOFS_RY, DIJOFS_RZ, DIJOFS_SLIDER(0), DIJOFS_SLIDER(1),
};

/* Opens the device as a joystick: its data format, the cooperative level,
   what it has, each axis' range 0..65535, acquired. */
static bool OpenDevice(JoySource *source, const GUID &instance)
{
    IDirectInputDevice8A *device = NULL;
    if (FAILED(source->direct->input->CreateDevice(instance, &device, NULL)) || !device)
        return false;
    source->device = device;
    if (FAILED(device->SetDataFormat(&c_dfDIJoystick2))) {
        CloseSource(source);
        return false;
    }
    /* Without a window (a configure call without a record) DirectInput may
       refuse the level; reading in the background works all the same. */
    device->SetCooperativeLevel(source->window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    DIDEVCAPS caps;
    memset(&caps, 0, sizeof caps);
    caps.dwSize = sizeof caps;
    if (FAILED(device->GetCapabilities(&caps))) {
        CloseSource(source);
        return false;
    }
    /* The resting values stay those of the first reading since the
       controller was chosen: a pad plugged in again with a stick held
       must not take that for its rest. */
    LONG rest[JOY_DI_AXES];
    memcpy(rest, source->shape.rest, sizeof rest);
    memset(&source->shape, 0, sizeof source->shape);
    memcpy(source->shape.rest, rest, sizeof rest);
    source->shape.buttons = static_cast<int>(caps.dwButtons);
    source->shape.povs = static_cast<int>(caps.dwPOVs);
    source->needsPoll = (caps.dwFlags & (DIDC_POLLEDDEVICE | DIDC_POLLEDDATAFORMAT)) != 0;
    for (int a = 0; a < JOY_DI_AXES; a++) {
        DIDEVICEOBJECTINSTANCEA object;
        memset(&object, 0, sizeof object);
        object.dwSize = sizeof object;
        if (FAILED(device->GetObjectInfo(&object, kAxisOffsets[a], DIPH_BYOFFSET)))
            continue;
        DIPROPRANGE range;
        range.diph.dwSize = sizeof range;
        range.diph.dwHeaderSize = sizeof range.diph;
        range.diph.dwObj = kAxisOffsets[a];
        range.diph.dwHow = DIPH_BYOFFSET;
        range.lMin = 0;
        range.lMax = JOY_AXIS_MAX;
        source->shape.hasAxis[a] = SUCCEEDED(device->SetProperty(DIPROP_RANGE, &range.diph));
    }
    device->Acquire();
    return true;
}

/* Looks for the chosen device among the attached ones, at most once a
   second; true when it is open. */
static bool FindDevice(JoySource *source)
{
    DWORD now = GetTickCount();
    if (source->searched && now - source->lastSearch < kSearchMs)
        return false;
    source->searched = true;
    source->lastSearch = now;
    JoyDevice devices[JOY_DEVICE_MAX];
    int count = ListDirectDevices(source->direct, devices, JOY_DEVICE_MAX);
    int found = JoyFindDevice(source->controller, devices, count);
    return found >= 0 && OpenDevice(source, devices[found].instance);
}

static bool ReadDevice(JoySource *source, DIJOYSTATE2 *state)
{
    IDirectInputDevice8A *device = source->device;
    if (source->needsPoll)
        device->Poll();
    HRESULT result = device->GetDeviceState(sizeof *state, state);
    if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
        /* Non-exclusive background access is taken back at once unless the
           device has gone: then it is looked for again. */
        if (FAILED(device->Acquire())) {
            CloseSource(source);
            source->lastSearch = GetTickCount();
            return false;
        }
        if (source->needsPoll)
            device->Poll();
        result = device->GetDeviceState(sizeof *state, state);
    }
    if (FAILED(result)) {
        CloseSource(source);
        source->lastSearch = GetTickCount();
        return false;
    }
    return true;
}

bool ReadSource(JoySource *source, JoyReading *reading)
{
    if (source->controller.user != JOY_DIRECT) {
        reading->direct = false;
        if (!source->getState)
            return false;
        XINPUT_STATE state;
        memset(&state, 0, sizeof state);
        if (source->getState(static_cast<DWORD>(source->controller.user), &state) != ERROR_SUCCESS)
            return false;
        reading->pad = state.Gamepad;
        return true;
    }
    reading->direct = true;
    if (!source->direct || !source->direct->input)
        return false;
    if (!source->device && !FindDevice(source))
        return false;
    if (!ReadDevice(source, &reading->state))
        return false;
    if (!source->rested) {
        const LONG values[JOY_DI_AXES] = {
            reading->state.lX, reading->state.lY, reading->state.lZ, reading->state.lRx,
            reading->state.lRy, reading->state.lRz, reading->state.rglSlider[0], reading->state.rglSlider[1],
        };
        for (int a = 0; a < JOY_DI_AXES; a++)
            source->shape.rest[a] = JoyRestOf(values[a]);
        source->rested = true;
    }
    reading->shape = source->shape;
    return true;
}
