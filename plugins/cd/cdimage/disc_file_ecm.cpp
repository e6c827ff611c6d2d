#include "disc_file_ecm.h"

#include <stdlib.h>
#include <string.h>

#include "disc.h"
#include "ecm_stream.h"
#include "kova_str.h"

struct EcmFile {
    EcmIndex index;
    EcmSource source;
};

static char Problem[DISC_TEXT_SIZE];
static wchar_t Opened[ECM_FILES_KEPT][DISC_PATH_SIZE];
static int OpenedCount;

const char *DiscFileProblem(void)
{
    return Problem;
}

static bool ReadStored(void *file, int64_t offset, void *dst, uint32_t size)
{
    return DiscFileReadStored(static_cast<DiscFile *>(file), offset, dst, size) == size;
}

static void Remember(const wchar_t *path)
{
    size_t length = wcslen(path);
    if (length >= DISC_PATH_SIZE)
        return;
    for (int i = 0; i < OpenedCount; i++) {
        if (wcscmp(Opened[i], path) == 0)
            return;
    }
    if (OpenedCount < ECM_FILES_KEPT)
        wmemcpy(Opened[OpenedCount++], path, length + 1);
}

int EcmFileOpen(DiscFile *file, const wchar_t *path)
{
    EcmFile *ecm = static_cast<EcmFile *>(calloc(1, sizeof(EcmFile)));
    if (!ecm) {
        BufSet(Problem, "no memory for the ECM file's index");
        return DISC_FILE_DAMAGED;
    }
    /* The source reads the file as stored: unpacked is set only after. */
    ecm->source.file = file;
    ecm->source.readAt = ReadStored;
    if (!EcmIndexStream(&ecm->index, &ecm->source, file->size, Problem, sizeof Problem)) {
        free(ecm);
        return DISC_FILE_DAMAGED;
    }
    file->unpacked = ecm;
    file->size = ecm->index.size;
    Remember(path);
    return DISC_FILE_OK;
}

uint32_t EcmFileRead(DiscFile *file, int64_t offset, void *dst, uint32_t size)
{
    EcmFile *ecm = static_cast<EcmFile *>(file->unpacked);
    if (offset < 0 || offset >= file->size)
        return 0;
    if (static_cast<int64_t>(size) > file->size - offset)
        size = static_cast<uint32_t>(file->size - offset);
    /* The source's file is this one, wherever the caller keeps it now. */
    ecm->source.file = file;
    return EcmRead(&ecm->index, &ecm->source, static_cast<uint32_t>(offset), dst, size) ? size : 0;
}

void EcmFileClose(DiscFile *file)
{
    EcmFile *ecm = static_cast<EcmFile *>(file->unpacked);
    if (!ecm)
        return;
    EcmFree(&ecm->index);
    free(ecm);
    file->unpacked = NULL;
}

void EcmFilesForget(void)
{
    OpenedCount = 0;
}

int EcmFilesOpened(void)
{
    return OpenedCount;
}

const wchar_t *EcmFileOpened(int index)
{
    return index >= 0 && index < OpenedCount ? Opened[index] : L"";
}
