// A product's six prices as one value: nulls kept apart from 0, exact and
// to-the-cent comparisons kept apart from each other, one text for the six
// prices and one label for the product.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>

#include "Errors.h"
#include "FieldValue.h"
#include "TierPrices.h"

namespace {

using product::TierPrices;
using rt::FieldValue;

constexpr std::optional<double> null = std::nullopt;

TEST(TierPrices, StartNullAndKeepNullApartFromZero) {
    TierPrices prices;
    for (int tier = 1; tier <= product::kTierCount; ++tier) {
        EXPECT_TRUE(prices.isNull(tier)) << tier;
        EXPECT_TRUE(prices.value(tier).isNull()) << tier;
    }
    prices.setPrice(2, 0.0);
    EXPECT_EQ(prices.price(2), 0.0);
    EXPECT_FALSE(prices.value(2).isNull());
    EXPECT_NE(prices, TierPrices());
    // A null set over a number leaves nothing of the number behind.
    prices.setPrice(2, null);
    EXPECT_EQ(prices, TierPrices());

    prices.setValue(3, FieldValue(std::int64_t(7)));
    EXPECT_EQ(prices.value(3), FieldValue(7.0));
    EXPECT_EQ(prices.value(3).kind(), FieldValue::Kind::Double);
    prices.setValue(3, FieldValue::null());
    EXPECT_TRUE(prices.isNull(3));
    EXPECT_THROW(prices.setValue(3, FieldValue::text("seven")), rt::ConversionError);
}

TEST(TierPrices, RefuseTiersAndCountsOutsideTheSix) {
    TierPrices prices{1.0, 2.0, 3.0, 4.0, 5.0, 6.0};
    EXPECT_EQ(prices.price(1), 1.0);
    EXPECT_EQ(prices.price(product::kTierCount), 6.0);
    EXPECT_THROW(prices.price(0), std::out_of_range);
    EXPECT_THROW(prices.price(product::kTierCount + 1), std::out_of_range);
    EXPECT_THROW(prices.setPrice(0, 1.0), std::out_of_range);
    EXPECT_THROW(prices.setPrice(product::kTierCount + 1, 1.0), std::out_of_range);
    EXPECT_THROW((TierPrices{1.0, 2.0, 3.0, 4.0, 5.0}), std::invalid_argument);
    EXPECT_THROW((TierPrices{1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0}), std::invalid_argument);
}

// One tier differs; every other holds the same number on both sides.
struct ComparisonCase {
    const char* name;
    std::optional<double> left, right;
    bool exact, toTheCent;
};

class TierPricesComparison : public testing::TestWithParam<ComparisonCase> {};

TEST_P(TierPricesComparison, ExactAndToTheCentAreTwoQuestions) {
    const ComparisonCase& c = GetParam();
    for (int tier = 1; tier <= product::kTierCount; ++tier) {
        TierPrices left{1.0, 2.0, 3.0, 4.0, 5.0, 6.0}, right = left;
        left.setPrice(tier, c.left);
        right.setPrice(tier, c.right);
        EXPECT_EQ(left == right, c.exact) << "tier " << tier;
        EXPECT_EQ(right == left, c.exact) << "tier " << tier;
        EXPECT_EQ(product::equalToTheCent(left, right), c.toTheCent) << "tier " << tier;
        EXPECT_EQ(product::equalToTheCent(right, left), c.toTheCent) << "tier " << tier;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TierPricesComparison,
    testing::Values(ComparisonCase{"same", 115.0, 115.0, true, true},
                    ComparisonCase{"a whole unit apart", 115.0, 116.0, false, false},
                    ComparisonCase{"within a cent", 10.004, 10.00, false, true},
                    ComparisonCase{"half a cent", 10.005, 10.00, false, true},
                    ComparisonCase{"rounded by the column", 12.345, 12.35, false, true},
                    ComparisonCase{"a cent apart", 12.34, 12.35, false, false},
                    ComparisonCase{"more than half a cent", 10.006, 10.00, false, false},
                    ComparisonCase{"both null", null, null, true, true},
                    ComparisonCase{"null against 0", null, 0.0, false, false},
                    ComparisonCase{"null against a price", null, 115.0, false, false},
                    ComparisonCase{"0 against -0", 0.0, -0.0, true, true},
                    ComparisonCase{"large whole numbers", 2147483647.0, 2147483646.0, false, false}),
    [](const testing::TestParamInfo<ComparisonCase>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(TierPrices, TextIsTheShortestDecimalThatReadsBackWithADashForNull) {
    const struct {
        TierPrices prices;
        const char* text;
    } cases[] = {
        {{100.0, null, 12.5, 0.1, -3.0, 0.0}, "100 - 12.5 0.1 -3 0"},
        {{}, "- - - - - -"},
        {{0.1 + 0.2, 9999999999999.99, 1e15, 10.004, 110000.0, 2.0}, "0.30000000000000004 9999999999999.99 "
                                                                      "1000000000000000 10.004 110000 2"},
    };
    for (const auto& c : cases) EXPECT_EQ(product::pricesText(c.prices), c.text);
    for (const double price : {0.1 + 0.2, 9999999999999.99, 1e-7, 123456.78, -0.5}) {
        const std::string text = product::priceText(price);
        EXPECT_EQ(std::stod(text), price) << text;
        EXPECT_EQ(text.find_first_of("eE"), std::string::npos) << text;
    }
}

TEST(TierPrices, ProductLabelIsTheNumberAloneWhenTheNameIsEmpty) {
    EXPECT_EQ(product::productLabel("P1", "Tea"), "P1 Tea");
    EXPECT_EQ(product::productLabel("P1", ""), "P1");
    // Big5 bytes pass through untouched (a trail byte may be a backslash).
    EXPECT_EQ(product::productLabel("A\xa5\x5c", "\xaf\xf9"), "A\xa5\x5c \xaf\xf9");
}

TEST(TierPrices, StaySixDoublesAndAMask) {
    // The work table keeps one beside each loaded row.
    EXPECT_LE(sizeof(TierPrices), sizeof(double) * (product::kTierCount + 1));
}

}  // namespace
