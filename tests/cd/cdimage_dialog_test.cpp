/* The "CD Image" dialog of cdimage.dll, shown for real by CD_Configure on a
 * freshly loaded library and driven from a timer inside its modal loop:
 * what it shows of the stored image and the recent ones, the summary of
 * what is on the disc, the system's file-open dialog behind "Browse...",
 * and what OK, Cancel and Esc store through the host's writeSetting; and
 * "Verify", the check of an ECM image's checksum, with its progress and
 * its Cancel. */
#include <windows.h>
#include <commctrl.h>

#include "cd/cdimage/resource.h"
#include "cd_test_disc.h"
#include "cd_test_pbp.h"
#include "cd_test_writers.h"
#include "kova_test.h"

namespace {

const char kCaption[] = "CD Image";

struct Seen {
    std::string path, summary;
    Lines recent, discs;
    bool discsEnabled = false;
    HWND owner = NULL;
    Lines filters;  /* the file-open dialog's file types */
};

/* A control's text as it is (UTF-8). */
std::string TextOf(HWND dialog, int id)
{
    std::wstring text(32768, L'\0');
    text.resize(static_cast<size_t>(GetDlgItemTextW(dialog, id, &text[0], static_cast<int>(text.size()))));
    return Utf8(text);
}

DialogDriver::Step Read(Seen *seen)
{
    return Check([seen](HWND dialog) {
        seen->path = TextOf(dialog, IDC_IMAGE_PATH);
        seen->summary = TextOf(dialog, IDC_SUMMARY);
        seen->recent = ListItems(dialog, IDC_RECENT);
        seen->discs = ComboItems(dialog, IDC_DISC);
        seen->discsEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_DISC)) != FALSE;
        seen->owner = GetWindow(dialog, GW_OWNER);
    });
}

/* In the file-open dialog: the file types it offers, then the file name
   typed and its OK button clicked. */
DialogDriver::Step OpenFile(std::string file, Seen *seen)
{
    return [file, seen](HWND) {
        HWND open = FindWindowA("#32770", "Open");
        if (!OwnThread(open) || !IsWindowVisible(open))
            return false;
        seen->filters = ComboItems(open, 0x470 /* cmb1, the file types */);
        SetDlgItemTextA(open, 0x47C /* cmb13, the file name */, file.c_str());
        PostMessageA(GetDlgItem(open, IDOK), BM_CLICK, 0, 0);
        return true;
    };
}

/* A click on an entry of the recent list. */
DialogDriver::Step Pick(int index)
{
    return [index](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_RECENT);
        SendMessageA(list, LB_SETCURSEL, index, 0);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_RECENT, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        return true;
    };
}

/* Typed into the image's field, any characters. */
DialogDriver::Step Type(std::string utf8)
{
    return Check([utf8](HWND dialog) { SetDlgItemTextW(dialog, IDC_IMAGE_PATH, Utf16(utf8).c_str()); });
}

typedef std::vector<DialogDriver::Step> Steps;

std::string Time(int32_t frames)
{
    char t[16];
    BufFormat(t, sizeof t, "%02d:%02d:%02d", frames / 4500, frames / 75 % 60, frames % 75);
    return t;
}

/* The summary of one of the game's discs under the lines of its image. */
std::string GameSummary(const std::string &head, const TestDisc &d, const char *boot)
{
    return head + "Boot program: cdrom:\\" + boot + ";1\r\nRegion: America\r\nLength " + Time(d.sectors()) + " (" +
           std::to_string(d.sectors()) + " sectors)\r\nTrack 01  MODE2/2352  start 00:02:00  length " +
           Time(d.audioStart) + "\r\nTrack 02  AUDIO       start " + Time(d.audioStart + 150) + "  length " +
           Time(d.sectors() - d.audioStart) + "\r\n";
}

} // namespace

TEST(CdImageDialog, ShowsTheDiscAndStoresTheChoice)
{
    /* A program directory (the folder of the host's module) holding a
       PlayStation disc as an ISO, and a CUE sheet outside it whose file
       is missing. */
    ScratchDir dir("cdimage-dialog");
    std::string program = dir.MakeDir("KOVA");
    dir.MakeDir("KOVA\\DISCS");
    dir.MakeDir("files");
    ASSERT_TRUE(WriteFileText(dir / "files\\SYSTEM.CNF", "BOOT = cdrom:\\SLUS_012.34;1\r\nTCB = 4\r\n"));
    ASSERT_TRUE(MakeIsoImage(dir / "files", program + "DISCS\\GAME.ISO"));
    ASSERT_TRUE(WriteFileText(dir / "LOST.CUE", "FILE \"LOST.BIN\" BINARY\n  TRACK 01 MODE2/2352\n"
                                                "    INDEX 01 00:00:00\n"));
    /* The game's two discs as a PBP, and as CUE/BIN in a playlist whose
       third disc is missing. */
    const TestDisc &one = GameDisc(1), &two = GameDisc(2);
    PbpPlaces places;
    std::vector<uint8_t> pbp = MakePbp({ { &one, "SLUS-00892", true }, { &two, "SLUS-00908", false } }, false,
                                       &places);
    ASSERT_TRUE(WriteFileBytes(program + "DISCS\\GAME.PBP", pbp.data(), pbp.size()));
    ASSERT_TRUE(WriteCueBin(program + "DISCS\\", "ONE", one));
    ASSERT_TRUE(WriteCueBin(program + "DISCS\\", "TWO", two));
    ASSERT_TRUE(WriteFileText(program + "DISCS\\GAME.M3U", "ONE.CUE\r\nTWO.CUE\r\nGONE.CUE\r\n"));
    auto pbpHead = [&places](int chosen) {
        size_t packed = 0;
        for (bool p : places.packed[chosen - 1])
            packed += p;
        return "PBP, 2 discs, disc " + std::to_string(chosen) + " chosen: " + (chosen == 1 ? "SLUS-00892" : "SLUS-00908") +
               "\r\n    GAME.PBP: " + std::to_string(places.blocks[chosen - 1].size()) + " blocks of 16 sectors, " +
               std::to_string(packed) + " of them compressed\r\n";
    };
    const std::string pbp1 = GameSummary(pbpHead(1), one, "SLUS_008.92"),
                      pbp2 = GameSummary(pbpHead(2), two, "SLUS_009.08"),
                      list2 = GameSummary("Playlist GAME.M3U, 3 discs, disc 2 chosen: TWO.CUE\r\n"
                                          "    CUE sheet TWO.CUE, 1 file:\r\n        TWO.BIN\r\n"
                                          "    GAME.M3U line 3: file \"GONE.CUE\" is missing\r\n", two, "SLUS_009.08");
    const Lines pbpDiscs = { "Disc 1: SLUS-00892", "Disc 2: SLUS-00908" },
                listDiscs = { "Disc 1: ONE.CUE", "Disc 2: TWO.CUE", "Disc 3: GONE.CUE" };
    ASSERT_TRUE(CopyFileTo(ShippedPath("cdidle.dll"), program + "HOST.DLL"));
    Library hostModule(program + "HOST.DLL");
    ASSERT_TRUE(hostModule.loaded());

    int64_t sectors = static_cast<int64_t>(ReadFileBytes(program + "DISCS\\GAME.ISO").size() / 2048);
    uint8_t length[3];
    MsfFromSector(static_cast<int32_t>(sectors) - 150, length);
    char lengthLine[64];
    BufFormat(lengthLine, sizeof lengthLine, "%02u:%02u:%02u (%ld sectors)", length[0], length[1],
              length[2], static_cast<long>(sectors));
    const std::string iso = std::string("ISO image GAME.ISO (2048-byte sectors)\r\n") +
                            "Boot program: cdrom:\\SLUS_012.34;1\r\nRegion: America\r\nLength " +
                            lengthLine + "\r\nTrack 01  MODE1/2048  start 00:02:00  length " +
                            std::string(lengthLine, 8) + "\r\n";
    /* The same disc as a CHD, made by chdman from a CUE sheet of the ISO. */
    ASSERT_TRUE(WriteFileText(program + "DISCS\\GAME.CUE", "FILE \"GAME.ISO\" BINARY\n  TRACK 01 MODE1/2048\n"
                                                           "    INDEX 01 00:00:00\n"));
    ASSERT_EQ(0, RunUnix("chdman createcd -c cdzl -i '" + UnixPath(program + "DISCS\\GAME.CUE") + "' -o '" +
                         UnixPath(program + "DISCS\\GAME.CHD") + "' >/dev/null 2>&1"));
    char hunks[64];
    BufFormat(hunks, sizeof hunks, "    GAME.CHD: %ld hunks of 8 sectors\r\n", static_cast<long>((sectors + 7) / 8));
    const std::string chd = std::string("CHD v5, codecs cdzl\r\n") + hunks + iso.substr(iso.find("\r\n") + 2);
    const std::string lost = "CUE sheet LOST.CUE, 1 file:\r\n    LOST.BIN\r\n"
                             "LOST.CUE line 1: file \"LOST.BIN\" is missing\r\n";
    const std::string lostCue = dir / "LOST.CUE", gameIso = program + "DISCS\\GAME.ISO";
    /* A CUE sheet in a folder whose name the ANSI code page cannot write,
       naming a file in katakana: shown as it is, stored by its short path. */
    const std::string japanese = "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0";
    const std::string farFolder = Utf8(Widen(dir.path())) + "\xD0\x94\xD0\xB8\xD1\x81\xD0\xBA\\";
    const std::string farCue = farFolder + "DISC.CUE";
    ASSERT_TRUE(CreateDirectoryW(Utf16(farFolder).c_str(), NULL));
    for (const auto &file : { std::make_pair(farCue, "FILE \"" + japanese + ".bin\" BINARY\n  TRACK 01 MODE2/2352\n"
                                                            "    INDEX 01 00:00:00\n"),
                              std::make_pair(farFolder + japanese + ".bin", std::string(10 * 2352, '\0')) }) {
        HANDLE h = CreateFileW(Utf16(file.first).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD put = 0;
        ASSERT_TRUE(WriteFile(h, file.second.data(), static_cast<DWORD>(file.second.size()), &put, NULL));
        CloseHandle(h);
    }
    wchar_t shortName[MAX_PATH];
    ASSERT_GT(GetShortPathNameW(Utf16(farCue).c_str(), shortName, MAX_PATH), 0u);
    const std::string farShort = Narrow(shortName);
    const std::string farSummary = "CUE sheet DISC.CUE, 1 file:\r\n    " + japanese + ".bin\r\n"
                            "No SYSTEM.CNF: not a PlayStation disc\r\nLength 00:00:10 (10 sectors)\r\n"
                            "Track 01  MODE2/2352  start 00:02:00  length 00:00:10\r\n";

    struct Row {
        const char *what;
        const char *stored;          /* "ImageFile" before; recent: Recent1, Recent2 */
        Lines recent;
        std::function<Steps(Seen *)> steps;  /* after the first look */
        std::string summary;         /* at the first look */
        std::string later;           /* at the last look, if any */
        HostCalls writes;
        const char *disc = "";       /* "Disc" before */
        Lines discs = {};            /* the disc list at the first look (enabled when any) */
    };
    auto cancel = [](Seen *) { return Steps{ Press(IDCANCEL) }; };
    auto write = [](const char *key, const std::string &value) {
        return HostCall{ "write", "CDIMAGE", key, value };
    };
    SeenBox renameBox;
    const Row rows[] = {
        { "the stored image (relative), Cancel", "DISCS\\GAME.ISO", { "DISCS\\GAME.ISO", lostCue },
          cancel, iso, "", {} },
        { "Esc", "DISCS\\GAME.ISO", {}, [](Seen *) { return Steps{ Key(VK_ESCAPE) }; }, iso, "", {} },
        { "a CHD: its kind and codecs, then as for the ISO", "DISCS\\GAME.CHD", {}, cancel, chd, "", {} },
        { "a missing file is a line of the summary", lostCue.c_str(), {}, cancel, lost, "", {} },
        { "nothing stored; Browse to the CUE sheet, OK", "", { "DISCS\\GAME.ISO" },
          [&lostCue](Seen *s) {
              return Steps{ Press(IDC_BROWSE), OpenFile(lostCue, s), Read(s), Press(IDOK) };
          },
          "No image chosen.", lost,
          { write("ImageFile", lostCue), write("Disc", "1"), write("Recent1", lostCue), write("Recent2", "DISCS\\GAME.ISO") } },
        { "Browse into the program directory: stored relative", lostCue.c_str(), { lostCue },
          [&gameIso](Seen *s) {
              return Steps{ Press(IDC_BROWSE), OpenFile(gameIso, s), Read(s), Press(IDOK) };
          },
          lost, iso,
          { write("ImageFile", "DISCS\\GAME.ISO"), write("Disc", "1"), write("Recent1", "DISCS\\GAME.ISO"),
            write("Recent2", lostCue) } },
        { "a recent image picked, OK: first in the list, no repeats", lostCue.c_str(),
          { lostCue, "DISCS\\GAME.ISO" },
          [](Seen *s) { return Steps{ Pick(1), Read(s), Press(IDOK) }; }, lost, iso,
          { write("ImageFile", "DISCS\\GAME.ISO"), write("Disc", "1"), write("Recent1", "DISCS\\GAME.ISO"),
            write("Recent2", lostCue) } },
        { "a recent image picked, Cancel", lostCue.c_str(), { lostCue, "DISCS\\GAME.ISO" },
          [](Seen *s) { return Steps{ Pick(1), Read(s), Press(IDCANCEL) }; }, lost, iso, {} },
        { "a name the ANSI code page cannot write: shown as it is, stored by its short path", "", {},
          [&farCue](Seen *s) { return Steps{ Type(farCue), Read(s), Press(IDOK) }; },
          "No image chosen.", farSummary, { write("ImageFile", farShort), write("Disc", "1"), write("Recent1", farShort) } },
        { "such a name with no short name (no such file): the box says so, OK stores nothing", "", {},
          [&farFolder, &japanese, &renameBox](Seen *s) {
              return Steps{ Type(farFolder + japanese + ".cue"), Read(s), Press(IDOK),
                            AnswerBox("CD Image", &renameBox), Press(IDCANCEL) };
          },
          "No image chosen.", japanese + ".cue\r\n" + japanese + ".cue: the file is missing\r\n", {} },
        { "a two-disc PBP: its discs listed, disc 2 chosen, OK", "DISCS\\GAME.PBP", {},
          [](Seen *s) { return Steps{ Choose(IDC_DISC, 1), Read(s), Press(IDOK) }; }, pbp1, pbp2,
          { write("ImageFile", "DISCS\\GAME.PBP"), write("Disc", "2"), write("Recent1", "DISCS\\GAME.PBP") }, "",
          pbpDiscs },
        { "a playlist, its disc 2 stored and its third missing, Cancel", "DISCS\\GAME.M3U", {}, cancel, list2, "",
          {}, "2", listDiscs },
        { "from the playlist's disc 2 to a recent PBP: its disc 1, OK", "DISCS\\GAME.M3U", { "DISCS\\GAME.PBP" },
          [](Seen *s) { return Steps{ Pick(0), Read(s), Press(IDOK) }; }, list2, pbp1,
          { write("ImageFile", "DISCS\\GAME.PBP"), write("Disc", "1"), write("Recent1", "DISCS\\GAME.PBP") }, "2",
          listDiscs },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        CdExports cd(ShippedPath("cdimage.dll"));
        ASSERT_TRUE(cd.CD_Configure);
        TestWindow owner;
        RecordingHost host;
        host.record.mainWindow = owner.handle();
        host.record.hostInstance = hostModule.handle();
        host.Answer("CDIMAGE", "ImageFile", row.stored);
        host.Answer("CDIMAGE", "Disc", row.disc);
        for (size_t i = 0; i < row.recent.size(); i++)
            host.Answer("CDIMAGE", ("Recent" + std::to_string(i + 1)).c_str(), row.recent[i]);
        Seen first, last;
        Steps steps = { Read(&first) };
        Steps more = row.steps(&last);
        steps.insert(steps.end(), more.begin(), more.end());
        DialogDriver driver(kCaption, steps);
        EXPECT_EQ(0, cd.CD_Configure(&host.record));
        EXPECT_TRUE(driver.finished()) << "dialog steps done: " << driver.stepsDone();

        EXPECT_EQ(owner.handle(), first.owner);
        EXPECT_EQ(row.stored, first.path);
        EXPECT_EQ(row.recent, first.recent);
        EXPECT_EQ(row.summary, first.summary);
        EXPECT_EQ(row.discs, first.discs);
        EXPECT_EQ(!row.discs.empty(), first.discsEnabled);
        if (!row.later.empty()) {
            EXPECT_EQ(row.later, last.summary);
        }
        bool browsed = strstr(row.what, "Browse") != NULL;
        EXPECT_EQ(browsed ? Lines({ "Disc images (*.cue;*.bin;*.iso;*.img;*.chd;*.pbp;*.m3u;*.ecm;*.ccd)", "All files (*.*)" }) : Lines(),
                  last.filters);
        EXPECT_EQ(row.writes, host.Calls("write"));
    }
    EXPECT_TRUE(renameBox.seen);
    EXPECT_EQ("The path of this image cannot be stored: the system's code page cannot write some of its "
              "characters, and it has no short name to stand for it.\n\nRename the file or its folders so "
              "that their names use no such characters, and choose it again.",
              renameBox.text);
    /* What the emulator then opens. */
    CdExports cd(ShippedPath("cdimage.dll"));
    RecordingHost host;
    host.Answer("CDIMAGE", "ImageFile", farShort);
    EXPECT_EQ(0, cd.CD_Open(&host.record)) << farShort;
    cd.CD_Close();
}

namespace {

/* An ECM file of size bytes of zeros in one record, written sparse (the
   record's bytes are never written): long enough to check that the check
   can be stopped. Its checksum, the EDC of zeros, is zero. */
void SparseEcm(const std::string &path, uint32_t size)
{
    std::vector<uint8_t> head = { 'E', 'C', 'M', 0 }, tail;
    PutEcmRecordHeader(head, 0, size - 1);
    PutEcmRecordHeader(tail, 0, 0xFFFFFFFFu);
    tail.insert(tail.end(), 4, 0);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD put = 0;
    WriteFile(file, head.data(), static_cast<DWORD>(head.size()), &put, NULL);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<int64_t>(head.size()) + size;
    SetFilePointerEx(file, at, NULL, FILE_BEGIN);
    WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &put, NULL);
    CloseHandle(file);
}

/* In the progress dialog "Verifying": once its bar has moved, its Cancel. */
DialogDriver::Step CancelOnceMoved(LRESULT *position)
{
    return [position](HWND) {
        HWND progress = FindWindowA("#32770", "Verifying");
        if (!OwnThread(progress))
            return false;
        *position = SendDlgItemMessageA(progress, IDC_VERIFY_PROGRESS, PBM_GETPOS, 0, 0);
        if (*position <= 0)
            return false;
        PostMessageA(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
        return true;
    };
}

} // namespace

TEST(CdImageDialog, VerifyChecksAnEcmImageOnlyWhenAsked)
{
    ScratchDir dir("cdimage-verify");
    std::vector<uint8_t> bin = MadeSectors(MADE_FORM1, 40, 0, 3);
    std::vector<uint8_t> ecm = WriteEcm(bin).bytes;
    WriteFileBytes(dir / "GAME.BIN", bin.data(), bin.size());
    WriteFileBytes(dir / "GAME.BIN.ECM", ecm.data(), ecm.size());
    ecm[300] ^= 1;   /* a byte of the first sector's data */
    WriteFileBytes(dir / "BAD.BIN.ECM", ecm.data(), ecm.size());
    WriteFileText(dir / "GAME.CUE", "FILE \"KEPT.BIN\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n");
    WriteFileBytes(dir / "KEPT.BIN.ecm", ecm.data(), ecm.size());
    SparseEcm(dir / "LONG.ISO.ECM", 300u << 20);

    struct Row {
        const char *image;
        bool verify;             /* the button enabled */
        const char *said;        /* the box's text, "" for none */
    } rows[] = {
        { "GAME.BIN", false, "" },
        { "GAME.BIN.ECM", true, "GAME.BIN.ECM: the image matches its checksum: it is whole." },
        { "BAD.BIN.ECM", true, "BAD.BIN.ECM: the image does not match its checksum: it is damaged." },
        { "GAME.CUE", true, "KEPT.BIN.ecm: the image does not match its checksum: it is damaged." },
        { "LONG.ISO.ECM", true, "" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.image);
        CdExports cd(ShippedPath("cdimage.dll"));
        RecordingHost host;
        host.Answer("CDIMAGE", "ImageFile", dir / row.image);
        bool enabled = false;
        SeenBox box;
        LRESULT position = 0;
        Steps steps = { Check([&enabled](HWND d) { enabled = IsWindowEnabled(GetDlgItem(d, IDC_VERIFY)) != 0; }) };
        if (row.verify) {
            steps.push_back(Press(IDC_VERIFY));
            if (*row.said)
                steps.push_back(AnswerBox("Verify", &box));
            else
                steps.insert(steps.end(), { CancelOnceMoved(&position), Gone("Verifying"), Wait(300) });
        }
        steps.insert(steps.end(), { Gone("Verify"), Press(IDCANCEL) });
        DialogDriver driver(kCaption, steps);
        EXPECT_EQ(0, cd.CD_Configure(&host.record));
        EXPECT_TRUE(driver.finished()) << "dialog steps done: " << driver.stepsDone();
        EXPECT_EQ(row.verify, enabled);
        EXPECT_EQ(row.said, box.text);
        if (row.verify && !*row.said) {
            EXPECT_GT(position, 0) << "the bar moved before Cancel";
            EXPECT_LT(position, 1000) << "and Cancel came before the end";
        }
    }
}
