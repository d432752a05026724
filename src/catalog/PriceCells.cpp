#include "PriceCells.h"

#include <string_view>

#include "CursorRows.h"

namespace catalog {

double wholeNumberPrice(const std::string& columnName, std::int64_t value) {
    // A whole number beyond 2^53 has no exact double; it is refused, not
    // rounded into another price.
    constexpr std::int64_t kExact = std::int64_t(1) << 53;
    if (value > kExact || value < -kExact)
        throw rt::DatabaseError("PRODUCT." + columnName + " holds " + std::to_string(value) +
                                ", too large to read as a price");
    return static_cast<double>(value);
}

rt::DatabaseError notANumberColumn(const std::string& columnName) {
    return rt::DatabaseError("PRODUCT." + columnName + " is not a number column");
}

std::optional<double> readPriceCell(const db::RecordStore& store, std::size_t column, std::size_t row) {
    if (store.isNull(column, row)) return std::nullopt;
    switch (store.columnType(column)) {
        case dl::ColumnType::Double: return store.doubleAt(column, row);
        case dl::ColumnType::Integer: return wholeNumberPrice(store.columnName(column), store.integerAt(column, row));
        case dl::ColumnType::Text: break;
    }
    throw notANumberColumn(store.columnName(column));
}

product::TierPrices readTierPrices(db::TCursorRows& rows, std::size_t firstColumn) {
    product::TierPrices prices;
    for (int tier = 1; tier <= product::kTierCount; ++tier) {
        const std::size_t column = firstColumn + static_cast<std::size_t>(tier - 1);
        switch (rows.columnType(column)) {
            case dl::ColumnType::Double: {
                double price = 0;
                if (rows.doubleAt(column, price)) prices.setPrice(tier, price);
                break;
            }
            case dl::ColumnType::Integer: {
                std::int64_t price = 0;
                if (rows.integerAt(column, price)) prices.setPrice(tier, wholeNumberPrice(rows.columnName(column), price));
                break;
            }
            case dl::ColumnType::Text: {
                std::string_view text;
                if (rows.textAt(column, text)) throw notANumberColumn(rows.columnName(column));
                break;
            }
        }
    }
    return prices;
}

}  // namespace catalog
