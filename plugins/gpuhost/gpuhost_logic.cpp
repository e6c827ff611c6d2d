#include "gpuhost_logic.h"

#include <string.h>

#include "kova_str.h"

int32_t DmaWordCount(uint32_t blockControl)
{
    return static_cast<int32_t>((blockControl >> 16) * (blockControl & 0xFFFFu));
}

uint32_t DmaWordsBeforeEnd(uint32_t offset, uint32_t remaining)
{
    uint32_t whole = (KOVA_RAM_SIZE - offset) / 4;
    return remaining < whole ? remaining : whole;
}

/* A word at an offset of main RAM, wrapping each byte within 2 MB. */
static void DmaStoreWord(uint8_t *ram, uint32_t offset, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        ram[(offset + i) & KOVA_RAM_ADDR_MASK] = static_cast<uint8_t>(value >> (8 * i));
}

static uint32_t DmaLoadWord(const uint8_t *ram, uint32_t offset)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; i++)
        value |= static_cast<uint32_t>(ram[(offset + i) & KOVA_RAM_ADDR_MASK]) << (8 * i);
    return value;
}

/* The runs between wraps are plain loops, one hosted call per word, so a
   transfer costs what a loop of direct calls costs. memcpy keeps unaligned
   offsets legal and compiles to a single move. */
void DmaGpuToRam(uint8_t *ram, uint32_t offset, uint32_t wordCount, PseGPUreadDataFn readData)
{
    offset &= KOVA_RAM_ADDR_MASK;
    while (wordCount) {
        uint32_t run = DmaWordsBeforeEnd(offset, wordCount);
        if (run == 0) {
            DmaStoreWord(ram, offset, static_cast<uint32_t>(readData()));
            run = 1;
        } else {
            uint8_t *p = ram + offset;
            for (uint32_t i = 0; i < run; i++, p += 4) {
                uint32_t value = static_cast<uint32_t>(readData());
                memcpy(p, &value, 4);
            }
        }
        offset = (offset + 4 * run) & KOVA_RAM_ADDR_MASK;
        wordCount -= run;
    }
}

void DmaRamToGpu(const uint8_t *ram, uint32_t offset, uint32_t wordCount,
                 PseGPUwriteDataFn writeData)
{
    offset &= KOVA_RAM_ADDR_MASK;
    while (wordCount) {
        uint32_t run = DmaWordsBeforeEnd(offset, wordCount);
        if (run == 0) {
            writeData(DmaLoadWord(ram, offset));
            run = 1;
        } else {
            const uint8_t *p = ram + offset;
            for (uint32_t i = 0; i < run; i++, p += 4) {
                uint32_t value;
                memcpy(&value, p, 4);
                writeData(value);
            }
        }
        offset = (offset + 4 * run) & KOVA_RAM_ADDR_MASK;
        wordCount -= run;
    }
}

bool FormatDmaUnknown(char *dst, size_t dstSize, uint32_t channelControl)
{
    return BufFormat(dst, dstSize, "gpudma unknown %08x\n", static_cast<unsigned>(channelControl));
}

bool FormatHostedEntry(char *dst, size_t dstSize, const char *libName, const char *fileName,
                       bool hasVersion, uint32_t version)
{
    const char *name = libName ? libName : fileName;
    if (!hasVersion)
        return BufSet(dst, dstSize, name);
    /* Both numbers are single bytes, so %d shows them unsigned. */
    return BufFormat(dst, dstSize, "%s %d.%d", name, static_cast<int>((version >> 8) & 0xFFu),
                     static_cast<int>(version & 0xFFu));
}

const char *HostedTestMessage(long result)
{
    if (result == 0)
        return "This driver reports that it should work correctly!";
    if (result == -1)
        return "This driver can't run on your hardware!";
    return "This is an old style driver and does not support TEST function";
}
