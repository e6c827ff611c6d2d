/* mousepad: the PlayStation mouse on port 2, driven by the host's mouse
 * through DirectInput (exclusive, foreground, on the emulator's window). */
#define DIRECTINPUT_VERSION 0x0500
#include <windows.h>
#include <dinput.h>

#include "kova_plugin.h"
#include "mousepad_logic.h"
#include "pad_entry.h"
#include "pad_report.h"

static const PluginInfo kInfo = {
    PLUGIN_JOY1, 0, 1, 0,
    "Tovrin",
    "MousePad",
    "DirectInput Mouse Driver\r\n\r\nThis plugin emulates the input device SCPH-1030.\r\n"
    "Requires DirectX 3.0",
};

/* How often a poll reads the state again after DirectInput said the input
   was lost. Reacquiring normally turns the next answer into "not acquired";
   a DirectInput that keeps saying "lost" must not hold the emulator. */
static const int kLostRereads = 3;

/* Entries of the device's own event buffer; the plugin never reads it. */
static const DWORD kDeviceBufferSize = 16;

/* Module state, one set per loaded library; all null until an open. */
static IDirectInputA *Input;
static IDirectInputDeviceA *Mouse;
static HANDLE Notify;          /* registered with the device, never waited on */

static void Close(int)
{
    /* The device goes first: releasing it ends the acquisition and its use
       of the event, and it was made by the DirectInput object. */
    if (Mouse) {
        Mouse->Release();
        Mouse = NULL;
    }
    if (Input) {
        Input->Release();
        Input = NULL;
    }
    /* Closed here too, so that open/close cycles leak no handle. */
    if (Notify) {
        CloseHandle(Notify);
        Notify = NULL;
    }
}

static int32_t FailOpen(void)
{
    Close(1);
    return -1;
}

static int32_t Open(HostServices *host, int)
{
    /* A second open without a close starts afresh instead of leaking. */
    Close(1);
    if (!host)
        return -1;

    IDirectInputA *input = NULL;
    HRESULT result = DirectInputCreateA(host->hostInstance, DIRECTINPUT_VERSION, &input, NULL);
    if (result != DI_OK) {
        /* Any answer but DI_OK fails; an object handed out with a success
           code of another kind is still ours to release. */
        if (SUCCEEDED(result))
            Input = input;
        return FailOpen();
    }
    Input = input;

    IDirectInputDeviceA *mouse = NULL;
    if (FAILED(Input->CreateDevice(GUID_SysMouse, &mouse, NULL)))
        return FailOpen();
    Mouse = mouse;
    if (FAILED(Mouse->SetDataFormat(&c_dfDIMouse)))
        return FailOpen();
    if (FAILED(Mouse->SetCooperativeLevel(host->mainWindow, DISCL_EXCLUSIVE | DISCL_FOREGROUND)))
        return FailOpen();

    Notify = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (!Notify)
        return FailOpen();
    if (FAILED(Mouse->SetEventNotification(Notify)))
        return FailOpen();

    DIPROPDWORD size;
    size.diph.dwSize = sizeof size;
    size.diph.dwHeaderSize = sizeof size.diph;
    size.diph.dwObj = 0;
    size.diph.dwHow = DIPH_DEVICE;
    size.dwData = kDeviceBufferSize;
    if (FAILED(Mouse->SetProperty(DIPROP_BUFFERSIZE, &size.diph)))
        return FailOpen();

    if (FAILED(Mouse->Acquire()))
        return FailOpen();
    return 0;
}

static void Poll(uint8_t *report, int)
{
    if (!Mouse) {
        /* Not open (yet, or any more): a mouse at rest. */
        MouseWriteNeutral(report);
        return;
    }

    DIMOUSESTATE state;
    HRESULT result = Mouse->GetDeviceState(sizeof state, &state);
    int rereads = 0;
    while (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
        /* The window lost the foreground or came back to it: try once to
           take the mouse again. After "not acquired" the next poll shows
           whether that worked; after "lost" the state is read again. */
        Mouse->Acquire();
        if (result == DIERR_NOTACQUIRED || rereads == kLostRereads)
            break;
        rereads++;
        result = Mouse->GetDeviceState(sizeof state, &state);
    }
    if (result != DI_OK) {
        MouseWriteNeutral(report);
        return;
    }
    MouseWriteState(report, state);
}

const PadPlugin kPadPlugin = {
    { NULL, &kInfo }, PadWriteMouseHeader, Open, Close, Poll, NULL,
    "This Plugin doesn't need to be configured", "MousePad config",
};
