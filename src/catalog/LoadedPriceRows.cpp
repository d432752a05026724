#include "LoadedPriceRows.h"

#include "CursorRows.h"
#include "Errors.h"
#include "PriceCells.h"

namespace catalog {

namespace {

constexpr std::size_t kColumns = 1 + product::kTierCount;

}  // namespace

void TLoadedPriceRows::checkColumns(const db::TCursorRows& rows) {
    if (rows.columnCount() < kColumns)
        throw rt::DatabaseError("The price read gives " + std::to_string(rows.columnCount()) + " columns, not " +
                                std::to_string(kColumns));
    if (rows.columnType(0) != dl::ColumnType::Text) throw rt::DatabaseError("PRODUCT.PROD_ID is not a text column");
}

void TLoadedPriceRows::readFrom(db::TCursorRows& rows, std::size_t expectedRows) {
    // The column types count only when there is a row to read, as with the
    // whole result held.
    if (!rows.next()) return;
    prices_.reserve(prices_.size() + expectedRows);
    idEnds_.reserve(idEnds_.size() + expectedRows);
    checkColumns(rows);
    do appendRow(rows);
    while (rows.next());
}

void TLoadedPriceRows::appendRow(db::TCursorRows& rows) {
    std::string_view id;
    if (rows.textAt(0, id)) ids_.append(id);
    idEnds_.push_back(ids_.size());
    prices_.push_back(readTierPrices(rows, 1));
}

std::string_view TLoadedPriceRows::productId(std::size_t row) const {
    const std::size_t begin = row == 0 ? 0 : idEnds_[row - 1];
    return std::string_view(ids_).substr(begin, idEnds_[row] - begin);
}

}  // namespace catalog
