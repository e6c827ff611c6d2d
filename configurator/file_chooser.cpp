/* The program-file chooser comes with the next step of the configurator. */
#include "configurator.h"

int chooserResult;
char chooserPath[2 * MAX_PATH];

INT_PTR RunChooser(HWND)
{
    chooserResult = 0;
    return 0;
}

void AppendChosenFileToCommandLine(HWND)
{
}
