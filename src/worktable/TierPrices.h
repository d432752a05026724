// A product's six prices in tier order, each a number or null: a price
// never computed (in the work table) or an empty column (in PRODUCT). Six
// doubles and a null mask, so that the work table can keep one beside each
// of a hundred thousand loaded rows.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "FieldValue.h"
#include "ProductSchema.h"

namespace product {

static_assert(kTierCount <= 8, "the null mask holds one bit per tier");

class TierPrices {
public:
    // All six null.
    TierPrices() = default;
    // Exactly kTierCount prices in tier order; raises std::invalid_argument
    // for any other count.
    TierPrices(std::initializer_list<std::optional<double>> prices);

    // tier: 1 to kTierCount; raises std::out_of_range for any other.
    std::optional<double> price(int tier) const;
    bool isNull(int tier) const { return !price(tier); }
    void setPrice(int tier, std::optional<double> price);
    // As a statement parameter or a table field takes it: a double, or null.
    rt::FieldValue value(int tier) const;
    // A null stays null; any other value is taken as a double (text that is
    // no number raises the conversion error).
    void setValue(int tier, const rt::FieldValue& value);

    // Exact: the same tiers null, and equal doubles in the others.
    friend bool operator==(const TierPrices& left, const TierPrices& right);

private:
    static std::size_t index(int tier);

    std::array<double, kTierCount> prices_{};
    std::uint8_t nullMask_ = (1u << kTierCount) - 1;
};

// Equal to the cent: the same tiers null, and numbers that differ by at most
// half a cent. PRODUCT's price columns keep two decimals, so a price written
// with more comes back rounded and still counts as the one written.
bool equalToTheCent(const TierPrices& left, const TierPrices& right);

// The shortest plain decimal that reads back as the same double.
std::string priceText(double price);
// The six prices for a message, separated by spaces: each by priceText,
// "-" for a null.
std::string pricesText(const TierPrices& prices);

// What PRODUCT held for a product when its row was loaded; nothing: PRODUCT
// did not have the product.
using LoadedPrices = std::optional<TierPrices>;

// "PROD_ID PROD_NAME" as messages and texts name a product; the number alone
// when the name is empty. Bytes in, bytes out (Big5 as the table holds them).
std::string productLabel(std::string_view productId, std::string_view productName);

}  // namespace product
