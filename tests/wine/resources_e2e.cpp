// Resources of every program, read back with the resource and version APIs
// of the system: manifest, icon group 129 and version block, language 2052.
//   resources_e2e <programs dir> <fixtures dir> <scratch dir>
#include "harness.h"

#include "boxes.h"
#include "files.h"

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

static BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages)
{
    ((std::vector<WORD> *)languages)->push_back(language);
    return TRUE;
}

// The languages in which the module holds resource id of type.
static std::vector<WORD> ResourceLanguages(HMODULE module, LPCSTR type, WORD id)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, type, MAKEINTRESOURCEA(id), CollectLanguage, (LONG_PTR)&languages);
    return languages;
}

// One node of a version block: a key, and the nodes below it.
struct VersionNode {
    std::wstring key;
    std::vector<VersionNode> children;
};

// Reads the node at data (wLength, wValueLength, wType, the key, the value,
// then the children, each aligned on 4 bytes from the block's start).
// Returns false when the node does not fit in size bytes.
static bool ReadVersionNode(const BYTE *block, size_t offset, size_t size, VersionNode &node)
{
    if (offset + 6 > size) return false;
    const WORD *header = (const WORD *)(block + offset);
    size_t end = offset + header[0];
    WORD valueLength = header[1], type = header[2];
    if (header[0] < 6 || end > size) return false;
    size_t at = offset + 6;
    for (; at + 2 <= end && *(const WCHAR *)(block + at); at += 2) node.key += *(const WCHAR *)(block + at);
    at = (at + 2 + 3) & ~(size_t)3;
    at += type == 1 ? valueLength * 2 : valueLength; // text values count WCHARs
    at = (at + 3) & ~(size_t)3;
    while (at < end) {
        VersionNode child;
        if (!ReadVersionNode(block, at, end, child)) return false;
        at = (at + ((const WORD *)(block + at))[0] + 3) & ~(size_t)3;
        node.children.push_back(child);
    }
    return true;
}

static std::string Keys(const std::vector<VersionNode> &nodes)
{
    std::string keys;
    for (const VersionNode &n : nodes) keys += (keys.empty() ? "" : ", ") + Utf8(n.key);
    return "[" + keys + "]";
}

// The version resource itself, found in language 2052 and in no other: one
// string table, "FFFF0000", and one translation block.
static void TestVersionResource(const Expected &e, HMODULE module)
{
    std::vector<WORD> languages = ResourceLanguages(module, (LPCSTR)RT_VERSION, 1);
    ok(languages == std::vector<WORD>{Chinese}, "%s: version block 1 in language 2052 alone, got %zu languages, first %u",
       e.name, languages.size(), languages.empty() ? 0u : languages[0]);
    HRSRC found = FindResourceExA(module, (LPCSTR)RT_VERSION, MAKEINTRESOURCEA(1), Chinese);
    ok(found != NULL, "%s: version block 1 found in language 2052", e.name);
    if (!found) return;
    const BYTE *block = (const BYTE *)LockResource(LoadResource(module, found));
    VersionNode root;
    bool read = ReadVersionNode(block, 0, SizeofResource(module, found), root);
    ok(read && root.key == L"VS_VERSION_INFO", "%s: a well-formed version block, got %s \"%s\"", e.name,
       read ? "the key" : "a broken block with the key", Utf8(root.key).c_str());
    ok(Keys(root.children) == "[StringFileInfo, VarFileInfo]", "%s: blocks %s, expected [StringFileInfo, VarFileInfo]",
       e.name, Keys(root.children).c_str());
    for (const VersionNode &child : root.children)
        if (child.key == L"StringFileInfo")
            ok(Keys(child.children) == "[FFFF0000]", "%s: string tables %s, expected exactly one, [FFFF0000]", e.name,
               Keys(child.children).c_str());
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

// Checks icon group 129 and returns the bytes of its images in group order.
static std::vector<std::string> TestIcons(const Expected &e, HMODULE module)
{
    std::vector<std::string> images;
    HRSRC group = FindResourceExA(module, (LPCSTR)RT_GROUP_ICON, MAKEINTRESOURCEA(129), Chinese);
    ok(group != NULL, "%s: icon group 129 in language 2052", e.name);
    if (!group) return images;
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
        HRSRC image = FindResourceExA(module, (LPCSTR)RT_ICON, MAKEINTRESOURCEA(entries[i].id), Chinese);
        ok(image != NULL, "%s: image %d present in language 2052", e.name, i + 1);
        images.push_back(image ? std::string((const char *)LockResource(LoadResource(module, image)),
                                             SizeofResource(module, image))
                               : std::string());
    }
    return images;
}

// The five programs with the small set carry the same images; the two with
// a large set each have images of their own.
static void TestIconSetsAcrossPrograms(const std::vector<std::vector<std::string>> &images)
{
    const Expected *firstSmall = NULL, *firstLarge = NULL;
    const std::vector<std::string> *smallImages = NULL, *largeImages = NULL;
    for (size_t p = 0; p < images.size(); p++) {
        const Expected &e = Programs[p];
        if (images[p].size() != 5) continue; // reported by TestIcons
        if (!e.iconSet) {
            if (!smallImages) {
                firstSmall = &e;
                smallImages = &images[p];
                continue;
            }
            for (int i = 0; i < 5; i++)
                ok(images[p][i] == (*smallImages)[i], "%s: small image %d: expected the bytes of %s's, got other bytes",
                   e.name, i + 1, firstSmall->name);
        } else {
            if (!largeImages) {
                firstLarge = &e;
                largeImages = &images[p];
                continue;
            }
            for (int i = 0; i < 5; i++)
                ok(images[p][i] != (*largeImages)[i], "%s: large image %d: expected its own, got the bytes of %s's",
                   e.name, i + 1, firstLarge->name);
        }
    }
    ok(smallImages && largeImages, "icon sets compared: expected programs of both sets, got %s",
       smallImages ? "no large set" : "no small set");
}

// The start tags <name ...> in text, each as written.
static std::vector<std::string> Elements(const std::string &text, const char *name)
{
    std::vector<std::string> elements;
    std::string open = std::string("<") + name;
    for (size_t at = 0; (at = text.find(open, at)) != std::string::npos; at++) {
        char next = text[at + open.size()];
        if (next != ' ' && next != '\t' && next != '\r' && next != '\n' && next != '/' && next != '>') continue;
        size_t end = text.find('>', at);
        elements.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at));
    }
    return elements;
}

// The value of attribute name in a start tag, or "(none)".
static std::string Attribute(const std::string &element, const char *name)
{
    std::string key = std::string(" ") + name + "=\"";
    size_t at = element.find(key);
    if (at == std::string::npos) return "(none)";
    at += key.size();
    return element.substr(at, element.find('"', at) - at);
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
    // The program's own identity is the assemblyIdentity outside every
    // dependency; the Common Controls one inside it says nothing about us.
    std::string own = manifest;
    for (size_t start; (start = own.find("<dependency")) != std::string::npos;) {
        size_t end = own.find("</dependency>", start);
        own.erase(start, end == std::string::npos ? std::string::npos : end + 13 - start);
    }
    std::vector<std::string> identities = Elements(own, "assemblyIdentity");
    ok(identities.size() == 1, "%s: expected one assembly identity of its own, got %zu", e.name, identities.size());
    std::string identity = identities.empty() ? "" : identities[0];
    struct {
        const char *name, *value;
    } attributes[] = {{"version", "1.0.0.0"}, {"type", "win32"}, {"processorArchitecture", "*"}};
    for (const auto &a : attributes) {
        std::string got = Attribute(identity, a.name);
        ok(got == a.value, "%s: own assembly identity %s=\"%s\", expected \"%s\"", e.name, a.name, got.c_str(),
           a.value);
    }
    if (e.administrator)
        ok(manifest.find("level=\"requireAdministrator\" uiAccess=\"false\"") != std::string::npos,
           "%s: requests requireAdministrator without uiAccess", e.name);
    else
        ok(manifest.find("trustInfo") == std::string::npos, "%s: no trust section", e.name);
}

int main(int argc, char **argv)
{
    TestPlaces places;
    if (!ReadTestPlaces(argc, argv, &places)) return 2;
    std::string dist = places.programs;
    ReportPlatform("resources_e2e");
    std::vector<std::vector<std::string>> images;
    for (const Expected &e : Programs) {
        std::string path = dist + "\\" + e.name + ".exe";
        HMODULE module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ok(module != NULL, "%s: %s loads as a data file", e.name, path.c_str());
        images.push_back(module ? TestIcons(e, module) : std::vector<std::string>());
        if (!module) continue;
        TestManifest(e, module);
        TestVersionResource(e, module);
        FreeLibrary(module);
        TestVersion(e, path);
    }
    TestIconSetsAcrossPrograms(images);
    return TestSummary("resources_e2e");
}
