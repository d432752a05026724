// The one place where text crosses between the program, which holds Big5
// bytes (code page 950), and Qt, which holds Unicode.
#pragma once

#include <QList>
#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

namespace big5 {

// Bytes that are not valid Big5 show as U+FFFD; never fails.
QString toUnicode(std::string_view bytes);

// Raises rt::ConversionError naming the first character that Big5 cannot
// hold, instead of silently storing a wrong one.
std::string fromUnicode(const QString& text);

// For literals written in the sources, which are UTF-8.
std::string fromUtf8(std::string_view utf8);

// True when a byte opens a double-byte character.
inline bool isLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// The longest prefix of at most maxBytes bytes that ends on a character
// boundary: a double-byte character whose second byte would fall past the
// limit is dropped whole.
std::string_view cut(std::string_view bytes, std::size_t maxBytes);

// Offset of the last character (a double-byte one taken as a whole), or
// npos for empty text. Scans forward: trail bytes can look like ASCII.
std::size_t lastCharacterStart(std::string_view bytes);

}  // namespace big5
