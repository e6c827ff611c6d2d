/* The C++ forwarders that GP0_Write and GP1_Write were, compiled as
 * gpuhost's code is (product flags, no frame pointer): seven instructions
 * each (sub, mov, mov, indirect call, push, add, ret). */
#include "gpuhost_before.h"

BeforeTargets Before;

extern "C" void KOVA_CALL BeforeGp0Write(uint32_t value)
{
    Before.GPUwriteData(value);
}

extern "C" void KOVA_CALL BeforeGp1Write(uint32_t value)
{
    Before.GPUwriteStatus(value);
}
