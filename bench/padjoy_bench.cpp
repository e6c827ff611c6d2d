/* One poll through padjoy1.dll against the XInputGetState call alone.
 *
 *   padjoy_bench <label> [polls per round] [rounds]   (default 200000 7)
 *
 * The program loads XInput as padjoy does (xinput1_4, xinput1_3,
 * xinput9_1_0, the first found) and, in alternating rounds, times
 *   direct  XInputGetState of user index 0 into a state record;
 *   padjoy  JOY0_Poll: the same call, the map, the report bytes.
 * and, in the same rounds,
 *   analog  JOY0_Poll of the same controller as the analog pad (the
 *           sticks' four bytes too);
 *   state   GetDeviceState of a DirectInput game controller, acquired as
 *           padjoy acquires it (non-exclusive, background, DIJOYSTATE2);
 *   dinput  JOY0_Poll with that device as the controller.
 * Which XInput and DirectInput answer depends on where the program runs:
 * beside the scripted xinput1_4.dll and dinput8.dll of the tests it is a
 * connected controller holding A and the D-pad up (KOVA_FAKE_XINPUT) and a
 * USB pad holding button 3 (KOVA_FAKE_DINPUT), elsewhere the system's
 * (without a DirectInput game controller the last two are left out). Not a
 * test: scripts/bench-padjoy.sh runs it both ways. Prints its figures as
 * key=value lines (padjoy.<label>.*), the rounds as # comments. */
#define DIRECTINPUT_VERSION 0x0800
#include <dinput.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xinput.h>

#include <algorithm>
#include <vector>

#include "bench_clock.h"
#include "kova_test.h"

namespace {

typedef DWORD(WINAPI *GetStateFn)(DWORD, XINPUT_STATE *);

/* Keeps the compiler from dropping the direct calls' results. */
volatile DWORD Sink;

double Best(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

/* padjoy1.dll opened on the record's settings, its report registered. */
struct Pad {
    HMODULE module = NULL;
    PadPollFn poll = NULL;
    PluginCloseFn close = NULL;
    uint8_t report[9] = {};
    bool Open(const char *dll, HostServices *host)
    {
        module = LoadLibraryA(dll);
        PluginOpenFn open = module ? GetProcAs<PluginOpenFn>(module, "JOY0_Open") : NULL;
        PadInitHeaderFn initHeader = module ? GetProcAs<PadInitHeaderFn>(module, "JOY0_InitHeader") : NULL;
        poll = module ? GetProcAs<PadPollFn>(module, "JOY0_Poll") : NULL;
        close = module ? GetProcAs<PluginCloseFn>(module, "JOY0_Close") : NULL;
        if (!open || !initHeader || !poll || !close || open(host) != 0)
            return false;
        initHeader(report);
        poll();
        return true;
    }
    ~Pad()
    {
        if (close)
            close();
        if (module)
            FreeLibrary(module);
    }
};

/* Copies of the library, removed once the pads are closed (declared
   before them, so destroyed after them). */
struct Copies {
    std::vector<std::string> paths;
    ~Copies()
    {
        for (const std::string &path : paths)
            DeleteFileA(path.c_str());
    }
};

BOOL CALLBACK FirstDevice(LPCDIDEVICEINSTANCEA instance, LPVOID context)
{
    *static_cast<DIDEVICEINSTANCEA *>(context) = *instance;
    return DIENUM_STOP;
}

typedef HRESULT(WINAPI *DirectInput8CreateFn)(HINSTANCE, DWORD, REFIID, LPVOID *, LPUNKNOWN);

/* The first game controller DirectInput lists, acquired as padjoy does;
   null when there is none. */
IDirectInputDevice8A *OpenFirstController(IDirectInput8A **input, DIDEVICEINSTANCEA *found)
{
    *input = NULL;
    HMODULE library = LoadLibraryA("dinput8.dll");
    DirectInput8CreateFn create = library ? GetProcAs<DirectInput8CreateFn>(library, "DirectInput8Create") : NULL;
    void *object = NULL;
    if (!create || FAILED(create(GetModuleHandleA(NULL), 0x0800, IID_IDirectInput8A, &object, NULL)))
        return NULL;
    *input = static_cast<IDirectInput8A *>(object);
    memset(found, 0, sizeof *found);
    (*input)->EnumDevices(DI8DEVCLASS_GAMECTRL, FirstDevice, found, DIEDFL_ATTACHEDONLY);
    IDirectInputDevice8A *device = NULL;
    if (!found->dwSize || FAILED((*input)->CreateDevice(found->guidInstance, &device, NULL)))
        return NULL;
    device->SetDataFormat(&c_dfDIJoystick2);
    device->SetCooperativeLevel(NULL, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    device->Acquire();
    return device;
}

} // namespace

int main(int argc, char **argv)
{
    const char *label = argc > 1 ? argv[1] : "run";
    long polls = argc > 2 ? atol(argv[2]) : 200000;
    int rounds = argc > 3 ? atoi(argv[3]) : 7;
    if (polls <= 0 || rounds <= 0) {
        fprintf(stderr, "usage: padjoy_bench <label> [polls per round] [rounds]\n");
        return 2;
    }

    static const char *const kNames[] = { "xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll" };
    HMODULE xinput = NULL;
    const char *name = "none";
    for (const char *candidate : kNames) {
        xinput = LoadLibraryA(candidate);
        if (xinput) {
            name = candidate;
            break;
        }
    }
    GetStateFn getState = xinput ? GetProcAs<GetStateFn>(xinput, "XInputGetState") : NULL;
    if (!getState) {
        fprintf(stderr, "padjoy_bench: no XInput\n");
        return 1;
    }
    char path[MAX_PATH] = "";
    GetModuleFileNameA(xinput, path, sizeof path);
    bool scripted = GetProcAddress(xinput, "FakeXInputScript") != NULL;
    XINPUT_STATE state;
    memset(&state, 0, sizeof state);
    DWORD answer = getState(0, &state);

    /* The same library three times over, each open on its own settings
       (a copy per pad, as each library keeps one set of module state). */
    std::string dll = ShippedPath("padjoy1.dll");
    /* One record (the test support allows one at a time), its answers
       changed before each open. */
    RecordingHost host;
    std::string temp = getenv("TEMP") ? getenv("TEMP") : ".";
    std::string copy = temp + "\\padjoy_bench_analog.dll", copy2 = temp + "\\padjoy_bench_dinput.dll";
    Copies copies{ { copy, copy2 } };
    Pad digital, analog;
    if (!digital.Open(dll.c_str(), &host.record)) {
        fprintf(stderr, "padjoy_bench: padjoy1.dll does not load or open\n");
        return 1;
    }
    CopyFileA(dll.c_str(), copy.c_str(), FALSE);
    CopyFileA(dll.c_str(), copy2.c_str(), FALSE);
    host.Answer("PADJOY1", "PadType", "analog");
    if (!analog.Open(copy.c_str(), &host.record)) {
        fprintf(stderr, "padjoy_bench: the copy of padjoy1.dll does not open\n");
        return 1;
    }

    IDirectInput8A *dinput = NULL;
    DIDEVICEINSTANCEA controller;
    IDirectInputDevice8A *device = OpenFirstController(&dinput, &controller);
    Pad direct;
    DIJOYSTATE2 joy;
    if (device) {
        char value[KOVA_SETTING_SIZE];
        const GUID &g = controller.guidInstance;
        snprintf(value, sizeof value, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X} %s",
                 static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                 g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7], controller.tszProductName);
        host.Clear();
        host.Answer("PADJOY1", "Controller", value);
        if (!direct.Open(copy2.c_str(), &host.record))
            device = NULL;
    }

    printf("# XInput %s (%s), user 0 answers %lu, report %02x %02x\n", name,
           scripted ? "scripted" : "the system's", static_cast<unsigned long>(answer), digital.report[3],
           digital.report[4]);
    std::vector<double> directTimes, through, analogTimes, stateTimes, dinputTimes;
    for (int r = 0; r < rounds; r++) {
        double t0 = Now();
        for (long i = 0; i < polls; i++)
            Sink = getState(0, &state);
        double t1 = Now();
        for (long i = 0; i < polls; i++)
            digital.poll();
        double t2 = Now();
        for (long i = 0; i < polls; i++)
            analog.poll();
        double t3 = Now();
        directTimes.push_back((t1 - t0) * 1e9 / static_cast<double>(polls));
        through.push_back((t2 - t1) * 1e9 / static_cast<double>(polls));
        analogTimes.push_back((t3 - t2) * 1e9 / static_cast<double>(polls));
        if (device) {
            for (long i = 0; i < polls; i++)
                Sink = static_cast<DWORD>(device->GetDeviceState(sizeof joy, &joy));
            double t4 = Now();
            for (long i = 0; i < polls; i++)
                direct.poll();
            double t5 = Now();
            stateTimes.push_back((t4 - t3) * 1e9 / static_cast<double>(polls));
            dinputTimes.push_back((t5 - t4) * 1e9 / static_cast<double>(polls));
        }
        printf("# round %d: direct %.1f ns, padjoy %.1f ns, analog %.1f ns\n", r + 1, directTimes.back(),
               through.back(), analogTimes.back());
    }
    printf("padjoy.%s.xinput=%s%s\n", label, name, scripted ? " (scripted)" : "");
    printf("padjoy.%s.connected=%s\n", label, answer == ERROR_SUCCESS ? "yes" : "no");
    printf("padjoy.%s.report=%02x %02x\n", label, digital.report[3], digital.report[4]);
    printf("padjoy.%s.direct_ns=%.1f\n", label, Best(directTimes));
    printf("padjoy.%s.padjoy_ns=%.1f\n", label, Best(through));
    printf("padjoy.%s.ratio=%.2f\n", label, Best(through) / Best(directTimes));
    printf("padjoy.%s.analog_ns=%.1f\n", label, Best(analogTimes));
    printf("padjoy.%s.analog_report=%02x %02x %02x %02x %02x %02x\n", label, analog.report[3], analog.report[4],
           analog.report[5], analog.report[6], analog.report[7], analog.report[8]);
    printf("padjoy.%s.analog_ratio=%.2f\n", label, Best(analogTimes) / Best(through));
    if (device) {
        printf("padjoy.%s.dinput=%s\n", label, controller.tszProductName);
        printf("padjoy.%s.dinput_report=%02x %02x\n", label, direct.report[3], direct.report[4]);
        printf("padjoy.%s.state_ns=%.1f\n", label, Best(stateTimes));
        printf("padjoy.%s.dinput_ns=%.1f\n", label, Best(dinputTimes));
        printf("padjoy.%s.dinput_ratio=%.2f\n", label, Best(dinputTimes) / Best(stateTimes));
        typedef LONG (*CountFn)(const char *);
        HMODULE fake = GetModuleHandleA("dinput8.dll");
        CountFn count = fake ? GetProcAs<CountFn>(fake, "FakeDInputCount") : NULL;
        if (count)
            printf("# scripted DirectInput: %ld EnumDevices, %ld Acquire, %ld GetDeviceState\n",
                   count("EnumDevices"), count("Acquire"), count("GetDeviceState"));
        device->Unacquire();
        device->Release();
    } else {
        printf("padjoy.%s.dinput=none\n", label);
    }
    if (dinput)
        dinput->Release();
    return 0;
}
