#include "text_rules.h"

#include <string.h>

#include "kova_str.h"

/* ---- settings values ---- */

int ParseOnOff(const char *value, int current)
{
    if (TextEqualsNoCase(value, "off"))
        return 0;
    if (TextEqualsNoCase(value, "on"))
        return 1;
    return current;
}

int ParseCpuMode(const char *value, int current)
{
    if (TextEqualsNoCase(value, "interpreter"))
        return 0;
    if (TextEqualsNoCase(value, "compiler"))
        return 1;
    return current;
}

int ParseCountry(const char *value)
{
    int country = static_cast<signed char>(value[0]) - '0';
    return static_cast<unsigned>(country) <= 2 ? country : 0;
}

const char *OnOffText(int flag)
{
    return flag ? "on" : "off";
}

const char *CpuModeText(int cpuMode)
{
    return cpuMode == 1 ? "Compiler" : "Interpreter";
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

/* The value without the blanks around it: start and length. */
static void TrimmedValue(const char *value, const char **start, size_t *length)
{
    while (IsBlank(*value))
        value++;
    size_t n = strlen(value);
    while (n && IsBlank(value[n - 1]))
        n--;
    *start = value;
    *length = n;
}

bool SameSettingValue(const char *written, const char *read)
{
    const char *a, *b;
    size_t na, nb;
    TrimmedValue(written, &a, &na);
    TrimmedValue(read, &b, &nb);
    return na == nb && memcmp(a, b, na) == 0;
}

unsigned long long ClustersFor(unsigned long long bytes, unsigned long long cluster)
{
    if (cluster == 0)
        return bytes;
    return (bytes + cluster - 1) / cluster * cluster + cluster;
}

bool IsSaveTemporaryName(const char *name)
{
    static const char kPrefix[] = SAVE_TEMPORARY_PREFIX;
    size_t prefix = sizeof kPrefix - 1;
    size_t length = strlen(name);
    if (length < prefix + 1 + 4 || length > prefix + 4 + 4)
        return false;
    char head[sizeof kPrefix];
    memcpy(head, name, prefix);
    head[prefix] = '\0';
    if (!TextEqualsNoCase(head, kPrefix) || !TextEqualsNoCase(name + length - 4, ".tmp"))
        return false;
    for (size_t i = prefix; i < length - 4; i++) {
        char c = name[i];
        bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex)
            return false;
    }
    return true;
}

/* ---- plugin information ---- */

void TerminatePluginTexts(PluginInfo *info)
{
    BufTerminate(info->author, sizeof info->author);
    BufTerminate(info->name, sizeof info->name);
    BufTerminate(info->description, sizeof info->description);
}

bool FormatPluginLine(char *dst, size_t dstSize, const PluginInfo *info)
{
    /* The precision keeps the read inside the field even for a record that
       has not been through TerminatePluginTexts. */
    int nameLength = static_cast<int>(BufLength(info->name, sizeof info->name));
    return BufFormat(dst, dstSize, "%.*s %x.%x", nameLength, info->name,
                     static_cast<unsigned>(info->versionMajor),
                     static_cast<unsigned>(info->versionMinor));
}

/* ---- program about box ---- */

bool FormatAboutText(char *dst, size_t dstSize)
{
    return BufFormat(dst, dstSize,
                     "KOVA Configurator 1.0 Beta 1%c%c%c%cWritten by Tovrin%c%c"
                     "Logo designed by !+Tessel+!.",
                     13, 10, 13, 10, 13, 10);
}

/* ---- emulator command line ---- */

bool NextWord(const char *text, size_t *pos, size_t *start, size_t *length)
{
    size_t p = *pos;
    while (text[p] == ' ')
        p++;
    if (text[p] == '\0') {
        *pos = p;
        return false;
    }
    *start = p;
    while (text[p] != '\0' && text[p] != ' ')
        p++;
    *length = p - *start;
    *pos = p;
    return true;
}

static bool PutChar(char *dst, size_t dstSize, size_t *used, char c)
{
    if (*used + 1 >= dstSize)
        return false;
    dst[(*used)++] = c;
    dst[*used] = '\0';
    return true;
}

static bool NeedsQuotes(const char *word, size_t length)
{
    if (length == 0)
        return true;
    for (size_t i = 0; i < length; i++) {
        char c = word[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '"')
            return true;
    }
    return false;
}

bool AppendArgument(char *dst, size_t dstSize, const char *word, size_t length)
{
    if (dstSize == 0)
        return false;
    size_t used = BufLength(dst, dstSize);
    if (used >= dstSize) {
        dst[dstSize - 1] = '\0';
        return false;
    }
    if (used > 0 && !PutChar(dst, dstSize, &used, ' '))
        return false;
    if (!NeedsQuotes(word, length)) {
        for (size_t i = 0; i < length; i++)
            if (!PutChar(dst, dstSize, &used, word[i]))
                return false;
        return true;
    }
    /* The runtime's rules: 2n backslashes before a quote give n backslashes,
       2n+1 give n and a literal quote; backslashes elsewhere are literal. */
    if (!PutChar(dst, dstSize, &used, '"'))
        return false;
    size_t backslashes = 0;
    for (size_t i = 0; i < length; i++) {
        char c = word[i];
        if (c == '\\') {
            backslashes++;
            continue;
        }
        size_t times = (c == '"') ? 2 * backslashes + 1 : backslashes;
        for (size_t k = 0; k < times; k++)
            if (!PutChar(dst, dstSize, &used, '\\'))
                return false;
        backslashes = 0;
        if (!PutChar(dst, dstSize, &used, c))
            return false;
    }
    /* Backslashes before the closing quote are doubled too. */
    for (size_t k = 0; k < 2 * backslashes; k++)
        if (!PutChar(dst, dstSize, &used, '\\'))
            return false;
    return PutChar(dst, dstSize, &used, '"');
}

bool BuildCommandLine(char *dst, size_t dstSize, const char *program, const char *words)
{
    if (dstSize == 0)
        return false;
    dst[0] = '\0';
    /* Entry 0 is read up to the next quote without escapes; a path never
       holds a quote, so plain quotes keep a blank in the program directory
       from splitting it. */
    if (!BufSet(dst, dstSize, "\"") || !BufAppend(dst, dstSize, program) ||
        !BufAppend(dst, dstSize, "\""))
        return false;
    size_t pos = 0, start = 0, length = 0;
    while (NextWord(words, &pos, &start, &length))
        if (!AppendArgument(dst, dstSize, words + start, length))
            return false;
    return true;
}

/* ---- file chooser ---- */

static const char *const kProgramPatterns[] = { "*.exe", "*.cpe", "*.elf", "*.out", NULL };
static const char *const kActionReplayPatterns[] = { "*.rom", "*.bin", NULL };
static const char *const kAllPatterns[] = { "*.*", NULL };

static const struct {
    const char *text;
    const char *const *patterns;
} kChooserTypes[CHOOSER_TYPE_COUNT] = {
    { "PSX executables (*.exe, *.cpe, *.elf, *.out)", kProgramPatterns },
    { "Action Replay images (*.rom, *.bin)", kActionReplayPatterns },
    { "All files (*.*)", kAllPatterns },
};

const char *ChooserTypeText(int type)
{
    return (type >= 0 && type < CHOOSER_TYPE_COUNT) ? kChooserTypes[type].text : NULL;
}

const char *const *ChooserTypePatterns(int type)
{
    return (type >= 0 && type < CHOOSER_TYPE_COUNT) ? kChooserTypes[type].patterns : NULL;
}

int ChooserResultCode(int type)
{
    return type * 16 + 1;
}

int ChooserResultType(int code)
{
    return code >> 4;
}

void ParentDirectory(char *dir)
{
    size_t length = strlen(dir);
    /* "C:\" and anything shorter is a root. */
    if (length <= 3)
        return;
    size_t end = length - 1; /* the final backslash */
    while (end > 0 && dir[end - 1] != '\\')
        end--;
    if (end < 3)
        return;
    dir[end] = '\0';
}

bool IsParentEntry(const char *entry)
{
    return strcmp(entry, "[..]") == 0;
}

bool DirectoryEntryName(char *dst, size_t dstSize, const char *entry)
{
    size_t length = strlen(entry);
    if (dstSize == 0 || length < 3 || entry[0] != '[' || entry[length - 1] != ']') {
        if (dstSize)
            dst[0] = '\0';
        return false;
    }
    if (length - 2 >= dstSize) {
        dst[0] = '\0';
        return false;
    }
    memcpy(dst, entry + 1, length - 2);
    dst[length - 2] = '\0';
    return true;
}

char DriveEntryLetter(const char *entry)
{
    if (strlen(entry) >= 5 && entry[0] == '[' && entry[1] == '-' && entry[3] == '-' &&
        entry[4] == ']')
        return entry[2];
    return 0;
}

bool AppendChosenFile(char *line, size_t lineSize, const char *path, int type)
{
    size_t used = BufLength(line, lineSize);
    size_t need = used + (used ? 1 : 0) + (type == CHOOSER_TYPE_ACTION_REPLAY ? 2 : 0) +
                  strlen(path);
    if (used >= lineSize || need >= lineSize)
        return false;
    if (used)
        BufAppend(line, lineSize, " ");
    if (type == CHOOSER_TYPE_ACTION_REPLAY)
        BufAppend(line, lineSize, "-a");
    BufAppend(line, lineSize, path);
    return true;
}
