/* gpuhost's arithmetic and texts, apart from every Windows call so that the
 * tests reach them directly: DMA word counts, RAM offsets and the walk
 * through main RAM, the selection list's entry text and the Test messages. */
#ifndef GPUHOST_LOGIC_H
#define GPUHOST_LOGIC_H

#include <stddef.h>
#include <stdint.h>

#include "kova_plugin.h"

/* The GPU channel's control values that gpuhost knows. Bit 24 is the start
   bit; without it the channel is idle and nothing moves. */
enum {
    DMA_TO_RAM_STARTED = 0x01000200u,   /* block transfer, GPU to RAM */
    DMA_FROM_RAM_STARTED = 0x01000201u, /* block transfer, RAM to GPU */
    DMA_CHAIN_STARTED = 0x01000401u,    /* linked list, RAM to GPU */
    DMA_TO_RAM_IDLE = 0x00000200u,
    DMA_FROM_RAM_IDLE = 0x00000201u,
    DMA_CHAIN_IDLE = 0x00000401u
};

/* Blocks (upper half) times words per block (lower half), as a signed
   32-bit product: 0 or below moves nothing. */
int32_t DmaWordCount(uint32_t blockControl);

/* Byte offset in main RAM of a PlayStation address: its low 21 bits, so the
   KSEG0/KSEG1 mirrors and the 8 MB RAM mirrors land in the same 2 MB. */
inline uint32_t DmaRamOffset(uint32_t address)
{
    return address & KOVA_RAM_ADDR_MASK;
}

/* End address told to ramWriteNotify: start + 4 x words, modulo 2^32, with
   the unmasked start the emulator gave. */
inline uint32_t DmaNotifyEnd(uint32_t address, int32_t wordCount)
{
    return address + 4u * static_cast<uint32_t>(wordCount);
}

/* How many of the remaining words lie whole between offset and the end of
   RAM. 0 when the next word straddles the end (an unaligned offset in the
   last three bytes), which then wraps byte by byte as the RAM mirrors do. */
uint32_t DmaWordsBeforeEnd(uint32_t offset, uint32_t remaining);

/* The two block transfers: wordCount words, one hosted call per word, in
   ascending order from offset, every word kept inside the 2 MB of ram. */
void DmaGpuToRam(uint8_t *ram, uint32_t offset, uint32_t wordCount, PseGPUreadDataFn readData);
void DmaRamToGpu(const uint8_t *ram, uint32_t offset, uint32_t wordCount,
                 PseGPUwriteDataFn writeData);

/* The line gpuhost prints for a channel control value it does not know. */
bool FormatDmaUnknown(char *dst, size_t dstSize, uint32_t channelControl);

/* A list entry of the selection dialog: "<name> <minor>.<patch>" from bits
   8..15 and 0..7 of the version. A plugin that gives no name is shown by
   its file name; one without a version by its name alone. */
bool FormatHostedEntry(char *dst, size_t dstSize, const char *libName, const char *fileName,
                       bool hasVersion, uint32_t version);

/* What the Test button says for a GPUtest result (1 for a plugin that has
   no GPUtest). */
const char *HostedTestMessage(long result);

#endif
