#pragma once

// Whether a standard stream is a terminal, where a line rewritten in place (a carriage return,
// then ESC [K to clear the rest) is seen as one line: isatty on Linux (TerminalPosix.cpp), a
// console on Windows (TerminalWindows.cpp). A pipe or a file is no terminal.

namespace plume {

enum class StdStream { Output, Error };

// On Windows a console is one once it draws control sequences, which are switched on here
// (Windows 10 and later); an older console is no terminal.
bool isTerminal(StdStream stream);

}  // namespace plume
