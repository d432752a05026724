#include "ProductPrices.h"

#include "Errors.h"

namespace batch {

namespace {

rt::FieldValue priceAt(const db::RecordStore& store, std::size_t column) {
    if (store.isNull(column, 0)) return rt::FieldValue::null();
    switch (store.columnType(column)) {
        case dl::ColumnType::Double: return rt::FieldValue(store.doubleAt(column, 0));
        case dl::ColumnType::Integer: {
            // A whole number beyond 2^53 has no exact double; it is refused,
            // not rounded into another price.
            const std::int64_t value = store.integerAt(column, 0);
            constexpr std::int64_t kExact = std::int64_t(1) << 53;
            if (value > kExact || value < -kExact)
                throw rt::DatabaseError("PRODUCT." + store.columnName(column) + " holds " + std::to_string(value) +
                                        ", too large to read as a price");
            return rt::FieldValue(static_cast<double>(value));
        }
        case dl::ColumnType::Text: break;
    }
    throw rt::DatabaseError("PRODUCT." + store.columnName(column) + " is not a number column");
}

}  // namespace

TProductPrices::TProductPrices(db::TDataLinkConnection& connection)
    : query_(connection, "ProductPrices", currentPricesSelect()) {}

std::optional<Prices> TProductPrices::read(const std::string& productId) {
    query_.paramByName("PROD_ID").setAsString(productId);
    const db::RecordStore store = query_.run();
    if (store.rowCount() == 0) return std::nullopt;
    Prices prices;
    for (std::size_t tier = 0; tier < prices.size(); ++tier) prices[tier] = priceAt(store, tier);
    return prices;
}

std::vector<std::optional<Prices>> TProductPrices::readAll(const std::vector<std::string>& productIds) {
    std::vector<std::optional<Prices>> prices;
    prices.reserve(productIds.size());
    for (const std::string& productId : productIds) prices.push_back(read(productId));
    return prices;
}

}  // namespace batch
