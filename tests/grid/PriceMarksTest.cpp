// The marks of the price cells: the tints they take from the palette, and
// what the grid draws for a sub-category read from a real embedded database
// and priced.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPalette>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "GridDriver.h"
#include "PriceCalculation.h"
#include "PriceMarks.h"
#include "ReadService.h"
#include "ResultProvider.h"
#include "ReviewDatabase.h"
#include "ServerQuery.h"
#include "SubCategoryLoader.h"
#include "TDataLinkConnection.h"

namespace {

// Both tints differ from each other and from the cells around them, and the
// palette's text stays readable on them, in a light and a dark palette.
TEST(PriceMarks, TintsComeFromThePaletteAndReadInLightAndDark) {
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xf0, 0xf0, 0xf0));
    dark.setColor(QPalette::Link, QColor(0x3d, 0xae, 0xe9));
    dark.setColor(QPalette::LinkVisited, QColor(0xb0, 0x7c, 0xe8));
    dark.setColor(QPalette::Mid, QColor(0x50, 0x50, 0x50));
    const QPalette light = QApplication::style()->standardPalette();
    for (const QPalette& palette : {light, dark}) {
        const QColor base = palette.color(QPalette::Base), text = palette.color(QPalette::Text);
        const QColor raised = marks::backgroundOf(marks::Raised, palette).color();
        const QColor lowered = marks::backgroundOf(marks::Lowered, palette).color();
        EXPECT_NE(raised, lowered);
        EXPECT_NE(raised, base);
        EXPECT_NE(lowered, base);
        for (const QColor& tint : {raised, lowered})
            EXPECT_GT(std::abs(tint.lightnessF() - text.lightnessF()), 0.45) << tint.name().toStdString();
        EXPECT_EQ(marks::backgroundOf(marks::None, palette).style(), Qt::NoBrush);
    }
}

// The grid over the sub-categories of every mark, as the data view reads
// them.
class PriceMarksDrawingTest : public GridTest {
protected:
    void SetUp() override {
        db.addMarkedSubCategories();
        GridTest::SetUp();
        connection.applyStoredProperties();
    }

    // The data view of a sub-category, appended to the table.
    void load(const std::string& key) {
        catalog::TSubCategoryLoader(readService, connection).load(table(), key);
        QApplication::processEvents();
    }
    void price() {
        pricing::priceAllRows(table(), [] {});
        QApplication::processEvents();
    }
    void setCost(int row, double cost) {
        table().moveTo(row);
        table().edit();
        table().setValue(product::STD_COST, rt::FieldValue(cost));
        table().post();
        QApplication::processEvents();
    }
    QVariant data(int row, int column, int role) {
        QAbstractItemModel* model = grid().model();
        return model->data(model->index(row, column), role);
    }
    std::vector<int> widths() {
        std::vector<int> result;
        for (int column = 0; column < product::kFieldCount; ++column) result.push_back(grid().columnWidth(column));
        return result;
    }

    // What the grid draws for one cell.
    QImage cellImage(int row, int column) {
        grid().scrollTo(grid().model()->index(row, column));
        QApplication::processEvents();
        const QRect cell = grid().visualRect(grid().model()->index(row, column));
        return grid().viewport()->grab(cell).toImage().convertToFormat(QImage::Format_RGB32);
    }
    static QRgb mostCommonColour(const QImage& image) {
        std::map<QRgb, int> counts;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
        return std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })
            ->first;
    }

    testsupport::ReviewDatabase db;
    db::TDataLinkConnection connection{"SQLConnection1"};
    db::TServerQuery query{connection};
    db::TResultProvider provider{query};
    db::TReadService readService{provider};
    // Rows in load order.
    static constexpr int kUp = 0, kDown = 1, kSame = 2, kLong = 3, kLow = 4;
};

TEST_F(PriceMarksDrawingTest, PriceCellsAreMarkedFromTheTablesValuesAndFollowEdits) {
    const std::vector<int> widthsBefore = widths();
    load("A1");
    load("B2");
    ASSERT_EQ(table().rowCount(), 5);
    const int first = product::priceField(1), last = product::priceField(6);
    // Nothing computed yet: nothing marked but the product PRODUCT lacks.
    for (int row : {kUp, kDown, kSame, kLow})
        for (int column = first; column <= last; ++column)
            EXPECT_FALSE(data(row, column, Qt::BackgroundRole).isValid()) << row << "," << column;
    EXPECT_EQ(data(kLong, product::PROD_ID, marks::kMarkRole).toInt(), marks::ProductMissing);

    price();
    struct Expected {
        int row;
        int mark;
        const char* toolTip;
    };
    const Expected cases[] = {
        {kUp, marks::Raised, "100 → 110 (+10.0%)"},
        {kDown, marks::Lowered, "120 → 110 (-8.3%)"},
        {kSame, marks::None, ""},
        {kLow, marks::BelowCost, "低於成本：新價 50，成本 100"},
        {kLong, marks::ProductMissing, "載入時 PRODUCT 沒有這項商品：回存時不會寫入任何商品"},
    };
    for (const Expected& c : cases) {
        for (int column = first; column <= last; ++column) {
            SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(column));
            EXPECT_EQ(data(c.row, column, marks::kMarkRole).toInt(), c.mark);
            EXPECT_EQ(data(c.row, column, Qt::ToolTipRole).toString(), QString::fromUtf8(c.toolTip));
            EXPECT_EQ(data(c.row, column, Qt::BackgroundRole).isValid(), c.mark != marks::None);
        }
    }
    // The cells hold what they always held; the widths stay.
    EXPECT_EQ(data(kUp, first, Qt::DisplayRole).toString(), QStringLiteral("110"));
    EXPECT_EQ(data(kDown, first, Qt::DisplayRole).toString(), QStringLiteral("110"));
    EXPECT_NE(data(kUp, first, Qt::BackgroundRole), data(kDown, first, Qt::BackgroundRole));
    EXPECT_EQ(widths(), widthsBefore);

    // A new cost puts the old price below it at once; another calculation
    // turns the fall into a rise.
    setCost(kDown, 200.0);
    EXPECT_EQ(data(kDown, first, marks::kMarkRole).toInt(), marks::Lowered | marks::BelowCost);
    price();
    EXPECT_EQ(data(kDown, first, marks::kMarkRole).toInt(), marks::Raised);
    EXPECT_EQ(data(kDown, first, Qt::ToolTipRole).toString(), QStringLiteral("120 → 220 (+83.3%)"));
}

TEST_F(PriceMarksDrawingTest, ARaisedAndALoweredCellLookDifferentEvenWithoutColour) {
    load("A1");
    price();
    const int column = product::priceField(1);
    const QImage raised = cellImage(kUp, column), lowered = cellImage(kDown, column), same = cellImage(kSame, column);
    ASSERT_FALSE(raised.isNull());
    EXPECT_NE(mostCommonColour(raised), mostCommonColour(lowered));
    EXPECT_EQ(mostCommonColour(same), grid().palette().color(QPalette::Base).rgb());

    // With every tint the base colour, the arrows still tell them apart.
    QPalette grey = grid().palette();
    grey.setColor(QPalette::Link, grey.color(QPalette::Base));
    grey.setColor(QPalette::LinkVisited, grey.color(QPalette::Base));
    grid().setPalette(grey);
    QApplication::processEvents();
    const QImage raisedGrey = cellImage(kUp, column), loweredGrey = cellImage(kDown, column);
    EXPECT_EQ(mostCommonColour(raisedGrey), mostCommonColour(loweredGrey));
    EXPECT_NE(raisedGrey, loweredGrey);
    EXPECT_NE(raisedGrey, cellImage(kSame, column));
}

}  // namespace
