/* The recording host record, fenced RAM and the stand-in's program
   directory (kova_test.h). */
#include "kova_test.h"

#include <string.h>

std::string Hex8(uint32_t value)
{
    char text[16];
    BufFormat(text, sizeof text, "%08lx", static_cast<unsigned long>(value));
    return text;
}

std::ostream &operator<<(std::ostream &os, const HostCall &call)
{
    return os << call.what << "(" << call.a << ", " << call.b << ", " << call.c << ")";
}

static RecordingHost *ActiveHost;

RecordingHost::RecordingHost()
{
    EXPECT_TRUE(ActiveHost == NULL) << "one RecordingHost at a time";
    memset(&record, 0, sizeof record);
    record.readSetting = Read;
    record.writeSetting = Write;
    record.ramWriteNotify = Notify;
    ActiveHost = this;
}

RecordingHost::~RecordingHost()
{
    ActiveHost = NULL;
}

HostCalls RecordingHost::Calls(const char *what) const
{
    HostCalls some;
    for (const HostCall &call : calls)
        if (call.what == what)
            some.push_back(call);
    return some;
}

int32_t KOVA_CALL RecordingHost::Read(const char *section, const char *key, char *out)
{
    RecordingHost *self = ActiveHost;
    std::string value;
    if (self) {
        auto it = self->settings.find(std::string(section) + "/" + key);
        if (it != self->settings.end())
            value = it->second;
        self->calls.push_back({ "read", section, key, value });
    }
    BufSet(out, KOVA_SETTING_SIZE, value.c_str());
    return 0;
}

int32_t KOVA_CALL RecordingHost::Write(const char *section, const char *key, const char *value)
{
    if (ActiveHost)
        ActiveHost->calls.push_back({ "write", section, key, value });
    return 0;
}

void KOVA_CALL RecordingHost::Notify(uint32_t start, uint32_t end)
{
    if (ActiveHost)
        ActiveHost->calls.push_back({ "notify", Hex8(start), Hex8(end), "" });
    /* Also into the hosted GPU plugins' log, so that its order against
       their calls shows. */
    char log[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("KOVA_PSE_LOG", log, sizeof log);
    if (n && n < sizeof log) {
        std::string line = "host ramWriteNotify " + Hex8(start) + " " + Hex8(end) + "\r\n";
        HANDLE f = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_ALWAYS, 0, NULL);
        if (f != INVALID_HANDLE_VALUE) {
            DWORD written;
            WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, NULL);
            CloseHandle(f);
        }
    }
}

std::vector<uint8_t> RecordBytes(const HostServices &record)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&record);
    return std::vector<uint8_t>(p, p + sizeof record);
}

FencedRam::FencedRam() : block_(NULL), ram_(NULL)
{
    const SIZE_T page = 4096;
    block_ = static_cast<uint8_t *>(
        VirtualAlloc(NULL, KOVA_RAM_SIZE + 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS));
    DWORD old;
    if (block_ && VirtualProtect(block_ + page, KOVA_RAM_SIZE, PAGE_READWRITE, &old))
        ram_ = block_ + page;
}

FencedRam::~FencedRam()
{
    if (block_)
        VirtualFree(block_, 0, MEM_RELEASE);
}

StandInDir::StandInDir(const char *name, const char *ini) : dir(name)
{
    EXPECT_TRUE(CopyFileTo(ShippedPath("KOVA.exe"), dir / "KOVA.EXE"));
    if (ini) {
        EXPECT_TRUE(WriteFileText(dir / "KOVA.INI", ini));
    }
}

void StandInDir::Install(const std::string &library, const char *installName) const
{
    const char *slash = strrchr(installName, '\\');
    if (slash)
        dir.MakeDir(std::string(installName, slash).c_str());
    EXPECT_TRUE(CopyFileTo(library, dir / installName)) << library << " as " << installName;
}

void StandInDir::InstallBytes(const std::vector<uint8_t> &bytes, const char *installName) const
{
    EXPECT_TRUE(WriteFileBytes(dir / installName, bytes.data(), bytes.size())) << installName;
}

DWORD StandInDir::Run(const char *arguments) const
{
    DWORD code = 0xFFFFFFFF;
    std::string line = "\"" + (dir / "KOVA.EXE") + "\"" + (*arguments ? " " : "") + arguments;
    EXPECT_TRUE(RunProgram(line, dir.path().c_str(), 30000, &code)) << "KOVA.EXE did not end";
    return code;
}

Lines StandInDir::Transcript() const
{
    return SplitLines(ReadFileText(dir / "STANDIN.LOG"));
}
