#include "PriceCalculation.h"

#include <cmath>
#include <string>

#include "Errors.h"
#include "FieldValue.h"
#include "ProductWorkTable.h"

namespace pricing {

namespace {

constexpr double kLowest = -2147483648.0;
constexpr double kHighest = 2147483647.0;

// Ends the row the way a null cost does: left in editing, with the tiers
// before the failing one rounded and the failing tier and every later one
// empty, so that no price of an earlier calculation survives in the row and
// a write-back stops at it.
[[noreturn]] void refuseRow(TProductWorkTable& table, int tier, double unrounded) {
    for (int emptied = tier; emptied <= product::kTierCount; ++emptied)
        table.setValue(product::priceField(emptied), rt::FieldValue::null());
    std::string message = "Price of product '" + table.text(product::PROD_ID) + "' (tier " + std::to_string(tier) +
                          ") is " + rt::formatGeneral(unrounded) + ", outside the range -2147483648 to 2147483647";
    throw rt::ConversionError(message);
}

}  // namespace

bool fitsPriceRange(double unrounded) {
    // The ceiling of anything above kHighest is kHighest + 1; anything at or
    // below kLowest - 1 truncates below kLowest.
    return unrounded <= kHighest && unrounded > kLowest - 1.0;
}

std::int32_t roundUp(double unrounded) {
    const double whole = std::trunc(unrounded);
    auto result = static_cast<std::int32_t>(whole);
    if (unrounded - whole > 0) ++result;
    return result;
}

void priceCurrentRow(TProductWorkTable& table) {
    table.edit();
    const rt::FieldValue hundred(100);
    for (int tier = 1; tier <= product::kTierCount; ++tier) {
        const rt::FieldValue cost = table.value(product::STD_COST);
        const rt::FieldValue rate = table.value(product::rateField(tier));
        table.setValue(product::priceField(tier), rate / hundred * cost + cost);
    }
    for (int tier = 1; tier <= product::kTierCount; ++tier) {
        const double unrounded = table.value(product::priceField(tier)).toDouble();
        if (!fitsPriceRange(unrounded)) refuseRow(table, tier, unrounded);
        table.setValue(product::priceField(tier), rt::FieldValue(static_cast<std::int64_t>(roundUp(unrounded))));
    }
    table.post();
}

void priceAllRows(TProductWorkTable& table, const std::function<void()>& onRow) {
    table.first();
    while (!table.eof()) {
        onRow();
        priceCurrentRow(table);
        table.next();
    }
}

}  // namespace pricing
