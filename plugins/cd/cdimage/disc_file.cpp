#include "disc_file.h"

#include <windows.h>
#include <string.h>

int DiscFileOpen(DiscFile *file, const wchar_t *path)
{
    memset(file, 0, sizeof *file);
    file->position = -1;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return DISC_FILE_FOLDER;
    HANDLE handle = CreateFileW(path, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? DISC_FILE_MISSING
                                                                               : DISC_FILE_UNREADABLE;
    }
    LARGE_INTEGER bytes;
    if (!GetFileSizeEx(handle, &bytes) || bytes.QuadPart < 0) {
        CloseHandle(handle);
        return DISC_FILE_UNREADABLE;
    }
    file->handle = handle;
    file->size = bytes.QuadPart;
    return DISC_FILE_OK;
}

int64_t DiscFileSize(const DiscFile *file)
{
    return file->size;
}

uint32_t DiscFileRead(DiscFile *file, int64_t offset, void *dst, uint32_t size)
{
    if (!file->handle || offset < 0)
        return 0;
    HANDLE handle = static_cast<HANDLE>(file->handle);
    if (file->position != offset) {
        LARGE_INTEGER at;
        at.QuadPart = offset;
        if (!SetFilePointerEx(handle, at, NULL, FILE_BEGIN)) {
            file->position = -1;
            return 0;
        }
    }
    DWORD got = 0;
    if (!ReadFile(handle, dst, size, &got, NULL)) {
        file->position = -1;
        return 0;
    }
    file->position = offset + got;
    return got;
}

void DiscFileClose(DiscFile *file)
{
    if (file->handle)
        CloseHandle(static_cast<HANDLE>(file->handle));
    file->handle = NULL;
    file->size = 0;
    file->position = -1;
}
