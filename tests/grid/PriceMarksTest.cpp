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

// The grid over sub-category A1 as the data view reads it, priced: UP's
// price rises, DOWN's falls, SAME's stays.
class PriceMarksDrawingTest : public GridTest {
protected:
    void SetUp() override {
        db.addSubCategory("A1", "10, 10, 10, 10, 10, 10");
        db.addProduct("UP", "Tea", "100", "A1", "100, 100, 100, 100, 100, 100");
        db.addProduct("DOWN", "Milk", "100", "A1", "120, 120, 120, 120, 120, 120");
        db.addProduct("SAME", "Soda", "100", "A1", "110, 110, 110, 110, 110, 110");
        GridTest::SetUp();
        connection.applyStoredProperties();
        catalog::TSubCategoryLoader(readService, connection).load(table(), "A1");
        pricing::priceAllRows(table(), [] {});
        QApplication::processEvents();
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
    static constexpr int kUp = 0, kDown = 1, kSame = 2;
};

TEST_F(PriceMarksDrawingTest, ARaisedAndALoweredCellLookDifferentEvenWithoutColour) {
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
