/* The hostile-input checks of their own (hostile_test.cpp lists them). */
#include "hostile_rows.h"

#include <algorithm>
#include <string.h>

#include "gpuhost/resource.h"
#include "gpuhost_rig.h"
#include "hostile_support.h"

namespace {

#define NAME_STRING(name) #name,
const char *const kCdNames[] = { KOVA_CD_EXPORTS(NAME_STRING) };
const char *const kPseNames[] = { PSE_GPU_FUNCTIONS(NAME_STRING) };
#undef NAME_STRING

std::vector<std::string> Names(const char *const *names, size_t count)
{
    return std::vector<std::string>(names, names + count);
}

bool Contains(const Lines &lines, const std::string &line)
{
    for (const std::string &l : lines)
        if (l == line)
            return true;
    return false;
}

std::vector<uint8_t> Cut(const std::vector<uint8_t> &bytes, size_t size)
{
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min(size, bytes.size()));
}

/* Installs the broken library as CDRend.dll and the idle pad as pad 1,
   runs the stand-in and expects: the CD library reported as not loadable
   with the given system error, the pad run through to its close, exit 1. */
void ExpectStandInPassesOver(const std::vector<uint8_t> &broken, DWORD error)
{
    StandInDir p("hostile-standin");
    p.InstallBytes(broken, "CDRend.dll");
    p.Install(ShippedPath("padidle.dll"), "Joy0Rend.dll");
    EXPECT_EQ(1u, p.Run());
    Lines t = p.Transcript();
    std::string refused = "CD CDRend.dll: cannot be loaded (error " + std::to_string(error) + ")";
    EXPECT_TRUE(Contains(t, refused)) << refused;
    for (const char *line : { "PAD1 JOY0_Open -> 0", "PAD1 poll report 42 41 5a ff ff",
                              "PAD1 JOY0_Close", "result: 1 failure(s)" })
        EXPECT_TRUE(Contains(t, line)) << line;
    EXPECT_FALSE(Contains(t, "CD CD_Close")) << "nothing called in a library that did not load";
}

} // namespace

/* ---- libraries that are not what their name says ---- */

void GarbageInstalled()
{
    ExpectStandInPassesOver(GarbageBytes(4096, 0x4B4F5641u), ERROR_BAD_EXE_FORMAT);
}

void EmptyFileInstalled()
{
    ExpectStandInPassesOver(std::vector<uint8_t>(), ERROR_BAD_EXE_FORMAT);
}

void TruncatedPluginsInstalled()
{
    const std::vector<uint8_t> whole = ReadFileBytes(ShippedPath("cdidle.dll"));
    ASSERT_GT(whole.size(), 4096u);
    struct Row {
        const char *what;
        size_t size;
        DWORD error;
    };
    const Row rows[] = {
        { "\"MZ\" only", 2, ERROR_BAD_EXE_FORMAT },
        { "the DOS header", 64, ERROR_BAD_EXE_FORMAT },
        { "the headers", 1024, ERROR_BAD_EXE_FORMAT },
        { "half", whole.size() / 2, ERROR_BAD_EXE_FORMAT },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ExpectStandInPassesOver(Cut(whole, row.size), row.error);
    }
}

void Pe32PlusInstalled()
{
    ExpectStandInPassesOver(MakePe32PlusDll("cd64.dll", Names(kCdNames, dimof(kCdNames))),
                            ERROR_BAD_EXE_FORMAT);
}

void DllMainFailsInstalled()
{
    ExpectStandInPassesOver(ReadFileBytes(TestBinPath("refuses_load.dll")), ERROR_DLL_INIT_FAILED);
}

namespace {

struct BrokenLibrary {
    const char *what;
    const char *fileName;
    std::vector<uint8_t> bytes;
};

std::vector<BrokenLibrary> BrokenHostedLibraries()
{
    return {
        { "garbage", "a_garbage.dll", GarbageBytes(4096, 0x50534555u) },
        { "empty file", "b_empty.dll", {} },
        { "truncated", "c_cut.dll", Cut(ReadFileBytes(TestBinPath("pse_soft.dll")), 1024) },
        { "64-bit", "d_x64.dll", MakePe32PlusDll("gpu64.dll", Names(kPseNames, dimof(kPseNames))) },
        { "DllMain fails", "e_refuses.dll", ReadFileBytes(TestBinPath("refuses_load.dll")) },
    };
}

/* gpuhost copied into PLUGIN\ of a program directory, with the record of
   an emulator whose module lies in that directory. */
struct GpuRig {
    GpuProgramDir dir;
    Library emulator;
    RecordingHost host;
    GpuHost gpu;
    explicit GpuRig(const char *name)
        : dir(name), emulator(dir.dir / "KOVAHOST.DLL"), gpu(dir.GpuHostPath())
    {
        host.SetHostModule(emulator.handle());
        host.record.flags = 0xFFFFFFFFu;
    }
    ~GpuRig() { gpu.close(); } /* a row that failed half-way leaves nothing open */
    void Choose(const std::string &name) { host.settings["GPUHOST/PluginName"] = name; }
};

} // namespace

void BrokenHostedLibrariesFailGpuOpen()
{
    for (const BrokenLibrary &broken : BrokenHostedLibraries()) {
        SCOPED_TRACE(broken.what);
        GpuRig rig("hostile-hosted");
        std::string path = rig.dir.psemu + broken.fileName;
        ASSERT_TRUE(WriteFileBytes(path, broken.bytes.data(), broken.bytes.size()));
        rig.Choose(broken.fileName);
        std::vector<uint8_t> before = RecordBytes(rig.host.record);

        EXPECT_EQ(-1, rig.gpu.open(&rig.host.record));
        EXPECT_EQ(before, RecordBytes(rig.host.record)) << "flags and record untouched";
        EXPECT_TRUE(GetModuleHandleA(path.c_str()) == NULL);
        rig.gpu.close();

        /* The next open, with a good choice, works as if nothing had been. */
        rig.dir.AddHosted("pse_soft");
        rig.Choose("pse_soft.dll");
        EXPECT_EQ(0, rig.gpu.open(&rig.host.record));
        EXPECT_EQ(0xFFFFFFFEu, rig.host.record.flags);
        rig.gpu.close();
    }
}

namespace {

/* Reads the entries of a combo box of the next dialog with the given
   caption that this thread shows, then presses a button of it. */
class ListReader {
public:
    ListReader(const char *caption, int list, int button)
        : caption_(caption), list_(list), button_(button)
    {
        active_ = this;
        timer_ = SetTimer(NULL, 0, 50, Tick);
    }
    ~ListReader()
    {
        KillTimer(NULL, timer_);
        active_ = NULL;
    }
    bool seen = false;
    Lines entries;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        ListReader *self = active_;
        if (!self || self->seen)
            return;
        HWND dialog = FindWindowA("#32770", self->caption_);
        if (!dialog || GetWindowThreadProcessId(dialog, NULL) != GetCurrentThreadId())
            return;
        self->seen = true;
        LRESULT count = SendDlgItemMessageA(dialog, self->list_, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; i++) {
            char text[MAX_PATH] = "";
            if (SendDlgItemMessageA(dialog, self->list_, CB_GETLBTEXTLEN, i, 0) < MAX_PATH)
                SendDlgItemMessageA(dialog, self->list_, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            self->entries.push_back(text);
        }
        PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(self->button_), 0);
    }
    static ListReader *active_;
    const char *caption_;
    int list_, button_;
    UINT_PTR timer_;
};
ListReader *ListReader::active_;

} // namespace

void BrokenHostedLibrariesAreNotListed()
{
    GpuRig rig("hostile-hosted-list");
    for (const BrokenLibrary &broken : BrokenHostedLibraries()) {
        ASSERT_TRUE(WriteFileBytes(rig.dir.psemu + broken.fileName, broken.bytes.data(),
                                   broken.bytes.size()));
    }
    rig.dir.AddHosted("pse_soft", "z_soft.dll");
    TestWindow owner;
    rig.host.record.mainWindow = owner.handle();
    ListReader reader("GpuHostPro Configuration", IDC_HOSTED_LIST, IDOK);
    EXPECT_EQ(0, rig.gpu.configure(&rig.host.record));
    ASSERT_TRUE(reader.seen) << "the selection dialog did not appear";
    EXPECT_EQ(Lines({ "Soft 2.3" }), reader.entries);
    EXPECT_EQ(std::vector<HostCall>({ { "write", "GPUHOST", "PluginName", "z_soft.dll" } }),
              rig.host.Calls("write"));
}

/* ---- setting values ---- */

void PluginName1023Characters()
{
    GpuRig rig("hostile-name-1023");
    rig.dir.AddHosted("pse_soft");
    const std::string name = std::string(1019, 'n') + ".dll";
    ASSERT_EQ(1023u, name.size());
    rig.Choose(name);
    std::vector<uint8_t> before = RecordBytes(rig.host.record);
    LoadRecorder loads(rig.gpu.lib.handle());
    EXPECT_EQ(-1, rig.gpu.open(&rig.host.record));
    EXPECT_EQ(Lines(), loads.paths()) << "no cut path is tried";
    EXPECT_EQ(before, RecordBytes(rig.host.record));
    rig.gpu.close();
}

void PluginName100Characters()
{
    GpuRig rig("hostile-name-100");
    const std::string name = std::string(96, 'p') + ".dll";
    rig.dir.AddHosted("pse_soft", name.c_str());
    rig.Choose(name);
    LoadRecorder loads(rig.gpu.lib.handle());
    EXPECT_EQ(0, rig.gpu.open(&rig.host.record));
    EXPECT_EQ(Lines({ rig.dir.psemu + name }), loads.paths());
    EXPECT_TRUE(GetModuleHandleA((rig.dir.psemu + name).c_str()) != NULL);
    rig.gpu.close();
}

void PluginNameInOtherCase()
{
    for (const char *stored : { "PSE_SOFT.DLL", "Pse_Soft.Dll" }) {
        SCOPED_TRACE(stored);
        GpuRig rig("hostile-name-case");
        rig.dir.AddHosted("pse_soft");
        rig.Choose(stored);
        EXPECT_EQ(0, rig.gpu.open(&rig.host.record));
        EXPECT_TRUE(GetModuleHandleA((rig.dir.psemu + "pse_soft.dll").c_str()) != NULL);
        rig.gpu.close();
    }
}

namespace {

/* cddirect.dll through its exports, freshly loaded. */
struct CdPlugin {
    Library lib;
    PluginOpenFn open;
    PluginCloseFn close;
    CdReadFn read;
    CdWaitFn wait;
    explicit CdPlugin(const char *file)
        : lib(ShippedPath(file)), open(lib.Get<PluginOpenFn>("CD_Open")),
          close(lib.Get<PluginCloseFn>("CD_Close")), read(lib.Get<CdReadFn>("CD_Read")),
          wait(lib.Get<CdWaitFn>("CD_Wait"))
    {
    }
    bool ready() const { return open && close && read && wait; }
    /* 00:02:16: the primary volume descriptor of the test prefix's disc. */
    bool ReadsTheVolumeDescriptor()
    {
        static const uint8_t kMsf[3] = { 0, 2, 16 };
        const uint8_t *image = read(kMsf);
        return image && memcmp(image + CD_SECTOR_DATA_OFFSET, "\x01" "CD001", 6) == 0 && wait() == 0;
    }
};

bool AllZero(const uint8_t *bytes, size_t from, size_t to)
{
    for (size_t i = from; i < to; i++)
        if (bytes[i])
            return false;
    return true;
}

} // namespace

void DriveLetter1023Characters()
{
    ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), GetDriveTypeA("E:")) << "the test prefix's CD-ROM drive";
    CdPlugin cd("cddirect.dll");
    ASSERT_TRUE(cd.ready());
    RecordingHost host;
    host.settings["CDIOCTRL/DriveLetter"] = "E" + std::string(1022, ':');
    EXPECT_EQ(0, cd.open(&host.record)) << "the first character names the drive";
    EXPECT_TRUE(cd.ReadsTheVolumeDescriptor());
    cd.close();
}

void DriveLetterThatIsNoLetter()
{
    for (const char *stored : { "1", " ", "\\", "?", "*", ".", "\xE9" }) {
        SCOPED_TRACE(stored);
        CdPlugin cd("cddirect.dll");
        ASSERT_TRUE(cd.ready());
        RecordingHost host;
        host.settings["CDIOCTRL/DriveLetter"] = stored;
        EXPECT_EQ(-1, cd.open(&host.record));
        static const uint8_t kMsf[3] = { 0, 2, 16 };
        const uint8_t *image = cd.read(kMsf);
        ASSERT_TRUE(image != NULL);
        EXPECT_TRUE(AllZero(image, 0, CD_SECTOR_IMAGE_SIZE)) << "no data without a drive";
        EXPECT_EQ(-1, cd.wait());
        cd.close();
    }
}

/* ---- disc addresses ---- */

namespace {

struct AddressRow {
    const char *what;
    uint8_t msf[3];
    uint8_t header[3];  /* the address in packed BCD, each byte modulo 256 */
};

const AddressRow kAddresses[] = {
    { "99:99:99", { 99, 99, 99 }, { 0x99, 0x99, 0x99 } },
    { "255:255:255", { 255, 255, 255 }, { 0x95, 0x95, 0x95 } },
    { "00:00:00, in the lead-in", { 0, 0, 0 }, { 0x00, 0x00, 0x00 } },
    { "00:01:74, the sector before the first", { 0, 1, 74 }, { 0x00, 0x01, 0x74 } },
};

} // namespace

void CdDirectAddressesOffTheDisc()
{
    ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), GetDriveTypeA("E:")) << "the test prefix's CD-ROM drive";
    CdPlugin cd("cddirect.dll");
    ASSERT_TRUE(cd.ready());
    RecordingHost host;
    host.settings["CDIOCTRL/DriveLetter"] = "E";
    ASSERT_EQ(0, cd.open(&host.record));
    ASSERT_TRUE(cd.ReadsTheVolumeDescriptor());
    for (const AddressRow &row : kAddresses) {
        SCOPED_TRACE(row.what);
        const uint8_t *image = cd.read(row.msf);
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(0, memcmp(image, row.header, 3)) << "header address";
        EXPECT_TRUE(AllZero(image, 3, CD_SECTOR_IMAGE_SIZE)) << "no bytes of the sector read before";
        EXPECT_EQ(-1, cd.wait()) << "the read error is raised";
        EXPECT_EQ(0, cd.wait()) << "and reported once";
        /* the drive reads on as before */
        EXPECT_TRUE(cd.ReadsTheVolumeDescriptor());
    }
    SCOPED_TRACE("no address at all");
    const uint8_t *image = cd.read(NULL);
    ASSERT_TRUE(image != NULL);
    EXPECT_TRUE(AllZero(image, 0, CD_SECTOR_IMAGE_SIZE));
    EXPECT_EQ(-1, cd.wait());
    EXPECT_TRUE(cd.ReadsTheVolumeDescriptor());
    cd.close();
}

void CdIdleAddressesOffTheDisc()
{
    CdPlugin cd("cdidle.dll");
    ASSERT_TRUE(cd.ready());
    ASSERT_EQ(0, cd.open(NULL));
    const uint8_t *first = NULL;
    for (const AddressRow &row : kAddresses) {
        SCOPED_TRACE(row.what);
        const uint8_t *image = cd.read(row.msf);
        ASSERT_TRUE(image != NULL);
        if (!first)
            first = image;
        EXPECT_EQ(first, image) << "always the one empty image";
        EXPECT_TRUE(AllZero(image, 0, CD_SECTOR_IMAGE_SIZE));
        EXPECT_EQ(-1, cd.wait());
    }
    EXPECT_EQ(first, cd.read(NULL));
    EXPECT_EQ(-1, cd.wait());
    cd.close();
}

/* ---- DMA ---- */

namespace {

/* gpuhost open on pse_soft, with main RAM fenced by faulting pages. */
struct DmaRig : GpuRig {
    FencedRam ram;
    explicit DmaRig(const char *name) : GpuRig(name)
    {
        dir.AddHosted("pse_soft");
        Choose("pse_soft.dll");
        host.record.ramBase = ram.data();
    }
};

} // namespace

void DmaGpuToRamOfMoreThanAllRam()
{
    DmaRig rig("hostile-dma-big");
    ASSERT_TRUE(rig.ram.valid());
    ASSERT_EQ(0, rig.gpu.open(&rig.host.record));
    memset(rig.ram.data(), 0xCC, KOVA_RAM_SIZE);
    /* 3072 blocks of 256 words: 3 MB into 2 MB, starting 256 bytes before
       the end. pse_soft answers reads outside an image transfer with
       0x5EED0000 plus a count that starts at 0 when it is loaded. */
    const uint32_t start = 0x801FFF00u, words = 3072u * 256u;
    rig.gpu.dmaExec(start, 0x0C000100u, 0x01000200u);
    EXPECT_EQ(std::vector<HostCall>({ { "notify", "801fff00", "804fff00", "" } }),
              rig.host.Calls("notify"));
    /* word i lands at (start + 4 i) modulo 2 MB; the last one there stays */
    const uint32_t perRam = KOVA_RAM_SIZE / 4;
    uint32_t wrong = 0, firstWrong = 0;
    for (uint32_t offset = 0; offset < KOVA_RAM_SIZE; offset += 4) {
        uint32_t i = ((offset - (start & KOVA_RAM_ADDR_MASK)) & KOVA_RAM_ADDR_MASK) / 4;
        while (i + perRam < words)
            i += perRam;
        uint32_t got;
        memcpy(&got, rig.ram.data() + offset, 4);
        if (got != 0x5EED0000u + i && !wrong++)
            firstWrong = offset;
    }
    EXPECT_EQ(0u, wrong) << "first wrong word at RAM offset " << Hex8(firstWrong);
    rig.gpu.close();
}

void DmaRamToGpuAcrossTheEndAndBack()
{
    DmaRig rig("hostile-dma-wrap");
    ASSERT_TRUE(rig.ram.valid());
    ASSERT_EQ(0, rig.gpu.open(&rig.host.record));
    uint8_t *ram = rig.ram.data();
    for (uint32_t offset = 0; offset < KOVA_RAM_SIZE; offset += 4) {
        uint32_t word = 0x3C000000u | offset;
        memcpy(ram + offset, &word, 4);
    }
    /* The whole VRAM (1024 x 512 halfwords, 1 MB) from 256 bytes before the
       end of RAM, 4096 blocks of 64 words, ... */
    rig.gpu.gp0Write(0xA0000000u);
    rig.gpu.gp0Write(0x00000000u);
    rig.gpu.gp0Write(0x02000400u);
    rig.gpu.dmaExec(0xA01FFF00u, 0x10000040u, 0x01000201u);
    /* ... and back to the middle of RAM. */
    rig.gpu.gp0Write(0xC0000000u);
    rig.gpu.gp0Write(0x00000000u);
    rig.gpu.gp0Write(0x02000400u);
    rig.gpu.dmaExec(0x00080000u, 0x10000040u, 0x01000200u);
    uint32_t wrong = 0, firstWrong = 0;
    for (uint32_t i = 0; i < 0x40000u; i++) {
        uint32_t source = (0x1FFF00u + 4 * i) & KOVA_RAM_ADDR_MASK, got;
        memcpy(&got, ram + 0x80000u + 4 * i, 4);
        if (got != (0x3C000000u | source) && !wrong++)
            firstWrong = i;
    }
    EXPECT_EQ(0u, wrong) << "first wrong word " << firstWrong;
    rig.gpu.close();
}

/* ---- calls out of order ---- */

void PadKeysPollBeforeInitHeader()
{
    Library lib(ShippedPath("padkeys.dll"));
    PadPollFn poll = lib.Get<PadPollFn>("JOY0_Poll");
    PadVibrateFn vibrate = lib.Get<PadVibrateFn>("JOY0_Vibrate");
    PadInitHeaderFn initHeader = lib.Get<PadInitHeaderFn>("JOY0_InitHeader");
    ASSERT_TRUE(poll && vibrate && initHeader);
    poll();      /* before open and before any buffer */
    vibrate();
    EXPECT_EQ(5, initHeader(NULL)) << "no buffer: the length, and nothing written";
    poll();
    uint8_t report[8];
    memset(report, 0xCC, sizeof report);
    EXPECT_EQ(5, initHeader(report));
    poll();
    const uint8_t want[8] = { 0xCC, 0x41, 0x5A, 0xFF, 0xFF, 0xCC, 0xCC, 0xCC };
    EXPECT_EQ(0, memcmp(want, report, sizeof want)) << "no key is held in the test session";
}

void CloseTwiceAndWithoutOpen()
{
    struct Row {
        const char *file;
        const char *prefix;
    };
    /* gpuhost has an earlier test of its own. */
    static const Row rows[] = {
        { "cddirect.dll", "CD" }, { "cdidle.dll", "CD" },     { "padkeys.dll", "JOY0" },
        { "padidle.dll", "JOY0" }, { "mousepad.dll", "JOY1" },
    };
    TestWindow window;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.file);
        Library lib(ShippedPath(row.file));
        std::string prefix(row.prefix);
        PluginOpenFn open = lib.Get<PluginOpenFn>((prefix + "_Open").c_str());
        PluginCloseFn close = lib.Get<PluginCloseFn>((prefix + "_Close").c_str());
        ASSERT_TRUE(open && close);
        RecordingHost host;
        host.settings["CDIOCTRL/DriveLetter"] = "E";
        host.record.mainWindow = window.handle();
        host.record.hostInstance = GetModuleHandleA(NULL);

        close();  /* never opened */
        close();
        EXPECT_EQ(0, open(&host.record));
        close();
        close();
        EXPECT_EQ(0, open(&host.record)) << "opens again after two closes";
        close();
    }
}

void OpenWithoutARecord()
{
    struct Row {
        const char *file;
        const char *prefix;
        int32_t want;
    };
    /* The plugins that take something from the record refuse to open
       without it; the idle ones never read it and open all the same. */
    static const Row rows[] = {
        { "gpuhost.dll", "GPU", -1 },  { "cddirect.dll", "CD", -1 }, { "mousepad.dll", "JOY1", -1 },
        { "cdidle.dll", "CD", 0 },     { "padkeys.dll", "JOY0", 0 }, { "padidle.dll", "JOY0", 0 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.file);
        Library lib(ShippedPath(row.file));
        std::string prefix(row.prefix);
        PluginOpenFn open = lib.Get<PluginOpenFn>((prefix + "_Open").c_str());
        PluginCloseFn close = lib.Get<PluginCloseFn>((prefix + "_Close").c_str());
        ASSERT_TRUE(open && close);

        EXPECT_EQ(row.want, open(NULL)) << "no record";
        close();

        /* A record without callbacks, module or window: nothing to read a
           setting through, and nothing of it is changed. */
        HostServices empty;
        memset(&empty, 0, sizeof empty);
        empty.flags = 0xFFFFFFFFu;
        std::vector<uint8_t> before = RecordBytes(empty);
        EXPECT_EQ(row.want, open(&empty)) << "a record of zeros";
        EXPECT_EQ(before, RecordBytes(empty)) << "the record untouched";
        close();
    }
}

void ConfigureWithoutARecord()
{
    /* Message-box plugins: the box is recorded, not shown. */
    struct Row {
        const char *file;
        const char *configure;
        const char *caption;
    };
    static const Row notes[] = {
        { "cdidle.dll", "CD_Configure", "CDIdle config" },
        { "padidle.dll", "JOY0_Configure", "PadIdle Config" },
        { "padkeys.dll", "JOY0_Configure", "PadKeys Config" },
        { "mousepad.dll", "JOY1_Configure", "MousePad config" },
    };
    for (const Row &row : notes) {
        SCOPED_TRACE(row.file);
        Library lib(ShippedPath(row.file));
        PluginConfigureFn configure = lib.Get<PluginConfigureFn>(row.configure);
        ASSERT_TRUE(configure);
        MessageBoxRecorder boxes(lib.handle());
        EXPECT_EQ(0, configure(NULL));
        ASSERT_EQ(1u, boxes.calls().size());
        EXPECT_EQ(NULL, boxes.calls()[0].owner);
        EXPECT_EQ(row.caption, boxes.calls()[0].caption);
    }
    /* Dialog plugins: the dialog opens without an owner; OK (which would
       store the choice) and then Cancel write nowhere. */
    static const Row dialogs[] = {
        { "gpuhost.dll", "GPU_Configure", "GpuHostPro Configuration" },
        { "cddirect.dll", "CD_Configure", "IOControl Setup" },
    };
    for (const Row &row : dialogs) {
        for (int button : { IDOK, IDCANCEL }) {
            SCOPED_TRACE(testing::Message() << row.file << " button " << button);
            Library lib(ShippedPath(row.file));
            PluginConfigureFn configure = lib.Get<PluginConfigureFn>(row.configure);
            ASSERT_TRUE(configure);
            BoxAnswerer answer(row.caption, button);
            EXPECT_EQ(0, configure(NULL));
            EXPECT_TRUE(answer.seen);
            EXPECT_EQ(NULL, answer.owner);
        }
    }
}
