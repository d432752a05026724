// Small rules about statement texts shared by both services.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace db {

// The text a list of lines stands for: every line followed by CR LF.
std::string joinStatementLines(const std::vector<std::string>& lines);

// Whether a statement reads rows: its first word, after leading blanks and
// line breaks, is SELECT in any letter case. Such statements count towards the
// connection's statement limit.
bool beginsWithSelect(std::string_view text);

}  // namespace db
