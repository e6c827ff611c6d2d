#include "gpuhost_rig.h"

#include <string.h>

PseLog::PseLog(const ScratchDir &dir) : path_(dir / "pse.log")
{
    Clear();
    SetEnvironmentVariableA("KOVA_PSE_LOG", path_.c_str());
}

std::vector<std::string> PseLog::LinesOf(const char *fileName) const
{
    std::vector<std::string> lines;
    std::string prefix = std::string(fileName) + " ";
    for (const std::string &line : Lines())
        if (!_strnicmp(line.c_str(), prefix.c_str(), prefix.size()))
            lines.push_back(line.substr(prefix.size()));
    return lines;
}

GpuProgramDir::GpuProgramDir(const char *name) : dir(name)
{
    plugin = dir.MakeDir("PLUGIN");
    psemu = dir.MakeDir("PLUGIN\\PSEMU");
    EXPECT_TRUE(CopyFileTo(ShippedPath("gpuhost.dll"), GpuHostPath()));
    EXPECT_TRUE(CopyFileTo(ShippedPath("cdidle.dll"), dir / "KOVAHOST.DLL"));
}

void GpuProgramDir::AddHosted(const char *built, const char *fileName) const
{
    std::string from = TestBinPath((std::string(built) + ".dll").c_str());
    std::string to = psemu + (fileName ? fileName : (std::string(built) + ".dll"));
    EXPECT_TRUE(CopyFileTo(from, to)) << from << " -> " << to;
}

uint32_t RamWord(const uint8_t *ram, uint32_t offset)
{
    uint32_t value = 0;
    for (uint32_t i = 0; i < 4; i++)
        value |= static_cast<uint32_t>(ram[(offset + i) % KOVA_RAM_SIZE]) << (8 * i);
    return value;
}

void SetRamWord(uint8_t *ram, uint32_t offset, uint32_t value)
{
    for (uint32_t i = 0; i < 4; i++)
        ram[(offset + i) % KOVA_RAM_SIZE] = static_cast<uint8_t>(value >> (8 * i));
}
