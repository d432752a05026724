// The data view's load with the stored prices beside each row, and the
// review of a batch against the database, on real embedded databases.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Errors.h"
#include "PriceCalculation.h"
#include "PriceReview.h"
#include "CurrentPriceReader.h"
#include "ProductWorkTable.h"
#include "ReadService.h"
#include "ResultProvider.h"
#include "ReviewDatabase.h"
#include "ServerQuery.h"
#include "SubCategoryLoader.h"
#include "TDataLinkConnection.h"

namespace batch {
namespace {

using testsupport::ReviewDatabase;

using Loaded = std::array<std::optional<double>, product::kTierCount>;

class SubCategoryLoaderTest : public testing::Test {
protected:
    void SetUp() override { product::defineProductTable(table); }

    // The window's own chain of components on a connection made as it
    // makes it.
    struct Window {
        Window() { SQLConnection1.applyStoredProperties(); }
        db::TDataLinkConnection SQLConnection1{"SQLConnection1"};
        db::TServerQuery SQLDataSet1{SQLConnection1};
        db::TResultProvider DataSetProvider1{SQLDataSet1};
        db::TReadService ClientDataSet1{DataSetProvider1};
    };
    Window& window() {
        if (!window_) window_ = std::make_unique<Window>();
        return *window_;
    }
    catalog::LoadedSubCategory load(const std::string& key,
                                    catalog::LoadedPriceRead read = catalog::LoadedPriceRead::Read) {
        return catalog::TSubCategoryLoader(window().ClientDataSet1, window().SQLConnection1, read).load(table, key);
    }

    Loaded loadedAt(int row) {
        Loaded prices;
        const product::LoadedPrices* loaded = table.loadedPricesAt(row);
        for (int tier = 1; tier <= product::kTierCount; ++tier)
            prices[tier - 1] = loaded && *loaded ? (*loaded)->price(tier) : std::nullopt;
        return prices;
    }
    std::string idAt(int row) { return table.valueAt(row, product::PROD_ID).toString(); }
    int rowOf(const std::string& id, int from = 0) {
        for (int row = from; row < table.rowCount(); ++row)
            if (idAt(row) == id) return row;
        ADD_FAILURE() << "no row " << id;
        return 0;
    }

    ReviewDatabase db;
    TProductWorkTable table;
    std::unique_ptr<Window> window_;
};

TEST_F(SubCategoryLoaderTest, EachRowCarriesExactlyThePricesItsProductHasInTheDatabase) {
    // A2 CC comes back from Unicode as A4 51: the key and a number hold it.
    const std::string oddKey = "K\xA2\xCC", oddId = "P-\xA2\xCC";
    db.addSubCategory(oddKey, "10, 20, 30, 40, 50, 60");
    db.addSubCategory("K\xA4\x51", "1, 1, 1, 1, 1, 1");
    db.addProduct("P1", "Tea", "100", oddKey, "58, 60.5, 0, -3, 99999.99, 1");
    db.addProduct("P2", "Milk", "33", oddKey, "NULL, NULL, NULL, NULL, NULL, NULL");
    db.addProduct(oddId, "Odd", "10", oddKey, "7, NULL, 9, NULL, 11, 12.25");
    // Cut to the work table's 20 bytes, the number names no product.
    db.addProduct(std::string(25, '7'), "Long", "10", oddKey, "1, 2, 3, 4, 5, 6");
    db.addProduct("P9", "Other", "10", "K\xA4\x51", "5, 5, 5, 5, 5, 5");

    for (int press = 0; press < 2; ++press) {
        const catalog::LoadedSubCategory loaded = load(oddKey);
        EXPECT_TRUE(loaded.found);
        EXPECT_EQ(loaded.rowsAppended, 4);
    }
    ASSERT_EQ(table.rowCount(), 8);
    const Loaded nothing{};
    for (int from : {0, 4}) {
        SCOPED_TRACE(from == 0 ? "first press" : "second press");
        EXPECT_EQ(loadedAt(rowOf("P1", from)), (Loaded{58.0, 60.5, 0.0, -3.0, 99999.99, 1.0}));
        EXPECT_TRUE(table.loadedPricesAt(rowOf("P2", from))->has_value());
        EXPECT_EQ(loadedAt(rowOf("P2", from)), nothing);
        EXPECT_EQ(loadedAt(rowOf(oddId, from)), (Loaded{7.0, std::nullopt, 9.0, std::nullopt, 11.0, 12.25}));
        const int cut = rowOf(std::string(20, '7'), from);
        ASSERT_NE(table.loadedPricesAt(cut), nullptr);
        EXPECT_FALSE(table.loadedPricesAt(cut)->has_value());
        EXPECT_EQ(loadedAt(cut), nothing);
    }
    // The dataset still holds the products, read after the rates.
    EXPECT_EQ(window().ClientDataSet1.commandText(),
              "SELECT PROD_ID,PROD_NAME,STD_COST FROM PRODUCT WHERE PD_ITEMID = '" + oddKey + "'");
    EXPECT_EQ(window().ClientDataSet1.recordCount(), 4u);
}

TEST_F(SubCategoryLoaderTest, UnknownKeysAndSkippedReadsAppendNoLoadedPrices) {
    db.addSubCategory("A1", "10, 10, 10, 10, 10, 10");
    db.addSubCategory("E9", "10, 10, 10, 10, 10, 10");
    db.addProduct("P1", "Tea", "100", "A1", "1, 2, 3, 4, 5, 6");
    const catalog::LoadedSubCategory unknown = load("ZZ");
    EXPECT_FALSE(unknown.found);
    EXPECT_EQ(unknown.rowsAppended, 0);
    const catalog::LoadedSubCategory empty = load("E9");
    EXPECT_TRUE(empty.found);
    EXPECT_EQ(empty.rowsAppended, 0);
    EXPECT_EQ(load("A1", catalog::LoadedPriceRead::Skipped).rowsAppended, 1);
    EXPECT_EQ(table.loadedPricesAt(0), nullptr);
}

// The loaded prices are read straight from the cursor; what the rules
// refuse is refused before any row is appended, and what they allow comes
// through exactly.
struct LoadedCellCase {
    const char* what;
    std::vector<std::string> schema;  // run before the rows go in
    std::string productId;            // SQL literal
    std::string vipPrice;             // SQL literal
    const char* refusal;              // nullptr: read
    double read = 0;
};

void PrintTo(const LoadedCellCase& cell, std::ostream* out) { *out << cell.what; }

class LoadedPriceCellTest : public SubCategoryLoaderTest, public testing::WithParamInterface<LoadedCellCase> {};

TEST_P(LoadedPriceCellTest, RefusedBeforeAnyRowIsAppendedOrReadExactly) {
    const LoadedCellCase& cell = GetParam();
    if (!cell.schema.empty()) db.database.execute(cell.schema);
    db.addSubCategory("A1", "10, 10, 10, 10, 10, 10");
    db.database.execute("INSERT INTO PRODUCT VALUES (" + cell.productId + ", 'Tea', 100, 'A1', 1, 2, 3, 4, 5, " +
                        cell.vipPrice + ")");
    if (!cell.refusal) {
        ASSERT_EQ(load("A1").rowsAppended, 1);
        EXPECT_EQ(loadedAt(0), (Loaded{1.0, 2.0, 3.0, 4.0, 5.0, cell.read}));
        return;
    }
    try {
        load("A1");
        FAIL() << "no error";
    } catch (const rt::DatabaseError& error) {
        EXPECT_STREQ(error.what(), cell.refusal);
    }
    EXPECT_EQ(table.rowCount(), 0);
}

const std::vector<std::string> kVipPriceAsBigint = {"ALTER TABLE PRODUCT DROP VIP_PRICE",
                                                    "ALTER TABLE PRODUCT ADD VIP_PRICE BIGINT"};

INSTANTIATE_TEST_SUITE_P(
    Cells, LoadedPriceCellTest,
    testing::Values(
        LoadedCellCase{"text in a price column",
                       {"ALTER TABLE PRODUCT DROP VIP_PRICE", "ALTER TABLE PRODUCT ADD VIP_PRICE VARCHAR(10)"},
                       "'P1'", "'6'", "PRODUCT.VIP_PRICE is not a number column"},
        LoadedCellCase{"a whole number one past 2^53", kVipPriceAsBigint, "'P1'", "9007199254740993",
                       "PRODUCT.VIP_PRICE holds 9007199254740993, too large to read as a price"},
        LoadedCellCase{"a whole number one below -2^53", kVipPriceAsBigint, "'P1'", "-9007199254740993",
                       "PRODUCT.VIP_PRICE holds -9007199254740993, too large to read as a price"},
        LoadedCellCase{"2^53 itself, which has an exact double", kVipPriceAsBigint, "'P1'", "9007199254740992",
                       nullptr, 9007199254740992.0},
        LoadedCellCase{"a product number that is not text",
                       {"DROP TABLE PRODUCT",
                        "CREATE TABLE PRODUCT (PROD_ID INTEGER NOT NULL, PROD_NAME VARCHAR(80), STD_COST NUMERIC(15,2), "
                        "PD_ITEMID VARCHAR(10), SALE_PRICE NUMERIC(15,2), N_PRICE NUMERIC(15,2), P_PRICE NUMERIC(15,2), "
                        "P_PRICE2 NUMERIC(15,2), PSALE_PRICE NUMERIC(15,2), VIP_PRICE NUMERIC(15,2))"},
                       "7", "6", "PRODUCT.PROD_ID is not a text column"}),
    [](const testing::TestParamInfo<LoadedCellCase>& info) { return "Case" + std::to_string(info.index); });

// A batch of known changes: counts, the largest changes in order, and a
// product whose prices another program changed after the data view.
TEST_F(SubCategoryLoaderTest, ReviewCountsTheBatchAndFindsPricesChangedSince) {
    db.addSubCategory("A1", "10, 10, 10, 10, 10, 10");
    db.addProduct("UP", "Tea", "100", "A1", "100, 100, 100, 100, 100, 100");          // 110: +10%
    db.addProduct("DOWN", "Milk", "100", "A1", "220, 220, 220, 220, 220, 220");       // 110: -50%
    db.addProduct("SAME", "Soda", "100", "A1", "110, 110, 110, 110, 110, 110");
    db.addProduct("EMPTY", "Juice", "100", "A1", "NULL, NULL, NULL, NULL, NULL, NULL");
    db.addProduct("NOCOST", "Water", "NULL", "A1", "5, 5, 5, 5, 5, 5");
    db.addProduct("ZERO", "Free", "0", "A1", "1, 1, 1, 1, 1, 1");                     // 0: -100%
    load("A1");
    ASSERT_EQ(table.rowCount(), 6);
    for (table.first(); !table.eof(); table.next()) {
        if (table.value(product::STD_COST).isNull()) continue;  // the calculation would stop here
        pricing::priceCurrentRow(table);
    }
    // The operator types the cost of one tier below it.
    table.moveTo(rowOf("SAME"));
    table.edit();
    table.setValue(product::priceField(product::kTierCount), rt::FieldValue(90.0));
    table.post();

    TPriceReview review(table);
    ReviewCounts expected;
    expected.rows = 6;
    expected.raised = 6;
    expected.lowered = 6 + 6 + 1;
    expected.unchanged = 5;
    expected.belowCost = 1;
    expected.neverComputed = 6;
    expected.withoutLoadedPrice = 6;
    EXPECT_EQ(review.counts(), expected);
    ASSERT_EQ(review.largestChanges().size(), TPriceReview::kLargestChanges);
    for (std::size_t i = 0; i < product::kTierCount; ++i) {
        EXPECT_EQ(review.largestChanges()[i].productId, "ZERO") << i;
        EXPECT_EQ(review.largestChanges()[i].tier, static_cast<int>(i) + 1);
    }
    for (std::size_t i = product::kTierCount; i < 10; ++i)
        EXPECT_EQ(review.largestChanges()[i].productId, "DOWN") << i;

    // Nothing changed yet: nothing to tell.
    catalog::TCurrentPriceReader current(window().SQLConnection1);
    review.compareWithDatabase(current);
    EXPECT_TRUE(review.changedSince().empty());
    const QString quiet = review.summaryText();
    EXPECT_EQ(quiet, QString::fromUtf8("共 6 列。價格調高 6，調低 13，不變 5，低於成本 1，未計算 6。無原價可比 6。"));

    db.database.execute("UPDATE PRODUCT SET N_PRICE = 105 WHERE PROD_ID = 'UP'");
    db.database.execute("DELETE FROM PRODUCT WHERE PROD_ID = 'EMPTY'");
    review.compareWithDatabase(current);
    ASSERT_EQ(review.changedSince().size(), 2u);
    EXPECT_EQ(review.changedSince()[0].productId, "UP");
    EXPECT_EQ(review.changedSince()[1].productId, "EMPTY");
    EXPECT_FALSE(review.changedSince()[1].now.has_value());
    EXPECT_EQ(review.summaryText(),
              quiet + QString::fromUtf8("\n資料檢視後，資料庫中已有 2 項商品的價格被更改；要重新載入請按 No。"));
    const QStringList details = review.detailsText().split(QLatin1Char('\n'));
    ASSERT_EQ(details.size(), 1 + 10 + 1 + 1 + 2);
    EXPECT_EQ(details[0], QString::fromUtf8("變動最大的價格："));
    EXPECT_EQ(details[1], QString::fromUtf8("ZERO Free  市價  1 → 0 (-100.0%)"));
    EXPECT_EQ(details[7], QString::fromUtf8("DOWN Milk  市價  220 → 110 (-50.0%)"));
    EXPECT_EQ(details[11], QString());
    EXPECT_EQ(details[13], QString::fromUtf8("UP Tea  100 100 100 100 100 100 → 100 105 100 100 100 100"));
    EXPECT_EQ(details[14], QString::fromUtf8("EMPTY Juice  - - - - - - → 不在 PRODUCT"));
}

}  // namespace
}  // namespace batch
