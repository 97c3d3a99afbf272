// Paths, files and directories for the programs that drive the deliverables
// from outside: the Wine tests and the benchmark.
#pragma once
#include <windows.h>

#include <stdio.h>
#include <string>
#include <vector>

// A path of the Linux side, as the scripts pass it, on Wine's Z: drive; a
// Windows path (C:\..., \\server\...) stays as it is.
static inline std::string WinePath(const char *givenPath)
{
    std::string path = givenPath;
    if (path.empty() || path[0] != '/') return path;
    for (char &c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

// The path of this program's own module, and the directory that holds it.
static inline std::string OwnPath()
{
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    return std::string(path, length);
}

static inline std::string OwnDirectory()
{
    std::string path = OwnPath();
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

static inline std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

// directory\name, also when the directory was given with a separator at its end.
static inline std::string Join(const std::string &directory, const std::string &name)
{
    if (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) return directory + name;
    return directory + "\\" + name;
}

static std::string scratchRoot; // set by ReadTestPlaces

// Where the test directories go, with a separator at its end: the scratch
// directory the test was given, else the temporary directory.
static inline std::string ScratchDirectory()
{
    if (!scratchRoot.empty()) return Join(scratchRoot, "");
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return temp;
}

// What every end-to-end test program is given:
//   <test> <programs dir> <fixtures dir> <scratch dir>
// the seven programs, the kit's fixtures (test core libraries, doubles,
// dummy programs) and a directory of its own for the test directories.
struct TestPlaces {
    std::string programs, fixtures, scratch;
};

static inline bool ReadTestPlaces(int argc, char **argv, TestPlaces *places)
{
    if (argc < 4) {
        printf("usage: %s <programs dir> <fixtures dir> <scratch dir>\n", argc ? argv[0] : "test");
        return false;
    }
    places->programs = WinePath(argv[1]);
    places->fixtures = WinePath(argv[2]);
    places->scratch = scratchRoot = WinePath(argv[3]);
    CreateDirectoryA(scratchRoot.c_str(), NULL); // the runner made it; a test run by hand may not have
    return true;
}

// A new empty directory in the scratch directory; name may hold spaces.
static inline std::string NewTestDirectory(const char *name)
{
    std::string base = ScratchDirectory() + name;
    for (int n = 0;; n++) {
        std::string path = base + " " + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n);
        if (CreateDirectoryA(path.c_str(), NULL)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return "";
    }
}

// A directory that is there afterwards, made now or before.
static inline bool MakeDirectory(const std::string &path)
{
    return CreateDirectoryA(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
}

static inline bool CopyInto(const std::string &from, const std::string &directory, const std::string &name)
{
    return CopyFileA(from.c_str(), Join(directory, name).c_str(), FALSE) != 0;
}

static inline std::string ReadWholeFile(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string content;
    char buffer[4096];
    DWORD read;
    while (ReadFile(file, buffer, sizeof buffer, &read, NULL) && read) content.append(buffer, read);
    CloseHandle(file);
    return content;
}

static inline bool WriteTextFile(const std::string &path, const std::string &text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL done = WriteFile(file, text.data(), (DWORD)text.size(), &written, NULL);
    CloseHandle(file);
    return done && written == text.size();
}

static inline bool PathExists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

static inline bool IsDirectory(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes a directory tree, read-only files included (copies of programs
// from a read-only medium keep the attribute).
static inline void RemoveTree(const std::string &path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(Join(path, "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = Join(path, name);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

// Lines of a text file, without their line ends.
static inline std::vector<std::string> ReadLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::string content = ReadWholeFile(path), line;
    for (char c : content) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}
