#include "PriceWriteBack.h"

#include <exception>
#include <vector>

#include "Big5Text.h"
#include "ConnectionTransaction.h"
#include "CurrentPriceReader.h"
#include "Errors.h"
#include "ServerSettings.h"
#include "TDataLinkConnection.h"
#include "PriceJournal.h"
#include "ProgramIdentity.h"
#include "StatementService.h"

namespace batch {

namespace {

// How long the look at rows in doubt right after the loss waits for the
// server to take its connection.
constexpr std::chrono::seconds kLookAgainWithin{1};

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
    sent_ = 0;
    stopped_ = false;
    doubt_.reset();
    journalPath_.clear();
    if (!writeBack_.oneTransaction) {
        writeBatch(rows, steps, nullptr);
        return true;
    }
    // The journal's current prices are read inside the transaction too, so
    // that they are the ones its UPDATEs replace.
    tell(steps, WriteBackPhase::ReadingPrices);
    db::TConnectionTransaction transaction(statement_.connection());
    writeBatch(rows, steps, &transaction);
    return true;
}

void TPriceWriteBack::writeBatch(TPriceRows& rows, const WriteBackSteps& steps,
                                 db::TConnectionTransaction* transaction) {
    if (!journal_.enabled) {
        try {
            writeAll(rows, steps, rowCount(rows), transaction);
        } catch (const std::exception& rowError) {
            settleAfterError(steps, rowError);
        }
        return;
    }
    if (!steps.knownOldPrices) tell(steps, WriteBackPhase::ReadingPrices);
    const std::vector<journal::JournalEntry> entries = journalEntries(statement_, rows, rowCount(rows), steps);
    tell(steps, WriteBackPhase::WritingJournal);
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
        tell(steps, WriteBackPhase::ClosingJournal);
        closeAfterError(journal, rowError);
        if (doubt_) doubt_->journalPath = journalPath_;
        settleAfterError(steps, rowError);
        return;
    }
    tell(steps, WriteBackPhase::ClosingJournal);
    journal.close(written_);
}

void TPriceWriteBack::writeAll(TPriceRows& rows, const WriteBackSteps& steps, std::size_t total,
                               db::TConnectionTransaction* transaction) {
    tell(steps, WriteBackPhase::Rows);
    if (!transaction) {
        writeRows(rows, steps, total);
        return;
    }
    try {
        writeRows(rows, steps, total);
        if (!stopped_ && steps.stopRequested && steps.stopRequested()) stopped_ = true;
        if (stopped_) {
            // A stop is no reason to publish part of a batch that was
            // promised whole: it ends the way a failure does.
            transaction->rollback();
            return;
        }
    } catch (const std::exception& failure) {
        std::string rollbackFailure;
        try {
            transaction->rollback();
        } catch (const std::exception& rollbackError) {
            rollbackFailure = rollbackError.what();
        }
        raiseNothingWritten(failure, rollbackFailure);
    }
    tell(steps, WriteBackPhase::Committing);
    try {
        transaction->commit();
    } catch (const rt::DatabaseError& failure) {
        // The commit was sent: with the connection gone before its answer,
        // the server may have made the batch durable or not.
        if (!failure.driverFailure().connectionLost) raiseNothingWritten(failure, {});
        doubtAll(rows, total);
        throw;
    } catch (const std::exception& failure) {
        raiseNothingWritten(failure, {});
    }
    written_ = total;
}

void TPriceWriteBack::doubtAll(TPriceRows& rows, std::size_t total) {
    RowsInDoubt doubt;
    doubt.oneTransaction = true;
    doubt.total = total;
    doubt.rows.reserve(total);
    for (rows.first(); !rows.eof(); rows.next()) doubt.rows.push_back(rows.current());
    doubt_ = std::move(doubt);
}

// Once the journal says what is known, the rows in doubt are looked at
// again at once; the run's error is raised either way, unless the one
// transaction's commit is found made. A one-transaction batch found rolled
// back ends as every other failure of it, saying so.
void TPriceWriteBack::settleAfterError(const WriteBackSteps& steps, const std::exception& rowError) {
    if (!doubt_) throw;
    settleAtOnce(steps);
    if (doubt_ || !writeBack_.oneTransaction) throw;
    if (written_ == 0) raiseNothingWritten(rowError, {});
}

void TPriceWriteBack::settleAtOnce(const WriteBackSteps& steps) {
    tell(steps, WriteBackPhase::CheckingDoubt);
    // A connection of its own, so that the write-back's stays as the loss
    // left it; a server that takes no connection within a second is not
    // back yet, and the rows stay in doubt for a later look.
    db::ConnectionSettings lookSettings = statement_.connection().settings();
    lookSettings.params.setValue("Connection Timeout", std::to_string(kLookAgainWithin.count()));
    db::TDataLinkConnection look("RowsInDoubt");
    look.useSettings(lookSettings);
    try {
        look.setAnswerTimeout(settings::ServerSettings::load().answerTimeout);
        written_ = settleRowsInDoubt(look, *doubt_);
    } catch (const std::exception& lookFailure) {
        doubt_->lookFailure = lookFailure.what();
        return;
    }
    doubt_.reset();
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
    std::size_t index = 0;
    for (rows.first(); !rows.eof(); rows.next(), ++index) {
        if (steps.stopRequested && steps.stopRequested()) {
            stopped_ = true;
            return;
        }
        const PriceRow row = rows.current();
        if (steps.rowStarting) steps.rowStarting(row);
        try {
            writePriceRow(statement_, row.prices, row.productId, steps.nulls);
        } catch (const rt::DatabaseError& failure) {
            // Row by row the statement carries its own commit: with the
            // connection gone before the answer, it may have been made.
            if (writeBack_.oneTransaction || !failure.driverFailure().connectionLost) throw;
            doubt_ = RowsInDoubt{false, total, written_, index, {row}, {}, {}};
            throw;
        }
        ++sent_;
        if (!writeBack_.oneTransaction) written_ = sent_;
        if (steps.progress) steps.progress(sent_, total);
    }
}

void TPriceWriteBack::tell(const WriteBackSteps& steps, WriteBackPhase phase) {
    if (steps.phase) steps.phase(phase);
}

}  // namespace batch
