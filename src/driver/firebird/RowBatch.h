// The rows of one fetch round, decoded from the client's result area into
// storage that is reused from batch to batch.
#pragma once

#include "ClientLibrary.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fbdrv {

// Reads a text blob whole; returns false and fills status on failure.
class BlobReader {
public:
    virtual bool read(ISC_QUAD* id, std::string& text, ISC_STATUS* status) = 0;

protected:
    ~BlobReader() = default;
};

class RowBatch {
public:
    struct Cell {
        std::int64_t integer = 0;
        double real = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
        bool null = true;
    };

    void clear();
    // Appends the row the client just fetched into area.
    bool append(const XSQLDA* area, bool trimChar, BlobReader& blobs, ISC_STATUS* status);

    std::size_t rows() const { return columns_ ? cells_.size() / columns_ : 0; }
    const Cell& cell(std::size_t row, std::size_t column) const { return cells_[row * columns_ + column]; }
    const char* text(const Cell& cell) const { return arena_.data() + cell.offset; }

private:
    void appendText(Cell& cell, const char* data, std::size_t length);

    std::size_t columns_ = 0;
    std::vector<Cell> cells_;
    std::string arena_;
    std::string blob_;
};

}  // namespace fbdrv
