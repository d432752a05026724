// What the operator is told when a write-back ends before its last row:
// what PRODUCT holds now, as the database's answers tell it. Row by row,
// how many rows reached PRODUCT, the product it stopped at, and that none
// after it did; in one transaction, that nothing was written. Texts are
// Big5 like every message of the window.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "PriceRows.h"

namespace batch {

struct WriteBackEnd {
    // Rows whose commit answered; in one transaction all or none.
    std::size_t written = 0;
    std::size_t total = 0;
    // The row whose UPDATE was sent and not committed; nothing when the
    // loop stopped between rows.
    std::optional<PriceRow> rowInFlight;
    // The attachment was lost (or closed by the program because the server
    // did not answer): the operator writes the batch again once it is back.
    bool connectionLost = false;
    bool oneTransaction = false;
    // The commit was on its way when the connection was lost, and the
    // database could not be asked since: whether it holds rowInFlight's
    // prices (row by row) or the batch's (one transaction) is not known.
    bool inDoubt = false;
};

// The error's own text unchanged, then one line of what was written. In
// one transaction the error says already that nothing was written, and
// only a lost connection or a commit in doubt adds a line.
std::string stoppedByErrorMessage(const std::string& errorText, const WriteBackEnd& end);

// Told after the operator's Cancel.
std::string cancelledMessage(const WriteBackEnd& end);

// The dialog's count while a one-transaction batch is sent: none of it is
// written until the commit after the last row.
std::string sentText(std::size_t sent, std::size_t total);

// The row's product as the dialog and the messages name it
// (product::productLabel).
std::string productLabel(const PriceRow& row);

}  // namespace batch
