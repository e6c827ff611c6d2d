/* KOVA.INI through LoadSettings and the two settings callbacks, on real
   files. */
#include <string.h>

#include "cfg_test.h"
#include "configurator.h"
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
