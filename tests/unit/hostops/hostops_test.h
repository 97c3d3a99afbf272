// Shared helpers of the host-operation tests.
#pragma once
#include <string>

#include "frame/hostops.h"
#include "process.h"

// The text as a string, released as its owner would.
inline std::string Take(char *text)
{
    std::string copy = text ? text : "(null)";
    FreeText(text);
    return copy;
}

// Bytes shown readably in failure messages: printable ASCII as is, the rest
// as \xNN.
inline std::string Shown(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string shown = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            shown += (char)c;
        } else {
            shown += "\\x";
            shown += digits[c >> 4];
            shown += digits[c & 15];
        }
    }
    return shown + "\"";
}

// A fresh process whose frame has taken the heap, with no open files.
class HostOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcess();
        ProcessHeap = GetProcessHeap();
        OpenFileList = nullptr; // records of an earlier test belong to its fake handles
        blocksAtStart = fake::liveBlocks;
    }
    // Every block an operation allocated was returned to the caller and
    // released again.
    void ExpectNoLeak(const std::string &what)
    {
        EXPECT_EQ(blocksAtStart, fake::liveBlocks) << what << ": blocks left allocated";
    }
    long blocksAtStart = 0;
};
