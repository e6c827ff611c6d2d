/* gpuhost's arithmetic and texts, reached directly: word counts, RAM
   offsets, the walk through main RAM at its end, the list entry text and
   the Test messages. */
#include <limits.h>
#include <string.h>

#include "gpuhost_logic.h"
#include "gpuhost_rig.h"

TEST(GpuHostLogic, WordCountIsBlocksTimesWordsAsASigned32BitProduct)
{
    struct Row {
        uint32_t blockControl;
        int32_t words;
    };
    static const Row rows[] = {
        { 0x00040010u, 64 },
        { 0x00000010u, 0 },           /* no blocks */
        { 0x00100000u, 0 },           /* blocks of no words */
        { 0x00010001u, 1 },
        { 0xFFFF0001u, 65535 },
        { 0x0001FFFFu, 65535 },
        { 0x80008000u, 0x40000000 },
        { 0xFFFF8000u, 0x7FFF8000 },
        { 0xFFFFFFFFu, -131071 },     /* 0xFFFE0001 */
        { 0x8001FFFFu, static_cast<int32_t>(0x80007FFFu) },
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.words, DmaWordCount(row.blockControl)) << Hex8(row.blockControl);
}

TEST(GpuHostLogic, OffsetsAndNotifyEnds)
{
    struct Row {
        uint32_t address;
        int32_t words;
        uint32_t offset, end;
    };
    static const Row rows[] = {
        { 0x80100000u, 64, 0x100000u, 0x80100100u },
        { 0xA0012340u, 0, 0x12340u, 0xA0012340u },      /* end = start */
        { 0x00200004u, 1, 0x000004u, 0x00200008u },     /* 8 MB mirror, end unmasked */
        { 0x001FFFFCu, 2, 0x1FFFFCu, 0x00200004u },     /* end past RAM, as given */
        { 0x80100000u, -131071, 0x100000u, 0x80080004u },  /* modulo 2^32 */
        { 0xFFFFFFFCu, 1, 0x1FFFFCu, 0x00000000u },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(Hex8(row.address));
        EXPECT_EQ(row.offset, DmaRamOffset(row.address));
        EXPECT_EQ(row.end, DmaNotifyEnd(row.address, row.words));
    }
}

TEST(GpuHostLogic, WordsBeforeTheEndOfRam)
{
    struct Row {
        uint32_t offset, remaining, run;
    };
    static const Row rows[] = {
        { 0x000000u, 64, 64 },
        { 0x1FFF00u, 64, 64 },          /* ends exactly at 2 MB */
        { 0x1FFF00u, 65, 64 },
        { 0x1FFFFCu, 10, 1 },
        { 0x1FFFFDu, 10, 0 },           /* straddles: wraps byte by byte */
        { 0x1FFFFFu, 10, 0 },
        { 0x1FFFF9u, 10, 1 },
        { 0x000000u, 0x80000u, 0x80000u },  /* all of RAM */
        { 0x000000u, 0x80001u, 0x80000u },
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.run, DmaWordsBeforeEnd(row.offset, row.remaining))
            << Hex8(row.offset) << " " << row.remaining;
}

namespace {

/* A fake GPU for the transfer loops: reads give 0x11000000 + n, writes
   are kept in order. */
uint32_t ReadsGiven;
std::vector<uint32_t> WordsWritten;

unsigned long PSE_CALL FakeReadData(void)
{
    return 0x11000000u + ReadsGiven++;
}

void PSE_CALL FakeWriteData(unsigned long value)
{
    WordsWritten.push_back(static_cast<uint32_t>(value));
}

struct WalkRow {
    const char *what;
    uint32_t start;
    uint32_t words;
    std::vector<uint32_t> offsets; /* where word i lands */
};

const WalkRow kWalks[] = {
    { "inside RAM", 0x100000u, 4, { 0x100000u, 0x100004u, 0x100008u, 0x10000Cu } },
    { "to the last word", 0x1FFFF8u, 2, { 0x1FFFF8u, 0x1FFFFCu } },
    { "past the end wraps to 0", 0x1FFFF8u, 4, { 0x1FFFF8u, 0x1FFFFCu, 0x000000u, 0x000004u } },
    { "unaligned word across the end", 0x1FFFFEu, 3, { 0x1FFFFEu, 0x000002u, 0x000006u } },
    { "unaligned, inside", 0x000101u, 2, { 0x000101u, 0x000105u } },
    { "more than all of RAM", 0x000000u, 0x80002u, {} },
};

} // namespace

/* RAM between pages that fault: a walk that touches a byte outside it
   ends the test program. */
TEST(GpuHostLogic, GpuToRamStoresEveryWordInOrderInsideRam)
{
    for (const WalkRow &row : kWalks) {
        SCOPED_TRACE(row.what);
        FencedRam ram;
        ASSERT_TRUE(ram.valid());
        ReadsGiven = 0;
        DmaGpuToRam(ram.data(), row.start, row.words, FakeReadData);
        EXPECT_EQ(row.words, ReadsGiven);
        for (size_t i = 0; i < row.offsets.size(); i++)
            EXPECT_EQ(0x11000000u + i, RamWord(ram.data(), row.offsets[i])) << "word " << i;
        if (row.offsets.empty()) {
            /* The last two words went round again over the first two. */
            EXPECT_EQ(0x11080000u, RamWord(ram.data(), 0));
            EXPECT_EQ(0x11080001u, RamWord(ram.data(), 4));
            EXPECT_EQ(0x11000002u, RamWord(ram.data(), 8));
            EXPECT_EQ(0x1107FFFFu, RamWord(ram.data(), 0x1FFFFC));
        }
    }
}

TEST(GpuHostLogic, RamToGpuPassesEveryWordInOrderFromInsideRam)
{
    for (const WalkRow &row : kWalks) {
        if (row.offsets.empty())
            continue;
        SCOPED_TRACE(row.what);
        FencedRam ram;
        ASSERT_TRUE(ram.valid());
        for (size_t i = 0; i < row.offsets.size(); i++)
            SetRamWord(ram.data(), row.offsets[i], 0x22000000u + static_cast<uint32_t>(i));
        WordsWritten.clear();
        DmaRamToGpu(ram.data(), row.start, row.words, FakeWriteData);
        ASSERT_EQ(row.offsets.size(), WordsWritten.size());
        for (size_t i = 0; i < WordsWritten.size(); i++)
            EXPECT_EQ(0x22000000u + i, WordsWritten[i]) << "word " << i;
    }
}

TEST(GpuHostLogic, UnknownChannelLine)
{
    struct Row {
        uint32_t channel;
        const char *line;
    };
    static const Row rows[] = {
        { 0x01000300u, "gpudma unknown 01000300\n" },
        { 0x00000000u, "gpudma unknown 00000000\n" },
        { 0xFFFFFFFFu, "gpudma unknown ffffffff\n" },
        { 0x0100020Au, "gpudma unknown 0100020a\n" },
    };
    for (const Row &row : rows) {
        char line[32];
        memset(line, 0xCC, sizeof line);
        EXPECT_TRUE(FormatDmaUnknown(line, sizeof line, row.channel));
        EXPECT_STREQ(row.line, line);
    }
}

TEST(GpuHostLogic, ListEntryTexts)
{
    struct Row {
        const char *what;
        const char *libName;
        bool hasVersion;
        uint32_t version;
        const char *text;
    };
    static const Row rows[] = {
        { "minor and patch only", "Soft", true, 0x00010203u, "Soft 2.3" },
        { "decimal, not hex", "Soft", true, 0x00000A0Fu, "Soft 10.15" },
        { "largest", "Soft", true, 0xFFFFFFFFu, "Soft 255.255" },
        { "zero", "Soft", true, 0, "Soft 0.0" },
        { "no name: the file name", NULL, true, 0x0307u, "nameless.dll 3.7" },
        { "no version: the name alone", "Soft", false, 0x0307u, "Soft" },
        { "empty name", "", true, 0x0102u, " 1.2" },
    };
    for (const Row &row : rows) {
        char text[64];
        memset(text, 0xCC, sizeof text);
        EXPECT_TRUE(FormatHostedEntry(text, sizeof text, row.libName, "nameless.dll",
                                      row.hasVersion, row.version));
        EXPECT_STREQ(row.text, text) << row.what;
    }
    /* A name longer than the entry is cut, still terminated. */
    std::string longName(300, 'n');
    char text[64];
    EXPECT_FALSE(FormatHostedEntry(text, sizeof text, longName.c_str(), "x.dll", true, 0x0203u));
    EXPECT_EQ(std::string(63, 'n'), text);
}

TEST(GpuHostLogic, TestMessages)
{
    static const char kOk[] = "This driver reports that it should work correctly!";
    static const char kNo[] = "This driver can't run on your hardware!";
    static const char kOld[] = "This is an old style driver and does not support TEST function";
    struct Row {
        long result;
        const char *message;
    };
    static const Row rows[] = {
        { 0, kOk }, { -1, kNo }, { 1, kOld }, { 2, kOld }, { -2, kOld },
        { LONG_MIN, kOld }, { LONG_MAX, kOld },
    };
    for (const Row &row : rows)
        EXPECT_STREQ(row.message, HostedTestMessage(row.result)) << row.result;
}
