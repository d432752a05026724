#include <gtest/gtest.h>

#include <string>

#include "Errors.h"
#include "MessageOf.h"
#include "FieldValue.h"

namespace {

using testsupport::messageOf;

using rt::FieldValue;

TEST(FieldValue, ArithmeticKeepsWholeNumbersAndPromotesToDouble) {
    EXPECT_EQ((FieldValue(2) + FieldValue(3)).kind(), FieldValue::Kind::Integer);
    EXPECT_EQ((FieldValue(2) * FieldValue(3)).integerValue(), 6);
    EXPECT_EQ((FieldValue(2) + FieldValue(0.5)).kind(), FieldValue::Kind::Double);
    EXPECT_DOUBLE_EQ((FieldValue(2.0) * FieldValue(3)).doubleValue(), 6.0);
    // Every division is a double, even of whole numbers.
    const FieldValue quotient = FieldValue(15) / FieldValue(100);
    EXPECT_EQ(quotient.kind(), FieldValue::Kind::Double);
    EXPECT_EQ(quotient.doubleValue(), 15.0 / 100.0);
    // An overflowing whole-number result moves to double instead of wrapping.
    const FieldValue big = FieldValue(INT64_MAX) + FieldValue(1);
    EXPECT_EQ(big.kind(), FieldValue::Kind::Double);
    EXPECT_GT(big.doubleValue(), 9.2e18);
}

TEST(FieldValue, NullPropagatesWithoutError) {
    EXPECT_TRUE((FieldValue() + FieldValue(1)).isNull());
    EXPECT_TRUE((FieldValue(1.5) * FieldValue()).isNull());
    EXPECT_TRUE((FieldValue() / FieldValue(100)).isNull());
    EXPECT_EQ(FieldValue().toString(), "");
}

TEST(FieldValue, NullOrNonNumericTextRaisesConversionError) {
    EXPECT_EQ(messageOf<rt::ConversionError>([&] { FieldValue().toDouble(); }),
              "Could not convert variant of type (Null) into type (Double)");
    EXPECT_THROW(FieldValue::text("abc").toDouble(), rt::ConversionError);
    EXPECT_EQ(FieldValue::text(" 12.5 ").toDouble(), 12.5);
}

TEST(FieldValue, GeneralFormatHasFifteenSignificantDigits) {
    EXPECT_EQ(rt::formatGeneral(25), "25");
    EXPECT_EQ(rt::formatGeneral(12.5), "12.5");
    EXPECT_EQ(rt::formatGeneral(0.1), "0.1");
    EXPECT_EQ(rt::formatGeneral(36.3), "36.3");
    EXPECT_EQ(rt::formatGeneral(1234567.0), "1234567");
    EXPECT_EQ(rt::formatGeneral(-0.0), "0");
    EXPECT_EQ(rt::formatGeneral(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FieldValue(138.0).toString(), "138");
    EXPECT_EQ(FieldValue(42).toString(), "42");
}

TEST(FieldValue, ParseDecimalAcceptsOnlyPlainNumbers) {
    EXPECT_EQ(rt::parseDecimal("15"), 15.0);
    EXPECT_EQ(rt::parseDecimal("  -12.5  "), -12.5);
    EXPECT_EQ(rt::parseDecimal("+3"), 3.0);
    EXPECT_EQ(rt::parseDecimal("1.5e2"), 150.0);
    EXPECT_EQ(rt::parseDecimal("2E-1"), 0.2);
    EXPECT_EQ(rt::parseDecimal("12,5", ','), 12.5);
    EXPECT_EQ(rt::parseDecimal("1.7976931348623157e308"), 1.7976931348623157e308);
    const std::string fourHundredNines(400, '9');
    for (const std::string bad : {"", " ", "abc", "1,000", "12.5.1", "1e", "\t5", "5%", "-", ".",
                                  // beyond a double, either way
                                  "1e999", "-1e999", "1e-999", "1.8e308", fourHundredNines.c_str()})
        EXPECT_FALSE(rt::parseDecimal(bad).has_value()) << '"' << bad << '"';
    EXPECT_THROW(FieldValue::text("1e999").toDouble(), rt::ConversionError);
}

}  // namespace
