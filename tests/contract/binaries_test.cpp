/* Every shipped binary is a PE32 file for i386 that imports only system
   DLLs, and a plugin exports exactly its family's names, undecorated. */
#include <algorithm>
#include <string.h>

#include "kova_test.h"

#define NAME_STRING(name) #name,
static const char *const kGpu[] = { KOVA_GPU_EXPORTS(NAME_STRING) };
static const char *const kJoy0[] = { KOVA_JOY0_EXPORTS(NAME_STRING) };
static const char *const kJoy1[] = { KOVA_JOY1_EXPORTS(NAME_STRING) };
static const char *const kCd[] = { KOVA_CD_EXPORTS(NAME_STRING) };
#undef NAME_STRING

struct BinaryRow {
    const char *file;
    bool isLibrary;
    const char *const *exports;
    size_t exportCount;
};

static const BinaryRow kBinaries[] = {
    { "gpuhost.dll", true, kGpu, dimof(kGpu) },
    { "cddirect.dll", true, kCd, dimof(kCd) },
    { "cdidle.dll", true, kCd, dimof(kCd) },
    { "cdimage.dll", true, kCd, dimof(kCd) },
    { "padkeys.dll", true, kJoy0, dimof(kJoy0) },
    { "padidle.dll", true, kJoy0, dimof(kJoy0) },
    { "mousepad.dll", true, kJoy1, dimof(kJoy1) },
    { "padjoy1.dll", true, kJoy0, dimof(kJoy0) },
    { "padjoy2.dll", true, kJoy1, dimof(kJoy1) },
    { "KOVACFG.exe", false, NULL, 0 },
};

static const BinaryRow *RowFor(const char *file)
{
    for (const BinaryRow &row : kBinaries)
        if (!_stricmp(row.file, file))
            return &row;
    return NULL;
}

TEST(ShippedBinaries, EachIsPe32ForI386WithItsExportsAndOnlySystemImports)
{
    static const char *const shipped[] = { KOVA_SHIPPED_FILES };
    ASSERT_GE(dimof(shipped), 2u);
    for (const char *file : shipped) {
        SCOPED_TRACE(file);
        const BinaryRow *row = RowFor(file);
        ASSERT_TRUE(row) << "no expectations for shipped binary " << file;
        PeInfo pe = ReadPe(ShippedPath(file));
        ASSERT_TRUE(pe.valid);
        EXPECT_EQ(0x14C, pe.machine) << "not i386";
        EXPECT_EQ(0x10B, pe.optionalMagic) << "not PE32";
        EXPECT_EQ(row->isLibrary, (pe.characteristics & IMAGE_FILE_DLL) != 0);

        std::vector<std::string> want(row->exports, row->exports + row->exportCount);
        std::vector<std::string> got = pe.exports;
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(want, got) << "exports";
        EXPECT_EQ(0u, pe.exportsByOrdinalOnly);

        for (const std::string &dll : pe.imports)
            EXPECT_TRUE(IsSystemDll(dll)) << "imports " << dll;
    }
}

/* Plugins stay under 64 KB; cdimage links the decoders of its image
   formats statically (zlib, liblzma, libFLAC and libzstd: some 150 KB) and
   has room for them. */
static size_t SizeLimit(const char *file)
{
    return !_stricmp(file, "cdimage.dll") ? 256u * 1024 : 64u * 1024;
}

TEST(ShippedBinaries, PluginsStaySmall)
{
    static const char *const shipped[] = { KOVA_SHIPPED_FILES };
    for (const char *file : shipped) {
        const BinaryRow *row = RowFor(file);
        if (!row || !row->isLibrary)
            continue;
        std::vector<uint8_t> bytes = ReadFileBytes(ShippedPath(file));
        EXPECT_LT(bytes.size(), SizeLimit(file)) << file;
    }
}
