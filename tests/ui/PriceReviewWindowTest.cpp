// The review in the window, on a real embedded database: what the
// write-back's question shows of a priced sub-category and of the prices
// changed in the database since the data view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "ReviewDatabase.h"
#include "Dialogs.h"
#include "DirectClient.h"
#include "FrmTarvell.h"
#include "PriceMarks.h"
#include "SpeedButton.h"
#include "WindowDriver.h"
#include "WorkTableGrid.h"

namespace {

using testsupport::ReviewDatabase;

class PriceReviewWindowTest : public testing::Test {
protected:
    void SetUp() override {
        db.addMarkedSubCategories();
        form = std::make_unique<TFormTarvell>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override {
        form.reset();
        QApplication::processEvents();
    }

    void click(ui::TSpeedButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QApplication::processEvents();
    }
    void view(const char* text) {
        form->ComboBox1->setEditText(QString::fromUtf8(text));
        click(form->SpeedButton1);
    }

    ReviewDatabase db;
    std::unique_ptr<TFormTarvell> form;
};

TEST_F(PriceReviewWindowTest, QuestionKeepsItsTextAndButtonsAndCountsTheBatchAndTheChangesSince) {
    view("A1,");
    click(form->SpeedButton2);
    // Another program changes a price after the data view.
    db.database.execute("UPDATE PRODUCT SET VIP_PRICE = 130 WHERE PROD_ID = 'SAME'");

    QString informative, details;
    QStringList buttons;
    auto seen = onNextBox([&](QMessageBox* box) {
        informative = box->informativeText();
        for (QAbstractButton* button : box->buttons()) buttons << button->text();
        if (auto* area = box->findChild<QPlainTextEdit*>(QString::fromLatin1(ui::kConfirmationDetailsName)))
            details = area->toPlainText();
        for (QAbstractButton* button : box->buttons())
            if (button->text() == QStringLiteral("&No")) return button->click();
    });
    click(form->SpeedButton3);
    ASSERT_TRUE(seen->seen);
    EXPECT_EQ(seen->title, QStringLiteral("Confirm"));
    EXPECT_EQ(seen->text, QString::fromUtf8("確認回存商品價格.  now?"));
    EXPECT_EQ(seen->icon, QMessageBox::Question);
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")}));
    EXPECT_EQ(informative,
              QString::fromUtf8("共 4 列。價格調高 6，調低 6，不變 6，低於成本 0，未計算 0。無原價可比 6。\n"
                                "資料檢視後，資料庫中已有 1 項商品的價格被更改；要重新載入請按 No。"));
    const QStringList lines = details.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 1 + 10 + 1 + 1 + 1) << details.toStdString();
    EXPECT_EQ(lines[1], QString::fromUtf8("UP Tea  市價  100 → 110 (+10.0%)"));
    EXPECT_EQ(lines[7], QString::fromUtf8("DOWN Milk  市價  120 → 110 (-8.3%)"));
    EXPECT_EQ(lines[13], QString::fromUtf8("SAME Soda  110 110 110 110 110 110 → 110 110 110 110 110 130"));

    // No wrote nothing.
    testsupport::DirectClient client(db.database.path());
    EXPECT_EQ(client.select("SELECT SALE_PRICE FROM PRODUCT WHERE PROD_ID = 'UP'").front()[0].toDouble(), 100.0);
}

}  // namespace
