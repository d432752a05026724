#include "StatementText.h"

#include <cctype>

namespace db {

std::string joinStatementLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool beginsWithSelect(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    constexpr std::string_view keyword = "SELECT";
    if (text.size() - at < keyword.size()) return false;
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != keyword[i]) return false;
    }
    return true;
}

}  // namespace db
