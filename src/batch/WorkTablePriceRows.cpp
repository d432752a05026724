#include "WorkTablePriceRows.h"

#include "ProductSchema.h"

namespace batch {

batch::PriceRow TWorkTablePriceRows::current() const {
    batch::PriceRow row{table_.text(product::PROD_ID), table_.text(product::PROD_NAME), {}};
    for (int tier = 1; tier <= product::kTierCount; ++tier)
        row.prices.setValue(tier, table_.value(product::priceField(tier)));
    return row;
}

}  // namespace batch
