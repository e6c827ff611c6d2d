/* Helpers shared by the test programs. */
#ifndef KOVA_TEST_H
#define KOVA_TEST_H

#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kova_module.h"
#include "kova_str.h"
#include "kova_plugin.h"
#include "kova_test_paths.h"

/* ---- where things are ---- */

/* A shipped binary (or the stand-in) in the build's bin directory. */
std::string ShippedPath(const char *fileName);
/* A test program or a test-only library beside the test programs. */
std::string TestBinPath(const char *fileName);
/* A file of the source tree. */
std::string SourcePath(const char *relative);

/* ---- files ---- */

std::vector<uint8_t> ReadFileBytes(const std::string &path);
std::string ReadFileText(const std::string &path);
bool WriteFileBytes(const std::string &path, const void *data, size_t size);
bool WriteFileText(const std::string &path, const std::string &text);
bool CopyFileTo(const std::string &from, const std::string &to);
bool FileExists(const std::string &path);
/* Splits a text into lines, dropping CR and the final empty line. */
std::vector<std::string> SplitLines(const std::string &text);

/* A fresh, empty directory under the test prefix's temporary folder,
   removed with everything in it when the object goes. Path ends in '\'. */
class ScratchDir {
public:
    explicit ScratchDir(const char *name);
    ~ScratchDir();
    const std::string &path() const { return path_; }
    std::string operator/(const char *relative) const { return path_ + relative; }
    /* Creates a sub-directory (and its parents); returns its path with '\'. */
    std::string MakeDir(const char *relative) const;

private:
    std::string path_;
};
bool RemoveTree(const std::string &path);
/* An ANSI text as UTF-16, for the wide calls that reach names ANSI cannot. */
std::wstring Widen(const std::string &text);

/* ---- libraries ---- */

/* A library loaded for one test and freed at the end of it. */
class Library {
public:
    explicit Library(const std::string &path);
    ~Library();
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
    HMODULE handle() const { return module_; }
    bool loaded() const { return module_ != NULL; }
    /* The export, or null with a test failure when it is missing. */
    template <typename Fn>
    Fn Get(const char *name) const
    {
        Fn fn = module_ ? GetProcAs<Fn>(module_, name) : NULL;
        EXPECT_TRUE(fn != NULL) << "missing export " << name << " in " << path_;
        return fn;
    }
    template <typename Fn>
    Fn Find(const char *name) const { return module_ ? GetProcAs<Fn>(module_, name) : NULL; }
    void Free();

private:
    std::string path_;
    HMODULE module_;
};

/* Replaces an imported function of a loaded module by patching its import
   address table, and puts it back at the end. Lets a test record what a
   plugin passes to, e.g., MessageBoxA without a real box. */
class ImportHook {
public:
    ImportHook(HMODULE module, const char *dllName, const char *functionName, void *replacement);
    ~ImportHook();
    bool installed() const { return slot_ != NULL; }
    void *original() const { return original_; }

private:
    void **slot_;
    void *original_;
};

/* Recorder of MessageBoxA calls made by one module. */
struct MessageBoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
class MessageBoxRecorder {
public:
    /* answer: what the recorded "box" returns (IDOK by default). */
    explicit MessageBoxRecorder(HMODULE module, int answer = IDOK);
    ~MessageBoxRecorder();
    bool installed() const { return hook_.installed(); }
    const std::vector<MessageBoxCall> &calls() const;

private:
    ImportHook hook_;
};

/* Answers the next dialog box (message box or dialog) with the given caption
   that appears while this thread runs a modal loop: records what it showed,
   then sends it the command of the button. One at a time. */
class BoxAnswerer {
public:
    BoxAnswerer(const char *caption, int button);
    ~BoxAnswerer();
    bool seen = false;
    HWND owner = NULL;
    std::string text;     /* the message box's text (static 0xFFFF) */

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::string caption_;
    int button_;
    UINT_PTR timer_;
};

/* ---- processes and the X display ---- */

/* Starts a program with the given command line (in dir, if not null), waits
   at most timeoutMs and returns true with its exit code, or false. */
bool RunProgram(const std::string &commandLine, const char *dir, DWORD timeoutMs, DWORD *exitCode);
/* The same with wide texts, for folders whose names ANSI cannot hold;
   output, when not null, receives what the program wrote to its standard
   output and error. */
bool RunProgramW(const std::wstring &commandLine, const wchar_t *dir, DWORD timeoutMs,
                 DWORD *exitCode, std::string *output = NULL);

/* Runs xdotool on the test session's X display with the given arguments and
   waits until it has finished. Only under X (the test command's Xvfb). */
bool XDoTool(const std::string &arguments);
bool HaveXDisplay();

/* A plain top-level window of the test process, shown and brought to the
   foreground, for tests that need a focused window of their own. */
class TestWindow {
public:
    explicit TestWindow(const char *title = "KOVA test window");
    ~TestWindow();
    HWND handle() const { return window_; }
    /* Raises the window and gives it the X keyboard focus. */
    bool Focus();

private:
    HWND window_;
};
/* Dispatches the thread's messages for ms milliseconds. */
void PumpMessages(DWORD ms);

/* ---- PE files ---- */

struct PeInfo {
    bool valid = false;          /* MZ and PE headers found */
    uint16_t machine = 0;        /* IMAGE_FILE_MACHINE_I386 = 0x14c */
    uint16_t optionalMagic = 0;  /* 0x10b for PE32 */
    uint16_t characteristics = 0;
    uint16_t subsystem = 0;
    std::vector<std::string> exports;  /* by name */
    uint32_t exportsByOrdinalOnly = 0;
    std::vector<std::string> imports;  /* DLL names */
};
PeInfo ReadPe(const std::string &path);

/* The PluginInfo a plugin's record should be, built from its fields with
   every byte after a terminator zero. */
PluginInfo MakePluginInfo(uint8_t type, uint8_t major, uint8_t minor, const char *author,
                          const char *name, const char *description);
/* Describes the first difference of two records, or "" when equal. */
std::string DiffPluginInfo(const PluginInfo &expected, const PluginInfo &actual);

/* Bytes as lower-case hex pairs separated by blanks: "12 5a ff". */
std::string Bytes(const uint8_t *bytes, size_t count);

#endif
