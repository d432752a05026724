#include "SubCategoryLoader.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "Errors.h"
#include "PriceUpdate.h"
#include "ProductPrices.h"
#include "ProductStatements.h"
#include "ProductWorkTable.h"
#include "ReadService.h"
#include "ResultProvider.h"
#include "ScopeGuard.h"
#include "ServerQuery.h"
#include "SubCategoryKey.h"

namespace batch {

namespace {

std::optional<double> storedPrice(const db::RecordStore& store, std::size_t column, std::size_t row) {
    const rt::FieldValue price = storedPriceAt(store, column, row);
    if (price.isNull()) return std::nullopt;
    return price.doubleValue();
}

// The stored prices of one sub-category, read by one statement and found by
// product number. Both reads of a press select the same rows, so the
// products usually come in the same order as their prices: the row at the
// same position is tried first, and a table by number is built only when
// that misses.
class TStoredPriceLookup {
public:
    TStoredPriceLookup(db::TDataLinkConnection& connection, const std::string& keyLiteral)
        : query_(connection, "StoredPriceQuery"), provider_(query_, "StoredPriceProvider"),
          prices_(provider_, "StoredPrices") {
        prices_.setCommandText(storedPricesSelect(keyLiteral));
        prices_.open();
        const db::RecordStore& store = prices_.records();
        if (store.rowCount() > 0 && store.columnType(0) != dl::ColumnType::Text)
            throw rt::DatabaseError("PRODUCT.PROD_ID is not a text column");
        // Every price is checked before any row is appended.
        for (std::size_t row = 0; row < store.rowCount(); ++row)
            for (std::size_t column = 1; column <= product::kTierCount; ++column) storedPrice(store, column, row);
    }

    // position: the product's row in the products' read.
    TStoredPrices find(std::string_view productId, std::size_t position) {
        const db::RecordStore& store = prices_.records();
        if (position < store.rowCount() && store.textAt(0, position) == productId) return pricesAt(position);
        if (!indexed_) index();
        const auto found = byNumber_.find(productId);
        return found == byNumber_.end() ? TStoredPrices::notInProduct() : pricesAt(found->second);
    }

private:
    TStoredPrices pricesAt(std::size_t row) const {
        TStoredPrices stored = TStoredPrices::inProduct();
        for (int tier = 1; tier <= product::kTierCount; ++tier)
            stored.setPrice(tier, storedPrice(prices_.records(), static_cast<std::size_t>(tier), row));
        return stored;
    }
    // A number PRODUCT holds twice keeps its first row.
    void index() {
        const db::RecordStore& store = prices_.records();
        byNumber_.reserve(store.rowCount());
        for (std::size_t row = 0; row < store.rowCount(); ++row) byNumber_.emplace(store.textAt(0, row), row);
        indexed_ = true;
    }

    db::TServerQuery query_;
    db::TResultProvider provider_;
    db::TReadService prices_;
    bool indexed_ = false;
    std::unordered_map<std::string_view, std::size_t> byNumber_;  // views into prices_' own bytes
};

}  // namespace

TSubCategoryLoader::TSubCategoryLoader(db::TReadService& dataSet, db::TDataLinkConnection& connection,
                                       StoredPriceRead storedPrices)
    : dataSet_(dataSet), connection_(connection), storedPrices_(storedPrices) {}


LoadedSubCategory TSubCategoryLoader::load(TProductWorkTable& table, const std::string& key) {
    const std::string keyLiteral = app::sqlStringLiteral(key);
    dataSet_.close();
    dataSet_.setCommandText(subCategorySelect(keyLiteral));
    dataSet_.open();
    LoadedSubCategory loaded;
    loaded.found = dataSet_.recordCount() > 0;
    const std::array<double, 6> rates = readRates();

    dataSet_.close();
    dataSet_.setCommandText(subCategoryProductsSelect(keyLiteral));
    dataSet_.open();
    if (dataSet_.recordCount() > 0) loaded.rowsAppended = appendProducts(table, rates, keyLiteral);
    return loaded;
}

// A rate is read as text and converted with the locale's decimal separator;
// null, empty or anything that is no plain number gives 0.
std::array<double, 6> TSubCategoryLoader::readRates() const {
    std::array<double, 6> rates{};
    for (int tier = 1; tier <= 6; ++tier) {
        const std::string text = dataSet_.fieldByName(markupRateColumn(tier)).asString();
        rates[static_cast<std::size_t>(tier - 1)] = rt::parseDecimal(text, dataSet_.decimalSeparator()).value_or(0.0);
    }
    return rates;
}

int TSubCategoryLoader::appendProducts(TProductWorkTable& table, const std::array<double, 6>& rates,
                                       const std::string& keyLiteral) {
    std::optional<TStoredPriceLookup> stored;
    if (storedPrices_ == StoredPriceRead::Read) stored.emplace(connection_, keyLiteral);
    const db::TField productId = dataSet_.fieldByName(kProductIdColumn);
    const db::TField productName = dataSet_.fieldByName(kProductNameColumn);
    const db::TField standardCost = dataSet_.fieldByName(kStandardCostColumn);
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
        for (int tier = 1; tier <= 6; ++tier)
            table.setValue(product::rateField(tier), rt::FieldValue(rates[static_cast<std::size_t>(tier - 1)]));
        if (stored) {
            // Matched on the number as the row holds it, cut to the field's
            // size: the product the write-back's UPDATE will reach.
            const std::string productNumber = table.text(product::PROD_ID);
            table.setStoredPrices(stored->find(productNumber, static_cast<std::size_t>(appended)));
        }
        table.post();
        ++appended;
        dataSet_.next();
    }
    return appended;
}

}  // namespace batch
