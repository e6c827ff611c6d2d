#include "cd_test_disc.h"

#include <string.h>

#include <ostream>

#include "kova_test.h"

void MsfFromSector(int32_t sector, uint8_t msf[3])
{
    int32_t frames = sector + 150;
    msf[0] = static_cast<uint8_t>(frames / (60 * 75));
    msf[1] = static_cast<uint8_t>(frames / 75 % 60);
    msf[2] = static_cast<uint8_t>(frames % 75);
}

std::string TestDiscImagePath()
{
    /* Wine hands the Unix environment on: the prefix the test runs in. */
    char prefix[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    std::string dir;
    if (n > 0 && n < sizeof prefix && prefix[0] == '/') {
        dir = std::string("Z:") + prefix;
        for (char &c : dir)
            if (c == '/')
                c = '\\';
        dir += '\\';
    } else {
        dir = std::string(KOVA_BUILD_DIR) + "wineprefix\\";
    }
    return dir + "kova-disc\\kova.iso";
}

struct Answer {
    std::string section, key, value;
};
static std::vector<Answer> Answers;
static std::vector<SettingCall> Reads, Writes;
static RecordingHost *Active;

static int32_t KOVA_CALL RecordRead(const char *section, const char *key, char *out)
{
    std::string value;
    for (const Answer &a : Answers)
        if (a.section == section && a.key == key)
            value = a.value;
    Reads.push_back({ section, key, value });
    BufSet(out, KOVA_SETTING_SIZE, value.c_str());
    return 0;
}

static int32_t KOVA_CALL RecordWrite(const char *section, const char *key, const char *value)
{
    Writes.push_back({ section, key, value });
    return 0;
}

RecordingHost::RecordingHost()
{
    EXPECT_TRUE(Active == NULL) << "one RecordingHost at a time";
    Active = this;
    Clear();
    memset(&record, 0, sizeof record);
    record.readSetting = RecordRead;
    record.writeSetting = RecordWrite;
}

RecordingHost::~RecordingHost()
{
    Active = NULL;
}

void RecordingHost::Clear()
{
    Answers.clear();
    Reads.clear();
    Writes.clear();
}

void RecordingHost::Answer(const char *section, const char *key, const char *value)
{
    Answers.push_back({ section, key, value });
}

const std::vector<SettingCall> &RecordingHost::reads() const
{
    return Reads;
}

const std::vector<SettingCall> &RecordingHost::writes() const
{
    return Writes;
}

void PrintTo(const SettingCall &call, std::ostream *os)
{
    *os << "[" << call.section << "] " << call.key << "=\"" << call.value << "\"";
}
