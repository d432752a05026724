#include <QLineEdit>
#include <QProgressBar>

#include "WindowDriver.h"

namespace {

using rt::FieldValue;
using State = TProductWorkTable::State;

class PriceButtonTest : public WindowTest {
protected:
    void addRow(const char* id, FieldValue cost, FieldValue rate) {
        table().append();
        table().setValue("PROD_ID", FieldValue::text(id));
        table().setValue("STD_COST", cost);
        for (int tier = 1; tier <= product::kTierCount; ++tier) table().setValue(product::rateField(tier), rate);
        table().post();
    }
};

TEST_F(PriceButtonTest, ABatchTypedIntoTheGridIsPriced) {
    typeCells({"A001", "cola", "100", "15", "10", "12.5", "0", "-100", "-150"});
    key(Qt::Key_Down);
    key(Qt::Key_Home);
    typeCells({"B002", "tea", "33", "10", "10", "10", "10", "10"});
    type("10");  // editor still open on the last rate: the calculation writes it first
    click(form->SpeedButton2);
    EXPECT_EQ(form->ProgressBar1->maximum(), 2);
    EXPECT_EQ(form->ProgressBar1->value(), 2);
    const char* expected[] = {"115", "110", "113", "100", "0", "-50"};
    for (int tier = 1; tier <= 6; ++tier) {
        EXPECT_EQ(text(0, product::priceField(tier)), expected[tier - 1]) << tier;
        EXPECT_EQ(text(1, product::priceField(tier)), "37") << tier;
    }
    EXPECT_EQ(table().state(), State::Browse);
    QApplication::processEvents();
    EXPECT_EQ(grid().model()->data(grid().model()->index(1, product::priceField(6))).toString(), "37");
}

TEST_F(PriceButtonTest, EmptyTableLeavesTheBarAtNothing) {
    click(form->SpeedButton2);
    EXPECT_EQ(form->ProgressBar1->maximum(), 0);
    EXPECT_EQ(form->ProgressBar1->value(), 0);
}

TEST_F(PriceButtonTest, NullCostStopsAtItsRowWithTheConversionError) {
    addRow("A", FieldValue(100.0), FieldValue(15.0));
    addRow("B", FieldValue(100.0), FieldValue(15.0));
    addRow("NULLCOST", FieldValue::null(), FieldValue(15.0));
    addRow("D", FieldValue(100.0), FieldValue(15.0));
    auto seen = answerNextBox(QMessageBox::Ok);
    click(form->SpeedButton2);
    ASSERT_TRUE(seen->seen);
    EXPECT_EQ(seen->text, "Could not convert variant of type (Null) into type (Double)");  // ends in ")"
    EXPECT_EQ(seen->icon, QMessageBox::Critical);
    EXPECT_EQ(form->ProgressBar1->maximum(), 4);
    EXPECT_EQ(form->ProgressBar1->value(), 3);
    EXPECT_EQ(text(1, product::priceField(6)), "115");
    EXPECT_EQ(table().currentRow(), 2);
    EXPECT_EQ(table().state(), State::Edit);
    EXPECT_TRUE(table().valueAt(3, product::priceField(1)).isNull());
    // Escape in the grid cancels the failed row's edit.
    grid().setFocus();
    key(Qt::Key_Escape);
    EXPECT_EQ(table().state(), State::Browse);
}

TEST_F(PriceButtonTest, AnOutOfRangePriceIsRefusedNamingProductAndValue) {
    addRow("A", FieldValue(100.0), FieldValue(15.0));
    addRow("HUGE", FieldValue(4e9), FieldValue(15.0));
    auto seen = answerNextBox(QMessageBox::Ok);
    click(form->SpeedButton2);
    ASSERT_TRUE(seen->seen);
    EXPECT_EQ(seen->text, "Price of product 'HUGE' (tier 1) is 4600000000, outside the range -2147483648 to 2147483647.");
    EXPECT_EQ(text(0, product::priceField(1)), "115");
    EXPECT_TRUE(table().valueAt(1, product::priceField(1)).isNull());
}

}  // namespace
