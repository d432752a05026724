// The batch as it will be written, set beside what PRODUCT held when it was
// loaded: how many prices go up, down or stay, which fall below cost or were
// never computed, the largest changes, and the products whose prices in the
// database have changed since the data view. What the write-back's question
// shows under it, and what the preview ends with.
#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "PriceChange.h"
#include "PriceUpdate.h"
#include "TierPrices.h"

class TProductWorkTable;

namespace catalog {
class TCurrentPriceReader;
}

namespace batch {

struct ReviewCounts {
    std::size_t rows = 0;
    std::size_t raised = 0;
    std::size_t lowered = 0;
    std::size_t unchanged = 0;
    std::size_t belowCost = 0;
    std::size_t neverComputed = 0;
    // Computed, with nothing to compare with (typed rows, empty columns,
    // products not found).
    std::size_t withoutLoadedPrice = 0;

    friend bool operator==(const ReviewCounts&, const ReviewCounts&) = default;
};

struct PriceChangeLine {
    int row = 0;
    int tier = 0;
    std::string productId;    // Big5
    std::string productName;  // Big5
    review::PriceCellReview cell;
};

struct ChangedSinceLine {
    int row = 0;
    std::string productId;    // Big5
    std::string productName;  // Big5
    product::LoadedPrices loaded;
    std::optional<product::TierPrices> now;  // nothing: no longer in PRODUCT
};

class TPriceReview {
public:
    static constexpr std::size_t kLargestChanges = 10;

    // Counts and the largest changes in percent, from the table as it stands.
    explicit TPriceReview(const TProductWorkTable& table);

    // Reads, in one go, the current prices of every row that came with
    // loaded prices, and keeps the products whose prices differ from those
    // exactly.
    void compareWithDatabase(catalog::TCurrentPriceReader& currentPrices);
    // The same with the current prices already read, one per row given.
    void compareWith(const std::vector<int>& rows, const std::vector<std::optional<product::TierPrices>>& current);
    // The rows that came with loaded prices, in table order.
    std::vector<int> rowsWithLoadedPrices() const;

    const ReviewCounts& counts() const { return counts_; }
    // Largest first: by the size of the change in percent, a change from a
    // loaded 0 before every other; ties in table order.
    const std::vector<PriceChangeLine>& largestChanges() const { return largest_; }
    const std::vector<ChangedSinceLine>& changedSince() const { return changedSince_; }

    // One short summary in Chinese, for the question's informative text.
    QString summaryText() const;
    // The largest changes and the products changed since; empty when there
    // is neither.
    QString detailsText() const;

private:
    const TProductWorkTable& table_;
    ReviewCounts counts_;
    std::vector<PriceChangeLine> largest_;
    std::vector<ChangedSinceLine> changedSince_;
};

}  // namespace batch
