#include "cd_test_disc.h"

#include <string.h>

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
