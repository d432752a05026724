#include "RowBatch.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace fbdrv {

namespace {

const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                               1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

double scaled(std::int64_t value, short scale) {
    int magnitude = scale < 0 ? -scale : scale;
    double factor = magnitude <= 18 ? kPowersOfTen[magnitude] : 1e18;
    // Dividing by an exact power of ten rounds once: 1235 at scale -2 is 12.35.
    return scale < 0 ? static_cast<double>(value) / factor : static_cast<double>(value) * factor;
}

template <class T>
T load(const char* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

void setNumber(RowBatch::Cell& cell, std::int64_t value, short scale) {
    if (scale == 0)
        cell.integer = value;
    else
        cell.real = scaled(value, scale);
}

}  // namespace

void RowBatch::clear() {
    cells_.clear();
    arena_.clear();
}

void RowBatch::appendText(Cell& cell, const char* data, std::size_t length) {
    // Cells locate their text with 32-bit offsets and lengths; a batch that
    // outgrows them is refused rather than read back as other rows' bytes.
    if (arena_.size() + length >= std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("Rows of one fetch hold more than 4 GiB of text; fetch fewer rows at a time");
    cell.offset = static_cast<std::uint32_t>(arena_.size());
    cell.length = static_cast<std::uint32_t>(length);
    arena_.append(data, length);
    arena_ += '\0';
}

bool RowBatch::append(const XSQLDA* area, bool trimChar, BlobReader& blobs, ISC_STATUS* status) {
    columns_ = static_cast<std::size_t>(area->sqld);
    for (int i = 0; i < area->sqld; ++i) {
        const XSQLVAR& var = area->sqlvar[i];
        Cell& cell = cells_.emplace_back();
        cell.null = (var.sqltype & 1) && *var.sqlind < 0;
        if (cell.null) continue;
        switch (var.sqltype & ~1) {
            case SQL_SHORT: setNumber(cell, load<short>(var.sqldata), var.sqlscale); break;
            case SQL_LONG: setNumber(cell, load<ISC_LONG>(var.sqldata), var.sqlscale); break;
            case SQL_INT64: setNumber(cell, load<ISC_INT64>(var.sqldata), var.sqlscale); break;
            case SQL_FLOAT: cell.real = load<float>(var.sqldata); break;
            case SQL_DOUBLE:
            case SQL_D_FLOAT: cell.real = load<double>(var.sqldata); break;
            case SQL_TEXT: {
                std::size_t length = static_cast<std::size_t>(var.sqllen);
                if (trimChar)
                    while (length > 0 && var.sqldata[length - 1] == ' ') --length;
                appendText(cell, var.sqldata, length);
                break;
            }
            case SQL_VARYING:
                appendText(cell, var.sqldata + 2, load<unsigned short>(var.sqldata));
                break;
            case SQL_BLOB: {
                ISC_QUAD id = load<ISC_QUAD>(var.sqldata);
                if (!blobs.read(&id, blob_, status)) return false;
                appendText(cell, blob_.data(), blob_.size());
                break;
            }
            default: cell.null = true; break;
        }
    }
    return true;
}

}  // namespace fbdrv
