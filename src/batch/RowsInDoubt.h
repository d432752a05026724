// Rows whose commit was on its way when the connection was lost: the
// server may have made them durable before it went, or not. Nothing about
// them is guessed; once the server answers again, what PRODUCT holds for
// them is read with the journal's batch read, and that is the count.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <QString>

#include "PriceRows.h"

namespace db {
class TDataLinkConnection;
}

namespace batch {

struct RowsInDoubt {
    // All the batch's rows hang on one commit; otherwise the one row in
    // flight does.
    bool oneTransaction = false;
    std::size_t total = 0;
    // Rows known written before them: their commits answered.
    std::size_t writtenBefore = 0;
    // The place of the first of them in the batch, from 0.
    std::size_t firstRow = 0;
    std::vector<PriceRow> rows;
    // The write-back's journal, whose closing count is written over with
    // what is found; empty with the journal off.
    QString journalPath;
    // Why the last look at them failed; empty before any.
    std::string lookFailure;
};

// Reads what PRODUCT holds for the rows over connection (connecting it when
// needed) and gives the rows of the batch written in all. A row is written
// when its product holds the prices it wrote, to the cent, or is not in
// PRODUCT (its UPDATE changed nothing either way); one commit for all is
// written when every product holds what the batch's last row of it wrote.
// The journal's closing line is then given that count. Raises the
// connection's or the journal's error, the rows staying in doubt.
std::size_t settleRowsInDoubt(db::TDataLinkConnection& connection, const RowsInDoubt& doubt);

// What the operator is told once they are settled, in Big5: how many rows
// the database holds.
std::string settledMessage(const RowsInDoubt& doubt, std::size_t written);

}  // namespace batch
