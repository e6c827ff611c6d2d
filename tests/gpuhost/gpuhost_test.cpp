/* gpuhost at run time, through its real exports, hosting the recording
   PSEmu Pro GPU test plugins: opening and closing, forwarding, DMA. */
#include <algorithm>
#include <functional>
#include <string.h>

#include "gpuhost_rig.h"

namespace {

/* gpuhost in a program directory of its own, with a hosted plugin chosen
   (unless null), a recording host record over 2 MB of RAM with guard bytes
   behind it, and an emulator module and window. */
struct Rig {
    GpuProgramDir dir;
    PseLog log;
    Library emulator;
    TestWindow window;
    RecordingHost host;
    std::vector<uint8_t> ram;
    GpuExports gpu;
    std::string chosen;

    explicit Rig(const char *name, const char *hosted = "pse_soft")
        : dir(name), log(dir.dir), emulator(dir.dir / "KOVAHOST.DLL"),
          ram(KOVA_RAM_SIZE + 64, 0xCC), gpu(dir.GpuHostPath())
    {
        EXPECT_TRUE(emulator.loaded());
        host.record.ramBase = ram.data();
        host.record.hostInstance = emulator.handle();
        host.record.mainWindow = window.handle();
        if (hosted)
            Choose(hosted);
    }
    ~Rig()
    {
        if (gpu.GPU_Close) /* a row that failed half-way leaves nothing open */
            gpu.GPU_Close();
    }
    void Choose(const char *built)
    {
        dir.AddHosted(built);
        chosen = std::string(built) + ".dll";
        host.settings["GPUHOST/PluginName"] = chosen;
    }
    std::vector<std::string> Calls() const { return log.LinesOf(chosen.c_str()); }
    std::string HostedPath() const { return dir.psemu + chosen; }
    bool HostedLoaded() const { return GetModuleHandleA(HostedPath().c_str()) != NULL; }
    std::string OpenLine() const
    {
        return "GPUopen " + Hex8(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window.handle())));
    }
    /* Opens over RAM fenced by pages that fault, without the call log (a
       transfer of a million words would log a million lines); null when
       that fails. */
    uint8_t *OpenOver(const FencedRam &fenced)
    {
        host.record.ramBase = fenced.data();
        SetEnvironmentVariableA("KOVA_PSE_LOG", NULL);
        return fenced.valid() && gpu.GPU_Open(&host.record) == 0 ? fenced.data() : NULL;
    }
};

/* "" when every RAM word is want(offset), else how many are not and where
   the first is. */
std::string WrongWords(const uint8_t *ram, const std::function<uint32_t(uint32_t)> &want)
{
    uint32_t wrong = 0, first = 0;
    for (uint32_t offset = 0; offset < KOVA_RAM_SIZE; offset += 4)
        if (RamWord(ram, offset) != want(offset) && !wrong++)
            first = offset;
    return wrong ? std::to_string(wrong) + " wrong, the first at " + Hex8(first) : "";
}

} // namespace

TEST(GpuHostOpen, LoadsTheChosenPluginFromTheEmulatorsDirectoryNotItsOwn)
{
    /* gpuhost itself lives in another program directory, which has a
       different library under the same name. */
    GpuProgramDir own("gpuhost-own");
    own.AddHosted("pse_hw", "pse_soft.dll");
    GpuExports gpu(own.GpuHostPath());
    Rig rig("gpuhost-open");
    LoadRecorder loads(gpu.lib.handle());

    EXPECT_EQ(0, gpu.GPU_Open(&rig.host.record));
    EXPECT_EQ(Lines({ rig.HostedPath() }), loads.paths());
    EXPECT_EQ(Lines({ "attach", "GPUinit", rig.OpenLine() }), rig.Calls());
    EXPECT_TRUE(rig.HostedLoaded());
    EXPECT_FALSE(GetModuleHandleA((own.psemu + "pse_soft.dll").c_str()));
    EXPECT_EQ(HostCalls({ { "read", "GPUHOST", "PluginName", "pse_soft.dll" } }), rig.host.calls);
    gpu.GPU_Close();
    EXPECT_FALSE(rig.HostedLoaded());
}

TEST(GpuHostOpen, ClearsFlagBit0AndLeavesTheRestOfTheRecord)
{
    static const uint32_t rows[][2] = {
        { 0xFFFFFFFFu, 0xFFFFFFFEu }, { 0x00000001u, 0x00000000u }, { 0x00000000u, 0x00000000u },
        { 0x80000000u, 0x80000000u }, { 0x5A5A5A5Bu, 0x5A5A5A5Au },
    };
    Rig rig("gpuhost-flags");
    for (const auto &row : rows) {
        SCOPED_TRACE(Hex8(row[0]));
        rig.host.record.flags = row[0];
        for (uint32_t &word : rig.host.record.reserved)
            word = 0xC0FFEE00u + row[0];
        HostServices before = rig.host.record;
        ASSERT_EQ(0, rig.gpu.GPU_Open(&rig.host.record));
        EXPECT_EQ(row[1], rig.host.record.flags);
        before.flags = row[1];
        EXPECT_EQ(RecordBytes(before), RecordBytes(rig.host.record));
        rig.gpu.GPU_Close();
    }
}

TEST(GpuHostOpen, FailsWithNothingCalledAndNothingChanged)
{
    enum Prepare { NOTHING, FOLDER, BYTES, LOSSY_EMULATOR };
    struct Row {
        std::string what;
        const char *name;  /* null: no PluginName at all */
        Prepare prepare;
        bool tried;        /* LoadLibraryA was asked for the path */
        std::vector<uint8_t> bytes;
    };
    static const std::string tooLong = std::string(300, 'x') + ".dll", text = "not a library\r\n";
    /* the longest value a setting can have: no cut path is tried */
    static const std::string longest = std::string(1019, 'n') + ".dll";
    std::vector<Row> rows = {
        { "no PluginName", NULL, NOTHING, false, {} },
        { "empty PluginName", "", NOTHING, false, {} },
        { "absent file", "missing.dll", NOTHING, true, {} },
        { "text file", "text.dll", BYTES, true, std::vector<uint8_t>(text.begin(), text.end()) },
        { "folder", "sub.dll", FOLDER, true, {} },
        { "path too long", tooLong.c_str(), NOTHING, false, {} },
        { "PluginName of 1023 characters", longest.c_str(), NOTHING, false, {} },
        /* its ANSI name is a look-alike that names another folder */
        { "the emulator in a folder that ANSI cannot name", "pse_soft.dll", LOSSY_EMULATOR, false,
          {} },
    };
    /* libraries that do not load, named by PluginName */
    for (BrokenLibrary &broken : BrokenLibraries(KOVA_EXPORT_NAMES(PSE_GPU_FUNCTIONS)))
        rows.push_back({ broken.what, "broken.dll", BYTES, true, broken.bytes });
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Rig rig("gpuhost-fail", NULL);
        if (row.name)
            rig.host.settings["GPUHOST/PluginName"] = row.name;
        if (row.prepare == BYTES) {
            ASSERT_TRUE(WriteFileBytes(rig.dir.psemu + row.name, row.bytes.data(), row.bytes.size()));
        }
        if (row.prepare == FOLDER)
            rig.dir.dir.MakeDir((std::string("PLUGIN\\PSEMU\\") + row.name).c_str());
        HMODULE lossyEmulator = NULL;
        if (row.prepare == LOSSY_EMULATOR) {
            std::wstring lossy = Widen(rig.dir.dir.path()) + L"\u03A9mega\\";
            ASSERT_TRUE(CreateDirectoryW(lossy.c_str(), NULL));
            ASSERT_TRUE(CopyFileW(Widen(rig.dir.dir / "KOVAHOST.DLL").c_str(),
                                  (lossy + L"KOVAHOST.DLL").c_str(), FALSE));
            lossyEmulator = LoadLibraryW((lossy + L"KOVAHOST.DLL").c_str());
            ASSERT_TRUE(lossyEmulator != NULL);
            rig.host.record.hostInstance = lossyEmulator;
        }
        rig.dir.AddHosted("pse_soft");  /* present, but not chosen */
        rig.host.record.flags = 0xFFFFFFFFu;
        HostServices before = rig.host.record;
        LoadRecorder loads(rig.gpu.lib.handle());

        EXPECT_EQ(-1, rig.gpu.GPU_Open(&rig.host.record));
        EXPECT_EQ(RecordBytes(before), RecordBytes(rig.host.record));
        EXPECT_EQ(row.tried ? Lines({ rig.dir.psemu + row.name }) : Lines(), loads.paths());
        if (row.name) {
            EXPECT_TRUE(GetModuleHandleA((rig.dir.psemu + row.name).c_str()) == NULL);
        }
        rig.gpu.GPU_Close();  /* not open: nothing to close */
        EXPECT_EQ(Lines(), rig.log.Lines());
        if (lossyEmulator) {
            rig.host.record.hostInstance = rig.emulator.handle();
            FreeLibrary(lossyEmulator);
        }
        /* The next open, with a good choice, works as if nothing had been. */
        rig.Choose("pse_soft");
        EXPECT_EQ(0, rig.gpu.GPU_Open(&rig.host.record));
        EXPECT_EQ(0xFFFFFFFEu, rig.host.record.flags);
    }
}

TEST(GpuHostOpen, LoadsTheChosenFileByItsNameInAnyCaseAndOfAnyLength)
{
    struct Row {
        std::string stored, file;
    };
    const std::string hundred = std::string(96, 'p') + ".dll";
    const Row rows[] = {
        { "PSE_SOFT.DLL", "pse_soft.dll" }, { "Pse_Soft.Dll", "pse_soft.dll" }, { hundred, hundred },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.stored);
        Rig rig("gpuhost-names", NULL);
        rig.dir.AddHosted("pse_soft", row.file.c_str());
        rig.host.settings["GPUHOST/PluginName"] = row.stored;
        LoadRecorder loads(rig.gpu.lib.handle());
        EXPECT_EQ(0, rig.gpu.GPU_Open(&rig.host.record));
        EXPECT_EQ(Lines({ rig.dir.psemu + row.stored }), loads.paths());
        EXPECT_TRUE(GetModuleHandleA((rig.dir.psemu + row.file).c_str()) != NULL);
    }
}

TEST(GpuHostOpen, AFailedOpenKeepsTheRamAndNotifyOfTheOpenOne)
{
    Rig rig("gpuhost-keep");
    ASSERT_EQ(0, rig.gpu.GPU_Open(&rig.host.record));
    static std::vector<uint32_t> otherNotified;
    struct Other {
        static void KOVA_CALL Notify(uint32_t start, uint32_t) { otherNotified.push_back(start); }
    };
    std::vector<uint8_t> otherRam(KOVA_RAM_SIZE, 0x11);
    HostServices other = rig.host.record;
    other.ramBase = otherRam.data();
    other.ramWriteNotify = Other::Notify;
    rig.host.settings["GPUHOST/PluginName"] = "";
    EXPECT_EQ(-1, rig.gpu.GPU_Open(&other));

    rig.log.Clear();
    rig.gpu.GPU_DmaExec(0x80000010u, 0x00010002u, 0x01000200u);
    EXPECT_TRUE(otherNotified.empty());
    EXPECT_EQ(1u, rig.host.Calls("notify").size());
    EXPECT_EQ(std::vector<uint8_t>(KOVA_RAM_SIZE, 0x11), otherRam);
    EXPECT_EQ(Lines({ "GPUreadData -> " + Hex8(RamWord(rig.ram.data(), 0x10)),
                      "GPUreadData -> " + Hex8(RamWord(rig.ram.data(), 0x14)) }),
              rig.Calls());
}

TEST(GpuHostOpen, RefusesAPluginLackingAFunctionItCallsAtRunTime)
{
    /* only the dialog uses these */
    static const Lines dialogOnly = { "GPUconfigure", "GPUtest", "GPUabout", "PSEgetLibName",
                                      "PSEgetLibType", "PSEgetLibVersion" };
    for (const std::string &fn : KOVA_EXPORT_NAMES(PSE_GPU_FUNCTIONS)) {
        /* a plugin has PSEgetLibName, but it may give no name */
        std::string built = fn == "PSEgetLibName" ? "pse_noname" : "pse_no_" + fn;
        bool accepted = Contains(dialogOnly, fn);
        SCOPED_TRACE(built);
        Rig rig("gpuhost-refuse", built.c_str());
        rig.host.record.flags = 0xFFFFFFFFu;
        EXPECT_EQ(accepted ? 0 : -1, rig.gpu.GPU_Open(&rig.host.record));
        EXPECT_EQ(accepted ? 0xFFFFFFFEu : 0xFFFFFFFFu, rig.host.record.flags);
        if (accepted) {
            EXPECT_EQ(Lines({ "attach", "GPUinit", rig.OpenLine() }), rig.Calls());
        } else {
            EXPECT_EQ(Lines({ "attach", "detach" }), rig.Calls());
            EXPECT_FALSE(rig.HostedLoaded());
        }
        rig.log.Clear();
        rig.gpu.GPU_Close();
        EXPECT_EQ(accepted ? Lines({ "GPUclose", "GPUshutdown", "detach" }) : Lines(),
                  rig.Calls());
    }
}

TEST(GpuHostClose, WithoutOpenOrTwiceCallsNothing)
{
    Rig rig("gpuhost-close");
    rig.gpu.GPU_Close();
    EXPECT_EQ(Lines(), rig.log.Lines());
    ASSERT_EQ(0, rig.gpu.GPU_Open(&rig.host.record));
    rig.gpu.GPU_Close();
    EXPECT_EQ(Lines({ "attach", "GPUinit", rig.OpenLine(), "GPUclose", "GPUshutdown", "detach" }),
              rig.Calls());
    EXPECT_FALSE(rig.HostedLoaded());
    rig.log.Clear();
    rig.gpu.GPU_Close();
    EXPECT_EQ(Lines(), rig.log.Lines());
    /* and it opens again afterwards */
    ASSERT_EQ(0, rig.gpu.GPU_Open(&rig.host.record));
    EXPECT_EQ(Lines({ "attach", "GPUinit", rig.OpenLine() }), rig.Calls());
}

TEST(GpuHostForwarding, EachEntryPointReachesItsFunctionWithTheValueUnchanged)
{
    Rig rig("gpuhost-forward");
    ASSERT_EQ(0, rig.gpu.GPU_Open(&rig.host.record));
    rig.log.Clear();

    Lines want;
    for (uint32_t v : { 0x00000000u, 0x00000001u, 0x12345678u, 0x80000000u, 0xFFFFFFFFu }) {
        rig.gpu.GP0_Write(v);
        rig.gpu.GP1_Write(v);
        want.push_back("GPUwriteData " + Hex8(v));
        want.push_back("GPUwriteStatus " + Hex8(v));
    }
    /* pse_soft's values change from call to call (its read count, the
       status's bit 31), so each result must be the one it gave. */
    for (uint32_t i = 0; i < 2; i++) {
        EXPECT_EQ(0x5EED0000u + i, rig.gpu.GP0_Read());
        EXPECT_EQ(0x14802000u | i << 31, rig.gpu.GP1_Read());
        want.push_back("GPUreadData -> " + Hex8(0x5EED0000u + i));
        want.push_back("GPUreadStatus -> " + Hex8(0x14802000u | i << 31));
    }
    rig.gpu.GPU_Update();
    want.push_back("GPUupdateLace");

    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    SetCurrentDirectoryA(rig.dir.dir.path().c_str());
    rig.gpu.GPU_ScreenShot();
    SetCurrentDirectoryA(cwd);
    want.push_back("GPUmakeSnapshot");
    want.push_back("snapshot SNAP\\SNAP000.BMP written");
    want.push_back("snapshot SNAP\\SHOW000.BMP written"); /* what its window shows */

    EXPECT_EQ(want, rig.Calls());
    EXPECT_EQ(54u + 1024 * 512 * 2, ReadFileBytes(rig.dir.dir / "SNAP\\SNAP000.BMP").size());
    EXPECT_EQ(HostCalls({ { "read", "GPUHOST", "PluginName", "pse_soft.dll" } }), rig.host.calls);
}

TEST(GpuHostDma, TransfersAgainstTheRecordingPlugin)
{
    enum Expect { NONE, READS, WRITES, CHAIN };
    struct Row {
        const char *what;
        uint32_t address, blockControl, channelControl;
        bool notify;
        uint32_t notifyEnd;
        Expect expect;
        uint32_t words;
    };
    static const Row rows[] = {
        { "GPU to RAM, 4 blocks of 16", 0x80100000u, 0x00040010u, 0x01000200u, true, 0x80100100u, READS, 64 },
        { "GPU to RAM, no blocks", 0x80100000u, 0x00000010u, 0x01000200u, true, 0x80100000u, NONE, 0 },
        { "GPU to RAM, negative count", 0x80100000u, 0xFFFFFFFFu, 0x01000200u, true, 0x80080004u, NONE, 0 },
        { "GPU to RAM, past the end", 0x801FFFF8u, 0x00010004u, 0x01000200u, true, 0x80200008u, READS, 4 },
        { "GPU to RAM, 8 MB mirror", 0x00300000u, 0x00010002u, 0x01000200u, true, 0x00300008u, READS, 2 },
        { "RAM to GPU, 4 blocks of 16", 0x00100000u, 0x00040010u, 0x01000201u, false, 0, WRITES, 64 },
        { "RAM to GPU, no blocks", 0x00100000u, 0x00000010u, 0x01000201u, false, 0, NONE, 0 },
        { "RAM to GPU, negative count", 0x00100000u, 0xFFFFFFFFu, 0x01000201u, false, 0, NONE, 0 },
        { "RAM to GPU, past the end", 0xA01FFFF8u, 0x00010004u, 0x01000201u, false, 0, WRITES, 4 },
        { "linked list", 0xA0012340u, 0x00040010u, 0x01000401u, false, 0, CHAIN, 0 },
        { "idle GPU to RAM", 0x80100000u, 0x00040010u, 0x00000200u, false, 0, NONE, 0 },
        { "idle RAM to GPU", 0x80100000u, 0x00040010u, 0x00000201u, false, 0, NONE, 0 },
        { "idle linked list", 0x80100000u, 0x00040010u, 0x00000401u, false, 0, NONE, 0 },
        { "unknown", 0x80100000u, 0x00040010u, 0x01000300u, false, 0, NONE, 0 },
    };
    Rig rig("gpuhost-dma");
    ASSERT_EQ(0, rig.gpu.GPU_Open(&rig.host.record));
    /* pse_soft answers reads outside an image transfer with 0x5EED0000 plus
       a count that starts at 0 when it is loaded */
    uint32_t reads = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        /* every RAM word tells its own offset; the guard behind stays 0xCC */
        for (uint32_t offset = 0; offset < KOVA_RAM_SIZE; offset += 4)
            SetRamWord(rig.ram.data(), offset, 0x0F000000u | offset);
        std::vector<uint8_t> want = rig.ram;
        Lines calls;
        if (row.notify)
            calls.push_back("host ramWriteNotify " + Hex8(row.address) + " " + Hex8(row.notifyEnd));
        uint32_t offset = row.address & 0x1FFFFFu;
        for (uint32_t i = 0; i < row.words; i++, offset = (offset + 4) & 0x1FFFFFu) {
            if (row.expect == READS) {
                SetRamWord(want.data(), offset, 0x5EED0000u + reads);
                calls.push_back("pse_soft.dll GPUreadData -> " + Hex8(0x5EED0000u + reads++));
            } else {
                calls.push_back("pse_soft.dll GPUwriteData " + Hex8(0x0F000000u | offset));
            }
        }
        if (row.expect == CHAIN) {
            uint32_t ram = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(rig.ram.data()));
            calls.push_back("pse_soft.dll GPUdmaChain " + Hex8(ram) + " 00012340");
            /* the plugin walks the list in that RAM: a packet of 15 words
               whose link comes back to itself */
            calls.push_back("pse_soft.dll chain 00012340:");
            for (uint32_t at = 0x12344; at <= 0x1237C; at += 4)
                calls.back() += " " + Hex8(0x0F000000u | at);
            calls.push_back("pse_soft.dll chain loops back to 00012340");
        }
        rig.log.Clear();
        rig.host.calls.clear();
        rig.gpu.GPU_DmaExec(row.address, row.blockControl, row.channelControl);
        EXPECT_EQ(calls, rig.log.Lines());
        EXPECT_EQ(row.notify ? 1u : 0u, rig.host.Calls("notify").size());
        size_t differ =
            std::mismatch(want.begin(), want.end(), rig.ram.begin()).first - want.begin();
        EXPECT_EQ(want.size(), differ) << "RAM differs from byte " << Hex8(differ);
    }
}

TEST(GpuHostDma, ABlockTransferOfMoreThanAllRamWrapsInsideIt)
{
    FencedRam fenced; /* no word may land outside it */
    Rig rig("gpuhost-dma-big");
    uint8_t *ram = rig.OpenOver(fenced);
    ASSERT_TRUE(ram);
    memset(ram, 0xCC, KOVA_RAM_SIZE);
    /* 3072 blocks of 256 words: 3 MB into 2 MB, starting 256 bytes before
       the end. pse_soft's reads count from 0x5EED0000. */
    const uint32_t start = 0x801FFF00u, words = 3072u * 256u;
    rig.gpu.GPU_DmaExec(start, 0x0C000100u, 0x01000200u);
    EXPECT_EQ(HostCalls({ { "notify", "801fff00", "804fff00", "" } }), rig.host.Calls("notify"));
    /* word i lands at (start + 4 i) modulo 2 MB; the last one there stays */
    EXPECT_EQ("", WrongWords(ram, [&](uint32_t offset) {
                  uint32_t i = ((offset - (start & KOVA_RAM_ADDR_MASK)) & KOVA_RAM_ADDR_MASK) / 4;
                  while (i + KOVA_RAM_SIZE / 4 < words)
                      i += KOVA_RAM_SIZE / 4;
                  return 0x5EED0000u + i;
              }));
}

TEST(GpuHostDma, VramUploadedAcrossTheEndOfRamComesBackAsItWrapped)
{
    FencedRam fenced;
    Rig rig("gpuhost-dma-wrap");
    uint8_t *ram = rig.OpenOver(fenced);
    ASSERT_TRUE(ram);
    for (uint32_t offset = 0; offset < KOVA_RAM_SIZE; offset += 4)
        SetRamWord(ram, offset, 0x3C000000u | offset);
    /* The whole VRAM (1024 x 512 halfwords, 1 MB) from 256 bytes before the
       end of RAM, 4096 blocks of 64 words, and back to the middle of RAM. */
    for (uint32_t word : { 0xA0000000u, 0x00000000u, 0x02000400u })
        rig.gpu.GP0_Write(word);
    rig.gpu.GPU_DmaExec(0xA01FFF00u, 0x10000040u, 0x01000201u);
    for (uint32_t word : { 0xC0000000u, 0x00000000u, 0x02000400u })
        rig.gpu.GP0_Write(word);
    rig.gpu.GPU_DmaExec(0x00080000u, 0x10000040u, 0x01000200u);
    EXPECT_EQ("", WrongWords(ram, [](uint32_t offset) {
                  bool back = offset >= 0x80000u && offset < 0x180000u;
                  return 0x3C000000u | (back ? (offset + 0x17FF00u) & KOVA_RAM_ADDR_MASK : offset);
              }));
}

TEST(GpuHostDma, UnknownChannelWritesExactlyOneLineToStandardOutput)
{
    struct Row {
        uint32_t channelControl, blockControl;
        const char *output;
    };
    static const Row rows[] = {
        { 0x01000300u, 0x00040010u, "gpudma unknown 01000300\n" },
        { 0xFFFFFFFFu, 0x00040010u, "gpudma unknown ffffffff\n" },
        { 0x00000000u, 0x00040010u, "gpudma unknown 00000000\n" },
        { 0x00000201u, 0x00040010u, "" },
        { 0x00000200u, 0x00040010u, "" },
        { 0x00000401u, 0x00040010u, "" },
        { 0x01000200u, 0x00000010u, "" },
    };
    GpuProgramDir dir("gpuhost-stdout");
    PseLog log(dir.dir);
    dir.AddHosted("pse_soft");
    ASSERT_TRUE(CopyFileTo(TestBinPath("gpuhost_dma_probe.exe"), dir.dir / "probe.exe"));
    for (const Row &row : rows) {
        SCOPED_TRACE(Hex8(row.channelControl));
        log.Clear();
        std::string command = "\"" + (dir.dir / "probe.exe") + "\" pse_soft.dll 80100000 " +
                              Hex8(row.blockControl) + " " + Hex8(row.channelControl);
        DWORD code = 99;
        std::string output;
        ASSERT_TRUE(RunProgramW(Widen(command), Widen(dir.dir.path()).c_str(), 20000, &code, &output));
        EXPECT_EQ(0u, code);
        EXPECT_EQ(row.output, output);
        /* nothing transferred: only the open and close calls */
        EXPECT_EQ(Lines({ "attach", "GPUinit", "GPUopen 00000000", "GPUclose", "GPUshutdown", "detach" }),
                  log.LinesOf("pse_soft.dll"));
    }
}
