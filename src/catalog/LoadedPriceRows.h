// Product numbers with the six prices PRODUCT holds for each, read straight
// from a cursor into one byte arena and one compact price record per row:
// no cell objects, no second copy of the result. The cursor's first column
// is PROD_ID, the next six the prices in tier order; the values follow
// storedPriceAt's rules, refusals included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "StoredPrices.h"

namespace db {
class TCursorRows;
}

namespace catalog {

// The current row's six prices from columns firstColumn to firstColumn + 5,
// by storedPriceAt's rules.
TStoredPrices storedPricesAt(db::TCursorRows& rows, std::size_t firstColumn);

class TStoredPriceRows {
public:
    // Appends every row left in the cursor. Raises when PROD_ID is not
    // text, or a price cell holds no number or a whole number without an
    // exact double; the caller then drops what was read.
    // expectedRows: room made beforehand, so that a large read does not
    // move what it holds again and again.
    void readFrom(db::TCursorRows& rows, std::size_t expectedRows = 0);

    std::size_t size() const { return idEnds_.size(); }
    // The bytes as stored; a null number reads as empty.
    std::string_view productId(std::size_t row) const;
    // Until takePrices().
    const TStoredPrices& prices(std::size_t row) const { return prices_[row]; }
    // Hands the price records over whole, row for row; the numbers stay.
    std::vector<TStoredPrices> takePrices() { return std::move(prices_); }

private:
    static void checkColumns(const db::TCursorRows& rows);
    void appendRow(db::TCursorRows& rows);

    std::string ids_;
    std::vector<std::size_t> idEnds_;
    std::vector<TStoredPrices> prices_;
};

}  // namespace catalog
