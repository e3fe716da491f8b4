#include "platform/base/Terminal.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <utility>

namespace {

using plume::isTerminal;
using plume::StdStream;

// What isTerminal says of standard output and error while they are `output` and `error`.
std::pair<bool, bool> terminalsWith(int output, int error) {
    const int savedOutput = dup(STDOUT_FILENO);
    const int savedError = dup(STDERR_FILENO);
    dup2(output, STDOUT_FILENO);
    dup2(error, STDERR_FILENO);
    const std::pair<bool, bool> answer{isTerminal(StdStream::Output), isTerminal(StdStream::Error)};
    dup2(savedOutput, STDOUT_FILENO);
    dup2(savedError, STDERR_FILENO);
    close(savedOutput);
    close(savedError);
    return answer;
}

TEST(Terminal, APipeIsNoneAPseudoTerminalIsOne) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    EXPECT_EQ(terminalsWith(pipeEnds[1], terminal), std::pair(false, true));
    EXPECT_EQ(terminalsWith(terminal, pipeEnds[1]), std::pair(true, false));
    for (const int fd : {pipeEnds[0], pipeEnds[1], master, terminal}) close(fd);
}

}  // namespace
