/* KOVACFG.EXE: the configurator takes no notice of its command line. */
#include "configurator.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunConfigurator(instance);
}
