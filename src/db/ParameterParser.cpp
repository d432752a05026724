#include "ParameterParser.h"

#include "Big5Text.h"

namespace db {

namespace {

bool endsName(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == ',' || c == ')' || c == ';';
}

bool isQuote(char c) { return c == '\'' || c == '"' || c == '`'; }

}  // namespace

std::vector<ParameterMarker> ParameterParser::findMarkers(std::string_view text) {
    std::vector<ParameterMarker> markers;
    char openQuote = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (openQuote) {
            if (c == openQuote) openQuote = 0;
            at += big5::characterSize(text, at);
            continue;
        }
        if (isQuote(c)) {
            openQuote = c;
            ++at;
            continue;
        }
        if (c == ':' && at + 1 < text.size() && text[at + 1] == ':') {
            at += 2;
            continue;
        }
        if (c == ':') {
            std::size_t end = at + 1;
            while (end < text.size() && !endsName(text[end])) end += big5::characterSize(text, end);
            if (end > at + 1) {
                markers.push_back({std::string(text.substr(at + 1, end - at - 1)), at, end - at});
            }
            at = end > at + 1 ? end : at + 1;
            continue;
        }
        at += big5::characterSize(text, at);
    }
    return markers;
}

std::string ParameterParser::positionalText(std::string_view text,
                                            const std::vector<ParameterMarker>& markers) {
    std::string result;
    result.reserve(text.size() + markers.size() * 3);
    std::size_t copied = 0;
    for (const auto& marker : markers) {
        result.append(text.substr(copied, marker.offset - copied));
        result += " ? ";
        copied = marker.offset + marker.length;
    }
    result.append(text.substr(copied));
    return result;
}

}  // namespace db
