/* gpuhost at run time, through its real exports, hosting the recording
   PSEmu Pro GPU test plugins: opening and closing, forwarding, DMA. */
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
    GpuHost gpu;
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
};

typedef std::vector<std::string> Lines;

} // namespace

TEST(GpuHostOpen, LoadsTheChosenPluginFromTheEmulatorsDirectoryNotItsOwn)
{
    /* gpuhost itself lives in another program directory, which has a
       different library under the same name. */
    GpuProgramDir own("gpuhost-own");
    own.AddHosted("pse_hw", "pse_soft.dll");
    GpuHost gpu(own.GpuHostPath());
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
    enum Prepare { NOTHING, TEXT_FILE, FOLDER, BYTES };
    struct Row {
        std::string what;
        const char *name;  /* null: no PluginName at all */
        Prepare prepare;
        bool tried;        /* LoadLibraryA was asked for the path */
        std::vector<uint8_t> bytes;
    };
    static const std::string tooLong = std::string(300, 'x') + ".dll";
    /* the longest value a setting can have: no cut path is tried */
    static const std::string longest = std::string(1019, 'n') + ".dll";
    std::vector<Row> rows = {
        { "no PluginName", NULL, NOTHING, false, {} },
        { "empty PluginName", "", NOTHING, false, {} },
        { "absent file", "missing.dll", NOTHING, true, {} },
        { "text file", "text.dll", TEXT_FILE, true, {} },
        { "folder", "sub.dll", FOLDER, true, {} },
        { "path too long", tooLong.c_str(), NOTHING, false, {} },
        { "PluginName of 1023 characters", longest.c_str(), NOTHING, false, {} },
    };
    /* libraries that do not load, named by PluginName */
    for (BrokenLibrary &broken : BrokenLibraries(KOVA_EXPORT_NAMES(PSE_GPU_FUNCTIONS)))
        rows.push_back({ broken.what, "broken.dll", BYTES, true, broken.bytes });
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Rig rig("gpuhost-fail", NULL);
        if (row.name)
            rig.host.settings["GPUHOST/PluginName"] = row.name;
        if (row.prepare == TEXT_FILE) {
            ASSERT_TRUE(WriteFileText(rig.dir.psemu + row.name, "not a library\r\n"));
        }
        if (row.prepare == BYTES) {
            ASSERT_TRUE(WriteFileBytes(rig.dir.psemu + row.name, row.bytes.data(), row.bytes.size()));
        }
        if (row.prepare == FOLDER)
            rig.dir.dir.MakeDir((std::string("PLUGIN\\PSEMU\\") + row.name).c_str());
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
    Lines calls = rig.Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ("GPUreadData -> " + Hex8(RamWord(rig.ram.data(), 0x10)), calls[0]);
    EXPECT_EQ("GPUreadData -> " + Hex8(RamWord(rig.ram.data(), 0x14)), calls[1]);
}

TEST(GpuHostOpen, RefusesAPluginLackingAFunctionItCallsAtRunTime)
{
    struct Row {
        const char *built;
        bool accepted;
    };
    static const Row rows[] = {
        { "pse_no_GPUinit", false },       { "pse_no_GPUshutdown", false },
        { "pse_no_GPUopen", false },       { "pse_no_GPUclose", false },
        { "pse_no_GPUreadStatus", false }, { "pse_no_GPUwriteStatus", false },
        { "pse_no_GPUreadData", false },   { "pse_no_GPUwriteData", false },
        { "pse_no_GPUupdateLace", false }, { "pse_no_GPUdmaChain", false },
        { "pse_no_GPUmakeSnapshot", false },
        /* only the dialog uses these */
        { "pse_no_GPUconfigure", true },   { "pse_no_GPUtest", true },
        { "pse_no_GPUabout", true },       { "pse_no_PSEgetLibType", true },
        { "pse_no_PSEgetLibVersion", true }, { "pse_noname", true },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.built);
        Rig rig("gpuhost-refuse", row.built);
        rig.host.record.flags = 0xFFFFFFFFu;
        EXPECT_EQ(row.accepted ? 0 : -1, rig.gpu.GPU_Open(&rig.host.record));
        EXPECT_EQ(row.accepted ? 0xFFFFFFFEu : 0xFFFFFFFFu, rig.host.record.flags);
        if (row.accepted) {
            EXPECT_EQ(Lines({ "attach", "GPUinit", rig.OpenLine() }), rig.Calls());
        } else {
            EXPECT_EQ(Lines({ "attach", "detach" }), rig.Calls());
            EXPECT_FALSE(rig.HostedLoaded());
        }
        rig.log.Clear();
        rig.gpu.GPU_Close();
        EXPECT_EQ(row.accepted ? Lines({ "GPUclose", "GPUshutdown", "detach" }) : Lines(),
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
    /* The plugin's values change from call to call, so each result must be
       the one it gave. */
    uint32_t data[2], status[2];
    for (int i = 0; i < 2; i++) {
        data[i] = rig.gpu.GP0_Read();
        status[i] = rig.gpu.GP1_Read();
        want.push_back("GPUreadData -> " + Hex8(data[i]));
        want.push_back("GPUreadStatus -> " + Hex8(status[i]));
    }
    EXPECT_NE(data[0], data[1]);
    EXPECT_NE(status[0], status[1]);
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
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        /* every RAM word tells its own offset; the guard behind stays 0xCC */
        for (uint32_t offset = 0; offset < KOVA_RAM_SIZE; offset += 4)
            SetRamWord(rig.ram.data(), offset, 0x0F000000u | offset);
        std::vector<uint8_t> want = rig.ram;
        rig.log.Clear();
        rig.host.calls.clear();

        rig.gpu.GPU_DmaExec(row.address, row.blockControl, row.channelControl);

        Lines lines = rig.log.Lines();
        size_t next = 0;
        if (row.notify) {
            ASSERT_LT(next, lines.size());
            EXPECT_EQ("host ramWriteNotify " + Hex8(row.address) + " " + Hex8(row.notifyEnd),
                      lines[next++]);
        }
        uint32_t offset = row.address & 0x1FFFFFu;
        for (uint32_t i = 0; i < row.words; i++, offset = (offset + 4) & 0x1FFFFFu) {
            ASSERT_LT(next, lines.size()) << "word " << i;
            const std::string &line = lines[next++];
            if (row.expect == READS) {
                const std::string prefix = "pse_soft.dll GPUreadData -> ";
                ASSERT_EQ(prefix, line.substr(0, prefix.size())) << "word " << i;
                uint32_t value = strtoul(line.c_str() + prefix.size(), NULL, 16);
                SetRamWord(want.data(), offset, value);
            } else {
                EXPECT_EQ("pse_soft.dll GPUwriteData " + Hex8(0x0F000000u | offset), line)
                    << "word " << i;
            }
        }
        if (row.expect == CHAIN) {
            ASSERT_LT(next, lines.size());
            EXPECT_EQ("pse_soft.dll GPUdmaChain " +
                          Hex8(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(rig.ram.data()))) +
                          " 00012340",
                      lines[next++]);
            /* the plugin walks the list in that RAM: a packet of 15 words
               whose link comes back to itself */
            std::string packet = "pse_soft.dll chain 00012340:";
            for (uint32_t at = 0x12344; at <= 0x1237C; at += 4)
                packet += " " + Hex8(0x0F000000u | at);
            ASSERT_LT(next + 1, lines.size());
            EXPECT_EQ(packet, lines[next++]);
            EXPECT_EQ("pse_soft.dll chain loops back to 00012340", lines[next++]);
        }
        EXPECT_EQ(next, lines.size()) << "further calls";
        EXPECT_EQ(row.notify ? 1u : 0u, rig.host.Calls("notify").size());
        size_t differ = 0;
        while (differ < want.size() && want[differ] == rig.ram[differ])
            differ++;
        EXPECT_EQ(want.size(), differ) << "RAM differs from byte " << Hex8(differ);
    }
}

TEST(GpuHostDma, ABlockTransferOfMoreThanAllRamWrapsInsideIt)
{
    /* RAM fenced by pages that fault: no word may land outside it. */
    Rig rig("gpuhost-dma-big");
    FencedRam ram;
    ASSERT_TRUE(ram.valid());
    rig.host.record.ramBase = ram.data();
    SetEnvironmentVariableA("KOVA_PSE_LOG", NULL); /* a call log of a million lines: off */
    ASSERT_EQ(0, rig.gpu.GPU_Open(&rig.host.record));
    memset(ram.data(), 0xCC, KOVA_RAM_SIZE);
    /* 3072 blocks of 256 words: 3 MB into 2 MB, starting 256 bytes before
       the end. pse_soft answers reads outside an image transfer with
       0x5EED0000 plus a count that starts at 0 when it is loaded. */
    const uint32_t start = 0x801FFF00u, words = 3072u * 256u;
    rig.gpu.GPU_DmaExec(start, 0x0C000100u, 0x01000200u);
    EXPECT_EQ(HostCalls({ { "notify", "801fff00", "804fff00", "" } }),
              rig.host.Calls("notify"));
    /* word i lands at (start + 4 i) modulo 2 MB; the last one there stays */
    const uint32_t perRam = KOVA_RAM_SIZE / 4;
    uint32_t wrong = 0, firstWrong = 0;
    for (uint32_t offset = 0; offset < KOVA_RAM_SIZE; offset += 4) {
        uint32_t i = ((offset - (start & KOVA_RAM_ADDR_MASK)) & KOVA_RAM_ADDR_MASK) / 4;
        while (i + perRam < words)
            i += perRam;
        uint32_t got;
        memcpy(&got, ram.data() + offset, 4);
        if (got != 0x5EED0000u + i && !wrong++)
            firstWrong = offset;
    }
    EXPECT_EQ(0u, wrong) << "first wrong word at RAM offset " << Hex8(firstWrong);
    rig.gpu.GPU_Close();
}

TEST(GpuHostDma, VramUploadedAcrossTheEndOfRamComesBackAsItWrapped)
{
    Rig rig("gpuhost-dma-wrap");
    FencedRam fenced;
    ASSERT_TRUE(fenced.valid());
    rig.host.record.ramBase = fenced.data();
    SetEnvironmentVariableA("KOVA_PSE_LOG", NULL); /* a call log of a million lines: off */
    ASSERT_EQ(0, rig.gpu.GPU_Open(&rig.host.record));
    uint8_t *ram = fenced.data();
    for (uint32_t offset = 0; offset < KOVA_RAM_SIZE; offset += 4) {
        uint32_t word = 0x3C000000u | offset;
        memcpy(ram + offset, &word, 4);
    }
    /* The whole VRAM (1024 x 512 halfwords, 1 MB) from 256 bytes before the
       end of RAM, 4096 blocks of 64 words, ... */
    rig.gpu.GP0_Write(0xA0000000u);
    rig.gpu.GP0_Write(0x00000000u);
    rig.gpu.GP0_Write(0x02000400u);
    rig.gpu.GPU_DmaExec(0xA01FFF00u, 0x10000040u, 0x01000201u);
    /* ... and back to the middle of RAM. */
    rig.gpu.GP0_Write(0xC0000000u);
    rig.gpu.GP0_Write(0x00000000u);
    rig.gpu.GP0_Write(0x02000400u);
    rig.gpu.GPU_DmaExec(0x00080000u, 0x10000040u, 0x01000200u);
    uint32_t wrong = 0, firstWrong = 0;
    for (uint32_t i = 0; i < 0x40000u; i++) {
        uint32_t source = (0x1FFF00u + 4 * i) & KOVA_RAM_ADDR_MASK, got;
        memcpy(&got, ram + 0x80000u + 4 * i, 4);
        if (got != (0x3C000000u | source) && !wrong++)
            firstWrong = i;
    }
    EXPECT_EQ(0u, wrong) << "first wrong word " << firstWrong;
    rig.gpu.GPU_Close();
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
