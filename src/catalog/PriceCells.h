// How a price cell of PRODUCT is read: null for an empty column, a double
// for a number of any column type. A whole number without an exact double,
// or a column that holds no number, is refused, never shown or written
// back as another price.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "Errors.h"
#include "RecordStore.h"
#include "TierPrices.h"

namespace db {
class TCursorRows;
}

namespace catalog {

// A price cell of a read result held whole.
std::optional<double> readPriceCell(const db::RecordStore& store, std::size_t column, std::size_t row);
// The cursor's current row's six prices, from column firstColumn on, in
// tier order.
product::TierPrices readTierPrices(db::TCursorRows& rows, std::size_t firstColumn);
// A whole-number cell as a double, when it has an exact one.
double wholeNumberPrice(const std::string& columnName, std::int64_t value);
rt::DatabaseError notANumberColumn(const std::string& columnName);

}  // namespace catalog
