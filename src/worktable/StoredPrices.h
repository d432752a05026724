// The six prices PRODUCT held for a row's product when the data view loaded
// it: what the operator compares the new prices with. Kept beside the row,
// never as a field of it, so the fifteen fields and what is written stay as
// they are. A row typed into the grid has none.
#pragma once

#include <cstdint>
#include <optional>

#include "ProductSchema.h"

class TStoredPrices {
public:
    // The product was not in PRODUCT when the row was loaded.
    static TStoredPrices notInProduct() { return TStoredPrices(); }
    static TStoredPrices inProduct() {
        TStoredPrices prices;
        prices.inProduct_ = true;
        return prices;
    }

    bool productFound() const { return inProduct_; }
    // Nothing for an empty column (or a product not found).
    std::optional<double> price(int tier) const {
        if (!inProduct_ || (nullMask_ >> (tier - 1)) & 1u) return std::nullopt;
        return prices_[tier - 1];
    }
    void setPrice(int tier, std::optional<double> price) {
        const auto bit = static_cast<std::uint8_t>(1u << (tier - 1));
        nullMask_ = static_cast<std::uint8_t>(price ? nullMask_ & ~bit : nullMask_ | bit);
        prices_[tier - 1] = price.value_or(0.0);
    }

    friend bool operator==(const TStoredPrices& left, const TStoredPrices& right) {
        if (left.inProduct_ != right.inProduct_) return false;
        for (int tier = 1; tier <= product::kTierCount; ++tier)
            if (left.price(tier) != right.price(tier)) return false;
        return true;
    }

private:
    double prices_[product::kTierCount] = {};
    std::uint8_t nullMask_ = (1u << product::kTierCount) - 1;
    bool inProduct_ = false;
};
