/* Files written whole beside their place and moved into it, the room they
 * take, and the removal of the temporary files an interrupted write left. */
#include "file_write.h"

#include <string.h>
#include <wchar.h>

#include "configurator.h"
#include "kova_module.h"
#include "kova_str.h"

bool WriteWholeFile(const char *path, const void *data, unsigned long size, unsigned long moveFlags)
{
    wchar_t wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide, MAX_PATH)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return WriteWholeFileW(wide, data, size, moveFlags);
}

bool WriteWholeFileW(const wchar_t *path, const void *data, unsigned long size, unsigned long moveFlags)
{
    wchar_t folder[MAX_PATH], temporary[MAX_PATH];
    size_t length = wcslen(path);
    if (length >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    wmemcpy(folder, path, length + 1);
    wchar_t *slash = wcsrchr(folder, L'\\');
    if (slash)
        slash[1] = L'\0';
    if (!GetTempFileNameW(folder, L"" SAVE_TEMPORARY_PREFIX, 0, temporary))
        return false;
    HANDLE out = CreateFileW(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             NULL);
    DWORD written = 0;
    bool ok = out != INVALID_HANDLE_VALUE &&
              (size == 0 || (WriteFile(out, data, size, &written, NULL) && written == size)) &&
              FlushFileBuffers(out);
    if (out != INVALID_HANDLE_VALUE && !CloseHandle(out))
        ok = false;
    if (ok && MoveFileExW(temporary, path, moveFlags | MOVEFILE_WRITE_THROUGH))
        return true;
    DWORD error = GetLastError();
    DeleteFileW(temporary);
    SetLastError(error);
    return false;
}

/* Whether a file name is one of the temporary files: the prefix, one to
   four hex digits and ".tmp", in any letter case, as GetTempFileNameA
   makes them. */
static bool IsSaveTemporaryName(const char *name)
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

void RemoveLeftoverTemporaryFiles(const char *relative)
{
    char pattern[MAX_PATH];
    if (!ProgramPath(pattern, sizeof pattern, relative, SAVE_TEMPORARY_PREFIX "*.tmp"))
        return;
    ForEachFile(pattern, [relative](const char *name) {
        char path[MAX_PATH];
        if (IsSaveTemporaryName(name) && ProgramPath(path, sizeof path, relative, name))
            DeleteFileA(path);
        return true;
    });
}

unsigned long long ClustersFor(unsigned long long bytes, unsigned long long cluster)
{
    if (cluster == 0)
        return bytes;
    return (bytes + cluster - 1) / cluster * cluster + cluster;
}

ULONGLONG ClusterSize(const char *folder)
{
    char root[MAX_PATH];
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (GetVolumePathNameA(folder, root, sizeof root) &&
        GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) &&
        sectorsPerCluster && bytesPerSector)
        return static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector;
    return 4096;
}

bool FreeBytes(const char *folder, ULONGLONG *bytes)
{
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA(folder, &available, &total, &free))
        return false;
    *bytes = available.QuadPart;
    return true;
}

ULONGLONG FileSizeOf(const char *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
