/* The configurator's text rules, by table. */
#include <string.h>

#include "cfg_test.h"
#include "catalogue.h"
#include "dialogs.h"
#include "file_chooser.h"
#include "launch.h"
#include "run_marker.h"
#include "settings.h"

/* Each setting's values: what they become from either current value (an
   unknown one keeps it); a country is its first character, 0 unless 0..2. */
static int Country(const char *value, int) { return ParseCountry(value); }

TEST(TextRules, SettingValuesBecomeFlags)
{
    struct Row {
        int (*parse)(const char *value, int current);
        const char *value;
        int from0, from1;
    };
    const Row rows[] = {
        { ParseOnOff, "on", 1, 1 }, { ParseOnOff, "ON", 1, 1 }, { ParseOnOff, "oN", 1, 1 },
        { ParseOnOff, "off", 0, 0 }, { ParseOnOff, "OFF", 0, 0 }, { ParseOnOff, "Off", 0, 0 },
        { ParseOnOff, "no", 0, 1 }, { ParseOnOff, "yes", 0, 1 }, { ParseOnOff, "", 0, 1 },
        { ParseOnOff, " on", 0, 1 }, { ParseOnOff, "on ", 0, 1 }, { ParseOnOff, "onn", 0, 1 },
        { ParseOnOff, "of", 0, 1 }, { ParseOnOff, "1", 0, 1 }, { ParseOnOff, "0", 0, 1 },
        { ParseCpuMode, "Interpreter", 0, 0 }, { ParseCpuMode, "INTERPRETER", 0, 0 },
        { ParseCpuMode, "interpreter", 0, 0 }, { ParseCpuMode, "Compiler", 1, 1 },
        { ParseCpuMode, "COMPILER", 1, 1 }, { ParseCpuMode, "fast", 0, 1 }, { ParseCpuMode, "", 0, 1 },
        { ParseCpuMode, "interp", 0, 1 }, { ParseCpuMode, "0", 0, 1 },
        { Country, "0", 0, 0 }, { Country, "1", 1, 1 }, { Country, "2", 2, 2 }, { Country, "21", 2, 2 },
        { Country, "1x", 1, 1 }, { Country, "3", 0, 0 }, { Country, "7", 0, 0 }, { Country, "", 0, 0 },
        { Country, "x", 0, 0 }, { Country, "/", 0, 0 }, { Country, "-1", 0, 0 },
        { Country, "\xB2", 0, 0 }, /* a character above 127 counts as negative */
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string("\"") + row.value + "\"");
        EXPECT_EQ(row.from0, row.parse(row.value, 0));
        EXPECT_EQ(row.from1, row.parse(row.value, 1));
    }
    EXPECT_STREQ("Compiler", CpuModeText(1));
    EXPECT_STREQ("Interpreter", CpuModeText(0));
}

TEST(TextRules, PluginLineShowsTheVersionInHexMajorFirst)
{
    struct Row {
        const char *name;
        uint8_t major, minor;
        const char *line;
    };
    const Row rows[] = {
        { "CDIdle", 1, 0, "CDIdle 1.0" },
        { "X", 1, 10, "X 1.a" },
        { "X", 1, 16, "X 1.10" },
        { "X", 255, 255, "X ff.ff" },
        { "", 0, 0, " 0.0" },
        { "A name with blanks", 2, 1, "A name with blanks 2.1" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        PluginInfo info = MakePluginInfo(PLUGIN_CD, row.major, row.minor, "a", row.name, "d");
        char line[128];
        EXPECT_TRUE(FormatPluginLine(line, sizeof line, &info));
        EXPECT_STREQ(row.line, line);
    }
}

TEST(TextRules, TextsFilledToTheEndAreCutAtTheirLastByte)
{
    PluginInfo info;
    memset(&info, 'z', sizeof info);
    info.versionMajor = 1;
    info.versionMinor = 0;
    /* Without termination the line still stays inside the name field. */
    char line[128];
    FormatPluginLine(line, sizeof line, &info);
    EXPECT_EQ(std::string(64, 'z') + " 1.0", line);

    /* Only the last byte of each text changes. */
    PluginInfo want = info;
    want.author[sizeof want.author - 1] = want.name[sizeof want.name - 1] = '\0';
    want.description[sizeof want.description - 1] = '\0';
    TerminatePluginTexts(&info);
    EXPECT_EQ("", DiffPluginInfo(want, info));
    FormatPluginLine(line, sizeof line, &info);
    EXPECT_EQ(std::string(63, 'z') + " 1.0", line);
}

/* The run marker's one line; anything else in the file is no mark. */
TEST(TextRules, RunMarkerIsOneLineNamingAPlainFileName)
{
    struct Row {
        std::string bytes;
        RunCall call;  /* RUN_NONE: not a mark */
        const char *fileName;
    };
    const std::string longest(MAX_PATH - 1, 'n');
    const Row rows[] = {
        { "about cdidle.dll\r\n", RUN_ABOUT, "cdidle.dll" },
        { "configure cdidle.dll\r\n", RUN_CONFIGURE, "cdidle.dll" },
        { "about my plugin 2.dll\r\n", RUN_ABOUT, "my plugin 2.dll" },
        { "about " + longest + "\r\n", RUN_ABOUT, longest.c_str() },
        { "about n\xe9on.dll\r\n", RUN_ABOUT, "n\xe9on.dll" },
        { "about " + longest + "n\r\n", RUN_NONE, "" },
        { "", RUN_NONE, "" },
        { "about cdidle.dll\n", RUN_NONE, "" },
        { "about cdidle.dll\r\nabout padidle.dll\r\n", RUN_NONE, "" },
        { std::string("about cd\0idle.dll\r\n", 19), RUN_NONE, "" },
        { "About cdidle.dll\r\n", RUN_NONE, "" },
        { "aboutcdidle.dll\r\n", RUN_NONE, "" },
        { "about \r\n", RUN_NONE, "" },
        { "about ..\\KOVA.INI\r\n", RUN_NONE, "" },
        { "about sub/x.dll\r\n", RUN_NONE, "" },
        { "about C:x.dll\r\n", RUN_NONE, "" },
        { "about *.dll\r\n", RUN_NONE, "" },
        { "about \"x.dll\"\r\n", RUN_NONE, "" },
        { "about x\ty.dll\r\n", RUN_NONE, "" },
        { "about ..\r\n", RUN_NONE, "" },
        { "about x.dll.\r\n", RUN_NONE, "" },
        { "about x.dll \r\n", RUN_NONE, "" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.bytes));
        RunMark mark;
        memset(&mark, 0xCC, sizeof mark);
        EXPECT_EQ(row.call != RUN_NONE, ParseRunMark(row.bytes.data(), row.bytes.size(), &mark));
        EXPECT_EQ(row.call, mark.call);
        EXPECT_STREQ(row.fileName, mark.fileName);
        /* Every mark read is one the configurator writes, byte for byte. */
        if (row.call != RUN_NONE) {
            char line[MAX_PATH + 16];
            EXPECT_TRUE(FormatRunMark(line, sizeof line, row.call, row.fileName));
            EXPECT_EQ(row.bytes, line);
        }
    }
    char line[8];
    EXPECT_FALSE(FormatRunMark(line, sizeof line, RUN_ABOUT, "cdidle.dll"));
    EXPECT_STREQ("", line);
    EXPECT_FALSE(FormatRunMark(line, sizeof line, RUN_NONE, "x"));
    EXPECT_STREQ("", line);
}

TEST(TextRules, AboutTextIsThreeLinesWithAnEmptyOneAfterTheFirst)
{
    char text[256];
    memset(text, 0xCC, sizeof text);
    EXPECT_TRUE(FormatAboutText(text, sizeof text));
    EXPECT_STREQ("KOVA Configurator 1.0 Beta 1\r\n\r\nWritten by Tovrin\r\n"
                 "Logo designed by !+Tessel+!.",
                 text);
}

TEST(TextRules, WordsAreSplitOnBlanksOnly)
{
    struct Row {
        const char *line;
        std::vector<std::string> words;
    };
    const Row rows[] = {
        { "", {} },
        { "     ", {} },
        { "one", { "one" } },
        { "   one    two   ", { "one", "two" } },
        { "a\tb c", { "a\tb", "c" } },
        { "\"quoted words\"", { "\"quoted", "words\"" } },
        { "C:\\A B\\X.EXE", { "C:\\A", "B\\X.EXE" } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string("\"") + row.line + "\"");
        std::vector<std::string> words;
        size_t pos = 0, start = 0, length = 0;
        while (NextWord(row.line, &pos, &start, &length))
            words.push_back(std::string(row.line + start, length));
        EXPECT_EQ(row.words, words);
    }
}

TEST(TextRules, CommandLineQuotesWhatTheChildsParserWouldChange)
{
    struct Row {
        const char *words;
        const char *line;
    };
    const Row rows[] = {
        { "", "\"C:\\A B\\KOVA.EXE\"" },
        { "  one  two ", "\"C:\\A B\\KOVA.EXE\" one two" },
        { "a\tb", "\"C:\\A B\\KOVA.EXE\" \"a\tb\"" },
        { "say\"hi\"", "\"C:\\A B\\KOVA.EXE\" \"say\\\"hi\\\"\"" },
        { "x\\\"y", "\"C:\\A B\\KOVA.EXE\" \"x\\\\\\\"y\"" },
        { "tab\tend\\", "\"C:\\A B\\KOVA.EXE\" \"tab\tend\\\\\"" },
        { "C:\\DIR\\ -aD:\\AR\\X.ROM", "\"C:\\A B\\KOVA.EXE\" C:\\DIR\\ -aD:\\AR\\X.ROM" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string("\"") + row.words + "\"");
        char line[256];
        memset(line, 0xCC, sizeof line);
        EXPECT_TRUE(BuildCommandLine(line, sizeof line, "C:\\A B\\KOVA.EXE", row.words));
        EXPECT_STREQ(row.line, line);
    }
    /* Too small: refused, never cut silently. */
    char small[24];
    EXPECT_FALSE(BuildCommandLine(small, sizeof small, "C:\\KOVA.EXE", "one two three"));
    EXPECT_TRUE(BuildCommandLine(small, sizeof small, "C:\\KOVA.EXE", "one two"));
    EXPECT_STREQ("\"C:\\KOVA.EXE\" one two", small);
}

/* The line a child gets, parsed by the rules of the C runtime that
   MinGW programs start with (entry 0 apart). */
static std::vector<std::string> ParseLikeTheRuntime(const char *line)
{
    std::vector<std::string> args;
    const char *p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (!*p)
            break;
        std::string arg;
        bool quoted = false;
        while (*p) {
            if (!quoted && (*p == ' ' || *p == '\t'))
                break;
            size_t backslashes = 0;
            while (*p == '\\') {
                backslashes++;
                p++;
            }
            if (*p == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2)
                    arg += '"';
                else
                    quoted = !quoted;
                p++;
                continue;
            }
            arg.append(backslashes, '\\');
            if (!*p || (!quoted && (*p == ' ' || *p == '\t')))
                break;
            arg += *p++;
        }
        args.push_back(arg);
    }
    return args;
}

TEST(TextRules, EveryWordComesBackWhole)
{
    const char *const words[] = { "plain", "a\tb", "q\"uote", "\"", "\\\"", "end\\", "\\\\", "x\\y",
                                  "-aC:\\AR\\X.ROM", "\t", "a\\\\\"b" };
    for (const char *word : words) {
        SCOPED_TRACE(word);
        char line[256];
        ASSERT_TRUE(BuildCommandLine(line, sizeof line, "C:\\KOVA.EXE", word));
        std::vector<std::string> args = ParseLikeTheRuntime(strchr(line + 1, '"') + 1);
        EXPECT_EQ(std::vector<std::string>({ word }), args) << line;
    }
}

TEST(TextRules, ChooserDirectoryArithmetic)
{
    struct ParentRow {
        const char *dir, *parent;
    };
    const ParentRow parents[] = {
        { "C:\\A\\B\\", "C:\\A\\" }, { "C:\\A\\", "C:\\" }, { "C:\\", "C:\\" },
        { "D:\\PSX\\DEMOS\\", "D:\\PSX\\" }, { "C:\\A B\\", "C:\\" },
    };
    for (const ParentRow &row : parents) {
        char dir[64];
        BufSet(dir, row.dir);
        ParentDirectory(dir);
        EXPECT_STREQ(row.parent, dir) << row.dir;
    }
    struct EntryRow {
        const char *entry;
        bool parent, isDirectory;
        const char *name;
        char drive;
    };
    const EntryRow entries[] = {
        { "[..]", true, true, "..", 0 },
        { "[GAMES]", false, true, "GAMES", 0 },
        { "[a b]", false, true, "a b", 0 },
        { "[-c-]", false, true, "-c-", 'c' },
        { "[-Z-]", false, true, "-Z-", 'Z' },
        { "FILE.EXE", false, false, "", 0 },
        { "[]", false, false, "", 0 },
    };
    for (const EntryRow &row : entries) {
        SCOPED_TRACE(row.entry);
        EXPECT_EQ(row.parent, IsParentEntry(row.entry));
        char name[16];
        EXPECT_EQ(row.isDirectory, DirectoryEntryName(name, sizeof name, row.entry));
        EXPECT_STREQ(row.name, name);
        EXPECT_EQ(row.drive, DriveEntryLetter(row.entry));
    }
}

TEST(TextRules, ChosenFilesBecomeOneMoreWord)
{
    struct Row {
        const char *before, *path;
        int type;
        const char *after;
    };
    const Row rows[] = {
        { "", "C:\\PSX\\DEMO.EXE", CHOOSER_TYPE_PROGRAMS, "C:\\PSX\\DEMO.EXE" },
        { "C:\\PSX\\DEMO.EXE", "D:\\AR\\X.ROM", CHOOSER_TYPE_ACTION_REPLAY,
          "C:\\PSX\\DEMO.EXE -aD:\\AR\\X.ROM" },
        { "", "C:\\CHEATS\\AR.ROM", CHOOSER_TYPE_ACTION_REPLAY, "-aC:\\CHEATS\\AR.ROM" },
        { "-x", "C:\\ANY.TXT", CHOOSER_TYPE_ALL, "-x C:\\ANY.TXT" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.after);
        char line[64];
        BufSet(line, row.before);
        EXPECT_TRUE(AppendChosenFile(line, sizeof line, row.path, row.type));
        EXPECT_STREQ(row.after, line);
        EXPECT_EQ(row.type * 16 + 1, ChooserResultCode(row.type));
        EXPECT_EQ(row.type, ChooserResultType(ChooserResultCode(row.type)));
    }
    /* A path that would not fit leaves the line as it was. */
    char line[20] = "C:\\DEMO.EXE";
    EXPECT_FALSE(AppendChosenFile(line, sizeof line, "D:\\X.ROM", CHOOSER_TYPE_ACTION_REPLAY));
    EXPECT_STREQ("C:\\DEMO.EXE", line);

    struct TypeRow {
        int type;
        const char *text;
        std::vector<std::string> patterns;
    };
    const TypeRow types[] = {
        { 0, "PSX executables (*.exe, *.cpe, *.elf, *.out)", { "*.exe", "*.cpe", "*.elf", "*.out" } },
        { 1, "Action Replay images (*.rom, *.bin)", { "*.rom", "*.bin" } },
        { 2, "All files (*.*)", { "*.*" } },
    };
    for (const TypeRow &row : types) {
        EXPECT_STREQ(row.text, ChooserTypeText(row.type));
        std::vector<std::string> patterns;
        for (const char *const *p = ChooserTypePatterns(row.type); *p; p++)
            patterns.push_back(*p);
        EXPECT_EQ(row.patterns, patterns);
    }
    EXPECT_EQ(NULL, ChooserTypePatterns(3));
    EXPECT_EQ(NULL, ChooserTypePatterns(-1));
}
