// The price write-back without a window: the journal first, then one
// UPDATE per row, each committed by itself, or all of them in one
// transaction committed after the last (settings::WriteBackSettings). The window's
// "3.成本回存" and the revert both run it; the question to the operator and
// the progress reach it as callbacks.
#pragma once

#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <optional>

#include <QString>

#include "JournalSettings.h"
#include "PriceRows.h"
#include "RowsInDoubt.h"
#include "WriteBackSettings.h"

namespace db {
class TConnectionTransaction;
class TStatementService;
}

namespace journal {
class TJournalWriter;
}

namespace batch {

// Where the write-back's worker is, for a caller that must know whether a
// database call is on its way and which: only a read or a row's UPDATE may
// be interrupted; a commit is let finish.
enum class WriteBackPhase {
    ReadingPrices,   // the journal's read of the current prices
    WritingJournal,  // the journal's rows onto the disk: no database call
    Rows,            // the UPDATE loop: each row told by rowStarting and progress
    Committing,      // the one transaction's commit is on its way
    ClosingJournal,  // the closing count onto the disk: no database call
    CheckingDoubt,   // reading what PRODUCT holds for rows whose commit got no answer
};

struct WriteBackSteps {
    // Asked first; unless it answers true nothing is read or written.
    std::function<bool()> confirm;
    // After each row's UPDATE has answered: rows so far, rows in all. Row
    // by row they are written (committed); in one transaction only sent,
    // and written once the commit answers.
    std::function<void(std::size_t done, std::size_t total)> progress;
    // Before each row's UPDATE: the row about to be written.
    std::function<void(const PriceRow& row)> rowStarting;
    // Asked before each row, and in one transaction once more before the
    // commit: true ends the loop there, the rows before it written and the
    // journal closed with their count; in one transaction they are rolled
    // back and the count is 0.
    std::function<bool()> stopRequested;
    // Each time the worker moves on to another phase.
    std::function<void(WriteBackPhase)> phase;
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
    // counts 0. A lost connection while a commit was on its way (a row's,
    // or the one transaction's) leaves its rows in doubt: the journal is
    // closed with the rows known written, and what PRODUCT holds for them is
    // read at once over a connection of its own; when the server answers,
    // that is the count (the closing line written over), otherwise the
    // rows stay in doubt (inDoubt()) for the caller to settle later. A
    // one-transaction commit found made ends the run as if it had answered.
    bool run(TPriceRows& rows, const WriteBackSteps& steps);

    bool oneTransaction() const { return writeBack_.oneTransaction; }
    // Rows the database holds as far as its answers tell: row by row those
    // whose commit answered, in one transaction all or none.
    std::size_t written() const { return written_; }
    // Rows whose UPDATE answered, committed or not.
    std::size_t sent() const { return sent_; }
    // Rows whose commit got no answer and that could not be read since.
    const std::optional<RowsInDoubt>& inDoubt() const { return doubt_; }
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
    void doubtAll(TPriceRows& rows, std::size_t total);
    // Only inside the handler of rowError: raises it again unless the one
    // transaction's commit is found made.
    void settleAfterError(const WriteBackSteps& steps, const std::exception& rowError);
    void settleAtOnce(const WriteBackSteps& steps);
    static void tell(const WriteBackSteps& steps, WriteBackPhase phase);

    db::TStatementService& statement_;
    journal::JournalSettings journal_;
    settings::WriteBackSettings writeBack_;
    std::size_t written_ = 0;
    std::size_t sent_ = 0;
    bool stopped_ = false;
    std::optional<RowsInDoubt> doubt_;
    QString journalPath_;
};

}  // namespace batch
