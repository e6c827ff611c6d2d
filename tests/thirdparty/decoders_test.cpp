/* The decoders that the build compiles from Debian's sources, linked into a
   library as a shipped plugin is: it imports only system DLLs, and it gives
   back, byte for byte, audio that Debian's xz, flac and zstd compressed;
   damaged input fails without harm. */
#include "decoders_probe.h"
#include "kova_test.h"

static std::string Sample(const char *file)
{
    return std::string(KOVA_BUILD_DIR) + "tests\\thirdparty\\samples\\" + file;
}

TEST(Decoders, ProbeImportsOnlySystemDlls)
{
    PeInfo pe = ReadPe(TestBinPath("decoders_probe.dll"));
    ASSERT_TRUE(pe.valid);
    for (const std::string &dll : pe.imports)
        EXPECT_TRUE(IsSystemDll(dll)) << "imports " << dll;
}

TEST(Decoders, GiveBackWhatTheToolsCompressed)
{
    HMODULE probe = LoadLibraryA(TestBinPath("decoders_probe.dll").c_str());
    ASSERT_TRUE(probe);
    ProbeDecodeFn decode = (ProbeDecodeFn)(void *)GetProcAddress(probe, "ProbeDecode");
    ASSERT_TRUE(decode);
    const std::vector<uint8_t> audio = ReadFileBytes(Sample("audio.raw"));
    ASSERT_EQ(8u * 2352, audio.size());

    /* cut: bytes taken off the end; flip: offset of a byte turned over
       (-1 none). */
    static const struct {
        int codec;
        const char *file;
        size_t cut;
        long flip;
        bool decodes;
    } kRows[] = {
        { PROBE_LZMA, "audio.lzma", 0, -1, true },
        { PROBE_FLAC, "audio.flac", 0, -1, true },
        { PROBE_ZSTD, "audio.zst", 0, -1, true },
        { PROBE_LZMA, "audio.lzma", 1000, -1, false },
        { PROBE_FLAC, "audio.flac", 1000, -1, false },
        { PROBE_ZSTD, "audio.zst", 1000, -1, false },
        { PROBE_FLAC, "audio.flac", 0, 9000, false },  /* a frame's CRC fails */
        { PROBE_ZSTD, "audio.zst", 0, 9000, false },
        { PROBE_ZSTD, "audio.lzma", 0, -1, false },    /* not its format */
    };
    for (size_t i = 0; i < dimof(kRows); i++) {
        SCOPED_TRACE(testing::Message() << "row " << i << ": " << kRows[i].file);
        std::vector<uint8_t> in = ReadFileBytes(Sample(kRows[i].file));
        ASSERT_GT(in.size(), kRows[i].cut + 10000);
        in.resize(in.size() - kRows[i].cut);
        if (kRows[i].flip >= 0)
            in[kRows[i].flip] ^= 0xFF;
        std::vector<uint8_t> out(audio.size(), 0xCC);
        size_t produced = 12345;
        int ok = decode(kRows[i].codec, in.data(), in.size(), out.data(), out.size(), &produced);
        EXPECT_EQ(kRows[i].decodes, ok != 0);
        if (kRows[i].decodes) {
            EXPECT_EQ(audio.size(), produced);
            EXPECT_TRUE(audio == out);
        }
    }
    FreeLibrary(probe);
}
