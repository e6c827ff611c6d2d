/* The configurator's application manifest: what KOVACFG.EXE carries, and
 * that the running program gets what it asks for. */
#include "cfg_test.h"

#include <string.h>
#include <objbase.h>
#include <tlhelp32.h>

namespace {

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    reinterpret_cast<std::vector<int> *>(param)->push_back(
        IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name)) : -1);
    return TRUE;
}

/* The activation context that the loader makes of the program's manifest:
   what Windows understood of it, not what its text says. An element in a
   wrong namespace, for example, is passed over without a word and so is
   missing here. */
struct ActivationContext {
    HANDLE handle = INVALID_HANDLE_VALUE;
    explicit ActivationContext(const std::string &program)
    {
        std::wstring source = Widen(program);
        ACTCTXW request;
        memset(&request, 0, sizeof request);
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = source.c_str();
        request.lpResourceName = MAKEINTRESOURCEW(1);
        handle = CreateActCtxW(&request);
    }
    ~ActivationContext()
    {
        if (handle != INVALID_HANDLE_VALUE)
            ReleaseActCtx(handle);
    }
    std::vector<uint8_t> Query(ULONG what, DWORD index) const
    {
        std::vector<uint8_t> data(4096);
        SIZE_T written = 0;
        if (!QueryActCtxW(0, handle, &index, what, data.data(), data.size(), &written))
            return {};
        data.resize(written);
        return data;
    }
    /* "name,processorArchitecture=...,..." of assembly 1 (the program) or 2 on. */
    std::string Identity(DWORD index) const
    {
        std::vector<uint8_t> data = Query(AssemblyDetailedInformationInActivationContext, index);
        if (data.empty())
            return "";
        const auto *info = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION *>(
            data.data());
        return Narrow(info->lpAssemblyEncodedAssemblyIdentity);
    }
    /* A window setting, or "(none)". */
    std::string Setting(const wchar_t *nameSpace, const wchar_t *name) const
    {
        /* Declared for newer systems than the product is built for. */
        typedef BOOL(WINAPI * QuerySettingsFn)(DWORD, HANDLE, const wchar_t *, const wchar_t *,
                                               wchar_t *, SIZE_T, SIZE_T *);
        QuerySettingsFn query =
            GetProcAs<QuerySettingsFn>(GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW");
        wchar_t value[64];
        SIZE_T written = 0;
        if (!query || !query(0, handle, nameSpace, name, value, dimof(value), &written))
            return "(none)";
        return Narrow(value);
    }
};

} // namespace

TEST(Manifest, IsTheProgramsOneManifest)
{
    HMODULE module = LoadLibraryExA(ShippedPath("KOVACFG.exe").c_str(), NULL,
                                    LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module != NULL);
    /* Id 1 is the one Windows reads when it starts the program. */
    std::vector<int> ids;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(24), CollectId, reinterpret_cast<LONG_PTR>(&ids));
    EXPECT_EQ(std::vector<int>({ 1 }), ids);
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_TRUE(res != NULL);
    std::string text(static_cast<const char *>(LockResource(LoadResource(module, res))),
                     SizeofResource(module, res));
    EXPECT_EQ(0u, text.find("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"));
    FreeLibrary(module);
}

TEST(Manifest, WindowsUnderstandsWhatTheConfiguratorAsksFor)
{
    ActivationContext context(ShippedPath("KOVACFG.exe"));
    ASSERT_NE(INVALID_HANDLE_VALUE, context.handle) << "not a manifest the loader takes, error "
                                                    << GetLastError();

    /* The program's identity, 32-bit, and one dependency: common controls 6
       for the visual style, found among the system's assemblies. */
    EXPECT_EQ("KOVA.Configurator,processorArchitecture=\"x86\",type=\"win32\",version=\"1.0.0.0\"",
              context.Identity(1));
    EXPECT_EQ(0u, context.Identity(2).find("Microsoft.Windows.Common-Controls,processorArchitecture="
                                           "\"x86\",publicKeyToken=\"6595b64144ccf1df\",type="
                                           "\"win32\",version=\"6.0."))
        << "the version the system has of what was asked for: " << context.Identity(2);
    EXPECT_EQ("", context.Identity(3)) << "one dependency only";

    /* The user's own rights, no virtualisation. */
    std::vector<uint8_t> level = context.Query(RunlevelInformationInActivationContext, 0);
    ASSERT_EQ(sizeof(ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION), level.size());
    const auto *runLevel = reinterpret_cast<const ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION *>(
        level.data());
    EXPECT_EQ(ACTCTX_RUN_LEVEL_AS_INVOKER, runLevel->RunLevel);
    EXPECT_EQ(0u, runLevel->UiAccess);

    /* Windows 7, 8, 8.1 and 10/11, in this order, and nothing else. */
    /* The record as today's systems lay it out (MinGW's headers still have
       the older one without MaxVersionTested). */
    struct Element {
        GUID id;
        DWORD type;
        ULONGLONG maxVersionTested;
    };
    struct Compatibility {
        DWORD count;
        Element elements[4];
    };
    std::vector<uint8_t> data = context.Query(CompatibilityInformationInActivationContext, 0);
    ASSERT_GE(data.size(), offsetof(Compatibility, elements));
    const auto *compatibility = reinterpret_cast<const Compatibility *>(data.data());
    ASSERT_EQ(offsetof(Compatibility, elements) + compatibility->count * sizeof(Element),
              data.size());
    std::vector<std::string> systems;
    for (DWORD i = 0; i < compatibility->count && i < dimof(compatibility->elements); i++) {
        wchar_t guid[40];
        StringFromGUID2(compatibility->elements[i].id, guid, dimof(guid));
        systems.push_back(std::to_string(compatibility->elements[i].type) + " " + Narrow(guid));
    }
    const std::vector<std::string> want = {
        "1 {35138B9A-5D96-4FBD-8E2D-A2440225F93A}",
        "1 {4A2F28E3-53B9-4441-BA9C-D69D4A4A6E38}",
        "1 {1F676C76-80E1-4239-95BB-83D0F6D0DA78}",
        "1 {8E0F7A12-BFB3-4FE8-B9A5-48FD50A15A9A}",
    };
    EXPECT_EQ(want, systems);

    /* System DPI awareness, and nothing that would overrule it or elevate. */
    const wchar_t *const k2005 = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
    const wchar_t *const k2016 = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
    EXPECT_EQ("true", context.Setting(k2005, L"dpiAware"));
    EXPECT_EQ("(none)", context.Setting(k2016, L"dpiAwareness"));
    EXPECT_EQ("(none)", context.Setting(k2005, L"autoElevate"));
}

namespace {

/* The file names of the modules loaded in a process. */
std::vector<std::string> ModulesOf(DWORD processId)
{
    std::vector<std::string> paths;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return paths;
    MODULEENTRY32 module;
    module.dwSize = sizeof module;
    for (BOOL more = Module32First(snapshot, &module); more; more = Module32Next(snapshot, &module))
        paths.push_back(module.szExePath);
    CloseHandle(snapshot);
    return paths;
}

} // namespace

TEST(Manifest, TheRunningConfiguratorGetsCommonControls6)
{
    ProgramDir dir("manifest");
    dir.AddPrograms();
    dir.AddPlugin(CdIdle(), "cdidle.dll");
    Configurator cfg(dir.path);
    HWND main = cfg.Main();
    ASSERT_TRUE(main != NULL);

    /* The dialogs' controls come from version 6 of the common controls,
       which live side by side with the old one. */
    std::string comctl;
    for (const std::string &path : ModulesOf(cfg.processId()))
        if (Lower(path).find("comctl32.dll") != std::string::npos)
            comctl = Lower(path);
    EXPECT_NE(std::string::npos, comctl.find("microsoft.windows.common-controls")) << comctl;
    EXPECT_NE(std::string::npos, comctl.find("_6.0.")) << comctl;

    /* DPI awareness is not seen here: Wine treats every program as aware
       of the DPI, with or without a manifest, so only the setting the
       loader read (above) can be checked for it. */
    EXPECT_EQ(0u, cfg.Exit());
}
