/* Memory card images by table: cards built byte by byte (cfg_test.h)
   against what ListCard sees in them, and every change of a card compared
   byte for byte with the card the test expects. */
#include <string.h>

#include "card_format.h"
#include "card_image.h"
#include "cfg_test.h"

namespace {

/* A save as a row expects it: "first block: block list; name; blocks". */
std::string Describe(const CardSave &save)
{
    std::string text = std::to_string(save.blocks[0]) + ":";
    for (int i = 0; i < save.blockCount; i++)
        text += " " + std::to_string(save.blocks[i]);
    return text + "; " + save.name + "; icon " + std::to_string(save.iconFrames) +
           (save.broken ? "; broken" : "");
}

void Break(CardBytes &card, int frame)
{
    card[frame * 128 + 127] ^= 0x55;
}

} // namespace

TEST(CardImage, ListsSavesFreeBlocksAndDamage)
{
    struct Row {
        const char *what;
        std::function<void(CardBytes &)> make;
        Lines saves;
        int freeBlocks;
        unsigned damage;
        const char *problem;
    };
    const Row rows[] = {
        { "blank", [](CardBytes &) {}, {}, 15, 0, "" },
        { "full of one-block saves",
          [](CardBytes &c) {
              for (int b = 1; b <= 15; b++)
                  PutSave(c, { b }, "BASLUS-0000" + std::to_string(b % 10), "", static_cast<uint8_t>(b));
          },
          { "1: 1; BASLUS-00001; icon 1", "2: 2; BASLUS-00002; icon 1", "3: 3; BASLUS-00003; icon 1",
            "4: 4; BASLUS-00004; icon 1", "5: 5; BASLUS-00005; icon 1", "6: 6; BASLUS-00006; icon 1",
            "7: 7; BASLUS-00007; icon 1", "8: 8; BASLUS-00008; icon 1", "9: 9; BASLUS-00009; icon 1",
            "10: 10; BASLUS-00000; icon 1", "11: 11; BASLUS-00001; icon 1", "12: 12; BASLUS-00002; icon 1",
            "13: 13; BASLUS-00003; icon 1", "14: 14; BASLUS-00004; icon 1", "15: 15; BASLUS-00005; icon 1" },
          0, 0, "" },
        { "one save of 15 blocks, linked backwards",
          [](CardBytes &c) {
              PutSave(c, { 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1 }, "BESLES-01234ALL", "", 1);
          },
          { "15: 15 14 13 12 11 10 9 8 7 6 5 4 3 2 1; BESLES-01234ALL; icon 1" }, 0, 0, "" },
        { "saves of 1, 4 and 10 blocks woven together",
          [](CardBytes &c) {
              PutSave(c, { 7 }, "BISLPS-00001", "", 1);
              PutSave(c, { 3, 12, 1, 9 }, "BISLPS-00002", "", 2);
              PutSave(c, { 2, 4, 5, 6, 8, 10, 11, 13, 14, 15 }, "BISLPS-00003", "", 3);
          },
          { "2: 2 4 5 6 8 10 11 13 14 15; BISLPS-00003; icon 1", "3: 3 12 1 9; BISLPS-00002; icon 1",
            "7: 7; BISLPS-00001; icon 1" },
          0, 0, "" },
        { "deleted saves are free blocks, not saves",
          [](CardBytes &c) {
              PutSave(c, { 4, 2, 6 }, "BASLUS-00594GONE", "", 1);
              SetEntry(c, 4, 0xA1, 3 * 8192, 1, "BASLUS-00594GONE");
              SetEntry(c, 2, 0xA2, 0, 5);
              SetEntry(c, 6, 0xA3, 0, 0xFFFF);
              PutSave(c, { 9, 10 }, "BASLUS-00594KEPT", "", 2);
          },
          { "9: 9 10; BASLUS-00594KEPT; icon 1" }, 13, 0, "" },
        { "a save without the SC header has no icon",
          [](CardBytes &c) {
              PutSave(c, { 5 }, "BASCUS-94163", "", 1);
              c[5 * 8192] = 0;
          },
          { "5: 5; BASCUS-94163; icon 0" }, 14, 0, "" },
        { "header checksum wrong: saves still read",
          [](CardBytes &c) {
              PutSave(c, { 1, 2 }, "BASLUS-00001", "", 1);
              Break(c, 0);
          },
          { "1: 1 2; BASLUS-00001; icon 1" }, 13, CARD_DAMAGE_HEADER, "its header is wrong" },
        { "no MC in the header",
          [](CardBytes &c) {
              c[0] = 'X';
              SealFrame(c, 0);
          },
          {}, 15, CARD_DAMAGE_HEADER, "its header is wrong" },
        { "a directory frame's checksum wrong: its save is lost, the others read",
          [](CardBytes &c) {
              PutSave(c, { 3, 8 }, "BASLUS-00003", "", 1);
              PutSave(c, { 5 }, "BASLUS-00005", "", 2);
              Break(c, 8);
          },
          { "3: 3; BASLUS-00003; icon 1; broken", "5: 5; BASLUS-00005; icon 1" }, 12,
          CARD_DAMAGE_DIRECTORY | CARD_DAMAGE_LINKS,
          "the directory entry of block 8 is wrong" },
        { "an unknown state",
          [](CardBytes &c) {
              SetEntry(c, 11, 0x77, 0, 0xFFFF);
          },
          {}, 14, CARD_DAMAGE_DIRECTORY, "the directory entry of block 11 is wrong" },
        { "a link loop",
          [](CardBytes &c) {
              PutSave(c, { 2, 3, 4 }, "BASLUS-00002", "", 1);
              SetEntry(c, 4, 0x52, 0, 2); /* block 4 back to block 3 */
          },
          { "2: 2 3 4; BASLUS-00002; icon 1; broken" }, 12, CARD_DAMAGE_LINKS, "the save in block 2 links in a loop" },
        { "a loop through the first block",
          [](CardBytes &c) {
              PutSave(c, { 2, 3 }, "BASLUS-00002", "", 1);
              SetEntry(c, 3, 0x52, 0, 1); /* block 3 back to block 2 */
          },
          { "2: 2 3; BASLUS-00002; icon 1; broken" }, 13, CARD_DAMAGE_LINKS, "the save in block 2 links in a loop" },
        { "a link outside the card",
          [](CardBytes &c) {
              PutSave(c, { 2, 3 }, "BASLUS-00002", "", 1);
              SetEntry(c, 2, 0x51, 2 * 8192, 15, "BASLUS-00002");
          },
          { "2: 2; BASLUS-00002; icon 1; broken" }, 13, CARD_DAMAGE_LINKS, "block 2 links outside the card" },
        { "a middle block that ends the save",
          [](CardBytes &c) {
              PutSave(c, { 2, 3, 4 }, "BASLUS-00002", "", 1);
              SetEntry(c, 3, 0x52, 0, 0xFFFF);
          },
          { "2: 2 3; BASLUS-00002; icon 1; broken" }, 12, CARD_DAMAGE_LINKS,
          "the save in block 2 ends too soon" },
        { "two saves sharing a block",
          [](CardBytes &c) {
              PutSave(c, { 2, 3 }, "BASLUS-00002", "", 1);
              PutSave(c, { 5, 6 }, "BASLUS-00005", "", 2);
              SetEntry(c, 5, 0x51, 2 * 8192, 2, "BASLUS-00005"); /* to block 3 */
          },
          { "2: 2 3; BASLUS-00002; icon 1", "5: 5; BASLUS-00005; icon 1; broken" }, 11, CARD_DAMAGE_LINKS,
          "block 5 links to a block of no save of its own" },
        { "a one-block save whose link holds garbage: its block is whole, it is listed",
          [](CardBytes &c) {
              PutSave(c, { 4 }, "BASLUS-01041", "", 1);
              SetEntry(c, 4, 0x51, 8192, 0x3A7C, "BASLUS-01041");
              PutSave(c, { 7, 8 }, "BASLUS-00007", "", 2);
          },
          { "4: 4; BASLUS-01041; icon 1; broken", "7: 7 8; BASLUS-00007; icon 1" }, 12,
          CARD_DAMAGE_LINKS, "block 4 links outside the card" },
        { "a broken chain whose first block has no SC is not listed",
          [](CardBytes &c) {
              PutSave(c, { 2, 3 }, "BASLUS-00002", "", 1);
              SetEntry(c, 2, 0x51, 2 * 8192, 15, "BASLUS-00002");
              c[2 * 8192] = 0;
          },
          {}, 13, CARD_DAMAGE_LINKS, "block 2 links outside the card" },
        { "a stray last block",
          [](CardBytes &c) {
              SetEntry(c, 9, 0x53, 0, 0xFFFF);
          },
          {}, 14, CARD_DAMAGE_LINKS, "block 9 belongs to no save" },
        { "a size that does not match the blocks",
          [](CardBytes &c) {
              PutSave(c, { 2, 3 }, "BASLUS-00002", "", 1);
              SetEntry(c, 2, 0x51, 8192, 2, "BASLUS-00002");
          },
          { "2: 2 3; BASLUS-00002; icon 1" }, 13, CARD_DAMAGE_LINKS,
          "the size of the save in block 2 does not match its blocks" },
        { "cut in half: the saves in its first half read",
          [](CardBytes &c) {
              PutSave(c, { 2, 7 }, "BASLUS-00002", "", 1);
              PutSave(c, { 3, 9 }, "BASLUS-00003", "", 2);
              c.resize(65536);
          },
          { "2: 2 7; BASLUS-00002; icon 1", "3: 3; BASLUS-00003; icon 1; broken" }, 11,
          CARD_DAMAGE_SIZE | CARD_DAMAGE_LINKS,
          "the file is 65536 bytes long, not 131,072" },
        { "one byte too long",
          [](CardBytes &c) {
              PutSave(c, { 15 }, "BASLUS-00015", "", 1);
              c.push_back(0);
          },
          { "15: 15; BASLUS-00015; icon 1" }, 14, CARD_DAMAGE_SIZE,
          "the file is longer than 131,072 bytes" },
        { "shorter than the directory", [](CardBytes &c) { c.resize(100); }, {}, 0, CARD_DAMAGE_SIZE,
          "the file is 100 bytes long, not 131,072" },
        { "empty", [](CardBytes &c) { c.clear(); }, {}, 0, CARD_DAMAGE_SIZE,
          "the file is 0 bytes long, not 131,072" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        CardBytes card = BlankCard();
        row.make(card);
        CardListing listing;
        memset(&listing, 0xCC, sizeof listing);
        ListCard(card.data(), card.size(), &listing);
        Lines saves;
        for (int i = 0; i < listing.saveCount; i++)
            saves.push_back(Describe(listing.saves[i]));
        EXPECT_EQ(row.saves, saves);
        EXPECT_EQ(row.freeBlocks, listing.freeBlocks);
        EXPECT_EQ(row.damage, listing.damage);
        EXPECT_STREQ(row.problem, listing.problem);
    }
}

TEST(CardImage, FormatWritesTheBlankCardAndItListsAsOne)
{
    CardBytes card(131072, 0xEE);
    FormatCard(card.data());
    EXPECT_EQ(BlankCard(), card);
}

TEST(CardImage, ChangesGiveExactlyTheExpectedCard)
{
    const std::string title = "\x82\x65\x82\x68\x82\x6D\x82\x60\x82\x6B"; /* full-width FINAL */
    struct Row {
        const char *what;
        std::function<void(CardBytes &)> before;
        std::function<CardResult(CardBytes &)> change;
        CardResult result;
        std::function<void(CardBytes &)> after; /* from `before`; unchanged when null */
    };
    std::vector<uint8_t> threeBlocks = SaveFileBytes(3, "BASLUS-00594FF7", title, 9);
    const Row rows[] = {
        { "a save of 3 blocks goes into never used blocks first, in block order",
          [](CardBytes &c) {
              PutSave(c, { 1 }, "BASLUS-00001", "", 1);
              PutSave(c, { 3 }, "BASLUS-00003", "", 2);
              SetEntry(c, 3, 0xA1, 8192, 0xFFFF, "BASLUS-00003");
          },
          [&](CardBytes &c) { return ImportSave(c.data(), threeBlocks.data(), threeBlocks.size()); },
          CARD_OK,
          [&](CardBytes &c) { PutSave(c, { 2, 4, 5 }, "BASLUS-00594FF7", title, 9); } },
        { "with only deleted blocks left, it takes those",
          [](CardBytes &c) {
              for (int b = 1; b <= 12; b++)
                  PutSave(c, { b }, "BASLUS-000" + std::to_string(10 + b), "", static_cast<uint8_t>(b));
              SetEntry(c, 14, 0xA1, 8192, 0xFFFF, "GONE");
              SetEntry(c, 13, 0xA1, 8192, 0xFFFF, "GONE2");
          },
          [&](CardBytes &c) { return ImportSave(c.data(), threeBlocks.data(), threeBlocks.size()); },
          CARD_OK,
          [&](CardBytes &c) { PutSave(c, { 15, 13, 14 }, "BASLUS-00594FF7", title, 9); } },
        { "too few free blocks",
          [](CardBytes &c) {
              for (int b = 1; b <= 13; b++)
                  PutSave(c, { b }, "BASLUS-000" + std::to_string(10 + b), "", static_cast<uint8_t>(b));
          },
          [&](CardBytes &c) { return ImportSave(c.data(), threeBlocks.data(), threeBlocks.size()); },
          CARD_NO_ROOM, nullptr },
        { "a save of that name is there",
          [](CardBytes &c) { PutSave(c, { 7 }, "BASLUS-00594FF7", "", 1); },
          [&](CardBytes &c) { return ImportSave(c.data(), threeBlocks.data(), threeBlocks.size()); },
          CARD_NAME_TAKEN, nullptr },
        { "a damaged card is not written to",
          [](CardBytes &c) { Break(c, 0); },
          [&](CardBytes &c) { return ImportSave(c.data(), threeBlocks.data(), threeBlocks.size()); },
          CARD_DAMAGED, nullptr },
        { "save file too short",
          [](CardBytes &) {},
          [&](CardBytes &c) { return ImportSave(c.data(), threeBlocks.data(), threeBlocks.size() - 1); },
          CARD_BAD_SAVE_FILE, nullptr },
        { "delete marks every block of the save deleted and keeps its bytes",
          [&](CardBytes &c) {
              PutSave(c, { 6, 2, 11 }, "BASLUS-00594FF7", title, 9);
              PutSave(c, { 1 }, "BASLUS-00001", "", 1);
          },
          [](CardBytes &c) { return DeleteSave(c.data(), 6); }, CARD_OK,
          [](CardBytes &c) {
              SetEntry(c, 6, 0xA1, 3 * 8192, 1, "BASLUS-00594FF7");
              SetEntry(c, 2, 0xA2, 0, 10);
              SetEntry(c, 11, 0xA3, 0, 0xFFFF);
          } },
        { "delete of a block that begins no save",
          [&](CardBytes &c) { PutSave(c, { 6, 2 }, "BASLUS-00594FF7", title, 9); },
          [](CardBytes &c) { return DeleteSave(c.data(), 2); }, CARD_NO_SAVE, nullptr },
        { "delete on a damaged card",
          [&](CardBytes &c) {
              PutSave(c, { 6, 2 }, "BASLUS-00594FF7", title, 9);
              SetEntry(c, 9, 0x52, 0, 0xFFFF);
          },
          [](CardBytes &c) { return DeleteSave(c.data(), 6); }, CARD_DAMAGED, nullptr },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        CardBytes card = BlankCard();
        row.before(card);
        CardBytes expected = card;
        if (row.after)
            row.after(expected);
        EXPECT_EQ(row.result, row.change(card));
        EXPECT_TRUE(expected == card) << "the card differs from the expected one";
    }
}

TEST(CardImage, ExportGivesAFreshDirectoryFrameAndTheBlocksInOrder)
{
    const std::string title = "\x83\x51\x81\x5B\x83\x80"; /* katakana */
    CardBytes card = BlankCard();
    PutSave(card, { 12, 3, 7 }, "BISLPS-00001SAVE", title, 4);
    /* A link byte the fresh frame must not keep. */
    card[12 * 128 + 40] = 0x99;
    SealFrame(card, 12);
    std::vector<uint8_t> mcs(CARD_MCS_MAX + 1, 0xCC);
    size_t size = 0;
    ASSERT_EQ(CARD_OK, ExportSave(card.data(), card.size(), 12, mcs.data(), &size));
    mcs.resize(size);
    EXPECT_TRUE(SaveFileBytes(3, "BISLPS-00001SAVE", title, 4) == mcs);
    EXPECT_EQ(CARD_NO_SAVE, ExportSave(card.data(), card.size(), 3, mcs.data(), &size));

    /* A broken chain gives the blocks up to the break. */
    CardBytes broken = BlankCard();
    PutSave(broken, { 6, 9, 11 }, "BASLUS-00594FF7", title, 2);
    SetEntry(broken, 9, 0x52, 0, 0x7777);
    std::vector<uint8_t> salvaged(CARD_MCS_MAX, 0xCC), expectedSalvage = SaveFileBytes(2, "BASLUS-00594FF7", "", 0);
    expectedSalvage.resize(128);
    for (int i = 0; i < 2; i++) {
        std::vector<uint8_t> block = SaveBlockBytes(title, 3, i, 2);
        expectedSalvage.insert(expectedSalvage.end(), block.begin(), block.end());
    }
    ASSERT_EQ(CARD_OK, ExportSave(broken.data(), broken.size(), 6, salvaged.data(), &size));
    salvaged.resize(size);
    EXPECT_TRUE(expectedSalvage == salvaged);

    /* And back: exported from one card and imported into another, the save
       keeps every byte. */
    CardBytes other = BlankCard();
    PutSave(other, { 1, 2 }, "BASLUS-00001", "", 1);
    CardBytes expected = other;
    PutSave(expected, { 3, 4, 5 }, "BISLPS-00001SAVE", title, 4);
    EXPECT_EQ(CARD_OK, ImportSave(other.data(), mcs.data(), mcs.size()));
    EXPECT_TRUE(expected == other);
}

TEST(CardImage, SaveFilesAreCheckedBeforeUse)
{
    struct Row {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> spoil;
        const char *problem; /* null: a save */
    };
    const Row rows[] = {
        { "sound", [](std::vector<uint8_t> &) {}, NULL },
        { "empty", [](std::vector<uint8_t> &m) { m.clear(); }, "its length is not that of a save of 1 to 15 blocks" },
        { "frame only", [](std::vector<uint8_t> &m) { m.resize(128); }, "its length is not that of a save of 1 to 15 blocks" },
        { "one byte more", [](std::vector<uint8_t> &m) { m.push_back(0); }, "its length is not that of a save of 1 to 15 blocks" },
        { "16 blocks", [](std::vector<uint8_t> &m) { m.resize(128 + 16 * 8192); }, "its length is not that of a save of 1 to 15 blocks" },
        { "checksum", [](std::vector<uint8_t> &m) { m[127] ^= 1; }, "its directory entry is wrong" },
        { "a middle block's state",
          [](std::vector<uint8_t> &m) {
              m[0] = 0x52;
              m[127] ^= 0x51 ^ 0x52;
          },
          "its directory entry is wrong" },
        { "size says 1 block",
          [](std::vector<uint8_t> &m) {
              m[5] = 0x20;
              m[127] ^= 0x40 ^ 0x20;
          },
          "the size in its directory entry does not match its length" },
        { "no name",
          [](std::vector<uint8_t> &m) {
              for (int i = 10; i < 31; i++) {
                  m[127] ^= m[i];
                  m[i] = 0;
              }
          },
          "it has no file name" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<uint8_t> mcs = SaveFileBytes(2, "BASLUS-00002", "", 1);
        row.spoil(mcs);
        const char *problem = SaveFileProblem(mcs.data(), mcs.size());
        EXPECT_STREQ(row.problem, problem);
    }
}

TEST(CardImage, TitlesShowFullWidthFormsPlainAndTheRestThroughCodePage932)
{
    struct Row {
        const char *sjis;
        const wchar_t *shown;
    };
    const Row rows[] = {
        { "\x82\x65\x82\x68\x82\x6D\x82\x60\x82\x6B", L"FINAL" },
        { "\x82\x4F\x82\x50\x82\x58\x82\x81\x82\x9A", L"019az" },
        { "\x82\x72\x82\x60\x82\x75\x82\x64\x81\x40\x82\x50\x81\x46\x81\x69\x81\x6A\x81\x7C\x81\x5E\x81\x49\x81\x48",
          L"SAVE 1:()-/!?" },
        { "\x83\x51\x81\x5B\x83\x80", L"\x30B2\x30FC\x30E0" },
        { "plain ASCII", L"plain ASCII" },
        { "AB\x82", L"AB" }, /* a lead byte without its trail */
        { "", L"" },
    };
    for (const Row &row : rows) {
        uint8_t title[CARD_TITLE_SIZE + 1] = {};
        memcpy(title, row.sjis, strlen(row.sjis));
        wchar_t shown[CARD_TITLE_SIZE + 1];
        wmemset(shown, L'#', CARD_TITLE_SIZE + 1);
        SaveTitleText(title, shown, CARD_TITLE_SIZE + 1);
        EXPECT_EQ(std::wstring(row.shown), std::wstring(shown)) << row.sjis;
    }
    /* 64 bytes without a terminator, and a lead byte cut by the field's end. */
    uint8_t full[CARD_TITLE_SIZE + 1];
    memset(full, 'A', CARD_TITLE_SIZE);
    full[CARD_TITLE_SIZE] = 'X';
    wchar_t shown[80];
    SaveTitleText(full, shown, 80);
    EXPECT_EQ(std::wstring(64, L'A'), shown);
    full[63] = 0x82;
    SaveTitleText(full, shown, 80);
    EXPECT_EQ(std::wstring(63, L'A'), shown);
    SaveTitleText(full, shown, 5);
    EXPECT_EQ(std::wstring(4, L'A'), shown);
}

TEST(CardImage, RegionAndProductCodeComeFromTheFileName)
{
    struct Row {
        const char *name, *region, *code;
    };
    const Row rows[] = {
        { "BASLUS-00594GAME", "America", "SLUS-00594" },
        { "BESLES-01234", "Europe", "SLES-01234" },
        { "BISLPS-00001ABCDEFGH", "Japan", "SLPS-00001" },
        { "BASLUSP01041", "America", "SLUS-01041" },  /* a pocket device's save */
        { "BESLES_01182GAME", "Europe", "SLES-01182" },
        { "BISLPSP0000", "Japan", "SLPS-0000" },
        { "BXSLUSP01041", "", "BXSLUSP01041" },
        { "BASLU", "America", "SLU" },
        { "BA", "America", "" },
        { "BX123", "", "BX123" },
        { "SAVE\x01", "", "SAVE?" },
        { "", "", "" },
    };
    for (const Row &row : rows) {
        char name[CARD_NAME_SIZE] = {};
        memcpy(name, row.name, strlen(row.name));
        char code[CARD_NAME_SIZE];
        SaveProductCode(name, code, sizeof code);
        EXPECT_STREQ(row.region, SaveRegion(name)) << row.name;
        EXPECT_STREQ(row.code, code) << row.name;
    }
}

TEST(CardImage, IconPixelsComeFromTheFirstFrameInTheSavesColours)
{
    CardBytes card = BlankCard();
    PutSave(card, { 4 }, "BASLUS-00004", "", 0);
    uint8_t *icon = &card[4 * 8192 + 128];
    icon[0] = 0x21; /* red, then green */
    icon[1] = 0x43; /* blue, then white */
    icon[2] = 0x05; /* opaque black, then transparent */
    CardListing listing;
    ListCard(card.data(), card.size(), &listing);
    ASSERT_EQ(1, listing.saveCount);
    uint32_t pixels[256];
    ASSERT_TRUE(SaveIconPixels(card.data(), card.size(), listing.saves[0], 0x123456, pixels));
    EXPECT_EQ(std::vector<uint32_t>({ 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x123456 }),
              std::vector<uint32_t>(pixels, pixels + 6));
    /* Row 1 begins at byte 8: colours 1 and 2 (seed 0, row index 1). */
    EXPECT_EQ(0xFF0000u, pixels[16]);
    EXPECT_EQ(0x00FF00u, pixels[17]);
    card[4 * 8192 + 2] = 0x10;
    ListCard(card.data(), card.size(), &listing);
    EXPECT_FALSE(SaveIconPixels(card.data(), card.size(), listing.saves[0], 0, pixels));
}

TEST(CardImage, NewCardNamesGetMcdAndRefuseWhatWindowsCannotName)
{
    struct Row {
        const char *typed, *name; /* null: refused */
    };
    const Row rows[] = {
        { "card", "card.mcd" },
        { "  second card  ", "second card.mcd" },
        { "MINE.MCD", "MINE.MCD" },
        { "x.mcd.bak", "x.mcd.bak.mcd" },
        { "", NULL },
        { "   ", NULL },
        { "a/b", NULL },
        { "a\\b", NULL },
        { "c:d", NULL },
        { "what?", NULL },
        { "star*", NULL },
        { "\"q\"", NULL },
        { "<a>", NULL },
        { "a|b", NULL },
        { "tab\there", NULL },
    };
    for (const Row &row : rows) {
        char name[MAX_PATH];
        bool ok = NewCardFileName(row.typed, name, sizeof name);
        EXPECT_EQ(row.name != NULL, ok) << row.typed;
        EXPECT_STREQ(row.name ? row.name : "", name) << row.typed;
    }
    char small[9];
    EXPECT_TRUE(NewCardFileName("abcd", small, sizeof small));
    EXPECT_FALSE(NewCardFileName("abcde", small, sizeof small)) << "abcde.mcd does not fit";
    EXPECT_STREQ("", small);
}

TEST(CardFiles, EachFormatIsRecognisedByItsBytesAndRead)
{
    const std::string title = "\x82\x65\x82\x68\x82\x6D\x82\x60\x82\x6B";
    CardBytes card = BlankCard();
    PutSave(card, { 3, 1 }, "BASLUS-00594FF7", title, 7);
    CardBytes half(card.begin(), card.begin() + 65536), halfCard = half;
    halfCard.resize(131072, 0);
    std::vector<uint8_t> gme = GmeFile(card), shortGme = gme;
    shortGme.resize(3904 + 65536);
    std::vector<uint8_t> mcs = SaveFileBytes(3, "BASLUS-00594FF7", title, 9);
    std::vector<uint8_t> psv = PsvFile(3, "BASLUS-00594FF7", title, 9), farPsv = psv;
    farPsv[0x45] = 0x10; /* the save at 0x1084: past the end */
    std::vector<uint8_t> raw = RawSaveBytes(3, title, 9);
    struct Row {
        const char *what;
        std::vector<uint8_t> bytes;
        CardFileKind kind;
        const wchar_t *name;
        const char *format;
        bool writable;
        const char *problem; /* null: read */
        std::vector<uint8_t> read;
        size_t size;
    };
    const Row rows[] = {
        { "a raw card", card, CARD_FILE_CARD, L"", "a raw card", true, NULL, card, 131072 },
        { "a raw card cut short", half, CARD_FILE_CARD, L"", "a raw card", true, NULL, halfCard, 65536 },
        { "anything else is a damaged raw card", std::vector<uint8_t>(1000, 0), CARD_FILE_CARD, L"",
          "a raw card", true, NULL, CardBytes(131072, 0), 1000 },
        { ".gme", gme, CARD_FILE_CARD, L"", "a DexDrive card (.gme)", false, NULL, card, 131072 },
        { ".gme cut short", shortGme, CARD_FILE_CARD, L"", "a DexDrive card (.gme)", false, NULL, halfCard,
          65536 },
        { ".vmp", VmpFile(card), CARD_FILE_CARD, L"", "a PSP card (.vmp)", false, NULL, card, 131072 },
        { ".mcs", mcs, CARD_FILE_SAVE, L"x", "a single save (.mcs)", true, NULL, mcs, mcs.size() },
        { "no save at all", std::vector<uint8_t>(10, 'x'), CARD_FILE_SAVE, L"x", "a single save (.mcs)", true,
          "its length is not that of a save of 1 to 15 blocks", {}, 0 },
        { ".psv", psv, CARD_FILE_SAVE, L"x", "a PS3 single save (.psv)", false, NULL, mcs, mcs.size() },
        { ".psv of a PS2 save", PsvFile(3, "BASLUS-00594FF7", title, 9, 2), CARD_FILE_SAVE, L"x",
          "a PS3 single save (.psv)", false, "it holds no PlayStation save", {}, 0 },
        { ".psv whose save lies past its end", farPsv, CARD_FILE_SAVE, L"x", "a PS3 single save (.psv)", false,
          "its save lies beyond the file's end", {}, 0 },
        { ".psv without a name", PsvFile(1, "", title, 9), CARD_FILE_SAVE, L"x", "a PS3 single save (.psv)",
          false, "it has no file name", {}, 0 },
        { "a raw save takes its file's name", raw, CARD_FILE_SAVE, L"BASLUS-00594FF7", "a raw save", false,
          NULL, mcs, mcs.size() },
        { "a raw save whose file name is too long", raw, CARD_FILE_SAVE, L"BASLUS-00594FF7-copy-2",
          "a raw save", false, "its file name, which names the save, is not 1 to 20 characters long", {}, 0 },
        { "a raw save whose file name is not plain ASCII", raw, CARD_FILE_SAVE, L"BASLUS-00594\x00E9",
          "a raw save", false,
          "its file name, which names the save, has characters other than plain ASCII", {}, 0 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const CardFileFormat *format = RecogniseCardFile(row.kind, row.bytes.data(), row.bytes.size());
        ASSERT_TRUE(format != NULL);
        EXPECT_STREQ(row.format, format->what);
        EXPECT_EQ(row.writable, format->write != NULL);
        std::vector<uint8_t> out(CARD_FILE_MAX, 0xCC);
        size_t size = 0;
        EXPECT_STREQ(row.problem, format->read(row.bytes.data(), row.bytes.size(), row.name, out.data(), &size));
        if (row.problem)
            continue;
        EXPECT_EQ(row.size, size);
        out.resize(row.kind == CARD_FILE_CARD ? 131072 : size);
        EXPECT_TRUE(row.read == out) << "not the bytes expected";
        if (format->write) {
            /* Written back, the file is as it was. */
            std::vector<uint8_t> written(CARD_FILE_MAX);
            written.resize(format->write(out.data(), size, written.data()));
            EXPECT_TRUE(row.bytes.size() != written.size() || row.bytes == written);
        }
    }
}
