// The progress dialog's keys, pressed where the operator's keys go: only
// Escape asks to cancel; Return and Enter, pressed by someone waiting for
// the end, do nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <ostream>

#include "StorePushDialog.h"
#include "WriteBackDialog.h"

namespace {

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int cancelRequests;
};

void PrintTo(const KeyCase& key, std::ostream* out) { *out << key.name; }

class WriteBackDialogKeyTest : public testing::TestWithParam<KeyCase> {};

// Shows the dialog over a window, presses the key where the operator's
// keys go, and counts the requests to cancel.
void expectOnlyEscapeAsksToCancel(ui::TCancelOnlyDialog* dialog, const KeyCase& key) {
    int requests = 0;
    QObject::connect(dialog, &ui::TCancelOnlyDialog::cancelRequested, [&requests] { ++requests; });
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    dialog->activateWindow();
    QApplication::setActiveWindow(dialog);
    QApplication::processEvents();

    auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("cancel"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_FALSE(cancel->isDefault());
    EXPECT_FALSE(cancel->autoDefault());

    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : dialog;
    QTest::keyClick(target, key.key, key.modifiers);
    QApplication::processEvents();
    EXPECT_EQ(requests, key.cancelRequests);
    // Only the work's end closes it.
    EXPECT_TRUE(dialog->isVisible());
    dialog->finish();
}

TEST_P(WriteBackDialogKeyTest, OnlyEscapeAsksToCancel) {
    QWidget window;
    window.resize(400, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* dialog = new ui::TWriteBackDialog(&window);
    dialog->showProgress(3, 10, QStringLiteral("P0004 Item 0004"));
    expectOnlyEscapeAsksToCancel(dialog, GetParam());
    delete dialog;
}

// The store push's dialog answers the keys the same way.
TEST_P(WriteBackDialogKeyTest, OnlyEscapeAsksTheStorePushToCancel) {
    QWidget window;
    window.resize(400, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* dialog = new ui::TStorePushDialog(&window, {QStringLiteral("Taipei01")});
    expectOnlyEscapeAsksToCancel(dialog, GetParam());
    delete dialog;
}

INSTANTIATE_TEST_SUITE_P(Keys, WriteBackDialogKeyTest,
                         testing::Values(KeyCase{"Return", Qt::Key_Return, Qt::NoModifier, 0},
                                         KeyCase{"Enter", Qt::Key_Enter, Qt::KeypadModifier, 0},
                                         KeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier, 1}),
                         [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

// A click on the button is the one way the mouse asks, once per click.
TEST(WriteBackDialogTest, ClickOnCancelAsksToCancel) {
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ui::TWriteBackDialog dialog(&window);
    int requests = 0;
    QObject::connect(&dialog, &ui::TWriteBackDialog::cancelRequested, [&requests] { ++requests; });
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
    EXPECT_EQ(requests, 1);
    dialog.finish();
}

}  // namespace
