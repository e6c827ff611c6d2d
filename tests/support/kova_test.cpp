#include "kova_test.h"

#include <stdio.h>
#include <ctype.h>
#include <stdlib.h>
#include <algorithm>
#include <string.h>

#include "kova_str.h"

/* ---- where things are ---- */

std::string ShippedPath(const char *fileName)
{
    return std::string(KOVA_BIN_DIR) + fileName;
}

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

bool IsShipped(const char *fileName)
{
    for (const char *s : { KOVA_SHIPPED_FILES })
        if (!_stricmp(s, fileName))
            return true;
    return false;
}

bool EmulatedCpu()
{
    char value[8] = "";
    return GetEnvironmentVariableA("KOVA_EMULATED_CPU", value, sizeof value) && !strcmp(value, "1");
}

const char *NullWriteCode()
{
    return EmulatedCpu() ? "c000001d" : "c0000005";
}

std::string TestBinPath(const char *fileName)
{
    return std::string(KOVA_TEST_BIN_DIR) + fileName;
}

std::string SourcePath(const char *relative)
{
    std::string path = std::string(KOVA_SOURCE_DIR) + relative;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

/* ---- files ---- */

std::vector<uint8_t> ReadFileBytes(const std::string &path)
{
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    DWORD size = GetFileSize(file, NULL);
    bytes.resize(size);
    DWORD got = 0;
    if (size && (!ReadFile(file, bytes.data(), size, &got, NULL) || got != size))
        bytes.clear();
    CloseHandle(file);
    return bytes;
}

std::string ReadFileText(const std::string &path)
{
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool WriteFileBytes(const std::string &path, const void *data, size_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = size == 0 || (WriteFile(file, data, static_cast<DWORD>(size), &written, NULL) &&
                            written == size);
    CloseHandle(file);
    return ok;
}

bool WriteFileText(const std::string &path, const std::string &text)
{
    return WriteFileBytes(path, text.data(), text.size());
}

bool CopyFileTo(const std::string &from, const std::string &to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool Contains(const Lines &lines, const std::string &line)
{
    for (const std::string &l : lines)
        if (l == line)
            return true;
    return false;
}

Lines SearchOrder(const std::string &pattern, bool folders)
{
    Lines names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!folder || (folders && strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::wstring Widen(const std::string &text)
{
    std::wstring wide(text.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return wide;
}

std::string Narrow(const std::wstring &wide)
{
    if (wide.empty())
        return "";
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), NULL, 0,
                                NULL, NULL);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &s[0], n, NULL,
                        NULL);
    return s;
}

std::wstring Utf16(const std::string &utf8)
{
    std::wstring wide(utf8.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return wide;
}

std::string Utf8(const std::wstring &wide)
{
    std::string s(wide.size() * 3 + 1, '\0');
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &s[0], static_cast<int>(s.size()), NULL, NULL);
    s.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return s;
}

/* Wide calls throughout, so that folders whose names ANSI cannot hold go too. */
static bool RemoveTreeW(std::wstring dir)
{
    if (!dir.empty() && dir.back() != L'\\')
        dir += L'\\';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L".."))
                continue;
            std::wstring child = dir + found.cFileName;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTreeW(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryW(dir.c_str()) != 0;
}

bool RemoveTree(const std::string &path)
{
    return RemoveTreeW(Widen(path));
}

static bool MakeDirs(const std::string &path)
{
    for (size_t i = 3; i <= path.size(); i++) {
        if (i == path.size() || path[i] == '\\') {
            std::string part = path.substr(0, i);
            if (!part.empty() && !FileExists(part) && !CreateDirectoryA(part.c_str(), NULL))
                return false;
        }
    }
    return true;
}

ScratchDir::ScratchDir(const char *name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char unique[64];
    BufFormat(unique, sizeof unique, "kova-tests\\%lu-", GetCurrentProcessId());
    path_ = std::string(temp) + unique + name + "\\";
    RemoveTree(path_);
    EXPECT_TRUE(MakeDirs(path_)) << "cannot create " << path_;
}

ScratchDir::~ScratchDir()
{
    RemoveTree(path_);
}

std::string ScratchDir::MakeDir(const char *relative) const
{
    std::string dir = path_ + relative;
    for (char &c : dir)
        if (c == '/')
            c = '\\';
    if (dir.back() != '\\')
        dir += '\\';
    EXPECT_TRUE(MakeDirs(dir)) << "cannot create " << dir;
    return dir;
}

/* ---- libraries ---- */

Library::Library(const std::string &path) : path_(path)
{
    module_ = LoadLibraryA(path.c_str());
}

Library::~Library()
{
    Free();
}

void Library::Free()
{
    if (module_)
        FreeLibrary(module_);
    module_ = NULL;
}

static void **FindImportSlot(HMODULE module, const char *dllName, const char *functionName)
{
    uint8_t *base = reinterpret_cast<uint8_t *>(module);
    IMAGE_DOS_HEADER *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    IMAGE_NT_HEADERS32 *nt = reinterpret_cast<IMAGE_NT_HEADERS32 *>(base + dos->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return NULL;
    IMAGE_IMPORT_DESCRIPTOR *desc =
        reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
    for (; desc->Name; desc++) {
        if (_stricmp(reinterpret_cast<char *>(base + desc->Name), dllName) != 0)
            continue;
        IMAGE_THUNK_DATA32 *names = reinterpret_cast<IMAGE_THUNK_DATA32 *>(
            base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk));
        IMAGE_THUNK_DATA32 *slots = reinterpret_cast<IMAGE_THUNK_DATA32 *>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (names->u1.Ordinal & IMAGE_ORDINAL_FLAG32)
                continue;
            IMAGE_IMPORT_BY_NAME *byName =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (!strcmp(reinterpret_cast<char *>(byName->Name), functionName))
                return reinterpret_cast<void **>(&slots->u1.Function);
        }
    }
    return NULL;
}

static void WriteSlot(void **slot, void *value)
{
    DWORD old;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
}

ImportHook::ImportHook(HMODULE module, const char *dllName, const char *functionName,
                       void *replacement)
    : slot_(NULL), original_(NULL)
{
    if (!module)
        return;
    slot_ = FindImportSlot(module, dllName, functionName);
    if (!slot_)
        return;
    original_ = *slot_;
    WriteSlot(slot_, replacement);
}

ImportHook::~ImportHook()
{
    if (slot_)
        WriteSlot(slot_, original_);
}

static Lines LoadedPaths;
static std::vector<UINT> LoadErrorModes;
static Lines RefusedLoads;
static HMODULE(WINAPI *RealLoadLibraryA)(LPCSTR);

static HMODULE WINAPI RecordLoadLibraryA(LPCSTR path)
{
    UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    LoadedPaths.push_back(path ? path : "(null)");
    LoadErrorModes.push_back(mode);
    for (const std::string &refused : RefusedLoads) {
        if (path && Lower(path) == Lower(refused)) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return NULL;
        }
    }
    return RealLoadLibraryA(path);
}

LoadRecorder::LoadRecorder(HMODULE module, const Lines &refused)
    : hook_(module, "kernel32.dll", "LoadLibraryA", reinterpret_cast<void *>(RecordLoadLibraryA))
{
    LoadedPaths.clear();
    LoadErrorModes.clear();
    RefusedLoads = refused;
    RealLoadLibraryA = reinterpret_cast<HMODULE(WINAPI *)(LPCSTR)>(hook_.original());
    EXPECT_TRUE(hook_.installed()) << "the module does not import LoadLibraryA";
}

LoadRecorder::~LoadRecorder()
{
    RefusedLoads.clear();
    LoadedPaths.clear();
    LoadErrorModes.clear();
}

const Lines &LoadRecorder::paths() const
{
    return LoadedPaths;
}

const std::vector<UINT> &LoadRecorder::errorModes() const
{
    return LoadErrorModes;
}

static std::vector<MessageBoxCall> RecordedBoxes;
static int RecordedAnswer = IDOK;

static int WINAPI RecordMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    RecordedBoxes.push_back({ owner, text ? text : "(null)", caption ? caption : "(null)", type });
    return RecordedAnswer;
}

MessageBoxRecorder::MessageBoxRecorder(HMODULE module, int answer)
    : hook_(module, "user32.dll", "MessageBoxA", reinterpret_cast<void *>(RecordMessageBoxA))
{
    RecordedBoxes.clear();
    RecordedAnswer = answer;
    EXPECT_TRUE(hook_.installed()) << "the module does not import MessageBoxA";
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    RecordedBoxes.clear();
}

const std::vector<MessageBoxCall> &MessageBoxRecorder::calls() const
{
    return RecordedBoxes;
}

/* ---- processes and the X display ---- */

bool StartProgram(const std::wstring &commandLine, const wchar_t *dir, HANDLE *process,
                  DWORD *processId, DWORD *threadId, HANDLE output)
{
    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (output != INVALID_HANDLE_VALUE) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = output;
        si.hStdError = output;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION pi;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(NULL, line.data(), NULL, NULL, output != INVALID_HANDLE_VALUE, 0, NULL, dir,
                        &si, &pi))
        return false;
    if (pi.hThread)
        CloseHandle(pi.hThread);
    *process = pi.hProcess;
    if (processId)
        *processId = pi.dwProcessId;
    if (threadId)
        *threadId = pi.dwThreadId;
    return true;
}

bool RunProgram(const std::string &commandLine, const char *dir, DWORD timeoutMs, DWORD *exitCode)
{
    return RunProgramW(Widen(commandLine), dir ? Widen(dir).c_str() : NULL, timeoutMs, exitCode);
}

bool RunProgramW(const std::wstring &commandLine, const wchar_t *dir, DWORD timeoutMs,
                 DWORD *exitCode, std::string *output)
{
    /* The standard output goes to a file, which cannot fill up as a pipe would. */
    HANDLE out = INVALID_HANDLE_VALUE;
    WCHAR outPath[MAX_PATH];
    if (output) {
        WCHAR temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        GetTempFileNameW(temp, L"out", 0, outPath);
        SECURITY_ATTRIBUTES inherit = { sizeof inherit, NULL, TRUE };
        out = CreateFileW(outPath, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, NULL);
    }
    HANDLE process = NULL;
    bool started = StartProgram(commandLine, dir, &process, NULL, NULL, out);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    bool ended = false;
    if (started) {
        ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
        if (!ended)
            TerminateProcess(process, 99);
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        CloseHandle(process);
        if (exitCode)
            *exitCode = code;
    }
    if (output) {
        output->clear();
        std::vector<uint8_t> bytes = ReadFileBytes(Narrow(outPath));
        output->assign(bytes.begin(), bytes.end());
        DeleteFileW(outPath);
    }
    return ended;
}

bool HaveXDisplay()
{
    char display[64];
    return GetEnvironmentVariableA("DISPLAY", display, sizeof display) > 0;
}

std::string UnixPath(const std::string &windowsPath)
{
    typedef char *(CDECL * ToUnixFn)(LPCWSTR);
    ToUnixFn toUnix = reinterpret_cast<ToUnixFn>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) {
        ADD_FAILURE() << "not running under Wine";
        return "";
    }
    std::wstring wide(windowsPath.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    char *unix = toUnix(wide.c_str());
    std::string result = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

int RunUnix(const std::string &command, DWORD timeoutMs)
{
    /* Wine starts Unix programs from CreateProcess but its wait does not see
       them end, so the shell writes its exit status into a marker file (in
       this prefix's own temporary folder: Wine process ids repeat across
       prefixes). */
    static unsigned counter;
    char temp[MAX_PATH], name[64];
    GetTempPathA(sizeof temp, temp);
    BufFormat(name, sizeof name, "kova-unix-%lu-%lu-%u", GetCurrentProcessId(), GetTickCount(),
              ++counter);
    std::string marker = std::string(temp) + name;
    DeleteFileA(marker.c_str());
    HANDLE process;
    if (!StartProgram(Widen("/bin/sh -c \"" + command + "; echo $? > '" + UnixPath(marker) + "'\""), NULL,
                      &process))
        return -1;
    if (process)
        CloseHandle(process);
    DWORD start = GetTickCount();
    std::string status;
    while ((status = ReadFileText(marker)).empty() || status.back() != '\n') {
        if (GetTickCount() - start > timeoutMs)
            return -1;
        PumpMessages(2);
    }
    DeleteFileA(marker.c_str());
    return atoi(status.c_str());
}

bool XDoTool(const std::string &arguments)
{
    return RunUnix("xdotool " + arguments + " >/dev/null 2>&1", 10000) >= 0;
}

void PumpMessages(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (ms)
            Sleep(1);
    } while (GetTickCount() - start < ms);
}

static LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

TestWindow::TestWindow(const char *title)
{
    static bool registered;
    if (!registered) {
        WNDCLASSA wc;
        memset(&wc, 0, sizeof wc);
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = "KovaTestWindow";
        RegisterClassA(&wc);
        registered = true;
    }
    window_ = CreateWindowA("KovaTestWindow", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                            300, 200, NULL, NULL, GetModuleHandleA(NULL), NULL);
    PumpMessages(20);
}

TestWindow::~TestWindow()
{
    if (window_)
        DestroyWindow(window_);
    PumpMessages(10);
}

bool TestWindow::Focus()
{
    if (!window_)
        return false;
    SetForegroundWindow(window_);
    SetFocus(window_);
    PumpMessages(20);
    if (HaveXDisplay()) {
        /* Wine keeps the X window of a top-level window in this property. */
        HANDLE xid = GetPropA(window_, "__wine_x11_whole_window");
        if (xid) {
            char args[64];
            BufFormat(args, sizeof args, "windowfocus --sync %lu",
                      static_cast<unsigned long>(reinterpret_cast<uintptr_t>(xid)));
            XDoTool(args);
        }
    }
    PumpMessages(50);
    return GetForegroundWindow() == window_;
}

/* ---- PE files ---- */

bool IsSystemDll(const std::string &name)
{
    static const char *const kSystemDlls[] = {
        "kernel32.dll", "user32.dll", "advapi32.dll", "gdi32.dll", "comdlg32.dll",
        "msvcrt.dll", "dinput.dll", "shell32.dll", "comctl32.dll", "ole32.dll",
    };
    for (const char *dll : kSystemDlls)
        if (Lower(name) == dll)
            return true;
    return false;
}

PeInfo ReadPe(const std::string &path)
{
    PeInfo info;
    std::vector<uint8_t> f = ReadFileBytes(path);
    auto in = [&](size_t offset, size_t size) { return offset + size <= f.size(); };
    auto u16 = [&](size_t o) { return static_cast<uint16_t>(f[o] | (f[o + 1] << 8)); };
    auto u32 = [&](size_t o) {
        return static_cast<uint32_t>(f[o] | (f[o + 1] << 8) | (f[o + 2] << 16) |
                                     (static_cast<uint32_t>(f[o + 3]) << 24));
    };
    if (!in(0, 64) || f[0] != 'M' || f[1] != 'Z')
        return info;
    size_t pe = u32(0x3C);
    if (!in(pe, 24) || memcmp(&f[pe], "PE\0\0", 4) != 0)
        return info;
    info.machine = u16(pe + 4);
    uint16_t sections = u16(pe + 6);
    uint16_t optSize = u16(pe + 20);
    info.characteristics = u16(pe + 22);
    size_t opt = pe + 24;
    if (!in(opt, optSize) || optSize < 0x60)
        return info;
    info.optionalMagic = u16(opt);
    if (info.optionalMagic != 0x10B)
        return info;
    info.subsystem = u16(opt + 68);
    size_t dirs = opt + 96;
    size_t sectionTable = opt + optSize;
    auto rvaToOffset = [&](uint32_t rva) -> size_t {
        for (uint16_t i = 0; i < sections; i++) {
            size_t s = sectionTable + i * 40u;
            if (!in(s, 40))
                break;
            uint32_t va = u32(s + 12), vsize = u32(s + 8), raw = u32(s + 20), rawSize = u32(s + 16);
            uint32_t extent = vsize > rawSize ? vsize : rawSize;
            if (rva >= va && rva < va + extent)
                return raw + (rva - va);
        }
        return SIZE_MAX;
    };
    auto cstr = [&](uint32_t rva) {
        size_t o = rvaToOffset(rva);
        std::string s;
        while (o != SIZE_MAX && o < f.size() && f[o])
            s += static_cast<char>(f[o++]);
        return s;
    };
    info.valid = true;
    uint32_t exportRva = u32(dirs), exportSize = u32(dirs + 4);
    if (exportRva && exportSize) {
        size_t e = rvaToOffset(exportRva);
        if (e != SIZE_MAX && in(e, 40)) {
            uint32_t functions = u32(e + 20), names = u32(e + 24);
            size_t nameTable = rvaToOffset(u32(e + 32));
            for (uint32_t i = 0; i < names && nameTable != SIZE_MAX && in(nameTable + i * 4, 4); i++)
                info.exports.push_back(cstr(u32(nameTable + i * 4)));
            info.exportsByOrdinalOnly = functions > names ? functions - names : 0;
        }
    }
    uint32_t importRva = u32(dirs + 8);
    if (importRva) {
        size_t d = rvaToOffset(importRva);
        for (; d != SIZE_MAX && in(d, 20) && u32(d + 12); d += 20)
            info.imports.push_back(cstr(u32(d + 12)));
    }
    return info;
}

/* ---- a 64-bit library and other broken ones ---- */

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

std::vector<uint8_t> MakePe32PlusDll(const char *dllName, const Lines &exports)
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

std::vector<BrokenLibrary> BrokenLibraries(const Lines &exports)
{
    const std::vector<uint8_t> whole = ReadFileBytes(ShippedPath("cdidle.dll"));
    EXPECT_GT(whole.size(), 4096u);
    auto cut = [&](size_t size) { return std::vector<uint8_t>(whole.begin(), whole.begin() + size); };
    return {
        { "garbage", GarbageBytes(4096, 0x4B4F5641u), ERROR_BAD_EXE_FORMAT },
        { "empty file", {}, ERROR_BAD_EXE_FORMAT },
        { "\"MZ\" only", cut(2), ERROR_BAD_EXE_FORMAT },
        { "the DOS header", cut(64), ERROR_BAD_EXE_FORMAT },
        { "the headers", cut(1024), ERROR_BAD_EXE_FORMAT },
        { "half", cut(whole.size() / 2), ERROR_BAD_EXE_FORMAT },
        { "64-bit", MakePe32PlusDll("x64.dll", exports), ERROR_BAD_EXE_FORMAT },
        { "DllMain fails", ReadFileBytes(TestBinPath("made_refuses_load.dll")), ERROR_DLL_INIT_FAILED },
    };
}

PluginInfo MakePluginInfo(uint8_t type, uint8_t major, uint8_t minor, const char *author,
                          const char *name, const char *description)
{
    PluginInfo info;
    memset(&info, 0, sizeof info);
    info.type = type;
    info.versionMajor = major;
    info.versionMinor = minor;
    strncpy(info.author, author, sizeof info.author - 1);
    strncpy(info.name, name, sizeof info.name - 1);
    strncpy(info.description, description, sizeof info.description - 1);
    return info;
}

std::string DiffPluginInfo(const PluginInfo &expected, const PluginInfo &actual)
{
    const uint8_t *e = reinterpret_cast<const uint8_t *>(&expected);
    const uint8_t *a = reinterpret_cast<const uint8_t *>(&actual);
    for (size_t i = 0; i < sizeof(PluginInfo); i++) {
        if (e[i] != a[i]) {
            char what[128];
            BufFormat(what, sizeof what, "byte %u: expected 0x%02x, got 0x%02x",
                      static_cast<unsigned>(i), e[i], a[i]);
            return what;
        }
    }
    return "";
}

std::string Bytes(const uint8_t *bytes, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; i++) {
        char hex[4];
        BufFormat(hex, sizeof hex, i ? " %02x" : "%02x", bytes[i]);
        text += hex;
    }
    return text;
}
