#include "SubCategoryLoader.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "CursorRows.h"
#include "Errors.h"
#include "ProductStatements.h"
#include "ProductWorkTable.h"
#include "ReadAgain.h"
#include "ReadService.h"
#include "ScopeGuard.h"
#include "ServerQuery.h"
#include "LoadedPriceRows.h"
#include "SubCategoryKey.h"

namespace catalog {

namespace {

// The loaded prices of one sub-category, read by one statement straight
// from its cursor, found by product number. Both reads of a press
// select the same rows, so the products usually come in the same order as
// their prices: the row at the same position is tried first, and a table by
// number is built only when that misses. The records go to the work table
// whole, without a copy, and rows refer to them by number, so that a large
// sub-category costs one fetch and one compact record per product (the
// review benchmark measures the load with and without them).
class TLoadedPriceLookup {
public:
    // The records go to the table at once.
    TLoadedPriceLookup(TLoadedPriceRows prices, TProductWorkTable& table) : prices_(std::move(prices)) {
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
    SubCategoryRead read = this->read(key);
    return append(table, read);
}

SubCategoryRead TSubCategoryLoader::read(const std::string& key) {
    const std::string keyLiteral = sqlStringLiteral(key);
    dataSet_.close();
    dataSet_.setCommandText(subCategorySelect(keyLiteral));
    dataSet_.open();
    SubCategoryRead read;
    read.found = dataSet_.recordCount() > 0;
    read.rates = readRates();

    dataSet_.close();
    dataSet_.setCommandText(subCategoryProductsSelect(keyLiteral));
    dataSet_.open();
    if (dataSet_.recordCount() > 0 && loadedPrices_ == LoadedPriceRead::Read)
        read.loadedPrices = readLoadedPrices(keyLiteral, dataSet_.recordCount());
    return read;
}

// Every price is checked here, before any row is appended; the room
// includes the record of the products PRODUCT lacks.
TLoadedPriceRows TSubCategoryLoader::readLoadedPrices(const std::string& keyLiteral, std::size_t expectedRows) {
    TLoadedPriceRows prices;
    db::readAgainIfConnectionLost(connection_, [&] {
        prices = TLoadedPriceRows();
        db::TServerQuery query(connection_, "StoredPriceQuery");
        query.setCommandText(subCategoryPricesSelect(keyLiteral));
        query.open();
        const rt::ScopeGuard closeQuery([&query] { query.close(); });
        db::TCursorRows rows(*query.cursor(), [&query](dl::DriverResult result) { query.checkCursor(result); });
        prices.readFrom(rows, expectedRows + 1);
    });
    return prices;
}

LoadedSubCategory TSubCategoryLoader::append(TProductWorkTable& table, SubCategoryRead& read) {
    LoadedSubCategory loaded;
    loaded.found = read.found;
    if (dataSet_.recordCount() > 0)
        loaded.rowsAppended = appendProducts(table, read.rates, std::move(read.loadedPrices));
    read.loadedPrices.reset();
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
                                       std::optional<TLoadedPriceRows> prices) {
    std::optional<TLoadedPriceLookup> loadedPrices;
    if (prices) loadedPrices.emplace(std::move(*prices), table);
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
