// The program's command line: --revert FILE [--force], --journals, --help,
// --version. They run without a window (no display needed); without any of
// them the program opens its window.
#pragma once

#include <optional>

namespace app {

// The exit code of a command, or nothing when the window is to open.
std::optional<int> runCommandLine(int argc, char** argv);

}  // namespace app
