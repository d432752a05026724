// One stored row of the product work table, fixed in size so that a batch of
// a hundred thousand products stays small: the two strings in place, the
// thirteen floats, and one bit per field for null.
#pragma once

#include <cstdint>
#include <string_view>

#include "ProductSchema.h"

struct TProductRecord {
    static constexpr int kFloatCount = product::kFieldCount - 2;
    static constexpr std::uint16_t kAllNull = (1u << product::kFieldCount) - 1;

    char id[product::kIdSize];
    char name[product::kNameSize];
    std::uint8_t idLength = 0;
    std::uint8_t nameLength = 0;
    std::uint16_t nullMask = kAllNull;
    // Which of the table's loaded-price records goes with the row, counted
    // from 1; 0 for none. It fills the gap the alignment of the floats
    // leaves, and travels with the row through edits, inserts, deletes and
    // moves.
    std::uint32_t loadedPricesIndex = 0;
    double floats[kFloatCount];

    bool isNull(int field) const { return (nullMask >> field) & 1u; }
    void setNull(int field, bool null) {
        if (null)
            nullMask = static_cast<std::uint16_t>(nullMask | (1u << field));
        else
            nullMask = static_cast<std::uint16_t>(nullMask & ~(1u << field));
    }
    std::string_view text(int field) const {
        return field == product::PROD_ID ? std::string_view(id, idLength) : std::string_view(name, nameLength);
    }
    double number(int field) const { return floats[field - 2]; }
};

static_assert(sizeof(TProductRecord) <= 184, "a work-table row must stay compact");
