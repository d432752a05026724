#include <gtest/gtest.h>

#include "Big5Text.h"
#include "ParameterParser.h"

namespace db {
namespace {

std::vector<std::string> namesIn(std::string_view text) {
    std::vector<std::string> names;
    for (const auto& marker : ParameterParser::findMarkers(text)) names.push_back(marker.name);
    return names;
}

std::string positional(std::string_view text) {
    return ParameterParser::positionalText(text, ParameterParser::findMarkers(text));
}

TEST(ParameterParser, FindsMarkersInOrderOfAppearance) {
    EXPECT_EQ(namesIn("UPDATE T SET A = :A , B = :b WHERE K = :KEY "),
              (std::vector<std::string>{"A", "b", "KEY"}));
}

TEST(ParameterParser, EveryTerminatorEndsAName) {
    EXPECT_EQ(namesIn(":a b"), std::vector<std::string>{"a"});
    EXPECT_EQ(namesIn(":a\rb"), std::vector<std::string>{"a"});
    EXPECT_EQ(namesIn(":a\nb"), std::vector<std::string>{"a"});
    EXPECT_EQ(namesIn("f(:a,:b)"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(namesIn("x = :a;"), std::vector<std::string>{"a"});
    EXPECT_EQ(namesIn("x = :name_at_end"), std::vector<std::string>{"name_at_end"});
}

TEST(ParameterParser, OtherCharactersBelongToTheName) {
    // Only the listed terminators end a name; "=" or a tab do not.
    EXPECT_EQ(namesIn("x=:a=1 "), std::vector<std::string>{"a=1"});
    EXPECT_EQ(namesIn(":a\tb "), std::vector<std::string>{"a\tb"});
}

TEST(ParameterParser, MarkersInsideQuotesAreText) {
    EXPECT_TRUE(namesIn("SELECT ':a' FROM T").empty());
    EXPECT_TRUE(namesIn("SELECT \":a\" FROM T").empty());
    EXPECT_TRUE(namesIn("SELECT `:a` FROM T").empty());
    // A quote of another kind does not close the open one.
    EXPECT_TRUE(namesIn("SELECT 'it\"s :a' FROM T").empty());
    EXPECT_EQ(namesIn("SELECT 'x' , :after FROM T"), std::vector<std::string>{"after"});
    // A doubled quote inside a literal leaves the literal open.
    EXPECT_EQ(namesIn("WHERE N = 'O''Brien :x' AND K = :k"), std::vector<std::string>{"k"});
}

TEST(ParameterParser, BareAndDoubledColonsAreText) {
    EXPECT_TRUE(namesIn("a : b").empty());
    EXPECT_TRUE(namesIn("a :").empty());
    EXPECT_TRUE(namesIn("CAST(x AS T)::a").empty());
    EXPECT_EQ(positional("a : b"), "a : b");
}

TEST(ParameterParser, Big5TrailByteThatLooksLikeABackQuoteStartsNoQuote) {
    // 亡 is A460 in Big5: its trail byte is the back quote's code.
    const std::string name = big5::fromUtf8("亡");
    ASSERT_EQ(name[1], '`');
    const std::string text = "WHERE N = '" + name + "' AND K = :K ";
    EXPECT_EQ(namesIn(text), std::vector<std::string>{"K"});
    EXPECT_EQ(namesIn(":" + name + " "), std::vector<std::string>{name});
}

TEST(ParameterParser, LeadByteWithoutATrailByteIsOneByteOnly) {
    // 0xA4 opens a double-byte character only when a trail byte follows; a
    // quote, bracket or blank after it is still itself.
    EXPECT_EQ(namesIn("'\xA4' , :p"), std::vector<std::string>{"p"});
    EXPECT_EQ(namesIn(":a\xA4) , :b"), (std::vector<std::string>{"a\xA4", "b"}));
    EXPECT_EQ(namesIn(":a\xA4 :b\xFE"), (std::vector<std::string>{"a\xA4", "b\xFE"}));
    EXPECT_EQ(positional("f(:a\xA4)"), "f( ? )");
}

TEST(ParameterParser, PositionalTextReplacesEachMarker) {
    EXPECT_EQ(positional("UPDATE T SET A = :A , B = :B\r\nWHERE K = :K\r\n"),
              "UPDATE T SET A =  ?  , B =  ? \r\nWHERE K =  ? \r\n");
    EXPECT_EQ(positional("f(:a,:a)"), "f( ? , ? )");
    EXPECT_EQ(positional("SELECT ':a' FROM T"), "SELECT ':a' FROM T");
}

}  // namespace
}  // namespace db
