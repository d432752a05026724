// Drives a work-table grid the way the operator does: keys go to whatever
// has the focus, the mouse clicks where it is told.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <string>

#include "Big5Text.h"
#include "MessageBoxAnswers.h"
#include "ProductWorkTable.h"
#include "WorkTableFixture.h"
#include "WorkTableGrid.h"

using testsupport::answerNextBox;
using testsupport::answerNextBoxWith;
using testsupport::onNextBox;
using testsupport::SeenBox;

// The keys and clicks, for a test that has a grid and its table somewhere.
class GridDriver : public testing::Test {
protected:
    virtual TProductWorkTable& table() = 0;
    virtual grid::TWorkTableGrid& grid() = 0;

    QWidget* focus() { return QApplication::focusWidget() ? QApplication::focusWidget() : &grid(); }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(focus(), k, modifiers);
        QApplication::processEvents();
    }
    void type(const QString& text) {
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClicks(focus(), QString(c));
                continue;
            }
            // Chinese text arrives as a key with text and no key code.
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(focus(), &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(focus(), &release);
        }
        QApplication::processEvents();
    }
    // Types each cell's text and moves on with Tab.
    void typeCells(const QStringList& cells) {
        for (const auto& cell : cells) {
            type(cell);
            key(Qt::Key_Tab);
        }
    }
    void click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(widget, button);
        QApplication::processEvents();
    }

    std::string text(int row, int field) { return table().valueAt(row, field).toString(); }
    QString unicode(int row, int field) { return big5::toUnicode(text(row, field)); }
};

// The grid alone over a table defined as the window defines it, with a line
// edit beside it to take the focus away; errors are shown in the grid's own
// box.
class GridTest : public GridDriver {
protected:
    void SetUp() override {
        product::defineProductTable(table_);
        host = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(host.get());
        elsewhere = new QLineEdit(host.get());
        grid_ = new grid::TWorkTableGrid(host.get());
        grid_->setDataSet(&table_);
        grid_->setColumnWidth(0, 120);
        grid_->setColumnWidth(1, 220);
        layout->addWidget(elsewhere);
        layout->addWidget(grid_, 1);
        host->resize(1000, 400);
        host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
        host->activateWindow();
        QApplication::setActiveWindow(host.get());
        grid_->setFocus();
        QApplication::processEvents();
    }
    void TearDown() override {
        grid_->setDataSet(nullptr);
        host.reset();
        QApplication::processEvents();
        testsupport::forgetWaitingAnswers();
    }

    TProductWorkTable& table() override { return table_; }
    grid::TWorkTableGrid& grid() override { return *grid_; }

    TProductWorkTable table_;
    std::unique_ptr<QWidget> host;
    grid::TWorkTableGrid* grid_ = nullptr;
    QLineEdit* elsewhere = nullptr;
};
