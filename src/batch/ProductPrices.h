// The six prices a product has in PRODUCT now, read by product number with
// one statement prepared once on the connection; many products at once with
// a second statement that asks for a chunk of numbers in one IN list.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "PreparedQuery.h"
#include "PriceUpdate.h"

namespace batch {

class TProductPrices {
public:
    // Numbers asked for by one run of the batch read; a last, shorter chunk
    // repeats its last number to fill the list, so that one prepared
    // statement serves every chunk.
    static constexpr std::size_t kChunkSize = 500;

    explicit TProductPrices(db::TDataLinkConnection& connection);

    // Nothing when no product has the number. A price column that is empty
    // reads as null; a number of any column type as a double.
    std::optional<Prices> read(const std::string& productId);
    // The same for many products at once, in the order given, all read in
    // one transaction (the caller's when one is active); the answer for a
    // product named twice is given twice. A number the chunk's rows do not
    // answer exactly once (no row with its bytes, or several) is asked again
    // alone, so every answer is the one read() gives.
    std::vector<std::optional<Prices>> readAll(const std::vector<std::string>& productIds);

private:
    void readChunk(const std::vector<std::string>& productIds, std::size_t first,
                   std::vector<std::optional<Prices>>& prices);

    db::TPreparedQuery query_;
    db::TPreparedQuery chunkQuery_;
};

}  // namespace batch
