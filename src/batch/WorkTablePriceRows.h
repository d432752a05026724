// The product work table as the rows of a write-back: its own first, next
// and end, so that moving first posts what the operator left open in the
// grid and a write-back that stops leaves the failing row current.
#pragma once

#include "PriceRows.h"
#include "ProductWorkTable.h"

namespace batch {

class TWorkTablePriceRows : public TPriceRows {
public:
    explicit TWorkTablePriceRows(TProductWorkTable& table) : table_(table) {}
    void first() override { table_.first(); }
    bool eof() const override { return table_.eof(); }
    void next() override { table_.next(); }
    PriceRow current() const override;

private:
    TProductWorkTable& table_;
};

}  // namespace batch
