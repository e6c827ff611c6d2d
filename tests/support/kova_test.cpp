#include "kova_test.h"

#include <stdio.h>
#include <string.h>

#include "kova_str.h"

/* ---- where things are ---- */

std::string ShippedPath(const char *fileName)
{
    return std::string(KOVA_BIN_DIR) + fileName;
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

std::wstring Widen(const std::string &text)
{
    std::wstring wide(text.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return wide;
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

static BoxAnswerer *ActiveAnswerer;

BoxAnswerer::BoxAnswerer(const char *caption, int button) : caption_(caption), button_(button)
{
    ActiveAnswerer = this;
    timer_ = SetTimer(NULL, 0, 50, Tick);
}

BoxAnswerer::~BoxAnswerer()
{
    KillTimer(NULL, timer_);
    ActiveAnswerer = NULL;
}

void CALLBACK BoxAnswerer::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    BoxAnswerer *self = ActiveAnswerer;
    if (!self || self->seen)
        return;
    HWND box = FindWindowA("#32770", self->caption_.c_str());
    if (!box || GetWindowThreadProcessId(box, NULL) != GetCurrentThreadId())
        return;
    self->seen = true;
    self->owner = GetWindow(box, GW_OWNER);
    char text[2048];
    text[0] = '\0';
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    self->text = text;
    PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(self->button_), 0);
}

/* ---- processes and the X display ---- */

bool RunProgram(const std::string &commandLine, const char *dir, DWORD timeoutMs, DWORD *exitCode)
{
    return RunProgramW(Widen(commandLine), dir ? Widen(dir).c_str() : NULL, timeoutMs, exitCode);
}

bool RunProgramW(const std::wstring &commandLine, const wchar_t *dir, DWORD timeoutMs,
                 DWORD *exitCode, std::string *output)
{
    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
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
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out;
        si.hStdError = out;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION pi;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    bool started = CreateProcessW(NULL, line.data(), NULL, NULL, output != NULL, 0, NULL, dir, &si,
                                  &pi) != 0;
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    bool ended = false;
    if (started) {
        CloseHandle(pi.hThread);
        ended = WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
        if (!ended)
            TerminateProcess(pi.hProcess, 99);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        if (exitCode)
            *exitCode = code;
    }
    if (output) {
        HANDLE in = CreateFileW(outPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL);
        output->clear();
        if (in != INVALID_HANDLE_VALUE) {
            char buffer[4096];
            DWORD got;
            while (ReadFile(in, buffer, sizeof buffer, &got, NULL) && got)
                output->append(buffer, got);
            CloseHandle(in);
        }
        DeleteFileW(outPath);
    }
    return ended;
}

bool HaveXDisplay()
{
    char display[64];
    return GetEnvironmentVariableA("DISPLAY", display, sizeof display) > 0;
}

bool XDoTool(const std::string &arguments)
{
    /* Wine starts Unix programs from CreateProcess but its wait does not see
       them end, so the shell leaves a marker file when xdotool is done. */
    static unsigned counter;
    char marker[MAX_PATH];
    /* Wine process ids repeat across prefixes, so the marker also carries
       the X display and the time. */
    char display[32] = "";
    GetEnvironmentVariableA("DISPLAY", display, sizeof display);
    for (char &c : display)
        if (c == ':' || c == '.')
            c = '_';
    BufFormat(marker, sizeof marker, "/tmp/kova-xdo%s-%lu-%lu-%u", display, GetCurrentProcessId(),
              GetTickCount(), ++counter);
    std::string winMarker = std::string("Z:") + marker;
    for (char &c : winMarker)
        if (c == '/')
            c = '\\';
    DeleteFileA(winMarker.c_str());
    std::string command = "/bin/sh -c \"xdotool " + arguments + " >/dev/null 2>&1; touch " +
                          marker + "\"";
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    DWORD start = GetTickCount();
    while (!FileExists(winMarker)) {
        if (GetTickCount() - start > 10000)
            return false;
        PumpMessages(2);
    }
    DeleteFileA(winMarker.c_str());
    return true;
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
