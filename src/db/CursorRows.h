// An open driver cursor walked row by row, each cell read from the driver
// when it is asked for. For reads that keep a few typed values of every row
// and need no copy of the whole result (the read service's RecordStore
// holds every cell, names and null bits included).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "DriverInterface.h"

namespace db {

class TCursorRows {
public:
    // check is called only with a failed result and raises its error,
    // worded by the owner of the cursor.
    TCursorRows(dl::IDriverCursor& cursor, std::function<void(dl::DriverResult)> check);

    std::size_t columnCount() const { return columns_.size(); }
    // Columns count from 0.
    const std::string& columnName(std::size_t column) const { return columns_[column].name; }
    dl::ColumnType columnType(std::size_t column) const { return columns_[column].type; }

    // Moves to the next row; false past the last one.
    bool next();
    // The current row's cell; false for a null, which leaves the value as
    // it was. Text stays valid until the next call of next().
    bool integerAt(std::size_t column, std::int64_t& value);
    bool doubleAt(std::size_t column, double& value);
    bool textAt(std::size_t column, std::string_view& bytes);

private:
    struct Column {
        std::string name;
        dl::ColumnType type;
    };

    void check(dl::DriverResult result) const {
        if (dl::statusOf(result) != 0) check_(result);
    }
    static std::uint16_t position(std::size_t column) { return static_cast<std::uint16_t>(column + 1); }

    dl::IDriverCursor& cursor_;
    std::function<void(dl::DriverResult)> check_;
    std::vector<Column> columns_;
};

}  // namespace db
