#include "platform/base/Terminal.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <utility>

namespace {

using plume::isTerminal;
using plume::StdStream;

// What isTerminal says of standard output and error while they are `output` and `error`.
std::pair<bool, bool> terminalsWith(HANDLE output, HANDLE error) {
    const HANDLE savedOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE savedError = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, output);
    SetStdHandle(STD_ERROR_HANDLE, error);
    const std::pair<bool, bool> answer{isTerminal(StdStream::Output), isTerminal(StdStream::Error)};
    SetStdHandle(STD_OUTPUT_HANDLE, savedOutput);
    SetStdHandle(STD_ERROR_HANDLE, savedError);
    return answer;
}

// The null device is a character device, as a console is (the C runtime's isatty takes it for
// one): where a closed stream is held, no progress line is drawn. A console itself cannot be
// had under the test runner's Wine, which has no display.
TEST(Terminal, NeitherAPipeNorTheNullDeviceIsATerminal) {
    HANDLE pipeRead = nullptr;
    HANDLE pipeWrite = nullptr;
    ASSERT_TRUE(CreatePipe(&pipeRead, &pipeWrite, nullptr, 0));
    const HANDLE null =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(null, INVALID_HANDLE_VALUE);
    EXPECT_EQ(terminalsWith(pipeWrite, null), std::pair(false, false));
    EXPECT_EQ(terminalsWith(null, pipeWrite), std::pair(false, false));
    for (const HANDLE handle : {pipeRead, pipeWrite, null}) CloseHandle(handle);
}

}  // namespace
