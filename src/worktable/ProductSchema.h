// The layout of the product work table: its fifteen fields in column order,
// their titles, the price tiers, and the one index definition.
#pragma once

#include <array>
#include <string>
#include <string_view>

enum class TFieldType { String, Float };

struct TFieldDef {
    std::string name;
    TFieldType dataType;
    int size;  // bytes of Big5 text; 0 for floats
};

struct TIndexDef {
    std::string name;
    std::string fields;
    unsigned options = 0;  // none: not unique, ascending, case significant
};

namespace product {

inline constexpr int kFieldCount = 15;
inline constexpr int kTierCount = 6;

// Field positions.
inline constexpr int PROD_ID = 0;
inline constexpr int PROD_NAME = 1;
inline constexpr int STD_COST = 2;
inline constexpr int D_PROFIT1 = 3;  // tier n: D_PROFIT1 + n - 1
inline constexpr int D_PRICE1 = 9;   // tier n: D_PRICE1 + n - 1

inline constexpr int kIdSize = 20;
inline constexpr int kNameSize = 50;

inline constexpr int rateField(int tier) { return D_PROFIT1 + tier - 1; }
inline constexpr int priceField(int tier) { return D_PRICE1 + tier - 1; }

// The fifteen definitions in order, as the window adds them.
const std::array<TFieldDef, kFieldCount>& fieldDefs();

// Column titles by field position, UTF-8 as written here; the window turns
// them into Big5 display labels.
const std::array<std::string_view, kFieldCount>& columnTitlesUtf8();

}  // namespace product
