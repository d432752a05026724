// Loaded prices travel with their row, and each price cell is judged
// against them from the row's own values.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "Errors.h"
#include "PriceCalculation.h"
#include "PriceChange.h"
#include "WorkTableFixture.h"

namespace {

using review::PriceChange;
using rt::FieldValue;

product::LoadedPrices loadedAll(std::optional<double> price) {
    product::TierPrices stored;
    for (int tier = 1; tier <= product::kTierCount; ++tier) stored.setPrice(tier, price);
    return stored;
}

// PRODUCT had no such product when the row was loaded.
const product::LoadedPrices kNotInProduct = std::nullopt;

class PriceChangeTest : public testing::Test {
protected:
    void SetUp() override { product::defineProductTable(table); }

    // A loaded row: number, cost, one rate for every tier, the loaded prices.
    void appendLoaded(const std::string& id, FieldValue cost, FieldValue rate, const product::LoadedPrices& stored) {
        table.append();
        table.setValue(product::PROD_ID, FieldValue::text(id));
        table.setValue(product::STD_COST, cost);
        for (int tier = 1; tier <= product::kTierCount; ++tier) table.setValue(product::rateField(tier), rate);
        table.setLoadedPrices(stored);
        table.post();
    }
    std::optional<double> loadedAt(int row, int tier) {
        const product::LoadedPrices* stored = table.loadedPricesAt(row);
        return stored && *stored ? (*stored)->price(tier) : std::nullopt;
    }

    TProductWorkTable table;
};

TEST_F(PriceChangeTest, LoadedPricesFollowTheirRowThroughInsertsDeletesAndEdits) {
    appendLoaded("A", 10.0, 0.0, loadedAll(11.0));
    appendLoaded("B", 10.0, 0.0, loadedAll(22.0));
    appendLoaded("C", 10.0, 0.0, kNotInProduct);
    // A row typed by hand, in front of all of them.
    table.first();
    table.insert();
    table.setValue(product::PROD_ID, FieldValue::text("T"));
    table.post();
    ASSERT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.loadedPricesAt(0), nullptr);
    EXPECT_EQ(loadedAt(1, 1), 11.0);
    EXPECT_EQ(loadedAt(2, 6), 22.0);

    // Deleting A moves B up; B's prices come with it, also while it is
    // being edited and after the edit is posted or cancelled.
    table.moveTo(1);
    table.deleteRow();
    EXPECT_EQ(table.valueAt(1, product::PROD_ID).toString(), "B");
    EXPECT_EQ(loadedAt(1, 3), 22.0);
    table.moveTo(1);
    table.edit();
    table.setValue(product::STD_COST, 99.0);
    EXPECT_EQ(loadedAt(1, 3), 22.0);
    table.post();
    EXPECT_EQ(loadedAt(1, 3), 22.0);
    table.edit();
    table.cancel();
    EXPECT_EQ(loadedAt(1, 3), 22.0);
    ASSERT_NE(table.loadedPricesAt(2), nullptr);
    EXPECT_FALSE(table.loadedPricesAt(2)->has_value());
    EXPECT_EQ(loadedAt(2, 1), std::nullopt);

    // Loaded prices are set only on a row being inserted or edited.
    EXPECT_THROW(table.setLoadedPrices(loadedAll(1.0)), rt::DatabaseError);
}

// A load hands its records over in one block (the first one moved in
// whole, a later one added after the records already kept); rows then point
// at them by number, several rows may share one, and a number past the
// records is refused.
TEST_F(PriceChangeTest, RecordsKeptInBlocksGoWithTheRowsThatNameThem) {
    const auto appendWithRecord = [&](const std::string& id, std::size_t record) {
        table.append();
        table.setValue(product::PROD_ID, FieldValue::text(id));
        table.setLoadedPricesRecord(record);
        table.post();
    };
    EXPECT_EQ(table.keepLoadedPrices({loadedAll(1.0), loadedAll(2.0), kNotInProduct}), 0u);
    appendWithRecord("B", 1);
    appendWithRecord("A", 0);
    appendWithRecord("X", 2);
    appendWithRecord("Y", 2);
    appendLoaded("S", 10.0, 0.0, loadedAll(5.0));
    EXPECT_EQ(table.keepLoadedPrices({loadedAll(7.0)}), 4u);
    appendWithRecord("C", 4);

    EXPECT_EQ(loadedAt(0, 1), 2.0);
    EXPECT_EQ(loadedAt(1, 6), 1.0);
    EXPECT_FALSE(table.loadedPricesAt(2)->has_value());
    EXPECT_EQ(table.loadedPricesAt(3), table.loadedPricesAt(2));
    EXPECT_EQ(loadedAt(4, 3), 5.0);
    EXPECT_EQ(loadedAt(5, 2), 7.0);

    table.append();
    EXPECT_THROW(table.setLoadedPricesRecord(5), rt::DatabaseError);
    table.cancel();
    EXPECT_THROW(table.setLoadedPricesRecord(0), rt::DatabaseError);  // no row being edited
}

TEST_F(PriceChangeTest, EachCellIsJudgedAgainstItsLoadedPrice) {
    struct Case {
        const char* what;
        std::optional<double> stored;  // every tier
        FieldValue cost;
        FieldValue rate;
        PriceChange change;
        std::optional<double> percent;
        bool belowCost;
        const char* text;
    };
    const Case cases[] = {
        {"raised", 58.0, 58.0, 10.0, PriceChange::Raised, (64.0 - 58.0) / 58.0 * 100, false, "58 → 64 (+10.3%)"},
        {"lowered", 120.0, 100.0, 15.0, PriceChange::Lowered, -4.1666666666666661, false, "120 → 115 (-4.2%)"},
        {"unchanged", 110.0, 100.0, 10.0, PriceChange::Unchanged, std::nullopt, false, "110 → 110"},
        {"stored fraction, rounded up", 36.3, 33.0, 10.0, PriceChange::Raised, (37 - 36.3) / 36.3 * 100, false,
         "36.3 → 37 (+1.9%)"},
        {"from a stored 0", 0.0, 10.0, 0.0, PriceChange::Raised, std::nullopt, false, "0 → 10 (+∞%)"},
        {"from a stored price too small to divide by", 1e-307, 10.0, 0.0, PriceChange::Raised, std::nullopt, false,
         "1e-307 → 10 (+∞%)"},
        {"empty column", std::nullopt, 10.0, 0.0, PriceChange::NoLoadedPrice, std::nullopt, false, "- → 10"},
        {"below cost, raised", 40.0, 100.0, -50.0, PriceChange::Raised, 25.0, true, "40 → 50 (+25.0%)"},
        {"below a negative stored price", -10.0, -20.0, 0.0, PriceChange::Lowered, -100.0, false,
         "-10 → -20 (-100.0%)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int row = table.rowCount();
        appendLoaded("P", c.cost, c.rate, loadedAll(c.stored));
        ASSERT_EQ(table.rowCount(), row + 1);
        table.moveTo(row);
        pricing::priceCurrentRow(table);
        for (int tier : {1, 6}) {
            const review::PriceCellReview cell = review::reviewPrice(table, row, tier);
            EXPECT_EQ(cell.change, c.change);
            ASSERT_EQ(cell.percent.has_value(), c.percent.has_value());
            if (c.percent) EXPECT_DOUBLE_EQ(*cell.percent, *c.percent);
            EXPECT_EQ(cell.belowCost, c.belowCost);
            EXPECT_EQ(review::changeText(cell), c.text);
        }
    }
}

TEST_F(PriceChangeTest, PricesNeverComputedTypedRowsAndMissingProductsHaveNoChange) {
    appendLoaded("NEW", 10.0, 10.0, loadedAll(11.0));   // not priced yet
    appendLoaded("GONE", 10.0, 10.0, kNotInProduct);
    appendProduct(table, "TYPED", 10.0, 10.0);
    pricing::priceAllRows(table, [] {});
    table.moveTo(0);
    table.edit();
    table.setValue(product::priceField(2), FieldValue());
    table.post();

    EXPECT_EQ(review::reviewPrice(table, 0, 2).change, PriceChange::NeverComputed);
    EXPECT_EQ(review::reviewPrice(table, 0, 1).change, PriceChange::Unchanged);
    const review::PriceCellReview gone = review::reviewPrice(table, 1, 1);
    EXPECT_EQ(gone.change, PriceChange::NoLoadedPrice);
    EXPECT_TRUE(gone.productMissing);
    EXPECT_TRUE(review::productMissing(table, 1));
    const review::PriceCellReview typed = review::reviewPrice(table, 2, 1);
    EXPECT_EQ(typed.change, PriceChange::NoLoadedPrice);
    EXPECT_FALSE(typed.productMissing);
    EXPECT_FALSE(review::productMissing(table, 2));

    // The marks follow edits: a new cost and another calculation change the
    // judgement, with nothing else done.
    table.moveTo(0);
    table.edit();
    table.setValue(product::STD_COST, 20.0);
    table.post();
    pricing::priceCurrentRow(table);
    EXPECT_EQ(review::reviewPrice(table, 0, 1).change, PriceChange::Raised);
    EXPECT_EQ(review::changeText(review::reviewPrice(table, 0, 1)), "11 → 22 (+100.0%)");
}

}  // namespace
