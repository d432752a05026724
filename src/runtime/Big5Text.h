// The one place where text crosses between the program, which holds Big5
// bytes (code page 950), and Qt, which holds Unicode.
#pragma once

#include <QList>
#include <QString>
#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>

namespace big5 {

// Bytes that are not valid Big5 show as U+FFFD; never fails.
QString toUnicode(std::string_view bytes);

// Raises rt::ConversionError naming the first character that Big5 cannot
// hold, instead of silently storing a wrong one.
std::string fromUnicode(const QString& text);

// For text that is only shown (paths, names in messages and journals): each
// character Big5 cannot hold becomes one "?", a character outside the Basic
// Multilingual Plane included, so the text keeps its length in characters
// and nothing else is altered. Never fails.
std::string fromUnicodeLossy(const QString& text);

// For literals written in the sources, which are UTF-8.
std::string fromUtf8(std::string_view utf8);

// The bytes a double-byte character is made of.
inline bool isLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
inline bool isTrailByte(unsigned char byte) { return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xFE); }

// Size of the character at offset `at`: 2 for a lead byte followed by a trail
// byte, 1 for anything else, so that a stray lead byte never swallows the
// quote, comma or bracket after it. Every walk over Big5 text steps with this.
inline std::size_t characterSize(std::string_view bytes, std::size_t at) {
    return at + 1 < bytes.size() && isLeadByte(static_cast<unsigned char>(bytes[at])) &&
                   isTrailByte(static_cast<unsigned char>(bytes[at + 1]))
               ? 2
               : 1;
}

// The longest prefix of at most maxBytes bytes that ends on a character
// boundary: a double-byte character whose second byte would fall past the
// limit is dropped whole.
std::string_view cut(std::string_view bytes, std::size_t maxBytes);
// The view points into its argument; cutting a temporary does not compile.
template <class Text>
    requires std::same_as<Text, std::string>
std::string_view cut(Text&&, std::size_t) = delete;

// Offset of the last character (a double-byte one taken as a whole), or
// npos for empty text. Scans forward: trail bytes can look like ASCII.
std::size_t lastCharacterStart(std::string_view bytes);

}  // namespace big5
