// Comparing and trimming the Big5 text of settings. Only single-byte ASCII
// letters have a case: the second byte of a double-byte character can look
// like a letter, and must not be folded with it.
#pragma once

#include <concepts>
#include <string>
#include <string_view>

namespace rt::text {

// Strips leading and trailing bytes up to and including the blank (control
// characters and blanks). No Big5 byte of a double-byte character is that low.
std::string_view trim(std::string_view text);
// The view points into its argument: a temporary string would be gone before
// the view is read, so trimming one does not compile. Name the string first.
template <class Text>
    requires std::same_as<Text, std::string>
std::string_view trim(Text&&) = delete;

bool equalsIgnoreCase(std::string_view left, std::string_view right);
std::string toUpper(std::string_view text);
std::string toLower(std::string_view text);

}  // namespace rt::text
