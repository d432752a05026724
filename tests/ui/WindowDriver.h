// Drives the real window the way the operator does: keys go to whatever
// has the focus, modal boxes are answered by the test.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "Big5Text.h"
#include "WorkTableGrid.h"
#include "DataLinkStore.h"
#include "FrmTarvell.h"
#include "MessageBoxAnswers.h"
#include "ProgressBar.h"
#include "SpeedButton.h"

using testsupport::answerNextBox;
using testsupport::answerNextBoxWith;
using testsupport::onNextBox;
using testsupport::SeenBox;

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        // No database here: the store names configuration files that do not
        // exist, and the first show's error box is answered.
        testsupport::DataLinkStore::pointAt(noConfiguration.path());
        auto firstShowError = answerNextBox(QMessageBox::Ok);
        form = std::make_unique<TFormTarvell>();
        form->show();
        ASSERT_TRUE(firstShowError->seen);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        form->DBGrid1->setFocus();
        QApplication::processEvents();
    }

    void TearDown() override {
        form.reset();
        QApplication::processEvents();
        testsupport::forgetWaitingAnswers();
    }

    TProductWorkTable& table() { return form->CDS_PRODUCT; }
    grid::TWorkTableGrid& grid() { return *form->DBGrid1; }

    QWidget* focus() { return QApplication::focusWidget() ? QApplication::focusWidget() : form->DBGrid1; }
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

    QTemporaryDir noConfiguration;
    std::unique_ptr<TFormTarvell> form;
};
