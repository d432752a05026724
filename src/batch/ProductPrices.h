// The six prices a product has in PRODUCT now, read by product number with
// one statement prepared once on the connection.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "PreparedQuery.h"
#include "RecordStore.h"
#include "PriceUpdate.h"

namespace batch {

// A price column's value in a read result: null for an empty column, a
// double for a number of any column type. A whole number without an exact
// double, or a column that holds no number, is refused, never shown or
// written back as another price.
rt::FieldValue storedPriceAt(const db::RecordStore& store, std::size_t column, std::size_t row);

class TProductPrices {
public:
    explicit TProductPrices(db::TDataLinkConnection& connection);

    // Nothing when no product has the number. A price column that is empty
    // reads as null; a number of any column type as a double.
    std::optional<Prices> read(const std::string& productId);
    // The same for many products at once, in the order given, all read in
    // one transaction (the caller's when one is active); the answer for a
    // product named twice is given twice.
    std::vector<std::optional<Prices>> readAll(const std::vector<std::string>& productIds);

private:
    db::TPreparedQuery query_;
};

}  // namespace batch
