#include "cfg_test.h"

#include <commctrl.h>

#include <string.h>
#include <algorithm>
#include <thread>

#include "catalogue.h"
#include "configurator.h"
#include "dialogs.h"
#include "settings.h"
#include "startup.h"

const char kMainCaption[] = "KOVA Configurator 1.0 Beta 1";
const char kFirstSave[] = "[KOVA]\r\nEmulateBios=on\r\nDebugger=off\r\nVerbose=off\r\nDisasm=off\r\n"
                          "CDUseCache=off\r\nUseSerial=off\r\nCpuMode=Compiler\r\nCDCountry=0\r\n"
                          "MemCard1=\r\nMemCard2=\r\n";

/* ---- program directories ---- */

ProgramDir::ProgramDir(const char *name) : scratch((std::string("cfg dir ") + name).c_str())
{
    path = scratch.path();
    scratch.MakeDir("BIOS");
    scratch.MakeDir("MEMCARDS");
    scratch.MakeDir("PLUGIN");
}

void ProgramDir::AddPlugin(const std::string &library, const std::string &asName)
{
    EXPECT_TRUE(CopyFileTo(library, path + "PLUGIN\\" + asName)) << library << " as " << asName;
}

void ProgramDir::AddFile(const std::string &relative, const std::string &text)
{
    size_t slash = relative.rfind('\\');
    if (slash != std::string::npos)
        scratch.MakeDir(relative.substr(0, slash).c_str());
    EXPECT_TRUE(WriteFileText(path + relative, text)) << relative;
}

void ProgramDir::AddPrograms(const std::string &folder)
{
    EXPECT_TRUE(CopyFileTo(ShippedPath("KOVACFG.exe"), path + folder + "KOVACFG.EXE"));
    EXPECT_TRUE(CopyFileTo(ShippedPath("KOVA.exe"), path + folder + "KOVA.EXE"));
}

std::string IniValue(const std::string &ini, const char *section, const char *key)
{
    std::vector<char> value(16384);
    GetPrivateProfileStringA(section, key, "<absent>", value.data(), static_cast<DWORD>(value.size()),
                             ini.c_str());
    return value.data();
}

const FamilyControls kFamilies[PLUGIN_TYPE_COUNT] = {
    { IDC_GPU_LIST, IDC_GPU_ABOUT, IDC_GPU_CONFIGURE, KOVA_INSTALL_NAME_GPU },
    { IDC_SPU_LIST, IDC_SPU_ABOUT, IDC_SPU_CONFIGURE, KOVA_INSTALL_NAME_SPU },
    { IDC_JOY0_LIST, IDC_JOY0_ABOUT, IDC_JOY0_CONFIGURE, KOVA_INSTALL_NAME_JOY0 },
    { IDC_JOY1_LIST, IDC_JOY1_ABOUT, IDC_JOY1_CONFIGURE, KOVA_INSTALL_NAME_JOY1 },
    { IDC_CD_LIST, IDC_CD_ABOUT, IDC_CD_CONFIGURE, KOVA_INSTALL_NAME_CD },
};

typedef std::vector<std::pair<std::string, std::string>> RegValues;

/* Replaces every value of the serial port key by values; the old ones go
   into *saved, when given. */
static void ReplaceSerialValues(const RegValues &values, RegValues *saved)
{
    HKEY key = NULL;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, NULL,
                        REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot open the serial port key";
        return;
    }
    for (;;) {
        char name[1024], data[1024];
        DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
        if (RegEnumValueA(key, 0, name, &nameSize, NULL, &type, reinterpret_cast<BYTE *>(data),
                          &dataSize) != ERROR_SUCCESS)
            break;
        data[dataSize] = '\0';
        if (saved)
            saved->push_back({ name, data });
        if (RegDeleteValueA(key, name) != ERROR_SUCCESS)
            break;
    }
    for (const auto &value : values) {
        const BYTE *data = reinterpret_cast<const BYTE *>(value.second.c_str());
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, value.first.c_str(), 0, REG_SZ, data,
                                                static_cast<DWORD>(value.second.size() + 1)));
    }
    RegCloseKey(key);
}

SerialPorts::SerialPorts(const std::vector<std::string> &ports)
{
    RegValues values;
    for (const std::string &port : ports)
        values.push_back({ "\\Device\\KovaSerial" + std::to_string(values.size()), port });
    ReplaceSerialValues(values, &saved_);
}

SerialPorts::~SerialPorts()
{
    ReplaceSerialValues(saved_, NULL);
}

/* ---- memory cards ---- */

void SealFrame(CardBytes &card, int frame)
{
    uint8_t *f = &card[frame * 128];
    uint8_t sum = 0;
    for (int i = 0; i < 127; i++)
        sum ^= f[i];
    f[127] = sum;
}

void SetEntry(CardBytes &card, int block, uint8_t state, uint32_t size, uint16_t next,
              const std::string &name)
{
    uint8_t *f = &card[block * 128];
    memset(f, 0, 128);
    f[0] = state;
    for (int i = 0; i < 4; i++)
        f[4 + i] = static_cast<uint8_t>(size >> (8 * i));
    f[8] = static_cast<uint8_t>(next);
    f[9] = static_cast<uint8_t>(next >> 8);
    memcpy(f + 10, name.data(), std::min<size_t>(name.size(), 20));
    SealFrame(card, block);
}

CardBytes BlankCard()
{
    CardBytes card(131072, 0);
    card[0] = 'M';
    card[1] = 'C';
    SealFrame(card, 0);
    for (int block = 1; block <= 15; block++)
        SetEntry(card, block, 0xA0, 0, 0xFFFF);
    for (int frame = 16; frame <= 35; frame++) {
        memset(&card[frame * 128], 0xFF, 4);
        card[frame * 128 + 8] = card[frame * 128 + 9] = 0xFF;
        SealFrame(card, frame);
    }
    memcpy(&card[63 * 128], &card[0], 128);
    return card;
}

std::vector<uint8_t> SaveBlockBytes(const std::string &title, int blockCount, int index, uint8_t seed)
{
    std::vector<uint8_t> block(8192);
    for (size_t i = 0; i < block.size(); i++)
        block[i] = static_cast<uint8_t>(seed + index * 31 + i * 7 + (i >> 8));
    if (index == 0) {
        memset(block.data(), 0, 128);
        block[0] = 'S';
        block[1] = 'C';
        block[2] = 0x11;
        block[3] = static_cast<uint8_t>(blockCount);
        memcpy(&block[4], title.data(), std::min<size_t>(title.size(), 64));
        /* Colour 0 transparent, then red, green, blue, white, and a ramp. */
        static const uint16_t kPalette[16] = { 0x0000, 0x001F, 0x03E0, 0x7C00, 0x7FFF, 0x8000,
                                               0x0421, 0x0842, 0x0C63, 0x1084, 0x14A5, 0x18C6,
                                               0x1CE7, 0x2108, 0x2529, 0x294A };
        for (int c = 0; c < 16; c++) {
            block[96 + 2 * c] = static_cast<uint8_t>(kPalette[c]);
            block[97 + 2 * c] = static_cast<uint8_t>(kPalette[c] >> 8);
        }
        /* Icon: each row one colour pair, from the seed. */
        for (int i = 0; i < 128; i++)
            block[128 + i] = static_cast<uint8_t>(((i / 8 + seed) & 15) | (((i / 8 + seed + 1) & 15) << 4));
    }
    return block;
}

void PutSave(CardBytes &card, const std::vector<int> &blocks, const std::string &name,
             const std::string &title, uint8_t seed)
{
    int n = static_cast<int>(blocks.size());
    for (int i = 0; i < n; i++) {
        uint8_t state = i == 0 ? 0x51 : i == n - 1 ? 0x53 : 0x52;
        uint16_t next = i == n - 1 ? 0xFFFF : static_cast<uint16_t>(blocks[i + 1] - 1);
        SetEntry(card, blocks[i], state, i == 0 ? n * 8192u : 0, next, i == 0 ? name : "");
        std::vector<uint8_t> bytes = SaveBlockBytes(title, n, i, seed);
        memcpy(&card[blocks[i] * 8192], bytes.data(), bytes.size());
    }
}

std::vector<uint8_t> SaveFileBytes(int blockCount, const std::string &name, const std::string &title,
                                   uint8_t seed)
{
    CardBytes frame(128 * 2, 0);
    SetEntry(frame, 1, 0x51, blockCount * 8192u, 0xFFFF, name);
    std::vector<uint8_t> mcs(frame.begin() + 128, frame.end());
    for (int i = 0; i < blockCount; i++) {
        std::vector<uint8_t> bytes = SaveBlockBytes(title, blockCount, i, seed);
        mcs.insert(mcs.end(), bytes.begin(), bytes.end());
    }
    return mcs;
}

std::vector<uint8_t> GmeFile(const CardBytes &card)
{
    std::vector<uint8_t> file(3904 + card.size(), 0);
    memcpy(file.data(), "123-456-STD", 11);
    file[0x40] = 'K'; /* the reader's notes: anything */
    std::copy(card.begin(), card.end(), file.begin() + 3904);
    return file;
}

std::vector<uint8_t> VmpFile(const CardBytes &card)
{
    std::vector<uint8_t> file(128 + card.size(), 0);
    memcpy(file.data(), "\0PMV", 4);
    file[4] = 0x80; /* the header's length, then the PSP's salt and signature */
    for (int i = 12; i < 52; i++)
        file[i] = static_cast<uint8_t>(i * 7);
    std::copy(card.begin(), card.end(), file.begin() + 128);
    return file;
}

static void Put32(std::vector<uint8_t> &bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> PsvFile(int blockCount, const std::string &name, const std::string &title,
                             uint8_t seed, uint32_t kind)
{
    std::vector<uint8_t> file(0x84, 0);
    memcpy(file.data(), "\0VSP", 4);
    for (int i = 8; i < 0x30; i++)
        file[i] = static_cast<uint8_t>(i * 13); /* key seed and signature */
    Put32(file, 0x38, 0x14);
    Put32(file, 0x3C, kind);
    Put32(file, 0x40, blockCount * 8192u);
    Put32(file, 0x44, 0x84);
    Put32(file, 0x48, 0x200);
    memcpy(&file[0x64], name.data(), std::min<size_t>(name.size(), 20));
    for (int i = 0; i < blockCount; i++) {
        std::vector<uint8_t> bytes = SaveBlockBytes(title, blockCount, i, seed);
        file.insert(file.end(), bytes.begin(), bytes.end());
    }
    return file;
}

std::vector<uint8_t> RawSaveBytes(int blockCount, const std::string &title, uint8_t seed)
{
    std::vector<uint8_t> file;
    for (int i = 0; i < blockCount; i++) {
        std::vector<uint8_t> bytes = SaveBlockBytes(title, blockCount, i, seed);
        file.insert(file.end(), bytes.begin(), bytes.end());
    }
    return file;
}

/* ---- looking at dialogs ---- */

/* The dialogs (class #32770) of a process (0: of any), or of a thread. */
struct DialogSearch {
    DWORD processId, threadId;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectDialog(HWND window, LPARAM param)
{
    DialogSearch *search = reinterpret_cast<DialogSearch *>(param);
    char className[32];
    DWORD pid = 0, tid = GetWindowThreadProcessId(window, &pid);
    if ((!search->processId || pid == search->processId) &&
        (!search->threadId || tid == search->threadId) &&
        GetClassNameA(window, className, sizeof className) && strcmp(className, "#32770") == 0)
        search->found.push_back(window);
    return TRUE;
}

static std::vector<HWND> Dialogs(DWORD processId, DWORD threadId = 0)
{
    DialogSearch search = { processId, threadId, {} };
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialog(const char *caption, DWORD processId, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount();; Sleep(10)) {
        for (HWND dialog : Dialogs(processId))
            if (WindowText(dialog) == caption && IsWindowVisible(dialog))
                return dialog;
        if (GetTickCount() - start > timeoutMs)
            return NULL;
    }
}

HWND WaitForOwned(const char *caption, HWND owner, DWORD timeoutMs)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(owner, &processId);
    for (DWORD start = GetTickCount();; Sleep(10)) {
        for (HWND dialog : Dialogs(processId))
            if (GetWindow(dialog, GW_OWNER) == owner && WindowText(dialog) == caption &&
                IsWindowVisible(dialog))
                return dialog;
        if (GetTickCount() - start > timeoutMs)
            return NULL;
    }
}

bool WaitGone(HWND window, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); IsWindow(window); Sleep(10))
        if (GetTickCount() - start > timeoutMs)
            return false;
    return true;
}

std::string ComboSelectedText(HWND dialog, int id)
{
    int sel = ComboSelection(dialog, id);
    std::vector<std::string> items = ComboItems(dialog, id);
    return sel >= 0 && sel < static_cast<int>(items.size()) ? items[sel] : "";
}

std::vector<std::string> OtherDialogs(DWORD processId, HWND main)
{
    std::vector<std::string> captions;
    for (HWND dialog : Dialogs(processId))
        if (dialog != main && IsWindowVisible(dialog))
            captions.push_back("\"" + WindowText(dialog) + "\"");
    return captions;
}

Lines ListViewRows(HWND dialog, int id)
{
    HWND list = GetDlgItem(dialog, id);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    Lines lines;
    for (int row = 0; row < rows; row++) {
        std::string line;
        for (int column = 0; column < columns; column++) {
            wchar_t text[256] = L"";
            LVITEMW item;
            memset(&item, 0, sizeof item);
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 256;
            SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            char utf8[1024] = "";
            WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
            line += (column ? " | " : "") + std::string(utf8);
        }
        lines.push_back(line);
    }
    return lines;
}

void SelectListViewRow(HWND dialog, int id, int row)
{
    LVITEMW item;
    memset(&item, 0, sizeof item);
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(GetDlgItem(dialog, id), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

int IndexOf(const std::vector<std::string> &items, const std::string &item, bool anyCase)
{
    for (size_t i = 0; i < items.size(); i++)
        if (anyCase ? _stricmp(items[i].c_str(), item.c_str()) == 0 : items[i] == item)
            return static_cast<int>(i);
    return -1;
}

std::string Switches(HWND main)
{
    std::string text;
    for (int id : { IDC_COMPILER, IDC_INTERPRETER, IDC_EMULATE_BIOS, IDC_VERBOSE, IDC_DISASM,
                    IDC_DEBUGGER, IDC_USE_SERIAL, IDC_SECTOR_CACHE })
        if (Checked(main, id))
            text += (text.empty() ? "" : ", ") + ItemText(main, id);
    return text + "; " + ComboSelectedText(main, IDC_COUNTRY);
}

Lines WatchSplash(DWORD processId, HWND *main)
{
    /* The splash has no caption. */
    HWND splash = WaitForDialog("", processId, 10000);
    EXPECT_TRUE(splash != NULL) << "no splash";
    Lines seen;
    *main = NULL;
    /* Only the status is asked while the splash is there: a status lasts
       one tick, and a slow machine (an emulated processor) must not spend
       the tick looking for the main dialog. */
    for (DWORD start = GetTickCount(); !*main && GetTickCount() - start < 30000; Sleep(1)) {
        if (IsWindow(splash)) {
            std::string text = ItemText(splash, IDC_SPLASH_STATUS);
            /* A window going away answers nothing. */
            if (!text.empty() && text != "<no answer>" && (seen.empty() || seen.back() != text))
                seen.push_back(text);
        } else {
            *main = WaitForDialog(kMainCaption, processId, 0);
        }
    }
    EXPECT_TRUE(*main != NULL) << "no main dialog after the splash";
    EXPECT_FALSE(IsWindow(splash)) << "the splash is still there";
    return seen;
}

/* ---- acting on dialogs ---- */

void Click(HWND dialog, int id)
{
    DWORD_PTR result;
    EXPECT_TRUE(SendMessageTimeoutW(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, 20000,
                                    &result))
        << "button " << id << " did not return";
}

void ClickLater(HWND dialog, int id)
{
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void SelectCombo(HWND dialog, int id, int index)
{
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, index, 0);
}

void SetItemText(HWND dialog, int id, const std::string &text)
{
    std::wstring wide(text.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n - 1 : 0);
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

bool End(HWND dialog, int button)
{
    PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
    return WaitGone(dialog);
}

bool Answer(const char *caption, int button, std::string *text, DWORD processId)
{
    HWND box = WaitForDialog(caption, processId ? processId : GetCurrentProcessId());
    if (!box)
        return false;
    if (text)
        *text = BoxText(box);
    return End(box, button);
}

std::string TakeBox(const char *caption, HWND owner, DWORD processId)
{
    HWND box = WaitForDialog(caption, processId ? processId : GetCurrentProcessId());
    EXPECT_TRUE(box != NULL) << "no \"" << caption << "\" message";
    if (!box)
        return "";
    EXPECT_EQ(owner, GetWindow(box, GW_OWNER));
    std::string text = BoxText(box);
    EXPECT_TRUE(End(box, IDOK));
    return text;
}

/* ---- running the configurator ---- */

void CloseDialogsOfThread(DWORD threadId)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(100)) {
        std::vector<HWND> dialogs = Dialogs(0, threadId);
        if (dialogs.empty())
            return;
        for (HWND dialog : dialogs) {
            WPARAM button = WindowText(dialog) == kMainCaption ? IDC_EXIT : IDCANCEL;
            PostMessageW(dialog, WM_COMMAND, button, 0);
        }
    }
}

void RunInProcess(const std::string &dir, const std::function<void(HWND main)> &body, bool splash)
{
    ASSERT_TRUE(StartUp(GetModuleHandleA(NULL), NULL));
    ASSERT_TRUE(UseProgramDirectory(dir.c_str()));
    DWORD mainThread = GetCurrentThreadId();
    std::thread driver([&] {
        HWND main = NULL;
        if (!splash) {
            main = WaitForDialog(kMainCaption, GetCurrentProcessId());
            EXPECT_TRUE(main != NULL) << "no main dialog";
        }
        if (splash || main)
            body(main);
        CloseDialogsOfThread(mainThread);
    });
    if (splash) {
        RunSplash();
    } else {
        LoadSettings();
        ScanPlugins();
    }
    RunMainDialog();
    driver.join();
    Host.mainWindow = NULL;
}

Configurator::Configurator(const std::string &dir) : Configurator(Widen(dir)) {}

Configurator::Configurator(const std::wstring &dir) : process_(NULL), processId_(0)
{
    std::wstring exe = dir + L"KOVACFG.EXE";
    if (!StartProgram(L"\"" + exe + L"\"", dir.c_str(), &process_, &processId_, &threadId_))
        ADD_FAILURE() << "cannot start " << Narrow(exe) << ": error " << GetLastError();
}

Configurator::~Configurator()
{
    if (!process_)
        return;
    if (!Ended(0)) {
        CloseDialogsOfThread(threadId_);
        if (!Ended(10000)) {
            ADD_FAILURE() << "the configurator did not end";
            TerminateProcess(process_, 99);
        }
    }
    CloseHandle(process_);
}

HWND Configurator::Main(DWORD timeoutMs)
{
    return process_ ? WaitForDialog(kMainCaption, processId_, timeoutMs) : NULL;
}

bool Configurator::Ended(DWORD timeoutMs)
{
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Configurator::ExitCode(DWORD timeoutMs)
{
    DWORD code = 0xFFFFFFFF;
    if (Ended(timeoutMs))
        GetExitCodeProcess(process_, &code);
    return code;
}

void Configurator::Kill()
{
    if (process_ && TerminateProcess(process_, 1))
        Ended(15000);
}

DWORD Configurator::Exit()
{
    HWND main = Main();
    if (!main)
        return 0xFFFFFFFF;
    PostMessageW(main, WM_COMMAND, IDC_EXIT, 0);
    return ExitCode(15000);
}

std::vector<std::string> ArgumentsSeen(const ProgramDir &dir)
{
    std::vector<std::string> args;
    for (const std::string &line : SplitLines(ReadFileText(dir / "STANDIN.LOG"))) {
        if (line.compare(0, 5, "argv[") != 0)
            continue;
        size_t close = line.find("] ");
        if (close != std::string::npos)
            args.push_back(line.substr(close + 2));
    }
    return args;
}
