// The price UPDATE of the write-back, the one statement text that the
// window, the revert, the tests and the benchmarks all run, and the driver
// calls that write one product's six prices with it.
#pragma once

#include <array>
#include <string>

#include "FieldValue.h"

namespace db {
class TStatementService;
}

namespace batch {

// Line by line, as the statement service joins them.
inline constexpr std::array<const char*, 8> kPriceUpdateLines = {
    "UPDATE PRODUCT SET ",
    " SALE_PRICE = :SALE_PRICE , ",
    " N_PRICE = :N_PRICE , ",
    " P_PRICE = :P_PRICE , ",
    " P_PRICE2 = :P_PRICE2 , ",
    " PSALE_PRICE = :PSALE_PRICE, ",
    " VIP_PRICE = :VIP_PRICE ",
    "WHERE PROD_ID = :PROD_ID ",
};

// The parameter, and the PRODUCT column, of each tier's price, tier 1 to 6.
inline constexpr std::array<const char*, 6> kPriceParameters = {"SALE_PRICE", "N_PRICE",     "P_PRICE",
                                                                "P_PRICE2",   "PSALE_PRICE", "VIP_PRICE"};

// Six prices in tier order; a null is a price never computed (in the work
// table) or an empty column (in PRODUCT).
using Prices = std::array<rt::FieldValue, 6>;

// A null price leaves its parameter without a value, which the statement
// refuses before anything runs: a price never computed must not reach
// PRODUCT. Putting back a column that was empty writes the null.
enum class NullPrice { Refused, WrittenAsNull };

// One row: close, clear the lines, add the eight lines, set the six prices
// in tier order and PROD_ID as text, execute; committed by itself. Gives
// the number of rows the statement changed (the window does not look).
std::int64_t writePriceRow(db::TStatementService& statement, const Prices& prices, const std::string& productId,
                   NullPrice nulls = NullPrice::Refused);

}  // namespace batch
