/* The contract header must build as plain C, as a plugin author's C code
   would include it; its layout checks run at compile time here too. */
#include "kova_plugin.h"

#define KOVA_ROW_CODE(code, name, prefix, install, group, about, configure) code,
static const int kCodes[] = { KOVA_PLUGIN_FAMILIES(KOVA_ROW_CODE) };

int ContractCodesSeenFromC(void)
{
    return (int)(sizeof kCodes / sizeof kCodes[0]);
}
