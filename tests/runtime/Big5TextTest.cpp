#include <gtest/gtest.h>

#include "Big5Text.h"
#include "Errors.h"
#include "MessageOf.h"
#include "TextRules.h"

namespace {

using testsupport::messageOf;

// 商 B0 D3, 品 AB 7E: the second byte of 品 is '~' when read alone, and 許 ends
// in 0x5C, a backslash, which is where backward scanning goes wrong.
const std::string kProduct = "\xB0\xD3\xAB\x7E";
const std::string kPermit = "\xB3\x5C";

// big5::cut gives a view into its argument, so a temporary is named first.
std::string cutCopy(const std::string& bytes, std::size_t maxBytes) { return std::string(big5::cut(bytes, maxBytes)); }

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
    EXPECT_EQ(messageOf<rt::ConversionError>([&] { big5::fromUnicode(QString::fromUtf8("A😀")); }),
              "Text holds a character that Big5 cannot store: U+1F600");
}

TEST(Big5Text, CutNeverSplitsADoubleByteCharacter) {
    EXPECT_EQ(cutCopy(kProduct, 4), kProduct);
    EXPECT_EQ(cutCopy(kProduct, 3), "\xB0\xD3");
    EXPECT_EQ(cutCopy("A" + kProduct, 2), "A");
    EXPECT_EQ(cutCopy("A" + kProduct, 3), "A\xB0\xD3");
    EXPECT_EQ(cutCopy("", 5), "");

    // 25 ASCII bytes to 20; 30 double-byte characters (60 bytes) to 50 bytes.
    EXPECT_EQ(cutCopy(std::string(25, '7'), 20), std::string(20, '7'));
    std::string sixty;
    for (int i = 0; i < 30; ++i) sixty += kPermit;
    EXPECT_EQ(cutCopy(sixty, 50).size(), 50u);
    // Odd offset: one ASCII byte first leaves 49 bytes, never half a character.
    EXPECT_EQ(cutCopy("X" + sixty, 50).size(), 49u);
}

// A lead byte before a byte that is no trail byte is a stray byte of its own:
// the byte after it is a character again, whatever walks the text.
TEST(Big5Text, LeadByteWithoutATrailByteStandsAlone) {
    const std::string strayQuote = "\xA4'";
    EXPECT_EQ(big5::characterSize(strayQuote, 0), 1u);
    EXPECT_EQ(big5::characterSize(kPermit, 0), 2u);
    EXPECT_EQ(big5::characterSize("\xA4", 0), 1u);
    EXPECT_EQ(big5::characterSize("\xA4\x7F", 0), 1u);
    EXPECT_EQ(big5::characterSize("\xA4\xA0", 0), 1u);
    EXPECT_EQ(big5::characterSize("\xA4\xA1", 0), 2u);

    EXPECT_EQ(big5::lastCharacterStart("x\xA4)"), 2u);
    EXPECT_EQ(cutCopy("\xA4)", 1), "\xA4");
    EXPECT_EQ(big5::toUnicode("\xA4)"), QString(QChar(0xFFFD)) + ")");
    EXPECT_EQ(rt::text::toUpper("\xA4" "a\xA4)b"), "\xA4" "a\xA4)B");
    EXPECT_TRUE(rt::text::equalsIgnoreCase("\xA4)x", "\xA4)X"));
}

TEST(Big5Text, LastCharacterIsFoundScanningForward) {
    EXPECT_EQ(big5::lastCharacterStart(""), std::string_view::npos);
    EXPECT_EQ(big5::lastCharacterStart("ab"), 1u);
    EXPECT_EQ(big5::lastCharacterStart(kProduct), 2u);
    EXPECT_EQ(big5::lastCharacterStart("a" + kPermit), 1u);
}

}  // namespace

namespace {

// Paths and names that are only shown go through one lossy conversion, so
// a message, a configuration path and a journal name treat an unstorable
// character alike.
TEST(Big5Text, LossyConversionPutsOneQuestionMarkForEachUnstorableCharacter) {
    const struct {
        const char* utf8;
        std::string big5;
        const char* fault;
    } cases[] = {
        {"/資料/商品.ini", big5::fromUtf8("/資料/商品.ini"), "storable text altered"},
        {"/x/😀商.ini", "/x/?" + big5::fromUtf8("商") + ".ini", "a character outside the BMP giving two marks"},
        {"éא商", "??" + big5::fromUtf8("商"), "stopping at the first unstorable character"},
        {"😀😀", "??", "an unstorable character at the end dropped or doubled"},
        {"", "", "empty text not empty"},
        {"a\\b|c", "a\\b|c", "ASCII that looks like trail bytes altered"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(big5::fromUnicodeLossy(QString::fromUtf8(c.utf8)), c.big5) << c.fault;
}

}  // namespace
