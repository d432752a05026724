#include <gtest/gtest.h>

#include "Errors.h"
#include "MessageOf.h"
#include "PriceCalculation.h"
#include "WorkTableFixture.h"

namespace {

using testsupport::messageOf;

using rt::FieldValue;

class PriceCalculationTest : public testing::Test {
protected:
    void SetUp() override { product::defineProductTable(table); }

    // Prices of a row as text, tier 1 to 6, separated by blanks.
    std::string pricesOf(int row) {
        std::string out;
        for (int tier = 1; tier <= product::kTierCount; ++tier)
            out += (tier > 1 ? " " : "") + table.valueAt(row, product::priceField(tier)).toString();
        return out;
    }

    int countRows() {
        int rows = 0;
        pricing::priceAllRows(table, [&] { ++rows; });
        return rows;
    }

    TProductWorkTable table;
};

TEST_F(PriceCalculationTest, RoundsUpTowardTheNextWholeNumber) {
    EXPECT_EQ(pricing::roundUp(36.3), 37);
    EXPECT_EQ(pricing::roundUp(115.0), 115);
    EXPECT_EQ(pricing::roundUp(-1.5), -1);
    EXPECT_EQ(pricing::roundUp(-0.0), 0);
    EXPECT_TRUE(pricing::fitsPriceRange(2147483647.0));
    EXPECT_FALSE(pricing::fitsPriceRange(2147483647.5));
    EXPECT_TRUE(pricing::fitsPriceRange(-2147483648.9));
    EXPECT_FALSE(pricing::fitsPriceRange(-2147483649.0));
}

TEST_F(PriceCalculationTest, WorkedExamples) {
    appendProduct(table, "A", FieldValue(100.0), FieldValue(15.0));
    appendProduct(table, "B", FieldValue(33.0), FieldValue(10.0));
    appendProduct(table, "C", FieldValue(19.0), FieldValue(12.5));
    appendProduct(table, "D", FieldValue(0.0), FieldValue(15.0));
    appendProduct(table, "E", FieldValue(50.0), FieldValue(-100.0));
    appendProduct(table, "F", FieldValue(50.0), FieldValue(-150.0));
    // Worked as rate / 100 x cost + cost; cost x (1 + rate / 100) would give
    // 111, 56 and 100 here.
    appendProduct(table, "G", FieldValue(100.0), FieldValue(10.0));
    appendProduct(table, "H", FieldValue(50.0), FieldValue(10.0));
    appendProduct(table, "I", FieldValue(90.0), FieldValue(10.0));
    EXPECT_EQ(countRows(), 9);
    EXPECT_EQ(pricesOf(0), "115 115 115 115 115 115");
    EXPECT_EQ(pricesOf(1), "37 37 37 37 37 37");  // 36.3 rounded up
    EXPECT_EQ(pricesOf(2), "22 22 22 22 22 22");  // 21.375
    EXPECT_EQ(pricesOf(3), "0 0 0 0 0 0");
    EXPECT_EQ(pricesOf(4), "0 0 0 0 0 0");
    EXPECT_EQ(pricesOf(5), "-25 -25 -25 -25 -25 -25");
    EXPECT_EQ(pricesOf(6), "110 110 110 110 110 110");
    EXPECT_EQ(pricesOf(7), "55 55 55 55 55 55");
    EXPECT_EQ(pricesOf(8), "99 99 99 99 99 99");
    EXPECT_EQ(table.state(), TProductWorkTable::State::Browse);
}

TEST_F(PriceCalculationTest, EachTierUsesItsOwnRateAndRunningTwiceNeverCompounds) {
    table.append();
    table.setValue("PROD_ID", FieldValue::text("A"));
    table.setValue("STD_COST", FieldValue(200.0));
    const double rates[] = {10, 20, 30, 40, 50, 0.25};
    for (int tier = 1; tier <= product::kTierCount; ++tier)
        table.setValue(product::rateField(tier), FieldValue(rates[tier - 1]));
    table.setValue("D_PRICE3", FieldValue(999.0));  // typed-in prices are overwritten
    table.post();
    countRows();
    EXPECT_EQ(pricesOf(0), "220 240 260 280 300 201");
    countRows();
    EXPECT_EQ(pricesOf(0), "220 240 260 280 300 201");
}

TEST_F(PriceCalculationTest, EmptyTableDoesNothing) {
    EXPECT_EQ(countRows(), 0);
    EXPECT_TRUE(table.isEmpty());
}

TEST_F(PriceCalculationTest, NullCostFailsAtTierOneLeavingTheRowInEditing) {
    appendProduct(table, "A", FieldValue(100.0), FieldValue(15.0));
    appendProduct(table, "B", FieldValue::null(), FieldValue(15.0));
    appendProduct(table, "C", FieldValue(100.0), FieldValue(15.0));
    int rows = 0;
    EXPECT_EQ(messageOf<rt::ConversionError>([&] { pricing::priceAllRows(table, [&] { ++rows; }); }),
              "Could not convert variant of type (Null) into type (Double)");
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(pricesOf(0), "115 115 115 115 115 115");
    EXPECT_EQ(table.currentRow(), 1);
    EXPECT_EQ(table.state(), TProductWorkTable::State::Edit);
    EXPECT_EQ(pricesOf(1), "     ");  // all six unrounded prices are null
    EXPECT_TRUE(table.valueAt(2, product::priceField(1)).isNull());
}

TEST_F(PriceCalculationTest, NullRateFailsAtItsOwnTierAfterEarlierTiersAreRounded) {
    table.append();
    table.setValue("PROD_ID", FieldValue::text("A"));
    table.setValue("STD_COST", FieldValue(33.0));
    for (int tier = 1; tier <= product::kTierCount; ++tier)
        if (tier != 4) table.setValue(product::rateField(tier), FieldValue(10.0));
    table.post();
    EXPECT_THROW(countRows(), rt::ConversionError);
    EXPECT_EQ(table.state(), TProductWorkTable::State::Edit);
    // Tiers 1-3 rounded, 4 empty, 5-6 still unrounded.
    EXPECT_EQ(pricesOf(0), "37 37 37  36.3 36.3");
    table.cancel();
    EXPECT_TRUE(table.valueAt(0, product::priceField(1)).isNull());
}

// Like a null cost: the row stays in editing and keeps no price of an
// earlier calculation from the failing tier on, so a write-back stops there.
TEST_F(PriceCalculationTest, PriceOutsideTheIntegerRangeStopsAtItsRowEmptyingTheRestOfIt) {
    appendProduct(table, "A", FieldValue(100.0), FieldValue(15.0));
    appendProduct(table, "BIG", FieldValue(19.0), FieldValue(0.0));
    appendProduct(table, "C", FieldValue(100.0), FieldValue(15.0));
    countRows();
    EXPECT_EQ(pricesOf(1), "19 19 19 19 19 19");
    table.moveTo(1);
    table.edit();
    table.setValue(product::STD_COST, FieldValue(3e7));
    table.setValue(product::rateField(4), FieldValue(10000.0));  // 3e7 x 101
    table.post();
    EXPECT_EQ(messageOf<rt::AppError>([&] { countRows(); }),
              "Price of product 'BIG' (tier 4) is 3030000000, outside the range -2147483648 to 2147483647");
    EXPECT_EQ(table.currentRow(), 1);
    EXPECT_EQ(table.state(), TProductWorkTable::State::Edit);
    EXPECT_EQ(pricesOf(1), "30000000 30000000 30000000   ");
    EXPECT_EQ(pricesOf(0), "115 115 115 115 115 115");
}

}  // namespace
