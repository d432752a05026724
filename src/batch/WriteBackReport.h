// What the operator is told when a write-back ends before its last row:
// how many rows reached PRODUCT, the product it stopped at, and that none
// after it did. Texts are Big5 like every message of the window.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "PriceRows.h"

namespace batch {

struct WriteBackEnd {
    std::size_t written = 0;
    std::size_t total = 0;
    // The row whose UPDATE was sent and not committed; nothing when the
    // loop stopped between rows.
    std::optional<PriceRow> rowInFlight;
    // The attachment was lost (or closed by the program because the server
    // did not answer): the operator writes the batch again once it is back.
    bool connectionLost = false;
};

// The error's own text unchanged, then one line of what was written.
std::string stoppedByErrorMessage(const std::string& errorText, const WriteBackEnd& end);

// Told after the operator's Cancel.
std::string cancelledMessage(const WriteBackEnd& end);

// The row's product as the dialog and the messages name it
// (product::productLabel).
std::string productLabel(const PriceRow& row);

}  // namespace batch
