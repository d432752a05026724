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
#include "ProgressBar.h"
#include "SpeedButton.h"

struct SeenBox {
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Once the next modal message box is up, records what it shows and lets
// answer deal with it.
inline std::shared_ptr<SeenBox> onNextBox(std::function<void(QMessageBox*)> answer) {
    auto seen = std::make_shared<SeenBox>();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [seen, answer, poll] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(5, *poll);
            return;
        }
        seen->seen = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = box->standardButtons();
        seen->defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
        *poll = nullptr;  // break the cycle
        answer(box);
    };
    QTimer::singleShot(0, *poll);
    return seen;
}

// Answers the next modal message box with the given standard button.
inline std::shared_ptr<SeenBox> answerNextBox(QMessageBox::StandardButton answer) {
    return onNextBox([answer](QMessageBox* box) { box->button(answer)->click(); });
}

// Answers the next modal message box by clicking the button with this text
// ("&Yes", "&No").
inline std::shared_ptr<SeenBox> answerNextBoxWith(const QString& buttonText) {
    return onNextBox([buttonText](QMessageBox* box) {
        for (QAbstractButton* button : box->buttons())
            if (button->text() == buttonText) return button->click();
        ADD_FAILURE() << "no button " << buttonText.toStdString();
        box->close();
    });
}

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
    }

    TProductWorkTable& table() { return form->CDS_PRODUCT; }
    TWorkTableGrid& grid() { return *form->DBGrid1; }

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
