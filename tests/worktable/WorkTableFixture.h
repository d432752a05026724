// Rows for a work table defined the way the window does it
// (product::defineProductTable).
#pragma once

#include <string>

#include "ProductWorkTable.h"

// Appends one posted row: number, cost and one rate for all six tiers.
inline void appendProduct(TProductWorkTable& table, const std::string& id, rt::FieldValue cost, rt::FieldValue rate) {
    table.append();
    table.setValue("PROD_ID", rt::FieldValue::text(id));
    table.setValue("STD_COST", cost);
    for (int tier = 1; tier <= product::kTierCount; ++tier) table.setValue(product::rateField(tier), rate);
    table.post();
}
