/* MKCARDS.EXE: writes the demo's two memory cards, card1.mcd and card2.mcd,
 * into the current folder, with a few saves on them as a console program
 * leaves them: titles in Shift-JIS, 16-colour icons, saves of several
 * blocks. The demo's assembly runs it (cmake/assemble-demo.cmake), so the
 * cards are made by the configurator's own card code. Not shipped.
 * Exit code 0 when both cards were written. */
#include <stdio.h>
#include <string.h>

#include "card_image.h"

/* An icon drawn in text: one character a pixel, '.' transparent, the
   digits 1-7 the save's colours. */
struct DemoSave {
    const char *name;
    const char *title;  /* Shift-JIS */
    int blocks;
    uint16_t colours[8];  /* 15-bit, 0 transparent */
    const char *icon[16];
};

static const DemoSave kSaves[] = {
    { "BASLUS-99901KOVA",
      /* ＫＯＶＡ　ＤＥＭＯ　ＳＬＯＴ１ */
      "\x82\x6A\x82\x6E\x82\x75\x82\x60\x81\x40\x82\x63\x82\x64\x82\x6C\x82\x6E\x81\x40\x82\x72\x82\x6B"
      "\x82\x6E\x82\x73\x82\x50",
      1,
      { 0, 0x7C1F, 0x7FFF, 0x001F, 0x03FF, 0, 0, 0 },
      { "................", "......1111......", "....11111111....", "...1122112211...",
        "..111221122111..", "..111111111111..", ".11111111111111.", ".11133333333111.",
        ".11113333331111.", "..111133331111..", "..111111111111..", "...1111111111...",
        "....11111111....", "......1111......", "................", "................" } },
    { "BESLES-99902RACE",
      /* ＴＥＳＴ　ＲＡＣＥＲ　コース３ */
      "\x82\x73\x82\x64\x82\x72\x82\x73\x81\x40\x82\x71\x82\x60\x82\x62\x82\x64\x82\x71\x81\x40\x83\x52"
      "\x81\x5B\x83\x58\x82\x52",
      3,
      { 0, 0x001F, 0x7FFF, 0x2108, 0x03E0, 0, 0, 0 },
      { "................", "................", "................", ".....111111.....",
        "....11111111....", "...1122112211...", "..111111111111..", ".11111111111111.",
        ".13311111111331.", ".33331111113333.", ".33331111113333.", "..33........33..",
        "................", "4444444444444444", "4444444444444444", "................" } },
    { "BISLPS-99903HELLO",
      /* ハロー　ワールド */
      "\x83\x6E\x83\x8D\x81\x5B\x81\x40\x83\x8F\x81\x5B\x83\x8B\x83\x68",
      2,
      { 0, 0x7E00, 0x7FFF, 0x03E0, 0x0210, 0, 0, 0 },
      { "................", ".....111111.....", "...1111111111...", "..133111111331..",
        ".13333111133331.", ".11333311333311.", "1111333333331111", "1111113333111111",
        "1111113333111111", "1111333333331111", ".11333311333311.", ".13333111133331.",
        "..133111111331..", "...1111111111...", ".....111111.....", "................" } },
    { "BASLUS-99904PUZZLE",
      /* ＰＵＺＺＬＥ　ＢＯＸ　Ｎｏ．７ */
      "\x82\x6F\x82\x74\x82\x79\x82\x79\x82\x6B\x82\x64\x81\x40\x82\x61\x82\x6E\x82\x77\x81\x40\x82\x6D"
      "\x82\x8F\x81\x44\x82\x56",
      1,
      { 0, 0x001F, 0x03E0, 0x7C00, 0x03FF, 0x7FFF, 0, 0 },
      { "................", ".11112222333344.", ".11112222333344.", ".11112222333344.",
        ".11112222333344.", ".22223333444411.", ".22223333444411.", ".22223333444411.",
        ".22223333444411.", ".33334444111122.", ".33334444111122.", ".33334444111122.",
        ".33334444111122.", ".55555555555555.", ".55555555555555.", "................" } },
};

/* The save as a .mcs file would hold it: its directory frame, then its blocks. */
static size_t BuildSave(const DemoSave &save, uint8_t *mcs)
{
    size_t size = CARD_FRAME_SIZE + static_cast<size_t>(save.blocks) * CARD_BLOCK_SIZE;
    memset(mcs, 0, size);
    mcs[0] = 0x51;
    uint32_t bytes = static_cast<uint32_t>(save.blocks) * CARD_BLOCK_SIZE;
    for (int i = 0; i < 4; i++)
        mcs[4 + i] = static_cast<uint8_t>(bytes >> (8 * i));
    mcs[8] = mcs[9] = 0xFF;
    memcpy(mcs + 10, save.name, strlen(save.name) < 20 ? strlen(save.name) : 20);
    mcs[127] = FrameChecksum(mcs);

    uint8_t *first = mcs + CARD_FRAME_SIZE;
    first[0] = 'S';
    first[1] = 'C';
    first[2] = 0x11;
    first[3] = static_cast<uint8_t>(save.blocks);
    memcpy(first + 4, save.title, strlen(save.title) < 64 ? strlen(save.title) : 64);
    for (int c = 0; c < 8; c++) {
        first[96 + 2 * c] = static_cast<uint8_t>(save.colours[c]);
        first[97 + 2 * c] = static_cast<uint8_t>(save.colours[c] >> 8);
    }
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) {
            char c = save.icon[y][x];
            uint8_t index = c >= '1' && c <= '7' ? static_cast<uint8_t>(c - '0') : 0;
            first[CARD_FRAME_SIZE + y * 8 + x / 2] |= static_cast<uint8_t>(index << (x % 2 ? 4 : 0));
        }
    /* Something to keep, past the header and icon: the game's own data. */
    for (size_t i = 4 * CARD_FRAME_SIZE; i < static_cast<size_t>(save.blocks) * CARD_BLOCK_SIZE; i++)
        first[i] = static_cast<uint8_t>(i * 13 + save.name[11]);
    return size;
}

static uint8_t card[CARD_SIZE];
static uint8_t mcs[CARD_MCS_MAX];

static bool WriteCard(const char *name, const int *saves, int count)
{
    FormatCard(card);
    for (int i = 0; i < count; i++) {
        size_t size = BuildSave(kSaves[saves[i]], mcs);
        if (ImportSave(card, mcs, size) != CARD_OK) {
            fprintf(stderr, "MKCARDS: save %s does not go on %s\n", kSaves[saves[i]].name, name);
            return false;
        }
    }
    FILE *file = fopen(name, "wb");
    bool ok = file && fwrite(card, 1, CARD_SIZE, file) == static_cast<size_t>(CARD_SIZE);
    if (file && fclose(file) != 0)
        ok = false;
    if (!ok)
        fprintf(stderr, "MKCARDS: %s could not be written\n", name);
    return ok;
}

int main()
{
    static const int kCard1[] = { 0, 1, 2 };
    static const int kCard2[] = { 3 };
    bool ok = WriteCard("card1.mcd", kCard1, 3);
    ok = WriteCard("card2.mcd", kCard2, 1) && ok;
    return ok ? 0 : 1;
}
