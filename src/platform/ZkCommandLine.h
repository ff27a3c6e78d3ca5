#pragma once
// The running program's command line as the kernel handed it over, and the
// file it was started from.

#include <string>
#include <vector>

namespace zk::platform {

// Element 0 is the program, then the arguments in order; empty when the
// command line cannot be read.
std::vector<std::string> CommandLineArguments();

// The absolute path of the running program's executable file, links
// resolved; empty when it cannot be found out.
std::string ExecutablePath();

}  // namespace zk::platform
