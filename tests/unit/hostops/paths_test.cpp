// The executable's directory and file name, and the host name.
#include <algorithm>

#include "hostops_test.h"

using Paths = HostOps;

// Length and the first bytes: long paths would flood the failure message.
static std::string Summary(const std::string &text)
{
    return std::to_string(text.size()) + " bytes " + Shown(text.substr(0, 80));
}

TEST_F(Paths, DirectoryAndFileNameOfTheExecutable)
{
    std::string longDirectory = "C:\\" + std::string(300, 'd');
    struct {
        std::string path, directory, name;
    } rows[] = {
        {"C:\\Program Files\\Lumaro\\quorviService.exe", "C:\\Program Files\\Lumaro", "quorviService.exe"},
        {"C:\\x.exe", "C:", "x.exe"}, // a root: callers append the backslash
        {"x.exe", "x.exe", "x.exe"},  // no backslash: the whole path
        {"\\\\server\\share\\a.exe", "\\\\server\\share", "a.exe"},
        {"C:\\dir\\", "C:\\dir", ""},
        // Byte by byte: the second byte 0x5C of a double-byte character counts.
        {"C:\\\xB1\x5C" "a.exe", "C:\\\xB1", "a.exe"},
        {"C:\\\xD6\xD0\\q.exe", "C:\\\xD6\xD0", "q.exe"},
        // Paths that do not fit the first 260-byte buffer come back whole.
        {longDirectory + "\\long.exe", longDirectory, "long.exe"},
        {"C:\\" + std::string(256, 'e'), "C:", std::string(256, 'e')},  // 259 bytes: fits
        {"C:\\" + std::string(257, 'f'), "C:", std::string(257, 'f')},  // 260 bytes: does not
        {"C:\\" + std::string(40000, 'g'), "C:", std::string(40000, 'g')},
        {"C:\\" + std::string(65530, 'h'), "C:", std::string(65530, 'h')},
        // Longer than any Windows path: empty rather than cut.
        {"C:\\" + std::string(70000, 'i'), "", ""},
        // GetModuleFileNameA failing: the empty text.
        {"", "", ""},
    };
    for (const auto &row : rows) {
        fake::moduleFileName = row.path;
        std::string directory = Take(GetRunDirectory());
        std::string name = Take(GetExeFileName());
        std::string shownPath = row.path.size() > 80 ? "(" + std::to_string(row.path.size()) + "-byte path)"
                                                      : Shown(row.path);
        EXPECT_TRUE(row.directory == directory) << "GetRunDirectory for " << shownPath << ": expected "
                                                << Summary(row.directory) << ", got " << Summary(directory);
        EXPECT_TRUE(row.name == name) << "GetExeFileName for " << shownPath << ": expected " << Summary(row.name)
                                      << ", got " << Summary(name);
    }
    ExpectNoLeak("paths");
}

TEST_F(Paths, FirstAskWithTheUsualBufferOfTheOwnModule)
{
    fake::moduleFileName = "C:\\dir\\a.exe";
    EXPECT_EQ("C:\\dir", Take(GetRunDirectory()));
    EXPECT_EQ(std::vector<std::string>{"GetModuleFileNameA(NULL, 260)"}, fake::Calls("GetModuleFileNameA("));
}

TEST_F(Paths, HostName)
{
    EXPECT_EQ("DESKTOP-7", Take(GetHostName()));
    std::vector<std::string> winsock;
    for (const auto &call : fake::calls)
        if (call.rfind("WSA", 0) == 0 || call.rfind("gethostname", 0) == 0) winsock.push_back(call);
    EXPECT_EQ(std::vector<std::string>({"WSAStartup(0x0202)", "gethostname(buffer, 260)", "WSACleanup()"}), winsock)
        << fake::Log();
    ExpectNoLeak("host name");
}

TEST_F(Paths, HostNameFailures)
{
    // gethostname failing: empty, and Winsock is still cleaned up.
    fake::hooks.gethostname = [](char *, int) { return -1; };
    EXPECT_EQ("", Take(GetHostName()));
    EXPECT_EQ(1u, fake::Calls("WSACleanup(").size()) << fake::Log();

    // WSAStartup failing: empty, no further Winsock call.
    fake::Reset();
    fake::hooks.WSAStartup = [](WORD, LPWSADATA) { return 10091; /* WSASYSNOTREADY */ };
    EXPECT_EQ("", Take(GetHostName()));
    EXPECT_TRUE(fake::Calls("gethostname(").empty()) << fake::Log();
    EXPECT_TRUE(fake::Calls("WSACleanup(").empty()) << fake::Log();

    // A name that fills the whole buffer stays inside it.
    fake::Reset();
    fake::hooks.gethostname = [](char *name, int length) {
        std::fill(name, name + length, 'h');
        return 0;
    };
    EXPECT_EQ(std::string(259, 'h'), Take(GetHostName()));
    ExpectNoLeak("host name failures");
}
