#include "SubCategoryKey.h"

namespace catalog {

std::string subCategoryKey(std::string_view selectorText) {
    const auto comma = selectorText.find(',');
    if (comma == std::string_view::npos) return {};
    return std::string(selectorText.substr(0, comma));
}

std::string sqlStringLiteral(std::string_view text) {
    std::string literal = "'";
    for (const char c : text) {
        literal += c;
        if (c == '\'') literal += '\'';
    }
    literal += '\'';
    return literal;
}

}  // namespace catalog
