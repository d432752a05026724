#include "CursorReader.h"

namespace db {

namespace {

// Status checks stay out of the way of the common path: a failure is worded
// only when it happens.
class CursorReader {
public:
    CursorReader(dl::IDriverCursor& cursor, const std::function<void(dl::DriverResult)>& check)
        : cursor_(cursor), check_(check) {}

    RecordStore read() {
        RecordStore store;
        std::uint16_t count = 0;
        check(cursor_.getColumnCount(&count));
        for (std::uint16_t position = 1; position <= count; ++position) {
            const char* name = nullptr;
            dl::ColumnType type = dl::ColumnType::Text;
            check(cursor_.getColumnName(position, &name));
            check(cursor_.getColumnType(position, &type));
            store.addColumn(name ? name : "", type);
        }
        bool hasRow = false;
        check(cursor_.next(&hasRow));
        while (hasRow) {
            for (std::uint16_t position = 1; position <= count; ++position) {
                readCell(store, position);
            }
            store.endRow();
            check(cursor_.next(&hasRow));
        }
        return store;
    }

private:
    void readCell(RecordStore& store, std::uint16_t position) {
        const std::size_t column = position - 1u;
        bool isNull = false;
        switch (store.columnType(column)) {
            case dl::ColumnType::Integer: {
                std::int64_t value = 0;
                check(cursor_.getInt64(position, &value, &isNull));
                if (isNull) store.appendNull(column); else store.appendInteger(column, value);
                break;
            }
            case dl::ColumnType::Double: {
                double value = 0;
                check(cursor_.getDouble(position, &value, &isNull));
                if (isNull) store.appendNull(column); else store.appendDouble(column, value);
                break;
            }
            case dl::ColumnType::Text: {
                const char* data = nullptr;
                std::uint32_t length = 0;
                check(cursor_.getText(position, &data, &length, &isNull));
                if (isNull) store.appendNull(column); else store.appendText(column, {data, length});
                break;
            }
        }
    }

    void check(dl::DriverResult result) {
        if (dl::statusOf(result) != 0) check_(result);
    }

    dl::IDriverCursor& cursor_;
    const std::function<void(dl::DriverResult)>& check_;
};

}  // namespace

RecordStore readCursor(dl::IDriverCursor& cursor, const std::function<void(dl::DriverResult)>& check) {
    return CursorReader(cursor, check).read();
}

}  // namespace db
