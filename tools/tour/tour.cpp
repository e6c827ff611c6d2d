/* KOVATOUR.EXE: a scripted tour of the configurator for the README's main
 * job when there is no display to show it on. It starts KOVACFG.EXE in a
 * program directory, works its dialogs as a user would and takes a
 * screenshot of each (ImageMagick's import on the X display Wine draws on):
 * splash, main dialog, a plugin's about box, the disc image dialog of
 * cdimage, Save, the file chooser, Run and the emulator's window while it
 * draws, and the memory cards.
 *
 *   KOVATOUR.EXE <program directory> <Unix directory for the pictures>
 *
 * Exit code 0 when every step worked. Not shipped. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "kova_str.h"
#include "kova_window.h"
#include "resource.h"

static const char kMainCaption[] = "KOVA Configurator 1.0 Beta 1";

static char programDir[MAX_PATH];
static char pictureDir[MAX_PATH];
static DWORD configuratorProcess;
static int failures;

static void Step(const char *format, ...) __attribute__((format(printf, 1, 2)));
static void Step(const char *format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    BufFormatV(line, sizeof line, format, args);
    va_end(args);
    printf("tour: %s\n", line);
    fflush(stdout);
}

static void Fail(const char *what)
{
    failures++;
    printf("tour: FAILED: %s\n", what);
    fflush(stdout);
}

static HWND WaitForDialog(const char *caption, DWORD timeoutMs = 15000)
{
    DWORD start = GetTickCount();
    do {
        HWND found = FindVisibleDialog(configuratorProcess, caption);
        if (found)
            return found;
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

static void Click(HWND dialog, int id)
{
    DWORD_PTR result;
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &result);
}

static void ClickLater(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

/* Runs a shell command line on the Unix side and waits for it: Wine does
   not see Unix children end, so the shell leaves a marker file. */
static bool RunUnix(const char *command)
{
    static unsigned counter;
    char marker[MAX_PATH], winMarker[MAX_PATH], line[2048];
    BufFormat(marker, sizeof marker, "%s/.tour-%lu-%u", pictureDir, GetCurrentProcessId(), ++counter);
    BufFormat(winMarker, sizeof winMarker, "Z:%s", marker);
    for (char *p = winMarker; *p; p++)
        if (*p == '/')
            *p = '\\';
    if (!BufFormat(line, sizeof line, "/bin/sh -c \"%s; touch '%s'\"", command, marker))
        return false;
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    DWORD start = GetTickCount();
    while (GetFileAttributesA(winMarker) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 20000)
            return false;
        Sleep(20);
    }
    DeleteFileA(winMarker);
    return true;
}

/* A picture of the window as it is on the screen. */
static void Screenshot(HWND window, const char *name)
{
    Sleep(300); /* let it paint */
    RECT r;
    if (!GetWindowRect(window, &r)) {
        Fail(name);
        return;
    }
    char display[64] = "";
    GetEnvironmentVariableA("DISPLAY", display, sizeof display);
    char command[1024];
    BufFormat(command, sizeof command,
              "import -display '%s' -window root -crop %ldx%ld+%ld+%ld +repage '%s/%s'", display,
              r.right - r.left, r.bottom - r.top, r.left, r.top, pictureDir, name);
    if (RunUnix(command))
        Step("picture %s/%s", pictureDir, name);
    else
        Fail(name);
}

static HANDLE StartConfigurator()
{
    char exe[MAX_PATH];
    BufFormat(exe, sizeof exe, "%sKOVACFG.EXE", programDir);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(exe, NULL, NULL, NULL, FALSE, 0, NULL, programDir, &si, &pi))
        return NULL;
    CloseHandle(pi.hThread);
    configuratorProcess = pi.dwProcessId;
    return pi.hProcess;
}

/* The index of a list box entry, read with the W message: across
   processes the A message hands back only the first character. */
static int ListIndexOf(HWND dialog, int id, const char *wanted)
{
    HWND list = GetDlgItem(dialog, id);
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        WCHAR wide[MAX_PATH];
        char text[MAX_PATH];
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) >= MAX_PATH)
            continue;
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, NULL, NULL);
        if (_stricmp(text, wanted) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

/* Selects an entry of the chooser's directory list as a click does. */
static bool EnterDirectory(HWND chooser, const char *name)
{
    char entry[MAX_PATH];
    BufFormat(entry, sizeof entry, "[%s]", name);
    int index = ListIndexOf(chooser, IDC_CHOOSER_DIRS, entry);
    if (index < 0)
        return false;
    SendDlgItemMessageA(chooser, IDC_CHOOSER_DIRS, LB_SETCURSEL, index, 0);
    SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDC_CHOOSER_DIRS, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDC_CHOOSER_DIRS)));
    return true;
}

/* Button 1104: the chooser opens at the root of the program's drive; the
   tour walks down to DEMOS\ and picks the program there. */
static void TourChooser(HWND main)
{
    ClickLater(main, IDC_CHOOSE_FILE);
    HWND chooser = WaitForDialog("Load PSX file");
    if (!chooser) {
        Fail("the file chooser did not open");
        return;
    }
    char path[MAX_PATH];
    BufFormat(path, sizeof path, "%sDEMOS\\", programDir + 3);
    for (char *name = path, *end; (end = strchr(name, '\\')) != NULL; name = end + 1) {
        *end = '\0';
        if (!EnterDirectory(chooser, name)) {
            Fail("the chooser does not list the demo's folders");
            PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
            return;
        }
    }
    int hello = ListIndexOf(chooser, IDC_CHOOSER_FILES, "HELLO.EXE");
    if (hello < 0) {
        Fail("DEMOS\\HELLO.EXE is not listed");
        PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    SendDlgItemMessageA(chooser, IDC_CHOOSER_FILES, LB_SETCURSEL, hello, 0);
    Step("file chooser in DEMOS\\");
    Screenshot(chooser, "4-chooser.png");
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);
    Sleep(300);
    Step("the program is on the command line");
    Screenshot(main, "5-command-line.png");
}

static void TourPluginAbout(HWND main)
{
    ClickLater(main, IDC_CD_ABOUT);
    HWND about = WaitForDialog("About plugin");
    if (!about) {
        Fail("the plugin about box did not open");
        return;
    }
    Step("about box of the CD plugin");
    Screenshot(about, "3-plugin-about.png");
    PostMessageA(about, WM_COMMAND, IDOK, 0);
}

/* CDImage chosen in the CD-ROM list, its dialog opened: it shows the
   demo's disc, which KOVA.INI names; OK keeps it. Save then installs
   cdimage, and the run reads the disc through it. */
static void TourCdImage(HWND main)
{
    HWND list = GetDlgItem(main, IDC_CD_LIST);
    LRESULT index = SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(L"CDImage 1.0"));
    if (index == CB_ERR) {
        Fail("CDImage is not in the CD-ROM list");
        return;
    }
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_CD_LIST, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    ClickLater(main, IDC_CD_CONFIGURE);
    HWND dialog = WaitForDialog("CD Image");
    if (!dialog) {
        Fail("the CD Image dialog did not open");
        return;
    }
    Step("CDImage chosen; its dialog shows the demo's disc");
    Screenshot(dialog, "7-cd-image.png");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    Sleep(300);
}

/* "Cards...": the demo's two cards side by side, the first save chosen
   (Home in the list, as a user would press it). */
static void TourMemoryCards(HWND main)
{
    ClickLater(main, IDC_MEMORY_CARDS);
    HWND cards = WaitForDialog("Memory Cards");
    if (!cards) {
        Fail("the Memory Cards dialog did not open");
        return;
    }
    HWND list = GetDlgItem(cards, IDC_SAVES_LEFT);
    PostMessageA(list, WM_KEYDOWN, VK_HOME, 0);
    PostMessageA(list, WM_KEYUP, VK_HOME, 0);
    Step("memory cards: the demo's card1.mcd and card2.mcd");
    Screenshot(cards, "8-memory-cards.png");
    PostMessageA(cards, WM_COMMAND, IDCANCEL, 0);
    Sleep(300);
}

/* True once the stand-in's transcript has a line that starts so. */
static bool TranscriptHas(const char *start)
{
    char path[MAX_PATH];
    BufFormat(path, sizeof path, "%sSTANDIN.LOG", programDir);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    static char text[65536];
    DWORD n = 0;
    BOOL read = ReadFile(file, text, sizeof text - 1, &n, NULL);
    CloseHandle(file);
    if (!read)
        return false;
    text[n] = '\0';
    size_t length = strlen(start);
    for (const char *line = text; *line; line++) {
        if (strncmp(line, start, length) == 0)
            return true;
        line = strchr(line, '\n');
        if (!line)
            break;
    }
    return false;
}

/* Run: KOVA.EXE (the stand-in) shows what its GPU plugin draws while its
   frames run; the picture is taken then, and the tour waits for its end. */
static void TourEmulator(HWND main)
{
    ClickLater(main, IDC_RUN);
    HWND window = NULL;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        if (!window)
            window = FindWindowA("KovaStandIn", NULL);
        if (window && TranscriptHas("GPU frames:"))
            break;
        Sleep(20);
    }
    if (!window || !TranscriptHas("GPU frames:")) {
        Fail("the emulator's window did not show frames");
    } else {
        Step("the emulator draws its test screen");
        Screenshot(window, "6-emulator.png");
    }
    start = GetTickCount();
    while (window && IsWindow(window) && GetTickCount() - start < 30000)
        Sleep(50);
    if (window && IsWindow(window))
        Fail("KOVA.EXE did not end");
}

int main(int argc, char **argv)
{
    if (argc != 3 || !BufSet(programDir, argv[1]) || !BufSet(pictureDir, argv[2])) {
        fprintf(stderr, "usage: KOVATOUR.EXE <program directory> <Unix picture directory>\n");
        return 2;
    }
    size_t n = strlen(programDir);
    if (n && programDir[n - 1] != '\\')
        BufAppend(programDir, "\\");

    /* Frames long enough for the emulator's picture, unless asked for. */
    char live[32];
    if (!GetEnvironmentVariableA("KOVA_STANDIN_LIVE_MS", live, sizeof live))
        SetEnvironmentVariableA("KOVA_STANDIN_LIVE_MS", "3000");
    HANDLE process = StartConfigurator();
    if (!process) {
        Fail("KOVACFG.EXE did not start");
        return 1;
    }
    Step("KOVACFG.EXE started in %s", programDir);
    HWND splash = WaitForDialog("", 10000);
    if (splash)
        Screenshot(splash, "1-splash.png");
    else
        Fail("no splash");

    HWND main = WaitForDialog(kMainCaption);
    if (!main) {
        Fail("no main dialog");
        TerminateProcess(process, 1);
        return 1;
    }
    Step("main dialog");
    Screenshot(main, "2-main-dialog.png");

    TourPluginAbout(main);
    TourCdImage(main);
    Click(main, IDC_SAVE);
    Step("Save: KOVA.INI written, plugins installed");
    TourChooser(main);
    Step("Run: KOVA.EXE runs, the configurator waits");
    TourEmulator(main);
    Step("KOVA.EXE has ended");
    TourMemoryCards(main);

    PostMessageA(main, WM_COMMAND, IDC_EXIT, 0);
    if (WaitForSingleObject(process, 15000) != WAIT_OBJECT_0) {
        Fail("the configurator did not end");
        TerminateProcess(process, 1);
    }
    CloseHandle(process);
    Step(failures ? "done, %d step(s) failed" : "done", failures);
    return failures ? 1 : 0;
}
