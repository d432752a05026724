#include "CursorRows.h"

namespace db {

TCursorRows::TCursorRows(dl::IDriverCursor& cursor, std::function<void(dl::DriverResult)> check)
    : cursor_(cursor), check_(std::move(check)) {
    std::uint16_t count = 0;
    this->check(cursor_.getColumnCount(&count));
    for (std::uint16_t position = 1; position <= count; ++position) {
        const char* name = nullptr;
        dl::ColumnType type = dl::ColumnType::Text;
        this->check(cursor_.getColumnName(position, &name));
        this->check(cursor_.getColumnType(position, &type));
        columns_.push_back({name ? name : "", type});
    }
}

bool TCursorRows::next() {
    bool hasRow = false;
    check(cursor_.next(&hasRow));
    return hasRow;
}

bool TCursorRows::integerAt(std::size_t column, std::int64_t& value) {
    bool isNull = false;
    check(cursor_.getInt64(position(column), &value, &isNull));
    return !isNull;
}

bool TCursorRows::doubleAt(std::size_t column, double& value) {
    bool isNull = false;
    check(cursor_.getDouble(position(column), &value, &isNull));
    return !isNull;
}

bool TCursorRows::textAt(std::size_t column, std::string_view& bytes) {
    const char* data = nullptr;
    std::uint32_t length = 0;
    bool isNull = false;
    check(cursor_.getText(position(column), &data, &length, &isNull));
    if (isNull) return false;
    bytes = std::string_view(data, length);
    return true;
}

}  // namespace db
