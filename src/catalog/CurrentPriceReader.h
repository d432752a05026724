// The six prices a product has in PRODUCT now, read by product number with
// one statement prepared once on the connection; for many products, with
// one statement that asks for a chunk of them at a time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Errors.h"
#include "PreparedQuery.h"
#include "RecordStore.h"
#include "TierPrices.h"

namespace catalog {

// A price column's value in a read result: null for an empty column, a
// double for a number of any column type. A whole number without an exact
// double, or a column that holds no number, is refused, never shown or
// written back as another price.
rt::FieldValue storedPriceAt(const db::RecordStore& store, std::size_t column, std::size_t row);
// The same rules for a cell read straight from a cursor: a whole number as
// a double when it has an exact one, and the refusals storedPriceAt raises.
double storedIntegerPrice(const std::string& columnName, std::int64_t value);
rt::DatabaseError notANumberColumn(const std::string& columnName);

class TStoredPriceRows;

class TProductPrices {
public:
    // Numbers the batch read asks for in one statement (see readAll).
    static constexpr std::size_t kBatchReadChunk = 16;

    explicit TProductPrices(db::TDataLinkConnection& connection);

    // Nothing when no product has the number. A price column that is empty
    // reads as null; a number of any column type as a double.
    std::optional<product::Prices> read(const std::string& productId);
    // The same for many products at once, in the order given, all read in
    // one transaction (the caller's when one is active); the answer for a
    // product named twice is given twice.
    std::vector<std::optional<product::Prices>> readAll(const std::vector<std::string>& productIds);

private:
    // Answers ids[listed[first]] to ids[listed[last - 1]] into the same
    // places of answers.
    void readChunk(const std::vector<std::string_view>& ids, const std::vector<std::size_t>& listed,
                   std::size_t first, std::size_t last, std::vector<std::optional<product::Prices>>& answers);

    db::TPreparedQuery query_;
    db::TPreparedQuery chunkQuery_;
};

}  // namespace catalog
