// A work table defined and created the way the window does it.
#pragma once

#include <string>

#include "Big5Text.h"
#include "ProductWorkTable.h"

inline void defineProductTable(TProductWorkTable& table) {
    for (const auto& def : product::fieldDefs()) table.addFieldDef(def);
    table.addIndexDef("ID_Index", "PROD_ID");
    table.createDataSet();
    for (int i = 0; i < product::kFieldCount; ++i)
        table.field(i).setDisplayLabel(big5::fromUtf8(product::columnTitlesUtf8()[static_cast<std::size_t>(i)]));
}

// Appends one posted row: number, cost and one rate for all six tiers.
inline void appendProduct(TProductWorkTable& table, const std::string& id, rt::FieldValue cost, rt::FieldValue rate) {
    table.append();
    table.setValue("PROD_ID", rt::FieldValue::text(id));
    table.setValue("STD_COST", cost);
    for (int tier = 1; tier <= product::kTierCount; ++tier) table.setValue(product::rateField(tier), rate);
    table.post();
}
