// Puts back the prices a journal's write-back replaced, row by row with the
// write-back's own statement and loop, under a journal of its own (so that
// a revert can be reverted too).
//
// Each row is judged by what PRODUCT holds now: the prices the journal
// wrote are reverted; the prices it found there before need nothing (a row
// the write-back never reached); anything else was changed since and is
// skipped, unless forced. Rows past the count of a closing line were not
// written and need nothing. Rows are judged and written from the last to the
// first, so that a product written twice ends with the prices it had before
// the first write.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "JournalSettings.h"
#include "PriceJournal.h"

namespace db {
class TDataLinkConnection;
class TStatementService;
}  // namespace db

namespace batch {

struct RevertOptions {
    // Also rows changed since, and a journal of another database.
    bool force = false;
    JournalSettings journal = JournalSettings::load();
    std::function<void(std::size_t written, std::size_t total)> progress;
    // Asked before each row is written: true stops after the row in flight.
    std::function<bool()> stopRequested;
};

struct ChangedRow {
    JournalEntry entry;
    Prices now;
};

struct RevertReport {
    std::size_t rows = 0;       // rows in the journal
    std::size_t reverted = 0;   // written back, forced ones included
    std::size_t unchanged = 0;  // held the old prices already
    std::vector<ChangedRow> skipped;  // changed since, left alone
    std::vector<ChangedRow> forced;   // changed since, reverted all the same
    std::vector<JournalEntry> missing;  // no longer in PRODUCT
    QString journalPath;        // the revert's own journal; empty when off
    bool stopped = false;       // stopRequested ended it before its last row
    bool complete() const { return skipped.empty() && missing.empty(); }
};

// Equal prices: both null, or numbers that agree to the cent (PRODUCT's
// price columns keep two decimals, so a price typed with more comes back
// rounded).
bool samePrices(const Prices& left, const Prices& right);

class TPriceRevert {
public:
    TPriceRevert(db::TStatementService& statement, RevertOptions options);

    // Connects first. Raises rt::AppError, before anything is written, for
    // a journal made against another Database value (unless forced).
    RevertReport run(const Journal& journal);

private:
    void checkDatabase(const Journal& journal);

    db::TStatementService& statement_;
    RevertOptions options_;
};

}  // namespace batch
