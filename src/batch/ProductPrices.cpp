#include "ProductPrices.h"

#include <algorithm>
#include <unordered_map>

#include "ConnectionTransaction.h"
#include "CursorRows.h"
#include "Errors.h"
#include "StoredPriceRows.h"

namespace batch {

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

Prices pricesAt(const db::RecordStore& store, std::size_t firstColumn, std::size_t row) {
    Prices prices;
    for (std::size_t tier = 0; tier < prices.size(); ++tier) prices[tier] = storedPriceAt(store, firstColumn + tier, row);
    return prices;
}

Prices pricesOf(const TStoredPrices& stored) {
    Prices prices;
    for (int tier = 1; tier <= product::kTierCount; ++tier)
        if (const std::optional<double> price = stored.price(tier)) prices[std::size_t(tier - 1)] = rt::FieldValue(*price);
    return prices;
}

// The server compares numbers with the shorter one padded with blanks, so
// "P2" and "P2  " are one product to it.
std::string_view withoutTrailingBlanks(std::string_view id) {
    const std::size_t end = id.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : id.substr(0, end + 1);
}

// A number goes into an IN list only when it reaches the server as it is
// (a zero byte would end it early) and a whole list of such numbers stays
// within 64 KiB of parameter bytes. Any other is asked alone, where it
// meets the same checks as the single lookup's.
constexpr std::size_t kListedIdBytes = 65536 / TProductPrices::kBatchReadChunk;

bool listable(std::string_view id) { return id.size() <= kListedIdBytes && id.find('\0') == std::string_view::npos; }

}  // namespace

TProductPrices::TProductPrices(db::TDataLinkConnection& connection)
    : query_(connection, "ProductPrices", currentPricesSelect()),
      chunkQuery_(connection, "ProductPricesChunk", currentPricesOfManySelect(kBatchReadChunk)) {}

std::optional<Prices> TProductPrices::read(const std::string& productId) {
    query_.paramByName("PROD_ID").setAsString(productId);
    const db::RecordStore store = query_.run();
    if (store.rowCount() == 0) return std::nullopt;
    return pricesAt(store, 0, 0);
}

// Chunks of 16 numbers in one IN list each, the statement prepared once and
// read straight from its cursor. Measured on 20,000 products of 50,500 in
// one transaction (embedded, same run): one SELECT per product 0.18-0.30 s,
// chunks of 8 to 48 numbers 0.09-0.14 s with 16 the best, 256 0.38 s, 500
// 0.65 s, 1500 1.1-1.6 s: the server tests every row it finds against the
// whole list, so long lists cost more than they save.
//
// The answers are the single lookup's: a number the list finds exactly one
// row for (blanks at the end aside) gets that row; a number it finds none
// or several rows for, or a list that finds a row whose number was not
// asked (a comparison that is not plain bytes), is asked alone.
std::vector<std::optional<Prices>> TProductPrices::readAll(const std::vector<std::string>& productIds) {
    std::vector<std::optional<Prices>> prices;
    if (productIds.empty()) return prices;
    db::TDataLinkConnection& connection = query_.connection();
    std::optional<db::TConnectionTransaction> reading;
    if (!connection.inTransaction()) reading.emplace(connection);

    // Each distinct number is asked once.
    std::unordered_map<std::string_view, std::size_t> distinctIndex;
    std::vector<std::string_view> distinct;
    std::vector<std::size_t> answerOf;
    answerOf.reserve(productIds.size());
    for (const std::string& productId : productIds) {
        const auto [entry, added] = distinctIndex.emplace(productId, distinct.size());
        if (added) distinct.push_back(productId);
        answerOf.push_back(entry->second);
    }
    std::vector<std::optional<Prices>> answers(distinct.size());
    std::vector<std::string_view> listed;
    std::vector<std::size_t> listedAnswer;
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        if (listable(distinct[i])) {
            listed.push_back(distinct[i]);
            listedAnswer.push_back(i);
        } else {
            answers[i] = read(std::string(distinct[i]));
        }
    }
    std::vector<std::optional<Prices>> listedAnswers(listed.size());
    for (std::size_t first = 0; first < listed.size(); first += kBatchReadChunk)
        readChunk(listed, first, std::min(listed.size(), first + kBatchReadChunk), listedAnswers);
    for (std::size_t i = 0; i < listed.size(); ++i) answers[listedAnswer[i]] = std::move(listedAnswers[i]);

    prices.reserve(productIds.size());
    for (const std::size_t answer : answerOf) prices.push_back(answers[answer]);
    if (reading) reading->commit();
    return prices;
}

void TProductPrices::readChunk(const std::vector<std::string_view>& ids, std::size_t first, std::size_t last,
                               std::vector<std::optional<Prices>>& answers) {
    // A short last chunk repeats its last number: one statement serves all.
    db::TParams& params = chunkQuery_.params();
    for (std::size_t i = 0; i < kBatchReadChunk; ++i) params[i].setAsString(std::string(ids[std::min(first + i, last - 1)]));
    TStoredPriceRows rows;
    chunkQuery_.run([&rows, first, last](db::TCursorRows& cursor) { rows.readFrom(cursor, last - first); });

    const auto askedHere = [&](std::string_view key) {
        for (std::size_t i = first; i < last; ++i)
            if (withoutTrailingBlanks(ids[i]) == key) return true;
        return false;
    };
    bool foundUnasked = false;
    for (std::size_t row = 0; row < rows.size() && !foundUnasked; ++row)
        foundUnasked = !askedHere(withoutTrailingBlanks(rows.productId(row)));
    for (std::size_t i = first; i < last; ++i) {
        const std::string_view key = withoutTrailingBlanks(ids[i]);
        std::size_t found = 0, foundRow = 0;
        for (std::size_t row = 0; row < rows.size(); ++row)
            if (withoutTrailingBlanks(rows.productId(row)) == key) {
                ++found;
                foundRow = row;
            }
        answers[i] = !foundUnasked && found == 1 ? std::optional<Prices>(pricesOf(rows.prices(foundRow)))
                                                 : read(std::string(ids[i]));
    }
}

}  // namespace batch
