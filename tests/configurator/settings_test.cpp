/* KOVA.INI through LoadSettings and the two settings callbacks, on real
   files. */
#include <string.h>

#include "cfg_test.h"
#include "configurator.h"
#include "kova_ini.h"
#include "settings.h"
#include "startup.h"

namespace {

void UseDir(const ProgramDir &dir)
{
    ASSERT_TRUE(StartUp(GetModuleHandleA(NULL), NULL));
    ASSERT_TRUE(UseProgramDirectory(dir.path.c_str()));
}

Lines *keysRead;
decltype(&GetPrivateProfileStringA) realRead;
DWORD WINAPI RecordKeyRead(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR out, DWORD size, LPCSTR file)
{
    keysRead->push_back(std::string(section) + "/" + key);
    return realRead(section, key, fallback, out, size, file);
}

} // namespace

TEST(Settings, LoadReadsTheEightKeysInTheirOrderByTheirRules)
{
    struct Row {
        const char *what;
        const char *section;  /* body of [KOVA]; null: no KOVA.INI */
        Settings want;        /* emulateBios, cpuMode, verbose, disasm, debugger, cdUseCache, useSerial, cdCountry */
    };
    const Row rows[] = {
        { "no file", NULL, { 1, 1, 0, 0, 0, 0, 0, 0, 0 } },
        { "empty section", "", { 1, 1, 0, 0, 0, 0, 0, 0, 0 } },
        { "all on, any case",
          "EmulateBios=OFF\r\nCpuMode=Interpreter\r\nVerbose=On\r\nDisasm=oN\r\nDebugger=ON\r\n"
          "CDUseCache=on\r\nUseSerial=ON\r\nCDCountry=2\r\n",
          { 0, 0, 1, 1, 1, 1, 1, 2, 0 } },
        { "unknown values keep the defaults",
          "EmulateBios=no\r\nCpuMode=fast\r\nVerbose=yes\r\nDisasm=1\r\nDebugger=true\r\n"
          "CDUseCache=\r\nUseSerial=onn\r\nCDCountry=7\r\n",
          { 1, 1, 0, 0, 0, 0, 0, 0, 0 } },
        { "country: first character only", "CDCountry=21\r\nCpuMode=COMPILER\r\n", { 1, 1, 0, 0, 0, 0, 0, 2, 0 } },
        { "country: not a digit", "CDCountry=x\r\n", { 1, 1, 0, 0, 0, 0, 0, 0, 0 } },
        { "other sections do not count",
          "Verbose=off\r\n[OTHER]\r\nVerbose=on\r\nEmulateBios=off\r\n", { 1, 1, 0, 0, 0, 0, 0, 0, 0 } },
    };
    Lines keys;
    keysRead = &keys;
    ImportHook hook(GetModuleHandleA(NULL), "kernel32.dll", "GetPrivateProfileStringA",
                    reinterpret_cast<void *>(RecordKeyRead));
    ASSERT_TRUE(hook.installed());
    realRead = reinterpret_cast<decltype(realRead)>(hook.original());
    auto flags = [](const Settings &s) {
        return std::vector<int>{ s.emulateBios, s.cpuMode, s.verbose, s.disasm, s.debugger,
                                 s.cdUseCache, s.useSerial, s.cdCountry };
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ProgramDir dir("load");
        if (row.section)
            dir.AddFile("KOVA.INI", std::string("[KOVA]\r\n") + row.section);
        UseDir(dir);
        keys.clear();
        LoadSettings();
        EXPECT_EQ(flags(row.want), flags(settings)) << "in the order of the row";
        EXPECT_EQ(Lines({ "KOVA/EmulateBios", "KOVA/CpuMode", "KOVA/Verbose", "KOVA/Disasm",
                          "KOVA/Debugger", "KOVA/CDUseCache", "KOVA/UseSerial", "KOVA/CDCountry" }),
                  keys) << "read in this order";
        EXPECT_FALSE(row.section == NULL && FileExists(dir / "KOVA.INI")) << "loading creates nothing";
    }
}

TEST(Settings, CallbacksReadAndWriteAnySectionOfKovaIni)
{
    ProgramDir dir("callbacks");
    const std::string long1023(1023, 'v');
    const std::string long1100(1100, 'w');
    dir.AddFile("KOVA.INI", "[GPUHOST]\r\nPluginName=gpu.dll\r\n[LONG]\r\nFits=" + long1023 +
                                "\r\nTooLong=" + long1100 + "\r\n");
    UseDir(dir);
    struct Row {
        const char *section, *key;
        std::string value;
    };
    const Row rows[] = {
        { "GPUHOST", "PluginName", "gpu.dll" },
        { "gpuhost", "pluginname", "gpu.dll" },
        { "GPUHOST", "Missing", "" },
        { "NOSECTION", "PluginName", "" },
        { "LONG", "Fits", long1023 },
        { "LONG", "TooLong", long1100.substr(0, 1023) },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.section) + "/" + row.key);
        /* The contract's 1024 bytes, and a guard behind them. */
        char out[KOVA_SETTING_SIZE + 16];
        memset(out, 0xCC, sizeof out);
        EXPECT_EQ(0, Host.readSetting(row.section, row.key, out));
        EXPECT_EQ(row.value, out);
        for (size_t i = KOVA_SETTING_SIZE; i < sizeof out; i++)
            ASSERT_EQ(static_cast<char>(0xCC), out[i]) << "written past the 1024 bytes at " << i;
    }
    EXPECT_EQ(0, Host.writeSetting("CDIOCTRL", "DriveLetter", "E"));
    EXPECT_NE(std::string::npos, dir.Ini().find("[CDIOCTRL]\r\nDriveLetter=E\r\n")) << dir.Ini();

    /* A failed write is not reported to the plugin. */
    HANDLE held = CreateFileA((dir / "KOVA.INI").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, Host.writeSetting("CDIOCTRL", "DriveLetter", "F"));
    CloseHandle(held);
    EXPECT_EQ(std::string::npos, dir.Ini().find("DriveLetter=F"));
}

TEST(Settings, ABatchOfWritesReachesKovaIniTogetherAndIsReadBackWhileOpen)
{
    struct Write {
        const char *section, *key, *value;
    };
    struct Row {
        const char *what;
        const char *before;  /* KOVA.INI before; null: none */
        std::vector<Write> writes;
        std::string after;
        bool together;  /* the file as it was until the batch ends */
    };
    /* More writes than a batch keeps for reading back: they land in parts. */
    std::vector<Write> many;
    static char keys[70][8];
    std::string manyAfter = "[MANY]\r\n";
    for (int i = 0; i < 70; i++) {
        BufFormat(keys[i], sizeof keys[i], "K%02d", i);
        many.push_back({ "MANY", keys[i], "v" });
        manyAfter += std::string(keys[i]) + "=v\r\n";
    }
    const Row rows[] = {
        { "a first file", NULL, { { "CDIOCTRL", "DriveLetter", "E" } }, "[CDIOCTRL]\r\nDriveLetter=E\r\n", true },
        { "quoted, and a key written twice", "[KOVA]\r\nVerbose=on\r\n",
          { { "P", "Name", "\"a b\"" }, { "P", "Twice", "1" }, { "P", "Twice", "2" } },
          "[KOVA]\r\nVerbose=on\r\n[P]\r\nName=\"a b\"\r\nTwice=2\r\n", true },
        { "a key and a section removed", "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n",
          { { "A", "x", NULL }, { "B", NULL, NULL } }, "[A]\r\ny=2\r\n", true },
        { "seventy writes", NULL, many, manyAfter, false },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ProgramDir dir("batch");
        if (row.before)
            dir.AddFile("KOVA.INI", row.before);
        UseDir(dir);
        BeginIniWrites();
        for (const Write &write : row.writes)
            EXPECT_EQ(0, Host.writeSetting(write.section, write.key, write.value));
        const Write &last = row.writes.back();
        char out[KOVA_SETTING_SIZE];
        Host.readSetting(last.section, last.key ? last.key : "x", out);
        EXPECT_EQ(last.key && last.value ? last.value : "", std::string(out)) << "read within the batch";
        if (row.together) {
            EXPECT_EQ(row.before ? row.before : "", dir.Ini()) << "written before the batch ended";
        }
        EXPECT_TRUE(EndIniWrites());
        EXPECT_EQ(row.after, dir.Ini());
        EXPECT_EQ(Lines(), SearchOrder(dir / "*.tmp")) << "stayed behind";
    }
}
