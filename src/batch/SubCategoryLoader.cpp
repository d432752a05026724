#include "SubCategoryLoader.h"

#include <cstdint>
#include <unordered_map>

#include "Errors.h"
#include "PriceUpdate.h"
#include "ProductWorkTable.h"
#include "ReadService.h"
#include "ResultProvider.h"
#include "ScopeGuard.h"
#include "ServerQuery.h"
#include "SubCategoryKey.h"

namespace batch {

namespace {

using StoredPriceMap = std::unordered_map<std::string, TStoredPrices>;

std::optional<double> storedPrice(const db::TField& field) {
    const rt::FieldValue value = field.value();
    switch (value.kind()) {
        case rt::FieldValue::Kind::Null: return std::nullopt;
        case rt::FieldValue::Kind::Double: return value.doubleValue();
        case rt::FieldValue::Kind::Integer: {
            // A whole number beyond 2^53 has no exact double; it is refused,
            // not shown as another price.
            constexpr std::int64_t kExact = std::int64_t(1) << 53;
            if (value.integerValue() > kExact || value.integerValue() < -kExact)
                throw rt::DatabaseError("PRODUCT." + field.fieldName() + " holds " +
                                        std::to_string(value.integerValue()) + ", too large to read as a price");
            return static_cast<double>(value.integerValue());
        }
        case rt::FieldValue::Kind::Text: break;
    }
    throw rt::DatabaseError("PRODUCT." + field.fieldName() + " is not a number column");
}

// Every product of the sub-category with its six prices, by number. A
// number PRODUCT holds twice keeps its first row, as the UPDATE's rows
// cannot be told apart anyway.
StoredPriceMap readStoredPrices(db::TDataLinkConnection& connection, const std::string& keyLiteral) {
    db::TServerQuery query(connection, "StoredPriceQuery");
    db::TResultProvider provider(query, "StoredPriceProvider");
    db::TReadService prices(provider, "StoredPrices");
    prices.setCommandText(TSubCategoryLoader::storedPriceSelect(keyLiteral));
    prices.open();
    StoredPriceMap byProduct;
    byProduct.reserve(prices.recordCount());
    const db::TField productId = prices.fields(0);
    for (prices.first(); !prices.eof(); prices.next()) {
        TStoredPrices stored = TStoredPrices::inProduct();
        for (int tier = 1; tier <= product::kTierCount; ++tier)
            stored.setPrice(tier, storedPrice(prices.fields(static_cast<std::size_t>(tier))));
        byProduct.emplace(productId.asString(), stored);
    }
    return byProduct;
}

}  // namespace

TSubCategoryLoader::TSubCategoryLoader(db::TReadService& dataSet, db::TDataLinkConnection& connection,
                                       StoredPriceRead storedPrices)
    : dataSet_(dataSet), connection_(connection), storedPrices_(storedPrices) {}

std::string TSubCategoryLoader::storedPriceSelect(const std::string& keyLiteral) {
    std::string sql = "SELECT PROD_ID";
    for (const char* column : kPriceParameters) sql += std::string(",") + column;
    return sql + " FROM PRODUCT WHERE PD_ITEMID = " + keyLiteral;
}

LoadedSubCategory TSubCategoryLoader::load(TProductWorkTable& table, const std::string& key) {
    const std::string keyLiteral = app::sqlStringLiteral(key);
    dataSet_.close();
    dataSet_.setCommandText("SELECT * FROM PROD_ITEM WHERE PD_ITEMID = " + keyLiteral);
    dataSet_.open();
    LoadedSubCategory loaded;
    loaded.found = dataSet_.recordCount() > 0;
    const std::array<double, 6> rates = readRates();

    dataSet_.close();
    dataSet_.setCommandText("SELECT PROD_ID,PROD_NAME,STD_COST FROM PRODUCT WHERE PD_ITEMID = " + keyLiteral);
    dataSet_.open();
    if (dataSet_.recordCount() > 0) loaded.rowsAppended = appendProducts(table, rates, keyLiteral);
    return loaded;
}

// A rate is read as text and converted with the locale's decimal separator;
// null, empty or anything that is no plain number gives 0.
std::array<double, 6> TSubCategoryLoader::readRates() const {
    std::array<double, 6> rates{};
    for (int tier = 1; tier <= 6; ++tier) {
        const std::string text = dataSet_.fieldByName("d_profit" + std::to_string(tier)).asString();
        rates[static_cast<std::size_t>(tier - 1)] = rt::parseDecimal(text, dataSet_.decimalSeparator()).value_or(0.0);
    }
    return rates;
}

int TSubCategoryLoader::appendProducts(TProductWorkTable& table, const std::array<double, 6>& rates,
                                       const std::string& keyLiteral) {
    const bool withStoredPrices = storedPrices_ == StoredPriceRead::Read;
    const StoredPriceMap stored = withStoredPrices ? readStoredPrices(connection_, keyLiteral) : StoredPriceMap();
    const db::TField productId = dataSet_.fieldByName("PROD_ID");
    const db::TField productName = dataSet_.fieldByName("PROD_NAME");
    const db::TField standardCost = dataSet_.fieldByName("STD_COST");
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
        if (withStoredPrices) {
            // Matched on the number as the row holds it, cut to the field's
            // size: the product the write-back's UPDATE will reach.
            const auto found = stored.find(table.text(product::PROD_ID));
            table.setStoredPrices(found == stored.end() ? TStoredPrices::notInProduct() : found->second);
        }
        table.post();
        ++appended;
        dataSet_.next();
    }
    return appended;
}

}  // namespace batch
