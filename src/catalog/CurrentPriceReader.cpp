#include "CurrentPriceReader.h"

#include <algorithm>
#include <unordered_map>

#include "ConnectionTransaction.h"
#include "CursorRows.h"
#include "Errors.h"
#include "PriceCells.h"
#include "ProductStatements.h"
#include "ReadAgain.h"

namespace catalog {

namespace {

product::TierPrices pricesAt(const db::RecordStore& store, std::size_t firstColumn, std::size_t row) {
    product::TierPrices prices;
    for (int tier = 1; tier <= product::kTierCount; ++tier)
        prices.setPrice(tier, readPriceCell(store, firstColumn + static_cast<std::size_t>(tier - 1), row));
    return prices;
}

// A number is asked with others only when it reaches the server as it is
// (a zero byte would end it early) and a whole chunk of such numbers stays
// within 64 KiB of parameter bytes. Any other is asked alone, where it
// meets the single lookup's checks in the single lookup's words.
constexpr std::size_t kListedIdBytes = 65536 / TCurrentPriceReader::kBatchReadChunk;

bool listable(std::string_view id) { return id.size() <= kListedIdBytes && id.find('\0') == std::string_view::npos; }

}  // namespace

TCurrentPriceReader::TCurrentPriceReader(db::TDataLinkConnection& connection)
    : query_(connection, "ProductPrices", currentPricesSelect()),
      chunkQuery_(connection, "ProductPricesChunk", currentPricesOfManySelect(kBatchReadChunk)) {}

std::optional<product::TierPrices> TCurrentPriceReader::read(const std::string& productId) {
    query_.paramByName("PROD_ID").setAsString(productId);
    const db::RecordStore store = query_.run();
    if (store.rowCount() == 0) return std::nullopt;
    return pricesAt(store, 0, 0);
}

// Chunks of kBatchReadChunk numbers, each asked by the single lookup's own
// condition in an outer join of its own, prepared once and read straight
// from its cursor: one row answers the whole chunk, which the server
// answers faster than one statement per product, an IN list (tested
// against every row it finds) or a UNION ALL of lookups. Every part
// compares as the single lookup does, so every answer is its answer, blanks
// at the end, letter case and Big5 bytes included. The batch benchmark's
// "current prices" line measures it.
std::vector<std::optional<product::TierPrices>> TCurrentPriceReader::readAll(const std::vector<std::string>& productIds) {
    std::vector<std::optional<product::TierPrices>> prices;
    if (productIds.empty()) return prices;
    db::readAgainIfConnectionLost(query_.connection(), [&] { prices = readAllOnce(productIds); });
    return prices;
}

std::vector<std::optional<product::TierPrices>> TCurrentPriceReader::readAllOnce(const std::vector<std::string>& productIds) {
    std::vector<std::optional<product::TierPrices>> prices;
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
    std::vector<std::optional<product::TierPrices>> answers(distinct.size());
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

void TCurrentPriceReader::readChunk(const std::vector<std::string_view>& ids, const std::vector<std::size_t>& listed,
                               std::size_t first, std::size_t last, std::vector<std::optional<product::TierPrices>>& answers) {
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
            if (rows.textAt(column, found)) answers[listed[first + part]] = readTierPrices(rows, column + 1);
        }
    });
}

}  // namespace catalog
