#include "TierPrices.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace product {

namespace {

// Half a cent, and a little for the double that stands for it.
constexpr double kCentTolerance = 0.005 + 1e-9;

bool samePriceToTheCent(std::optional<double> left, std::optional<double> right) {
    if (!left || !right) return !left && !right;
    return *left == *right || std::fabs(*left - *right) <= kCentTolerance;
}

}  // namespace

TierPrices::TierPrices(std::initializer_list<std::optional<double>> prices) {
    if (prices.size() != kTierCount)
        throw std::invalid_argument("a product has " + std::to_string(kTierCount) + " prices, not " +
                                    std::to_string(prices.size()));
    int tier = 1;
    for (const std::optional<double>& price : prices) setPrice(tier++, price);
}

std::size_t TierPrices::index(int tier) {
    if (tier < 1 || tier > kTierCount)
        throw std::out_of_range("price tier " + std::to_string(tier) + " is not one of 1 to " +
                                std::to_string(kTierCount));
    return static_cast<std::size_t>(tier - 1);
}

std::optional<double> TierPrices::price(int tier) const {
    const std::size_t at = index(tier);
    if ((nullMask_ >> at) & 1u) return std::nullopt;
    return prices_[at];
}

void TierPrices::setPrice(int tier, std::optional<double> price) {
    const std::size_t at = index(tier);
    const auto bit = static_cast<std::uint8_t>(1u << at);
    nullMask_ = static_cast<std::uint8_t>(price ? nullMask_ & ~bit : nullMask_ | bit);
    // A null keeps 0 in its place, so that no stale number lingers there.
    prices_[at] = price.value_or(0.0);
}

rt::FieldValue TierPrices::value(int tier) const {
    const std::optional<double> number = price(tier);
    return number ? rt::FieldValue(*number) : rt::FieldValue::null();
}

void TierPrices::setValue(int tier, const rt::FieldValue& value) {
    setPrice(tier, value.isNull() ? std::nullopt : std::optional<double>(value.toDouble()));
}

bool operator==(const TierPrices& left, const TierPrices& right) {
    for (int tier = 1; tier <= kTierCount; ++tier)
        if (left.price(tier) != right.price(tier)) return false;
    return true;
}

bool equalToTheCent(const TierPrices& left, const TierPrices& right) {
    for (int tier = 1; tier <= kTierCount; ++tier)
        if (!samePriceToTheCent(left.price(tier), right.price(tier))) return false;
    return true;
}

std::string priceText(double price) {
    // Room for any double written out in full.
    char text[1100];
    const auto result = std::to_chars(text, text + sizeof text, price, std::chars_format::fixed);
    return std::string(text, result.ptr);
}

std::string pricesText(const TierPrices& prices) {
    std::string text;
    for (int tier = 1; tier <= kTierCount; ++tier) {
        if (tier > 1) text += ' ';
        const std::optional<double> price = prices.price(tier);
        text += price ? priceText(*price) : std::string("-");
    }
    return text;
}

std::string productLabel(std::string_view productId, std::string_view productName) {
    std::string label(productId);
    if (!productName.empty()) {
        label += ' ';
        label += productName;
    }
    return label;
}

}  // namespace product
