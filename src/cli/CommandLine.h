// The program's command line: --revert FILE [--force], --journals,
// --push JOURNAL [--stores NAME,...|all] [--force],
// --preview KEY... [--output FILE], --help, --version. They run without a
// window (no display needed). Without arguments, or with only Qt's own
// window options (-style, -platform, ...), the program opens its window;
// --history with them opens the price history window instead. Anything else
// is the command line's, so a mistyped option is refused with the usage and
// status 2.
#pragma once

#include <variant>

namespace cli {

enum class Window { Main, History };

// The exit code of a command, or the window to open.
std::variant<int, Window> runCommandLine(int argc, char** argv);

}  // namespace cli
