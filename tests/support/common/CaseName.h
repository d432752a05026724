// Test case names for parameterised tests whose parameter is a text:
// GoogleTest takes only letters, digits and underscores in a name.
#pragma once

#include <cctype>
#include <string>

namespace testsupport {

// A test name from the letters and digits of text.
inline std::string caseName(const std::string& text) {
    std::string name;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    return name;
}

}  // namespace testsupport
