#include "PriceChange.h"

#include <cmath>
#include <cstdio>

#include "FieldValue.h"
#include "ProductWorkTable.h"

namespace review {

namespace {

std::optional<double> numberAt(const TProductWorkTable& table, int row, int field) {
    const rt::FieldValue value = table.valueAt(row, field);
    if (value.isNull()) return std::nullopt;
    return value.toDouble();
}

PriceChange compare(const PriceCellReview& cell) {
    if (!cell.newPrice) return PriceChange::NeverComputed;
    if (!cell.loadedPrice) return PriceChange::NoLoadedPrice;
    if (*cell.newPrice > *cell.loadedPrice) return PriceChange::Raised;
    if (*cell.newPrice < *cell.loadedPrice) return PriceChange::Lowered;
    return PriceChange::Unchanged;
}

}  // namespace

bool productMissing(const TProductWorkTable& table, int row) {
    const product::LoadedPrices* loaded = table.loadedPricesAt(row);
    return loaded && !*loaded;
}

PriceCellReview reviewPrice(const TProductWorkTable& table, int row, int tier) {
    PriceCellReview cell;
    const product::LoadedPrices* loaded = table.loadedPricesAt(row);
    if (loaded && *loaded) cell.loadedPrice = (*loaded)->price(tier);
    cell.productMissing = loaded && !*loaded;
    cell.newPrice = numberAt(table, row, product::priceField(tier));
    cell.cost = numberAt(table, row, product::STD_COST);
    cell.change = compare(cell);
    cell.belowCost = cell.newPrice && cell.cost && *cell.newPrice < *cell.cost;
    if ((cell.change == PriceChange::Raised || cell.change == PriceChange::Lowered) && *cell.loadedPrice != 0) {
        // From a loaded price too small to divide by, the change reads as
        // from 0.
        const double percent = (*cell.newPrice - *cell.loadedPrice) / std::fabs(*cell.loadedPrice) * 100.0;
        if (std::isfinite(percent)) cell.percent = percent;
    }
    return cell;
}

std::string percentText(const PriceCellReview& cell) {
    if (cell.percent) {
        char text[400];  // room for any finite double in fixed notation
        std::snprintf(text, sizeof text, "%+.1f%%", *cell.percent);
        return text;
    }
    if (cell.change == PriceChange::Raised) return "+∞%";
    if (cell.change == PriceChange::Lowered) return "-∞%";
    return {};
}

std::string changeText(const PriceCellReview& cell) {
    const auto number = [](const std::optional<double>& value) {
        return value ? rt::formatGeneral(*value) : std::string("-");
    };
    std::string text = number(cell.loadedPrice) + " → " + number(cell.newPrice);
    const std::string percent = percentText(cell);
    if (!percent.empty()) text += " (" + percent + ")";
    return text;
}

}  // namespace review
