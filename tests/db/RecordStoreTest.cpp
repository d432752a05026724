#include <gtest/gtest.h>

#include "RecordStore.h"

namespace db {
namespace {

TEST(RecordStore, HoldsEveryKindWithNullsAcrossBitmapWords) {
    RecordStore store;
    store.addColumn("ID", dl::ColumnType::Text);
    store.addColumn("N", dl::ColumnType::Integer);
    store.addColumn("COST", dl::ColumnType::Double);
    const std::size_t rows = 200;
    for (std::size_t row = 0; row < rows; ++row) {
        if (row % 3 == 0) store.appendNull(0); else store.appendText(0, "P" + std::to_string(row));
        if (row % 5 == 0) store.appendNull(1); else store.appendInteger(1, -static_cast<std::int64_t>(row));
        if (row % 7 == 0) store.appendNull(2); else store.appendDouble(2, row + 0.25);
        store.endRow();
    }
    ASSERT_EQ(store.rowCount(), rows);
    for (std::size_t row = 0; row < rows; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(store.isNull(0, row), row % 3 == 0);
        EXPECT_EQ(store.valueAt(0, row),
                  row % 3 == 0 ? rt::FieldValue::null() : rt::FieldValue::text("P" + std::to_string(row)));
        EXPECT_EQ(store.valueAt(1, row),
                  row % 5 == 0 ? rt::FieldValue::null() : rt::FieldValue(-static_cast<std::int64_t>(row)));
        EXPECT_EQ(store.valueAt(2, row),
                  row % 7 == 0 ? rt::FieldValue::null() : rt::FieldValue(row + 0.25));
    }
}

TEST(RecordStore, EmptyTextIsNotNull) {
    RecordStore store;
    store.addColumn("NAME", dl::ColumnType::Text);
    store.appendText(0, "");
    store.endRow();
    store.appendNull(0);
    store.endRow();
    store.appendText(0, std::string("a\0b", 3));
    store.endRow();
    EXPECT_FALSE(store.isNull(0, 0));
    EXPECT_EQ(store.textAt(0, 0), "");
    EXPECT_TRUE(store.isNull(0, 1));
    EXPECT_EQ(store.textAt(0, 2), std::string_view("a\0b", 3));
}

TEST(RecordStore, ColumnsFoundByNameIgnoringCase) {
    RecordStore store;
    store.addColumn("PD_ITEMID", dl::ColumnType::Text);
    store.addColumn("D_PROFIT1", dl::ColumnType::Double);
    EXPECT_EQ(store.findColumn("d_profit1"), 1u);
    EXPECT_EQ(store.findColumn("Pd_ItemId"), 0u);
    EXPECT_EQ(store.findColumn("d_profit2"), RecordStore::npos);
}

}  // namespace
}  // namespace db
