#include "hostile_support.h"

#include <algorithm>
#include <stdlib.h>
#include <string.h>

/* ---- the stand-in ---- */

StandInDir::StandInDir(const char *name, const char *ini) : dir(name)
{
    EXPECT_TRUE(CopyFileTo(ShippedPath("KOVA.exe"), dir / "KOVA.EXE"));
    if (ini) {
        EXPECT_TRUE(WriteFileText(dir / "KOVA.INI", ini));
    }
}

void StandInDir::Install(const std::string &library, const char *installName) const
{
    EXPECT_TRUE(CopyFileTo(library, dir / installName)) << library << " as " << installName;
}

void StandInDir::InstallBytes(const std::vector<uint8_t> &bytes, const char *installName) const
{
    EXPECT_TRUE(WriteFileBytes(dir / installName, bytes.data(), bytes.size())) << installName;
}

DWORD StandInDir::Run() const
{
    DWORD code = 0xFFFFFFFF;
    EXPECT_TRUE(RunProgram("\"" + (dir / "KOVA.EXE") + "\"", dir.path().c_str(), 30000, &code))
        << "KOVA.EXE did not end";
    return code;
}

Lines StandInDir::Transcript() const
{
    return SplitLines(ReadFileText(dir / "STANDIN.LOG"));
}

/* ---- earlier test programs ---- */

/* The number in attribute `name` of the first element that has it. */
static int XmlCount(const std::string &xml, const char *name)
{
    std::string key = std::string(" ") + name + "=\"";
    size_t at = xml.find(key);
    return at == std::string::npos ? -1 : atoi(xml.c_str() + at + key.size());
}

void ExpectEarlierTestsPass(const char *program, const char *filter, int tests)
{
    ScratchDir scratch("hostile-earlier");
    std::string report = scratch / "report.xml";
    std::string line = "\"" + TestBinPath(program) + "\" --gtest_filter=" + filter +
                       " \"--gtest_output=xml:" + report + "\"";
    DWORD code = 0xFFFFFFFF;
    ASSERT_TRUE(RunProgram(line, KOVA_TEST_BIN_DIR, 170000, &code)) << program << " did not end";
    std::string xml = ReadFileText(report);
    ASSERT_FALSE(xml.empty()) << program << " wrote no report (exit code " << code << ")";
    EXPECT_EQ(0u, code) << program << " " << filter;
    EXPECT_EQ(tests, XmlCount(xml, "tests")) << "tests selected by " << filter;
    EXPECT_EQ(0, XmlCount(xml, "failures"));
    EXPECT_EQ(std::string::npos, xml.find("result=\"skipped\"")) << "a test was skipped";
}

/* ---- a 64-bit library ---- */

namespace {

struct Image {
    std::vector<uint8_t> bytes;
    void U16(size_t at, uint16_t v)
    {
        bytes[at] = static_cast<uint8_t>(v);
        bytes[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    void U32(size_t at, uint32_t v)
    {
        U16(at, static_cast<uint16_t>(v));
        U16(at + 2, static_cast<uint16_t>(v >> 16));
    }
    void U64(size_t at, uint64_t v)
    {
        U32(at, static_cast<uint32_t>(v));
        U32(at + 4, static_cast<uint32_t>(v >> 32));
    }
    void Text(size_t at, const std::string &text) { memcpy(&bytes[at], text.c_str(), text.size() + 1); }
};

} // namespace

std::vector<uint8_t> MakePe32PlusDll(const char *dllName, const std::vector<std::string> &exports)
{
    /* Headers in the first 0x200 bytes of the file; one section at RVA
       0x1000 (file offset 0x200) with a function body, the export
       directory, its three tables and the names. */
    const uint32_t kFileAlign = 0x200, kSectionRva = 0x1000, kRaw = 0x200;
    std::vector<std::string> names(exports);
    std::sort(names.begin(), names.end()); /* the loader looks names up by bisection */
    const uint32_t n = static_cast<uint32_t>(names.size());

    const uint32_t code = 0;                 /* xor eax, eax; ret */
    const uint32_t dir = 16;                 /* IMAGE_EXPORT_DIRECTORY, 40 bytes */
    const uint32_t functions = dir + 40;
    const uint32_t nameRvas = functions + 4 * n;
    const uint32_t ordinals = nameRvas + 4 * n;
    uint32_t strings = ordinals + 2 * n;
    uint32_t end = strings + static_cast<uint32_t>(strlen(dllName)) + 1;
    for (const std::string &name : names)
        end += static_cast<uint32_t>(name.size()) + 1;
    const uint32_t rawSize = (end + kFileAlign - 1) / kFileAlign * kFileAlign;

    Image pe;
    pe.bytes.assign(kRaw + rawSize, 0);
    /* DOS header: "MZ" and where the PE header is */
    pe.U16(0, 0x5A4D);
    pe.U32(0x3C, 0x40);
    /* PE signature and file header */
    pe.U32(0x40, 0x00004550);
    const size_t coff = 0x44;
    pe.U16(coff + 0, 0x8664);     /* AMD64 */
    pe.U16(coff + 2, 1);          /* one section */
    pe.U16(coff + 16, 240);       /* size of the PE32+ optional header */
    pe.U16(coff + 18, 0x2022);    /* executable image, large-address aware, DLL */
    /* optional header, PE32+ */
    const size_t opt = coff + 20;
    pe.U16(opt + 0, 0x20B);
    pe.bytes[opt + 2] = 2;        /* linker version */
    pe.U32(opt + 4, rawSize);     /* size of code */
    pe.U32(opt + 16, 0);          /* no entry point: a DLL may have none */
    pe.U32(opt + 20, kSectionRva);
    pe.U64(opt + 24, 0x180000000ull);
    pe.U32(opt + 32, 0x1000);     /* section alignment */
    pe.U32(opt + 36, kFileAlign);
    pe.U16(opt + 40, 6);          /* operating system 6.0 */
    pe.U16(opt + 48, 6);          /* subsystem 6.0 */
    pe.U32(opt + 56, kSectionRva + ((rawSize + 0xFFF) & ~0xFFFu)); /* size of image */
    pe.U32(opt + 60, kRaw);       /* size of headers */
    pe.U16(opt + 68, 2);          /* Windows GUI */
    pe.U16(opt + 70, 0x0100);     /* NX compatible; fixed base, no relocations */
    pe.U64(opt + 72, 0x100000);   /* stack reserve */
    pe.U64(opt + 80, 0x1000);     /* stack commit */
    pe.U64(opt + 88, 0x100000);   /* heap reserve */
    pe.U64(opt + 96, 0x1000);     /* heap commit */
    pe.U32(opt + 108, 16);        /* data directories */
    pe.U32(opt + 112, kSectionRva + dir);           /* export table */
    pe.U32(opt + 116, end - dir);
    /* the section header */
    const size_t section = opt + 240;
    memcpy(&pe.bytes[section], ".text", 5);
    pe.U32(section + 8, end);                       /* virtual size */
    pe.U32(section + 12, kSectionRva);
    pe.U32(section + 16, rawSize);
    pe.U32(section + 20, kRaw);
    pe.U32(section + 36, 0x60000020u | 0x40u);      /* code, initialised data, read, execute */

    /* the section */
    const size_t s = kRaw;
    pe.bytes[s + code] = 0x31;
    pe.bytes[s + code + 1] = 0xC0;
    pe.bytes[s + code + 2] = 0xC3;
    pe.U32(s + dir + 12, kSectionRva + strings);    /* the library's name */
    pe.Text(s + strings, dllName);
    strings += static_cast<uint32_t>(strlen(dllName)) + 1;
    pe.U32(s + dir + 16, 1);                        /* ordinal base */
    pe.U32(s + dir + 20, n);
    pe.U32(s + dir + 24, n);
    pe.U32(s + dir + 28, kSectionRva + functions);
    pe.U32(s + dir + 32, kSectionRva + nameRvas);
    pe.U32(s + dir + 36, kSectionRva + ordinals);
    for (uint32_t i = 0; i < n; i++) {
        pe.U32(s + functions + 4 * i, kSectionRva + code);
        pe.U32(s + nameRvas + 4 * i, kSectionRva + strings);
        pe.U16(s + ordinals + 2 * i, static_cast<uint16_t>(i));
        pe.Text(s + strings, names[i]);
        strings += static_cast<uint32_t>(names[i].size()) + 1;
    }
    return pe.bytes;
}

std::vector<uint8_t> GarbageBytes(size_t size, uint32_t seed)
{
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed ? seed : 1;
    for (uint8_t &b : bytes) {
        /* xorshift32 */
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

/* ---- fenced RAM ---- */

FencedRam::FencedRam() : block_(NULL), ram_(NULL)
{
    const SIZE_T page = 4096;
    block_ = static_cast<uint8_t *>(
        VirtualAlloc(NULL, KOVA_RAM_SIZE + 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS));
    if (!block_)
        return;
    DWORD old;
    if (VirtualProtect(block_ + page, KOVA_RAM_SIZE, PAGE_READWRITE, &old))
        ram_ = block_ + page;
}

FencedRam::~FencedRam()
{
    if (block_)
        VirtualFree(block_, 0, MEM_RELEASE);
}

std::vector<uint8_t> RecordBytes(const HostServices &record)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&record);
    return std::vector<uint8_t>(p, p + sizeof record);
}
