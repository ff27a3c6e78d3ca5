#pragma once
// The running program's command line as the kernel handed it over.

#include <string>
#include <vector>

namespace zk::platform {

// Element 0 is the program, then the arguments in order; empty when the
// command line cannot be read.
std::vector<std::string> CommandLineArguments();

}  // namespace zk::platform
