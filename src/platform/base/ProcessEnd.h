#pragma once

namespace plume {

// Ends the process with `code` once main has put everything away (its QApplication and windows
// gone, files written): main returns what this returns, or a program that ends without tearing
// Qt down hands it to std::_Exit. On Windows the process ends here and then, without the DLLs'
// detach: other threads are stopped wherever they are when a process ends, and one stopped
// while ending itself (running its thread-local destructors) keeps the C runtime's thread-key
// lock, which the runtime's own detach then waits for without end. Elsewhere it returns `code`.
int endProcess(int code);

}  // namespace plume
