// The journals of one folder as a list shows them, newest first: what each
// header says, how many rows it holds and wrote, and whether a revert has
// put it back. A file that is no journal is listed with the reason, so that
// nothing in the folder goes unseen.
#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

#include "PriceJournal.h"

namespace journal {

enum class JournalState {
    Complete,    // the closing line holds its count
    Unfinished,  // the write-back never reached its closing count
    Reverted,    // a revert that still stands put it back
};

struct ListedJournal {
    QString path;
    QString fileName;
    // Nothing for a file that is no journal; error then says why.
    std::optional<JournalHeader> header;
    QString error;
    std::size_t rows = 0;
    std::optional<std::size_t> written;  // nothing: unfinished
    QString revertedBy;                  // the revert's file name; empty when none stands

    bool isJournal() const { return header.has_value(); }
    JournalState state() const;
    // The file name a revert put back; empty for a write-back.
    QString reverts() const;
};

// Every file journalFiles() names, in its order (newest first).
std::vector<ListedJournal> listJournals(const QString& folder);

}  // namespace journal
