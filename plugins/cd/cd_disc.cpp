#include "cd_disc.h"

int32_t SectorFromMsf(const uint8_t msf[3])
{
    return (msf[0] * CD_SECONDS_PER_MINUTE + msf[1]) * CD_FRAMES_PER_SECOND + msf[2] -
           CD_LEAD_IN_FRAMES;
}

void MsfFromSector(int32_t sector, uint8_t msf[3])
{
    int32_t frames = sector + CD_LEAD_IN_FRAMES;
    msf[0] = static_cast<uint8_t>(frames / CD_FRAMES_PER_MINUTE);
    msf[1] = static_cast<uint8_t>(frames / CD_FRAMES_PER_SECOND % CD_SECONDS_PER_MINUTE);
    msf[2] = static_cast<uint8_t>(frames % CD_FRAMES_PER_SECOND);
}

uint8_t BcdFromNumber(uint8_t value)
{
    return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

uint8_t NumberFromBcd(uint8_t bcd)
{
    return static_cast<uint8_t>((bcd >> 4) * 10 + (bcd & 0x0F));
}

void WriteHeaderAddress(uint8_t *image, const uint8_t msf[3])
{
    image[0] = BcdFromNumber(msf[0]);
    image[1] = BcdFromNumber(msf[1]);
    image[2] = BcdFromNumber(msf[2]);
}
