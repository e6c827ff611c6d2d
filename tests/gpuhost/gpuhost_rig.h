/* What the gpuhost tests share: a program directory laid out as a user's
 * (gpuhost in PLUGIN\, hosted plugins in PLUGIN\PSEMU\, an emulator module
 * in the top folder), gpuhost's entry points and the hosted plugins' call
 * log. */
#ifndef GPUHOST_RIG_H
#define GPUHOST_RIG_H

#include <string>
#include <vector>

#include "kova_test.h"

/* The hosted test plugins' call log (KOVA_PSE_LOG), one per test. */
class PseLog {
public:
    explicit PseLog(const ScratchDir &dir);
    ~PseLog() { SetEnvironmentVariableA("KOVA_PSE_LOG", NULL); }
    std::vector<std::string> Lines() const { return SplitLines(ReadFileText(path_)); }
    /* The lines of one plugin file, without its name. */
    std::vector<std::string> LinesOf(const char *fileName) const;
    void Clear() const { DeleteFileA(path_.c_str()); }

private:
    std::string path_;
};

/* A program directory: <dir>\KOVAHOST.DLL stands for the emulator's module
   (its file name gives the emulator's directory), gpuhost is copied to
   <dir>\PLUGIN\gpuhost.dll, hosted plugins go to <dir>\PLUGIN\PSEMU\. */
struct GpuProgramDir {
    ScratchDir dir;
    std::string plugin;  /* <dir>\PLUGIN\ */
    std::string psemu;   /* <dir>\PLUGIN\PSEMU\ */
    explicit GpuProgramDir(const char *name);
    /* Copies test plugin <built>.dll into PLUGIN\PSEMU\ as fileName. */
    void AddHosted(const char *built, const char *fileName = NULL) const;
    std::string GpuHostPath() const { return plugin + "gpuhost.dll"; }
};

/* The test's own reading and writing of a RAM word, little-endian, each
   byte at (offset + i) within 2 MB. */
uint32_t RamWord(const uint8_t *ram, uint32_t offset);
void SetRamWord(uint8_t *ram, uint32_t offset, uint32_t value);

#endif
