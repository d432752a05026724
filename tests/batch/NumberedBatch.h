// A large batch for the tests that stop a program in the middle of it: the
// products K000000, K000001, ... in PRODUCT, and the journal of a write-back
// over them, made without running one.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "PointOfSaleSchema.h"
#include "PriceJournal.h"

namespace testsupport {

inline std::string numberedProductId(int row) {
    char id[16];
    std::snprintf(id, sizeof id, "K%06d", row);
    return id;
}

// One statement inserting rows products named by numberedProductId; prices
// is the six price columns' values, SQL in which :I is the row.
inline std::string numberedProductsInsert(int rows, const std::string& prices) {
    return "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(rows) +
           ") DO BEGIN INSERT INTO PRODUCT (PROD_ID, PROD_NAME, " + kPriceColumns +
           ") VALUES ('K' || LPAD(:I, 6, '0'), 'Item', " + prices + "); I = I + 1; END END";
}
// The prices of risingPrices(0), in SQL.
inline const std::string kRisingPricesSql = ":I + 1, :I + 2, :I + 3, :I + 4, :I + 5, NULL";

// Row i's prices i+1 to i+5 and an empty sixth; with a shift, every one of
// them moved up by it, the sixth becoming the shift itself.
inline product::TierPrices risingPrices(int row, double shift = 0) {
    return {row + 1 + shift, row + 2 + shift, row + 3 + shift, row + 4 + shift, row + 5 + shift,
            shift == 0 ? std::nullopt : std::optional<double>(shift)};
}

// A closed write-back journal in folder of rows products against the
// database file, whose row i gives entryFor(i, its product number); the
// journal's path.
inline QString writeNumberedJournal(const QString& folder, const std::string& databasePath, int rows,
                                    const std::function<journal::JournalEntry(int, const std::string&)>& entryFor) {
    journal::TJournalWriter writer(folder, {QString::fromStdString(databasePath), QDateTime::currentDateTimeUtc(),
                                          QStringLiteral("clerk"), QStringLiteral("write-back")});
    for (int row = 0; row < rows; ++row) writer.addEntry(entryFor(row, numberedProductId(row)));
    writer.close(static_cast<std::size_t>(rows));
    return writer.path();
}

}  // namespace testsupport
