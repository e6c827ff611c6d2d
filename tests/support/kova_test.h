/* Helpers shared by the test programs. */
#ifndef KOVA_TEST_H
#define KOVA_TEST_H

#include <windows.h>

#include <stdint.h>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kova_module.h"
#include "kova_str.h"
#include "kova_window.h"
#include "kova_plugin.h"
#include "kova_test_paths.h"

/* ---- where things are ---- */

/* A shipped binary (or the stand-in) in the build's bin directory. */
std::string ShippedPath(const char *fileName);
/* Whether the build ships the file (any case). */
bool IsShipped(const char *fileName);
/* Whether the 32-bit processor is emulated: on a kernel without 32-bit
   programs the rig runs Wine through the user-mode emulator and says so in
   KOVA_EMULATED_CPU. The emulator raises no x87 exceptions, keeps no guard
   page below a stack, and a write through null reaches Wine as an illegal
   instruction. */
bool EmulatedCpu();
/* The exception code that a write through null is reported with here. */
const char *NullWriteCode();
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
/* The text in lower case (ASCII). */
std::string Lower(std::string s);
/* Splits a text into lines, dropping CR and the final empty line. */
std::vector<std::string> SplitLines(const std::string &text);
typedef std::vector<std::string> Lines;
bool Contains(const Lines &lines, const std::string &line);
/* The bare names a folder search for pattern ("C:\dir\*.dll") delivers, in
   its order: the order in which the product meets them. Files only, or with
   folders too (never "." and ".."). */
Lines SearchOrder(const std::string &pattern, bool folders = false);

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
std::string Narrow(const std::wstring &wide);
/* A UTF-8 text as UTF-16 and back: names written as they are, whatever the
   ANSI code page holds. */
std::wstring Utf16(const std::string &utf8);
std::string Utf8(const std::wstring &wide);

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

/* Records the LoadLibraryA calls of one module and lets them through: the
   paths in order, and the error mode in force at each. The names refused
   (any letter case) fail as on a machine without them. */
class LoadRecorder {
public:
    explicit LoadRecorder(HMODULE module, const Lines &refused = Lines());
    ~LoadRecorder();
    const Lines &paths() const;
    const std::vector<UINT> &errorModes() const;

private:
    ImportHook hook_;
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

/* ---- dialogs of this thread, driven from inside their modal loop ---- */

/* Runs steps against the dialog with the caption, one per timer tick while
   this thread runs a modal loop, each until it reports that it is done.
   Steps only post, so none runs a modal loop of its own. After 15 s what
   is still open is cancelled and the run counts as failed. One at a time. */
class DialogDriver {
public:
    typedef std::function<bool(HWND dialog)> Step;
    DialogDriver(const char *caption, std::vector<Step> steps);
    ~DialogDriver();
    bool finished() const { return next_ == steps_.size() && !aborted_; }
    size_t stepsDone() const { return next_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::string caption_;
    std::vector<DialogDriver::Step> steps_;
    size_t next_ = 0;
    bool aborted_ = false;
    DWORD start_;
    UINT_PTR timer_;
};
bool OwnThread(HWND window);
DialogDriver::Step Check(std::function<void(HWND dialog)> check);
DialogDriver::Step Press(int id);                  /* the button's click */
DialogDriver::Step Key(UINT vk, int id = 0);       /* down and up, to control id or the focus */
DialogDriver::Step Choose(int list, int position); /* selection, then the list's notification */
DialogDriver::Step Wait(DWORD ms);
DialogDriver::Step Shows(int id, const std::string &text); /* until the control shows the text */
DialogDriver::Step Gone(const char *caption);      /* until no such window is left */
/* A message box or dialog with this caption: what it showed, then its button. */
struct SeenBox {
    bool seen = false;
    HWND owner = NULL;
    std::string text;     /* the message box's text (static 0xFFFF) */
};
DialogDriver::Step AnswerBox(const char *caption, SeenBox *box, int button = IDOK);
/* Runs a call that shows the box with the caption and answers it. */
SeenBox AnswerDuring(const char *caption, int button, const std::function<void()> &call);
/* A window's text, a combo box's or list box's entries: of any thread or
   process (across processes only the W messages carry the whole text). */
std::string WindowText(HWND window);
Lines ComboItems(HWND dialog, int id);
Lines ListItems(HWND dialog, int id);
/* The family of the font file a window's font (WM_GETFONT) is drawn from,
   not the face it asks for: what the prefix maps "MS Sans Serif" to. */
std::string DrawnFace(HWND window);
/* Whether every character of the text, in the window's font, is drawn as a
   glyph of that font or of one linked behind it, and none as the box of a
   character no font has. */
bool DrawnAsGlyphs(HWND window, const std::wstring &text);

/* A dialog template as a module stores it (DLGTEMPLATE, what a DIALOG
   statement compiles to). Class names are in capitals ("BUTTON"). */
struct TemplateItem {
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::string cls, text;
    int textResource;  /* a text given as a resource number, or -1 */
};
struct DialogTemplate {
    bool found = false;  /* and not an extended template */
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption, font;
    int pointSize = 0;
    std::vector<TemplateItem> items;
};
/* language 0: whichever the module has. */
DialogTemplate ReadDialogTemplate(HMODULE module, int id, LANGID language = 0);
/* A control as a test expects it: its style bits under styleMask equal style. */
struct ControlRow {
    int id;
    const char *cls, *text;
    short x, y, cx, cy;
    DWORD styleMask, style;
};
/* Every control of the template, in order, and no other. */
void ExpectControls(const DialogTemplate &t, const std::vector<ControlRow> &rows);

/* ---- processes and the X display ---- */

/* Starts a program with the given command line (in dir, if not null); true
   when it started. The caller closes *process. (A Unix program started
   through Wine comes with no process handle.) With output, its standard
   output and error go there. */
bool StartProgram(const std::wstring &commandLine, const wchar_t *dir, HANDLE *process,
                  DWORD *processId = NULL, DWORD *threadId = NULL,
                  HANDLE output = INVALID_HANDLE_VALUE);
/* Starts a program with the given command line (in dir, if not null), waits
   at most timeoutMs and returns true with its exit code, or false. */
bool RunProgram(const std::string &commandLine, const char *dir, DWORD timeoutMs, DWORD *exitCode);
/* The same with wide texts, for folders whose names ANSI cannot hold;
   output, when not null, receives what the program wrote to its standard
   output and error. */
bool RunProgramW(const std::wstring &commandLine, const wchar_t *dir, DWORD timeoutMs,
                 DWORD *exitCode, std::string *output = NULL);

/* Runs a command of the Unix side through /bin/sh and returns its exit
   status, -1 when it did not end in time. */
int RunUnix(const std::string &command, DWORD timeoutMs = 60000);
/* The Unix path of a Windows path (Wine's own conversion). */
std::string UnixPath(const std::string &windowsPath);
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
/* A DLL that is part of Windows itself: what a shipped binary may import. */
bool IsSystemDll(const std::string &name);
/* A well-formed 64-bit (PE32+, AMD64) DLL exporting the given names, each a
   function that returns 0: what a 64-bit build of a plugin looks like to a
   32-bit loader. */
std::vector<uint8_t> MakePe32PlusDll(const char *dllName, const Lines &exports);
/* Bytes from a fixed seed, so every run tests the same garbage. */
std::vector<uint8_t> GarbageBytes(size_t size, uint32_t seed);
/* The libraries a host must pass over: garbage, empty, cut after 2, 64 and
   1024 bytes and in half (of cdidle.dll), 64-bit, DllMain failing. */
struct BrokenLibrary {
    const char *what;
    std::vector<uint8_t> bytes;
    DWORD error;  /* what LoadLibrary reports */
};
std::vector<BrokenLibrary> BrokenLibraries(const Lines &exports);

/* The PluginInfo a plugin's record should be, built from its fields with
   every byte after a terminator zero. */
PluginInfo MakePluginInfo(uint8_t type, uint8_t major, uint8_t minor, const char *author,
                          const char *name, const char *description);
/* Describes the first difference of two records, or "" when equal. */
std::string DiffPluginInfo(const PluginInfo &expected, const PluginInfo &actual);

/* ---- plugins' entry points and the host's record ---- */

/* The type of every entry point of the contract, by its name. */
typedef PluginOpenFn GPU_Open_t, CD_Open_t, JOY0_Open_t, JOY1_Open_t;
typedef PluginCloseFn GPU_Close_t, CD_Close_t, JOY0_Close_t, JOY1_Close_t;
typedef PluginConfigureFn GPU_Configure_t, SPU_Configure_t, CD_Configure_t, JOY0_Configure_t,
    JOY1_Configure_t;
typedef PluginAboutFn GPU_About_t, SPU_About_t, CD_About_t, JOY0_About_t, JOY1_About_t;
typedef GpuUpdateFn GPU_Update_t;
typedef GpuReadFn GP0_Read_t, GP1_Read_t;
typedef GpuWriteFn GP0_Write_t, GP1_Write_t;
typedef GpuDmaExecFn GPU_DmaExec_t;
typedef GpuScreenShotFn GPU_ScreenShot_t;
typedef PadVibrateFn JOY0_Vibrate_t, JOY1_Vibrate_t;
typedef PadPollFn JOY0_Poll_t, JOY1_Poll_t;
typedef PadInitHeaderFn JOY0_InitHeader_t, JOY1_InitHeader_t;
typedef CdReadFn CD_Read_t;
typedef CdPlayFn CD_Play_t;
typedef CdStopFn CD_Stop_t;
typedef CdGetTNFn CD_GetTN_t;
typedef CdGetTDFn CD_GetTD_t;
typedef CdWaitFn CD_Wait_t;
typedef CdGetSeekFn CD_GetSeek_t;

/* A plugin library loaded for one test, with every entry point of its
   family's list as a member of the same name (a missing one fails the
   test). */
#define KOVA_EXPORT_MEMBER(name) name##_t name = lib.Get<name##_t>(#name);
#define KOVA_EXPORTS_STRUCT(Struct, LIST)                                  \
    struct Struct {                                                        \
        Library lib;                                                       \
        explicit Struct(const std::string &path) : lib(path) {}            \
        LIST(KOVA_EXPORT_MEMBER)                                           \
    }
KOVA_EXPORTS_STRUCT(GpuExports, KOVA_GPU_EXPORTS);
KOVA_EXPORTS_STRUCT(CdExports, KOVA_CD_EXPORTS);
KOVA_EXPORTS_STRUCT(Joy0Exports, KOVA_JOY0_EXPORTS);
KOVA_EXPORTS_STRUCT(Joy1Exports, KOVA_JOY1_EXPORTS);
/* The names of a list, as texts. */
#define KOVA_EXPORT_NAME(name) #name,
#define KOVA_EXPORT_NAMES(LIST) Lines({ LIST(KOVA_EXPORT_NAME) })

/* One recorded call of a HostServices callback. */
struct HostCall {
    std::string what;  /* "read" (c: what was answered), "write", "notify" */
    std::string a, b, c;
    bool operator==(const HostCall &o) const
    {
        return what == o.what && a == o.a && b == o.b && c == o.c;
    }
};
std::ostream &operator<<(std::ostream &os, const HostCall &call);
typedef std::vector<HostCall> HostCalls;

/* A HostServices record over a settings map; every callback is recorded.
   One at a time (the callbacks have no context argument). */
class RecordingHost {
public:
    RecordingHost();
    ~RecordingHost();
    HostServices record;
    std::map<std::string, std::string> settings;  /* "SECTION/Key" -> value */
    HostCalls calls;
    void Answer(const char *section, const char *key, const std::string &value)
    {
        settings[std::string(section) + "/" + key] = value;
    }
    void Clear()
    {
        settings.clear();
        calls.clear();
    }
    /* The calls of one kind. */
    HostCalls Calls(const char *what) const;

private:
    static int32_t KOVA_CALL Read(const char *section, const char *key, char *out);
    static int32_t KOVA_CALL Write(const char *section, const char *key, const char *value);
    static void KOVA_CALL Notify(uint32_t start, uint32_t end);
};
/* The bytes of a record, to see that a call changed none of them. */
std::vector<uint8_t> RecordBytes(const HostServices &record);
std::string Hex8(uint32_t value);

/* 2 MB of main RAM with a page on each side that may not be touched: a
   plugin that writes or reads past either end faults at once. */
class FencedRam {
public:
    FencedRam();
    ~FencedRam();
    FencedRam(const FencedRam &) = delete;
    FencedRam &operator=(const FencedRam &) = delete;
    uint8_t *data() const { return ram_; }
    bool valid() const { return ram_ != NULL; }

private:
    uint8_t *block_;
    uint8_t *ram_;
};

/* A program directory with the KOVA.EXE stand-in (and a KOVA.INI when
   given), in which libraries are installed under the fixed names. */
struct StandInDir {
    ScratchDir dir;
    explicit StandInDir(const char *name, const char *ini = NULL);
    void Install(const std::string &library, const char *installName) const;
    void InstallBytes(const std::vector<uint8_t> &bytes, const char *installName) const;
    /* Runs KOVA.EXE; its exit code, or 0xFFFFFFFF when it did not end. */
    DWORD Run(const char *arguments = "") const;
    Lines Transcript() const;
};

/* Bytes as lower-case hex pairs separated by blanks: "12 5a ff". */
std::string Bytes(const uint8_t *bytes, size_t count);

#endif
