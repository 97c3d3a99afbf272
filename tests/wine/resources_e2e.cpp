// Resources of every program, read back with the resource and version APIs
// of the system: manifest, icon group 129 and version block, language 2052.
//   resources_e2e <dist dir>
#include "harness.h"

#include <string.h>

static const WORD Chinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED); // 2052

struct Expected {
    const char *name;
    bool administrator;
    int iconSet;      // 0 small, 1 large
    DWORD fileType;
    const char *description; // UTF-8
    const char *productVersion;
    const char *originalFilename; // NULL: none
    const char *trademarks;       // NULL: none
    bool optional;                // not built yet is no failure
};

static const Expected Programs[] = {
    {"quorvi", false, 1, 1, "Lumaro", "2.9.2.0", "quorvi.exe", NULL, false},
    {"quorviClient", false, 0, 0, "Lumaro客户端", "3.0.0.0", "quorviClient.exe", NULL, false},
    {"quorviServiceControl", true, 1, 1, "Lumaro服务端", "3.0.0.0", "quorviServiceControl.exe", NULL, false},
    {"quorviRestart", true, 0, 1, "Lumaro服务重启程序", "3.0.0.0", "quorviRestart.exe", NULL, false},
    {"quorviUpdateService", true, 0, 1, "Lumaro自动升级服务", "3.0.0.0", "quorviUpdateService.exe", NULL, false},
    {"quorviService", true, 0, 1, "Lumaro核心服务", "3.0.0.0", "quorviService.exe", NULL, false},
    {"quench", false, 0, 0, "客户端关闭程序", "3.0.0.0", NULL, "quench.exe", false},
};

// A version string as the ANSI functions give it, in UTF-8 for comparing.
static std::string VersionString(const std::vector<char> &block, const char *key)
{
    std::string path = std::string("\\StringFileInfo\\FFFF0000\\") + key;
    char *value = NULL;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path.c_str(), (void **)&value, &length) || !value) return "(none)";
    int wide = MultiByteToWideChar(936, 0, value, -1, NULL, 0);
    std::wstring text(wide, 0);
    MultiByteToWideChar(936, 0, value, -1, &text[0], wide);
    text.resize(wcslen(text.c_str()));
    return Utf8(text);
}

static void TestVersion(const Expected &e, const std::string &path)
{
    DWORD handle = 0, size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ok(size > 0, "%s: has a version block", e.name);
    if (!size) return;
    std::vector<char> block(size);
    ok(GetFileVersionInfoA(path.c_str(), 0, size, block.data()), "%s: GetFileVersionInfoA", e.name);

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    ok(VerQueryValueA(block.data(), "\\", (void **)&fixed, &length) && fixed, "%s: fixed part", e.name);
    if (fixed) {
        ok(fixed->dwFileVersionMS == 0x00030000 && fixed->dwFileVersionLS == 0, "%s: FileVersion %08lx.%08lx",
           e.name, fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        ok(fixed->dwProductVersionMS == 0x00030000 && fixed->dwProductVersionLS == 0,
           "%s: ProductVersion %08lx.%08lx", e.name, fixed->dwProductVersionMS, fixed->dwProductVersionLS);
        ok(fixed->dwFileOS == VOS__WINDOWS32, "%s: file OS %lx, expected 4", e.name, fixed->dwFileOS);
        ok(fixed->dwFileFlags == 0, "%s: file flags %lx", e.name, fixed->dwFileFlags);
        ok(fixed->dwFileType == e.fileType, "%s: file type %lu, expected %lu", e.name, fixed->dwFileType,
           e.fileType);
    }
    WORD *translation = NULL;
    ok(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", (void **)&translation, &length) &&
           length == 4 && translation[0] == 0xFFFF && translation[1] == 0,
       "%s: translation 0xFFFF/0 (length %u)", e.name, length);

    struct {
        const char *key, *value;
    } strings[] = {{"FileDescription", e.description}, {"FileVersion", "3.0.0.0"},
                   {"ProductVersion", e.productVersion}, {"ProductName", "Lumaro"},
                   {"OriginalFilename", e.originalFilename ? e.originalFilename : "(none)"},
                   {"LegalTrademarks", e.trademarks ? e.trademarks : "(none)"}};
    for (const auto &s : strings) {
        std::string got = VersionString(block, s.key);
        ok(got == s.value, "%s: %s is \"%s\", expected \"%s\"", e.name, s.key, got.c_str(), s.value);
    }
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

static void TestIcons(const Expected &e, HMODULE module)
{
    HRSRC group = FindResourceExA(module, (LPCSTR)RT_GROUP_ICON, MAKEINTRESOURCEA(129), Chinese);
    ok(group != NULL, "%s: icon group 129 in language 2052", e.name);
    if (!group) return;
    const BYTE *data = (const BYTE *)LockResource(LoadResource(module, group));
    WORD count = *(const WORD *)(data + 4);
    ok(count == 5, "%s: %u images, expected 5", e.name, count);
    static const int small[5][2] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}};
    static const int large[5][2] = {{128, 32}, {48, 32}, {32, 32}, {24, 32}, {16, 32}};
    const GroupIconEntry *entries = (const GroupIconEntry *)(data + 6);
    for (int i = 0; i < 5 && i < count; i++) {
        const int *want = e.iconSet ? large[i] : small[i];
        int width = entries[i].width ? entries[i].width : 256;
        ok(width == want[0] && entries[i].bitCount == want[1], "%s: image %d is %dx%d at %d bits, expected %dx%d at %d",
           e.name, i + 1, width, width, entries[i].bitCount, want[0], want[0], want[1]);
        ok(FindResourceExA(module, (LPCSTR)RT_ICON, MAKEINTRESOURCEA(entries[i].id), Chinese) != NULL,
           "%s: image %d present in language 2052", e.name, i + 1);
    }
}

static void TestManifest(const Expected &e, HMODULE module)
{
    HRSRC found = FindResourceExA(module, (LPCSTR)RT_MANIFEST, MAKEINTRESOURCEA(1), Chinese);
    ok(found != NULL, "%s: manifest 1 in language 2052", e.name);
    if (!found) return;
    std::string manifest((const char *)LockResource(LoadResource(module, found)), SizeofResource(module, found));
    ok(manifest.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
           manifest.find("version=\"6.0.0.0\"") != std::string::npos,
       "%s: depends on Common Controls 6.0.0.0", e.name);
    ok(manifest.find("version=\"1.0.0.0\"") != std::string::npos && manifest.find("type=\"win32\"") != std::string::npos,
       "%s: assembly identity 1.0.0.0 win32", e.name);
    if (e.administrator)
        ok(manifest.find("level=\"requireAdministrator\" uiAccess=\"false\"") != std::string::npos,
           "%s: requests requireAdministrator without uiAccess", e.name);
    else
        ok(manifest.find("trustInfo") == std::string::npos, "%s: no trust section", e.name);
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        printf("usage: resources_e2e <dist dir>\n");
        return 2;
    }
    std::string dist = WinePath(argv[1]);
    for (const Expected &e : Programs) {
        std::string path = dist + "\\" + e.name + ".exe";
        HMODULE module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ok(module != NULL, "%s: %s loads as a data file", e.name, path.c_str());
        if (!module) continue;
        TestManifest(e, module);
        TestIcons(e, module);
        FreeLibrary(module);
        TestVersion(e, path);
    }
    return TestSummary("resources");
}
