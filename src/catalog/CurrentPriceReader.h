// The six prices a product has in PRODUCT now, read by product number with
// one statement prepared once on the connection; for many products, with
// one statement that asks for a chunk of them at a time. What the review
// and the write-back compare with, and what the journal records as old.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PreparedQuery.h"
#include "TierPrices.h"

namespace catalog {

class TCurrentPriceReader {
public:
    // Numbers the batch read asks for in one statement (see readAll).
    static constexpr std::size_t kBatchReadChunk = 16;

    explicit TCurrentPriceReader(db::TDataLinkConnection& connection);

    // Nothing when no product has the number. The cells are read by
    // readPriceCell's rules, refusals included.
    std::optional<product::TierPrices> read(const std::string& productId);
    // The same for many products at once, in the order given, all read in
    // one transaction (the caller's when one is active); the answer for a
    // product named twice is given twice. Outside the caller's transaction
    // the whole read is asked once more after a lost connection
    // (ReadAgain.h).
    std::vector<std::optional<product::TierPrices>> readAll(const std::vector<std::string>& productIds);

private:
    std::vector<std::optional<product::TierPrices>> readAllOnce(const std::vector<std::string>& productIds);
    // Answers ids[listed[first]] to ids[listed[last - 1]] into the same
    // places of answers.
    void readChunk(const std::vector<std::string_view>& ids, const std::vector<std::size_t>& listed,
                   std::size_t first, std::size_t last, std::vector<std::optional<product::TierPrices>>& answers);

    db::TPreparedQuery query_;
    db::TPreparedQuery chunkQuery_;
};

}  // namespace catalog
