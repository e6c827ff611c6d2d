/* The configurator's text rules, by table. */
#include <string.h>

#include "cfg_test.h"
#include "text_rules.h"

TEST(TextRules, OnOffValuesIgnoreCaseAndUnknownOnesKeepTheFlag)
{
    struct Row {
        const char *value;
        int from0, from1;
    };
    const Row rows[] = {
        { "on", 1, 1 }, { "ON", 1, 1 }, { "oN", 1, 1 },
        { "off", 0, 0 }, { "OFF", 0, 0 }, { "Off", 0, 0 },
        { "no", 0, 1 }, { "yes", 0, 1 }, { "", 0, 1 }, { " on", 0, 1 }, { "on ", 0, 1 },
        { "onn", 0, 1 }, { "of", 0, 1 }, { "1", 0, 1 }, { "0", 0, 1 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string("\"") + row.value + "\"");
        EXPECT_EQ(row.from0, ParseOnOff(row.value, 0));
        EXPECT_EQ(row.from1, ParseOnOff(row.value, 1));
    }
}

TEST(TextRules, CpuModeValues)
{
    struct Row {
        const char *value;
        int from0, from1;
    };
    const Row rows[] = {
        { "Interpreter", 0, 0 }, { "INTERPRETER", 0, 0 }, { "interpreter", 0, 0 },
        { "Compiler", 1, 1 }, { "COMPILER", 1, 1 },
        { "fast", 0, 1 }, { "", 0, 1 }, { "interp", 0, 1 }, { "0", 0, 1 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string("\"") + row.value + "\"");
        EXPECT_EQ(row.from0, ParseCpuMode(row.value, 0));
        EXPECT_EQ(row.from1, ParseCpuMode(row.value, 1));
    }
    EXPECT_STREQ("Compiler", CpuModeText(1));
    EXPECT_STREQ("Interpreter", CpuModeText(0));
}

TEST(TextRules, CountryIsTheFirstCharacterOnly)
{
    struct Row {
        const char *value;
        int country;
    };
    const Row rows[] = {
        { "0", 0 }, { "1", 1 }, { "2", 2 }, { "21", 2 }, { "1x", 1 },
        { "3", 0 }, { "7", 0 }, { "", 0 }, { "x", 0 }, { "/", 0 }, { "-1", 0 },
        { "\xB2", 0 }, /* a character above 127 counts as negative */
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string("\"") + row.value + "\"");
        EXPECT_EQ(row.country, ParseCountry(row.value));
    }
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

    TerminatePluginTexts(&info);
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&info);
    for (size_t i = 0; i < sizeof info; i++) {
        bool terminator = i == 67 || i == 131 || i == 1155;
        if (i == 1 || i == 2)
            continue;
        EXPECT_EQ(terminator ? 0 : 'z', bytes[i]) << "byte " << i;
    }
    FormatPluginLine(line, sizeof line, &info);
    EXPECT_EQ(std::string(63, 'z') + " 1.0", line);
    EXPECT_EQ(63u, strlen(info.author));
    EXPECT_EQ(1023u, strlen(info.description));
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
