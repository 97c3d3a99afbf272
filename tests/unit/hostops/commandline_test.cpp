// Splitting the command line into the arguments after the program path.
#include <vector>

#include "hostops_test.h"

using CommandLine = HostOps;

static std::string ShownList(const std::vector<std::string> &items)
{
    std::string shown = "[";
    for (const auto &item : items) shown += (shown.size() > 1 ? ", " : "") + Shown(item);
    return shown + "]";
}

static std::vector<std::string> Arguments(const TextList &list)
{
    std::vector<std::string> items;
    for (DWORD i = 1; i <= list.count; i++) items.push_back(TextListItem(&list, (long)i));
    return items;
}

TEST_F(CommandLine, Split)
{
    struct {
        std::string line;
        std::vector<std::string> arguments;
    } rows[] = {
        // The program path, quoted or not, is never an argument.
        {"\"C:\\Program Files\\quench.exe\"", {}},
        {"C:\\tools\\quench.exe", {}},
        {"", {}},
        {"\"C:\\unterminated path", {}},
        {"\"C:\\a b\\quench.exe\"  app.exe", {"app.exe"}},
        {"\"C:\\a b\\quench.exe\"app.exe", {"app.exe"}},
        {"\"C:\\a b\\quench.exe\" ", {}},
        {"quench.exe app.exe", {"app.exe"}},
        {"quench.exe\tapp.exe", {}}, // a tab does not end an unquoted path
        {"quench.exe  a", {"a"}},
        // Runs of separators (0x01 to 0x20) yield no empty argument.
        {"p a \t\r\n\x01 b   ", {"a", "b"}},
        // Quotes: empty pair, spaces kept, unterminated, right after an argument.
        {"p \"\"", {""}},
        {"p \"\" \"\"", {"", ""}},
        {"p \"a b\" c", {"a b", "c"}},
        {"p \"open", {"open"}},
        {"p ab\"c d\"e", {"ab", "c d", "e"}},
        {"p a\"\"", {"a", ""}},
        {"p \"a\"\"b\"", {"a", "b"}},
        // No escapes: a backslash is an ordinary byte.
        {"p C:\\dir\\ \"x\\\"", {"C:\\dir\\", "x\\"}},
        // Double-byte characters: the second byte never ends an argument.
        {"p \xB0\x22x y", {"\xB0\x22x", "y"}},
        {"p \xB0\x20x y", {"\xB0\x20x", "y"}},
        {"p \xD6\xD0" "a \xB0" "a", {"\xD6\xD0" "a", "\xB0" "a"}},
        {"p \"\xB0\x22 \xB0\x20\" z", {"\xB0\x22 \xB0\x20", "z"}},
        {"p \xA1\xA1", {"\xA1\xA1"}}, // a full-width space is an argument here
        {"p a\x81", {"a\x81"}},       // a lone lead byte at the end
        {"p \"a\x81", {"a\x81"}},
        {"p \x81", {"\x81"}},
    };
    for (const auto &row : rows) {
        fake::commandLine = row.line;
        TextList list = {0, nullptr};
        GetCommandArguments(&list);
        std::vector<std::string> got = Arguments(list);
        EXPECT_EQ(row.arguments, got) << "command line " << Shown(row.line) << ": expected "
                                      << ShownList(row.arguments) << ", got " << ShownList(got);
        FreeTextList(&list);
    }
    ExpectNoLeak("GetCommandArguments");
}

TEST_F(CommandLine, NewResultReplacesTheListAndReleasesTheOld)
{
    TextList list = {0, nullptr};
    fake::commandLine = "p one two three";
    GetCommandArguments(&list);
    ASSERT_EQ(3u, list.count);
    fake::commandLine = "p four";
    GetCommandArguments(&list);
    EXPECT_EQ(std::vector<std::string>{"four"}, Arguments(list));
    fake::commandLine = "p";
    GetCommandArguments(&list);
    EXPECT_EQ(0u, list.count);
    EXPECT_EQ(nullptr, list.items);
    ExpectNoLeak("replaced lists");
}

TEST_F(CommandLine, ItemIndexOutsideTheListIsAFatalError)
{
    struct {
        std::string line;
        long index;
        int error;
    } rows[] = {{"p a b", 0, 4}, {"p a b", -1, 4}, {"p a b", 3, 1}, {"p", 1, 1}};
    for (const auto &row : rows) {
        ResetProcess();
        ProcessHeap = GetProcessHeap();
        fake::commandLine = row.line;
        TextList list = {0, nullptr};
        GetCommandArguments(&list);
        long code = RunUntilExit([&] { (void)TextListItem(&list, row.index); });
        EXPECT_EQ(0, code) << "item " << row.index << " of " << Shown(row.line) << " must end the program";
        ASSERT_EQ(1u, fake::boxes.size()) << fake::Log();
        std::string first = "program internal error number is " + std::to_string(row.error) + ". \r\n";
        EXPECT_EQ(first, fake::boxes[0].text.substr(0, first.size())) << "item " << row.index;
        EXPECT_EQ(13, ShownSourceFileNumber(fake::boxes[0].text)) << fake::boxes[0].text;
        EXPECT_EQ("error", fake::boxes[0].caption);
    }
}
