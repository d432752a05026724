#include <gtest/gtest.h>

#include "Big5Text.h"
#include "Errors.h"

namespace {

// 商 B0 D3, 品 AB 7E: the second byte of 品 is '~' when read alone, and 許 ends
// in 0x5C, a backslash, which is where backward scanning goes wrong.
const std::string kProduct = "\xB0\xD3\xAB\x7E";
const std::string kPermit = "\xB3\x5C";

TEST(Big5Text, RoundTripsThroughUnicode) {
    EXPECT_EQ(big5::toUnicode(kProduct), QString::fromUtf8("商品"));
    EXPECT_EQ(big5::fromUnicode(QString::fromUtf8("商品A1")), kProduct + "A1");
    EXPECT_EQ(big5::fromUtf8("定價批次處理"), big5::fromUnicode(QString::fromUtf8("定價批次處理")));
}

TEST(Big5Text, InvalidBytesShowAsReplacementCharacter) {
    const QString shown = big5::toUnicode(std::string("A\xFF" "B\x81", 4));
    EXPECT_EQ(shown, QString::fromUtf8("A\xEF\xBF\xBD" "B\xEF\xBF\xBD"));
    // A lone lead byte at the end, and a lead byte before a byte that is no trail byte.
    EXPECT_EQ(big5::toUnicode(std::string("\xB0", 1)), QString(QChar(0xFFFD)));
    EXPECT_EQ(big5::toUnicode(std::string("\xB0\x20", 2)), QString(QChar(0xFFFD)) + " ");
}

TEST(Big5Text, CharacterBigFiveCannotHoldIsReported) {
    try {
        big5::fromUnicode(QString::fromUtf8("A😀"));
        FAIL() << "no error";
    } catch (const rt::ConversionError& error) {
        EXPECT_STREQ(error.what(), "Text holds a character that Big5 cannot store: U+1F600");
    }
}

TEST(Big5Text, CutNeverSplitsADoubleByteCharacter) {
    EXPECT_EQ(big5::cut(kProduct, 4), kProduct);
    EXPECT_EQ(big5::cut(kProduct, 3), "\xB0\xD3");
    EXPECT_EQ(big5::cut("A" + kProduct, 2), "A");
    EXPECT_EQ(big5::cut("A" + kProduct, 3), "A\xB0\xD3");
    EXPECT_EQ(big5::cut("", 5), "");

    // 25 ASCII bytes to 20; 30 double-byte characters (60 bytes) to 50 bytes.
    EXPECT_EQ(big5::cut(std::string(25, '7'), 20), std::string(20, '7'));
    std::string sixty;
    for (int i = 0; i < 30; ++i) sixty += kPermit;
    EXPECT_EQ(big5::cut(sixty, 50).size(), 50u);
    // Odd offset: one ASCII byte first leaves 49 bytes, never half a character.
    EXPECT_EQ(big5::cut("X" + sixty, 50).size(), 49u);
}

TEST(Big5Text, LastCharacterIsFoundScanningForward) {
    EXPECT_EQ(big5::lastCharacterStart(""), std::string_view::npos);
    EXPECT_EQ(big5::lastCharacterStart("ab"), 1u);
    EXPECT_EQ(big5::lastCharacterStart(kProduct), 2u);
    EXPECT_EQ(big5::lastCharacterStart("a" + kPermit), 1u);
}

}  // namespace
