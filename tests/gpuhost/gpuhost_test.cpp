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
        if (gpu.close)
            gpu.close();
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

std::vector<uint8_t> RecordBytes(const HostServices &record)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&record);
    return std::vector<uint8_t>(p, p + sizeof record);
}

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

    EXPECT_EQ(0, gpu.open(&rig.host.record));
    EXPECT_EQ(Lines({ rig.HostedPath() }), loads.paths());
    EXPECT_EQ(Lines({ "attach", "GPUinit", rig.OpenLine() }), rig.Calls());
    EXPECT_TRUE(rig.HostedLoaded());
    EXPECT_FALSE(GetModuleHandleA((own.psemu + "pse_soft.dll").c_str()));
    EXPECT_EQ(std::vector<HostCall>({ { "read", "GPUHOST", "PluginName", "" } }), rig.host.calls);
    gpu.close();
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
        ASSERT_EQ(0, rig.gpu.open(&rig.host.record));
        EXPECT_EQ(row[1], rig.host.record.flags);
        before.flags = row[1];
        EXPECT_EQ(RecordBytes(before), RecordBytes(rig.host.record));
        rig.gpu.close();
    }
}

TEST(GpuHostOpen, FailsWithNothingCalledAndNothingChanged)
{
    enum Prepare { NOTHING, TEXT_FILE, FOLDER };
    struct Row {
        const char *what;
        const char *name;  /* null: no PluginName at all */
        Prepare prepare;
        bool tried;        /* LoadLibraryA was asked for the path */
    };
    static const std::string tooLong = std::string(300, 'x') + ".dll";
    const Row rows[] = {
        { "no PluginName", NULL, NOTHING, false },
        { "empty PluginName", "", NOTHING, false },
        { "absent file", "missing.dll", NOTHING, true },
        { "text file", "text.dll", TEXT_FILE, true },
        { "folder", "sub.dll", FOLDER, true },
        { "path too long", tooLong.c_str(), NOTHING, false },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Rig rig("gpuhost-fail", NULL);
        if (row.name)
            rig.host.settings["GPUHOST/PluginName"] = row.name;
        if (row.prepare == TEXT_FILE) {
            ASSERT_TRUE(WriteFileText(rig.dir.psemu + row.name, "not a library\r\n"));
        }
        if (row.prepare == FOLDER)
            rig.dir.dir.MakeDir((std::string("PLUGIN\\PSEMU\\") + row.name).c_str());
        rig.dir.AddHosted("pse_soft");  /* present, but not chosen */
        rig.host.record.flags = 0xFFFFFFFFu;
        HostServices before = rig.host.record;
        LoadRecorder loads(rig.gpu.lib.handle());

        EXPECT_EQ(-1, rig.gpu.open(&rig.host.record));
        EXPECT_EQ(RecordBytes(before), RecordBytes(rig.host.record));
        EXPECT_EQ(row.tried ? Lines({ rig.dir.psemu + row.name }) : Lines(), loads.paths());
        rig.gpu.close();  /* not open: nothing to close */
        EXPECT_EQ(Lines(), rig.log.Lines());
    }
}

TEST(GpuHostOpen, AFailedOpenKeepsTheRamAndNotifyOfTheOpenOne)
{
    Rig rig("gpuhost-keep");
    ASSERT_EQ(0, rig.gpu.open(&rig.host.record));
    static std::vector<uint32_t> otherNotified;
    struct Other {
        static void KOVA_CALL Notify(uint32_t start, uint32_t) { otherNotified.push_back(start); }
    };
    std::vector<uint8_t> otherRam(KOVA_RAM_SIZE, 0x11);
    HostServices other = rig.host.record;
    other.ramBase = otherRam.data();
    other.ramWriteNotify = Other::Notify;
    rig.host.settings["GPUHOST/PluginName"] = "";
    EXPECT_EQ(-1, rig.gpu.open(&other));

    rig.log.Clear();
    rig.gpu.dmaExec(0x80000010u, 0x00010002u, 0x01000200u);
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
        EXPECT_EQ(row.accepted ? 0 : -1, rig.gpu.open(&rig.host.record));
        EXPECT_EQ(row.accepted ? 0xFFFFFFFEu : 0xFFFFFFFFu, rig.host.record.flags);
        if (row.accepted) {
            EXPECT_EQ(Lines({ "attach", "GPUinit", rig.OpenLine() }), rig.Calls());
        } else {
            EXPECT_EQ(Lines({ "attach", "detach" }), rig.Calls());
            EXPECT_FALSE(rig.HostedLoaded());
        }
        rig.log.Clear();
        rig.gpu.close();
        EXPECT_EQ(row.accepted ? Lines({ "GPUclose", "GPUshutdown", "detach" }) : Lines(),
                  rig.Calls());
    }
}

TEST(GpuHostClose, WithoutOpenOrTwiceCallsNothing)
{
    Rig rig("gpuhost-close");
    rig.gpu.close();
    EXPECT_EQ(Lines(), rig.log.Lines());
    ASSERT_EQ(0, rig.gpu.open(&rig.host.record));
    rig.gpu.close();
    EXPECT_EQ(Lines({ "attach", "GPUinit", rig.OpenLine(), "GPUclose", "GPUshutdown", "detach" }),
              rig.Calls());
    EXPECT_FALSE(rig.HostedLoaded());
    rig.log.Clear();
    rig.gpu.close();
    EXPECT_EQ(Lines(), rig.log.Lines());
    /* and it opens again afterwards */
    ASSERT_EQ(0, rig.gpu.open(&rig.host.record));
    EXPECT_EQ(Lines({ "attach", "GPUinit", rig.OpenLine() }), rig.Calls());
}

TEST(GpuHostForwarding, EachEntryPointReachesItsFunctionWithTheValueUnchanged)
{
    Rig rig("gpuhost-forward");
    ASSERT_EQ(0, rig.gpu.open(&rig.host.record));
    rig.log.Clear();

    Lines want;
    for (uint32_t v : { 0x00000000u, 0x00000001u, 0x12345678u, 0x80000000u, 0xFFFFFFFFu }) {
        rig.gpu.gp0Write(v);
        rig.gpu.gp1Write(v);
        want.push_back("GPUwriteData " + Hex8(v));
        want.push_back("GPUwriteStatus " + Hex8(v));
    }
    /* The plugin's values change from call to call, so each result must be
       the one it gave. */
    uint32_t data[2], status[2];
    for (int i = 0; i < 2; i++) {
        data[i] = rig.gpu.gp0Read();
        status[i] = rig.gpu.gp1Read();
        want.push_back("GPUreadData -> " + Hex8(data[i]));
        want.push_back("GPUreadStatus -> " + Hex8(status[i]));
    }
    EXPECT_NE(data[0], data[1]);
    EXPECT_NE(status[0], status[1]);
    rig.gpu.update();
    want.push_back("GPUupdateLace");

    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    SetCurrentDirectoryA(rig.dir.dir.path().c_str());
    rig.gpu.screenShot();
    SetCurrentDirectoryA(cwd);
    want.push_back("GPUmakeSnapshot");
    want.push_back("snapshot SNAP\\SNAP000.BMP written");
    want.push_back("snapshot SNAP\\SHOW000.BMP written"); /* what its window shows */

    EXPECT_EQ(want, rig.Calls());
    EXPECT_EQ(54u + 1024 * 512 * 2, ReadFileBytes(rig.dir.dir / "SNAP\\SNAP000.BMP").size());
    EXPECT_EQ(std::vector<HostCall>({ { "read", "GPUHOST", "PluginName", "" } }), rig.host.calls);
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
    ASSERT_EQ(0, rig.gpu.open(&rig.host.record));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        /* every RAM word tells its own offset; the guard behind stays 0xCC */
        for (uint32_t offset = 0; offset < KOVA_RAM_SIZE; offset += 4)
            SetRamWord(rig.ram.data(), offset, 0x0F000000u | offset);
        std::vector<uint8_t> want = rig.ram;
        rig.log.Clear();
        rig.host.calls.clear();

        rig.gpu.dmaExec(row.address, row.blockControl, row.channelControl);

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
        ASSERT_TRUE(RunCapturingStdout(command, dir.dir.path().c_str(), 20000, &code, &output));
        EXPECT_EQ(0u, code);
        EXPECT_EQ(row.output, output);
        /* nothing transferred: only the open and close calls */
        EXPECT_EQ(Lines({ "attach", "GPUinit", "GPUopen 00000000", "GPUclose", "GPUshutdown", "detach" }),
                  log.LinesOf("pse_soft.dll"));
    }
}
