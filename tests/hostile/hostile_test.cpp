/* What KOVA survives.
 *
 * One row per hostile input or fault: what is fed in, what the system does
 * instead of crashing, losing something or going on with made-up data, and
 * the check. A row that an earlier test program already covers names that
 * program and its tests; the row runs them and requires every one of them
 * to run and pass. Each row is a test of its own, named by its first
 * column. */
#include "hostile_rows.h"
#include "hostile_support.h"

namespace {

struct HostileRow {
    const char *name;
    const char *input;
    const char *outcome;
    void (*check)();      /* a check of its own (hostile_rows.cpp), or */
    const char *program;  /* an earlier test program, */
    const char *filter;   /* the tests of it that cover the row */
    int tests;            /* and how many tests that filter selects */
};

#define OWN(check) check, NULL, NULL, 0
#define EARLIER(program, filter, tests) NULL, program, filter, tests

const HostileRow kRows[] = {
    /* ---- libraries that are not what their name says, installed ---- */
    { "GarbageAsAPlugin",
      "4 KB of random bytes installed as CDRend.dll",
      "the stand-in reports it as not loadable (error 193) and runs the other plugins; exit 1",
      OWN(GarbageInstalled) },
    { "EmptyFileAsAPlugin",
      "an empty file installed as CDRend.dll",
      "reported as not loadable (error 193); the other plugins run; exit 1",
      OWN(EmptyFileInstalled) },
    { "TruncatedPlugin",
      "cdidle.dll cut after 2, 64 and 1024 bytes and in the middle, installed as CDRend.dll",
      "reported as not loadable (error 193) every time; the other plugins run; exit 1",
      OWN(TruncatedPluginsInstalled) },
    { "TextFileAsAPlugin",
      "a text file as CDRend.dll; a pad plugin as CDRend.dll; a CD plugin as Joy1Rend.dll",
      "a transcript line for each (not loadable, each missing entry point) and exit 1",
      EARLIER("standin_test.exe", "StandIn.BrokenInstallationsAreTranscriptLinesAndAFailedExit", 1) },
    { "SixtyFourBitPlugin",
      "a 64-bit (PE32+, AMD64) library exporting the CD entry points, as CDRend.dll",
      "reported as not loadable (error 193); the other plugins run; exit 1",
      OWN(Pe32PlusInstalled) },
    { "DllMainFails",
      "a complete CD plugin whose DllMain refuses the process attach, as CDRend.dll",
      "reported as not loadable (error 1114); nothing of it is called; exit 1",
      OWN(DllMainFailsInstalled) },
    { "BrokenHostedGpuPlugin",
      "gpuhost's PluginName naming a garbage, empty, truncated, 64-bit or DllMain-failing library",
      "GPU_Open returns -1 with the emulator's record untouched; a later open of a good one works",
      OWN(BrokenHostedLibrariesFailGpuOpen) },
    { "BrokenHostedGpuPluginsInTheFolder",
      "those five libraries beside a good one in PLUGIN\\PSEMU\\, and gpuhost's selection dialog",
      "only the good one is listed, and OK stores its file name",
      OWN(BrokenHostedLibrariesAreNotListed) },
    { "HostedGpuPluginLackingFunctions",
      "a hosted GPU plugin without one of the functions gpuhost calls while it runs",
      "GPU_Open refuses it (-1) and unloads it, instead of crashing mid-game",
      EARLIER("gpuhost_test.exe", "GpuHostOpen.RefusesAPluginLackingAFunctionItCallsAtRunTime", 1) },

    /* ---- setting values ---- */
    { "PluginNameOf1023Characters",
      "GPUHOST/PluginName of 1023 characters, the longest value a setting can have",
      "GPU_Open returns -1 without trying a cut path; the record is untouched",
      OWN(PluginName1023Characters) },
    { "PluginNameTooLongOrEmpty",
      "PluginName absent, empty, naming a missing file, a text file, a folder, or 300 characters",
      "GPU_Open returns -1, nothing called in any library, nothing changed",
      EARLIER("gpuhost_test.exe", "GpuHostOpen.FailsWithNothingCalledAndNothingChanged", 1) },
    { "PluginNameOf100Characters",
      "a hosted plugin whose file name has 100 characters, chosen as PluginName",
      "GPU_Open loads exactly that file",
      OWN(PluginName100Characters) },
    { "PluginNameInOtherCase",
      "PluginName \"PSE_SOFT.DLL\" or \"Pse_Soft.Dll\" for the file pse_soft.dll",
      "GPU_Open loads pse_soft.dll, as Windows finds file names",
      OWN(PluginNameInOtherCase) },
    { "HostedFileNamesOfAnyLength",
      "a hosted plugin file name longer than the 32 characters of older dialogs",
      "the selection dialog lists it and stores its whole name",
      EARLIER("gpuhost_dialog_test.exe", "GpuHostDialog.LongFileNamesAreListedAndStoredWhole", 1) },
    { "DriveLetterOf1023Characters",
      "CDIOCTRL/DriveLetter \"E\" followed by 1022 more characters",
      "its first character counts: CD_Open opens drive E and reads the disc",
      OWN(DriveLetter1023Characters) },
    { "DriveLetterInOtherCaseOrLonger",
      "DriveLetter \"e\", \"E:\", \"E:\\\", empty, or naming no drive",
      "the drive of the first character opens; empty or no drive gives -1",
      EARLIER("cddirect_test.exe", "CdDirectDrive.OpenTakesTheDriveFromTheFirstCharacterOfDriveLetter", 1) },
    { "DriveLetterThatIsNoLetter",
      "DriveLetter \"1\", \" \", \"\\\", \"?\", \"*\", \".\" or a letter outside ASCII",
      "CD_Open returns -1; reads give zeros and CD_Wait -1; close is harmless",
      OWN(DriveLetterThatIsNoLetter) },

    /* ---- disc addresses ---- */
    { "CdDirectAddressesOffTheDisc",
      "cddirect reads of 99:99:99, 255:255:255, 00:00:00, 00:01:74 and of no address at all",
      "the image has the address in BCD and zero data, CD_Wait gives -1 once, the next good read works",
      OWN(CdDirectAddressesOffTheDisc) },
    { "CdDirectReadsPastTheEnd",
      "cddirect reads of the sectors just past the end of the disc",
      "zero data and the read error, as for any sector the drive does not deliver",
      EARLIER("cddirect_test.exe", "CdDirectDrive.ReadingPastTheEndOfTheDiscRaisesTheReadError", 1) },
    { "CdIdleAddressesOffTheDisc",
      "cdidle reads of the same addresses",
      "the one empty image every time, CD_Wait -1",
      OWN(CdIdleAddressesOffTheDisc) },

    /* ---- DMA ---- */
    { "DmaOfMoreThanAllRam",
      "a GPU-to-RAM block transfer of 3 MB (3072 blocks of 256 words) from 256 bytes before the end",
      "every word wraps inside the 2 MB, none touches the faulting pages around them; one notify",
      OWN(DmaGpuToRamOfMoreThanAllRam) },
    { "DmaAcrossTheEndAndBack",
      "1 MB of VRAM uploaded from 256 bytes before the end of RAM and read back",
      "the words come back exactly as they wrapped, inside RAM",
      OWN(DmaRamToGpuAcrossTheEndAndBack) },
    { "DmaPastTheEndAndNegativeCounts",
      "block transfers past the end, in the 8 MB mirror, with block counts of 0 and 0xFFFFFFFF",
      "the recorded words and RAM bytes are exactly the wrapped ones; negative counts move nothing",
      EARLIER("gpuhost_test.exe", "GpuHostDma.TransfersAgainstTheRecordingPlugin", 1) },
    { "DmaWalksOfAnyLength",
      "RAM walks past the end, unaligned across the end, and longer than all of RAM",
      "every byte lands inside the 2 MB, the guard behind them untouched",
      EARLIER("gpuhost_logic_test.exe", "GpuHostLogic.*Ram*", 3) },
    { "UnknownDmaChannel",
      "GPU_DmaExec with channel control values gpuhost does not know",
      "one line \"gpudma unknown %08x\" on the standard output, nothing transferred",
      EARLIER("gpuhost_test.exe", "GpuHostDma.UnknownChannelWritesExactlyOneLineToStandardOutput", 1) },

    /* ---- calls out of order ---- */
    { "PadIdlePollBeforeInitHeader",
      "padidle polled before any init-header, and after an init-header without a buffer",
      "nothing is written anywhere",
      EARLIER("padidle_test.exe",
              "PadIdle.PollBeforeAnyInitHeaderWritesNothing:"
              "PadIdle.InitHeaderWithoutABufferWritesNothingAndLaterPollsNeither", 2) },
    { "PadKeysPollBeforeInitHeader",
      "padkeys polled and vibrated before open and init-header, then given no buffer",
      "nothing is written; the first real buffer gets exactly its header and buttons",
      OWN(PadKeysPollBeforeInitHeader) },
    { "MousePadPollBeforeInitHeader",
      "mousepad polled before open and init-header, opened without a record, given no buffer",
      "nothing is read or written through a null pointer; later polls reach the right buffer",
      EARLIER("mousepad_calls_test.exe", "MousePadCalls.WithoutADeviceOrABufferNothingIsReadOrWrittenThroughNull", 1) },
    { "CdDirectReadsWithoutADrive",
      "cddirect read before any open, after a failed open and after close",
      "zeros and the read error; the track queries give -1 and leave the buffer",
      EARLIER("cddirect_test.exe", "CdDirectDrive.WithoutAnOpenDriveReadsGiveZerosAndAnError", 1) },
    { "GpuHostCloseTwice",
      "GPU_Close without open, and twice after open",
      "nothing is called in any library; the next open works",
      EARLIER("gpuhost_test.exe", "GpuHostClose.WithoutOpenOrTwiceCallsNothing", 1) },
    { "CloseTwice",
      "each other plugin's close entry point without open, and twice after an open",
      "nothing happens; the next open succeeds",
      OWN(CloseTwiceAndWithoutOpen) },
    { "CdDirectOpenTwice",
      "CD_Open a second time without a close",
      "the drive and the sector buffer of the first open are released",
      EARLIER("cddirect_seam_test.exe", "CdDirectSeam.OpenWithoutCloseReleasesTheEarlierDrive", 1) },
    { "MousePadOpenTwice",
      "JOY1_Open a second time without a close",
      "the DirectInput objects and the event of the first open are released",
      EARLIER("mousepad_calls_test.exe", "MousePadCalls.ASecondOpenStartsAfreshInsteadOfLeaking", 1) },

    { "OpenWithoutARecord",
      "each plugin's open entry point called with a null HostServices, and with one of zeros",
      "gpuhost, cddirect and mousepad return -1 and change nothing; the idle plugins, which "
      "read nothing of it, return 0; close after it is harmless",
      OWN(OpenWithoutARecord) },
    { "ConfigureWithoutARecord",
      "each plugin's configure entry point called with a null HostServices",
      "the note or dialog appears without an owner, OK writes nowhere, 0 is returned; no crash",
      OWN(ConfigureWithoutARecord) },

    /* ---- the configurator: libraries in PLUGIN\ ---- */
    { "ThreeHundredLibraries",
      "300 libraries in PLUGIN\\: 270 plugins of all five families and of family code 0, "
      "garbage, libraries without an about entry point",
      "no message; the lists hold exactly the first 256 plugins found, in search order; "
      "Save installs the last entry of every list",
      OWN(ThreeHundredLibraries) },
    { "BrokenLibrariesInThePluginFolder",
      "garbage, an empty file, cdidle.dll cut after 2, 64, 1024 bytes and in half, a 64-bit "
      "library and one whose DllMain fails, beside cdidle and padidle",
      "passed over without a message; the two good plugins are listed and Save installs them",
      OWN(BrokenLibrariesInThePluginFolder) },
    { "NotPluginsInThePluginFolder",
      "a text file, a folder named old.dll, a library without an about entry point, one with two "
      "about entry points, family codes 0 and 6, texts without terminators",
      "only plugins are catalogued, filed by their family code; the about box shows the texts cut",
      EARLIER("configurator_dialog_test.exe",
              "Catalogue.HostileEntriesAreSkippedAndTheTypeByteDecidesTheList", 1) },
    { "AboutRecordsOutOfBounds",
      "CD plugins whose about record gives family code 0, 6 or 255, or fills every text to its "
      "last byte without a terminator",
      "codes 0, 6 and 255 are in no list; the other is listed as 63 N and 1.0, its about box "
      "shows 63, 63 and 1023 characters; Configure and Save work on it",
      OWN(AboutRecordsOutOfBounds) },
    { "FileNamesOf100Characters",
      "a plugin file name of 100 characters, beside a library named after its first 31",
      "both are listed; Configure loads the one of 100 characters and Save installs it",
      OWN(FileNamesOf100Characters) },

    /* ---- the configurator: KOVA.INI ---- */
    { "KovaValuesOf1023CharactersAndOddCase",
      "section KOVA with \"oFf\", \"INTERPRETER\", \"ON\"; with values of 1023 and of 4000 "
      "characters that begin with those words; a plugin's value of 1023 characters beside it",
      "odd case is understood; the long values leave every default and the country is their "
      "first character; Save writes the known words and keeps the other sections whole",
      OWN(KovaValuesOf1023CharactersAndOddCase) },
    { "PluginValuesOf1023Characters",
      "readSetting of a plugin's key of 1023 and of 1100 characters, into the contract's 1024 bytes",
      "the 1023 characters whole, the first 1023 of the longer one; nothing past the 1024 bytes",
      EARLIER("configurator_dialog_test.exe", "Settings.CallbacksReadAndWriteAnySectionOfKovaIni", 1) },
    { "ReadOnlyKovaIni",
      "Save with a read-only KOVA.INI, and with one that another program holds open",
      "one message naming the file; the file as it was; the plugins are installed all the same",
      EARLIER("configurator_dialog_test.exe",
              "MainDialog.AnIniThatCannotBeWrittenGivesOneMessageNamingTheFile", 1) },
    { "FullDisk",
      "Save on a volume that fills while KOVA.INI is written (a 4090-byte file, a first file), "
      "and on one without room for the settings and the plugins",
      "KOVA.INI byte for byte as it was (or still absent), nothing installed, no temporary file "
      "left; one message naming the file and the full disk, or saying that nothing was saved",
      EARLIER("configurator_dialog_test.exe",
              "MainDialog.AnIniThatCannotBeWrittenGivesOneMessageNamingTheFile", 1) },
    { "PluginSettingsIntoAnUnwritableIni",
      "a plugin's Configure writing its setting into a read-only KOVA.INI, or one held open",
      "the file as it was; after the plugin's call one message naming the file",
      OWN(PluginSettingsIntoAnUnwritableIni) },
    { "ReadOnlyInstalledPlugin",
      "Save over a read-only installed plugin, a locked source library and a locked installed file",
      "one message naming each one not installed; those files as they were; the others installed",
      EARLIER("configurator_dialog_test.exe",
              "Install.FailedCopiesLeaveTheOldFilesAndAreNamedInOneMessage", 1) },

    /* ---- the configurator: missing folders and programs ---- */
    { "NoPluginFolder",
      "no PLUGIN\\ folder, or a file named PLUGIN in its place, with all five plugins installed",
      "every family's list, About and Configure disabled, their commands do nothing; Save "
      "writes KOVA.INI and keeps the installed files",
      OWN(NoPluginFolder) },
    { "NoBiosOrMemcardFolders",
      "no BIOS\\ and no MEMCARDS\\ folder; KOVA.INI with EmulateBios off and old card names",
      "the lists empty and disabled, BIOS emulation on and kept on; Save writes it on and empty cards",
      OWN(NoBiosOrMemcardFolders) },
    { "NothingButTheConfigurator",
      "KOVACFG.EXE alone in its folder: no KOVA.INI, no folders, no KOVA.EXE",
      "everything without a source disabled; Save writes the first KOVA.INI and nothing else; "
      "Run gives \"Cannot run KOVA.EXE\" and the dialog stays usable",
      OWN(NothingButTheConfigurator) },
    { "ProgramFolderNamedOrPlacedBadly",
      "KOVACFG.EXE in a folder whose name ANSI cannot hold (beside a folder of its best-fit name), "
      "or at a path of 216 characters, too long for the paths built on it",
      "one box saying why, exit code 1, no dialog and no file touched in either folder; at 215 "
      "characters it works",
      EARLIER("configurator_program_test.exe", "Program.StartingAndLeavingWithExitChangesNoFile", 1) },
    { "EmulatorMissing",
      "Run with KOVA.EXE renamed away",
      "\"Cannot run KOVA.EXE\" owned by the main dialog; the dialog stays usable, Run works again",
      EARLIER("configurator_dialog_test.exe",
              "Launch.AMissingEmulatorGivesAMessageAndTheDialogStaysUsable", 1) },
    { "NoTimerForTheSplash",
      "the splash's timer refused again and again",
      "\"Too many clocks or timers!\" with Retry and Cancel; Cancel loads at once and goes on",
      EARLIER("configurator_dialog_test.exe", "Splash.WithoutATimerRetryTriesAgainAndCancelLoadsAtOnce", 1) },

    /* ---- the configurator: the command line ---- */
    { "CommandLinesOf255CharactersAnd40Words",
      "command lines of 255 characters (many words, one word) and of 40 words (with runs of "
      "blanks, tabs, quotes and backslashes)",
      "the stand-in receives exactly those words after its own path",
      OWN(CommandLinesOf255CharactersAnd40Words) },
    { "CommandLineTooLongToStart",
      "a command line of 32760 characters, too long with the program path in front",
      "a message that it is too long; nothing is started; the line stays",
      EARLIER("configurator_dialog_test.exe", "Launch.ALineTooLongToStartIsRefusedWhole", 1) },
};

#undef OWN
#undef EARLIER

/* A failing row names itself, not its bytes. */
void PrintTo(const HostileRow &row, std::ostream *os)
{
    *os << row.name;
}

class Hostile : public testing::TestWithParam<HostileRow> {};

TEST_P(Hostile, Survives)
{
    const HostileRow &row = GetParam();
    SCOPED_TRACE(std::string("input: ") + row.input + "\n  expected: " + row.outcome);
    if (row.check)
        row.check();
    else
        ExpectEarlierTestsPass(row.program, row.filter, row.tests);
}

INSTANTIATE_TEST_SUITE_P(Rows, Hostile, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<HostileRow> &param) {
                             return std::string(param.param.name);
                         });

} // namespace
