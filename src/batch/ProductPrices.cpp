#include "ProductPrices.h"

#include "ConnectionTransaction.h"
#include "Errors.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace batch {

namespace {

std::string priceColumns() {
    std::string columns;
    for (std::size_t tier = 0; tier < kPriceParameters.size(); ++tier)
        columns += std::string(tier ? ", " : "") + kPriceParameters[tier];
    return columns;
}

std::string priceSelect() { return "SELECT " + priceColumns() + " FROM PRODUCT WHERE PROD_ID = :PROD_ID"; }

std::string chunkMarker(std::size_t index) { return "ID" + std::to_string(index); }

std::string chunkSelect() {
    std::string sql = "SELECT PROD_ID, " + priceColumns() + " FROM PRODUCT WHERE PROD_ID IN (";
    for (std::size_t i = 0; i < TProductPrices::kChunkSize; ++i) sql += (i ? ", :" : ":") + chunkMarker(i);
    return sql + ")";
}

// The database compares numbers with trailing blanks ignored; a blank is
// never part of a Big5 double-byte character, so cutting them is safe.
std::string_view comparedPart(std::string_view productId) {
    const std::size_t end = productId.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : productId.substr(0, end + 1);
}

rt::FieldValue priceAt(const db::RecordStore& store, std::size_t column, std::size_t row) {
    if (store.isNull(column, row)) return rt::FieldValue::null();
    switch (store.columnType(column)) {
        case dl::ColumnType::Double: return rt::FieldValue(store.doubleAt(column, row));
        case dl::ColumnType::Integer: {
            // A whole number beyond 2^53 has no exact double; it is refused,
            // not rounded into another price.
            const std::int64_t value = store.integerAt(column, row);
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

Prices pricesAt(const db::RecordStore& store, std::size_t firstColumn, std::size_t row) {
    Prices prices;
    for (std::size_t tier = 0; tier < prices.size(); ++tier) prices[tier] = priceAt(store, firstColumn + tier, row);
    return prices;
}

TProductPrices::TProductPrices(db::TDataLinkConnection& connection)
    : query_(connection, "ProductPrices", priceSelect()), chunkQuery_(connection, "ProductPrices", chunkSelect()) {}

std::optional<Prices> TProductPrices::read(const std::string& productId) {
    query_.paramByName("PROD_ID").setAsString(productId);
    const db::RecordStore store = query_.run();
    if (store.rowCount() == 0) return std::nullopt;
    return pricesAt(store, 0, 0);
}

std::vector<std::optional<Prices>> TProductPrices::readAll(const std::vector<std::string>& productIds) {
    std::vector<std::optional<Prices>> prices(productIds.size());
    if (productIds.empty()) return prices;
    db::TDataLinkConnection& connection = query_.connection();
    std::optional<db::TConnectionTransaction> reading;
    if (!connection.inTransaction()) reading.emplace(connection);
    for (std::size_t first = 0; first < productIds.size(); first += kChunkSize) readChunk(productIds, first, prices);
    if (reading) reading->commit();
    return prices;
}

void TProductPrices::readChunk(const std::vector<std::string>& productIds, std::size_t first,
                               std::vector<std::optional<Prices>>& prices) {
    const std::size_t end = std::min(productIds.size(), first + kChunkSize);
    db::TParams& params = chunkQuery_.params();  // one per marker, in order
    for (std::size_t i = 0; i < kChunkSize; ++i) params[i].setAsString(productIds[std::min(first + i, end - 1)]);
    const db::RecordStore store = chunkQuery_.run();
    // The row of each number as the database compares it; npos for one that
    // several rows share, which only a lookup of its own answers as read().
    constexpr std::size_t kShared = std::string::npos;
    std::unordered_map<std::string_view, std::size_t> rowOf;
    const bool textNumbers = store.columnType(0) == dl::ColumnType::Text;
    for (std::size_t row = 0; textNumbers && row < store.rowCount(); ++row) {
        if (store.isNull(0, row)) continue;
        auto [found, added] = rowOf.emplace(comparedPart(store.textAt(0, row)), row);
        if (!added) found->second = kShared;
    }
    for (std::size_t index = first; index < end; ++index) {
        const auto found = rowOf.find(comparedPart(productIds[index]));
        if (found != rowOf.end() && found->second != kShared)
            prices[index] = pricesAt(store, 1, found->second);
        else
            prices[index] = read(productIds[index]);
    }
}

}  // namespace batch
