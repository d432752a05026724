// The product's number and name stay in sight while the grid scrolls
// sideways to the prices: what the operator sees is read off the screen,
// cell by cell along a row, whichever view draws it.
#include <QAbstractItemView>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>
#include <vector>

#include "GridDriver.h"

namespace {

using rt::FieldValue;

// A cell as the operator sees it on one row: its column and how many pixels
// of it are in sight.
struct SeenCell {
    int column;
    int pixels;
    bool operator==(const SeenCell&) const = default;
};

class FrozenColumnsTest : public GridTest {
protected:
    void SetUp() override {
        GridTest::SetUp();
        // The window's own width: the prices lie beyond its right edge.
        host->resize(821, 400);
        QApplication::processEvents();
    }

    void seedRows(int count) {
        for (int row = 0; row < count; ++row) {
            table().append();
            table().setValue("PROD_ID", FieldValue::text(big5::fromUnicode(QStringLiteral("P%1").arg(row))));
            table().setValue("PROD_NAME", FieldValue::text(big5::fromUnicode(QStringLiteral("name %1").arg(row))));
            table().setValue("STD_COST", FieldValue(10.0 + row));
            table().post();
        }
        table().first();
        // The rows laid out, and the scroll bars they call for shown.
        QApplication::processEvents();
        QApplication::processEvents();
    }

    // The cell drawn at a point of the grid, by whichever view draws it
    // there; nothing where no cell is drawn.
    QModelIndex shownAt(const QPoint& point) {
        QWidget* child = grid().childAt(point);
        auto* view = child ? qobject_cast<QAbstractItemView*>(child->parentWidget()) : nullptr;
        if (!view || child != view->viewport()) return {};
        return view->indexAt(child->mapFrom(&grid(), point));
    }
    int rowMiddle(int row) {
        const int y = grid().rowViewportPosition(row) + grid().rowHeight(row) / 2;
        return grid().viewport()->mapTo(&grid(), QPoint(0, y)).y();
    }
    // Along the middle of a row, left to right across the whole grid.
    std::vector<SeenCell> seenInRow(int row) {
        std::vector<SeenCell> seen;
        const int y = rowMiddle(row);
        for (int x = 0; x < grid().width(); ++x) {
            const QModelIndex cell = shownAt(QPoint(x, y));
            if (!cell.isValid()) continue;
            EXPECT_EQ(cell.row(), row) << "at x " << x;
            if (seen.empty() || seen.back().column != cell.column())
                seen.push_back({cell.column(), 1});
            else
                ++seen.back().pixels;
        }
        return seen;
    }
    // The cell is on screen whole: every pixel of its width but the grid line.
    bool wholeInSight(const std::vector<SeenCell>& seen, std::size_t at, int column) {
        return at < seen.size() && seen[at].column == column && seen[at].pixels >= grid().columnWidth(column) - 1;
    }
    std::string columnsOf(const std::vector<SeenCell>& seen) {
        std::string out;
        for (const SeenCell& cell : seen) out += std::to_string(cell.column) + ":" + std::to_string(cell.pixels) + " ";
        return out;
    }
    QHeaderView* titles() { return grid().horizontalHeader(); }
    void dragTitle(QWidget* header, QPoint from, QPoint to) {
        QTest::mousePress(header, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 10; ++step) {
            const QPointF at = from + (to - from) * step / 10;
            QMouseEvent move(QEvent::MouseMove, at, header->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(header, &move);
        }
        QTest::mouseRelease(header, Qt::LeftButton, {}, to);
        QApplication::processEvents();
    }
};

TEST_F(FrozenColumnsTest, AfterScrollingToTheLastColumnTheProductIsStillOnScreen) {
    seedRows(60);
    const int last = product::priceField(6);
    // Far down, then to the row's last column, as the operator goes there.
    for (int row : {0, 47}) {
        while (table().currentRow() < row) key(Qt::Key_Down);
        key(Qt::Key_End);
        ASSERT_EQ(grid().currentColumn(), last);
        ASSERT_GT(grid().horizontalScrollBar()->value(), 0) << "the grid did not scroll sideways";
        const std::vector<SeenCell> seen = seenInRow(row);
        ASSERT_GE(seen.size(), 3u) << columnsOf(seen);
        EXPECT_TRUE(wholeInSight(seen, 0, product::PROD_ID)) << columnsOf(seen);
        EXPECT_TRUE(wholeInSight(seen, 1, product::PROD_NAME)) << columnsOf(seen);
        EXPECT_TRUE(wholeInSight(seen, seen.size() - 1, last)) << columnsOf(seen);
        // The cells beside them are the ones scrolled to, not STD_COST.
        EXPECT_NE(seen[2].column, product::STD_COST) << columnsOf(seen);
        // And they show that row's product.
        const QModelIndex number = shownAt(QPoint(grid().viewport()->x() + 5, rowMiddle(row)));
        EXPECT_EQ(number.data().toString(), QStringLiteral("P%1").arg(row));
    }
    // Scrolled to its end by the bar, too.
    grid().horizontalScrollBar()->setValue(grid().horizontalScrollBar()->maximum());
    QApplication::processEvents();
    const std::vector<SeenCell> seen = seenInRow(47);
    EXPECT_TRUE(wholeInSight(seen, 0, product::PROD_ID) && wholeInSight(seen, 1, product::PROD_NAME)) << columnsOf(seen);
    EXPECT_TRUE(wholeInSight(seen, seen.size() - 1, last)) << columnsOf(seen);
}

// Laid out right to left (Qt's -reverse), the frozen columns are the
// right-hand ones, and the prices come into sight to their left.
TEST_F(FrozenColumnsTest, RightToLeftTheProductStaysAtTheRightEdge) {
    host->setLayoutDirection(Qt::RightToLeft);
    seedRows(3);
    key(Qt::Key_End);
    ASSERT_EQ(grid().currentColumn(), product::priceField(6));
    std::vector<SeenCell> seen = seenInRow(0);
    std::reverse(seen.begin(), seen.end());
    ASSERT_GE(seen.size(), 3u) << columnsOf(seen);
    EXPECT_TRUE(wholeInSight(seen, 0, product::PROD_ID) && wholeInSight(seen, 1, product::PROD_NAME)) << columnsOf(seen);
    EXPECT_TRUE(wholeInSight(seen, seen.size() - 1, product::priceField(6))) << columnsOf(seen);
    EXPECT_NE(seen[2].column, product::STD_COST) << columnsOf(seen);
    // Back to the cost: it comes out whole beside the frozen ones.
    key(Qt::Key_Home);
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(grid().currentColumn(), product::STD_COST);
    seen = seenInRow(0);
    std::reverse(seen.begin(), seen.end());
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(wholeInSight(seen, 2, product::STD_COST)) << columnsOf(seen);
}

// Every column scrolled to by the keys comes out whole beside the frozen
// ones, never under them; the frozen ones keep the window's widths.
TEST_F(FrozenColumnsTest, KeysBringEveryColumnIntoSightBesideTheFrozenOnes) {
    seedRows(3);
    key(Qt::Key_End);
    EXPECT_EQ(grid().columnWidth(product::PROD_ID), 120);
    EXPECT_EQ(grid().columnWidth(product::PROD_NAME), 220);
    for (int column = product::priceField(6); column > product::PROD_NAME; --column) {
        ASSERT_EQ(grid().currentColumn(), column);
        const std::vector<SeenCell> seen = seenInRow(0);
        bool whole = false;
        for (std::size_t at = 2; at < seen.size(); ++at) whole = whole || wholeInSight(seen, at, column);
        EXPECT_TRUE(whole) << "column " << column << ": " << columnsOf(seen);
        EXPECT_TRUE(wholeInSight(seen, 0, product::PROD_ID) && wholeInSight(seen, 1, product::PROD_NAME))
            << columnsOf(seen);
        key(Qt::Key_Left);
    }
    // Home goes to the number, which is in sight where the grid stands;
    // the columns after the name bring the grid back to its start.
    const int across = grid().horizontalScrollBar()->value();
    key(Qt::Key_Home);
    EXPECT_EQ(grid().currentColumn(), product::PROD_ID);
    EXPECT_EQ(grid().horizontalScrollBar()->value(), across);
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(grid().currentColumn(), product::STD_COST);
    EXPECT_EQ(grid().horizontalScrollBar()->value(), 0);
    const std::vector<SeenCell> seen = seenInRow(0);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(wholeInSight(seen, 2, product::STD_COST)) << columnsOf(seen);
}

// While the prices are in view, a frozen cell is clicked, edited and left
// like any other; the grid does not jump back to its start for it.
TEST_F(FrozenColumnsTest, AFrozenCellIsEditedInPlaceWhileThePricesAreInView) {
    seedRows(3);
    key(Qt::Key_End);
    const int across = grid().horizontalScrollBar()->value();
    ASSERT_GT(across, 0);
    const int y = rowMiddle(1);
    int nameAt = -1;
    for (int x = 0; x < grid().width() && nameAt < 0; ++x)
        if (shownAt(QPoint(x, y)).column() == product::PROD_NAME) nameAt = x + 10;
    ASSERT_GE(nameAt, 0);
    QWidget* frozenCells = grid().childAt(QPoint(nameAt, y));
    QTest::mouseClick(frozenCells, Qt::LeftButton, {}, frozenCells->mapFrom(&grid(), QPoint(nameAt, y)));
    QApplication::processEvents();
    EXPECT_EQ(table().currentRow(), 1);
    EXPECT_EQ(grid().currentColumn(), product::PROD_NAME);
    EXPECT_EQ(grid().horizontalScrollBar()->value(), across);

    type("Z");
    QLineEdit* editor = grid().cellEditor();
    ASSERT_NE(editor, nullptr);
    // The editor lies over the frozen cell, on top of everything there.
    EXPECT_EQ(grid().childAt(QPoint(nameAt, y)), editor);
    EXPECT_EQ(editor->text(), QStringLiteral("Z"));
    key(Qt::Key_Tab);
    EXPECT_EQ(unicode(1, product::PROD_NAME), QStringLiteral("Z"));
    EXPECT_EQ(grid().currentColumn(), product::STD_COST);
    const std::vector<SeenCell> seen = seenInRow(1);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(wholeInSight(seen, 2, product::STD_COST)) << columnsOf(seen);
    // Typing into the cost, scrolled to, edits it where it is seen.
    type("7");
    ASSERT_NE(grid().cellEditor(), nullptr);
    EXPECT_EQ(grid().childAt(QPoint(grid().columnViewportPosition(product::STD_COST) + 5, 0) +
                             QPoint(grid().viewport()->x(), y)),
              grid().cellEditor());
    key(Qt::Key_Return);
    EXPECT_EQ(table().valueAt(1, product::STD_COST), FieldValue(7.0));
}

// The frozen ones are the first two in the order the operator leaves the
// columns: a column moved to the front is frozen with the number.
TEST_F(FrozenColumnsTest, AColumnMovedToTheFrontIsFrozen) {
    seedRows(2);
    titles()->moveSection(titles()->visualIndex(product::STD_COST), 0);
    key(Qt::Key_End);
    std::vector<SeenCell> seen = seenInRow(0);
    EXPECT_TRUE(wholeInSight(seen, 0, product::STD_COST) && wholeInSight(seen, 1, product::PROD_ID)) << columnsOf(seen);
    EXPECT_TRUE(wholeInSight(seen, seen.size() - 1, product::priceField(6))) << columnsOf(seen);
    // Back where it was, the name is frozen again.
    titles()->moveSection(0, titles()->visualIndex(product::PROD_NAME));
    QApplication::processEvents();
    seen = seenInRow(0);
    EXPECT_TRUE(wholeInSight(seen, 0, product::PROD_ID) && wholeInSight(seen, 1, product::PROD_NAME)) << columnsOf(seen);
}

// Dragged by its title over the frozen columns while the prices are in
// view, a column lands right after them, in sight; the number and the name
// stay frozen. Dragged over them at the start, it becomes one of them.
TEST_F(FrozenColumnsTest, ATitleDraggedOverTheFrozenColumnsLandsCleanly) {
    seedRows(2);
    key(Qt::Key_End);
    const int last = product::priceField(6);
    QWidget* header = titles()->viewport();
    const QPoint lastTitle(titles()->sectionViewportPosition(last) + 20, titles()->height() / 2);
    dragTitle(header, lastTitle, QPoint(30, titles()->height() / 2));
    EXPECT_EQ(titles()->visualIndex(product::PROD_ID), 0);
    EXPECT_EQ(titles()->visualIndex(product::PROD_NAME), 1);
    EXPECT_EQ(titles()->visualIndex(last), 2);
    std::vector<SeenCell> seen = seenInRow(0);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(wholeInSight(seen, 0, product::PROD_ID) && wholeInSight(seen, 1, product::PROD_NAME) &&
                wholeInSight(seen, 2, last))
        << columnsOf(seen);

    // At the start, the titles beneath are the frozen ones themselves.
    grid().horizontalScrollBar()->setValue(0);
    QApplication::processEvents();
    const QPoint costTitle(titles()->sectionViewportPosition(product::STD_COST) + 20, titles()->height() / 2);
    dragTitle(header, costTitle, QPoint(10, titles()->height() / 2));
    EXPECT_EQ(titles()->visualIndex(product::STD_COST), 0);
    key(Qt::Key_End);
    seen = seenInRow(0);
    EXPECT_TRUE(wholeInSight(seen, 0, product::STD_COST) && wholeInSight(seen, 1, product::PROD_ID)) << columnsOf(seen);
}

// The frozen columns' own titles drag and resize the grid's columns.
TEST_F(FrozenColumnsTest, TheFrozenTitlesMoveAndSizeTheGridsColumns) {
    seedRows(2);
    key(Qt::Key_End);
    const int titleY = titles()->height() / 2;
    auto* frozenTitles = qobject_cast<QWidget*>(grid().childAt(QPoint(grid().viewport()->x() + 30, titleY)));
    ASSERT_NE(frozenTitles, nullptr);
    ASSERT_NE(frozenTitles, titles()->viewport()) << "the grid's own titles are not covered";
    const QPoint name = frozenTitles->mapFrom(&grid(), QPoint(grid().viewport()->x() + 120 + 60, titleY));
    dragTitle(frozenTitles, name, frozenTitles->mapFrom(&grid(), QPoint(grid().viewport()->x() + 5, titleY)));
    EXPECT_EQ(titles()->visualIndex(product::PROD_NAME), 0);
    EXPECT_EQ(titles()->visualIndex(product::PROD_ID), 1);
    std::vector<SeenCell> seen = seenInRow(0);
    EXPECT_TRUE(wholeInSight(seen, 0, product::PROD_NAME) && wholeInSight(seen, 1, product::PROD_ID)) << columnsOf(seen);

    // The separator after the number, now second, dragged 40 pixels right.
    const int edge = grid().viewport()->x() + 220 + 120 - 1;
    dragTitle(frozenTitles, frozenTitles->mapFrom(&grid(), QPoint(edge, titleY)),
              frozenTitles->mapFrom(&grid(), QPoint(edge + 40, titleY)));
    EXPECT_EQ(grid().columnWidth(product::PROD_ID), 160);
    grid().layoutColumns();  // the operator's width stays through a re-layout
    EXPECT_EQ(grid().columnWidth(product::PROD_ID), 160);
    seen = seenInRow(0);
    EXPECT_TRUE(wholeInSight(seen, 0, product::PROD_NAME) && wholeInSight(seen, 1, product::PROD_ID))
        << columnsOf(seen);
}

}  // namespace
