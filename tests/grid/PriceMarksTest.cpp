// The marks of the price cells: the tints they take from the palette.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QStyle>
#include <cmath>

#include "PriceMarks.h"

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

}  // namespace
