/* The configurator's application manifest: what KOVACFG.EXE carries, and
 * that the running program gets what it asks for. */
#include "cfg_test.h"

#include <map>
#include <string.h>
#include <tlhelp32.h>

namespace {

/* ---- a small reader for the manifest's XML ---- */

struct Element {
    std::string path;  /* "assembly/trustInfo/security" */
    std::map<std::string, std::string> attributes;
    std::string text;  /* trimmed */
};

std::string Trim(const std::string &s)
{
    size_t a = s.find_first_not_of(" \t\r\n");
    size_t b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

/* The elements of the document in order. Fails (with the reason) on what a
   manifest must not have: tags that do not nest or do not close, attributes
   without quotes, text outside the root. */
bool ReadXml(const std::string &xml, std::vector<Element> *elements, std::string *error)
{
    std::vector<std::string> open;
    std::vector<size_t> openIndex;
    size_t i = 0;
    bool rootSeen = false;
    while (i < xml.size()) {
        size_t lt = xml.find('<', i);
        std::string text = xml.substr(i, lt == std::string::npos ? std::string::npos : lt - i);
        if (!Trim(text).empty()) {
            if (open.empty()) {
                *error = "text outside the root: " + Trim(text);
                return false;
            }
            (*elements)[openIndex.back()].text += Trim(text);
        }
        if (lt == std::string::npos)
            break;
        if (xml.compare(lt, 4, "<!--") == 0) {
            size_t end = xml.find("-->", lt);
            if (end == std::string::npos) {
                *error = "unclosed comment";
                return false;
            }
            i = end + 3;
            continue;
        }
        if (xml.compare(lt, 2, "<?") == 0) {
            size_t end = xml.find("?>", lt);
            if (end == std::string::npos || lt != 0) {
                *error = "a declaration that is not the first thing";
                return false;
            }
            i = end + 2;
            continue;
        }
        size_t gt = xml.find('>', lt);
        if (gt == std::string::npos) {
            *error = "unclosed tag";
            return false;
        }
        std::string tag = xml.substr(lt + 1, gt - lt - 1);
        i = gt + 1;
        if (!tag.empty() && tag[0] == '/') {
            std::string name = Trim(tag.substr(1));
            if (open.empty() || open.back() != name) {
                *error = "</" + name + "> closes " + (open.empty() ? "nothing" : open.back());
                return false;
            }
            open.pop_back();
            openIndex.pop_back();
            continue;
        }
        bool selfClosing = !tag.empty() && tag.back() == '/';
        if (selfClosing)
            tag.pop_back();
        size_t nameEnd = tag.find_first_of(" \t\r\n");
        std::string name = tag.substr(0, nameEnd);
        if (open.empty() && rootSeen) {
            *error = "a second root element " + name;
            return false;
        }
        rootSeen = true;
        Element element;
        for (const std::string &parent : open)
            element.path += parent + "/";
        element.path += name;
        size_t at = nameEnd;
        while (at != std::string::npos && at < tag.size()) {
            at = tag.find_first_not_of(" \t\r\n", at);
            if (at == std::string::npos)
                break;
            size_t eq = tag.find('=', at);
            if (eq == std::string::npos || eq + 1 >= tag.size() ||
                (tag[eq + 1] != '"' && tag[eq + 1] != '\'')) {
                *error = "attribute without a quoted value in <" + name + ">";
                return false;
            }
            size_t close = tag.find(tag[eq + 1], eq + 2);
            if (close == std::string::npos) {
                *error = "unclosed attribute value in <" + name + ">";
                return false;
            }
            element.attributes[Trim(tag.substr(at, eq - at))] = tag.substr(eq + 2, close - eq - 2);
            at = close + 1;
        }
        elements->push_back(element);
        if (!selfClosing) {
            open.push_back(name);
            openIndex.push_back(elements->size() - 1);
        }
    }
    if (!open.empty()) {
        *error = "<" + open.back() + "> is never closed";
        return false;
    }
    return true;
}

/* The manifest resource of a program file, read without running it. */
struct ManifestResource {
    std::vector<int> ids;  /* every RT_MANIFEST resource, by id */
    std::string text;      /* the one of id 1 */
};

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    std::vector<int> *ids = reinterpret_cast<std::vector<int> *>(param);
    ids->push_back(IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name)) : -1);
    return TRUE;
}

ManifestResource ReadManifest(const std::string &program)
{
    ManifestResource m;
    HMODULE module = LoadLibraryExA(program.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        ADD_FAILURE() << "cannot open " << program;
        return m;
    }
    EnumResourceNamesA(module, MAKEINTRESOURCEA(24), CollectName, reinterpret_cast<LONG_PTR>(&m.ids));
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    if (res) {
        const char *data = static_cast<const char *>(LockResource(LoadResource(module, res)));
        if (data)
            m.text.assign(data, SizeofResource(module, res));
    }
    FreeLibrary(module);
    return m;
}

std::string Describe(const Element &e)
{
    std::string s = "<" + e.path;
    for (const auto &a : e.attributes)
        s += " " + a.first + "=\"" + a.second + "\"";
    return s + ">" + e.text;
}

} // namespace

TEST(Manifest, IsTheProgramsOneManifestAndWellFormed)
{
    ManifestResource m = ReadManifest(ShippedPath("KOVACFG.exe"));
    /* Id 1 is the one Windows reads when it starts the program. */
    EXPECT_EQ(std::vector<int>({ 1 }), m.ids);
    ASSERT_FALSE(m.text.empty());
    EXPECT_EQ(0u, m.text.find("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"));
    std::vector<Element> elements;
    std::string error;
    EXPECT_TRUE(ReadXml(m.text, &elements, &error)) << error;
}

TEST(Manifest, AsksForWhatTheConfiguratorNeeds)
{
    std::vector<Element> elements;
    std::string error;
    ASSERT_TRUE(ReadXml(ReadManifest(ShippedPath("KOVACFG.exe")).text, &elements, &error)) << error;

    typedef std::map<std::string, std::string> Attributes;
    /* Each row must match exactly one element: the path, these attributes
       (others may be there too) and, where given, the text. A wrong
       namespace makes Windows pass over an element without a word. */
    const struct Row {
        const char *what;
        const char *path;
        Attributes attributes;
        const char *text;
    } rows[] = {
        { "an assembly manifest", "assembly",
          { { "xmlns", "urn:schemas-microsoft-com:asm.v1" }, { "manifestVersion", "1.0" } }, NULL },
        { "the program's identity, 32-bit", "assembly/assemblyIdentity",
          { { "type", "win32" }, { "name", "KOVA.Configurator" }, { "version", "1.0.0.0" },
            { "processorArchitecture", "x86" } }, NULL },
        { "common controls 6 for the visual style",
          "assembly/dependency/dependentAssembly/assemblyIdentity",
          { { "type", "win32" }, { "name", "Microsoft.Windows.Common-Controls" },
            { "version", "6.0.0.0" }, { "processorArchitecture", "x86" },
            { "publicKeyToken", "6595b64144ccf1df" }, { "language", "*" } }, NULL },
        { "security settings in their namespace", "assembly/trustInfo",
          { { "xmlns", "urn:schemas-microsoft-com:asm.v3" } }, NULL },
        { "the user's own rights, no virtualisation",
          "assembly/trustInfo/security/requestedPrivileges/requestedExecutionLevel",
          { { "level", "asInvoker" }, { "uiAccess", "false" } }, NULL },
        { "compatibility in its namespace", "assembly/compatibility",
          { { "xmlns", "urn:schemas-microsoft-com:compatibility.v1" } }, NULL },
        { "Windows 7", "assembly/compatibility/application/supportedOS",
          { { "Id", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}" } }, NULL },
        { "Windows 8", "assembly/compatibility/application/supportedOS",
          { { "Id", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}" } }, NULL },
        { "Windows 8.1", "assembly/compatibility/application/supportedOS",
          { { "Id", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}" } }, NULL },
        { "Windows 10 and 11", "assembly/compatibility/application/supportedOS",
          { { "Id", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" } }, NULL },
        { "window settings in their namespace", "assembly/application",
          { { "xmlns", "urn:schemas-microsoft-com:asm.v3" } }, NULL },
        { "system DPI awareness", "assembly/application/windowsSettings/dpiAware",
          { { "xmlns", "http://schemas.microsoft.com/SMI/2005/WindowsSettings" } }, "true" },
    };
    for (const Row &row : rows) {
        int matches = 0;
        for (const Element &e : elements) {
            if (e.path != row.path || (row.text && e.text != row.text))
                continue;
            bool all = true;
            for (const auto &a : row.attributes) {
                auto it = e.attributes.find(a.first);
                all = all && it != e.attributes.end() && it->second == a.second;
            }
            matches += all;
        }
        EXPECT_EQ(1, matches) << row.what;
    }

    /* Nothing that would undo those choices: one execution level only, no
       per-monitor awareness (a dpiAwareness element overrules dpiAware),
       exactly the four systems. */
    const struct Count {
        const char *what;
        const char *path;
        int count;
    } counts[] = {
        { "one execution level",
          "assembly/trustInfo/security/requestedPrivileges/requestedExecutionLevel", 1 },
        { "no dpiAwareness", "assembly/application/windowsSettings/dpiAwareness", 0 },
        { "four systems", "assembly/compatibility/application/supportedOS", 4 },
        { "one dependency", "assembly/dependency", 1 },
    };
    for (const Count &c : counts) {
        int n = 0;
        for (const Element &e : elements)
            n += e.path == c.path;
        EXPECT_EQ(c.count, n) << c.what;
    }
    for (const Element &e : elements)
        EXPECT_EQ(std::string::npos, e.path.find("autoElevate")) << Describe(e);
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
       of the DPI, with or without a manifest, so only the manifest's text
       (above) can be checked for it. */
    EXPECT_EQ(0u, cfg.Exit());
}
