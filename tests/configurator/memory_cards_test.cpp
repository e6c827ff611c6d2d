/* The Memory Cards dialog in this process, opened from the main dialog's
   "Cards..." button and worked by clicks on real card files: what it lists,
   what each action leaves on the disk byte for byte, what it refuses and
   says, and the main dialog's card lists when it closes. */
#include <string.h>
#include <algorithm>

#include "cfg_test.h"

#include <commctrl.h>
#include <commdlg.h>

namespace {

const char kCards[] = "Memory Cards";
/* ＦＩＮＡＬ and ゲーム in Shift-JIS. */
const std::string kFinal = "\x82\x65\x82\x68\x82\x6D\x82\x60\x82\x6B";
const std::string kGame = "\x83\x51\x81\x5B\x83\x80";

HWND OpenCards(HWND main)
{
    ClickLater(main, IDC_MEMORY_CARDS);
    HWND cards = WaitForDialog(kCards, GetCurrentProcessId());
    EXPECT_TRUE(cards != NULL) << "the Memory Cards dialog did not open";
    return cards;
}

/* Picks a card in one side's list as the user does. */
void ChooseCard(HWND cards, int list, const std::string &name)
{
    int index = IndexOf(ComboItems(cards, list), name);
    ASSERT_GE(index, 0) << name;
    SelectCombo(cards, list, index);
    SendMessageW(cards, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(cards, list)));
}

Lines CardFiles(const ProgramDir &dir)
{
    Lines names = SearchOrder(dir / "MEMCARDS\\*");
    std::sort(names.begin(), names.end());
    return names;
}

bool WaitUntil(const std::function<bool()> &done)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start > 15000)
            return false;
    return true;
}

/* The box with the caption that the dialog shows: its text, once answered. */
std::string AnswerOwned(HWND dialog, const char *caption, int answer = IDOK)
{
    HWND box = WaitForOwned(caption, dialog);
    EXPECT_TRUE(box != NULL) << "no \"" << caption << "\" box";
    if (!box)
        return "";
    std::string text = BoxText(box);
    EXPECT_TRUE(End(box, answer));
    return text;
}

/* Clicks a button that shows a box with the caption; answers it and gives its text. */
std::string ClickAndAnswer(HWND dialog, int id, const char *caption, int answer = IDOK)
{
    ClickLater(dialog, id);
    return AnswerOwned(dialog, caption, answer);
}

CardBytes Bytes(const ProgramDir &dir, const char *card)
{
    return ReadFileBytes(dir / (std::string("MEMCARDS\\") + card));
}

void PutCard(ProgramDir &dir, const char *name, const CardBytes &card)
{
    dir.AddFile(std::string("MEMCARDS\\") + name, "");
    EXPECT_TRUE(WriteFileBytes(dir / (std::string("MEMCARDS\\") + name), card.data(), card.size()));
}

} // namespace

TEST(MemoryCards, ShowsTheSlotsCardsCopiesASaveByteForByteAndSaysWhyNot)
{
    ProgramDir dir("cards copy");
    CardBytes a = BlankCard(), b = BlankCard(), full = BlankCard();
    PutSave(a, { 2 }, "BASLUS-00594FF7", kFinal, 1);
    PutSave(a, { 9, 4, 6 }, "BESLES-01234SAVE", kGame, 2);
    PutSave(b, { 1 }, "BISLPS-00001", "plain", 3);
    for (int block = 1; block <= 15; block++)
        PutSave(full, { block }, "BASLUS-0000" + std::to_string(block % 10), "", 4);
    PutCard(dir, "a.mcd", a);
    PutCard(dir, "b.mcd", b);
    PutCard(dir, "full.mcd", full);
    PutCard(dir, "short.mcd", CardBytes(1000, 0));
    RunInProcess(dir.path, [&](HWND main) {
        HWND cards = OpenCards(main);
        ASSERT_TRUE(cards != NULL);
        EXPECT_EQ(main, GetWindow(cards, GW_OWNER));
        EXPECT_EQ(Lines({ "a.mcd", "b.mcd", "full.mcd", "short.mcd" }), ComboItems(cards, IDC_CARD_LEFT));
        EXPECT_EQ("a.mcd", ComboSelectedText(cards, IDC_CARD_LEFT));
        EXPECT_EQ("b.mcd", ComboSelectedText(cards, IDC_CARD_RIGHT));
        EXPECT_EQ(Lines({ "FINAL | SLUS-00594 | America | 1",
                          "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 | SLES-01234 | Europe | 3" }),
                  ListViewRows(cards, IDC_SAVES_LEFT));
        EXPECT_EQ(Lines({ "plain | SLPS-00001 | Japan | 1" }), ListViewRows(cards, IDC_SAVES_RIGHT));
        /* Latin text in the dialogs' own face (a backslash, not a Japanese
           font's yen sign, and widths the layout was made for); the titles'
           kana and full-width forms from the Japanese font linked behind it. */
        struct Drawn {
            const char *what;
            HWND window;
            std::wstring text;
        };
        const Drawn drawn[] = {
            { "main dialog", main, L"C:\\KOVA" },
            /* C:\ ＦＩＮＡＬ ゲーム ― */
            { "saves", GetDlgItem(cards, IDC_SAVES_LEFT),
              L"C:\\\xFF26\xFF29\xFF2E\xFF21\xFF2C\x30B2\x30FC\x30E0\x2015" },
        };
        for (const Drawn &d : drawn) {
            EXPECT_EQ(std::string::npos, DrawnFace(d.window).find("IPA"))
                << d.what << ": " << DrawnFace(d.window);
            EXPECT_TRUE(DrawnAsGlyphs(d.window, d.text)) << d.what << ": " << Utf8(d.text);
        }
        EXPECT_EQ("Free blocks: 11", ItemText(cards, IDC_STATUS_LEFT));
        EXPECT_EQ("Free blocks: 14", ItemText(cards, IDC_STATUS_RIGHT));
        EXPECT_EQ("", ItemText(cards, IDC_SAME_CARD));
        /* Every save has its picture in the list's images. */
        HIMAGELIST icons = reinterpret_cast<HIMAGELIST>(
            SendDlgItemMessageW(cards, IDC_SAVES_LEFT, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
        EXPECT_EQ(2, ImageList_GetImageCount(icons));
        for (int id : { IDC_COPY_TO_RIGHT, IDC_COPY_TO_LEFT, IDC_DELETE_LEFT, IDC_EXPORT_LEFT })
            EXPECT_FALSE(Enabled(cards, id)) << id << " without a save selected";

        SelectListViewRow(cards, IDC_SAVES_LEFT, 1);
        EXPECT_TRUE(Enabled(cards, IDC_COPY_TO_RIGHT));
        Click(cards, IDC_COPY_TO_RIGHT);
        CardBytes expected = b;
        PutSave(expected, { 2, 3, 4 }, "BESLES-01234SAVE", kGame, 2);
        EXPECT_TRUE(expected == Bytes(dir, "b.mcd")) << "b.mcd is not the expected card";
        EXPECT_EQ(a, Bytes(dir, "a.mcd")) << "the source changed";
        EXPECT_EQ(2u, ListViewRows(cards, IDC_SAVES_RIGHT).size());
        EXPECT_EQ("Free blocks: 11", ItemText(cards, IDC_STATUS_RIGHT));

        /* What is refused, and why, leaving every card as it was. */
        struct Refusal {
            const char *card;
            int row;
            const char *says;
        };
        const Refusal refusals[] = {
            { "b.mcd", 1, "Not copied: the card b.mcd already holds a save named BESLES-01234SAVE." },
            { "full.mcd", 1, "Not copied: the save BESLES-01234SAVE needs 3 blocks, and the card "
                             "full.mcd has 0 free." },
            { "short.mcd", 0, "Not copied: the card short.mcd is damaged (the file is 1000 bytes long, "
                              "not 131,072). Nothing is written to a damaged card; Export its saves "
                              "first, then Format makes it usable again." },
        };
        for (const Refusal &refusal : refusals) {
            SCOPED_TRACE(refusal.card);
            CardBytes before = Bytes(dir, refusal.card);
            ChooseCard(cards, IDC_CARD_RIGHT, refusal.card);
            SelectListViewRow(cards, IDC_SAVES_LEFT, refusal.row);
            EXPECT_EQ(refusal.says, ClickAndAnswer(cards, IDC_COPY_TO_RIGHT, kCards));
            EXPECT_EQ(before, Bytes(dir, refusal.card));
        }
        EXPECT_EQ("Damaged: the file is 1000 bytes long, not 131,072.\r\nFree blocks: 0",
                  ItemText(cards, IDC_STATUS_RIGHT));

        ChooseCard(cards, IDC_CARD_RIGHT, "a.mcd");
        EXPECT_EQ("Both sides show the same card, a.mcd.", ItemText(cards, IDC_SAME_CARD));
        ChooseCard(cards, IDC_CARD_LEFT, "full.mcd");
        EXPECT_EQ("", ItemText(cards, IDC_SAME_CARD));
        EXPECT_EQ(15u, ListViewRows(cards, IDC_SAVES_LEFT).size());
        EXPECT_TRUE(End(cards, IDCANCEL));
        /* The slots keep their cards. */
        EXPECT_EQ("a.mcd", ComboSelectedText(main, IDC_MEMCARD1));
        EXPECT_EQ("b.mcd", ComboSelectedText(main, IDC_MEMCARD2));
    });
}

TEST(MemoryCards, ANewUserMakesTwoCardsAndPicksOnePerSlot)
{
    ProgramDir dir("cards new");
    RunInProcess(dir.path, [&](HWND main) {
        EXPECT_FALSE(Enabled(main, IDC_MEMCARD1));
        HWND cards = OpenCards(main);
        ASSERT_TRUE(cards != NULL);
        EXPECT_EQ("No card.", ItemText(cards, IDC_STATUS_LEFT));
        for (int id : { IDC_CARD_LEFT, IDC_IMPORT_LEFT, IDC_FORMAT_RIGHT })
            EXPECT_FALSE(Enabled(cards, id)) << id;
        EXPECT_TRUE(Enabled(cards, IDC_NEW_CARD));

        /* name typed -> the message, or "" when the card is made */
        auto newCard = [&](const char *typed, const char *says) {
            SCOPED_TRACE(typed);
            ClickLater(cards, IDC_NEW_CARD);
            HWND ask = WaitForDialog("New card", GetCurrentProcessId());
            ASSERT_TRUE(ask != NULL);
            SetItemText(ask, IDC_NEW_CARD_NAME, typed);
            PostMessageW(ask, WM_COMMAND, IDOK, 0);
            if (says[0]) {
                EXPECT_EQ(says, AnswerOwned(cards, kCards));
            }
        };
        newCard("first", "");
        ASSERT_TRUE(WaitUntil([&] { return ComboSelectedText(cards, IDC_CARD_RIGHT) == "first.mcd"; }));
        EXPECT_EQ(BlankCard(), Bytes(dir, "first.mcd"));
        EXPECT_EQ("first.mcd", ComboSelectedText(cards, IDC_CARD_LEFT)) << "the empty side shows it too";
        EXPECT_EQ("Free blocks: 15", ItemText(cards, IDC_STATUS_LEFT));

        /* An existing card is never replaced, whatever the letter case. */
        CardBytes used = BlankCard();
        PutSave(used, { 1 }, "BASLUS-00001", "", 1);
        PutCard(dir, "first.mcd", used);
        newCard("FIRST.MCD", "There is already a card named FIRST.MCD. Nothing was replaced.");
        EXPECT_EQ(used, Bytes(dir, "first.mcd"));
        /* A name Windows cannot hold: said, and asked again. */
        newCard("a/b", "A card's name may not be empty, nor hold any of the characters \\ / : * ? \" < > |.");
        HWND again = WaitForDialog("New card", GetCurrentProcessId());
        ASSERT_TRUE(again != NULL);
        EXPECT_TRUE(End(again, IDCANCEL));

        newCard("  second  ", "");
        ASSERT_TRUE(WaitUntil([&] { return ComboSelectedText(cards, IDC_CARD_RIGHT) == "second.mcd"; }));
        EXPECT_EQ("first.mcd", ComboSelectedText(cards, IDC_CARD_LEFT));
        EXPECT_EQ(Lines({ "first.mcd", "second.mcd" }), CardFiles(dir));
        EXPECT_TRUE(End(cards, IDCANCEL));

        /* At once in the main dialog: one card per slot. (The list's
           message waits for the main dialog to be back in its loop.) */
        EXPECT_EQ(Lines({ "first.mcd", "second.mcd" }), ComboItems(main, IDC_MEMCARD2));
        EXPECT_TRUE(Enabled(main, IDC_MEMCARD1) && Enabled(main, IDC_MEMCARD2));
        EXPECT_EQ("first.mcd", ComboSelectedText(main, IDC_MEMCARD1));
        EXPECT_EQ("second.mcd", ComboSelectedText(main, IDC_MEMCARD2));
        Click(main, IDC_SAVE);
    });
    EXPECT_EQ("first.mcd", IniValue(dir / "KOVA.INI", "KOVA", "MemCard1"));
    EXPECT_EQ("second.mcd", IniValue(dir / "KOVA.INI", "KOVA", "MemCard2"));
}

TEST(MemoryCards, DeleteAndFormatAskFirstAndNeverWriteACardInUseOrChanged)
{
    ProgramDir dir("cards delete");
    CardBytes a = BlankCard();
    PutSave(a, { 3, 5 }, "BASLUS-00001", "", 1);
    PutSave(a, { 7 }, "BASLUS-00002", "", 2);
    PutCard(dir, "a.mcd", a);
    PutCard(dir, "b.mcd", BlankCard());
    const std::string aPath = dir / "MEMCARDS\\a.mcd";
    RunInProcess(dir.path, [&](HWND main) {
        HWND cards = OpenCards(main);
        ASSERT_TRUE(cards != NULL);
        SelectListViewRow(cards, IDC_SAVES_LEFT, 0);
        EXPECT_EQ("Delete the save BASLUS-00001 (2 blocks) from the card a.mcd?",
                  ClickAndAnswer(cards, IDC_DELETE_LEFT, kCards, IDNO));
        EXPECT_EQ(a, Bytes(dir, "a.mcd"));

        /* Another program has it open: one message naming it, nothing written. */
        HANDLE held = CreateFileA(aPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        SelectListViewRow(cards, IDC_SAVES_LEFT, 0);
        ClickAndAnswer(cards, IDC_DELETE_LEFT, kCards, IDYES);
        EXPECT_EQ("The memory card " + aPath + " is in use by another program. Nothing was written; "
                  "close that program and try again.",
                  AnswerOwned(cards, "System Error"));
        CloseHandle(held);
        EXPECT_EQ(a, Bytes(dir, "a.mcd"));
        EXPECT_EQ(NULL, WaitForDialog("System Error", GetCurrentProcessId(), 300)) << "one message only";

        /* Read-only: one message naming it, the card as it was. */
        ASSERT_TRUE(SetFileAttributesA(aPath.c_str(), FILE_ATTRIBUTE_READONLY));
        SelectListViewRow(cards, IDC_SAVES_LEFT, 0);
        ClickAndAnswer(cards, IDC_DELETE_LEFT, kCards, IDYES);
        EXPECT_EQ("The memory card " + aPath + " could not be written. It is as it was.",
                  AnswerOwned(cards, "System Error"));
        SetFileAttributesA(aPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(a, Bytes(dir, "a.mcd"));

        SelectListViewRow(cards, IDC_SAVES_LEFT, 0);
        ClickAndAnswer(cards, IDC_DELETE_LEFT, kCards, IDYES);
        CardBytes expected = a;
        SetEntry(expected, 3, 0xA1, 2 * 8192, 4, "BASLUS-00001");
        SetEntry(expected, 5, 0xA3, 0, 0xFFFF);
        ASSERT_TRUE(WaitUntil([&] { return ListViewRows(cards, IDC_SAVES_LEFT).size() == 1; }));
        EXPECT_TRUE(expected == Bytes(dir, "a.mcd"));
        EXPECT_EQ("Free blocks: 14", ItemText(cards, IDC_STATUS_LEFT));

        EXPECT_EQ("Format the card a.mcd? These saves on it will be lost:\r\n\r\nBASLUS-00002",
                  ClickAndAnswer(cards, IDC_FORMAT_LEFT, kCards, IDNO));
        EXPECT_TRUE(expected == Bytes(dir, "a.mcd"));
        ClickAndAnswer(cards, IDC_FORMAT_LEFT, kCards, IDYES);
        ASSERT_TRUE(WaitUntil([&] { return ListViewRows(cards, IDC_SAVES_LEFT).empty(); }));
        EXPECT_EQ(BlankCard(), Bytes(dir, "a.mcd"));

        /* The emulator wrote b.mcd while it was shown: nothing is written over that. */
        CardBytes written = BlankCard();
        PutSave(written, { 9 }, "BASLUS-00009", "", 9);
        PutCard(dir, "b.mcd", written);
        EXPECT_EQ("Format the card b.mcd? It holds no save that can be read.",
                  ClickAndAnswer(cards, IDC_FORMAT_RIGHT, kCards, IDYES));
        EXPECT_EQ("The card b.mcd has changed since it was shown. It is shown again as it is now; "
                  "nothing was written.",
                  AnswerOwned(cards, kCards));
        EXPECT_EQ(written, Bytes(dir, "b.mcd"));
        EXPECT_EQ(1u, ListViewRows(cards, IDC_SAVES_RIGHT).size());
        EXPECT_EQ(Lines({ "a.mcd", "b.mcd" }), CardFiles(dir)) << "nothing left behind";
    });
}

namespace {

/* The system's file dialogs as a recording peer: each call answers with
   the next path, or Cancel when it is empty. */
struct FileDialogs {
    std::vector<std::string> answers;
    std::vector<std::string> calls;  /* "open <title> <filter's first pattern>" */
} fileDialogs;

std::string Ansi(const wchar_t *text)
{
    char ansi[MAX_PATH * 2];
    if (!WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, NULL, NULL))
        ansi[0] = '\0';
    return ansi;
}

BOOL Choose(const char *kind, OPENFILENAMEW *choice)
{
    fileDialogs.calls.push_back(std::string(kind) + " " + Ansi(choice->lpstrTitle) + " " +
                                Ansi(choice->lpstrFilter + wcslen(choice->lpstrFilter) + 1) + " " +
                                Ansi(choice->lpstrFile));
    if (fileDialogs.answers.empty() || fileDialogs.answers.front().empty()) {
        if (!fileDialogs.answers.empty())
            fileDialogs.answers.erase(fileDialogs.answers.begin());
        return FALSE;
    }
    /* Answers in UTF-8, for names that ANSI cannot hold. */
    wchar_t answer[MAX_PATH];
    if (!MultiByteToWideChar(CP_UTF8, 0, fileDialogs.answers.front().c_str(), -1, answer, MAX_PATH))
        answer[0] = L'\0';
    fileDialogs.answers.erase(fileDialogs.answers.begin());
    if (wcslen(answer) >= choice->nMaxFile)
        return FALSE;
    wcscpy(choice->lpstrFile, answer);
    return TRUE;
}

BOOL WINAPI RecordedOpen(OPENFILENAMEW *choice)
{
    return Choose("open", choice);
}

BOOL WINAPI RecordedSave(OPENFILENAMEW *choice)
{
    return Choose("save", choice);
}

/* The system's file dialogs answered by fileDialogs while it lives. */
struct FileDialogHooks {
    ImportHook open{ GetModuleHandleA(NULL), "comdlg32.dll", "GetOpenFileNameW",
                     reinterpret_cast<void *>(RecordedOpen) };
    ImportHook save{ GetModuleHandleA(NULL), "comdlg32.dll", "GetSaveFileNameW",
                     reinterpret_cast<void *>(RecordedSave) };
    bool installed() const { return open.installed() && save.installed(); }
};

} // namespace

TEST(MemoryCards, ExportAndImportGoThroughTheSystemsFileDialogs)
{
    FileDialogHooks hooks;
    ASSERT_TRUE(hooks.installed());
    ProgramDir dir("cards files");
    CardBytes a = BlankCard(), b = BlankCard();
    PutSave(a, { 8, 2 }, "BASLUS-00594FF7", kFinal, 5);
    PutCard(dir, "a.mcd", a);
    PutCard(dir, "b.mcd", b);
    const std::string mcs = dir / "FF7.mcs";
    dir.AddFile("bad.mcs", "not a save");
    fileDialogs = { { mcs, dir / "bad.mcs", "", mcs }, {} };
    RunInProcess(dir.path, [&](HWND main) {
        HWND cards = OpenCards(main);
        ASSERT_TRUE(cards != NULL);
        SelectListViewRow(cards, IDC_SAVES_LEFT, 0);
        Click(cards, IDC_EXPORT_LEFT);
        EXPECT_EQ(SaveFileBytes(2, "BASLUS-00594FF7", kFinal, 5), ReadFileBytes(mcs));

        EXPECT_EQ("Not imported: " + dir / "bad.mcs" +
                      " is no save file (its length is not that of a save of 1 to 15 blocks).",
                  ClickAndAnswer(cards, IDC_IMPORT_RIGHT, kCards));
        Click(cards, IDC_IMPORT_RIGHT); /* cancelled */
        Click(cards, IDC_IMPORT_RIGHT);
        CardBytes expected = b;
        PutSave(expected, { 1, 2 }, "BASLUS-00594FF7", kFinal, 5);
        EXPECT_TRUE(expected == Bytes(dir, "b.mcd"));
        EXPECT_EQ(Lines({ "FINAL | SLUS-00594 | America | 2" }), ListViewRows(cards, IDC_SAVES_RIGHT));
    });
    EXPECT_EQ(Lines({ "save Export save *.mcs BASLUS-00594FF7", "open Import save *.mcs ",
                      "open Import save *.mcs ", "open Import save *.mcs " }),
              fileDialogs.calls);
}

TEST(MemoryCards, ExportTakesTheCardAsItIsNowAndNoSaveWithoutAName)
{
    FileDialogHooks hooks;
    ASSERT_TRUE(hooks.installed());
    ProgramDir dir("cards export");
    CardBytes a = BlankCard(), changed;
    PutSave(a, { 2 }, "BASLUS-00001", "first", 1);
    PutSave(a, { 5 }, "", "nameless", 2);
    changed = a;
    PutSave(changed, { 9 }, "BASLUS-00009", "newer", 3);
    PutCard(dir, "a.mcd", a);
    PutCard(dir, "b.mcd", BlankCard());
    const std::string mcs = dir / "first.mcs";
    fileDialogs = { { mcs }, {} };
    RunInProcess(dir.path, [&](HWND main) {
        HWND cards = OpenCards(main);
        ASSERT_TRUE(cards != NULL);
        SelectListViewRow(cards, IDC_SAVES_LEFT, 1);
        const char *nameless = ": the save in block 5 has no file name, and a save without one can "
                               "never be put on a card again.";
        EXPECT_EQ(std::string("Not exported") + nameless, ClickAndAnswer(cards, IDC_EXPORT_LEFT, kCards));
        EXPECT_EQ(std::string("Not copied") + nameless, ClickAndAnswer(cards, IDC_COPY_TO_RIGHT, kCards));

        /* The emulator wrote the card since it was shown: nothing is exported. */
        PutCard(dir, "a.mcd", changed);
        SelectListViewRow(cards, IDC_SAVES_LEFT, 0);
        EXPECT_EQ("The card a.mcd has changed since it was shown. It is shown again as it is now; "
                  "nothing was written.",
                  ClickAndAnswer(cards, IDC_EXPORT_LEFT, kCards));
        EXPECT_EQ(3u, ListViewRows(cards, IDC_SAVES_LEFT).size());
        SelectListViewRow(cards, IDC_SAVES_LEFT, 0);
        Click(cards, IDC_EXPORT_LEFT);
        EXPECT_EQ(SaveFileBytes(1, "BASLUS-00001", "first", 1), ReadFileBytes(mcs));
        EXPECT_EQ(BlankCard(), Bytes(dir, "b.mcd"));
    });
    EXPECT_EQ(Lines({ "save Export save *.mcs BASLUS-00001" }), fileDialogs.calls);
}

TEST(MemoryCards, CardsAndSavesOfOtherToolsOpenWithoutConverting)
{
    FileDialogHooks hooks;
    ASSERT_TRUE(hooks.installed());
    ProgramDir dir("cards other tools");
    CardBytes a = BlankCard(), dex = BlankCard(), psp = BlankCard(), mcr = BlankCard(), broken = BlankCard();
    PutSave(a, { 1 }, "BASLUS-00001", "plain", 1);
    PutSave(dex, { 2, 5 }, "BESLES_01182", kGame, 2);
    PutSave(psp, { 4 }, "BASLUSP01041", kFinal, 3);
    PutSave(mcr, { 1 }, "BISLPS-00001", "", 4);
    PutSave(mcr, { 2 }, "BISLPS-00002", "", 5);
    /* One save whose link holds garbage: the card is damaged, the save whole. */
    PutSave(broken, { 6 }, "BASLUS-00594FF7", kFinal, 6);
    SetEntry(broken, 6, 0x51, 8192, 0x3A7C, "BASLUS-00594FF7");
    PutCard(dir, "a.mcd", a);
    PutCard(dir, "broken.mcd", broken);
    PutCard(dir, "renamed.mcd", GmeFile(dex)); /* a DexDrive card renamed */
    PutCard(dir, "slot.mcd", PsvFile(1, "BESLES-00002PSV", "ps3", 7)); /* and a save */
    dir.AddFile("other\\x");
    struct { const char *name; std::vector<uint8_t> bytes; } files[] = {
        { "other\\psp.vmp", VmpFile(psp) },
        { "other\\SLOT1.MCR", mcr },
        { "other\\dex.gme", GmeFile(dex) },
        { "other\\slot.psv", PsvFile(1, "BESLES-00002PSV", "ps3", 7) },
        { "other\\BASLUS-00594FF7", RawSaveBytes(2, "raw", 8) },
        { "other\\BASLUS-00594FF7-copy-2.bin", RawSaveBytes(1, "raw", 8) },
    };
    for (const auto &file : files)
        ASSERT_TRUE(WriteFileBytes(dir / file.name, file.bytes.data(), file.bytes.size()));
    fileDialogs = { { dir / "other\\psp.vmp", dir / "other\\SLOT1.MCR",
                      dir / "other\\\xE3\x82\xAB\xE3\x83\xBC\xE3\x83\x89.mcr", dir / "other\\slot.psv",
                      dir / "other\\BASLUS-00594FF7", dir / "other\\BASLUS-00594FF7-copy-2.bin",
                      dir / "other\\dex.gme" },
                    {} };
    RunInProcess(dir.path, [&](HWND main) {
        HWND cards = OpenCards(main);
        ASSERT_TRUE(cards != NULL);
        ChooseCard(cards, IDC_CARD_LEFT, "a.mcd");
        ChooseCard(cards, IDC_CARD_RIGHT, "renamed.mcd");
        /* A container is shown read-only and never offered for Format. */
        EXPECT_EQ(Lines({ "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 | SLES-01182 | Europe | 2" }),
                  ListViewRows(cards, IDC_SAVES_RIGHT));
        EXPECT_EQ("Read-only, a DexDrive card (.gme): Save as .mcd... makes a card of it.\r\nFree blocks: 13",
                  ItemText(cards, IDC_STATUS_RIGHT));
        SelectListViewRow(cards, IDC_SAVES_RIGHT, 0);
        struct { int id; bool enabled; } states[] = {
            { IDC_FORMAT_RIGHT, false }, { IDC_IMPORT_RIGHT, false }, { IDC_DELETE_RIGHT, false },
            { IDC_EXPORT_RIGHT, true }, { IDC_COPY_TO_LEFT, true }, { IDC_SAVE_AS_RIGHT, true },
            { IDC_SAVE_AS_LEFT, false }, { IDC_FORMAT_LEFT, true },
        };
        for (const auto &state : states)
            EXPECT_EQ(state.enabled, Enabled(cards, state.id)) << state.id;
        Click(cards, IDC_COPY_TO_LEFT);
        CardBytes expectedA = a;
        PutSave(expectedA, { 2, 3 }, "BESLES_01182", kGame, 2);
        EXPECT_TRUE(expectedA == Bytes(dir, "a.mcd"));

        /* A damaged card lists its whole save, which copies off. */
        ChooseCard(cards, IDC_CARD_RIGHT, "broken.mcd");
        EXPECT_EQ(Lines({ "FINAL | SLUS-00594 | America | 1, damaged" }), ListViewRows(cards, IDC_SAVES_RIGHT));
        EXPECT_EQ("Damaged: block 6 links outside the card.\r\nFree blocks: 14", ItemText(cards, IDC_STATUS_RIGHT));
        EXPECT_TRUE(Enabled(cards, IDC_FORMAT_RIGHT));
        SelectListViewRow(cards, IDC_SAVES_RIGHT, 0);
        Click(cards, IDC_COPY_TO_LEFT);
        PutSave(expectedA, { 4 }, "BASLUS-00594FF7", kFinal, 6);
        EXPECT_TRUE(expectedA == Bytes(dir, "a.mcd"));

        /* A save is no card either. */
        ChooseCard(cards, IDC_CARD_RIGHT, "slot.mcd");
        EXPECT_EQ("This file is a PS3 single save (.psv), not a card: Import... puts its save on a card.",
                  ItemText(cards, IDC_STATUS_RIGHT));
        EXPECT_FALSE(Enabled(cards, IDC_FORMAT_RIGHT));
        EXPECT_TRUE(ListViewRows(cards, IDC_SAVES_RIGHT).empty());

        /* Open... a PSP card, and Save as .mcd... makes a raw card of it in MEMCARDS\. */
        Click(cards, IDC_OPEN_RIGHT);
        EXPECT_EQ(dir / "other\\psp.vmp", ComboSelectedText(cards, IDC_CARD_RIGHT));
        EXPECT_EQ(Lines({ "FINAL | SLUS-01041 | America | 1" }), ListViewRows(cards, IDC_SAVES_RIGHT));
        auto saveAs = [&](const char *typed) {
            ClickLater(cards, IDC_SAVE_AS_RIGHT);
            HWND ask = WaitForDialog("Save as .mcd", GetCurrentProcessId());
            ASSERT_TRUE(ask != NULL);
            EXPECT_EQ("psp", ItemText(ask, IDC_NEW_CARD_NAME)) << "the file's own name is offered";
            SetItemText(ask, IDC_NEW_CARD_NAME, typed);
            PostMessageW(ask, WM_COMMAND, IDOK, 0);
        };
        saveAs("a");
        EXPECT_EQ("There is already a card named a.mcd. Nothing was replaced.", AnswerOwned(cards, kCards));
        EXPECT_TRUE(expectedA == Bytes(dir, "a.mcd"));
        saveAs("psp");
        ASSERT_TRUE(WaitUntil([&] { return ComboSelectedText(cards, IDC_CARD_RIGHT) == "psp.mcd"; }));
        EXPECT_TRUE(psp == Bytes(dir, "psp.mcd"));
        EXPECT_EQ("Free blocks: 14", ItemText(cards, IDC_STATUS_RIGHT));

        /* A raw card of another name elsewhere is written where it lies. */
        Click(cards, IDC_OPEN_LEFT);
        EXPECT_EQ(dir / "other\\SLOT1.MCR", ComboSelectedText(cards, IDC_CARD_LEFT));
        SelectListViewRow(cards, IDC_SAVES_LEFT, 0);
        EXPECT_EQ("Delete the save BISLPS-00001 (1 block) from the card " + dir / "other\\SLOT1.MCR" + "?",
                  ClickAndAnswer(cards, IDC_DELETE_LEFT, kCards, IDYES));
        ASSERT_TRUE(WaitUntil([&] { return ListViewRows(cards, IDC_SAVES_LEFT).size() == 1; }));
        CardBytes expectedMcr = mcr;
        SetEntry(expectedMcr, 1, 0xA1, 8192, 0xFFFF, "BISLPS-00001");
        EXPECT_TRUE(expectedMcr == ReadFileBytes(dir / "other\\SLOT1.MCR"));
        /* And one whose name ANSI cannot hold is read and written by that name. */
        const std::wstring kana = Widen(dir / "other\\") + L"\u30AB\u30FC\u30C9.mcr";
        ASSERT_TRUE(CopyFileW(Widen(dir / "other\\SLOT1.MCR").c_str(), kana.c_str(), FALSE));
        Click(cards, IDC_OPEN_LEFT);
        ASSERT_EQ(1u, ListViewRows(cards, IDC_SAVES_LEFT).size());
        SelectListViewRow(cards, IDC_SAVES_LEFT, 0);
        ClickAndAnswer(cards, IDC_DELETE_LEFT, kCards, IDYES);
        ASSERT_TRUE(WaitUntil([&] { return ListViewRows(cards, IDC_SAVES_LEFT).empty(); }));
        ASSERT_TRUE(CopyFileW(kana.c_str(), Widen(dir / "other\\back.mcr").c_str(), FALSE));
        SetEntry(expectedMcr, 2, 0xA1, 8192, 0xFFFF, "BISLPS-00002");
        EXPECT_TRUE(expectedMcr == ReadFileBytes(dir / "other\\back.mcr"));

        /* Import takes a PS3 save and a raw save named after its file. */
        Click(cards, IDC_IMPORT_RIGHT);
        Click(cards, IDC_IMPORT_RIGHT);
        CardBytes expectedPsp = psp;
        PutSave(expectedPsp, { 1 }, "BESLES-00002PSV", "ps3", 7);
        PutSave(expectedPsp, { 2, 3 }, "BASLUS-00594FF7", "raw", 8);
        EXPECT_TRUE(expectedPsp == Bytes(dir, "psp.mcd"));
        EXPECT_EQ("Not imported: " + dir / "other\\BASLUS-00594FF7-copy-2.bin" +
                      " is a raw save, but its file name, which names the save, is not 1 to 20 characters long.",
                  ClickAndAnswer(cards, IDC_IMPORT_RIGHT, kCards));
        EXPECT_EQ("Not imported: " + dir / "other\\dex.gme" +
                      " is a DexDrive card (.gme), not a single save: Open... shows its saves.",
                  ClickAndAnswer(cards, IDC_IMPORT_RIGHT, kCards));
        EXPECT_TRUE(expectedPsp == Bytes(dir, "psp.mcd"));
        EXPECT_TRUE(End(cards, IDCANCEL));
        /* The slots list only MEMCARDS\*.mcd. */
        EXPECT_EQ(Lines({ "a.mcd", "broken.mcd", "psp.mcd", "renamed.mcd", "slot.mcd" }),
                  ComboItems(main, IDC_MEMCARD1));
    });
    EXPECT_EQ(VmpFile(psp), ReadFileBytes(dir / "other\\psp.vmp"));
    const std::string cardsFilter = "*.mcd;*.mcr;*.mc;*.gme;*.vmp;*.bin;*.mem;*.ddf;*.srm;*.psm;*.ps ";
    EXPECT_EQ(Lines({ "open Open memory card " + cardsFilter, "open Open memory card " + cardsFilter,
                      "open Open memory card " + cardsFilter,
                      "open Import save *.mcs ", "open Import save *.mcs ", "open Import save *.mcs ",
                      "open Import save *.mcs " }),
              fileDialogs.calls);
}

TEST(MemoryCards, ACardThatIsASymbolicLinkIsWrittenAtItsTarget)
{
    ProgramDir dir("cards link");
    CardBytes a = BlankCard();
    PutSave(a, { 3 }, "BASLUS-00003", "", 1);
    dir.AddFile("elsewhere\\real.mcd");
    ASSERT_TRUE(WriteFileBytes(dir / "elsewhere\\real.mcd", a.data(), a.size()));
    const std::string link = UnixPath(dir / "MEMCARDS\\linked.mcd");
    ASSERT_EQ(0, RunUnix("ln -sf '" + UnixPath(dir / "elsewhere\\real.mcd") + "' '" + link + "'"));
    RunInProcess(dir.path, [&](HWND main) {
        HWND cards = OpenCards(main);
        ASSERT_TRUE(cards != NULL);
        ChooseCard(cards, IDC_CARD_LEFT, "linked.mcd");
        SelectListViewRow(cards, IDC_SAVES_LEFT, 0);
        ClickAndAnswer(cards, IDC_DELETE_LEFT, kCards, IDYES);
        ASSERT_TRUE(WaitUntil([&] { return ListViewRows(cards, IDC_SAVES_LEFT).empty(); }));
    });
    CardBytes expected = a;
    SetEntry(expected, 3, 0xA1, 8192, 0xFFFF, "BASLUS-00003");
    EXPECT_TRUE(expected == ReadFileBytes(dir / "elsewhere\\real.mcd"));
    EXPECT_EQ(0, RunUnix("test -L '" + link + "'")) << "the link was replaced by a file";
    EXPECT_EQ(Lines({ "linked.mcd" }), CardFiles(dir)) << "nothing left behind";
    /* The scratch folder's removal does not take a link to a removed file. */
    RunUnix("rm -f '" + link + "'");
}
