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

BOOL Choose(const char *kind, OPENFILENAMEA *choice)
{
    fileDialogs.calls.push_back(std::string(kind) + " " + choice->lpstrTitle + " " +
                                (choice->lpstrFilter + strlen(choice->lpstrFilter) + 1) + " " +
                                choice->lpstrFile);
    if (fileDialogs.answers.empty() || fileDialogs.answers.front().empty()) {
        if (!fileDialogs.answers.empty())
            fileDialogs.answers.erase(fileDialogs.answers.begin());
        return FALSE;
    }
    BufSet(choice->lpstrFile, choice->nMaxFile, fileDialogs.answers.front().c_str());
    fileDialogs.answers.erase(fileDialogs.answers.begin());
    return TRUE;
}

BOOL WINAPI RecordedOpen(OPENFILENAMEA *choice)
{
    return Choose("open", choice);
}

BOOL WINAPI RecordedSave(OPENFILENAMEA *choice)
{
    return Choose("save", choice);
}

} // namespace

TEST(MemoryCards, ExportAndImportGoThroughTheSystemsFileDialogs)
{
    ImportHook open(GetModuleHandleA(NULL), "comdlg32.dll", "GetOpenFileNameA",
                    reinterpret_cast<void *>(RecordedOpen));
    ImportHook save(GetModuleHandleA(NULL), "comdlg32.dll", "GetSaveFileNameA",
                    reinterpret_cast<void *>(RecordedSave));
    ASSERT_TRUE(open.installed() && save.installed());
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
