/* gpuhost's two one-argument forwarders as they were before they were
 * written out as three instructions (gpuhost_before.cpp), for the forwarding
 * benchmark's comparison; gpuhost.dll has only the new ones. */
#ifndef GPUHOST_BEFORE_H
#define GPUHOST_BEFORE_H

#include "kova_plugin.h"

/* What they call: the hosted plugin's functions, as gpuhost's table held them. */
struct BeforeTargets {
    PseGPUwriteStatusFn GPUwriteStatus;
    PseGPUwriteDataFn GPUwriteData;
};
extern BeforeTargets Before;

extern "C" void KOVA_CALL BeforeGp0Write(uint32_t value);
extern "C" void KOVA_CALL BeforeGp1Write(uint32_t value);

#endif
