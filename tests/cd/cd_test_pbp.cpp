#include "cd_test_pbp.h"

#include <string.h>

#include <algorithm>

#include <zlib.h>

#include "cd_disc.h"
#include "cd_sector.h"
#include "cd_test_disc.h"
#include "kova_test.h"

namespace {

const uint32_t kRaw = 2352;
const uint32_t kBlock = 16 * kRaw;

std::string Msf(int32_t sector)
{
    uint8_t msf[3];
    MsfFromSector(sector, msf);
    char text[16];
    BufFormat(text, sizeof text, "%02u:%02u:%02u", msf[0], msf[1], msf[2]);
    return text;
}

} // namespace

std::string TestDisc::Cue(const std::string &binName) const
{
    return "FILE \"" + binName + "\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n"
           "  TRACK 02 AUDIO\r\n    INDEX 00 " + Msf(audioFirst - 150) + "\r\n    INDEX 01 " +
           Msf(audioStart - 150) + "\r\n";
}

void PutLe32(std::vector<uint8_t> &bytes, int64_t at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        bytes[static_cast<size_t>(at) + i] = static_cast<uint8_t>(value >> (8 * i));
}

namespace {

bool MakeTestDisc(const std::string &boot, int audio, uint8_t seed, TestDisc *disc)
{
    ScratchDir files("cd-test-disc");
    WriteFileText(files / "SYSTEM.CNF", "BOOT = cdrom:\\" + boot + ";1\r\nTCB = 4\r\nEVENT = 10\r\n");
    /* Text compresses, as a game's files mostly do. */
    std::string text;
    for (int i = 0; text.size() < 150000; i++)
        text += "Line " + std::to_string(i) + " of a game's file\r\n";
    WriteFileText(files / "README.TXT", text);
    ScratchDir isoFiles("cd-test-iso");
    if (!MakeIsoImage(files.path().substr(0, files.path().size() - 1), isoFiles / "DATA.ISO"))
        return false;
    std::vector<uint8_t> cooked = ReadFileBytes(isoFiles / "DATA.ISO");
    if (cooked.empty() || cooked.size() % 2048)
        return false;
    disc->dataSectors = static_cast<int32_t>(cooked.size() / 2048);
    disc->audioFirst = disc->dataSectors;
    disc->audioStart = disc->dataSectors + 150;
    int32_t total = disc->dataSectors + audio;
    disc->bin.assign(static_cast<size_t>(total) * kRaw, 0);
    for (int32_t n = 0; n < disc->dataSectors; n++) {
        uint8_t *s = &disc->bin[static_cast<size_t>(n) * kRaw];
        SectorWriteSyncHeader(s, n, 2);
        /* Subheader, twice: a data sector of Form 1. */
        s[18] = s[22] = 0x08;
        memcpy(s + CD_FORM1_DATA_OFFSET, &cooked[static_cast<size_t>(n) * 2048], 2048);
        SectorFinishForm1(s, n);
    }
    /* Audio: samples that do not compress, so a compressed PBP holds raw
       blocks too. */
    std::vector<uint8_t> samples = GarbageBytes(static_cast<size_t>(audio) * kRaw, seed);
    memcpy(&disc->bin[static_cast<size_t>(disc->dataSectors) * kRaw], samples.data(), samples.size());
    return true;
}

} // namespace

const TestDisc &GameDisc(int number)
{
    static TestDisc discs[2];
    static bool made[2];
    int i = number == 2 ? 1 : 0;
    if (!made[i]) {
        made[i] = true;
        EXPECT_TRUE(MakeTestDisc(i ? "SLUS_009.08" : "SLUS_008.92", i ? 200 : 300, static_cast<uint8_t>(i + 1),
                                 &discs[i]));
    }
    return discs[i];
}

bool WriteCueBin(const std::string &folder, const char *name, const TestDisc &disc)
{
    std::string base = folder + name;
    return WriteFileBytes(base + ".BIN", disc.bin.data(), disc.bin.size()) &&
           WriteFileText(base + ".CUE", disc.Cue(std::string(name) + ".BIN"));
}

namespace {

/* One disc image: header, ID, table of contents, index, blocks. */
std::vector<uint8_t> DiscImage(const PbpDiscSpec &spec, int64_t at, std::vector<int64_t> *blocks,
                               std::vector<bool> *packed)
{
    const TestDisc &disc = *spec.disc;
    std::vector<uint8_t> image(0x100000, 0);
    memcpy(&image[0], "PSISOIMG0000", 12);
    std::string id = "_" + spec.id.substr(0, 4) + "_" + spec.id.substr(5);
    memcpy(&image[0x400], id.c_str(), id.size());
    /* The lead-in's Q entries: A0 (first track), A1 (last), A2 (lead-out),
       then the tracks; times in BCD from 00:00:00. */
    auto entry = [&image](int i, uint8_t control, uint8_t point, int32_t sector) {
        uint8_t *e = &image[0x800 + 10 * i];
        uint8_t msf[3];
        MsfFromSector(sector, msf);
        e[0] = static_cast<uint8_t>(control << 4 | 1);
        e[2] = point;
        e[7] = BcdFromNumber(msf[0]);
        e[8] = BcdFromNumber(msf[1]);
        e[9] = BcdFromNumber(msf[2]);
    };
    entry(0, 4, 0xA0, 0);
    image[0x800 + 7] = 0x01;
    image[0x800 + 8] = 0x20;  /* CD-ROM XA */
    image[0x800 + 9] = 0;
    entry(1, 0, 0xA1, 0);
    image[0x800 + 17] = 0x02;
    image[0x800 + 18] = image[0x800 + 19] = 0;
    entry(2, 0, 0xA2, disc.sectors());
    entry(3, 4, 0x01, 0);
    entry(4, 0, 0x02, disc.audioStart);
    /* The blocks: the BIN in steps of 16 sectors, the last one padded. */
    std::vector<uint8_t> data;
    z_stream z;
    memset(&z, 0, sizeof z);
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> block(kBlock), out(kBlock + 1024);
    for (size_t from = 0, b = 0; from < disc.bin.size(); from += kBlock, b++) {
        size_t n = std::min<size_t>(kBlock, disc.bin.size() - from);
        std::fill(block.begin(), block.end(), 0);
        memcpy(block.data(), &disc.bin[from], n);
        uint32_t size = kBlock;
        const uint8_t *stored = block.data();
        if (spec.compress) {
            deflateReset(&z);
            z.next_in = block.data();
            z.avail_in = kBlock;
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, Z_FINISH);
            uint32_t packedSize = static_cast<uint32_t>(out.size() - z.avail_out);
            if (packedSize < kBlock) {
                size = packedSize;
                stored = out.data();
            }
        }
        uint8_t *e = &image[0x4000 + 32 * b];
        uint32_t offset = static_cast<uint32_t>(data.size());
        for (int i = 0; i < 4; i++)
            e[i] = static_cast<uint8_t>(offset >> (8 * i));
        e[4] = static_cast<uint8_t>(size);
        e[5] = static_cast<uint8_t>(size >> 8);
        blocks->push_back(at + 0x100000 + offset);
        packed->push_back(size != kBlock);
        data.insert(data.end(), stored, stored + size);
    }
    deflateEnd(&z);
    PutLe32(image, 12, static_cast<uint32_t>(0x100000 + data.size()));
    image.insert(image.end(), data.begin(), data.end());
    return image;
}

} // namespace

std::vector<uint8_t> MakePbp(const std::vector<PbpDiscSpec> &discs, bool titleImage, PbpPlaces *places)
{
    PbpPlaces own;
    if (!places)
        places = &own;
    /* The header and empty parts; DATA.PSAR on a 64 KB boundary. */
    std::vector<uint8_t> pbp(0x10000, 0);
    pbp[1] = 'P';
    pbp[2] = 'B';
    pbp[3] = 'P';
    PutLe32(pbp, 4, 0x10000);
    for (int part = 0; part < 7; part++)
        PutLe32(pbp, 8 + 4 * part, 40);
    PutLe32(pbp, 36, 0x10000);
    places->psar = 0x10000;
    bool many = titleImage || discs.size() > 1;
    std::vector<uint8_t> psar;
    if (many) {
        psar.assign(0x8000, 0);
        memcpy(&psar[0], "PSTITLEIMG000000", 16);
        std::string id = "_" + discs[0].id.substr(0, 4) + "_" + discs[0].id.substr(5);
        memcpy(&psar[0x264], id.c_str(), id.size());
    }
    for (size_t i = 0; i < discs.size(); i++) {
        /* Each disc image on a 32 KB boundary. */
        while (psar.size() % 0x8000)
            psar.push_back(0);
        int64_t at = places->psar + static_cast<int64_t>(psar.size());
        if (many)
            PutLe32(psar, 0x200 + 4 * static_cast<int64_t>(i), static_cast<uint32_t>(psar.size()));
        places->discs.push_back(at);
        places->blocks.emplace_back();
        places->packed.emplace_back();
        std::vector<uint8_t> image = DiscImage(discs[i], at, &places->blocks.back(), &places->packed.back());
        psar.insert(psar.end(), image.begin(), image.end());
    }
    pbp.insert(pbp.end(), psar.begin(), psar.end());
    return pbp;
}
