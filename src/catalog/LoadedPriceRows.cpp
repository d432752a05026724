#include "StoredPriceRows.h"

#include "CursorRows.h"
#include "Errors.h"
#include "ProductPrices.h"

namespace catalog {

namespace {

constexpr std::size_t kColumns = 1 + product::kTierCount;

}  // namespace

void TStoredPriceRows::checkColumns(const db::TCursorRows& rows) {
    if (rows.columnCount() < kColumns)
        throw rt::DatabaseError("The price read gives " + std::to_string(rows.columnCount()) + " columns, not " +
                                std::to_string(kColumns));
    if (rows.columnType(0) != dl::ColumnType::Text) throw rt::DatabaseError("PRODUCT.PROD_ID is not a text column");
}

void TStoredPriceRows::readFrom(db::TCursorRows& rows, std::size_t expectedRows) {
    // The column types count only when there is a row to read, as with the
    // whole result held.
    if (!rows.next()) return;
    prices_.reserve(prices_.size() + expectedRows);
    idEnds_.reserve(idEnds_.size() + expectedRows);
    checkColumns(rows);
    do appendRow(rows);
    while (rows.next());
}

TStoredPrices storedPricesAt(db::TCursorRows& rows, std::size_t firstColumn) {
    TStoredPrices stored = TStoredPrices::inProduct();
    for (int tier = 1; tier <= product::kTierCount; ++tier) {
        const std::size_t column = firstColumn + static_cast<std::size_t>(tier - 1);
        switch (rows.columnType(column)) {
            case dl::ColumnType::Double: {
                double price = 0;
                if (rows.doubleAt(column, price)) stored.setPrice(tier, price);
                break;
            }
            case dl::ColumnType::Integer: {
                std::int64_t price = 0;
                if (rows.integerAt(column, price))
                    stored.setPrice(tier, storedIntegerPrice(rows.columnName(column), price));
                break;
            }
            case dl::ColumnType::Text: {
                std::string_view text;
                if (rows.textAt(column, text)) throw notANumberColumn(rows.columnName(column));
                break;
            }
        }
    }
    return stored;
}

void TStoredPriceRows::appendRow(db::TCursorRows& rows) {
    std::string_view id;
    if (rows.textAt(0, id)) ids_.append(id);
    idEnds_.push_back(ids_.size());
    prices_.push_back(storedPricesAt(rows, 1));
}

std::string_view TStoredPriceRows::productId(std::size_t row) const {
    const std::size_t begin = row == 0 ? 0 : idEnds_[row - 1];
    return std::string_view(ids_).substr(begin, idEnds_[row] - begin);
}

}  // namespace catalog
