// Puts back the prices a journal's write-back replaced, with the
// write-back's own statement and loop, under a journal of its own (so that
// a revert can be reverted too).
//
// Every row is judged by what PRODUCT holds now, whatever the closing
// line's count says (a commit whose answer was lost is past the count, yet
// in the database). The rows of one product are judged together, as every
// state the batch could have left it in: the prices the first row found
// there need nothing; the prices any of its rows wrote are put back to the
// first row's old prices, in one UPDATE; anything else was changed since
// and is skipped, unless forced.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "Errors.h"
#include "JournalSettings.h"
#include "PriceJournal.h"
#include "PriceWriteBack.h"
#include "WriteBackSettings.h"

namespace db {
class TDataLinkConnection;
class TStatementService;
}  // namespace db

namespace batch {

struct ChangedRow;
class RevertRefused;

struct RevertOptions {
    // Also rows changed since, a journal of another database, and one that
    // newer journals wrote over.
    bool force = false;
    journal::JournalSettings journal = journal::JournalSettings::load();
    // Rows done so far: written row by row, only sent in one transaction.
    std::function<void(std::size_t done, std::size_t total)> progress;
    // Row by row or all in one transaction, as the write-back.
    settings::WriteBackSettings writeBack = settings::WriteBackSettings::load();
    // Asked before each row is written: true stops after the row in flight;
    // in one transaction the rows before it are rolled back.
    std::function<bool()> stopRequested;
    // Unless forced, asked before a check refuses the revert: true goes on
    // past that check as if forced. Without it the check refuses.
    std::function<bool(const RevertRefused& refusal)> overrideRefusal{};
    // Unless forced, asked once with every row changed since: true reverts
    // them too. Without it they are left alone.
    std::function<bool(const std::vector<ChangedRow>& changed)> revertChangedRows{};
    // Runs the write-back's loop (the window's runs it on its worker);
    // without it the loop runs here.
    std::function<void(TPriceWriteBack& writeBack, TPriceRows& rows, const WriteBackSteps& steps)> runWriteBack{};
};

struct ChangedRow {
    journal::JournalEntry entry;
    product::TierPrices now;
};

struct RevertReport {
    std::size_t rows = 0;       // rows in the journal
    std::size_t reverted = 0;   // written back, forced ones included
    std::size_t unchanged = 0;  // held the old prices already
    std::vector<ChangedRow> skipped;  // changed since, left alone
    std::vector<ChangedRow> forced;   // changed since, reverted all the same
    std::vector<journal::JournalEntry> missing;  // no longer in PRODUCT
    QString journalPath;        // the revert's own journal; empty when off
    bool stopped = false;       // stopRequested ended it before its last row
    // The connection was lost with a commit on its way, and the database
    // could not be asked since: the failing row (or, in one transaction,
    // the batch) may be reverted or not.
    bool inDoubt = false;
    bool complete() const { return skipped.empty() && missing.empty(); }
};

// A check refused the revert before anything was written: the journal was
// made against another Database value, or newer journals of the folder
// wrote some of its products and still stand. named: the journal's and the
// connection's Database values, or the newer journals' file names.
class RevertRefused : public rt::AppError {
public:
    enum class Check { OtherDatabase, NewerJournals };
    RevertRefused(Check check, const std::string& message, QStringList named)
        : rt::AppError(message), check_(check), named_(std::move(named)) {}
    Check check() const { return check_; }
    const QStringList& named() const { return named_; }

private:
    Check check_;
    QStringList named_;
};

// A row failed part-way: rows before it stay reverted (in one transaction
// none does). Tells the failing
// row, the summary so far and the revert's own journal besides the error.
class RevertStopped : public rt::AppError {
public:
    RevertStopped(const std::string& message, std::exception_ptr cause, RevertReport report, journal::JournalEntry failing)
        : rt::AppError(message), cause_(std::move(cause)), report_(std::move(report)), failing_(std::move(failing)) {}
    const RevertReport& report() const { return report_; }
    const journal::JournalEntry& failingRow() const { return failing_; }
    // The row's own error, a database error with what the driver said.
    std::exception_ptr cause() const { return cause_; }

private:
    std::exception_ptr cause_;
    RevertReport report_;
    journal::JournalEntry failing_;
};

class TPriceRevert {
public:
    TPriceRevert(db::TStatementService& statement, RevertOptions options);

    // Connects first. Raises RevertRefused, before anything is written, for
    // a journal made against another Database value, or one that newer
    // journals of the folder wrote over and that still stand (unless forced
    // or overridden). Raises RevertStopped for a row that fails.
    RevertReport run(const journal::Journal& journal);

private:
    void checkDatabase(const journal::Journal& journal);
    void checkOrder(const journal::Journal& journal);
    void refuseUnlessOverridden(const RevertRefused& refusal) const;

    db::TStatementService& statement_;
    RevertOptions options_;
};

}  // namespace batch
