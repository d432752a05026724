// The whole batch against a real database: the window is shown headless on
// a fresh embedded database, the operator's clicks go to its buttons, and
// what reached PRODUCT is read back through a connection of its own.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <memory>

#include "Big5Text.h"
#include "WorkTableGrid.h"
#include "DataLinkStore.h"
#include "DirectClient.h"
#include "HeadlessProgram.h"
#include "ErrorDisplay.h"
#include "FrmTarvell.h"
#include "JournalSettings.h"
#include "PriceJournal.h"
#include "ProgressBar.h"
#include "SpeedButton.h"
#include "LocalServer.h"
#include "MessageBoxAnswers.h"
#include "PointOfSaleSchema.h"
#include "TestDatabase.h"

namespace {

using testsupport::DirectClient;
using testsupport::TestDatabase;

std::string b5(const char* utf8) { return big5::fromUtf8(utf8); }

// Answers the message boxes the handlers put up, in order, and keeps what
// each showed. A box that no answer was given for is a failure; it is
// closed so the test goes on.
class BoxAnswers {
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;  // left to right
    };

    BoxAnswers() {
        testsupport::whenUnexpectedBox([this](QMessageBox* box) {
            record(*box);
            ADD_FAILURE() << "unexpected box: " << box->text().toStdString();
            box->close();
        });
    }
    ~BoxAnswers() {
        EXPECT_EQ(testsupport::forgetWaitingAnswers(), 0) << "box(es) expected but never shown";
        testsupport::whenUnexpectedBox(nullptr);
    }

    void expectButton(const QString& text) {
        expect([text](QMessageBox* box) {
            for (QAbstractButton* button : box->buttons())
                if (button->text() == text) return button->click();
            ADD_FAILURE() << "no button " << text.toStdString() << " on " << box->text().toStdString();
            box->close();
        });
    }
    void expectCloseBox() {
        expect([](QMessageBox* box) { box->close(); });
    }
    void expectEnter() {
        expect([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); });
    }
    const std::vector<Seen>& seen() const { return seen_; }

private:
    void expect(std::function<void(QMessageBox*)> answer) {
        testsupport::whenNextBox([this, answer = std::move(answer)](QMessageBox* box) {
            record(*box);
            answer(box);
        });
    }
    void record(QMessageBox& box) {
        const testsupport::SeenBox shown = testsupport::describe(box);
        seen_.push_back({shown.title, shown.text, shown.icon, shown.buttonTexts});
    }

    std::vector<Seen> seen_;
};

class BatchTest : public testing::Test {
protected:
    void SetUp() override {
        database.execute(testsupport::pointOfSaleTables());
    }

    void TearDown() override {
        form.reset();
        QApplication::processEvents();
    }

    void addSubCategory(const std::string& key, const std::string& name, const std::string& rates) {
        database.execute("INSERT INTO PROD_ITEM VALUES ('" + key + "', '" + name + "', " + rates + ")");
    }
    void addProduct(const std::string& id, const std::string& name, const std::string& cost,
                    const std::string& subCategory) {
        database.execute("INSERT INTO PRODUCT (PROD_ID, PROD_NAME, STD_COST, PD_ITEMID) VALUES ('" + id + "', '" +
                         name + "', " + cost + ", '" + subCategory + "')");
    }

    // Shows the window on the database as it stands now.
    void start(const testsupport::ConfigurationFiles& files = {}) {
        database.writeConfiguration(configuration.path().toStdString(), files);
        testsupport::DataLinkStore::pointAt(configuration.path());
        form = std::make_unique<TFormTarvell>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    void click(ui::TSpeedButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QApplication::processEvents();
    }
    void view(const char* selectorTextUtf8) {
        form->ComboBox1->setEditText(QString::fromUtf8(selectorTextUtf8));
        click(form->SpeedButton1);
    }

    TProductWorkTable& table() { return form->CDS_PRODUCT; }
    std::string text(int row, int field) { return table().valueAt(row, field).toString(); }

    // The six prices of a product as PRODUCT holds them, read through a
    // connection of its own: embedded, or through the server that has the
    // database open (readerName, readerPassword).
    std::vector<rt::FieldValue> pricesInDatabase(const std::string& id) {
        DirectClient client(readerName.empty() ? database.path() : readerName, "SYSDBA", readerPassword);
        const auto rows = client.select(
            "SELECT SALE_PRICE, N_PRICE, P_PRICE, P_PRICE2, PSALE_PRICE, VIP_PRICE FROM PRODUCT WHERE PROD_ID = '" +
            id + "'");
        return rows.empty() ? std::vector<rt::FieldValue>{} : rows.front();
    }
    int pricedProductsInDatabase() {
        DirectClient client(readerName.empty() ? database.path() : readerName, "SYSDBA", readerPassword);
        return static_cast<int>(
            client.select("SELECT COUNT(*) FROM PRODUCT WHERE SALE_PRICE IS NOT NULL").front()[0].toDouble());
    }

    TestDatabase database;
    std::string readerName;
    std::string readerPassword;
    QTemporaryDir configuration;
    BoxAnswers boxes;
    std::unique_ptr<TFormTarvell> form;
};

TEST_F(BatchTest, SelectorListsEverySubCategoryAsKeyCommaNameInKeyOrder) {
    addSubCategory("B2", b5("衛生紙"), "1, 2, 3, 4, 5, 6");
    addSubCategory("A1", b5("飲料, 冷藏"), "1, 2, 3, 4, 5, 6");
    addSubCategory("C3", "", "1, 2, 3, 4, 5, 6");
    start();
    QComboBox& selector = *form->ComboBox1;
    ASSERT_EQ(selector.count(), 3);
    EXPECT_EQ(selector.itemText(0), QString::fromUtf8("A1,飲料, 冷藏"));
    EXPECT_EQ(selector.itemText(1), QString::fromUtf8("B2,衛生紙"));
    EXPECT_EQ(selector.itemText(2), QString::fromUtf8("C3,"));
    EXPECT_EQ(selector.currentIndex(), -1);
    EXPECT_TRUE(selector.currentText().isEmpty());
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(BatchTest, FailedFirstConnectShowsTheErrorAndStillShowsTheWindow) {
    testsupport::ConfigurationFiles files;
    files.database = database.folder() + "/MISSING.FDB";
    database.writeConfiguration(configuration.path().toStdString(), files);
    testsupport::DataLinkStore::pointAt(configuration.path());
    boxes.expectEnter();
    form = std::make_unique<TFormTarvell>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.seen()[0].title, ui::applicationTitle());
    EXPECT_TRUE(boxes.seen()[0].text.contains("SQL Server Error: ")) << boxes.seen()[0].text.toStdString();
    EXPECT_EQ(form->ComboBox1->count(), 0);
}

TEST_F(BatchTest, DataViewAppendsTheSubCategoryWithItsRatesAndLocksNumbersAndNames) {
    addSubCategory("A1", b5("飲料,冷藏"), "15, 12.5, 0, -100, 33.33, 10");
    addSubCategory("A2", b5("零食"), "1, 1, 1, 1, 1, 1");
    std::string sixtyBytes;
    for (int i = 0; i < 30; ++i) sixtyBytes += b5("許");
    addProduct("4710000000001", b5("綠茶500ml"), "100", "A1");
    addProduct(std::string(25, '7'), sixtyBytes, "NULL", "A1");
    addProduct("4710000000009", b5("洋芋片"), "20", "A2");
    start();

    view("A1,飲料,冷藏");
    ASSERT_EQ(table().rowCount(), 2);
    EXPECT_EQ(text(0, product::PROD_ID), "4710000000001");
    EXPECT_EQ(text(0, product::PROD_NAME), b5("綠茶500ml"));
    EXPECT_EQ(table().valueAt(0, product::STD_COST).toDouble(), 100.0);
    const double rates[] = {15, 12.5, 0, -100, 33.33, 10};
    for (int tier = 1; tier <= 6; ++tier) {
        EXPECT_EQ(table().valueAt(0, product::rateField(tier)).toDouble(), rates[tier - 1]) << tier;
        EXPECT_EQ(table().valueAt(1, product::rateField(tier)).toDouble(), rates[tier - 1]) << tier;
    }
    // Cut to the field sizes; the null cost stays null.
    EXPECT_EQ(text(1, product::PROD_ID), std::string(20, '7'));
    EXPECT_EQ(text(1, product::PROD_NAME), sixtyBytes.substr(0, 50));
    EXPECT_TRUE(table().valueAt(1, product::STD_COST).isNull());

    EXPECT_TRUE(table().field(product::PROD_ID).readOnly());
    EXPECT_TRUE(table().field(product::PROD_NAME).readOnly());
    EXPECT_FALSE(table().field(product::STD_COST).readOnly());

    // Each press appends; the earlier rows stay. The grid shows them all and
    // keeps the widths the program set.
    view("A1,anything");
    EXPECT_EQ(table().rowCount(), 4);
    EXPECT_EQ(form->DBGrid1->model()->rowCount(), 4);
    EXPECT_EQ(form->DBGrid1->columnWidth(0), 120);
    EXPECT_EQ(form->DBGrid1->columnWidth(1), 220);
    EXPECT_EQ(text(3, product::PROD_ID), std::string(20, '7'));
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(BatchTest, DataViewWithoutProductsOrKeyAppendsNothing) {
    addSubCategory("A1", b5("飲料"), "1, 2, 3, 4, 5, 6");
    addSubCategory("E9", b5("空的"), "1, 2, 3, 4, 5, 6");
    addProduct("P1", "Tea", "10", "A1");
    start();
    view("E9,");
    view("A1");  // no comma: the key is empty
    view("");
    EXPECT_EQ(table().rowCount(), 0);
    EXPECT_TRUE(table().field(product::PROD_ID).readOnly());
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(BatchTest, KeyHoldingAQuoteFindsItsOwnRowsAndRunsNothingElse) {
    addSubCategory("O''K", "Quoted", "10, 10, 10, 10, 10, 10");
    addSubCategory("A1", "Plain", "20, 20, 20, 20, 20, 20");
    addProduct("Q1", "Quoted one", "50", "O''K");
    addProduct("P1", "Plain one", "50", "A1");
    start();
    view("O'K,Quoted");
    ASSERT_EQ(table().rowCount(), 1);
    EXPECT_EQ(text(0, product::PROD_ID), "Q1");
    EXPECT_EQ(table().valueAt(0, product::rateField(1)).toDouble(), 10.0);
    // A key crafted to widen the statement matches nothing.
    view("x' OR '1'='1,");
    EXPECT_EQ(table().rowCount(), 1);
    EXPECT_TRUE(boxes.seen().empty());
}

// A2 CC is one of the Big5 codes that comes back from Unicode as another
// code (A4 51): both show as 十. The entry picked from the list keeps its
// own bytes, also when another entry shows the same text.
TEST_F(BatchTest, KeyPickedFromTheListKeepsItsBytes) {
    const std::string odd = "K\xA2\xCC";
    const std::string plain = "K\xA4\x51";
    addSubCategory(odd, "Ten", "10, 10, 10, 10, 10, 10");
    addSubCategory(plain, "Ten", "20, 20, 20, 20, 20, 20");
    addProduct("P-ODD", "Tea", "50", odd);
    addProduct("P-PLAIN", "Milk", "50", plain);
    start();
    ASSERT_EQ(form->ComboBox1->count(), 2);
    ASSERT_EQ(form->ComboBox1->itemText(0), form->ComboBox1->itemText(1));
    for (int entry : {1, 0}) {
        form->ComboBox1->setCurrentIndex(entry);
        click(form->SpeedButton1);
        const std::string key = form->ComboBox1->itemData(entry).toByteArray().toStdString();
        ASSERT_EQ(table().rowCount(), entry == 1 ? 1 : 2);
        EXPECT_EQ(text(table().rowCount() - 1, product::PROD_ID), key.rfind(odd, 0) == 0 ? "P-ODD" : "P-PLAIN")
            << "entry " << entry;
    }
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(BatchTest, RatesStoredAsTextReadAsNumbersOrZero) {
    database.execute({"DROP TABLE PROD_ITEM",
                      "CREATE TABLE PROD_ITEM (PD_ITEMID VARCHAR(10), PD_ITEMNAME VARCHAR(40), "
                      "d_profit1 VARCHAR(20), d_profit2 VARCHAR(20), d_profit3 VARCHAR(20), "
                      "d_profit4 VARCHAR(20), d_profit5 VARCHAR(20), d_profit6 VARCHAR(20))"});
    addSubCategory("T1", "Text rates", "' 12.5 ', NULL, 'abc', '', '1,000', '-3e1'");
    addSubCategory("T2", "Beyond a double", "'1e999', '-1e999', '1e-999', '15', '2e308', '9e99'");
    addProduct("P1", "Tea", "10", "T1");
    addProduct("P2", "Milk", "10", "T2");
    start();
    view("T1,Text rates");
    view("T2,Beyond a double");
    ASSERT_EQ(table().rowCount(), 2);
    const double expected[2][6] = {{12.5, 0, 0, 0, 0, -30}, {0, 0, 0, 15, 0, 9e99}};
    for (int row = 0; row < 2; ++row)
        for (int tier = 1; tier <= 6; ++tier)
            EXPECT_EQ(table().valueAt(row, product::rateField(tier)).toDouble(), expected[row][tier - 1])
                << "row " << row << " tier " << tier;
}

TEST_F(BatchTest, MissingRateColumnIsReportedAndNumbersStayLocked) {
    database.execute({"DROP TABLE PROD_ITEM",
                      "CREATE TABLE PROD_ITEM (PD_ITEMID VARCHAR(10), PD_ITEMNAME VARCHAR(40), "
                      "D_PROFIT1 NUMERIC(9,2), D_PROFIT2 NUMERIC(9,2))"});
    database.execute("INSERT INTO PROD_ITEM VALUES ('A1', 'Short', 1, 2)");
    addProduct("P1", "Tea", "10", "A1");
    start();
    boxes.expectEnter();
    view("A1,Short");
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].text, QStringLiteral("ClientDataSet1: Field 'd_profit3' not found."));
    EXPECT_EQ(table().rowCount(), 0);
    // However the data view ends, product numbers and names are locked again.
    EXPECT_TRUE(table().field(product::PROD_ID).readOnly());
    EXPECT_TRUE(table().field(product::PROD_NAME).readOnly());
}

class WriteBackTest : public BatchTest {
protected:
    void SetUp() override {
        BatchTest::SetUp();
        addSubCategory("A1", "Drinks", "15, 10, 20, 30, 40, 50");
        addProduct("P1", "Tea", "100", "A1");
        addProduct("P2", "Milk", "33", "A1");
        addProduct("P3", "Soda", "19", "A1");
        start();
        view("A1,Drinks");
    }

    void writeBack() { click(form->SpeedButton3); }

    // Priced, then written back with Yes while the middle product's price
    // breaks a rule of the database.
    void writeBackFailingAtTheMiddleRow() {
        click(form->SpeedButton2);
        database.execute("ALTER TABLE PRODUCT ADD CONSTRAINT SANE_PRICE CHECK (SALE_PRICE <> 38)");
        boxes.expectButton("&Yes");
        boxes.expectEnter();
        writeBack();
    }
};

TEST_F(WriteBackTest, YesWritesEveryRowsSixPrices) {
    click(form->SpeedButton2);
    boxes.expectButton("&Yes");
    boxes.expectEnter();
    writeBack();
    ASSERT_EQ(boxes.seen().size(), 2u);
    const auto& question = boxes.seen()[0];
    EXPECT_EQ(question.title, QStringLiteral("Confirm"));
    EXPECT_EQ(question.text, QString::fromUtf8("確認回存商品價格.  now?"));
    EXPECT_EQ(question.icon, QMessageBox::Question);
    EXPECT_EQ(question.buttons, (QStringList{"&Yes", "&No"}));
    const auto& done = boxes.seen()[1];
    EXPECT_EQ(done.text, QString::fromUtf8("回存完成"));
    EXPECT_EQ(done.icon, QMessageBox::NoIcon);
    EXPECT_EQ(done.title, ui::applicationTitle());

    const std::vector<rt::FieldValue> tea = pricesInDatabase("P1");
    const double expectedTea[] = {115, 110, 120, 130, 140, 150};
    ASSERT_EQ(tea.size(), 6u);
    for (std::size_t tier = 0; tier < 6; ++tier) EXPECT_EQ(tea[tier].toDouble(), expectedTea[tier]) << tier;
    // 33 * 1.10 = 36.3 is stored as 37.
    EXPECT_EQ(pricesInDatabase("P2")[1].toDouble(), 37.0);
    EXPECT_EQ(pricedProductsInDatabase(), 3);
}

TEST_F(WriteBackTest, NoOrTheCloseBoxWritesNothing) {
    click(form->SpeedButton2);
    boxes.expectButton("&No");
    writeBack();
    boxes.expectCloseBox();
    writeBack();
    EXPECT_EQ(boxes.seen().size(), 2u);
    EXPECT_EQ(pricedProductsInDatabase(), 0);
}

TEST_F(WriteBackTest, WriteBackBeforeCalculationStopsAtTheFirstRow) {
    boxes.expectButton("&Yes");
    boxes.expectEnter();
    writeBack();
    ASSERT_EQ(boxes.seen().size(), 2u);
    EXPECT_EQ(boxes.seen()[1].text, QString::fromUtf8("No value for parameter 'SALE_PRICE'\r\n"
                                                      "已回存 0 筆 (共 3 筆)，停在商品 P1 Tea，此商品及之後的商品都未回存."));
    EXPECT_EQ(boxes.seen()[1].icon, QMessageBox::Critical);
    EXPECT_EQ(pricedProductsInDatabase(), 0);
}

TEST_F(WriteBackTest, FailingRowStopsTheWriteBackWithEarlierRowsWritten) {
    writeBackFailingAtTheMiddleRow();
    ASSERT_EQ(boxes.seen().size(), 2u);
    EXPECT_TRUE(boxes.seen()[1].text.contains("SANE_PRICE")) << boxes.seen()[1].text.toStdString();
    EXPECT_EQ(pricesInDatabase("P1")[0].toDouble(), 115.0);
    EXPECT_TRUE(pricesInDatabase("P2")[0].isNull());
    EXPECT_TRUE(pricesInDatabase("P3")[0].isNull());
}

// A row the calculation refused keeps no price of the earlier calculation:
// the write-back stops at it instead of writing those.
TEST_F(WriteBackTest, ARowRefusedForItsRangeStopsTheNextWriteBackAtIt) {
    click(form->SpeedButton2);
    boxes.expectButton("&Yes");
    boxes.expectEnter();
    writeBack();
    ASSERT_EQ(pricesInDatabase("P2")[0].toDouble(), 38.0);
    ASSERT_EQ(pricesInDatabase("P3")[0].toDouble(), 22.0);
    for (const auto& [row, cost] : {std::pair{1, 4e9}, std::pair{2, 50.0}}) {
        table().moveTo(row);
        table().edit();
        table().setValue(product::STD_COST, rt::FieldValue(cost));
        table().post();
    }
    boxes.expectEnter();
    click(form->SpeedButton2);
    boxes.expectButton("&Yes");
    boxes.expectEnter();
    writeBack();
    ASSERT_EQ(boxes.seen().size(), 5u);
    EXPECT_EQ(boxes.seen()[2].text,
              QStringLiteral("Price of product 'P2' (tier 1) is 4600000000, outside the range -2147483648 to 2147483647."));
    EXPECT_EQ(boxes.seen()[4].text, QString::fromUtf8("No value for parameter 'SALE_PRICE'\r\n"
                                                      "已回存 1 筆 (共 3 筆)，停在商品 P2 Milk，此商品及之後的商品都未回存."));
    EXPECT_EQ(pricesInDatabase("P1")[0].toDouble(), 115.0);
    EXPECT_EQ(pricesInDatabase("P2")[0].toDouble(), 38.0);
    EXPECT_EQ(pricesInDatabase("P3")[0].toDouble(), 22.0);
}

TEST_F(WriteBackTest, RowsOfOneProductAreWrittenInOrderTheLastWinning) {
    view("A1,Drinks");
    ASSERT_EQ(table().rowCount(), 6);
    table().moveTo(3);  // P1 again
    table().edit();
    table().setValue(product::STD_COST, rt::FieldValue(200.0));
    table().post();
    click(form->SpeedButton2);
    boxes.expectButton("&Yes");
    boxes.expectEnter();
    writeBack();
    EXPECT_EQ(pricesInDatabase("P1")[0].toDouble(), 230.0);
}

// Through a server of the test's own that goes away between write-backs and
// comes back, as a server restarted under a running program does.
class ServerWriteBackTest : public BatchTest {
protected:
    void SetUp() override {
        server = testsupport::OwnServer::startIfPossible();
        if (!server) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
        BatchTest::SetUp();
        addSubCategory("A1", "Drinks", "15, 10, 20, 30, 40, 50");
        addProduct("P1", "Tea", "100", "A1");
        addProduct("P2", "Milk", "33", "A1");
        addProduct("P3", "Soda", "19", "A1");
        testsupport::ConfigurationFiles files;
        files.database = readerName = database.serverName(server->server().address());
        files.password = readerPassword = server->server().password;
        start(files);
        view("A1,Drinks");
        click(form->SpeedButton2);
    }

    // Answers the confirmation with Yes and the box that ends the write-back
    // with Enter; returns that box's text, in UTF-8. On a lost connection
    // the read of the current prices before the question fails, and its
    // error is the only box.
    std::string writeBack(bool asked = true) {
        const std::size_t seenBefore = boxes.seen().size();
        if (asked) boxes.expectButton("&Yes");
        boxes.expectEnter();
        click(form->SpeedButton3);
        const std::size_t shown = asked ? 2 : 1;
        return boxes.seen().size() == seenBefore + shown ? boxes.seen().back().text.toStdString() : std::string();
    }

    std::unique_ptr<testsupport::OwnServer> server;
};

TEST_F(ServerWriteBackTest, AfterTheServerCameBackTheWriteBackWritesEveryRowOfTheKeptBatch) {
    ASSERT_EQ(writeBack(), "回存完成");

    // The server dies: the read of the current prices, asked once more on a
    // new connection, cannot connect; the write-back stops before its
    // question with the driver's words.
    server->kill();
    const std::string failure = writeBack(false);
    EXPECT_EQ(failure.rfind("DataLink Error: [0x0015]: Connection failed\r\nSQL Server Error: ", 0), 0u) << failure;

    // Back again: the next write-back connects anew and writes the batch the
    // work table still holds.
    server->start();
    DirectClient(readerName, "SYSDBA", readerPassword).execute("UPDATE PRODUCT SET SALE_PRICE = NULL");
    ASSERT_EQ(writeBack(), "回存完成");
    EXPECT_EQ(table().rowCount(), 3);
    EXPECT_EQ(table().valueAt(2, product::priceField(1)).toDouble(), 22.0);
    EXPECT_EQ(pricedProductsInDatabase(), 3);
    EXPECT_EQ(pricesInDatabase("P3")[0].toDouble(), 22.0);

    // A restart the program did not see: the read of the current prices
    // meets the dead connection, is asked again on a new one, and the
    // write-back writes.
    server->kill();
    server->start();
    DirectClient(readerName, "SYSDBA", readerPassword).execute("UPDATE PRODUCT SET SALE_PRICE = NULL");
    EXPECT_EQ(writeBack(), "回存完成");
    EXPECT_EQ(pricedProductsInDatabase(), 3);
}

// The journal of a write-back from the window, on a real database: the
// prices PRODUCT held (none yet) and the ones written, closed with the count.
class JournalTest : public WriteBackTest {
protected:
    void SetUp() override {
        folder = testsupport::emptyJournalFolder(journal::JournalSettings::load().folder);
        WriteBackTest::SetUp();
    }
    void TearDown() override {
        journal::JournalSettings::setEnabled(true);
        QFile::remove(folder);
        testsupport::emptyJournalFolder(folder);
        WriteBackTest::TearDown();
    }
    QString folder;
};

TEST_F(JournalTest, WriteBackJournalsEveryRowsOldAndNewPrices) {
    database.execute("UPDATE PRODUCT SET SALE_PRICE = 99.5 WHERE PROD_ID = 'P2'");
    click(form->SpeedButton2);
    boxes.expectButton("&Yes");
    boxes.expectEnter();
    writeBack();
    const QStringList journals = journal::journalFiles(folder);
    ASSERT_EQ(journals.size(), 1);
    const journal::Journal journal = journal::readJournal(journals[0]);
    EXPECT_EQ(journal.header.database, QString::fromStdString(database.path()));
    EXPECT_EQ(journal.written, std::optional<std::size_t>(3));
    ASSERT_EQ(journal.entries.size(), 3u);
    EXPECT_EQ(journal.entries[0].productId, "P1");
    EXPECT_EQ(journal.entries[0].productName, "Tea");
    constexpr std::optional<double> none = std::nullopt;
    EXPECT_EQ(journal.entries[0].oldPrices, (product::TierPrices{none, none, none, none, none, none}));
    EXPECT_EQ(journal.entries[0].newPrices, (product::TierPrices{115.0, 110.0, 120.0, 130.0, 140.0, 150.0}));
    EXPECT_EQ(journal.entries[1].oldPrices, (product::TierPrices{99.5, none, none, none, none, none}));
}

TEST_F(JournalTest, FailingRowClosesTheJournalWithTheRowsWrittenBeforeIt) {
    writeBackFailingAtTheMiddleRow();
    ASSERT_EQ(boxes.seen().size(), 2u);
    EXPECT_TRUE(boxes.seen()[1].text.contains("SANE_PRICE")) << boxes.seen()[1].text.toStdString();
    const journal::Journal journal = journal::readJournal(journal::journalFiles(folder).value(0));
    EXPECT_EQ(journal.entries.size(), 3u);
    EXPECT_EQ(journal.written, std::optional<std::size_t>(1));
    EXPECT_EQ(journal.entries[1].newPrices.price(1), 38.0);
}

TEST_F(JournalTest, UnwritableJournalFolderStopsTheWriteBackBeforeTheDatabase) {
    QDir().mkpath(QFileInfo(folder).path());
    QFile blocker(folder);  // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    click(form->SpeedButton2);
    boxes.expectButton("&Yes");
    boxes.expectEnter();
    writeBack();
    ASSERT_EQ(boxes.seen().size(), 2u);
    EXPECT_EQ(boxes.seen()[1].icon, QMessageBox::Critical);
    EXPECT_TRUE(boxes.seen()[1].text.startsWith(QStringLiteral("The price journal could not be written")))
        << boxes.seen()[1].text.toStdString();
    EXPECT_EQ(pricedProductsInDatabase(), 0);
}

TEST_F(JournalTest, SwitchedOffTheWriteBackWritesNoJournal) {
    journal::JournalSettings::setEnabled(false);
    click(form->SpeedButton2);
    boxes.expectButton("&Yes");
    boxes.expectEnter();
    writeBack();
    EXPECT_EQ(boxes.seen().back().text, QString::fromUtf8("回存完成"));
    EXPECT_EQ(pricedProductsInDatabase(), 3);
    EXPECT_TRUE(journal::journalFiles(folder).isEmpty());
}

}  // namespace
