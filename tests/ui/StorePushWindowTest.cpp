// The window's push to the stores after a write-back, on store databases
// behind the private test server: the question and its default, the
// window-modal dialog with a line per store and its Cancel, and the end box
// naming each store's outcome.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTest>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "FrmTarvell.h"
#include "HeadlessProgram.h"
#include "HeldRowLock.h"
#include "ScopeGuard.h"
#include "SpeedButton.h"
#include "JournalSettings.h"
#include "MessageBoxAnswers.h"
#include "PriceHistoryWindow.h"
#include "StorePushDialog.h"
#include "StorePushFixture.h"
#include "StorePushRunner.h"

namespace batch {
namespace {

class StorePushWindowTest : public StorePushTest {
protected:
    void TearDown() override {
        EXPECT_EQ(testsupport::forgetWaitingAnswers(), 0);
        StorePushTest::TearDown();
    }
    QWidget window;
};

TEST_F(StorePushWindowTest, TheQuestionDefaultsToNoAndYesPushesToEveryStore) {
    stores[1]->database.execute("ALTER TABLE PRODUCT ADD CONSTRAINT STORE_CEILING CHECK (SALE_PRICE < 5030)");
    stores[0]->database.execute("DELETE FROM PRODUCT WHERE PROD_ID = 'P4'");
    std::vector<std::vector<double>> withoutP4 = batchPrices(), oldWithoutP4 = oldPrices(0);
    withoutP4.erase(withoutP4.begin() + 3);
    oldWithoutP4.erase(oldWithoutP4.begin() + 3);
    struct Case {
        const char* name;
        const char* answer;
        bool pushed;
    };
    const Case cases[] = {{"No", "&No", false}, {"Yes", "&Yes", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto question = testsupport::answerNextBoxWith(QString::fromUtf8(c.answer));
        std::shared_ptr<testsupport::SeenBox> end;
        if (c.pushed) end = testsupport::answerNextBox(QMessageBox::Ok);
        const std::vector<StoreProgress> outcome = ui::offerStorePush(&window, headOfficeJournal);
        ASSERT_TRUE(question->seen);
        EXPECT_EQ(question->text, QString::fromUtf8("也推送到 3 家門市？"));
        EXPECT_EQ(question->buttonTexts, (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")}));
        EXPECT_EQ(outcome.size(), c.pushed ? 3u : 0u);
        EXPECT_EQ(pricesAt(0), c.pushed ? withoutP4 : oldWithoutP4);
        EXPECT_EQ(pricesAt(1), oldPrices(1));
        EXPECT_EQ(pricesAt(2), c.pushed ? batchPrices() : oldPrices(2));
        if (!c.pushed) continue;
        ASSERT_TRUE(end->seen);
        const QStringList lines = end->text.split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 5) << end->text.toStdString();
        EXPECT_EQ(lines[0], QString::fromUtf8("Taipei01：已送達；門市沒有的商品 1 項：P4 Item 4"));
        EXPECT_TRUE(lines[1].startsWith(QString::fromUtf8("Taichung02：失敗（"))) << lines[1].toStdString();
        EXPECT_TRUE(lines[1].contains(QStringLiteral("STORE_CEILING"))) << lines[1].toStdString();
        EXPECT_EQ(lines[2], QString::fromUtf8("Kaohsiung03：已送達"));
        EXPECT_EQ(lines[4], QString::fromUtf8("再推送一次只會重試還沒有這批價格的門市。"));
    }
}

// The default button is No: Enter on the question pushes nothing.
TEST_F(StorePushWindowTest, EnterOnTheQuestionPushesNothing) {
    testsupport::whenNextBox([](QMessageBox* box) { box->defaultButton()->click(); });
    EXPECT_TRUE(ui::offerStorePush(&window, headOfficeJournal).empty());
    for (std::size_t store = 0; store < stores.size(); ++store) EXPECT_EQ(pricesAt(store), oldPrices(store));
}

TEST_F(StorePushWindowTest, NoStoreConfiguredAsksNothing) {
    settings::StoreSettings::setNames({});
    EXPECT_TRUE(ui::offerStorePush(&window, headOfficeJournal).empty());
    EXPECT_FALSE(QFileInfo::exists(journal::pushRecordPath(headOfficeJournal)));
}

// From the history window: "推送到門市" on the head office's write-back
// sends its batch to every store, and the stores' journals it wrote are
// listed after it; a store's journal is no batch to push on.
TEST_F(StorePushWindowTest, TheHistoryWindowPushesAWriteBackJournalAndNoOtherKind) {
    // The folder the window lists is the one this process writes journals to.
    const QString folder = testsupport::emptyJournalFolder(journal::JournalSettings::load().folder);
    const QString listed = QDir(folder).filePath(QFileInfo(headOfficeJournal).fileName());
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(headOfficeJournal, listed));
    ui::TPriceHistoryWindow history;
    history.show();
    ASSERT_TRUE(history.select(QFileInfo(listed).fileName()));
    ASSERT_TRUE(history.PushButton->isEnabled());
    const auto question = testsupport::answerNextBoxWith(QStringLiteral("&Yes"));
    const auto end = testsupport::answerNextBox(QMessageBox::Ok);
    QTest::mouseClick(history.PushButton, Qt::LeftButton);
    ASSERT_TRUE(question->seen);
    EXPECT_EQ(question->text, QString::fromUtf8("也推送到 3 家門市？"));
    ASSERT_TRUE(end->seen);
    for (std::size_t store = 0; store < stores.size(); ++store) EXPECT_EQ(pricesAt(store), batchPrices()) << store;
    EXPECT_EQ(history.journals().rowCount(), 1 + int(stores.size()));
    for (int row = 0; row < history.journals().rowCount(); ++row) {
        const QString name = history.journals().journalAt(row).fileName;
        ASSERT_TRUE(history.select(name));
        EXPECT_EQ(history.PushButton->isEnabled(), name == QFileInfo(listed).fileName()) << name.toStdString();
    }
}

// Cancel in the dialog while one store waits for a locked row: that store
// rolls back, the delivered ones keep the batch, and the lines showed each
// store on the way.
TEST_F(StorePushWindowTest, CancelInTheDialogRollsBackTheStoreStillWriting) {
    auto lock = std::make_unique<testsupport::HeldRowLock>(stores[2]->serverName(), server.password,
                                                           "UPDATE PRODUCT SET STD_COST = 1 WHERE PROD_ID = 'P3'");
    testsupport::answerNextBoxWith(QStringLiteral("&Yes"));
    const auto end = testsupport::answerNextBox(QMessageBox::Ok);
    QStringList seenLines;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = window.findChild<ui::TStorePushDialog*>();
        if (!dialog || !dialog->isVisible()) return;
        EXPECT_TRUE(dialog->isModal() || dialog->windowModality() == Qt::WindowModal);
        const auto* line = dialog->findChild<QLabel*>(QStringLiteral("store:Kaohsiung03"));
        const auto* first = dialog->findChild<QLabel*>(QStringLiteral("store:Taipei01"));
        const auto* second = dialog->findChild<QLabel*>(QStringLiteral("store:Taichung02"));
        if (!line || !first || !second) return;
        seenLines.removeAll(line->text());
        seenLines.push_back(line->text());
        if (line->text() == QString::fromUtf8("Kaohsiung03：傳送中 2 / 5") &&
            first->text() == QString::fromUtf8("Taipei01：已送達") &&
            second->text() == QString::fromUtf8("Taichung02：已送達")) {
            watch.stop();
            dialog->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
        }
    });
    watch.start();
    const std::vector<StoreProgress> outcome = ui::offerStorePush(&window, headOfficeJournal);
    lock.reset();
    ASSERT_EQ(outcome.size(), 3u);
    EXPECT_EQ(outcome[2].status, StoreStatus::Cancelled);
    EXPECT_TRUE(seenLines.contains(QString::fromUtf8("Kaohsiung03：傳送中 2 / 5"))) << seenLines.join('|').toStdString();
    EXPECT_EQ(pricesAt(0), batchPrices());
    EXPECT_EQ(pricesAt(1), batchPrices());
    EXPECT_EQ(pricesAt(2), oldPrices(2));
    ASSERT_TRUE(end->seen);
    EXPECT_TRUE(end->text.contains(QString::fromUtf8("Kaohsiung03：已取消，沒有寫入任何價格"))) << end->text.toStdString();
    EXPECT_TRUE(end->text.contains(QString::fromUtf8("再推送一次只會重試還沒有這批價格的門市。")));
}

// The window's own write-back, then the offer: with a store configured,
// Yes after "回存完成" sends the batch just written to it; Enter (No) sends
// nothing.
TEST(StorePushFromTheWindow, AfterTheWriteBackYesSendsTheBatchToTheStores) {
    struct Case {
        const char* name;
        bool yes;
    };
    for (const Case c : {Case{"Enter", false}, Case{"Yes", true}}) {
        SCOPED_TRACE(c.name);
        testsupport::TestDatabase office, shop;
        office.execute(testsupport::pointOfSaleTables());
        office.execute({"INSERT INTO PROD_ITEM VALUES ('A1', 'Drinks', 15, 10, 20, 30, 40, 50)",
                        "INSERT INTO PRODUCT (PROD_ID, PROD_NAME, STD_COST, PD_ITEMID) VALUES ('P1', 'Tea', 100, 'A1')",
                        "INSERT INTO PRODUCT (PROD_ID, PROD_NAME, STD_COST, PD_ITEMID) VALUES ('P2', 'Milk', 33, 'A1')"});
        shop.execute(testsupport::kProductTable);
        shop.execute({"INSERT INTO PRODUCT (PROD_ID, PROD_NAME, " + testsupport::kPriceColumns + ") VALUES ('P1', 'Tea', 1, 2, 3, 4, 5, 6)",
                      "INSERT INTO PRODUCT (PROD_ID, PROD_NAME, " + testsupport::kPriceColumns + ") VALUES ('P2', 'Milk', 1, 2, 3, 4, 5, 6)"});
        QTemporaryDir configuration;
        office.writeConfiguration(configuration.path().toStdString());
        {
            QFile file(configuration.filePath(QStringLiteral("dlconnections.ini")));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            QByteArray all = file.readAll();
            file.close();
            QByteArray section = all;
            section.replace("[VuzEza]", "[Shop1]");
            section.replace("Database=" + QByteArray::fromStdString(office.path()), "Database=" + QByteArray::fromStdString(shop.path()));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(all + section);
        }
        testsupport::DataLinkStore::pointAt(configuration.path());
        settings::StoreSettings::setNames({QStringLiteral("Shop1")});
        const rt::ScopeGuard noStores([] { settings::StoreSettings::setNames({}); });

        auto form = std::make_unique<TFormTarvell>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->ComboBox1->setEditText(QStringLiteral("A1,Drinks"));
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
        QTest::mouseClick(form->SpeedButton2, Qt::LeftButton);
        testsupport::answerNextBoxWith(QStringLiteral("&Yes"));
        const auto done = testsupport::answerNextBox(QMessageBox::Ok);
        std::shared_ptr<testsupport::SeenBox> offer, end;
        if (c.yes) {
            offer = testsupport::answerNextBoxWith(QStringLiteral("&Yes"));
            end = testsupport::answerNextBox(QMessageBox::Ok);
        } else {
            offer = testsupport::onNextBox([](QMessageBox* box) { box->defaultButton()->click(); });
        }
        QTest::mouseClick(form->SpeedButton3, Qt::LeftButton);
        QApplication::processEvents();
        EXPECT_EQ(done->text, QString::fromUtf8("回存完成"));
        ASSERT_TRUE(offer->seen);
        EXPECT_EQ(offer->text, QString::fromUtf8("也推送到 1 家門市？"));
        form.reset();
        EXPECT_EQ(testsupport::forgetWaitingAnswers(), 0);

        testsupport::DirectClient officeClient(office.path()), shopClient(shop.path());
        const std::string prices = "SELECT " + testsupport::kPriceColumns + " FROM PRODUCT ORDER BY PROD_ID";
        const auto written = officeClient.select(prices);
        ASSERT_EQ(written.size(), 2u);
        EXPECT_EQ(written[0][0].toDouble(), 115.0);
        if (c.yes) {
            ASSERT_TRUE(end->seen);
            EXPECT_EQ(end->text, QString::fromUtf8("Shop1：已送達\n\n每家門市都已收到這批價格。"));
            EXPECT_EQ(shopClient.select(prices), written);
        } else {
            EXPECT_EQ(shopClient.select(prices)[0][0].toDouble(), 1.0);
        }
    }
}

}  // namespace
}  // namespace batch
