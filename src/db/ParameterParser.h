// Finds the named parameter markers of a statement text and turns the text
// into the positional form the driver prepares.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace db {

// One ":name" in the text: where it starts and how long it is, colon included.
struct ParameterMarker {
    std::string name;
    std::size_t offset = 0;
    std::size_t length = 0;
};

class ParameterParser {
public:
    // Markers in order of appearance. A marker is a colon and a name outside
    // single, double and back quotes; the name runs up to a blank, CR, LF,
    // comma, ")", ";" or the end of the text. A colon with no name after it,
    // or a doubled colon, is plain text. Double-byte characters are stepped
    // over whole, since a Big5 trail byte can look like a back quote.
    static std::vector<ParameterMarker> findMarkers(std::string_view text);

    // The text with every marker replaced by " ? ".
    static std::string positionalText(std::string_view text,
                                      const std::vector<ParameterMarker>& markers);
};

}  // namespace db
