// A product's six prices in tier order.
#pragma once

#include <array>

#include "FieldValue.h"
#include "ProductSchema.h"

namespace product {

// A null is a price never computed (in the work table) or an empty column
// (in PRODUCT).
using Prices = std::array<rt::FieldValue, kTierCount>;

}  // namespace product
