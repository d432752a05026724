// The price rule: for each tier, the price is the ceiling of
// (rate / 100) * cost + cost, worked on doubles in that order.
#pragma once

#include <cstdint>
#include <functional>

class TProductWorkTable;

namespace pricing {

// Integer part toward zero, plus one for a positive fraction.
std::int32_t roundUp(double unrounded);

// True when roundUp gives a 32-bit signed price.
bool fitsPriceRange(double unrounded);

// One row: put it into editing, store the six unrounded prices, replace
// each by its ceiling, post. A null cost or rate fails at the ceiling with
// the conversion error and leaves the row in editing; a price outside the
// 32-bit range fails the same way, with an error naming the product and the
// value, and leaves that tier and every later one empty.
void priceCurrentRow(TProductWorkTable& table);

// Every row from the first: onRow runs before each row is priced.
void priceAllRows(TProductWorkTable& table, const std::function<void()>& onRow);

}  // namespace pricing
