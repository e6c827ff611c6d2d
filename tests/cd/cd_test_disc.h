/* Helpers of the CD tests: disc addresses, the test prefix's disc image and
 * a host record that records what a plugin reads and writes. */
#ifndef CD_TEST_DISC_H
#define CD_TEST_DISC_H

#include <stdint.h>
#include <string>
#include <vector>

#include "kova_plugin.h"

/* The plain minute, second, frame of a sector number >= 0. */
void MsfFromSector(int32_t sector, uint8_t msf[3]);

/* The test prefix's drive E: is a CD-ROM drive whose raw device is this
   ISO 9660 image (tests/rig/prefix.d/20-cdrom.sh). */
#define TEST_CD_DRIVE 'E'
std::string TestDiscImagePath();

/* A HostServices record whose readSetting answers from a table and whose
   writeSetting records every call. One at a time. */
struct SettingCall {
    std::string section, key, value;
    bool operator==(const SettingCall &o) const
    {
        return section == o.section && key == o.key && value == o.value;
    }
};
class RecordingHost {
public:
    RecordingHost();
    ~RecordingHost();
    HostServices record;
    /* What readSetting delivers for section/key ("" for anything else). */
    void Answer(const char *section, const char *key, const char *value);
    /* Forgets the answers and what was recorded. */
    void Clear();
    const std::vector<SettingCall> &reads() const;   /* value = what was answered */
    const std::vector<SettingCall> &writes() const;
};
void PrintTo(const SettingCall &call, std::ostream *os);

#endif
