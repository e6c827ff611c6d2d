/* One poll through padjoy1.dll against the XInputGetState call alone.
 *
 *   padjoy_bench <label> [polls per round] [rounds]   (default 200000 7)
 *
 * The program loads XInput as padjoy does (xinput1_4, xinput1_3,
 * xinput9_1_0, the first found) and, in alternating rounds, times
 *   direct  XInputGetState of user index 0 into a state record;
 *   padjoy  JOY0_Poll: the same call, the map, the report bytes.
 * Which XInput answers depends on where the program runs: beside the
 * scripted xinput1_4.dll of the tests it is a connected controller holding
 * A and the D-pad up (KOVA_FAKE_XINPUT), elsewhere the system's. Not a
 * test: scripts/bench-padjoy.sh runs it both ways. Prints its figures as
 * key=value lines (padjoy.<label>.*), the rounds as # comments. */
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

    HMODULE plugin = LoadLibraryA(ShippedPath("padjoy1.dll").c_str());
    PluginOpenFn open = plugin ? GetProcAs<PluginOpenFn>(plugin, "JOY0_Open") : NULL;
    PadInitHeaderFn initHeader = plugin ? GetProcAs<PadInitHeaderFn>(plugin, "JOY0_InitHeader") : NULL;
    PadPollFn poll = plugin ? GetProcAs<PadPollFn>(plugin, "JOY0_Poll") : NULL;
    PluginCloseFn close = plugin ? GetProcAs<PluginCloseFn>(plugin, "JOY0_Close") : NULL;
    if (!open || !initHeader || !poll || !close || open(NULL) != 0) {
        fprintf(stderr, "padjoy_bench: padjoy1.dll does not load or open\n");
        return 1;
    }
    uint8_t report[5] = {};
    initHeader(report);
    poll();

    printf("# XInput %s (%s), user 0 answers %lu, report %02x %02x\n", name,
           scripted ? "scripted" : "the system's", static_cast<unsigned long>(answer), report[3],
           report[4]);
    std::vector<double> direct, through;
    for (int r = 0; r < rounds; r++) {
        double t0 = Now();
        for (long i = 0; i < polls; i++)
            Sink = getState(0, &state);
        double t1 = Now();
        for (long i = 0; i < polls; i++)
            poll();
        double t2 = Now();
        direct.push_back((t1 - t0) * 1e9 / static_cast<double>(polls));
        through.push_back((t2 - t1) * 1e9 / static_cast<double>(polls));
        printf("# round %d: direct %.1f ns, padjoy %.1f ns\n", r + 1, direct.back(), through.back());
    }
    close();
    FreeLibrary(plugin);

    printf("padjoy.%s.xinput=%s%s\n", label, name, scripted ? " (scripted)" : "");
    printf("padjoy.%s.connected=%s\n", label, answer == ERROR_SUCCESS ? "yes" : "no");
    printf("padjoy.%s.report=%02x %02x\n", label, report[3], report[4]);
    printf("padjoy.%s.direct_ns=%.1f\n", label, Best(direct));
    printf("padjoy.%s.padjoy_ns=%.1f\n", label, Best(through));
    printf("padjoy.%s.ratio=%.2f\n", label, Best(through) / Best(direct));
    return 0;
}
