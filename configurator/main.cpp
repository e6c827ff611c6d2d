/* KOVACFG.EXE: the configurator takes no notice of its command line. */
#include "startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunConfigurator(instance);
}
