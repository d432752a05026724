// The price write-back without a window: the journal first, then one
// UPDATE per row, each committed by itself, or all of them in one
// transaction committed after the last (settings::WriteBackSettings). The window's
// "3.成本回存" and the revert both run it; the question to the operator and
// the progress reach it as callbacks.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>

#include <QString>

#include "JournalSettings.h"
#include "PriceRows.h"
#include "WriteBackSettings.h"

namespace db {
class TConnectionTransaction;
class TStatementService;
}

namespace journal {
class TJournalWriter;
}

namespace batch {

struct WriteBackSteps {
    // Asked first; unless it answers true nothing is read or written.
    std::function<bool()> confirm;
    // After each row written: rows written so far, rows in all.
    std::function<void(std::size_t written, std::size_t total)> progress;
    // Before each row's UPDATE: the row about to be written.
    std::function<void(const PriceRow& row)> rowStarting;
    // Asked before each row: true ends the loop there, the rows before it
    // written and the journal closed with their count; in one transaction
    // they are rolled back and the count is 0.
    std::function<bool()> stopRequested;
    // The prices PRODUCT holds for a row, when the caller has read them
    // already (the revert); otherwise they are read here.
    std::function<std::optional<product::TierPrices>(std::size_t row)> knownOldPrices;
    // What the journal's header names as the source of its prices.
    QString source = QStringLiteral("write-back");
    NullPrice nulls = NullPrice::Refused;
};

class TPriceWriteBack {
public:
    TPriceWriteBack(db::TStatementService& statement, journal::JournalSettings journal,
                    settings::WriteBackSettings writeBack = settings::WriteBackSettings::load());

    // False when not confirmed. With the journal on, every row's current and
    // new prices are on disk before the first UPDATE, and the closing line
    // follows the loop however it ends; a journal that cannot be written
    // stops everything before the database is touched, and is removed. An
    // error of a row ends the loop there, rows before it staying written; in
    // one transaction every row is rolled back instead, the error's message
    // ends with the words that nothing was written, and the closing line
    // counts 0.
    bool run(TPriceRows& rows, const WriteBackSteps& steps);

    std::size_t written() const { return written_; }
    // The loop ended early because stopRequested said so.
    bool stopped() const { return stopped_; }
    // Empty when the journal is off.
    const QString& journalPath() const { return journalPath_; }

private:
    void writeBatch(TPriceRows& rows, const WriteBackSteps& steps, db::TConnectionTransaction* transaction);
    void writeAll(TPriceRows& rows, const WriteBackSteps& steps, std::size_t total,
                  db::TConnectionTransaction* transaction);
    void closeAfterError(journal::TJournalWriter& journal, const std::exception& rowError);
    static std::size_t rowCount(TPriceRows& rows);
    void writeRows(TPriceRows& rows, const WriteBackSteps& steps, std::size_t total);

    db::TStatementService& statement_;
    journal::JournalSettings journal_;
    settings::WriteBackSettings writeBack_;
    std::size_t written_ = 0;
    bool stopped_ = false;
    QString journalPath_;
};

}  // namespace batch
