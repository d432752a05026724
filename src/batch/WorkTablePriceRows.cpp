#include "WorkTablePriceRows.h"

#include "ProductSchema.h"

namespace batch {

batch::PriceRow TWorkTablePriceRows::current() const {
    batch::PriceRow row{table_.text(product::PROD_ID), table_.text(product::PROD_NAME), {}};
    for (int tier = 1; tier <= 6; ++tier)
        row.prices[static_cast<std::size_t>(tier - 1)] = table_.value(product::priceField(tier));
    return row;
}

}  // namespace batch
