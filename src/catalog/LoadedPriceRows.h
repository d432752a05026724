// Product numbers with the six prices PRODUCT holds for each, read as a
// sub-category is loaded, straight from a cursor into one byte arena and
// one compact price record per row: no cell objects, no second copy of the
// result. The cursor's first column is PROD_ID, the next six the prices in
// tier order, read by readTierPrices' rules, refusals included.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "TierPrices.h"

namespace db {
class TCursorRows;
}

namespace catalog {

class TLoadedPriceRows {
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
    const product::TierPrices& prices(std::size_t row) const { return *prices_[row]; }
    // Hands the price records over whole, row for row, as the work table
    // keeps them; the numbers stay.
    std::vector<product::LoadedPrices> takePrices() { return std::move(prices_); }

private:
    static void checkColumns(const db::TCursorRows& rows);
    void appendRow(db::TCursorRows& rows);

    std::string ids_;
    std::vector<std::size_t> idEnds_;
    std::vector<product::LoadedPrices> prices_;
};

}  // namespace catalog
