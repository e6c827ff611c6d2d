/* The release ZIP as a user gets it: its exact entries, then unpacked into a
 * fresh folder with the stand-in beside it as KOVA.EXE, the configurator
 * started there, Save and Run. */
#include "cd/cddirect/resource.h"
#include "gpuhost/resource.h"

#include <algorithm>
#include <sstream>
#include <stdio.h>
#include <string.h>

#include "cfg_test.h"

namespace {

/* ---- the ZIP's entries, as zipinfo lists them ---- */

struct ZipEntry {
    std::string name;
    uint32_t size;
};

/* Empty with a test failure when zipinfo cannot read the archive (not a
   well-formed ZIP). */
std::vector<ZipEntry> ZipEntries()
{
    std::vector<ZipEntry> entries;
    ScratchDir scratch("zip listing");
    std::string listing = scratch / "listing.txt";
    std::string command = "zipinfo -s '" + std::string(KOVA_RELEASE_ZIP_UNIX) + "'";
    if (RunUnix(command + " > '" + UnixPath(listing) + "'") != 0) {
        ADD_FAILURE() << "zipinfo cannot read " << KOVA_RELEASE_ZIP_UNIX;
        return entries;
    }
    /* "-rw-r--r--  2.0 unx  3877 bX defN 26-Dec-09 01:51 README.TXT" */
    std::istringstream lines(ReadFileText(listing));
    std::string line;
    while (std::getline(lines, line)) {
        unsigned size;
        char name[MAX_PATH];
        if ((line[0] == '-' || line[0] == 'd') &&
            sscanf(line.c_str(), "%*s %*s %*s %u %*s %*s %*s %*s %259s", &size, name) == 2)
            entries.push_back({ name, size });
    }
    return entries;
}

/* ---- what the package holds ---- */

struct Shipped {
    const char *file;       /* in PLUGIN\ */
    int listId;             /* the main dialog's list of its family */
    const char *listed;     /* its line there */
    const char *installed;  /* its fixed name */
};

const Shipped kPlugins[] = {
    { "gpuhost.dll", IDC_GPU_LIST, "GPUHost 1.0", "GpuRend.dll" },
    { "cddirect.dll", IDC_CD_LIST, "CDDirect 1.0", "CDRend.dll" },
    { "cdidle.dll", IDC_CD_LIST, "CDIdle 1.0", "CDRend.dll" },
    { "cdimage.dll", IDC_CD_LIST, "CDImage 1.0", "CDRend.dll" },
    { "padkeys.dll", IDC_JOY0_LIST, "PadKeys 1.0", "Joy0Rend.dll" },
    { "padidle.dll", IDC_JOY0_LIST, "PadIdle 1.0", "Joy0Rend.dll" },
    { "mousepad.dll", IDC_JOY1_LIST, "MousePad 1.0", "Joy1Rend.dll" },
    { "padjoy1.dll", IDC_JOY0_LIST, "PadJoy1 1.0", "Joy0Rend.dll" },
    { "padjoy2.dll", IDC_JOY1_LIST, "PadJoy2 1.0", "Joy1Rend.dll" },
};

const Shipped *PluginByFile(const std::string &file)
{
    for (const Shipped &p : kPlugins)
        if (_stricmp(p.file, file.c_str()) == 0)
            return &p;
    return NULL;
}

/* A fresh folder with the package unpacked into it. */
struct Unpacked {
    ScratchDir scratch{ "KOVA release" };
    std::string dir;
    int status;
    Unpacked()
    {
        dir = scratch.path();
        status = RunUnix("unzip -q '" + std::string(KOVA_RELEASE_ZIP_UNIX) + "' -d '" + UnixPath(dir) + "'");
    }
};

} // namespace

TEST(ReleasePackage, HoldsExactlyTheProgramDirectoryAndNothingElse)
{
    std::vector<std::string> names;
    for (const ZipEntry &entry : ZipEntries()) {
        names.push_back(entry.name);
        /* A folder is an entry of its own, so that an empty one survives. */
        if (entry.name.back() == '/')
            EXPECT_EQ(0u, entry.size) << entry.name;
        else
            EXPECT_LT(0u, entry.size) << entry.name;
    }
    std::sort(names.begin(), names.end());
    const std::vector<std::string> want = {
        "BIOS/",
        "KOVACFG.EXE",
        "MEMCARDS/",
        "PLUGIN/",
        "PLUGIN/PSEMU/",
        "PLUGIN/cddirect.dll",
        "PLUGIN/cdidle.dll",
        "PLUGIN/cdimage.dll",
        "PLUGIN/gpuhost.dll",
        "PLUGIN/mousepad.dll",
        "PLUGIN/padidle.dll",
        "PLUGIN/padjoy1.dll",
        "PLUGIN/padjoy2.dll",
        "PLUGIN/padkeys.dll",
        "README.TXT",
    };
    EXPECT_EQ(want, names);
}

TEST(ReleasePackage, UnpacksToTheBuiltFilesAndEmptyFolders)
{
    Unpacked u;
    ASSERT_EQ(0, u.status) << "unzip failed";
    EXPECT_EQ(ReadFileBytes(ShippedPath("KOVACFG.exe")), ReadFileBytes(u.dir + "KOVACFG.EXE"));
    for (const Shipped &p : kPlugins)
        EXPECT_EQ(ReadFileBytes(ShippedPath(p.file)), ReadFileBytes(u.dir + "PLUGIN\\" + p.file))
            << p.file;
    const char *const kEmpty[] = { "PLUGIN\\PSEMU\\", "BIOS\\", "MEMCARDS\\" };
    for (const char *folder : kEmpty) {
        DWORD attributes = GetFileAttributesA((u.dir + folder).c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            << folder << " is not there";
        EXPECT_EQ(Lines(), SearchOrder(u.dir + folder + "*", true)) << folder;
    }
    EXPECT_FALSE(FileExists(u.dir + "KOVA.INI")) << "the first Save makes it";
    EXPECT_FALSE(FileExists(u.dir + "KOVA.EXE")) << "the user's own";
}

TEST(ReleasePackage, ReadmeIsATextForWindowsUsersThatNamesWhatTheyNeed)
{
    Unpacked u;
    ASSERT_EQ(0, u.status) << "unzip failed";
    std::string text = ReadFileText(u.dir + "README.TXT");
    ASSERT_FALSE(text.empty());
    /* Every line ends in CR LF, and none is wider than a console window. */
    size_t lineStart = 0;
    int lineNumber = 1;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "lone CR in line " << lineNumber;
        } else if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "LF without CR in line " << lineNumber;
            EXPECT_LE(i - 1 - lineStart, 79u) << "line " << lineNumber << " is too long";
            lineStart = i + 1;
            lineNumber++;
        } else {
            EXPECT_TRUE(text[i] >= 32 && text[i] < 127) << "not plain ASCII in line " << lineNumber;
        }
    }
    EXPECT_EQ(text.size(), lineStart) << "the last line has no line end";

    const char *const kNamed[] = {
        "KOVACFG.EXE", "gpuhost.dll", "cddirect.dll", "cdidle.dll", "padkeys.dll", "padidle.dll",
        "mousepad.dll", "padjoy1.dll", "padjoy2.dll", "PLUGIN\\PSEMU\\", "KOVA.INI", "GpuRend.dll", "SpuRend.dll", "Joy0Rend.dll",
        "Joy1Rend.dll", "CDRend.dll", "Save", "Run", "KOVA.EXE", "BIOS\\", "MEMCARDS\\",
        "cdimage.dll",
    };
    for (const char *name : kNamed)
        EXPECT_NE(std::string::npos, text.find(name)) << "README.TXT does not name " << name;
}

TEST(ReleasePackage, UnpackedBesideKovaExeItListsSavesAndRunsTheSixPlugins)
{
    Unpacked u;
    ASSERT_EQ(0, u.status) << "unzip failed";
    const std::string &dir = u.dir;
    ASSERT_TRUE(CopyFileTo(ShippedPath("KOVA.exe"), dir + "KOVA.EXE"));

    /* What the lists should show: every family in the order the directory
       search finds its libraries, the first one preselected. */
    std::vector<std::string> order = SearchOrder(dir + "PLUGIN\\*.dll");
    ASSERT_EQ(dimof(kPlugins), order.size());
    struct Family {
        const char *name;
        int listId;
        std::vector<std::string> listed;
        std::vector<std::string> files;
    } families[] = {
        { "Graphics", IDC_GPU_LIST, {}, {} },
        { "Sound", IDC_SPU_LIST, {}, {} },
        { "Pad1", IDC_JOY0_LIST, {}, {} },
        { "Pad2", IDC_JOY1_LIST, {}, {} },
        { "CD-ROM", IDC_CD_LIST, {}, {} },
    };
    for (const std::string &file : order) {
        const Shipped *p = PluginByFile(file);
        ASSERT_TRUE(p != NULL) << file;
        for (Family &f : families)
            if (f.listId == p->listId) {
                f.listed.push_back(p->listed);
                f.files.push_back(p->file);
            }
    }

    Configurator cfg(dir);
    ASSERT_TRUE(cfg.started());
    HWND main = cfg.Main();
    ASSERT_TRUE(main != NULL);
    for (const Family &f : families) {
        EXPECT_EQ(f.listed, ComboItems(main, f.listId)) << f.name;
        EXPECT_EQ(f.listed.empty() ? -1 : 0, ComboSelection(main, f.listId)) << f.name;
        EXPECT_EQ(!f.listed.empty(), Enabled(main, f.listId)) << f.name;
    }

    /* Save as it comes: KOVA.INI made, the first of every family installed. */
    Click(main, IDC_SAVE);
    EXPECT_EQ("[KOVA]\r\nEmulateBios=on\r\nDebugger=off\r\nVerbose=off\r\nDisasm=off\r\n"
              "CDUseCache=off\r\nUseSerial=off\r\nCpuMode=Compiler\r\nCDCountry=0\r\n"
              "MemCard1=\r\nMemCard2=\r\n",
              ReadFileText(dir + "KOVA.INI"));
    EXPECT_FALSE(FileExists(dir + "SpuRend.dll"));
    for (const Family &f : families) {
        if (f.files.empty())
            continue;
        const Shipped *first = PluginByFile(f.files[0]);
        EXPECT_EQ(ReadFileBytes(ShippedPath(first->file)), ReadFileBytes(dir + first->installed))
            << f.name << ": " << first->installed << " is not a copy of " << first->file;
    }

    /* Ready for a run in this prefix: a hosted GPU plugin chosen in
       gpuhost's dialog, cddirect on the CD-ROM drive E:, the keyboard pad. */
    ASSERT_TRUE(CopyFileTo(TestBinPath("pse_soft.dll"), dir + "PLUGIN\\PSEMU\\pse_soft.dll"));
    ClickLater(main, IDC_GPU_CONFIGURE);
    HWND gpu = WaitForDialog("GpuHostPro Configuration", cfg.processId());
    ASSERT_TRUE(gpu != NULL);
    EXPECT_EQ(std::vector<std::string>({ "Soft 2.3" }), ComboItems(gpu, IDC_HOSTED_LIST));
    SelectCombo(gpu, IDC_HOSTED_LIST, 0);
    ASSERT_TRUE(Answer("GpuHostPro Configuration", IDOK, NULL, cfg.processId()));

    auto selectListed = [&](int listId, const char *listed) {
        std::vector<std::string> items = ComboItems(main, listId);
        auto it = std::find(items.begin(), items.end(), listed);
        ASSERT_TRUE(it != items.end()) << listed;
        SelectCombo(main, listId, static_cast<int>(it - items.begin()));
    };
    selectListed(IDC_CD_LIST, "CDDirect 1.0");
    selectListed(IDC_JOY0_LIST, "PadKeys 1.0");
    selectListed(IDC_JOY1_LIST, "MousePad 1.0");
    ClickLater(main, IDC_CD_CONFIGURE);
    HWND cd = WaitForDialog("IOControl Setup", cfg.processId());
    ASSERT_TRUE(cd != NULL);
    EXPECT_EQ(std::vector<std::string>({ "E:\\" }), ComboItems(cd, IDC_DRIVE_LETTER));
    ASSERT_TRUE(Answer("IOControl Setup", IDOK, NULL, cfg.processId()));
    std::string ini = ReadFileText(dir + "KOVA.INI");
    EXPECT_NE(std::string::npos, ini.find("[GPUHOST]\r\nPluginName=pse_soft.dll\r\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("[CDIOCTRL]\r\nDriveLetter=E\r\n")) << ini;

    Click(main, IDC_SAVE);
    const struct {
        const char *installed;
        const char *file;
    } installs[] = {
        { "GpuRend.dll", "gpuhost.dll" },
        { "CDRend.dll", "cddirect.dll" },
        { "Joy0Rend.dll", "padkeys.dll" },
        { "Joy1Rend.dll", "mousepad.dll" },
    };
    for (const auto &i : installs)
        EXPECT_EQ(ReadFileBytes(ShippedPath(i.file)), ReadFileBytes(dir + i.installed))
            << i.installed << " is not a copy of " << i.file;

    Click(main, IDC_RUN);
    EXPECT_EQ(0u, cfg.Exit());

    std::vector<std::string> transcript = SplitLines(ReadFileText(dir + "STANDIN.LOG"));
    const std::vector<std::string> head = {
        "KOVA stand-in",
        "argc 1",
        "argv[0] " + dir + "KOVA.EXE",
        "settings [KOVA]",
        "  EmulateBios=on",
        "  Debugger=off",
        "  Verbose=off",
        "  Disasm=off",
        "  CDUseCache=off",
        "  UseSerial=off",
        "  CpuMode=Compiler",
        "  CDCountry=0",
        "  MemCard1=",
        "  MemCard2=",
        "SPU SpuRend.dll: not installed",
        "GPU GpuRend.dll: loaded",
        "GPU GPU_Open -> 0 flags ffffffff -> fffffffe",
        "CD CDRend.dll: loaded",
        "CD CD_Open -> 0",
        "PAD1 Joy0Rend.dll: loaded",
        "PAD1 JOY0_Open -> 0",
        "PAD2 Joy1Rend.dll: loaded",
        "PAD2 JOY1_Open -> 0",
    };
    ASSERT_GE(transcript.size(), head.size());
    EXPECT_EQ(head, std::vector<std::string>(transcript.begin(), transcript.begin() + head.size()));
    /* Each plugin did its work and was closed again. */
    const char *const kLater[] = {
        "GPU readback: 2048 words equal",
        "GPU GPU_Update 60 frames",
        "CD CD_Read 00:02:16 -> header 00 02 16 00 data 01 43 44 30 30 31 01 00 |.CD001..|",
        "PAD1 poll report 42 41 5a ff ff",
        "PAD2 poll report 42 12 5a ff ff 00 00",
        "PAD2 JOY1_Close",
        "PAD1 JOY0_Close",
        "CD CD_Close",
        "GPU GPU_Close",
    };
    for (const char *line : kLater)
        EXPECT_NE(transcript.end(), std::find(transcript.begin(), transcript.end(), line)) << line;
    EXPECT_EQ("result: ok", transcript.back());
}
