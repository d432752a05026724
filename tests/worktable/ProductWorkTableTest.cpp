#include <gtest/gtest.h>

#include "Big5Text.h"
#include "Errors.h"
#include "MessageOf.h"
#include "WorkTableFixture.h"

namespace {

using testsupport::messageOf;

using rt::FieldValue;
using State = TProductWorkTable::State;

class ProductWorkTableTest : public testing::Test {
protected:
    void SetUp() override { product::defineProductTable(table); }

    std::string errorOf(const std::function<void()>& action) { return messageOf<rt::AppError>(action); }

    TProductWorkTable table;
};

TEST_F(ProductWorkTableTest, CreatedOpenAndEmptyWithTheProductLayout) {
    EXPECT_EQ(table.state(), State::Browse);
    EXPECT_TRUE(table.isEmpty());
    EXPECT_TRUE(table.eof());
    ASSERT_EQ(table.fieldCount(), 15);
    EXPECT_EQ(table.field(0).fieldName(), "PROD_ID");
    EXPECT_EQ(table.field(0).size(), 20);
    EXPECT_EQ(table.field(1).size(), 50);
    EXPECT_EQ(table.field(2).fieldName(), "STD_COST");
    EXPECT_EQ(table.field(8).fieldName(), "D_PROFIT6");
    EXPECT_EQ(table.field(14).fieldName(), "D_PRICE6");
    EXPECT_EQ(table.field(14).dataType(), TFieldType::Float);
    EXPECT_EQ(table.field(14).displayWidth(), 10);
    EXPECT_EQ(table.field(1).displayWidth(), 50);
    EXPECT_EQ(big5::toUnicode(table.field(5).displayLabel()), QString::fromUtf8("大批獲利率"));
    EXPECT_EQ(big5::toUnicode(table.field(6).displayLabel()), QString::fromUtf8("小批價獲利率"));
    ASSERT_EQ(table.indexDefs().size(), 1u);
    EXPECT_EQ(table.indexDefs()[0].name, "ID_Index");
    EXPECT_EQ(table.indexDefs()[0].fields, "PROD_ID");
    EXPECT_EQ(table.indexDefs()[0].options, 0u);
}

TEST_F(ProductWorkTableTest, RefusesDefinitionsThatAreNotTheProductLayout) {
    TProductWorkTable other;
    other.addFieldDef({"PROD_ID", TFieldType::String, 20});
    EXPECT_THROW(other.createDataSet(), rt::DatabaseError);
    EXPECT_FALSE(other.active());
}

TEST_F(ProductWorkTableTest, FieldsAreFoundIgnoringCaseAndMissingOnesNamed) {
    EXPECT_EQ(table.fieldByName("d_profit3").index(), 5);
    EXPECT_EQ(table.fieldIndex("Std_Cost"), 2);
    EXPECT_EQ(errorOf([&] { table.fieldByName("d_profit7"); }), "CDS_PRODUCT: Field 'd_profit7' not found");
    EXPECT_EQ(errorOf([&] { table.value("NOPE"); }), "CDS_PRODUCT: Field 'NOPE' not found");
}

TEST_F(ProductWorkTableTest, NewRowIsNullEverywhereAndNullReadsAsEmptyText) {
    table.append();
    for (int i = 0; i < table.fieldCount(); ++i) EXPECT_TRUE(table.value(i).isNull()) << i;
    EXPECT_EQ(table.text("STD_COST"), "");
    table.setValue("STD_COST", FieldValue(12.5));
    table.setValue("D_PROFIT1", FieldValue(15));  // a whole number is kept as a double
    table.post();
    EXPECT_EQ(table.value("STD_COST"), FieldValue(12.5));
    EXPECT_EQ(table.value("D_PROFIT1").kind(), FieldValue::Kind::Double);
    EXPECT_EQ(table.text("STD_COST"), "12.5");
    EXPECT_TRUE(table.value("D_PROFIT2").isNull());
}

TEST_F(ProductWorkTableTest, StringsAreCutToTheirByteSizeNeverSplittingACharacter) {
    table.append();
    table.setValue("PROD_ID", FieldValue::text("1234567890123456789012345"));
    EXPECT_EQ(table.text("PROD_ID"), "12345678901234567890");
    // 19 ASCII bytes then a two-byte character: it would end at byte 21,
    // so it is dropped whole rather than stored as half a character.
    table.setValue("PROD_ID", FieldValue::text("1234567890123456789" + big5::fromUtf8("商品")));
    EXPECT_EQ(table.text("PROD_ID"), "1234567890123456789");
    const std::string name = big5::fromUtf8("商品名稱商品名稱商品名稱商品名稱商品名稱商品名稱商品名稱商品名稱");
    ASSERT_EQ(name.size(), 64u);
    table.setValue("PROD_NAME", FieldValue::text("A" + name));  // 65 bytes
    table.post();
    const std::string stored = table.text("PROD_NAME");
    EXPECT_EQ(stored.size(), 49u);
    EXPECT_EQ(big5::toUnicode(stored), QString::fromUtf8("A商品名稱商品名稱商品名稱商品名稱商品名稱商品名稱"));
    table.edit();
    table.setValue("PROD_NAME", FieldValue::text(std::string(60, 'n')));
    table.post();
    EXPECT_EQ(table.text("PROD_NAME"), std::string(50, 'n'));
}

TEST_F(ProductWorkTableTest, ReadOnlyFieldRefusesWritesNamingItsDisplayLabel) {
    table.field(0).setReadOnly(true);
    table.append();
    const std::string error = errorOf([&] { table.setValue("PROD_ID", FieldValue::text("A1")); });
    EXPECT_EQ(big5::toUnicode(error), QString::fromUtf8("Field '商品編號' cannot be modified"));
    EXPECT_NO_THROW(table.setValue("STD_COST", FieldValue(1.0)));
    table.field(0).setReadOnly(false);
    EXPECT_NO_THROW(table.setValue("PROD_ID", FieldValue::text("A1")));
}

TEST_F(ProductWorkTableTest, WritingOutsideEditOrInsertIsRefused) {
    appendProduct(table, "A", FieldValue(1.0), FieldValue(0.0));
    EXPECT_EQ(errorOf([&] { table.setValue("STD_COST", FieldValue(2.0)); }),
              "CDS_PRODUCT: Dataset not in edit or insert mode");
}

TEST_F(ProductWorkTableTest, FloatTextIsParsedOrRefused) {
    table.append();
    table.setText(product::STD_COST, " 12.5 ");
    EXPECT_EQ(table.value(product::STD_COST), FieldValue(12.5));
    table.setText(product::STD_COST, "");
    EXPECT_TRUE(table.value(product::STD_COST).isNull());
    EXPECT_EQ(errorOf([&] { table.setText(product::STD_COST, "1.2.3"); }), "'1.2.3' is not a valid floating point value");
}

TEST_F(ProductWorkTableTest, AppendInsertPostCancelAndDeleteKeepTheOrder) {
    appendProduct(table, "A", FieldValue(1.0), FieldValue(0.0));
    appendProduct(table, "C", FieldValue(3.0), FieldValue(0.0));
    table.insert();  // before C
    table.setValue("PROD_ID", FieldValue::text("B"));
    table.post();
    appendProduct(table, "A", FieldValue(9.0), FieldValue(0.0));  // duplicates are allowed
    std::string order;
    for (table.first(); !table.eof(); table.next()) order += table.text("PROD_ID");
    EXPECT_EQ(order, "ABCA");
    EXPECT_EQ(table.rowCount(), 4);

    table.moveTo(1);
    table.edit();
    table.setValue("PROD_ID", FieldValue::text("X"));
    table.cancel();
    EXPECT_EQ(table.text("PROD_ID"), "B");

    table.insert();
    EXPECT_EQ(table.rowCount(), 5);
    table.cancel();  // a cancelled insert leaves no row behind
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.text("PROD_ID"), "B");

    table.deleteRow();
    EXPECT_EQ(table.text("PROD_ID"), "C");
    EXPECT_EQ(table.rowCount(), 3);
}

TEST_F(ProductWorkTableTest, MovingPostsAChangedRowAndDropsAnUntouchedNewOne) {
    appendProduct(table, "A", FieldValue(1.0), FieldValue(0.0));
    appendProduct(table, "B", FieldValue(2.0), FieldValue(0.0));
    table.edit();
    table.setValue("STD_COST", FieldValue(5.0));
    table.first();
    EXPECT_EQ(table.state(), State::Browse);
    table.last();
    EXPECT_EQ(table.value("STD_COST"), FieldValue(5.0));

    table.moveTo(0);
    table.insert();
    table.moveTo(2);  // B: the untouched new row goes, B moves up to 1
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.currentRow(), 1);
    EXPECT_EQ(table.text("PROD_ID"), "B");
}

TEST_F(ProductWorkTableTest, EditOnAnEmptyTableInserts) {
    table.edit();
    EXPECT_EQ(table.state(), State::Insert);
    EXPECT_EQ(table.rowCount(), 1);
    table.cancel();
    EXPECT_TRUE(table.isEmpty());
}

TEST_F(ProductWorkTableTest, NextSetsEndOnlyPastTheLastRow) {
    appendProduct(table, "A", FieldValue(1.0), FieldValue(0.0));
    table.first();
    EXPECT_FALSE(table.eof());
    table.next();
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(table.currentRow(), 0);
}

}  // namespace

namespace {

// What a bound control hears.
struct Listener : TWorkTableObserver {
    int inserted = 0, changedAll = 0, updateRequests = 0;
    void rowInserted(int) override { ++inserted; }
    void dataSetChanged() override { ++changedAll; }
    void updateRecord() override { ++updateRequests; }
};

TEST(ProductWorkTableControls, DisabledControlsHearOnceWhenEnabledButAlwaysWriteWhatTheyHold) {
    TProductWorkTable table;
    product::defineProductTable(table);
    Listener listener;
    table.addObserver(&listener);

    table.reserve(1000);
    table.disableControls();
    table.disableControls();  // nested
    for (int i = 0; i < 3; ++i) appendProduct(table, "P" + std::to_string(i), FieldValue(1.0), FieldValue(2.0));
    table.enableControls();
    EXPECT_EQ(listener.changedAll, 0);
    table.enableControls();

    EXPECT_EQ(listener.inserted, 0);
    EXPECT_EQ(listener.changedAll, 1);
    // Posting asks the controls for their pending text even while disabled.
    EXPECT_EQ(listener.updateRequests, 3);
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_FALSE(table.controlsDisabled());
    table.removeObserver(&listener);
}

}  // namespace
