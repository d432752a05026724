// One price cell of the work table set beside the price PRODUCT held when
// the row was loaded: raised, lowered or unchanged, by how much, and whether
// it falls below the row's cost. Worked from the table's values each time it
// is asked, so it follows every edit and calculation.
#pragma once

#include <optional>
#include <string>

class TProductWorkTable;

namespace review {

enum class PriceChange {
    NeverComputed,  // the new price is empty
    NoLoadedPrice,  // computed, but nothing to compare with: typed row, empty column, product not found
    Unchanged,
    Raised,
    Lowered,
};

struct PriceCellReview {
    PriceChange change = PriceChange::NeverComputed;
    std::optional<double> loadedPrice;
    std::optional<double> newPrice;
    // Change in percent of the loaded price; nothing when that is 0 or
    // there is no comparison.
    std::optional<double> percent;
    bool belowCost = false;
    std::optional<double> cost;
    // Loaded by the data view, but PRODUCT had no such product.
    bool productMissing = false;
};

PriceCellReview reviewPrice(const TProductWorkTable& table, int row, int tier);

// True when the row came from the data view and its product was not in
// PRODUCT then.
bool productMissing(const TProductWorkTable& table, int row);

// "58 → 64 (+10.3%)", UTF-8; from a loaded 0 the percent is "(+∞%)".
std::string changeText(const PriceCellReview& cell);
// "+10.3%", "-4.0%", "+∞%"; empty when there is no comparison.
std::string percentText(const PriceCellReview& cell);

}  // namespace review
