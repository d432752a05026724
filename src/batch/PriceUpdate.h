// The driver calls that write one product's six prices with the
// write-back's UPDATE, the one statement text that the window, the revert,
// the tests and the benchmarks all run.
#pragma once

#include <cstdint>
#include <string>

#include "TierPrices.h"

namespace db {
class TStatementService;
}

namespace batch {

// A null price leaves its parameter without a value, which the statement
// refuses before anything runs: a price never computed must not reach
// PRODUCT. Putting back a column that was empty writes the null.
enum class NullPrice { Refused, WrittenAsNull };

// One row: close, clear the lines, add the eight lines, set the six prices
// in tier order and PROD_ID as text, execute; committed by itself. Gives
// the number of rows the statement changed (the window does not look).
std::int64_t writePriceRow(db::TStatementService& statement, const product::TierPrices& prices, const std::string& productId,
                   NullPrice nulls = NullPrice::Refused);

}  // namespace batch
