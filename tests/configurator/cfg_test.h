/* Helpers for the configurator's tests: program directories laid out as a
 * user's, the serial ports of the registry, and a driver that works the
 * configurator's dialogs from a second thread (in this process) or from
 * this process (the real KOVACFG.EXE in another one). */
#ifndef CFG_TEST_H
#define CFG_TEST_H

#include <functional>
#include <string>
#include <vector>

#include "kova_test.h"
#include "resource.h"

extern const char kMainCaption[];
/* What the first Save writes with nothing changed and nothing found. */
extern const char kFirstSave[];

/* ---- program directories ---- */

/* A program directory in a scratch folder (its name has a blank in it):
   BIOS\, MEMCARDS\, PLUGIN\ exist; nothing else. */
struct ProgramDir {
    ScratchDir scratch;
    std::string path;  /* ends in '\' */
    explicit ProgramDir(const char *name);
    std::string operator/(const std::string &relative) const { return path + relative; }
    /* Copies a built library into PLUGIN\ under the given name. */
    void AddPlugin(const std::string &library, const std::string &asName);
    void AddFile(const std::string &relative, const std::string &text = "x");
    /* KOVACFG.EXE and the stand-in as KOVA.EXE (into a folder of it: "SUB\\"). */
    void AddPrograms(const std::string &folder = "");
    std::string Ini() const { return ReadFileText(path + "KOVA.INI"); }
};
/* argv[0..] as the stand-in's transcript in the program directory reports them. */
std::vector<std::string> ArgumentsSeen(const ProgramDir &dir);
/* A value of a profile file, "<absent>" when it has none. */
std::string IniValue(const std::string &ini, const char *section, const char *key);

/* Paths of the shipped idle plugins and the test plugins. */
inline std::string CdIdle() { return ShippedPath("cdidle.dll"); }
inline std::string PadIdle() { return ShippedPath("padidle.dll"); }
/* "type0" -> made_type0.dll (tests/plugins) */
inline std::string Fake(const char *identity)
{
    return TestBinPath((std::string("made_") + identity + ".dll").c_str());
}

/* The five families in their fixed order: list, buttons, install name. */
struct FamilyControls {
    int list, about, configure;
    const char *installName;
};
extern const FamilyControls kFamilies[PLUGIN_TYPE_COUNT];

/* Replaces the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM for the life of
   the object (the key is volatile: it is rebuilt at every Wine start). */
class SerialPorts {
public:
    explicit SerialPorts(const std::vector<std::string> &ports);
    ~SerialPorts();

private:
    std::vector<std::pair<std::string, std::string>> saved_;
};

/* ---- memory cards, built byte by byte as the card format lays them out
   (on their own, so that a fault of the product's code shows) ---- */

typedef std::vector<uint8_t> CardBytes;
/* A formatted card: "MC" header, 15 free directory frames, the broken
   sector list, the header's copy in frame 63. */
CardBytes BlankCard();
/* Sets byte 127 of frame to the XOR of bytes 0-126. */
void SealFrame(CardBytes &card, int frame);
/* Writes directory frame `block` (1-15) whole and seals it. */
void SetEntry(CardBytes &card, int block, uint8_t state, uint32_t size, uint16_t next,
              const std::string &name = "");
/* The bytes of block `index` of a save: the first with "SC", a one-frame
   icon, the title (Shift-JIS), a palette and an icon; all others a pattern
   of seed and index. */
std::vector<uint8_t> SaveBlockBytes(const std::string &title, int blockCount, int index, uint8_t seed);
/* Puts a save into the card's blocks in the order given: entries 0x51 (with
   the size and name), 0x52, 0x53 linked, the blocks' bytes. */
void PutSave(CardBytes &card, const std::vector<int> &blocks, const std::string &name,
             const std::string &title, uint8_t seed);
/* The .mcs file of such a save: a fresh directory frame, then its blocks. */
std::vector<uint8_t> SaveFileBytes(int blockCount, const std::string &name, const std::string &title,
                                   uint8_t seed);

/* Card and save files of other tools around such bytes: a DexDrive .gme
   (3,904-byte header, "123-456-STD"), a PSP .vmp (128-byte header,
   "\0PMV"), a PS3 .psv of a save (0x84-byte header, "\0VSP", kind 1 for
   a PlayStation save) and a raw save (the blocks alone). */
std::vector<uint8_t> GmeFile(const CardBytes &card);
std::vector<uint8_t> VmpFile(const CardBytes &card);
std::vector<uint8_t> PsvFile(int blockCount, const std::string &name, const std::string &title,
                             uint8_t seed, uint32_t kind = 1);
std::vector<uint8_t> RawSaveBytes(int blockCount, const std::string &title, uint8_t seed);

/* ---- looking at dialogs (works across threads and processes) ---- */

/* Waits for a dialog (class #32770) with the caption, of the process
   (0: any). Null after timeoutMs. */
HWND WaitForDialog(const char *caption, DWORD processId = 0, DWORD timeoutMs = 15000);
/* Waits for a dialog or message box with the caption owned by owner (one
   that may share its owner's caption). Null after timeoutMs. */
HWND WaitForOwned(const char *caption, HWND owner, DWORD timeoutMs = 15000);
/* Waits until the window is gone. */
bool WaitGone(HWND window, DWORD timeoutMs = 15000);
inline std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }
inline bool Checked(HWND dialog, int id)
{
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
inline bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }
inline int ComboSelection(HWND dialog, int id)
{
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}
std::string ComboSelectedText(HWND dialog, int id);
/* A message box's text. */
inline std::string BoxText(HWND box) { return ItemText(box, 0xFFFF); }
/* The quoted captions of the process's visible dialogs other than main:
   message boxes and whatever else would wait for the user. */
std::vector<std::string> OtherDialogs(DWORD processId, HWND main);
/* The rows of a list view of this process, columns joined by " | ", in UTF-8. */
Lines ListViewRows(HWND dialog, int id);
/* Selects a row of a list view of this process, as a click does. */
void SelectListViewRow(HWND dialog, int id, int row);
/* Index of an entry in a list, -1 when it is not there. */
int IndexOf(const std::vector<std::string> &items, const std::string &item, bool anyCase = false);
/* The main dialog's checked boxes and radio buttons by their captions, in
   the dialog's order, then the country: "Compiler, Emulate BIOS; America". */
std::string Switches(HWND main);
/* The status texts the process's splash shows, each once, in order, until
   the main dialog (*main) opens; the splash is gone by then. */
Lines WatchSplash(DWORD processId, HWND *main);

/* ---- acting on dialogs ---- */

/* Clicks a button and returns when the dialog has handled it. */
void Click(HWND dialog, int id);
/* Clicks a button that opens something modal: returns at once. */
void ClickLater(HWND dialog, int id);
void SelectCombo(HWND dialog, int id, int index);
void SetItemText(HWND dialog, int id, const std::string &text);
/* Ends the dialog by its button; true once it is gone. */
bool End(HWND dialog, int button);
/* Ends the message box or dialog with the caption by its button. */
bool Answer(const char *caption, int button, std::string *text = NULL, DWORD processId = 0);
/* The text of the message box with the caption, which must be owned by
   owner; it is answered with OK. */
std::string TakeBox(const char *caption, HWND owner, DWORD processId = 0);

/* ---- running the configurator ---- */

/* In this process: the configurator's state is set up for dir, the
   settings loaded and the plugins scanned (or, with splash, the splash does
   it); then the main dialog runs on this thread while body runs on a second
   one. Whatever the body leaves open is closed afterwards. */
void RunInProcess(const std::string &dir, const std::function<void(HWND main)> &body,
                  bool splash = false);

/* KOVACFG.EXE in its program directory, in a process of its own. */
class Configurator {
public:
    explicit Configurator(const std::string &dir);
    /* A directory that ANSI cannot name. */
    explicit Configurator(const std::wstring &dir);
    ~Configurator();
    bool started() const { return process_ != NULL; }
    DWORD processId() const { return processId_; }
    /* The main dialog, once it is open. */
    HWND Main(DWORD timeoutMs = 15000);
    /* Presses Exit and waits for the process to end; its exit code. */
    DWORD Exit();
    bool Ended(DWORD timeoutMs);
    /* Waits for the process to end by itself; its exit code, or ~0. */
    DWORD ExitCode(DWORD timeoutMs = 15000);
    /* Ends the process as a user ends one that hangs (Task Manager). */
    void Kill();

private:
    HANDLE process_;
    DWORD processId_;
    DWORD threadId_ = 0;
};

/* Closes every dialog of the thread (main dialog by Exit, others by
   Cancel and OK) until none is left. */
void CloseDialogsOfThread(DWORD threadId);

#endif
