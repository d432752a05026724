#include "PriceWriteBack.h"

#include <exception>
#include <vector>

#include "Big5Text.h"
#include "ConnectionTransaction.h"
#include "CurrentPriceReader.h"
#include "Errors.h"
#include "PriceJournal.h"
#include "ProgramIdentity.h"
#include "StatementService.h"

namespace batch {

namespace {

// Every row with the prices PRODUCT holds now, read before the journal file
// is made, so that a failed read leaves no file behind.
// rowCount: the rows', so that the entries are made in place once.
std::vector<journal::JournalEntry> journalEntries(db::TStatementService& statement, TPriceRows& rows, std::size_t rowCount,
                                         const WriteBackSteps& steps) {
    std::vector<journal::JournalEntry> entries;
    entries.reserve(rowCount);
    for (rows.first(); !rows.eof(); rows.next()) {
        PriceRow row = rows.current();
        entries.emplace_back(std::move(row.productId), std::move(row.productName), std::nullopt, row.prices);
    }
    if (steps.knownOldPrices) {
        for (std::size_t row = 0; row < entries.size(); ++row) entries[row].oldPrices = steps.knownOldPrices(row);
        return entries;
    }
    std::vector<std::string> productIds;
    productIds.reserve(entries.size());
    for (const journal::JournalEntry& entry : entries) productIds.push_back(entry.productId);
    std::vector<std::optional<product::TierPrices>> current =
        catalog::TCurrentPriceReader(statement.connection()).readAll(productIds);
    for (std::size_t row = 0; row < entries.size(); ++row) entries[row].oldPrices = std::move(current[row]);
    return entries;
}

// Follows the failure's own text, in the window's language.
const char* const kNothingWritten = "回存失敗，整批已復原，沒有寫入任何價格。";

// The failure that ended a one-transaction batch, its message told that
// nothing was written; a database error keeps what the driver reported.
[[noreturn]] void raiseNothingWritten(const std::exception& failure, const std::string& rollbackFailure) {
    std::string message = failure.what();
    if (!rollbackFailure.empty()) message += "\r\n" + rollbackFailure;
    message += "\r\n" + big5::fromUtf8(kNothingWritten);
    rt::raiseWithMessage(failure, message);
}

journal::JournalHeader headerFor(const db::TStatementService& statement, const QString& source) {
    return {big5::toUnicode(statement.connection().Params().value("Database")), QDateTime::currentDateTimeUtc(),
            settings::loginName(), source};
}

}  // namespace

TPriceWriteBack::TPriceWriteBack(db::TStatementService& statement, journal::JournalSettings journal,
                                 settings::WriteBackSettings writeBack)
    : statement_(statement), journal_(std::move(journal)), writeBack_(writeBack) {}

bool TPriceWriteBack::run(TPriceRows& rows, const WriteBackSteps& steps) {
    if (steps.confirm && !steps.confirm()) return false;
    written_ = 0;
    stopped_ = false;
    journalPath_.clear();
    if (!writeBack_.oneTransaction) {
        writeBatch(rows, steps, nullptr);
        return true;
    }
    // The journal's current prices are read inside the transaction too, so
    // that they are the ones its UPDATEs replace.
    db::TConnectionTransaction transaction(statement_.connection());
    writeBatch(rows, steps, &transaction);
    return true;
}

void TPriceWriteBack::writeBatch(TPriceRows& rows, const WriteBackSteps& steps,
                                 db::TConnectionTransaction* transaction) {
    if (!journal_.enabled) {
        writeAll(rows, steps, rowCount(rows), transaction);
        return;
    }
    const std::vector<journal::JournalEntry> entries = journalEntries(statement_, rows, rowCount(rows), steps);
    journal::TJournalWriter journal(journal_.folder, headerFor(statement_, steps.source), journal_.disk);
    try {
        for (const journal::JournalEntry& entry : entries) journal.addEntry(entry);
        journal.sync();
    } catch (...) {
        // Nothing has reached the database: a journal left behind would
        // pose as an unfinished write-back.
        journal.discard();
        throw;
    }
    journalPath_ = journal.path();
    try {
        writeAll(rows, steps, entries.size(), transaction);
    } catch (const std::exception& rowError) {
        closeAfterError(journal, rowError);
        throw;
    }
    journal.close(written_);
}

void TPriceWriteBack::writeAll(TPriceRows& rows, const WriteBackSteps& steps, std::size_t total,
                               db::TConnectionTransaction* transaction) {
    if (!transaction) {
        writeRows(rows, steps, total);
        return;
    }
    try {
        writeRows(rows, steps, total);
        if (stopped_) {
            // A stop is no reason to publish part of a batch that was
            // promised whole: it ends the way a failure does.
            written_ = 0;
            transaction->rollback();
            return;
        }
        transaction->commit();
    } catch (const std::exception& failure) {
        written_ = 0;
        std::string rollbackFailure;
        try {
            transaction->rollback();
        } catch (const std::exception& rollbackError) {
            rollbackFailure = rollbackError.what();
        }
        raiseNothingWritten(failure, rollbackFailure);
    }
}

// The row's error is what the operator sees; a closing line that fails as
// well is told after it, and a database error keeps what the driver said.
void TPriceWriteBack::closeAfterError(journal::TJournalWriter& journal, const std::exception& rowError) {
    try {
        journal.close(written_);
    } catch (const std::exception& journalError) {
        rt::raiseWithMessage(rowError, std::string(rowError.what()) + "\r\n" + journalError.what());
    }
}

std::size_t TPriceWriteBack::rowCount(TPriceRows& rows) {
    std::size_t count = 0;
    for (rows.first(); !rows.eof(); rows.next()) ++count;
    return count;
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

