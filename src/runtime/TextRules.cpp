#include "TextRules.h"

#include "Big5Text.h"

namespace rt::text {

namespace {

bool isBlankOrControl(char byte) { return static_cast<unsigned char>(byte) <= 0x20; }

char asciiUpper(char byte) { return byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : byte; }
char asciiLower(char byte) { return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte; }

template <class Fold>
std::string fold(std::string_view text, Fold foldByte) {
    std::string out(text);
    for (std::size_t at = 0; at < out.size();) {
        const std::size_t size = big5::characterSize(out, at);
        if (size == 1) out[at] = foldByte(out[at]);
        at += size;
    }
    return out;
}

}  // namespace

std::string_view trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlankOrControl(text[begin])) ++begin;
    while (end > begin && isBlankOrControl(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool equalsIgnoreCase(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) return false;
    for (std::size_t at = 0; at < left.size();) {
        const std::size_t size = big5::characterSize(left, at);
        if (size == 1) {
            if (asciiUpper(left[at]) != asciiUpper(right[at])) return false;
        } else if (left.substr(at, 2) != right.substr(at, 2)) {
            return false;
        }
        at += size;
    }
    return true;
}

std::string toUpper(std::string_view text) { return fold(text, asciiUpper); }
std::string toLower(std::string_view text) { return fold(text, asciiLower); }

}  // namespace rt::text
