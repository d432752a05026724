// A whole query result held in memory, column by column: one typed array per
// column, text bytes packed back to back in one arena per column, and a null
// bit per cell. A hundred thousand rows cost little more than their bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DriverInterface.h"
#include "FieldValue.h"

namespace db {

class RecordStore {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    void addColumn(std::string name, dl::ColumnType type);
    std::size_t columnCount() const { return columns_.size(); }
    const std::string& columnName(std::size_t column) const { return columns_[column].name; }
    dl::ColumnType columnType(std::size_t column) const { return columns_[column].type; }
    // Position of the first column with the name, letter case ignored; npos if none.
    std::size_t findColumn(std::string_view name) const;

    // A row is filled by one append per column, in column order, then endRow().
    void appendNull(std::size_t column);
    void appendInteger(std::size_t column, std::int64_t value);
    void appendDouble(std::size_t column, double value);
    void appendText(std::size_t column, std::string_view bytes);
    void endRow() { ++rowCount_; }
    std::size_t rowCount() const { return rowCount_; }

    bool isNull(std::size_t column, std::size_t row) const;
    std::int64_t integerAt(std::size_t column, std::size_t row) const;
    double doubleAt(std::size_t column, std::size_t row) const;
    std::string_view textAt(std::size_t column, std::size_t row) const;
    rt::FieldValue valueAt(std::size_t column, std::size_t row) const;

    // Attributes carried with the data, such as "LCID".
    void setLocaleCode(int code) { localeCode_ = code; }
    int localeCode() const { return localeCode_; }

    // Bytes held, for the memory figures of the benchmark.
    std::size_t heapBytes() const;

private:
    struct Column {
        std::string name;
        dl::ColumnType type;
        std::vector<std::uint64_t> nullBits;
        std::vector<std::uint64_t> numbers;    // int64 or the bits of a double
        std::vector<std::uint32_t> textEnds;   // end of each row's text in the arena
        std::string arena;
    };

    void markNull(Column& column, std::size_t row, bool isNull);

    std::vector<Column> columns_;
    std::size_t rowCount_ = 0;
    int localeCode_ = 0;
};

}  // namespace db
