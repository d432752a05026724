#include "SubCategoryLoader.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "CursorRows.h"
#include "Errors.h"
#include "ProductStatements.h"
#include "ProductWorkTable.h"
#include "ReadService.h"
#include "ScopeGuard.h"
#include "ServerQuery.h"
#include "LoadedPriceRows.h"
#include "SubCategoryKey.h"

namespace catalog {

namespace {

// The loaded prices of one sub-category, read by one statement straight
// from its cursor and found by product number. Both reads of a press
// select the same rows, so the products usually come in the same order as
// their prices: the row at the same position is tried first, and a table by
// number is built only when that misses. The records go to the work table
// whole, without a copy, and rows refer to them by number, so that a large
// sub-category costs one fetch and one compact record per product (the
// review benchmark measures the load with and without them).
class TLoadedPriceLookup {
public:
    // The records go to the table at once; expectedRows: the products read.
    TLoadedPriceLookup(db::TDataLinkConnection& connection, const std::string& keyLiteral, TProductWorkTable& table,
                       std::size_t expectedRows)
        : query_(connection, "StoredPriceQuery") {
        query_.setCommandText(subCategoryPricesSelect(keyLiteral));
        query_.open();
        {
            const rt::ScopeGuard closeQuery([this] { query_.close(); });
            db::TCursorRows rows(*query_.cursor(), [this](dl::DriverResult result) { query_.checkCursor(result); });
            // Every price is checked here, before any row is appended; the
            // room includes the record of the products PRODUCT lacks.
            prices_.readFrom(rows, expectedRows + 1);
        }
        std::vector<product::LoadedPrices> records = prices_.takePrices();
        records.push_back(std::nullopt);  // shared by the products PRODUCT lacks
        firstRecord_ = table.keepLoadedPrices(std::move(records));
    }

    // The table's record for a product; position: its row in the products'
    // read.
    std::size_t recordOf(std::string_view productId, std::size_t position) {
        return firstRecord_ + rowOf(productId, position);
    }

private:
    std::size_t rowOf(std::string_view productId, std::size_t position) {
        if (position < prices_.size() && prices_.productId(position) == productId) return position;
        if (!indexed_) index();
        const auto found = byNumber_.find(productId);
        return found == byNumber_.end() ? prices_.size() : found->second;
    }
    // A number PRODUCT holds twice keeps its first row.
    void index() {
        byNumber_.reserve(prices_.size());
        for (std::size_t row = 0; row < prices_.size(); ++row) byNumber_.emplace(prices_.productId(row), row);
        indexed_ = true;
    }

    db::TServerQuery query_;
    TLoadedPriceRows prices_;
    std::size_t firstRecord_ = 0;
    bool indexed_ = false;
    std::unordered_map<std::string_view, std::size_t> byNumber_;  // views into prices_' own bytes
};

}  // namespace

TSubCategoryLoader::TSubCategoryLoader(db::TReadService& dataSet, db::TDataLinkConnection& connection,
                                       LoadedPriceRead loadedPrices)
    : dataSet_(dataSet), connection_(connection), loadedPrices_(loadedPrices) {}

LoadedSubCategory TSubCategoryLoader::load(TProductWorkTable& table, const std::string& key) {
    const std::string keyLiteral = sqlStringLiteral(key);
    dataSet_.close();
    dataSet_.setCommandText(subCategorySelect(keyLiteral));
    dataSet_.open();
    LoadedSubCategory loaded;
    loaded.found = dataSet_.recordCount() > 0;
    const std::array<double, product::kTierCount> rates = readRates();

    dataSet_.close();
    dataSet_.setCommandText(subCategoryProductsSelect(keyLiteral));
    dataSet_.open();
    if (dataSet_.recordCount() > 0) loaded.rowsAppended = appendProducts(table, rates, keyLiteral);
    return loaded;
}

// A rate is read as text and converted with the locale's decimal separator;
// null, empty or anything that is no plain number gives 0.
std::array<double, product::kTierCount> TSubCategoryLoader::readRates() const {
    std::array<double, product::kTierCount> rates{};
    for (int tier = 1; tier <= product::kTierCount; ++tier) {
        const std::string text = dataSet_.fieldByName(markupRateColumn(tier)).asString();
        rates[static_cast<std::size_t>(tier - 1)] = rt::parseDecimal(text, dataSet_.decimalSeparator()).value_or(0.0);
    }
    return rates;
}

int TSubCategoryLoader::appendProducts(TProductWorkTable& table, const std::array<double, product::kTierCount>& rates,
                                       const std::string& keyLiteral) {
    std::optional<TLoadedPriceLookup> loadedPrices;
    if (loadedPrices_ == LoadedPriceRead::Read)
        loadedPrices.emplace(connection_, keyLiteral, table, static_cast<std::size_t>(dataSet_.recordCount()));
    const db::TResultField productId = dataSet_.fieldByName(kProductIdColumn);
    const db::TResultField productName = dataSet_.fieldByName(kProductNameColumn);
    const db::TResultField standardCost = dataSet_.fieldByName(kStandardCostColumn);
    // The grid hears of the new rows once, at the end, not row by row.
    table.reserve(static_cast<int>(dataSet_.recordCount()));
    table.disableControls();
    const rt::ScopeGuard enableControls([&table] { table.enableControls(); });
    int appended = 0;
    dataSet_.first();
    while (!dataSet_.eof()) {
        table.append();
        table.setValue(product::PROD_ID, rt::FieldValue::text(productId.asString()));
        table.setValue(product::PROD_NAME, rt::FieldValue::text(productName.asString()));
        table.setValue(product::STD_COST, standardCost.value());
        for (int tier = 1; tier <= product::kTierCount; ++tier)
            table.setValue(product::rateField(tier), rt::FieldValue(rates[static_cast<std::size_t>(tier - 1)]));
        if (loadedPrices) {
            // Matched on the number as the row holds it, cut to the field's
            // size: the product the write-back's UPDATE will reach.
            table.setLoadedPricesRecord(loadedPrices->recordOf(table.textView(product::PROD_ID), static_cast<std::size_t>(appended)));
        }
        table.post();
        ++appended;
        dataSet_.next();
    }
    return appended;
}

}  // namespace catalog
