// The order the program's dialogs show their buttons in, read from the
// screen: the test programs run on a platform layout that would put the
// affirmative button last (ProgramStyle.h).
#include <algorithm>

#include "Dialogs.h"
#include "ProgramStyle.h"
#include "WindowDriver.h"

namespace {

class DialogButtonOrderTest : public WindowTest {
protected:
    void TearDown() override {
        installProgramStyle();
        WindowTest::TearDown();
    }

    // The buttons of the next box, left to right as shown; the box is then
    // closed with Escape.
    static std::shared_ptr<QStringList> buttonsOfNextBox() {
        auto shown = std::make_shared<QStringList>();
        onNextBox([shown](QMessageBox* box) {
            QList<QAbstractButton*> buttons = box->buttons();
            std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* left, QAbstractButton* right) {
                return left->mapToGlobal(QPoint()).x() < right->mapToGlobal(QPoint()).x();
            });
            for (QAbstractButton* button : buttons) *shown << button->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        return shown;
    }

    QStringList confirmationButtons() {
        auto shown = buttonsOfNextBox();
        ui::askConfirmation(form.get(), QStringLiteral("?"));
        return *shown;
    }

    QStringList deleteRecordButtons() {
        table().append();
        table().setValue("PROD_ID", rt::FieldValue::text("A"));
        table().post();
        QApplication::processEvents();
        auto shown = buttonsOfNextBox();
        key(Qt::Key_Delete, Qt::ControlModifier);
        return *shown;
    }
};

TEST_F(DialogButtonOrderTest, ButtonsStandInTheOrderNamedWhereThePlatformWouldReverseThem) {
    // The platform's own layout, without the program's style.
    QApplication::setStyle(new TAffirmativeLastStyle);
    EXPECT_EQ(confirmationButtons(), (QStringList{"&No", "&Yes"}));

    installProgramStyle();
    EXPECT_EQ(confirmationButtons(), (QStringList{"&Yes", "&No"}));
    EXPECT_EQ(deleteRecordButtons(), (QStringList{"OK", "Cancel"}));
}

}  // namespace
