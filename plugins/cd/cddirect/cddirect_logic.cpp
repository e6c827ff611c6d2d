#include "cddirect_logic.h"

int64_t SectorOffset(int32_t sector)
{
    return static_cast<int64_t>(sector) * CD_COOKED_SECTOR_SIZE;
}

/* Number of TRACK_DATA entries that the drive filled, as the record's
   Length field (big-endian, counting the bytes after itself) tells it;
   never more than the record holds. */
static int TocEntryCount(const CDROM_TOC *toc)
{
    /* Length counts FirstTrack, LastTrack and the entries, not itself. */
    int length = (toc->Length[0] << 8) | toc->Length[1];
    int entries = (length - 2) / static_cast<int>(sizeof(TRACK_DATA));
    if (entries < 0)
        return 0;
    if (entries > MAXIMUM_NUMBER_TRACKS)
        return MAXIMUM_NUMBER_TRACKS;
    return entries;
}

bool TocTrackStart(const CDROM_TOC *toc, int32_t track, uint8_t msf[3])
{
    int entries = TocEntryCount(toc);
    for (int i = 0; i < entries; i++) {
        const TRACK_DATA *entry = &toc->TrackData[i];
        if (entry->TrackNumber != track)
            continue;
        msf[0] = NumberFromBcd(entry->Address[1]);
        msf[1] = NumberFromBcd(entry->Address[2]);
        msf[2] = NumberFromBcd(entry->Address[3]);
        return true;
    }
    return false;
}

void FormDevicePath(char *path, char letter)
{
    static const char kTemplate[CD_DEVICE_PATH_SIZE] = "\\\\.\\?:";
    for (int i = 0; i < CD_DEVICE_PATH_SIZE; i++)
        path[i] = kTemplate[i];
    path[4] = letter;
}

int CollectCdDrives(char *letters, DriveTypeFn driveType)
{
    int count = 0;
    for (char letter = 'A'; letter <= 'Z'; letter++) {
        const char root[3] = { letter, ':', '\0' };
        if (driveType(root) == DRIVE_CDROM && count < CD_DRIVE_LETTER_COUNT)
            letters[count++] = letter;
    }
    return count;
}
