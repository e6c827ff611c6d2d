#include "cd_test_writers.h"

#include <string.h>

#include "cd_sector.h"
#include "kova_str.h"

std::vector<uint8_t> MadeSectors(int kind, int count, int32_t firstSector, uint8_t seed)
{
    const size_t raw = CD_RAW_SECTOR_SIZE;
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * raw, 0);
    for (int n = 0; n < count; n++) {
        uint8_t *s = &bytes[n * raw];
        int32_t sector = firstSector + n;
        if (kind == MADE_SILENCE)
            continue;
        for (size_t i = 0; i < raw; i++)
            s[i] = static_cast<uint8_t>(seed + n * 13 + i * 7 + (i >> 8));
        if (kind == MADE_AUDIO)
            continue;
        if (kind == MADE_MODE1) {
            SectorFinishMode1(s, sector);
            continue;
        }
        /* The subheader: file 1, channel n, the submode's Form 2 bit. */
        bool form2 = kind == MADE_FORM2 || kind == MADE_FORM2_NO_EDC;
        uint8_t sub[4] = {1, static_cast<uint8_t>(n & 31), static_cast<uint8_t>(form2 ? 0x24 : 0x08), 0};
        memcpy(s + 16, sub, 4);
        memcpy(s + 20, sub, 4);
        if (form2)
            SectorFinishForm2(s, sector);
        else
            SectorFinishForm1(s, sector);
        if (kind == MADE_FORM2_NO_EDC)
            memset(s + CD_FORM2_EDC_OFFSET, 0, 4);
        if (kind == MADE_FORM1_BAD_ECC)
            s[CD_ECC_Q_OFFSET + 5] ^= 0x40;
    }
    return bytes;
}

void PutEcmRecordHeader(std::vector<uint8_t> &out, int type, uint32_t countLessOne)
{
    uint32_t n = countLessOne;
    uint8_t c = static_cast<uint8_t>(((n & 0x1F) << 2) | type);
    n >>= 5;
    out.push_back(static_cast<uint8_t>(c | (n ? 0x80 : 0)));
    while (n) {
        c = static_cast<uint8_t>(n & 0x7F);
        n >>= 7;
        out.push_back(static_cast<uint8_t>(c | (n ? 0x80 : 0)));
    }
}

namespace {

const uint32_t kImageUnit[4] = {1, 2352, 2336, 2336};

/* The record type that encodes the image at p (left bytes): 1 for a Mode 1
   sector, 2 or 3 for a Mode 2 sector without sync and header, each only
   when rebuilding it gives back every byte; else 0. */
int UnitType(const uint8_t *p, size_t left)
{
    uint8_t s[CD_RAW_SECTOR_SIZE];
    static const uint8_t kSync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    if (left >= CD_RAW_SECTOR_SIZE && memcmp(p, kSync, 12) == 0 && p[15] == 1) {
        memset(s, 0, sizeof s);
        SectorWriteSyncHeader(s, 0, 1);
        memcpy(s + 12, p + 12, 3);   /* the kept address, then EDC and ECC over it */
        memcpy(s + 16, p + 16, 2048);
        uint32_t edc = SectorEdc(0, s, CD_MODE1_EDC_OFFSET);
        for (int i = 0; i < 4; i++)
            s[CD_MODE1_EDC_OFFSET + i] = static_cast<uint8_t>(edc >> (8 * i));
        SectorWriteEcc(s, false);
        if (memcmp(s, p, CD_RAW_SECTOR_SIZE) == 0)
            return 1;
    }
    if (left < CD_MODE2_SECTOR_SIZE || memcmp(p, p + 4, 4) != 0)
        return 0;
    for (int type = 2; type <= 3; type++) {
        memset(s, 0, sizeof s);
        memcpy(s + 16, p, CD_MODE2_SECTOR_SIZE);
        if (type == 2)
            SectorFinishForm1(s, 0);
        else
            SectorFinishForm2(s, 0);
        if (memcmp(s + 16, p, CD_MODE2_SECTOR_SIZE) == 0)
            return type;
    }
    return 0;
}

} // namespace

EcmWritten WriteEcm(const std::vector<uint8_t> &image)
{
    EcmWritten w;
    w.bytes = {'E', 'C', 'M', 0};
    std::vector<uint8_t> kept;
    int type = -1;
    uint32_t count = 0;
    auto flush = [&]() {
        if (count) {
            PutEcmRecordHeader(w.bytes, type, count - 1);
            w.bytes.insert(w.bytes.end(), kept.begin(), kept.end());
            w.records++;
        }
        kept.clear();
        count = 0;
    };
    size_t at = 0;
    while (at < image.size()) {
        const uint8_t *p = &image[at];
        int t = UnitType(p, image.size() - at);
        if (t != type || count == 0x7FFFFFFF)
            flush();
        type = t;
        if (t == 0)
            kept.push_back(p[0]);
        else if (t == 1)
            kept.insert(kept.end(), p + 12, p + 15), kept.insert(kept.end(), p + 16, p + 16 + 2048);
        else
            kept.insert(kept.end(), p + 4, p + 4 + 4 + (t == 2 ? 2048 : CD_FORM2_DATA_SIZE));
        count++;
        w.units[t]++;
        at += kImageUnit[t];
    }
    flush();
    PutEcmRecordHeader(w.bytes, 0, 0xFFFFFFFFu);
    uint32_t edc = SectorEdc(0, image.data(), image.size());
    for (int i = 0; i < 4; i++)
        w.bytes.push_back(static_cast<uint8_t>(edc >> (8 * i)));
    return w;
}

std::string CcdText(const std::vector<CcdTrackRow> &tracks, int32_t leadOut)
{
    std::string text = "[CloneCD]\r\nVersion=3\r\n[Disc]\r\n";
    char line[256];
    BufFormat(line, sizeof line, "TocEntries=%d\r\nSessions=1\r\nDataTracksScrambled=0\r\nCDTextLength=0\r\n",
              static_cast<int>(tracks.size()) + 3);
    text += line;
    text += "[Session 1]\r\nPreGapMode=2\r\nPreGapSubC=0\r\n";
    /* A0: first track, A1: last track, A2: lead-out; then one per track. */
    struct Point {
        int point, control, pmin, psec, pframe;
        int32_t plba;
    };
    std::vector<Point> points;
    int firstControl = tracks.empty() || tracks[0].mode == 0 ? 0 : 4;
    int lastControl = tracks.empty() || tracks.back().mode == 0 ? 0 : 4;
    points.push_back({0xA0, firstControl, tracks.empty() ? 0 : tracks[0].number, 0x20, 0, 0});
    points.push_back({0xA1, lastControl, tracks.empty() ? 0 : tracks.back().number, 0, 0, 0});
    auto msfPoint = [](int point, int control, int32_t sector) {
        int32_t f = sector + 150;
        return Point{point, control, f / 4500, f / 75 % 60, f % 75, sector};
    };
    points.push_back(msfPoint(0xA2, lastControl, leadOut));
    for (const CcdTrackRow &t : tracks)
        points.push_back(msfPoint(t.number, t.mode ? 4 : 0, t.start));
    for (size_t i = 0; i < points.size(); i++) {
        const Point &p = points[i];
        bool track = p.point < 0xA0;
        BufFormat(line, sizeof line,
                  "[Entry %d]\r\nSession=1\r\nPoint=0x%02x\r\nADR=0x01\r\nControl=0x%02x\r\nTrackNo=0\r\n"
                  "AMin=0\r\nASec=0\r\nAFrame=0\r\nALBA=-150\r\nZero=0\r\nPMin=%d\r\nPSec=%d\r\n"
                  "PFrame=%d\r\nPLBA=%d\r\n",
                  static_cast<int>(i), p.point, p.control, p.pmin, p.psec, p.pframe,
                  static_cast<int>(track || p.point == 0xA2 ? p.plba : p.pmin * 4500 + p.psec * 75 + p.pframe - 150));
        text += line;
    }
    for (const CcdTrackRow &t : tracks) {
        BufFormat(line, sizeof line, "[TRACK %d]\r\nMODE=%d\r\n", t.number, t.mode);
        text += line;
        if (t.pregap) {
            BufFormat(line, sizeof line, "INDEX 0=%d\r\n", static_cast<int>(t.start - t.pregap));
            text += line;
        }
        BufFormat(line, sizeof line, "INDEX 1=%d\r\n", static_cast<int>(t.start));
        text += line;
    }
    return text;
}
