#include "ProductPrices.h"

#include <algorithm>
#include <unordered_map>

#include "ConnectionTransaction.h"
#include "CursorRows.h"
#include "ProductStatements.h"
#include "Errors.h"
#include "StoredPriceRows.h"

namespace catalog {

double storedIntegerPrice(const std::string& columnName, std::int64_t value) {
    // A whole number beyond 2^53 has no exact double; it is refused, not
    // rounded into another price.
    constexpr std::int64_t kExact = std::int64_t(1) << 53;
    if (value > kExact || value < -kExact)
        throw rt::DatabaseError("PRODUCT." + columnName + " holds " + std::to_string(value) +
                                ", too large to read as a price");
    return static_cast<double>(value);
}

rt::DatabaseError notANumberColumn(const std::string& columnName) {
    return rt::DatabaseError("PRODUCT." + columnName + " is not a number column");
}

rt::FieldValue storedPriceAt(const db::RecordStore& store, std::size_t column, std::size_t row) {
    if (store.isNull(column, row)) return rt::FieldValue::null();
    switch (store.columnType(column)) {
        case dl::ColumnType::Double: return rt::FieldValue(store.doubleAt(column, row));
        case dl::ColumnType::Integer:
            return rt::FieldValue(storedIntegerPrice(store.columnName(column), store.integerAt(column, row)));
        case dl::ColumnType::Text: break;
    }
    throw notANumberColumn(store.columnName(column));
}

namespace {

product::Prices pricesAt(const db::RecordStore& store, std::size_t firstColumn, std::size_t row) {
    product::Prices prices;
    for (std::size_t tier = 0; tier < prices.size(); ++tier) prices[tier] = storedPriceAt(store, firstColumn + tier, row);
    return prices;
}

product::Prices pricesOf(const TStoredPrices& stored) {
    product::Prices prices;
    for (int tier = 1; tier <= product::kTierCount; ++tier)
        if (const std::optional<double> price = stored.price(tier)) prices[std::size_t(tier - 1)] = rt::FieldValue(*price);
    return prices;
}

// A number is asked with others only when it reaches the server as it is
// (a zero byte would end it early) and a whole chunk of such numbers stays
// within 64 KiB of parameter bytes. Any other is asked alone, where it
// meets the single lookup's checks in the single lookup's words.
constexpr std::size_t kListedIdBytes = 65536 / TProductPrices::kBatchReadChunk;

bool listable(std::string_view id) { return id.size() <= kListedIdBytes && id.find('\0') == std::string_view::npos; }

}  // namespace

TProductPrices::TProductPrices(db::TDataLinkConnection& connection)
    : query_(connection, "ProductPrices", currentPricesSelect()),
      chunkQuery_(connection, "ProductPricesChunk", currentPricesOfManySelect(kBatchReadChunk)) {}

std::optional<product::Prices> TProductPrices::read(const std::string& productId) {
    query_.paramByName("PROD_ID").setAsString(productId);
    const db::RecordStore store = query_.run();
    if (store.rowCount() == 0) return std::nullopt;
    return pricesAt(store, 0, 0);
}

// Chunks of 16 numbers, each asked by the single lookup's own condition in
// an outer join of its own, prepared once and read straight from its
// cursor: one row answers the whole chunk. Every part compares as the
// single lookup does, so every answer is its answer, blanks at the end,
// letter case and Big5 bytes included.
//
// Measured on 20,000 products of 50,500, in one transaction, same runs
// (embedded, a busy machine, so the ratios count): through the client
// alone, one SELECT per product 0.14-0.19 s; one IN list of 16 numbers per
// statement 0.11-0.13 s (IN lists of 8 to 48 alike, 256 0.38 s, 500
// 0.65 s, 1,500 1.1-1.6 s: the server tests each row it finds against the
// whole list); UNION ALL of 16 lookups 0.08-0.10 s (of 8, 32 or 64 no
// better), 4.0-4.6 us a product through the program against 8 us for one
// SELECT per product; 16 outer joins in one row 0.067-0.074 s, against
// 0.083-0.088 s for the UNION ALL in the same runs (32 or 64 joins no
// better), 3.5 us a product through the program (the batch benchmark's
// "current prices" line).
std::vector<std::optional<product::Prices>> TProductPrices::readAll(const std::vector<std::string>& productIds) {
    std::vector<std::optional<product::Prices>> prices;
    if (productIds.empty()) return prices;
    db::TDataLinkConnection& connection = query_.connection();
    std::optional<db::TConnectionTransaction> reading;
    if (!connection.inTransaction()) reading.emplace(connection);

    // Each distinct number is asked once.
    std::unordered_map<std::string_view, std::size_t> distinctIndex;
    std::vector<std::string_view> distinct;
    std::vector<std::size_t> answerOf;
    distinctIndex.reserve(productIds.size());
    answerOf.reserve(productIds.size());
    for (const std::string& productId : productIds) {
        const auto [entry, added] = distinctIndex.emplace(productId, distinct.size());
        if (added) distinct.push_back(productId);
        answerOf.push_back(entry->second);
    }
    std::vector<std::optional<product::Prices>> answers(distinct.size());
    std::vector<std::size_t> listed;
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        if (listable(distinct[i]))
            listed.push_back(i);
        else
            answers[i] = read(std::string(distinct[i]));
    }
    for (std::size_t first = 0; first < listed.size(); first += kBatchReadChunk)
        readChunk(distinct, listed, first, std::min(listed.size(), first + kBatchReadChunk), answers);

    if (distinct.size() == productIds.size()) {
        prices = std::move(answers);
    } else {
        prices.reserve(productIds.size());
        for (const std::size_t answer : answerOf) prices.push_back(answers[answer]);
    }
    if (reading) reading->commit();
    return prices;
}

void TProductPrices::readChunk(const std::vector<std::string_view>& ids, const std::vector<std::size_t>& listed,
                               std::size_t first, std::size_t last, std::vector<std::optional<product::Prices>>& answers) {
    // A short last chunk asks for its last number again: one statement
    // serves all, and the parts past the chunk are not read.
    db::TParams& params = chunkQuery_.params();
    for (std::size_t part = 0; part < kBatchReadChunk; ++part)
        params[part].setAsString(std::string(ids[listed[std::min(first + part, last - 1)]]));
    constexpr std::size_t kPartColumns = 1 + product::kTierCount;
    chunkQuery_.run([&](db::TCursorRows& rows) {
        if (rows.columnCount() != kPartColumns * kBatchReadChunk || !rows.next())
            throw rt::DatabaseError("The batch read of current prices got no row of the shape it asked for");
        // Only the first row counts: it holds each product's first row, as
        // the single lookup answers. More come only for a number PRODUCT
        // holds twice.
        for (std::size_t part = 0; part < last - first; ++part) {
            const std::size_t column = part * kPartColumns;
            if (rows.columnType(column) != dl::ColumnType::Text)
                throw rt::DatabaseError("PRODUCT.PROD_ID is not a text column");
            std::string_view found;
            if (rows.textAt(column, found)) answers[listed[first + part]] = pricesOf(storedPricesAt(rows, column + 1));
        }
    });
}

}  // namespace catalog
