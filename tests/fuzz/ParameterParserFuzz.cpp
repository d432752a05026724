// Statement texts with named parameters, as the read and statement services
// hand them to the parser: every marker found must lie inside the text and
// name what it covers, and the positional text must account for each.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ParameterParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto markers = db::ParameterParser::findMarkers(text);
    std::size_t end = 0;
    std::size_t covered = 0;
    for (const db::ParameterMarker& marker : markers) {
        if (marker.offset < end || marker.length < 2 || marker.offset + marker.length > text.size()) std::abort();
        if (text[marker.offset] != ':' || text.substr(marker.offset + 1, marker.length - 1) != marker.name)
            std::abort();
        end = marker.offset + marker.length;
        covered += marker.length;
    }
    const std::string positional = db::ParameterParser::positionalText(text, markers);
    if (positional.size() != text.size() - covered + 3 * markers.size()) std::abort();
    return 0;
}
