/*
 * KOVA plugin contract.
 *
 * Everything a host (the configurator, the emulator KOVA.EXE) and a plugin
 * library agree on: the five plugin families, the names of their entry points,
 * the fixed names under which a chosen plugin is installed, and the two records
 * that cross the library boundary. Both records are laid out to the byte; the
 * checks at the end of this file keep them so.
 *
 * Plain C, usable from C and C++, for 32-bit Windows. A third-party plugin
 * author may include this header as it is. It declares types and constants
 * only; there is no code behind it.
 *
 * Calling conventions:
 *  - plugin entry points and the HostServices callbacks are __cdecl and are
 *    exported under their plain, undecorated names (GPU_Open, CD_Read, ...);
 *  - the hosted PSEmu Pro GPU functions that the GPU bridge calls are
 *    __stdcall, as that published interface declares them on Windows.
 */
#ifndef KOVA_PLUGIN_H
#define KOVA_PLUGIN_H

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

#if !defined(_WIN32) || defined(_WIN64)
#error "The KOVA plugin contract is for 32-bit Windows only."
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define KOVA_CALL __cdecl  /* plugin entry points and host callbacks */
#define PSE_CALL  __stdcall /* hosted PSEmu Pro GPU plugin functions */

/* ---------------------------------------------------------------------------
 * Plugin families
 * ------------------------------------------------------------------------- */

/* The family code, byte 0 of PluginInfo. No other value is defined. */
typedef uint8_t PluginType;

enum {
    PLUGIN_GPU  = 1,
    PLUGIN_SPU  = 2,
    PLUGIN_JOY0 = 3,
    PLUGIN_JOY1 = 4,
    PLUGIN_CD   = 5
};

#define PLUGIN_TYPE_FIRST  PLUGIN_GPU
#define PLUGIN_TYPE_LAST   PLUGIN_CD
#define PLUGIN_TYPE_COUNT  5

/*
 * One row per family, in the fixed order in which hosts try the about and the
 * configure names, fill their lists and install the plugins:
 *   X(code, name, export prefix, install name, group name, about, configure)
 * GPU plugins also export GP0_ and GP1_ names (see below).
 */
#define KOVA_PLUGIN_FAMILIES(X) \
    X(PLUGIN_GPU,  "GPU",  "GPU_",  "GpuRend.dll",  "Graphics", "GPU_About",  "GPU_Configure")  \
    X(PLUGIN_SPU,  "SPU",  "SPU_",  "SpuRend.dll",  "Sound",    "SPU_About",  "SPU_Configure")  \
    X(PLUGIN_JOY0, "JOY0", "JOY0_", "Joy0Rend.dll", "Pad1",     "JOY0_About", "JOY0_Configure") \
    X(PLUGIN_JOY1, "JOY1", "JOY1_", "Joy1Rend.dll", "Pad2",     "JOY1_About", "JOY1_Configure") \
    X(PLUGIN_CD,   "CD",   "CD_",   "CDRend.dll",   "CD-ROM",   "CD_About",   "CD_Configure")

#define KOVA_INSTALL_NAME_GPU  "GpuRend.dll"
#define KOVA_INSTALL_NAME_SPU  "SpuRend.dll"
#define KOVA_INSTALL_NAME_JOY0 "Joy0Rend.dll"
#define KOVA_INSTALL_NAME_JOY1 "Joy1Rend.dll"
#define KOVA_INSTALL_NAME_CD   "CDRend.dll"

/* ---------------------------------------------------------------------------
 * Plugin information record: 1156 bytes, byte-packed
 * ------------------------------------------------------------------------- */

#define PLUGININFO_AUTHOR_SIZE      64
#define PLUGININFO_NAME_SIZE        64
#define PLUGININFO_DESCRIPTION_SIZE 1024

#pragma pack(push, 1)
typedef struct PluginInfo {
    PluginType type;          /* family code, 1..5 */
    uint8_t versionMinor;
    uint8_t versionMajor;     /* stored after the minor number */
    uint8_t reserved;         /* 0 in every plugin; hosts do not read it */
    char author[PLUGININFO_AUTHOR_SIZE];
    char name[PLUGININFO_NAME_SIZE];
    char description[PLUGININFO_DESCRIPTION_SIZE]; /* lines end in CR LF */
} PluginInfo;
#pragma pack(pop)

/* A plugin's version is shown as its name, a blank and both numbers in
   hexadecimal, major first: "CDIdle 1.0", minor 10 as "1.a". */
#define PLUGININFO_VERSION_FORMAT "%s %x.%x"

/* ---------------------------------------------------------------------------
 * Host services record: 56 bytes, handed to open and configure entry points
 * ------------------------------------------------------------------------- */

/* Settings values are at most 1023 characters plus the terminator. There is
   no size argument: the buffer given to readSetting must hold this many. */
#define KOVA_SETTING_SIZE 1024

/* Reads section/key into out ("" when absent). The result is ignored. */
typedef int32_t (KOVA_CALL *ReadSettingFn)(const char *section, const char *key, char *out);
/* Stores value under section/key. The result is ignored. */
typedef int32_t (KOVA_CALL *WriteSettingFn)(const char *section, const char *key, const char *value);
/* Told, just before a plugin writes main RAM, the PlayStation addresses of
   the first word and of the word past the last (start as the emulator gave
   it; end = start + 4 x words). */
typedef void (KOVA_CALL *RamWriteNotifyFn)(uint32_t start, uint32_t end);

#define HOSTSERVICES_RESERVED_WORDS 6

typedef struct HostServices {
    uint8_t *ramBase;        /* emulated 2 MB main RAM, by address AND 0x1FFFFF; null in the configurator */
    uint32_t flags;          /* the host's; the GPU bridge clears bit 0 at open */
    uint32_t reserved[HOSTSERVICES_RESERVED_WORDS];
    ReadSettingFn readSetting;
    WriteSettingFn writeSetting;
    RamWriteNotifyFn ramWriteNotify; /* null in the configurator */
    HWND mainWindow;         /* owner of every plugin dialog and message box */
    HINSTANCE hostInstance;  /* the host program's module */
    uint32_t reserved2;
} HostServices;

#define KOVA_RAM_SIZE      0x200000u
#define KOVA_RAM_ADDR_MASK 0x1FFFFFu
#define HOSTSERVICES_FLAG_BIT0 0x00000001u

/* ---------------------------------------------------------------------------
 * Entry points
 * ------------------------------------------------------------------------- */

/* Shared by every family. */
typedef void    (KOVA_CALL *PluginAboutFn)(PluginInfo *info);
typedef int32_t (KOVA_CALL *PluginConfigureFn)(HostServices *host);
typedef int32_t (KOVA_CALL *PluginOpenFn)(HostServices *host);   /* 0 or -1 */
typedef void    (KOVA_CALL *PluginCloseFn)(void);

/* GPU */
#define KOVA_GPU_EXPORTS(X) \
    X(GPU_Open) X(GPU_Close) X(GPU_Update) X(GP0_Read) X(GP0_Write) X(GP1_Read) \
    X(GP1_Write) X(GPU_DmaExec) X(GPU_ScreenShot) X(GPU_Configure) X(GPU_About)
typedef void     (KOVA_CALL *GpuUpdateFn)(void);
typedef uint32_t (KOVA_CALL *GpuReadFn)(void);              /* GP0_Read, GP1_Read */
typedef void     (KOVA_CALL *GpuWriteFn)(uint32_t value);   /* GP0_Write, GP1_Write */
typedef void     (KOVA_CALL *GpuDmaExecFn)(uint32_t address, uint32_t blockControl, uint32_t channelControl);
typedef void     (KOVA_CALL *GpuScreenShotFn)(void);

/* SPU: only the two shared names are used by this system. */
#define KOVA_SPU_EXPORTS(X) X(SPU_About) X(SPU_Configure)

/* Pads: port 1 uses JOY0_, port 2 JOY1_. */
#define KOVA_JOY0_EXPORTS(X) \
    X(JOY0_Open) X(JOY0_Close) X(JOY0_Vibrate) X(JOY0_Poll) X(JOY0_InitHeader) \
    X(JOY0_Configure) X(JOY0_About)
#define KOVA_JOY1_EXPORTS(X) \
    X(JOY1_Open) X(JOY1_Close) X(JOY1_Vibrate) X(JOY1_Poll) X(JOY1_InitHeader) \
    X(JOY1_Configure) X(JOY1_About)
typedef void    (KOVA_CALL *PadVibrateFn)(void);
/* Registers the emulator's report buffer; returns the report length. */
typedef int32_t (KOVA_CALL *PadInitHeaderFn)(uint8_t *report);
typedef void    (KOVA_CALL *PadPollFn)(void);

/* Pad report buffer: byte 0 the emulator's, byte 1 the device identifier
   (kind in the high nibble, 16-bit data words in the low one), byte 2 0x5A,
   then the data bytes; button bits are 0 while pressed. */
#define PAD_REPORT_MARKER   0x5A
#define PAD_ID_DIGITAL      0x41
#define PAD_ID_MOUSE        0x12
#define PAD_REPORT_LENGTH(id) (3 + 2 * ((id) & 0x0F))

/* CD */
#define KOVA_CD_EXPORTS(X) \
    X(CD_Open) X(CD_Close) X(CD_Read) X(CD_Play) X(CD_Stop) X(CD_GetTN) \
    X(CD_GetTD) X(CD_Wait) X(CD_GetSeek) X(CD_Configure) X(CD_About)
/* msf: minute, second, frame as plain numbers. The image belongs to the
   plugin until the next read or close. */
typedef uint8_t *(KOVA_CALL *CdReadFn)(const uint8_t *msf);
typedef int32_t  (KOVA_CALL *CdGetTNFn)(uint8_t *buffer);              /* bytes 1, 2: first, last */
typedef int32_t  (KOVA_CALL *CdGetTDFn)(uint8_t *buffer, int32_t track); /* bytes 1..3: m, s, f */
typedef int32_t  (KOVA_CALL *CdWaitFn)(void);                          /* -1 after a read error */
typedef int32_t  (KOVA_CALL *CdPlayFn)(void);
typedef int32_t  (KOVA_CALL *CdStopFn)(void);
typedef void     (KOVA_CALL *CdGetSeekFn)(void);

#define CD_SECTOR_IMAGE_SIZE 2340  /* raw XA sector without its 12 sync bytes */
#define CD_SECTOR_DATA_OFFSET 12   /* user data inside the image */
#define CD_SECTOR_DATA_SIZE  2048
#define CD_TRACK_LEADOUT     0xAA

/* ---------------------------------------------------------------------------
 * Hosted PSEmu Pro GPU plugin interface (as the GPU bridge calls it)
 * ------------------------------------------------------------------------- */

#define PSE_LT_GPU 2  /* PSEgetLibType of a GPU plugin */

#define PSE_GPU_FUNCTIONS(X) \
    X(GPUinit) X(GPUshutdown) X(GPUopen) X(GPUclose) X(GPUreadStatus) X(GPUwriteStatus) \
    X(GPUreadData) X(GPUwriteData) X(GPUupdateLace) X(GPUdmaChain) X(GPUconfigure) \
    X(GPUtest) X(GPUabout) X(PSEgetLibName) X(PSEgetLibType) X(PSEgetLibVersion) \
    X(GPUmakeSnapshot)

typedef long          (PSE_CALL *PseGPUinitFn)(void);
typedef long          (PSE_CALL *PseGPUshutdownFn)(void);
typedef long          (PSE_CALL *PseGPUopenFn)(HWND window);
typedef long          (PSE_CALL *PseGPUcloseFn)(void);
typedef unsigned long (PSE_CALL *PseGPUreadStatusFn)(void);
typedef void          (PSE_CALL *PseGPUwriteStatusFn)(unsigned long value);
typedef unsigned long (PSE_CALL *PseGPUreadDataFn)(void);
typedef void          (PSE_CALL *PseGPUwriteDataFn)(unsigned long value);
typedef void          (PSE_CALL *PseGPUupdateLaceFn)(void);
typedef long          (PSE_CALL *PseGPUdmaChainFn)(unsigned long *ramBase, unsigned long offset);
typedef long          (PSE_CALL *PseGPUconfigureFn)(void);
typedef long          (PSE_CALL *PseGPUtestFn)(void);
typedef void          (PSE_CALL *PseGPUaboutFn)(void);
typedef char *        (PSE_CALL *PsePSEgetLibNameFn)(void);
typedef unsigned long (PSE_CALL *PsePSEgetLibTypeFn)(void);
typedef unsigned long (PSE_CALL *PsePSEgetLibVersionFn)(void);
typedef void          (PSE_CALL *PseGPUmakeSnapshotFn)(void);

/* ---------------------------------------------------------------------------
 * Layout checks
 * ------------------------------------------------------------------------- */

#ifdef __cplusplus
#define KOVA_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define KOVA_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Every field of the two records at its byte offset: X(record, field, offset). */
#define KOVA_RECORD_LAYOUT(X) \
    X(PluginInfo, type, 0) X(PluginInfo, versionMinor, 1) X(PluginInfo, versionMajor, 2) \
    X(PluginInfo, reserved, 3) X(PluginInfo, author, 4) X(PluginInfo, name, 68) \
    X(PluginInfo, description, 132) \
    X(HostServices, ramBase, 0) X(HostServices, flags, 4) X(HostServices, reserved, 8) \
    X(HostServices, readSetting, 32) X(HostServices, writeSetting, 36) \
    X(HostServices, ramWriteNotify, 40) X(HostServices, mainWindow, 44) \
    X(HostServices, hostInstance, 48) X(HostServices, reserved2, 52)

#define KOVA_CHECK_OFFSET(record, field, offset) \
    KOVA_STATIC_ASSERT(offsetof(record, field) == offset, #record "." #field " at " #offset);
KOVA_RECORD_LAYOUT(KOVA_CHECK_OFFSET)
#undef KOVA_CHECK_OFFSET

KOVA_STATIC_ASSERT(sizeof(PluginType) == 1, "PluginType is one byte");
KOVA_STATIC_ASSERT(sizeof(PluginInfo) == 1156, "PluginInfo is 1156 bytes");
KOVA_STATIC_ASSERT(sizeof(HostServices) == 56, "HostServices is 56 bytes");

#ifdef __cplusplus
}
#endif

#endif /* KOVA_PLUGIN_H */
