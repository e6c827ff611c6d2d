/* The checks of the hostile-input rows that have no earlier test to point
 * at; hostile_test.cpp lists them with what they feed in and expect. */
#ifndef HOSTILE_ROWS_H
#define HOSTILE_ROWS_H

/* Libraries that are not what their name says, installed under the fixed
   names and loaded by the KOVA.EXE stand-in. */
void GarbageInstalled();
void EmptyFileInstalled();
void TruncatedPluginsInstalled();
void Pe32PlusInstalled();
void DllMainFailsInstalled();

/* ... and chosen as gpuhost's hosted PSEmu Pro GPU plugin. */
void BrokenHostedLibrariesFailGpuOpen();
void BrokenHostedLibrariesAreNotListed();

/* Setting values. */
void PluginName1023Characters();
void PluginName100Characters();
void PluginNameInOtherCase();
void DriveLetter1023Characters();
void DriveLetterThatIsNoLetter();

/* Disc addresses. */
void CdDirectAddressesOffTheDisc();
void CdIdleAddressesOffTheDisc();

/* DMA. */
void DmaGpuToRamOfMoreThanAllRam();
void DmaRamToGpuAcrossTheEndAndBack();

/* Calls out of order. */
void PadKeysPollBeforeInitHeader();
void CloseTwiceAndWithoutOpen();
void ConfigureWithoutARecord();
void OpenWithoutARecord();

/* The configurator, KOVACFG.EXE in a program directory of its own
   (hostile_cfg_rows.cpp). */
void ThreeHundredLibraries();
void BrokenLibrariesInThePluginFolder();
void AboutRecordsOutOfBounds();
void FileNamesOf100Characters();
void KovaValuesOf1023CharactersAndOddCase();
void PluginSettingsIntoAnUnwritableIni();
void NoPluginFolder();
void NoBiosOrMemcardFolders();
void NothingButTheConfigurator();
void CommandLinesOf255CharactersAnd40Words();

#endif
