#include "PriceWriteBack.h"

#include <exception>
#include <vector>

#include "Big5Text.h"
#include "Errors.h"
#include "PriceJournal.h"
#include "ProductPrices.h"
#include "StatementService.h"

namespace batch {

namespace {

// Every row with the prices PRODUCT holds now, read before the journal file
// is made, so that a failed read leaves no file behind.
std::vector<JournalEntry> journalEntries(db::TStatementService& statement, TPriceRows& rows,
                                         const WriteBackSteps& steps) {
    std::vector<JournalEntry> entries;
    for (rows.first(); !rows.eof(); rows.next()) {
        PriceRow row = rows.current();
        entries.push_back({std::move(row.productId), std::move(row.productName), std::nullopt, row.prices});
    }
    if (steps.knownOldPrices) {
        for (std::size_t row = 0; row < entries.size(); ++row) entries[row].oldPrices = steps.knownOldPrices(row);
        return entries;
    }
    std::vector<std::string> productIds;
    productIds.reserve(entries.size());
    for (const JournalEntry& entry : entries) productIds.push_back(entry.productId);
    std::vector<std::optional<Prices>> current = TProductPrices(statement.connection()).readAll(productIds);
    for (std::size_t row = 0; row < entries.size(); ++row) entries[row].oldPrices = std::move(current[row]);
    return entries;
}

JournalHeader headerFor(const db::TStatementService& statement, const QString& source) {
    return {big5::toUnicode(statement.connection().Params().value("Database")), QDateTime::currentDateTimeUtc(),
            loginName(), source};
}

}  // namespace

TPriceWriteBack::TPriceWriteBack(db::TStatementService& statement, JournalSettings journal)
    : statement_(statement), journal_(std::move(journal)) {}

bool TPriceWriteBack::run(TPriceRows& rows, const WriteBackSteps& steps) {
    if (steps.confirm && !steps.confirm()) return false;
    written_ = 0;
    stopped_ = false;
    journalPath_.clear();
    if (!journal_.enabled) {
        writeRows(rows, steps, 0);
        return true;
    }
    const std::vector<JournalEntry> entries = journalEntries(statement_, rows, steps);
    TJournalWriter journal(journal_.folder, headerFor(statement_, steps.source));
    journalPath_ = journal.path();
    for (const JournalEntry& entry : entries) journal.addEntry(entry);
    journal.sync();
    try {
        writeRows(rows, steps, entries.size());
    } catch (const std::exception& rowError) {
        // The row's error is what the operator sees; a closing line that
        // fails as well is told after it.
        try {
            journal.close(written_);
        } catch (const std::exception& journalError) {
            throw rt::AppError(std::string(rowError.what()) + "\r\n" + journalError.what());
        }
        throw;
    }
    journal.close(written_);
    return true;
}

void TPriceWriteBack::writeRows(TPriceRows& rows, const WriteBackSteps& steps, std::size_t total) {
    for (rows.first(); !rows.eof(); rows.next()) {
        if (steps.stopRequested && steps.stopRequested()) {
            stopped_ = true;
            return;
        }
        const PriceRow row = rows.current();
        if (steps.rowStarting) steps.rowStarting(row);
        writePriceRow(statement_, row.prices, row.productId, steps.nulls);
        ++written_;
        if (steps.progress) steps.progress(written_, total);
    }
}

}  // namespace batch

