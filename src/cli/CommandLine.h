// The program's command line: --revert FILE [--force], --journals,
// --push JOURNAL [--stores NAME,...|all] [--force],
// --preview KEY... [--output FILE], --help, --version. They run without a
// window (no display needed). Without
// arguments, or with only Qt's own window options (-style, -platform, ...),
// the program opens its window; anything else is the command line's, so a
// mistyped option is refused with the usage and status 2.
#pragma once

#include <optional>

namespace cli {

// The exit code of a command, or nothing when the window is to open.
std::optional<int> runCommandLine(int argc, char** argv);

}  // namespace cli
