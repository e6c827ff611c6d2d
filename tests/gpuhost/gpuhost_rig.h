/* What the gpuhost tests share: a program directory laid out as a user's
 * (gpuhost in PLUGIN\, hosted plugins in PLUGIN\PSEMU\, an emulator module
 * in the top folder), gpuhost's entry points, the hosted plugins' call log,
 * and a HostServices record whose callbacks record what they are given. */
#ifndef GPUHOST_RIG_H
#define GPUHOST_RIG_H

#include <map>
#include <string>
#include <vector>

#include "kova_test.h"

/* The hosted test plugins' call log (KOVA_PSE_LOG), one per test. */
class PseLog {
public:
    explicit PseLog(const ScratchDir &dir);
    ~PseLog();
    std::vector<std::string> Lines() const;
    /* The lines of one plugin file, without its name. */
    std::vector<std::string> LinesOf(const char *fileName) const;
    void Clear() const;
    const std::string &path() const { return path_; }

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

/* gpuhost's exports, from a loaded copy. */
struct GpuHost {
    Library lib;
    explicit GpuHost(const std::string &path);
    PluginOpenFn open;
    PluginCloseFn close;
    GpuUpdateFn update;
    GpuReadFn gp0Read;
    GpuWriteFn gp0Write;
    GpuReadFn gp1Read;
    GpuWriteFn gp1Write;
    GpuDmaExecFn dmaExec;
    GpuScreenShotFn screenShot;
    PluginConfigureFn configure;
    PluginAboutFn about;
};

/* One recorded call of a HostServices callback. */
struct HostCall {
    std::string what;  /* "read", "write", "notify" */
    std::string a, b, c;
    bool operator==(const HostCall &o) const
    {
        return what == o.what && a == o.a && b == o.b && c == o.c;
    }
};
std::ostream &operator<<(std::ostream &os, const HostCall &call);

/* A HostServices record over a settings map; every callback is recorded.
   One at a time (the callbacks have no context argument). */
class RecordingHost {
public:
    RecordingHost();
    ~RecordingHost();
    HostServices record;
    std::map<std::string, std::string> settings;  /* "SECTION/Key" -> value */
    std::vector<HostCall> calls;
    /* The calls of one kind. */
    std::vector<HostCall> Calls(const char *what) const;
    /* hostInstance = a module in the program directory. */
    void SetHostModule(HMODULE module) { record.hostInstance = module; }

private:
    static int32_t KOVA_CALL Read(const char *section, const char *key, char *out);
    static int32_t KOVA_CALL Write(const char *section, const char *key, const char *value);
    static void KOVA_CALL Notify(uint32_t start, uint32_t end);
};

std::string Hex8(uint32_t value);

#endif

/* Starts a program with its standard output on a pipe and collects every
   byte of it; true when it ended within timeoutMs. */
bool RunCapturingStdout(const std::string &commandLine, const char *dir, DWORD timeoutMs,
                        DWORD *exitCode, std::string *output);

/* Records LoadLibraryA calls made by one module (the paths, in order) and
   lets them through. */
class LoadRecorder {
public:
    explicit LoadRecorder(HMODULE module);
    ~LoadRecorder();
    bool installed() const { return hook_.installed(); }
    const std::vector<std::string> &paths() const;

private:
    ImportHook hook_;
};

/* The test's own reading and writing of a RAM word, little-endian, each
   byte at (offset + i) within 2 MB. */
uint32_t RamWord(const uint8_t *ram, uint32_t offset);
void SetRamWord(uint8_t *ram, uint32_t offset, uint32_t value);
