/* KOVA.INI changed only whole: a batch's writes in a copy beside the file,
 * read back, then moved into its place. */
#include "kova_ini.h"

#include <string.h>

#include "kova_files.h"
#include "kova_module.h"
#include "kova_str.h"

/* The writes of the batch, in their order, for reading them back. Their
   texts are kept in textRoom; a batch that outgrows either reaches the
   file as it stands, and a new one goes on. */
enum { MAX_WRITES = 64, TEXT_ROOM = 64 * 1024 };
struct IniWrite {
    const char *section, *key, *value;  /* key, value: null as they were given */
};
static IniWrite writes[MAX_WRITES];
static int writeCount;
static char textRoom[TEXT_ROOM];
static size_t textUsed;

static bool batchOpen;
static bool batchFailed;
static char filePath[MAX_PATH];
static char copyPath[MAX_PATH];  /* empty until the batch's first write */
static bool fileExisted;

/* Lists of names as the profile functions give them (NUL-separated, an
   empty name last) and the two values compared. Far more than a settings
   file holds; a list that does not fit counts as not read back. */
static char sectionNames[65536];
static char keyNames[65536];
static char valueBefore[32768];
static char valueAfter[32768];

/* A copy of text in textRoom; false when it does not fit. */
static bool KeepText(const char *text, const char **kept)
{
    *kept = NULL;
    if (!text)
        return true;
    size_t size = strlen(text) + 1;
    if (size > sizeof textRoom - textUsed)
        return false;
    char *place = textRoom + textUsed;
    memcpy(place, text, size);
    textUsed += size;
    *kept = place;
    return true;
}

static bool RecordWrite(const char *section, const char *key, const char *value)
{
    if (writeCount >= MAX_WRITES)
        return false;
    size_t mark = textUsed;
    IniWrite &write = writes[writeCount];
    if (!KeepText(section, &write.section) || !KeepText(key, &write.key) ||
        !KeepText(value, &write.value)) {
        textUsed = mark;
        return false;
    }
    writeCount++;
    return true;
}

/* Drops the profile functions' cached copy of a file, so that the next
   read sees what is on the disk and not what was meant to be written. */
static void ForgetCachedCopy(const char *path)
{
    WritePrivateProfileStringA(NULL, NULL, NULL, path);
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

/* Whether a value read back is the one written: reading drops the blanks
   and tabs around a value, and one pair of quotes around it. */
static bool SameIniValue(const char *written, const char *read)
{
    while (IsBlank(*written))
        written++;
    size_t n = strlen(written);
    while (n && IsBlank(written[n - 1]))
        n--;
    size_t readLength = strlen(read);
    if (readLength == n && memcmp(written, read, n) == 0)
        return true;
    bool quoted = n >= 2 && (written[0] == '"' || written[0] == '\'') && written[n - 1] == written[0];
    return quoted && readLength == n - 2 && memcmp(written + 1, read, n - 2) == 0;
}

/* What the batch left of section/key: true, with its value ("" for
   removed), when a write of the batch decides it. */
static bool BatchValue(const char *section, const char *key, const char **value)
{
    for (int i = writeCount - 1; i >= 0; i--) {
        const IniWrite &write = writes[i];
        if (TextEqualsNoCase(write.section, section) && (!write.key || TextEqualsNoCase(write.key, key))) {
            *value = write.key && write.value ? write.value : "";
            return true;
        }
    }
    return false;
}

static bool WritesReadBack()
{
    for (int i = 0; i < writeCount; i++) {
        const char *want;
        if (!writes[i].key || !BatchValue(writes[i].section, writes[i].key, &want))
            continue;
        GetPrivateProfileStringA(writes[i].section, writes[i].key, "", valueAfter, sizeof valueAfter,
                                 copyPath);
        if (!SameIniValue(want, valueAfter))
            return false;
    }
    return true;
}

/* Every key of the file that the batch did not decide still has its old
   value in the copy: the other sections and anything else kept there. */
static bool OtherKeysSurvived()
{
    DWORD n = GetPrivateProfileSectionNamesA(sectionNames, sizeof sectionNames, filePath);
    if (n >= sizeof sectionNames - 2)
        return false;
    for (const char *section = sectionNames; *section; section += strlen(section) + 1) {
        n = GetPrivateProfileStringA(section, NULL, "", keyNames, sizeof keyNames, filePath);
        if (n >= sizeof keyNames - 2)
            return false;
        for (const char *key = keyNames; *key; key += strlen(key) + 1) {
            GetPrivateProfileStringA(section, key, "", valueAfter, sizeof valueAfter, copyPath);
            const char *want;
            if (BatchValue(section, key, &want)) {
                if (!SameIniValue(want, valueAfter))
                    return false;
                continue;
            }
            GetPrivateProfileStringA(section, key, "", valueBefore, sizeof valueBefore, filePath);
            if (strcmp(valueBefore, valueAfter) != 0)
                return false;
        }
    }
    return true;
}

/* The copy the batch writes into: the file's bytes beside it, or an empty
   file where there is none yet. Windows refuses to replace a read-only
   file; the check makes it so also where the owner could write anyway. */
static bool MakeCopy(const char *path)
{
    char folder[MAX_PATH];
    DWORD attributes = GetFileAttributesA(path);
    if (!BufSet(filePath, path) || !BufSet(folder, path) ||
        (attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))))
        return false;
    CutAfterLastBackslash(folder);
    if (!GetTempFileNameA(folder, SAVE_TEMPORARY_PREFIX, 0, copyPath)) {
        copyPath[0] = '\0';
        return false;
    }
    fileExisted = attributes != INVALID_FILE_ATTRIBUTES;
    /* A file another program holds open cannot be copied, nor replaced. */
    if (fileExisted && !CopyFileA(path, copyPath, FALSE)) {
        DeleteFileA(copyPath);
        copyPath[0] = '\0';
        return false;
    }
    return true;
}

/* Puts the batch's copy in the file's place when every write reads back
   and nothing else was lost; removes it otherwise. */
static bool CommitBatch()
{
    bool ok = !batchFailed;
    if (copyPath[0]) {
        ForgetCachedCopy(copyPath);
        ok = ok && WritesReadBack() && (!fileExisted || OtherKeysSurvived());
        ForgetCachedCopy(copyPath);
        ok = ok && MoveFileExA(copyPath, filePath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!ok)
            DeleteFileA(copyPath);
        ForgetCachedCopy(filePath);
        copyPath[0] = '\0';
    }
    writeCount = 0;
    textUsed = 0;
    return ok;
}

void BeginIniWrites()
{
    if (batchOpen)
        EndIniWrites();
    batchOpen = true;
    batchFailed = false;
}

bool EndIniWrites()
{
    bool ok = CommitBatch();
    batchOpen = false;
    batchFailed = false;
    return ok;
}

static void WriteInBatch(const char *path, const char *section, const char *key, const char *value)
{
    /* A null section is the profile functions' way of flushing their cache,
       not a write. */
    if (!section || (copyPath[0] && !TextEqualsNoCase(path, filePath))) {
        batchFailed = true;
        return;
    }
    if (!RecordWrite(section, key, value)) {
        if (!CommitBatch() || !RecordWrite(section, key, value)) {
            batchFailed = true;
            return;
        }
    }
    if (!copyPath[0] && !MakeCopy(path)) {
        batchFailed = true;
        return;
    }
    if (!WritePrivateProfileStringA(section, key, value, copyPath))
        batchFailed = true;
}

bool WriteIniValue(const char *path, const char *section, const char *key, const char *value)
{
    if (!batchOpen) {
        BeginIniWrites();
        WriteInBatch(path, section, key, value);
        return EndIniWrites();
    }
    WriteInBatch(path, section, key, value);
    return !batchFailed;
}

DWORD ReadIniValue(const char *path, const char *section, const char *key, char *out, DWORD size)
{
    const char *from = copyPath[0] && TextEqualsNoCase(path, filePath) ? copyPath : path;
    return GetPrivateProfileStringA(section, key, "", out, size, from);
}
