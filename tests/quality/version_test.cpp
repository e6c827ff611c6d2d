/* The version record of every shipped binary, read as Windows reads it
   (version.dll), and the resources of the binary's own .rc beside it. */
#include <string.h>

#include "kova_test.h"

struct VersionRow {
    const char *file;
    const char *description;
    DWORD fileType;   /* VFT_DLL or VFT_APP */
    int ownDialog;    /* a dialog template of the binary's own .rc; 0: none */
};

static const VersionRow kRows[] = {
    { "gpuhost.dll", "KOVA GPU plugin: hosts a PSEmu Pro GPU plugin", VFT_DLL, 101 },
    { "cddirect.dll", "KOVA CD-ROM plugin: reads discs from a real CD-ROM drive", VFT_DLL, 101 },
    { "cdidle.dll", "KOVA CD-ROM plugin: a drive without a disc, for programs that need none",
      VFT_DLL, 0 },
    { "cdimage.dll", "KOVA CD-ROM plugin: reads discs from image files", VFT_DLL, 101 },
    { "padkeys.dll", "KOVA pad 1 plugin: a digital pad on the keyboard", VFT_DLL, 0 },
    { "padidle.dll", "KOVA pad 1 plugin: a digital pad on which nothing is pressed", VFT_DLL, 0 },
    { "mousepad.dll", "KOVA pad 2 plugin: the PlayStation mouse, driven by the host's mouse",
      VFT_DLL, 0 },
    { "padjoy1.dll", "KOVA pad 1 plugin: a digital or analog pad on a game controller", VFT_DLL, 101 },
    { "padjoy2.dll", "KOVA pad 2 plugin: a digital or analog pad on a game controller", VFT_DLL, 101 },
    { "KOVACFG.exe", "KOVA configurator: chooses the options and plugins and starts KOVA.EXE",
      VFT_APP, 101 },
};

static const char *const kShipped[] = { KOVA_SHIPPED_FILES };

/* The version record of a file, or empty. */
static std::vector<uint8_t> VersionBlock(const std::string &path)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<uint8_t> block(size);
    if (!size || !GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        block.clear();
    return block;
}

/* A string of the US English, Windows-1252 table; "<absent>" when missing. */
static std::string VersionString(std::vector<uint8_t> &block, const char *key)
{
    std::string query = std::string("\\StringFileInfo\\040904E4\\") + key;
    void *value = NULL;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), query.c_str(), &value, &length) || !value)
        return "<absent>";
    return std::string(static_cast<const char *>(value));
}

TEST(VersionRecord, EveryShippedBinaryHasARow)
{
    for (const char *file : kShipped) {
        bool found = false;
        for (const VersionRow &row : kRows)
            found = found || !_stricmp(row.file, file);
        EXPECT_TRUE(found) << "no version expectations for " << file;
    }
}

class VersionRecord : public testing::TestWithParam<VersionRow> {};

TEST_P(VersionRecord, NamesTheProductTheFileAndVersionOnePointZero)
{
    const VersionRow &row = GetParam();
    if (!IsShipped(row.file))
        GTEST_SKIP() << row.file << " is not built yet";
    std::vector<uint8_t> block = VersionBlock(ShippedPath(row.file));
    ASSERT_FALSE(block.empty()) << "no version record";

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS) << "file version 1.0";
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS) << "product version 1.0";
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(0u, fixed->dwFileFlags & fixed->dwFileFlagsMask) << "no debug or pre-release flag";
    EXPECT_EQ(static_cast<DWORD>(VOS_NT_WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(row.fileType, fixed->dwFileType);

    /* One language: what Explorer shows, whatever the user's own is. */
    WORD *translation = NULL;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void **>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1252, translation[1]);

    std::string internal(row.file);
    internal = internal.substr(0, internal.find('.'));
    const struct {
        const char *key;
        std::string value;
    } strings[] = {
        { "ProductName", "KOVA" },
        { "ProductVersion", "1.0" },
        { "FileVersion", "1.0" },
        { "FileDescription", row.description },
        { "OriginalFilename", row.file },
        { "InternalName", internal },
        { "CompanyName", "The KOVA project" },
        { "LegalCopyright", "Copyright (C) The KOVA project" },
    };
    for (const auto &s : strings)
        EXPECT_EQ(s.value, VersionString(block, s.key)) << s.key;
}

static BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int *>(count);
    return TRUE;
}

static BOOL CALLBACK CountLanguage(HMODULE, LPCSTR, LPCSTR, WORD, LONG_PTR count)
{
    ++*reinterpret_cast<int *>(count);
    return TRUE;
}

TEST_P(VersionRecord, LinkedBesideTheBinarysOwnResources)
{
    const VersionRow &row = GetParam();
    if (!IsShipped(row.file))
        GTEST_SKIP() << row.file << " is not built yet";
    HMODULE module = LoadLibraryExA(ShippedPath(row.file).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module != NULL);
    /* Exactly one version record, in one language: a second one from the
       binary's own .rc would make the one shown a matter of chance. */
    int names = 0, languages = 0;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(16) /* RT_VERSION */, CountName,
                       reinterpret_cast<LONG_PTR>(&names));
    EnumResourceLanguagesA(module, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), CountLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(1, names);
    EXPECT_EQ(1, languages);
    if (row.ownDialog) {
        EXPECT_TRUE(FindResourceA(module, MAKEINTRESOURCEA(row.ownDialog),
                                  MAKEINTRESOURCEA(5) /* RT_DIALOG */) != NULL)
            << "dialog " << row.ownDialog << " of the binary's own .rc is missing";
    }
    FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(Shipped, VersionRecord, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<VersionRow> &param) {
                             std::string name = param.param.file;
                             return name.substr(0, name.find('.'));
                         });
