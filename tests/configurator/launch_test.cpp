/* Run, in this process, against the KOVA.EXE stand-in: the argument vector
   it receives, the plugins it finds, and the waiting. */
#include <functional>

#include "cfg_test.h"
#include "configurator.h"

namespace {

bool TranscriptHas(const ProgramDir &dir, const std::string &wanted)
{
    return Contains(SplitLines(ReadFileText(dir / "STANDIN.LOG")), wanted);
}

} // namespace

TEST(Launch, TheEmulatorGetsItsPathAndExactlyTheWords)
{
    ProgramDir dir("run words");
    dir.AddPrograms();
    struct Row {
        const char *what;
        std::string line;
        std::vector<std::string> words;
    };
    /* count words word(i), i from 1, after lead, each followed by gap(i) blanks. */
    auto joined = [](const char *what, const char *lead, int count,
                     std::function<std::string(int)> word, std::function<size_t(int)> gap) {
        Row row = { what, lead, {} };
        for (int i = 1; i <= count; i++) {
            row.words.push_back(word(i));
            row.line += row.words.back() + std::string(gap(i), ' ');
        }
        return row;
    };
    std::string letters;
    for (int i = 0; i < 255; i++)
        letters += static_cast<char>('a' + i % 26);
    std::vector<Row> rows = {
        { "blanks before, between and after", "   one    two   ", { "one", "two" } },
        { "empty", "", {} },
        { "only blanks", "     ", {} },
        joined("twenty words", "", 20, [](int i) { return "w" + std::to_string(i); },
               [](int i) -> size_t { return i % 3 ? 1 : 3; }),
        { "tab and quotes are word characters", "a\tb say\"hi\" \"x y\" end\\",
          { "a\tb", "say\"hi\"", "\"x", "y\"", "end\\" } },
        { "a path with a blank is two words", "C:\\A B\\X.EXE", { "C:\\A", "B\\X.EXE" } },
        { "one word of 255 characters", letters, { letters } },
        joined("40 words", "", 40, [](int i) { return "-arg" + std::to_string(i); },
               [](int i) -> size_t { return i < 40 ? 1 : 0; }),
        /* Words of many lengths between runs of blanks, 255 characters in
           all, the last word filling up. */
        joined("255 characters", "  ", 26,
               [](int i) { return "w" + std::to_string(i) + std::string(i % 7, '-'); },
               [](int i) -> size_t { return 1 + i % 3; }),
        /* Blanks around them, a tab, quotes and backslashes inside words:
           the words come through as they were typed. */
        joined("40 words with blanks, tabs and quotes", "   ", 40,
               [](int i) {
                   std::string word = "x" + std::to_string(i) + (i % 10 == 3 ? "\ttab" : "");
                   return i % 10 == 6 ? "\"q" + word + "\"" : word + (i % 10 == 9 ? "\\" : "");
               },
               [](int i) -> size_t { return i % 4 ? 1 : 4; }),
    };
    std::string last = "C:\\last\\word\\";
    last.resize(255 - rows[8].line.size(), 'z');
    rows[8].words.push_back(last);
    rows[8].line += last;
    ASSERT_EQ(255u, rows[8].line.size());
    RunInProcess(dir.path, [&](HWND main) {
        for (const Row &row : rows) {
            SCOPED_TRACE(row.what);
            DeleteFileA((dir / "STANDIN.LOG").c_str());
            SetItemText(main, IDC_COMMAND_LINE, row.line);
            Click(main, IDC_RUN);
            std::vector<std::string> want = { dir / "KOVA.EXE" };
            want.insert(want.end(), row.words.begin(), row.words.end());
            EXPECT_EQ(want, ArgumentsSeen(dir));
            EXPECT_EQ(row.line, ItemText(main, IDC_COMMAND_LINE)) << "the line stays as it was";
        }
        /* Enter runs too: Run is the default button. */
        DeleteFileA((dir / "STANDIN.LOG").c_str());
        SetItemText(main, IDC_COMMAND_LINE, "by-enter");
        PostMessageW(GetDlgItem(main, IDC_COMMAND_LINE), WM_KEYDOWN, VK_RETURN, 0);
        DWORD start = GetTickCount();
        while (ArgumentsSeen(dir).size() < 2 && GetTickCount() - start < 15000)
            Sleep(50);
        EXPECT_EQ(std::vector<std::string>({ dir / "KOVA.EXE", "by-enter" }), ArgumentsSeen(dir));
    });
}

TEST(Launch, RunWithoutSaveUsesWhatWasInstalledBefore)
{
    ProgramDir dir("run without save");
    dir.AddPrograms();
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    dir.AddPlugin(Fake("twofaced"), "twofaced.dll");
    ASSERT_TRUE(CopyFileTo(CdIdle(), dir / "CDRend.dll"));
    RunInProcess(dir.path, [&](HWND main) {
        std::vector<std::string> cds = ComboItems(main, IDC_CD_LIST);
        ASSERT_EQ(2u, cds.size());
        SelectCombo(main, IDC_CD_LIST, cds[0] == "TwoFaced 1.0" ? 0 : 1);
        Click(main, IDC_RUN);
        EXPECT_TRUE(TranscriptHas(dir, "CD CDRend.dll: loaded"));
        EXPECT_TRUE(TranscriptHas(dir, "CD CD_GetTN -> 0 first 1 last 3")) << "the idle CD plugin ran";
        EXPECT_TRUE(TranscriptHas(dir, "settings KOVA.INI missing")) << "Run does not save";
        /* After Save the new selection is what the emulator opens. */
        Click(main, IDC_SAVE);
        Click(main, IDC_RUN);
        EXPECT_TRUE(TranscriptHas(dir, "CD CDRend.dll: missing entry point CD_Open"));
        EXPECT_TRUE(TranscriptHas(dir, "  EmulateBios=on"));
    });
}

TEST(Launch, AMissingEmulatorGivesAMessageAndTheDialogStaysUsable)
{
    ProgramDir dir("run missing");
    dir.AddPrograms();
    ASSERT_TRUE(MoveFileA((dir / "KOVA.EXE").c_str(), (dir / "KOVA.BAK").c_str()));
    RunInProcess(dir.path, [&](HWND main) {
        SetItemText(main, IDC_COMMAND_LINE, "one two");
        ClickLater(main, IDC_RUN);
        EXPECT_EQ("Cannot run KOVA.EXE", TakeBox("System Error", main));
        EXPECT_EQ("one two", ItemText(main, IDC_COMMAND_LINE));
        EXPECT_TRUE(IsWindowEnabled(main));
        /* Usable: its buttons work and Run works once KOVA.EXE is back. */
        Click(main, IDC_USE_SERIAL);
        EXPECT_TRUE(Checked(main, IDC_USE_SERIAL));
        ASSERT_TRUE(MoveFileA((dir / "KOVA.BAK").c_str(), (dir / "KOVA.EXE").c_str()));
        Click(main, IDC_RUN);
        EXPECT_EQ(std::vector<std::string>({ dir / "KOVA.EXE", "one", "two" }), ArgumentsSeen(dir));
    });
}

TEST(Launch, TheDialogWaitsWhileTheEmulatorRuns)
{
    ProgramDir dir("run waits");
    dir.AddPrograms();
    ASSERT_TRUE(CopyFileTo(PadIdle(), dir / "Joy0Rend.dll"));
    /* The stand-in keeps polling its pad for this long. */
    SetEnvironmentVariableA("KOVA_STANDIN_LIVE_MS", "1500");
    DWORD busy = 0, total = 0;
    RunInProcess(dir.path, [&](HWND main) {
        DWORD start = GetTickCount();
        ClickLater(main, IDC_RUN);
        while (!TranscriptHas(dir, "live polling for 1500 ms") && GetTickCount() - start < 15000)
            Sleep(20);
        /* While the emulator runs the dialog answers nothing. */
        DWORD_PTR result;
        while (!SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result))
            busy += 100;
        total = GetTickCount() - start;
        EXPECT_TRUE(TranscriptHas(dir, "result: ok"));
    });
    SetEnvironmentVariableA("KOVA_STANDIN_LIVE_MS", NULL);
    EXPECT_GE(busy, 1000u) << "the dialog answered while the emulator ran";
    EXPECT_GE(total, 1500u);
}

TEST(Launch, ALineTooLongToStartIsRefusedWhole)
{
    ProgramDir dir("run too long");
    dir.AddPrograms();
    RunInProcess(dir.path, [&](HWND main) {
        /* Fits the field, but not with the quoted program path in front. */
        std::string line(32760, 'x');
        SetItemText(main, IDC_COMMAND_LINE, line);
        ClickLater(main, IDC_RUN);
        std::string text;
        EXPECT_TRUE(Answer("System Error", IDOK, &text));
        EXPECT_NE(std::string::npos, text.find("too long")) << text;
        EXPECT_FALSE(FileExists(dir / "STANDIN.LOG")) << "nothing was started";
        EXPECT_EQ(line, ItemText(main, IDC_COMMAND_LINE));
    });
}
