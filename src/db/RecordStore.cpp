#include "RecordStore.h"

#include <bit>
#include <limits>

#include "Errors.h"
#include "StatementParameters.h"

namespace db {

void RecordStore::addColumn(std::string name, dl::ColumnType type) {
    columns_.push_back(Column{std::move(name), type, {}, {}, {}, {}});
}

std::size_t RecordStore::findColumn(std::string_view name) const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (sameName(columns_[i].name, name)) return i;
    }
    return npos;
}

void RecordStore::markNull(Column& column, std::size_t row, bool isNull) {
    const std::size_t word = row / 64;
    if (word >= column.nullBits.size()) column.nullBits.push_back(0);
    if (isNull) column.nullBits[word] |= std::uint64_t{1} << (row % 64);
}

void RecordStore::appendNull(std::size_t column) {
    Column& target = columns_[column];
    markNull(target, rowCount_, true);
    if (target.type == dl::ColumnType::Text) {
        target.textEnds.push_back(static_cast<std::uint32_t>(target.arena.size()));
    } else {
        target.numbers.push_back(0);
    }
}

void RecordStore::appendInteger(std::size_t column, std::int64_t value) {
    Column& target = columns_[column];
    markNull(target, rowCount_, false);
    target.numbers.push_back(static_cast<std::uint64_t>(value));
}

void RecordStore::appendDouble(std::size_t column, double value) {
    Column& target = columns_[column];
    markNull(target, rowCount_, false);
    target.numbers.push_back(std::bit_cast<std::uint64_t>(value));
}

void RecordStore::appendText(std::size_t column, std::string_view bytes) {
    Column& target = columns_[column];
    if (target.arena.size() + bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw rt::DatabaseError("DataLink Error: [0x0002]: Insufficient Memory for Operation");
    }
    markNull(target, rowCount_, false);
    target.arena.append(bytes);
    target.textEnds.push_back(static_cast<std::uint32_t>(target.arena.size()));
}

bool RecordStore::isNull(std::size_t column, std::size_t row) const {
    return (columns_[column].nullBits[row / 64] >> (row % 64)) & 1u;
}

std::int64_t RecordStore::integerAt(std::size_t column, std::size_t row) const {
    return static_cast<std::int64_t>(columns_[column].numbers[row]);
}

double RecordStore::doubleAt(std::size_t column, std::size_t row) const {
    return std::bit_cast<double>(columns_[column].numbers[row]);
}

std::string_view RecordStore::textAt(std::size_t column, std::size_t row) const {
    const Column& source = columns_[column];
    const std::uint32_t begin = row == 0 ? 0 : source.textEnds[row - 1];
    return std::string_view(source.arena).substr(begin, source.textEnds[row] - begin);
}

rt::FieldValue RecordStore::valueAt(std::size_t column, std::size_t row) const {
    if (isNull(column, row)) return rt::FieldValue::null();
    switch (columns_[column].type) {
        case dl::ColumnType::Integer: return rt::FieldValue(integerAt(column, row));
        case dl::ColumnType::Double: return rt::FieldValue(doubleAt(column, row));
        case dl::ColumnType::Text: return rt::FieldValue::text(std::string(textAt(column, row)));
    }
    return rt::FieldValue::null();
}

std::size_t RecordStore::heapBytes() const {
    std::size_t bytes = columns_.capacity() * sizeof(Column);
    for (const auto& column : columns_) {
        bytes += column.name.capacity() + column.nullBits.capacity() * 8 +
                 column.numbers.capacity() * 8 + column.textEnds.capacity() * 4 +
                 column.arena.capacity();
    }
    return bytes;
}

}  // namespace db
