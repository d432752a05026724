// The grid over a work table, edited with keys and the mouse as the
// operator edits it: rows typed, inserted, posted, discarded and deleted,
// the cell editor's text written or refused.
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>

#include "GridCellEditor.h"
#include "GridDriver.h"

namespace {

using State = TProductWorkTable::State;
using rt::FieldValue;

class GridEditingTest : public GridTest {
protected:
    void SetUp() override {
        GridTest::SetUp();
        grid::TGridCellEditor::beep() = [this] { ++beeps; };
    }
    void TearDown() override {
        grid::TGridCellEditor::beep() = [] { QApplication::beep(); };
        GridTest::TearDown();
    }

    // Rows typed as the operator would: number, name, cost and six rates.
    void seedRows(const QStringList& ids) {
        for (int i = 0; i < ids.size(); ++i) {
            table().append();
            table().setValue("PROD_ID", FieldValue::text(big5::fromUnicode(ids[i])));
            table().setValue("STD_COST", FieldValue(10.0 * (i + 1)));
            table().post();
        }
        table().first();
        QApplication::processEvents();
    }

    std::string ids() {
        std::string out;
        for (int row = 0; row < table().rowCount(); ++row) out += (row ? "," : "") + text(row, product::PROD_ID);
        return out;
    }

    int beeps = 0;
};

TEST_F(GridEditingTest, TypingABatchFillsRowsAndPostsOnEachNewRow) {
    typeCells({"A001", QString::fromUtf8("可樂"), "100", "15", "15", "15", "15", "15", "15"});
    EXPECT_EQ(table().state(), State::Insert);  // the first row is still new
    key(Qt::Key_Down);
    EXPECT_EQ(table().rowCount(), 2);
    EXPECT_EQ(text(0, product::PROD_ID), "A001");
    EXPECT_EQ(unicode(0, product::PROD_NAME), QString::fromUtf8("可樂"));
    EXPECT_EQ(table().valueAt(0, product::STD_COST), FieldValue(100.0));
    EXPECT_EQ(table().valueAt(0, product::rateField(6)), FieldValue(15.0));
    EXPECT_TRUE(table().valueAt(0, product::priceField(1)).isNull());
    key(Qt::Key_Home);  // the new row opens in the column the cursor was in
    typeCells({"B002", "x", "33", "10"});
    key(Qt::Key_Up);  // posts the second row
    EXPECT_EQ(table().state(), State::Browse);
    EXPECT_EQ(table().currentRow(), 0);
    EXPECT_EQ(text(1, product::STD_COST), "33");
    EXPECT_EQ(text(1, product::rateField(1)), "10");
    EXPECT_EQ(grid().model()->data(grid().model()->index(1, product::STD_COST)).toString(), "33");
}

TEST_F(GridEditingTest, FirstAcceptedKeystrokePutsTheRowIntoEditing) {
    seedRows({"A", "B"});
    grid().setCurrentIndex(grid().model()->index(0, product::STD_COST));
    key(Qt::Key_F2);
    ASSERT_NE(grid().cellEditor(), nullptr);
    EXPECT_EQ(table().state(), State::Browse);  // an open editor alone changes nothing
    type("7");
    EXPECT_EQ(table().state(), State::Edit);
    EXPECT_EQ(table().valueAt(0, product::STD_COST), FieldValue(10.0));  // not yet written
    key(Qt::Key_Right);  // leaving the cell writes the text
    EXPECT_EQ(table().valueAt(0, product::STD_COST), FieldValue(7.0));
    EXPECT_EQ(table().state(), State::Edit);
    key(Qt::Key_Down);  // another row posts
    EXPECT_EQ(table().state(), State::Browse);
    EXPECT_EQ(table().currentRow(), 1);
    EXPECT_EQ(table().valueAt(0, product::STD_COST), FieldValue(7.0));
}

TEST_F(GridEditingTest, EnterWritesTheEditorTextAndClosesIt) {
    seedRows({"A"});
    grid().setCurrentIndex(grid().model()->index(0, product::STD_COST));
    type("12.5");
    key(Qt::Key_Return);
    EXPECT_EQ(grid().cellEditor(), nullptr);
    EXPECT_EQ(table().value(product::STD_COST), FieldValue(12.5));
    key(Qt::Key_Return);
    ASSERT_NE(grid().cellEditor(), nullptr);
    EXPECT_EQ(grid().cellEditor()->text(), "12.5");
}

TEST_F(GridEditingTest, InsertPutsABlankRowBeforeTheCurrentOne) {
    seedRows({"A", "B", "C"});
    key(Qt::Key_Down);
    key(Qt::Key_Insert);
    EXPECT_EQ(table().state(), State::Insert);
    EXPECT_EQ(table().currentRow(), 1);
    type("N");
    key(Qt::Key_Up);
    EXPECT_EQ(ids(), "A,N,B,C");
}

TEST_F(GridEditingTest, DownAppendsButNeverPilesUpUntouchedRows) {
    seedRows({"A", "B"});
    key(Qt::Key_Down);
    key(Qt::Key_Down);  // past the last row: a new one
    EXPECT_EQ(table().rowCount(), 3);
    EXPECT_EQ(table().state(), State::Insert);
    key(Qt::Key_Down);  // untouched at the end: nothing
    EXPECT_EQ(table().rowCount(), 3);
    EXPECT_EQ(table().currentRow(), 2);
    key(Qt::Key_Up);  // untouched at the end: discarded
    EXPECT_EQ(table().rowCount(), 2);
    EXPECT_EQ(table().currentRow(), 1);
    EXPECT_EQ(table().state(), State::Browse);
}

TEST_F(GridEditingTest, DownDiscardsAnUntouchedRowInsertedInTheMiddle) {
    seedRows({"A", "B", "C"});
    key(Qt::Key_Down);
    key(Qt::Key_Insert);
    EXPECT_EQ(table().rowCount(), 4);
    key(Qt::Key_Down);
    EXPECT_EQ(ids(), "A,B,C");
    EXPECT_EQ(table().state(), State::Browse);
}

TEST_F(GridEditingTest, DownOnAChangedLastRowPostsItAndAppends) {
    seedRows({"A"});
    grid().setCurrentIndex(grid().model()->index(0, product::STD_COST));
    type("5");
    key(Qt::Key_Down);
    EXPECT_EQ(table().valueAt(0, product::STD_COST), FieldValue(5.0));
    EXPECT_EQ(table().rowCount(), 2);
    EXPECT_EQ(table().state(), State::Insert);
}

TEST_F(GridEditingTest, TabSkipsReadOnlyColumnsAndWrapsBothWays) {
    seedRows({"A", "B"});
    grid().setColumnReadOnly(0, true);
    grid().setColumnReadOnly(1, true);
    grid().setCurrentIndex(grid().model()->index(0, product::priceField(6)));
    key(Qt::Key_Tab);
    EXPECT_EQ(table().currentRow(), 1);
    EXPECT_EQ(grid().currentColumn(), product::STD_COST);  // numbers and names skipped
    key(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(table().currentRow(), 0);
    EXPECT_EQ(grid().currentColumn(), product::priceField(6));
    // Tab past the last cell of the last row appends a row.
    grid().setCurrentIndex(grid().model()->index(0, product::priceField(6)));
    key(Qt::Key_Down);
    grid().setCurrentIndex(grid().model()->index(1, product::priceField(6)));
    key(Qt::Key_Tab);
    EXPECT_EQ(table().rowCount(), 3);
    EXPECT_EQ(table().state(), State::Insert);
    EXPECT_EQ(grid().currentColumn(), product::STD_COST);
}

TEST_F(GridEditingTest, TabFollowsColumnsWhereTheOperatorMovedThem) {
    seedRows({"A"});
    grid().horizontalHeader()->moveSection(product::D_PRICE1, 0);
    grid().setCurrentIndex(grid().model()->index(0, product::D_PRICE1));
    key(Qt::Key_Tab);
    EXPECT_EQ(grid().currentColumn(), product::PROD_ID);
}

TEST_F(GridEditingTest, CtrlDeleteAsksAndDeletesOnlyOnOk) {
    seedRows({"A", "B", "C"});
    key(Qt::Key_Down);
    auto cancelled = answerNextBox(QMessageBox::Cancel);
    key(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_TRUE(cancelled->seen);
    EXPECT_EQ(cancelled->title, "Confirm");
    EXPECT_EQ(cancelled->text, "Delete record?");
    EXPECT_EQ(cancelled->buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(cancelled->defaultButton, QMessageBox::Ok);
    EXPECT_EQ(ids(), "A,B,C");
    auto confirmed = answerNextBox(QMessageBox::Ok);
    key(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_TRUE(confirmed->seen);
    EXPECT_EQ(ids(), "A,C");
    EXPECT_EQ(text(table().currentRow(), product::PROD_ID), "C");
}

TEST_F(GridEditingTest, CtrlDeleteOnAPendingNewRowDiscardsIt) {
    seedRows({"A", "B"});
    key(Qt::Key_Insert);
    type("X");
    answerNextBox(QMessageBox::Ok);
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ids(), "A,B");
    EXPECT_EQ(table().state(), State::Browse);
}

TEST_F(GridEditingTest, EscapeUndoesTheEditorTextThenCancelsTheRow) {
    seedRows({"A"});
    grid().setCurrentIndex(grid().model()->index(0, product::STD_COST));
    type("5");
    key(Qt::Key_Right);  // 5 written, row in editing
    type("9");
    key(Qt::Key_Escape);  // only the editor's 9 goes
    EXPECT_EQ(grid().cellEditor(), nullptr);
    EXPECT_EQ(table().state(), State::Edit);
    EXPECT_EQ(table().valueAt(0, product::STD_COST), FieldValue(5.0));
    EXPECT_TRUE(table().valueAt(0, product::rateField(1)).isNull());
    key(Qt::Key_Escape);  // then the row's edit
    EXPECT_EQ(table().state(), State::Browse);
    EXPECT_EQ(table().valueAt(0, product::STD_COST), FieldValue(10.0));
}

TEST_F(GridEditingTest, EscapeCancelsAnInsert) {
    seedRows({"A", "B"});
    key(Qt::Key_Insert);
    type("X");
    key(Qt::Key_Escape);
    EXPECT_EQ(table().rowCount(), 3);
    key(Qt::Key_Escape);
    EXPECT_EQ(ids(), "A,B");
}

TEST_F(GridEditingTest, ReadOnlyCellsDropChangingKeysSilently) {
    seedRows({"A"});
    grid().setColumnReadOnly(0, true);
    grid().setCurrentIndex(grid().model()->index(0, product::PROD_ID));
    type("Z");
    ASSERT_NE(grid().cellEditor(), nullptr);  // the editor opens all the same
    EXPECT_EQ(grid().cellEditor()->text(), "A");
    key(Qt::Key_Backspace);
    key(Qt::Key_Delete);
    QTest::keyClick(focus(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(grid().cellEditor()->text(), "A");
    EXPECT_EQ(table().state(), State::Browse);
    EXPECT_EQ(beeps, 0);
    key(Qt::Key_Right);
    EXPECT_EQ(text(0, product::PROD_ID), "A");
}

TEST_F(GridEditingTest, FloatColumnDropsALetterWithABeep) {
    seedRows({"A"});
    grid().setCurrentIndex(grid().model()->index(0, product::STD_COST));
    type("1a2");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(grid().cellEditor()->text(), "12");
    key(Qt::Key_Down);
    EXPECT_EQ(table().valueAt(0, product::STD_COST), FieldValue(12.0));
}

TEST_F(GridEditingTest, AFloatTextThatIsNoNumberIsReportedAndTheCellKept) {
    seedRows({"A"});
    // Numbers beyond a double are no numbers either: stored, they came out 0.
    const QString texts[] = {"1.2.3", "1e999", QString(400, QChar('9'))};
    for (const QString& typed : texts) {
        grid().setCurrentIndex(grid().model()->index(0, product::STD_COST));
        type(typed);
        auto seen = answerNextBox(QMessageBox::Ok);
        key(typed == texts[0] ? Qt::Key_Down : Qt::Key_Return);
        ASSERT_TRUE(seen->seen) << typed.toStdString();
        EXPECT_EQ(seen->text, "'" + typed + "' is not a valid floating point value");
        EXPECT_EQ(table().currentRow(), 0);
        EXPECT_EQ(table().value(product::STD_COST), FieldValue(10.0));
        ASSERT_NE(grid().cellEditor(), nullptr);
        EXPECT_EQ(grid().cellEditor()->text(), typed);
        key(Qt::Key_Escape);
        key(Qt::Key_Escape);
    }
}

TEST_F(GridEditingTest, ACharacterBig5CannotHoldIsReportedNotStoredWrong) {
    seedRows({"A"});
    grid().setCurrentIndex(grid().model()->index(0, product::PROD_NAME));
    type(QString::fromUtf8("们"));  // simplified form, not in Big5
    auto seen = answerNextBox(QMessageBox::Ok);
    key(Qt::Key_Down);
    ASSERT_TRUE(seen->seen);
    EXPECT_EQ(seen->text, "Text holds a character that Big5 cannot store: U+4EEC");
    EXPECT_EQ(table().currentRow(), 0);
    EXPECT_TRUE(table().valueAt(0, product::PROD_NAME).isNull());
}

TEST_F(GridEditingTest, InputMethodTextOpensTheEditorLikeTyping) {
    seedRows({"A"});
    grid().setCurrentIndex(grid().model()->index(0, product::PROD_NAME));
    QInputMethodEvent composed(QString(), {});
    composed.setCommitString(QString::fromUtf8("綠茶"));
    QApplication::sendEvent(&grid(), &composed);
    ASSERT_NE(grid().cellEditor(), nullptr);
    EXPECT_EQ(table().state(), State::Edit);
    key(Qt::Key_Down);
    EXPECT_EQ(unicode(0, product::PROD_NAME), QString::fromUtf8("綠茶"));
}

TEST_F(GridEditingTest, LongNumbersAndNamesAreCutToTheirBytes) {
    type(QString("1234567890123456789") + QString::fromUtf8("商"));
    key(Qt::Key_Tab);
    type(QString(60, QChar('n')));
    key(Qt::Key_Down);
    EXPECT_EQ(text(0, product::PROD_ID), "1234567890123456789");
    EXPECT_EQ(text(0, product::PROD_NAME), std::string(50, 'n'));
}

TEST_F(GridEditingTest, TypingIntoTheEmptyGridMakesTheFirstRow) {
    EXPECT_EQ(grid().model()->rowCount(), 1);  // the blank row to type into
    type("A");
    EXPECT_EQ(table().rowCount(), 1);
    EXPECT_EQ(table().state(), State::Insert);
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    EXPECT_TRUE(table().isEmpty());
    EXPECT_EQ(grid().model()->rowCount(), 1);
}

TEST_F(GridEditingTest, LeavingTheGridDropsAnUntouchedNewRow) {
    seedRows({"A"});
    key(Qt::Key_Down);
    EXPECT_EQ(table().rowCount(), 2);
    elsewhere->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(table().rowCount(), 1);
}

TEST_F(GridEditingTest, ATitleCanBeDraggedButAClickOnItMovesNothing) {
    seedRows({"A", "B"});
    key(Qt::Key_Down);
    QHeaderView* header = grid().horizontalHeader();
    const QPoint title(header->sectionViewportPosition(product::STD_COST) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, title);
    EXPECT_EQ(table().currentRow(), 1);
    EXPECT_EQ(grid().currentIndex().row(), 1);
    EXPECT_EQ(grid().currentColumn(), product::PROD_ID);
    // Dragging the separator resizes the column.
    const int edge = header->sectionViewportPosition(product::STD_COST) + header->sectionSize(product::STD_COST) - 1;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(edge + 30, 5), header->viewport()->mapToGlobal(QPointF(edge + 30, 5)),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &move);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 30, 5));
    EXPECT_GT(grid().columnWidth(product::STD_COST), grid().defaultColumnWidth(product::STD_COST));
}

TEST_F(GridEditingTest, ClickingAnotherRowPostsTheEditedOne) {
    seedRows({"A", "B"});
    grid().setCurrentIndex(grid().model()->index(0, product::STD_COST));
    type("3");
    const QRect cell = grid().visualRect(grid().model()->index(1, product::STD_COST));
    QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, cell.center());
    QApplication::processEvents();
    EXPECT_EQ(table().currentRow(), 1);
    EXPECT_EQ(table().state(), State::Browse);
    EXPECT_EQ(table().valueAt(0, product::STD_COST), FieldValue(3.0));
}

}  // namespace
