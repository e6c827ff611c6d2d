#include "cd_test_disc.h"

#include "kova_test.h"

std::string ImageDiff(const uint8_t *image, const uint8_t msf[3], const DeviceBytes &device,
                      int good)
{
    int64_t sector = (msf[0] * 60 + msf[1]) * 75 + msf[2] - 150;
    for (int i = 0; i < CD_SECTOR_IMAGE_SIZE; i++) {
        uint8_t want = 0;
        if (i < 3)
            want = static_cast<uint8_t>((msf[i] / 10) << 4 | msf[i] % 10);
        else if (i >= 12 && i < 12 + good)
            want = device(sector * 2048 + (i - 12));
        if (image[i] != want) {
            char what[128];
            BufFormat(what, sizeof what, "%u:%u:%u byte %d: 0x%02x, expected 0x%02x", msf[0],
                      msf[1], msf[2], i, image[i], want);
            return what;
        }
    }
    return "";
}

std::vector<uint8_t> ImageBytes(const uint8_t *image)
{
    return std::vector<uint8_t>(image, image + CD_SECTOR_IMAGE_SIZE);
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

bool MakeIsoImage(const std::string &folder, const std::string &image)
{
    return RunUnix("genisoimage -quiet -o '" + UnixPath(image) + "' '" + UnixPath(folder) + "'") == 0;
}
