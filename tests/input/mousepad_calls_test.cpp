/* mousepad against a recording DirectInput: the plugin's import of
   DirectInputCreateA is pointed at a made-up DirectInput that answers as
   each row tells it and writes down every call, so that the order and the
   arguments of the open sequence, what a failed step releases, and the
   poll's handling of lost input can be seen exactly. */
#define DIRECTINPUT_VERSION 0x0500
#include <windows.h>
#include <dinput.h>

#include <deque>
#include <string.h>

#include "kova_test.h"

namespace {

/* ---- the recording DirectInput ---- */

struct Script {
    HRESULT create = DI_OK;
    bool createGivesObject = true;
    HRESULT createDevice = DI_OK;
    HRESULT setDataFormat = DI_OK;
    HRESULT setCooperativeLevel = DI_OK;
    bool eventFails = false;
    HRESULT setEventNotification = DI_OK;
    HRESULT setProperty = DI_OK;
    HRESULT openAcquire = DI_OK;  /* the first Acquire */
    HRESULT laterAcquire = DI_OK; /* every Acquire after it */
    std::deque<HRESULT> states;   /* GetDeviceState answers in turn; then "lost" for ever */
    bool lostForEver = false;
    DIMOUSESTATE state = {};      /* delivered with DI_OK */
};

Script Plan;
std::vector<std::string> Calls;
/* What the host record holds: no real instance or window is needed. */
HINSTANCE const HostInstance = reinterpret_cast<HINSTANCE>(0x00400000);
HWND const MainWindow = reinterpret_cast<HWND>(0x0001234);
HANDLE LastEvent;
int Acquires;

void Note(const std::string &call)
{
    Calls.push_back(call);
}

HRESULT Unexpected(const char *method)
{
    Note(std::string("unexpected ") + method);
    return E_NOTIMPL;
}

const GUID kSysMouse = { 0x6F1D2B60, 0xD5A0, 0x11CF, { 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00 } };

/* The format the plugin hands over, compared field by field with the
   library's own c_dfDIMouse (the test links the same static data). */
std::string DescribeFormat(const DIDATAFORMAT *f)
{
    const DIDATAFORMAT &want = c_dfDIMouse;
    bool same = f && f->dwSize == want.dwSize && f->dwObjSize == want.dwObjSize &&
                f->dwFlags == want.dwFlags && f->dwDataSize == want.dwDataSize &&
                f->dwNumObjs == want.dwNumObjs;
    for (DWORD i = 0; same && i < want.dwNumObjs; i++) {
        const DIOBJECTDATAFORMAT &a = f->rgodf[i], &b = want.rgodf[i];
        same = a.dwOfs == b.dwOfs && a.dwType == b.dwType && a.dwFlags == b.dwFlags &&
               ((!a.pguid && !b.pguid) || (a.pguid && b.pguid && IsEqualGUID(*a.pguid, *b.pguid)));
    }
    if (same)
        return "c_dfDIMouse";
    char text[128];
    BufFormat(text, sizeof text, "format size %lu, %lu objects, %lu data bytes", f ? f->dwSize : 0,
              f ? f->dwNumObjs : 0, f ? f->dwDataSize : 0);
    return text;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

/* The IUnknown of a made-up object: no other interface, counts that never
   reach zero; a method the plugin must not call is written down as such. */
#define FAKE_UNKNOWN(who)                                                       \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **out) override      \
    {                                                                           \
        *out = NULL;                                                            \
        return Unexpected(who " QueryInterface");                               \
    }                                                                           \
    ULONG STDMETHODCALLTYPE AddRef() override { Note(who " AddRef"); return 2; } \
    ULONG STDMETHODCALLTYPE Release() override { Note(who " Release"); return 0; }
#define UNEXPECTED(name, ...) \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return Unexpected(#name); }

class FakeDevice : public IDirectInputDeviceA {
public:
    FAKE_UNKNOWN("device")
    UNEXPECTED(GetCapabilities, LPDIDEVCAPS)
    UNEXPECTED(EnumObjects, LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD)
    UNEXPECTED(GetProperty, REFGUID, LPDIPROPHEADER)
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property, LPCDIPROPHEADER header) override
    {
        char text[160];
        const DIPROPDWORD *value = reinterpret_cast<const DIPROPDWORD *>(header);
        BufFormat(text, sizeof text, "SetProperty(%s, size %lu, header %lu, object %lu, how %lu, data %lu)",
                  reinterpret_cast<uintptr_t>(&property) == 1 ? "DIPROP_BUFFERSIZE" : "other",
                  value->diph.dwSize, value->diph.dwHeaderSize, value->diph.dwObj,
                  value->diph.dwHow, value->dwData);
        Note(text);
        return Plan.setProperty;
    }
    HRESULT STDMETHODCALLTYPE Acquire() override
    {
        Note("Acquire");
        return Acquires++ ? Plan.laterAcquire : Plan.openAcquire;
    }
    HRESULT STDMETHODCALLTYPE Unacquire() override
    {
        Note("Unacquire");
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override
    {
        char text[64];
        BufFormat(text, sizeof text, "GetDeviceState(%lu)", size);
        Note(text);
        HRESULT result = DIERR_INPUTLOST;
        if (!Plan.states.empty()) {
            result = Plan.states.front();
            Plan.states.pop_front();
        } else if (!Plan.lostForEver) {
            result = DI_OK;
        }
        if (result == DI_OK && size == sizeof Plan.state)
            memcpy(data, &Plan.state, sizeof Plan.state);
        return result;
    }
    UNEXPECTED(GetDeviceData, DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD)
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override
    {
        Note("SetDataFormat(" + DescribeFormat(format) + ")");
        return Plan.setDataFormat;
    }
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE event) override
    {
        Note(std::string("SetEventNotification(") +
             (event && event == LastEvent ? "the event" : "another handle") + ")");
        return Plan.setEventNotification;
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override
    {
        char text[96];
        BufFormat(text, sizeof text, "SetCooperativeLevel(%s, 0x%lx)",
                  window == MainWindow ? "main window" : "another window", flags);
        Note(text);
        return Plan.setCooperativeLevel;
    }
    UNEXPECTED(GetObjectInfo, LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD)
    UNEXPECTED(GetDeviceInfo, LPDIDEVICEINSTANCEA)
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return Unexpected("device RunControlPanel"); }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override
    {
        return Unexpected("device Initialize");
    }
};

class FakeInput : public IDirectInputA {
public:
    FAKE_UNKNOWN("input")
    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID device, LPDIRECTINPUTDEVICEA *out, LPUNKNOWN outer) override;
    UNEXPECTED(EnumDevices, DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD)
    UNEXPECTED(GetDeviceStatus, REFGUID)
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return Unexpected("input RunControlPanel"); }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override { return Unexpected("input Initialize"); }
};

#pragma GCC diagnostic pop

FakeDevice TheDevice;
FakeInput TheInput;

HRESULT STDMETHODCALLTYPE FakeInput::CreateDevice(REFGUID device, LPDIRECTINPUTDEVICEA *out, LPUNKNOWN outer)
{
    Note(std::string("CreateDevice(") + (IsEqualGUID(device, kSysMouse) ? "GUID_SysMouse" : "another device") +
         (outer ? ", outer)" : ", no outer)"));
    *out = SUCCEEDED(Plan.createDevice) ? &TheDevice : NULL;
    return Plan.createDevice;
}

HRESULT WINAPI FakeDirectInputCreateA(HINSTANCE instance, DWORD version, IDirectInputA **out, IUnknown *outer)
{
    char text[128];
    BufFormat(text, sizeof text, "DirectInputCreateA(%s, 0x%04lx, %s)",
              instance == HostInstance ? "host instance" : "another instance", version,
              outer ? "outer" : "no outer");
    Note(text);
    *out = Plan.createGivesObject ? &TheInput : NULL;
    return Plan.create;
}

HANDLE WINAPI RecordCreateEventA(SECURITY_ATTRIBUTES *security, BOOL manual, BOOL initial, const char *name)
{
    char text[128];
    BufFormat(text, sizeof text, "CreateEventA(%s, %s, %s, %s)", security ? "security" : "no security",
              manual ? "manual reset" : "auto-reset", initial ? "signalled" : "not signalled",
              name ? name : "unnamed");
    Note(text);
    LastEvent = Plan.eventFails ? NULL : CreateEventA(security, manual, initial, name);
    return LastEvent;
}

BOOL WINAPI RecordCloseHandle(HANDLE handle)
{
    Note(handle && handle == LastEvent ? "CloseHandle(the event)" : "CloseHandle(another handle)");
    return CloseHandle(handle);
}

/* ---- the plugin with its DirectInput and events redirected ---- */

struct RecordedMousePad : Joy1Exports {
    ImportHook create{ lib.handle(), "dinput.dll", "DirectInputCreateA",
                       reinterpret_cast<void *>(FakeDirectInputCreateA) };
    ImportHook createEvent{ lib.handle(), "kernel32.dll", "CreateEventA",
                            reinterpret_cast<void *>(RecordCreateEventA) };
    ImportHook closeHandle{ lib.handle(), "kernel32.dll", "CloseHandle",
                            reinterpret_cast<void *>(RecordCloseHandle) };
    HostServices host = {};

    RecordedMousePad() : Joy1Exports(ShippedPath("mousepad.dll"))
    {
        Plan = Script();
        Calls.clear();
        LastEvent = NULL;
        Acquires = 0;
        host.hostInstance = HostInstance;
        host.mainWindow = MainWindow;
    }
    bool ready() const
    {
        return lib.loaded() && create.installed() && createEvent.installed() && closeHandle.installed();
    }
    /* The calls made since the last look, then forgotten. */
    std::vector<std::string> TakeCalls()
    {
        std::vector<std::string> calls;
        calls.swap(Calls);
        return calls;
    }
};

const char *const kCreate = "DirectInputCreateA(host instance, 0x0500, no outer)";
const char *const kCreateDevice = "CreateDevice(GUID_SysMouse, no outer)";
const char *const kSetDataFormat = "SetDataFormat(c_dfDIMouse)";
const char *const kSetCooperativeLevel = "SetCooperativeLevel(main window, 0x5)";
const char *const kCreateEvent = "CreateEventA(no security, auto-reset, not signalled, unnamed)";
const char *const kSetEventNotification = "SetEventNotification(the event)";
const char *const kSetProperty =
    "SetProperty(DIPROP_BUFFERSIZE, size 20, header 16, object 0, how 0, data 16)";
const char *const kAcquire = "Acquire";
const char *const kRead = "GetDeviceState(16)";
/* What a good open calls, in order, and what a close releases. */
const Lines kOpenCalls = { kCreate, kCreateDevice, kSetDataFormat, kSetCooperativeLevel,
                           kCreateEvent, kSetEventNotification, kSetProperty, kAcquire };
const Lines kReleased = { "device Release", "input Release", "CloseHandle(the event)" };

Lines Join(Lines a, const Lines &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(MousePadCalls, OpenSetsUpTheMouseInOrderAndCloseReleasesEverything)
{
    RecordedMousePad pad;
    ASSERT_TRUE(pad.ready());
    ASSERT_EQ(0, pad.JOY1_Open(&pad.host));
    EXPECT_EQ(kOpenCalls, pad.TakeCalls());

    /* The event is auto-reset and starts not signalled. */
    ASSERT_TRUE(LastEvent != NULL);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(LastEvent, 0));
    SetEvent(LastEvent);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(LastEvent, 0));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(LastEvent, 0));

    pad.JOY1_Vibrate();
    pad.JOY1_Close();
    EXPECT_EQ(kReleased, pad.TakeCalls());
    pad.JOY1_Close();
    EXPECT_EQ(std::vector<std::string>(), pad.TakeCalls()) << "second close";
}

TEST(MousePadCalls, AFailingStepReleasesWhatExistsAndOpenReturnsMinusOne)
{
    struct Row {
        const char *what;
        void (*plan)(Script &);
        int32_t result;
        size_t steps;   /* of a good open's calls, the first ones made */
        Lines released; /* after them */
    };
    const Lines twoObjects(kReleased.begin(), kReleased.begin() + 2);
    const Row rows[] = {
        { "DirectInput refuses version 0x0500",
          [](Script &s) { s.create = DIERR_OLDDIRECTINPUTVERSION; s.createGivesObject = false; },
          -1, 1, {} },
        { "DirectInput answers S_FALSE, which is not DI_OK", [](Script &s) { s.create = S_FALSE; },
          -1, 1, { "input Release" } },
        { "no mouse device", [](Script &s) { s.createDevice = DIERR_DEVICENOTREG; }, -1, 2,
          { "input Release" } },
        { "data format refused", [](Script &s) { s.setDataFormat = DIERR_INVALIDPARAM; }, -1, 3,
          twoObjects },
        { "cooperative level refused", [](Script &s) { s.setCooperativeLevel = E_HANDLE; }, -1, 4,
          twoObjects },
        { "no event", [](Script &s) { s.eventFails = true; }, -1, 5, twoObjects },
        { "event notification refused",
          [](Script &s) { s.setEventNotification = DIERR_INVALIDPARAM; }, -1, 6, kReleased },
        { "buffer size refused", [](Script &s) { s.setProperty = DIERR_UNSUPPORTED; }, -1, 7,
          kReleased },
        { "another program has the mouse",
          [](Script &s) { s.openAcquire = DIERR_OTHERAPPHASPRIO; }, -1, 8, kReleased },
        { "positive answers of later steps are successes",
          [](Script &s) { s.setProperty = DI_PROPNOEFFECT; s.openAcquire = S_FALSE; }, 0, 8, {} },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        RecordedMousePad pad;
        ASSERT_TRUE(pad.ready());
        row.plan(Plan);
        EXPECT_EQ(row.result, pad.JOY1_Open(&pad.host));
        Lines opened(kOpenCalls.begin(), kOpenCalls.begin() + row.steps);
        EXPECT_EQ(Join(opened, row.released), pad.TakeCalls());
        if (row.result != 0) {
            /* Closed again: a poll has no device, close has nothing left. */
            uint8_t report[8];
            memset(report, 0x55, sizeof report);
            pad.JOY1_InitHeader(report);
            report[4] = report[5] = report[6] = 0x55;
            pad.JOY1_Poll();
            EXPECT_EQ("55 12 5a ff ff 00 00 55", Bytes(report, 8));
            pad.JOY1_Close();
            EXPECT_EQ(std::vector<std::string>(), pad.TakeCalls());
        } else {
            pad.JOY1_Close();
        }
    }
}

TEST(MousePadCalls, PollReadsTheStateAndRetakesALostMouseABoundedNumberOfTimes)
{
    struct Row {
        const char *what;
        std::vector<HRESULT> states;
        bool lostForEver;
        std::vector<std::string> calls;
        const char *bytes; /* 4 to 6 */
    };
    const Row rows[] = {
        { "state read", {}, false, { kRead }, "f7 05 fd" },
        { "not acquired: one try to retake it, a resting mouse",
          { DIERR_NOTACQUIRED }, false, { kRead, kAcquire }, "ff 00 00" },
        { "lost, retaken, read again", { DIERR_INPUTLOST }, false, { kRead, kAcquire, kRead }, "f7 05 fd" },
        { "lost, then not acquired", { DIERR_INPUTLOST, DIERR_NOTACQUIRED }, false,
          { kRead, kAcquire, kRead, kAcquire }, "ff 00 00" },
        { "lost for ever: four reads, then a resting mouse", {}, true,
          { kRead, kAcquire, kRead, kAcquire, kRead, kAcquire, kRead, kAcquire }, "ff 00 00" },
        { "any other failure: no retry", { DIERR_INVALIDPARAM }, false, { kRead }, "ff 00 00" },
        { "a success code other than DI_OK", { S_FALSE }, false, { kRead }, "ff 00 00" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        RecordedMousePad pad;
        ASSERT_TRUE(pad.ready());
        ASSERT_EQ(0, pad.JOY1_Open(&pad.host));
        uint8_t report[8];
        memset(report, 0xCC, sizeof report);
        ASSERT_EQ(7, pad.JOY1_InitHeader(report));
        pad.TakeCalls();
        Plan.states.assign(row.states.begin(), row.states.end());
        Plan.lostForEver = row.lostForEver;
        Plan.laterAcquire = DIERR_OTHERAPPHASPRIO;
        Plan.state = { 5, -3, 0, { 0x80, 0, 0, 0 } };
        report[4] = report[5] = report[6] = 0x55;
        pad.JOY1_Poll();
        EXPECT_EQ(row.calls, pad.TakeCalls());
        EXPECT_EQ(std::string("cc 12 5a ff ") + row.bytes + " cc", Bytes(report, 8));
        pad.JOY1_Close();
    }
}

TEST(MousePadCalls, WithoutADeviceOrABufferNothingIsReadOrWrittenThroughNull)
{
    RecordedMousePad pad;
    ASSERT_TRUE(pad.ready());
    uint8_t report[8];

    pad.JOY1_Poll(); /* nothing loaded into the plugin yet: no buffer, no device */
    pad.JOY1_Close();
    EXPECT_EQ(std::vector<std::string>(), pad.TakeCalls()) << "close without open";

    memset(report, 0xCC, sizeof report);
    EXPECT_EQ(7, pad.JOY1_InitHeader(report));
    EXPECT_EQ("cc 12 5a ff ff 00 00 cc", Bytes(report, 8));
    report[4] = report[5] = report[6] = 0x55;
    pad.JOY1_Poll();
    EXPECT_EQ("cc 12 5a ff ff 00 00 cc", Bytes(report, 8)) << "poll before open";
    EXPECT_EQ(std::vector<std::string>(), pad.TakeCalls());

    EXPECT_EQ(-1, pad.JOY1_Open(NULL)) << "no record, no window to bind the mouse to";
    EXPECT_EQ(std::vector<std::string>(), pad.TakeCalls());

    ASSERT_EQ(0, pad.JOY1_Open(&pad.host));
    pad.TakeCalls();
    EXPECT_EQ(7, pad.JOY1_InitHeader(NULL));
    pad.JOY1_Poll(); /* open, but no buffer: the mouse is not even read */
    EXPECT_EQ(std::vector<std::string>(), pad.TakeCalls());

    /* a second init-header: later polls reach only the new buffer */
    uint8_t second[8];
    memset(second, 0xCC, sizeof second);
    EXPECT_EQ(7, pad.JOY1_InitHeader(second));
    Plan.state = { -300, 0, 0, { 0, 0x80, 0, 0 } };
    report[4] = report[5] = report[6] = 0x55;
    pad.JOY1_Poll();
    EXPECT_EQ("cc 12 5a ff fb 80 00 cc", Bytes(second, 8));
    EXPECT_EQ("cc 12 5a ff 55 55 55 cc", Bytes(report, 8));

    pad.JOY1_Close();
    pad.TakeCalls();
    second[4] = 0x00;
    pad.JOY1_Poll();
    EXPECT_EQ("cc 12 5a ff ff 00 00 cc", Bytes(second, 8)) << "poll after close";
    EXPECT_EQ(std::vector<std::string>(), pad.TakeCalls());
}

TEST(MousePadCalls, ASecondOpenStartsAfreshInsteadOfLeaking)
{
    RecordedMousePad pad;
    ASSERT_TRUE(pad.ready());
    ASSERT_EQ(0, pad.JOY1_Open(&pad.host));
    pad.TakeCalls();
    ASSERT_EQ(0, pad.JOY1_Open(&pad.host));
    EXPECT_EQ(Join(kReleased, kOpenCalls), pad.TakeCalls());
    pad.JOY1_Close();
}

TEST(MousePadCalls, ConfigureOpensNoDevice)
{
    /* Its note is checked with the other plugins' (configure_note_test). */
    RecordedMousePad pad;
    ASSERT_TRUE(pad.ready());
    MessageBoxRecorder boxes(pad.lib.handle());
    HostServices host = {};
    EXPECT_EQ(0, pad.JOY1_Configure(&host));
    EXPECT_EQ(1u, boxes.calls().size());
    EXPECT_EQ(std::vector<std::string>(), pad.TakeCalls());
}
