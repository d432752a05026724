// The rows a write-back walks: product number, name and the six prices to
// write, visited from the first to the end like a dataset.
#pragma once

#include <string>
#include <vector>

#include "PriceUpdate.h"

namespace batch {

struct PriceRow {
    std::string productId;    // Big5 bytes, exactly as the UPDATE binds them
    std::string productName;  // Big5 bytes
    product::TierPrices prices;
};

class TPriceRows {
public:
    virtual ~TPriceRows() = default;
    virtual void first() = 0;
    virtual bool eof() const = 0;
    virtual void next() = 0;
    virtual PriceRow current() const = 0;
};

// Rows held in a list, for the revert and the tests.
class TListedPriceRows : public TPriceRows {
public:
    explicit TListedPriceRows(std::vector<PriceRow> rows) : rows_(std::move(rows)) {}
    void first() override { row_ = 0; }
    bool eof() const override { return row_ >= rows_.size(); }
    void next() override { ++row_; }
    PriceRow current() const override { return rows_.at(row_); }
    const std::vector<PriceRow>& rows() const { return rows_; }

private:
    std::vector<PriceRow> rows_;
    std::size_t row_ = 0;
};

}  // namespace batch
