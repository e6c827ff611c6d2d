#include "gpuhost_rig.h"

#include <string.h>

static std::string Win(std::string path)
{
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string Hex8(uint32_t value)
{
    char text[16];
    BufFormat(text, sizeof text, "%08lx", static_cast<unsigned long>(value));
    return text;
}

PseLog::PseLog(const ScratchDir &dir) : path_(dir / "pse.log")
{
    Clear();
    SetEnvironmentVariableA("KOVA_PSE_LOG", path_.c_str());
}

PseLog::~PseLog()
{
    SetEnvironmentVariableA("KOVA_PSE_LOG", NULL);
}

std::vector<std::string> PseLog::Lines() const
{
    return SplitLines(ReadFileText(path_));
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

void PseLog::Clear() const
{
    DeleteFileA(path_.c_str());
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
    EXPECT_TRUE(CopyFileTo(from, Win(to))) << from << " -> " << to;
}

GpuHost::GpuHost(const std::string &path) : lib(path)
{
    EXPECT_TRUE(lib.loaded()) << path;
    open = lib.Get<PluginOpenFn>("GPU_Open");
    close = lib.Get<PluginCloseFn>("GPU_Close");
    update = lib.Get<GpuUpdateFn>("GPU_Update");
    gp0Read = lib.Get<GpuReadFn>("GP0_Read");
    gp0Write = lib.Get<GpuWriteFn>("GP0_Write");
    gp1Read = lib.Get<GpuReadFn>("GP1_Read");
    gp1Write = lib.Get<GpuWriteFn>("GP1_Write");
    dmaExec = lib.Get<GpuDmaExecFn>("GPU_DmaExec");
    screenShot = lib.Get<GpuScreenShotFn>("GPU_ScreenShot");
    configure = lib.Get<PluginConfigureFn>("GPU_Configure");
    about = lib.Get<PluginAboutFn>("GPU_About");
}

std::ostream &operator<<(std::ostream &os, const HostCall &call)
{
    return os << call.what << "(" << call.a << ", " << call.b << ", " << call.c << ")";
}

static RecordingHost *ActiveHost;

RecordingHost::RecordingHost()
{
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

std::vector<HostCall> RecordingHost::Calls(const char *what) const
{
    std::vector<HostCall> some;
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
        self->calls.push_back({ "read", section, key, "" });
        auto it = self->settings.find(std::string(section) + "/" + key);
        if (it != self->settings.end())
            value = it->second;
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
    /* Also into the hosted plugins' log, so that its order against their
       calls shows. */
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

bool RunCapturingStdout(const std::string &commandLine, const char *dir, DWORD timeoutMs,
                        DWORD *exitCode, std::string *output)
{
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, NULL, TRUE };
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    BOOL started = CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, 0, NULL, dir, &si, &pi);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    CloseHandle(pi.hThread);
    output->clear();
    /* Until the child's end of the pipe closes: it ends or is killed. */
    DWORD start = GetTickCount();
    bool ended = true;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd, NULL, 0, NULL, &available, NULL))
            break;
        if (available) {
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer, sizeof buffer, &got, NULL))
                break;
            output->append(buffer, got);
            continue;
        }
        if (GetTickCount() - start > timeoutMs) {
            TerminateProcess(pi.hProcess, 99);
            ended = false;
            break;
        }
        Sleep(5);
    }
    WaitForSingleObject(pi.hProcess, 5000);
    GetExitCodeProcess(pi.hProcess, exitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(readEnd);
    return ended;
}

static std::vector<std::string> LoadedPaths;
static HMODULE(WINAPI *RealLoadLibraryA)(LPCSTR);

static HMODULE WINAPI RecordLoadLibraryA(LPCSTR path)
{
    LoadedPaths.push_back(path ? path : "(null)");
    return RealLoadLibraryA(path);
}

LoadRecorder::LoadRecorder(HMODULE module)
    : hook_(module, "kernel32.dll", "LoadLibraryA", reinterpret_cast<void *>(RecordLoadLibraryA))
{
    LoadedPaths.clear();
    RealLoadLibraryA = reinterpret_cast<HMODULE(WINAPI *)(LPCSTR)>(hook_.original());
    EXPECT_TRUE(hook_.installed()) << "the module does not import LoadLibraryA";
}

LoadRecorder::~LoadRecorder()
{
    LoadedPaths.clear();
}

const std::vector<std::string> &LoadRecorder::paths() const
{
    return LoadedPaths;
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
