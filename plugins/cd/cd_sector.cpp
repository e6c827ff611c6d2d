#include "cd_sector.h"

#include <string.h>

/* The tables are made once, at the first call; the plugins are single-
   threaded, and a second maker would only write the same values. */
static uint32_t EdcTable[256];
static uint8_t EccForward[256];   /* multiplication by alpha in GF(2^8) */
static uint8_t EccBackward[256];  /* division of x ^ alpha*x by it, for the parity */
static bool TablesMade;

static void MakeTables(void)
{
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t edc = i;
        for (int bit = 0; bit < 8; bit++)
            edc = (edc >> 1) ^ ((edc & 1) ? 0xD8018001u : 0);
        EdcTable[i] = edc;
        /* The field's polynomial is x^8 + x^4 + x^3 + x^2 + 1. */
        uint32_t doubled = ((i << 1) ^ ((i & 0x80) ? 0x11D : 0)) & 0xFF;
        EccForward[i] = static_cast<uint8_t>(doubled);
        EccBackward[(i ^ doubled) & 0xFF] = static_cast<uint8_t>(i);
    }
    TablesMade = true;
}

uint32_t SectorEdc(uint32_t edc, const uint8_t *data, size_t size)
{
    if (!TablesMade)
        MakeTables();
    for (size_t i = 0; i < size; i++)
        edc = (edc >> 8) ^ EdcTable[(edc ^ data[i]) & 0xFF];
    return edc;
}

static void PutLe32(uint8_t *p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

void SectorWriteSyncHeader(uint8_t raw[CD_RAW_SECTOR_SIZE], int32_t sector, uint8_t mode)
{
    raw[0] = 0;
    memset(raw + 1, 0xFF, 10);
    raw[11] = 0;
    uint8_t msf[3];
    MsfFromSector(sector, msf);
    WriteHeaderAddress(raw + CD_RAW_HEADER_OFFSET, msf);
    raw[CD_RAW_MODE_OFFSET] = mode;
}

/* One parity set (P: 86 columns of 24 bytes; Q: 52 diagonals of 43 bytes)
   over the 2340 bytes from the header on. */
static void EccParity(const uint8_t *header, const uint8_t *from16, uint32_t majorCount,
                      uint32_t minorCount, uint32_t majorMult, uint32_t minorInc, uint8_t *out)
{
    uint32_t size = majorCount * minorCount;
    for (uint32_t major = 0; major < majorCount; major++) {
        uint32_t index = (major >> 1) * majorMult + (major & 1);
        uint8_t a = 0, b = 0;
        for (uint32_t minor = 0; minor < minorCount; minor++) {
            /* index counts bytes from the header's first byte. */
            uint8_t value = index < 4 ? header[index] : from16[index - 4];
            index += minorInc;
            if (index >= size)
                index -= size;
            a ^= value;
            b ^= value;
            a = EccForward[a];
        }
        a = EccBackward[EccForward[a] ^ b];
        out[major] = a;
        out[major + majorCount] = static_cast<uint8_t>(a ^ b);
    }
}

void SectorWriteEcc(uint8_t raw[CD_RAW_SECTOR_SIZE], bool zeroAddress)
{
    if (!TablesMade)
        MakeTables();
    static const uint8_t kZero[4] = {0, 0, 0, 0};
    const uint8_t *header = zeroAddress ? kZero : raw + CD_RAW_HEADER_OFFSET;
    /* P covers the header and bytes 16..2075; Q also covers P. */
    EccParity(header, raw + CD_RAW_SUBHEADER_OFFSET, 86, 24, 2, 86, raw + CD_ECC_P_OFFSET);
    EccParity(header, raw + CD_RAW_SUBHEADER_OFFSET, 52, 43, 86, 88, raw + CD_ECC_Q_OFFSET);
}

void SectorFinishMode1(uint8_t raw[CD_RAW_SECTOR_SIZE], int32_t sector)
{
    SectorWriteSyncHeader(raw, sector, 1);
    PutLe32(raw + CD_MODE1_EDC_OFFSET, SectorEdc(0, raw, CD_MODE1_EDC_OFFSET));
    memset(raw + CD_MODE1_EDC_OFFSET + 4, 0, 8);
    SectorWriteEcc(raw, false);
}

void SectorFinishForm1(uint8_t raw[CD_RAW_SECTOR_SIZE], int32_t sector)
{
    SectorWriteSyncHeader(raw, sector, 2);
    PutLe32(raw + CD_FORM1_EDC_OFFSET,
            SectorEdc(0, raw + CD_RAW_SUBHEADER_OFFSET, CD_FORM1_EDC_OFFSET - CD_RAW_SUBHEADER_OFFSET));
    SectorWriteEcc(raw, true);
}

void SectorFinishForm2(uint8_t raw[CD_RAW_SECTOR_SIZE], int32_t sector)
{
    SectorWriteSyncHeader(raw, sector, 2);
    PutLe32(raw + CD_FORM2_EDC_OFFSET,
            SectorEdc(0, raw + CD_RAW_SUBHEADER_OFFSET, CD_FORM2_EDC_OFFSET - CD_RAW_SUBHEADER_OFFSET));
}
