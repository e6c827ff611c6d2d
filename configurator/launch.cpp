/* Run: starting the emulator comes with the next step of the configurator. */
#include "configurator.h"

void LaunchEmulator(HWND)
{
}
