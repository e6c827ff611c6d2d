/* Listing the files of a folder, and the prefix of the temporary files
   that whole-file writes leave beside their target only while they run. */
#ifndef KOVA_FILES_H
#define KOVA_FILES_H

#include <windows.h>

/* GetTempFileNameA's prefix for them: "kov" + up to 4 hex digits + ".tmp". */
#define SAVE_TEMPORARY_PREFIX "kov"

/* Calls visit(name) with the bare name of every file that matches pattern
   (a path ending in a wildcard name such as "C:\EMU\PLUGIN\*.dll"), in the
   order the search delivers them; folders are passed over, also those
   whose names match. visit returns false to end the search early. The
   search is always closed again. Returns how many files were visited. */
template <typename Visit>
int ForEachFile(const char *pattern, Visit visit)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int visited = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        visited++;
        if (!visit(static_cast<const char *>(found.cFileName)))
            break;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return visited;
}

#endif
