// "2.價格計算" as the operator presses it: what the button adds to the price
// rule (tested with its worked cases in tests/worktable): the grid's open
// editing finished first, the progress bar, the error display, the grid.
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

TEST_F(PriceButtonTest, ABatchTypedIntoTheGridIsPricedWithTheOpenEditorsTextFirst) {
    typeCells({"A001", "cola", "100", "15", "15", "15", "15", "15", "15"});
    key(Qt::Key_Down);
    key(Qt::Key_Home);
    typeCells({"B002", "tea", "20", "0", "0", "0", "0", "0"});
    type("10");  // editor still open on the last rate: the calculation writes it first
    click(form->SpeedButton2);
    EXPECT_EQ(form->ProgressBar1->maximum(), 2);
    EXPECT_EQ(form->ProgressBar1->value(), 2);
    EXPECT_EQ(text(0, product::priceField(1)), "115");
    EXPECT_EQ(text(1, product::priceField(5)), "20");
    EXPECT_EQ(text(1, product::priceField(6)), "22");
    EXPECT_EQ(table().state(), State::Browse);
    QApplication::processEvents();
    EXPECT_EQ(grid().model()->data(grid().model()->index(1, product::priceField(6))).toString(), "22");
}

TEST_F(PriceButtonTest, EmptyTableLeavesTheBarAtNothing) {
    click(form->SpeedButton2);
    EXPECT_EQ(form->ProgressBar1->maximum(), 0);
    EXPECT_EQ(form->ProgressBar1->value(), 0);
}

// Down on the last row leaves a blank row that the move to the first row
// discards: the bar ends full, at the rows actually priced.
TEST_F(PriceButtonTest, TheBarCountsTheRowsPricedNotAnUntouchedBlankRow) {
    addRow("A", FieldValue(100.0), FieldValue(15.0));
    addRow("B", FieldValue(100.0), FieldValue(15.0));
    addRow("C", FieldValue(100.0), FieldValue(15.0));
    table().last();
    QApplication::processEvents();
    key(Qt::Key_Down);
    ASSERT_EQ(table().rowCount(), 4);
    click(form->SpeedButton2);
    EXPECT_EQ(table().rowCount(), 3);
    EXPECT_EQ(form->ProgressBar1->maximum(), 3);
    EXPECT_EQ(form->ProgressBar1->value(), 3);
}

TEST_F(PriceButtonTest, AFailingRowEndsTheRunWithTheErrorShownAndStaysInTheGridsEditing) {
    addRow("A", FieldValue(100.0), FieldValue(15.0));
    addRow("B", FieldValue(100.0), FieldValue(15.0));
    addRow("NULLCOST", FieldValue::null(), FieldValue(15.0));
    addRow("D", FieldValue(100.0), FieldValue(15.0));
    auto seen = answerNextBox(QMessageBox::Ok);
    click(form->SpeedButton2);
    ASSERT_TRUE(seen->seen);
    EXPECT_EQ(seen->icon, QMessageBox::Critical);
    EXPECT_EQ(form->ProgressBar1->maximum(), 4);
    EXPECT_EQ(form->ProgressBar1->value(), 3);
    EXPECT_EQ(table().currentRow(), 2);
    // Escape in the grid cancels the failed row's edit.
    grid().setFocus();
    key(Qt::Key_Escape);
    EXPECT_EQ(table().state(), State::Browse);
}

}  // namespace
