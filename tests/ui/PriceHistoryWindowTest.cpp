// The price history window against journals the program itself writes (its
// write-back, its revert, the command line's revert), on databases behind
// the private test server: the list and its states, one journal's rows with
// their marks and the filter, "還原" by the command line's rules with its
// questions, Cancel in the middle of a revert, and a list that follows the
// folder while it is open.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DataLinkStore.h"
#include "Dialogs.h"
#include "DirectClient.h"
#include "FrmTarvell.h"
#include "HeadlessProgram.h"
#include "JournalHistory.h"
#include "JournalSettings.h"
#include "LocalServer.h"
#include "MessageBoxAnswers.h"
#include "NumberedBatch.h"
#include "PointOfSaleSchema.h"
#include "PriceHistoryWindow.h"
#include "PriceJournal.h"
#include "PriceMarks.h"
#include "PriceWriteBack.h"
#include "ProgramIdentity.h"
#include "SpeedButton.h"
#include "StoredConnection.h"
#include "TestDatabase.h"
#include "WriteBackSettings.h"
#include "WriteBackDialog.h"

namespace {

using namespace testsupport;
using ui::TJournalListModel;
using ui::TJournalRowsModel;

// A database behind the server, its configuration files, and the program
// pointed at them.
struct Shop {
    explicit Shop(const LocalServer& server) : server(server) {
        database.execute({kSubCategoryTable, kProductTable,
                          "INSERT INTO PRODUCT (PROD_ID, PROD_NAME, " + kPriceColumns +
                              ") VALUES ('P1', 'Tea', 100, 110, 120, 130, 140, 150)",
                          "INSERT INTO PRODUCT (PROD_ID, PROD_NAME, " + kPriceColumns +
                              ") VALUES ('P2', 'Milk', NULL, NULL, NULL, NULL, NULL, NULL)",
                          "INSERT INTO PRODUCT (PROD_ID, PROD_NAME, " + kPriceColumns +
                              ") VALUES ('P3', 'Soda', 12.34, 0.5, 0, -3, 99999.99, 1)"});
        address = database.serverName(server.address());
        use(address);
    }
    // The program connects through databaseValue (another way of naming
    // the same database makes another Database value).
    void use(const std::string& databaseValue) {
        ConfigurationFiles files;
        files.database = databaseValue;
        files.password = server.password;
        database.writeConfiguration(configuration.path().toStdString(), files);
        DataLinkStore::pointAt(configuration.path());
    }
    void execute(const std::string& sql) { DirectClient(address, "SYSDBA", server.password).execute(sql); }
    std::vector<rt::FieldValue> pricesOf(const std::string& id) {
        const auto rows = DirectClient(address, "SYSDBA", server.password)
                              .select("SELECT " + kPriceColumns + " FROM PRODUCT WHERE PROD_ID = '" + id + "'");
        return rows.empty() ? std::vector<rt::FieldValue>{} : rows.front();
    }
    std::map<std::string, std::vector<rt::FieldValue>> allPrices() {
        return {{"P1", pricesOf("P1")}, {"P2", pricesOf("P2")}, {"P3", pricesOf("P3")}};
    }

    LocalServer server;
    TestDatabase database;
    QTemporaryDir configuration;
    std::string address;
};

const std::vector<batch::PriceRow> kBatch = {
    {"P1", "Tea", {115.0, 105.0, 120.0, 143.0, 154.0, 165.0}},
    {"P2", "Milk", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0}},
    {"P3", "Soda", {13.0, 0.25, 1.0, 1.0, 110000.0, 2.0}},
    {"NOPE", "Not in PRODUCT", {1.0, 1.0, 1.0, 1.0, 1.0, 1.0}},
};

// What one press of "還原" showed: the questions after the confirmation
// (text and default button) and the box it ended with.
struct RevertSeen {
    QStringList questions;  // each with the notes under it
    QStringList defaults;
    QString end;
};

class PriceHistoryWindowTest : public testing::Test {
protected:
    void SetUp() override {
        server = LocalServer::fromEnvironment();
        if (!server) GTEST_SKIP() << LocalServer::kSkipReason;
        // The program's own name, so that the journal folder is the one the
        // program run as a child writes to.
        settings::useProgramIdentity();
        folder = journal::JournalSettings::load().folder;
        EXPECT_EQ(folder, programJournals());
        emptyJournalFolder(folder);
        shop = std::make_unique<Shop>(*server);
    }
    void TearDown() override {
        window.reset();
        stored.disconnect();
        forgetWaitingAnswers();
        QCoreApplication::setApplicationName(testProgramName);
        QCoreApplication::setOrganizationName(testOrganization);
    }

    // The program's own write-back, as "3.成本回存" runs it.
    QString writeBack(const std::vector<batch::PriceRow>& rows) {
        batch::TListedPriceRows source(rows);
        batch::TPriceWriteBack writeBack(stored.statement(), journal::JournalSettings::load());
        EXPECT_TRUE(writeBack.run(source, {}));
        stored.disconnect();
        return journal::readJournal(writeBack.journalPath()).path;
    }
    static QString nameOf(const QString& path) { return QFileInfo(path).fileName(); }

    ui::TPriceHistoryWindow& open() {
        window = std::make_unique<ui::TPriceHistoryWindow>();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    // Presses "還原" on the journal, the confirmation answered Yes and each
    // of the questions that follow by answers ("" presses Return, taking
    // the question's default).
    RevertSeen revert(const QString& journal, const QStringList& answers = {}) {
        EXPECT_TRUE(window->select(nameOf(journal)));
        auto seen = std::make_shared<RevertSeen>();
        answerNextBoxWith(QStringLiteral("&Yes"));
        for (const QString& answer : answers)
            whenNextBox([seen, answer](QMessageBox* box) {
                const auto* details = box->findChild<QPlainTextEdit*>(QString::fromLatin1(ui::kConfirmationDetailsName));
                seen->questions << box->text() + u'\n' + box->informativeText() + u'\n' +
                                       (details ? details->toPlainText() : QString());
                seen->defaults << (box->defaultButton() ? box->defaultButton()->text() : QString());
                if (answer.isEmpty()) return QTest::keyClick(box, Qt::Key_Return);
                for (QAbstractButton* button : box->buttons())
                    if (button->text() == answer) return button->click();
            });
        whenNextBox([seen](QMessageBox* box) {
            seen->end = box->text();
            box->buttons().front()->click();
        });
        QTest::mouseClick(window->RevertButton, Qt::LeftButton);
        return *seen;
    }

    // Whether what the window shows comes to hold within a few seconds,
    // the event loop running meanwhile.
    static bool eventually(const std::function<bool()>& holds) {
        for (int waited = 0; waited < 10000; waited += 20) {
            if (holds()) return true;
            QTest::qWait(20);
        }
        return holds();
    }

    QString listed(const QString& journal, int column) {
        const int row = window->journals().rowOf(nameOf(journal));
        return row < 0 ? QStringLiteral("(not listed)")
                       : window->journals().index(row, column).data().toString();
    }

    const QString testProgramName = QCoreApplication::applicationName();
    const QString testOrganization = QCoreApplication::organizationName();
    std::optional<LocalServer> server;
    QString folder;
    std::unique_ptr<Shop> shop;
    StoredConnection stored;
    std::unique_ptr<ui::TPriceHistoryWindow> window;
};

// ---- the list ----

// The folder's note, as --journals prints it, under the folder's name; a
// private folder shows none.
TEST_F(PriceHistoryWindowTest, NotesAJournalFolderOthersCanLookInto) {
    writeBack(kBatch);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    const std::optional<QString> note = journal::journalFolderNote(folder);
    ASSERT_TRUE(note.has_value());
    EXPECT_TRUE(open().FolderLabel->text().endsWith(QLatin1Char('\n') + *note)) << window->FolderLabel->text().toStdString();
    // The note's long line wraps: the window keeps its width, its buttons in sight.
    EXPECT_LE(window->minimumSizeHint().width(), 1100);
    EXPECT_EQ(window->width(), 1100);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0700), 0);
    window->refresh();
    EXPECT_EQ(window->FolderLabel->text(), QDir::toNativeSeparators(folder));
}

TEST_F(PriceHistoryWindowTest, ListsEveryJournalNewestFirstWithItsSourceRowsAndState) {
    const QString first = writeBack(kBatch);
    const QString second = writeBack({{"P2", "Milk", {7.0, 7.0, 7.0, 7.0, 7.0, 7.0}}});
    // The command line reverts the first write-back; a revert of that revert
    // stands over it in turn, so the first counts as not reverted again.
    ASSERT_EQ(runHeadless({QStringLiteral("--revert"), second}).exitCode, 0);
    const QString revertOfSecond = journal::journalFiles(folder).front();
    ASSERT_EQ(runHeadless({QStringLiteral("--revert"), first}).exitCode, 0);
    const QString revertOfFirst = journal::journalFiles(folder).front();
    ASSERT_EQ(runHeadless({QStringLiteral("--revert"), revertOfFirst}).exitCode, 0);
    const QString revertOfRevert = journal::journalFiles(folder).front();
    // A write-back the program did not get to close.
    QString unfinished;
    {
        journal::TJournalWriter writer(folder, {QString::fromStdString(shop->address), QDateTime::currentDateTimeUtc(),
                                                QStringLiteral("clerk"), QStringLiteral("write-back")});
        writer.addEntry({"P1", "Tea", product::TierPrices{1.0, 1.0, 1.0, 1.0, 1.0, 1.0},
                         product::TierPrices{2.0, 2.0, 2.0, 2.0, 2.0, 2.0}});
        writer.sync();
        unfinished = writer.path();
    }
    QFile broken(folder + QStringLiteral("/zz-not-a-journal.csv"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("PROD_ID,PRICE\n");
    broken.close();

    open();
    struct Expected {
        QString file, source, database, rows, state;
    };
    const QString database = QString::fromStdString(shop->address);
    const auto complete = [](const QString& path) {
        return QString::fromUtf8("完成，寫入 %1 筆").arg(*journal::readJournal(path).written);
    };
    const std::vector<Expected> cases = {
        {nameOf(broken.fileName()), QString(), QString(), QString(), QString::fromUtf8("不是價格紀錄：")},
        {nameOf(unfinished), QString::fromUtf8("回存"), database, QStringLiteral("1"), QString::fromUtf8("未完成")},
        {nameOf(revertOfRevert), QString::fromUtf8("還原 ") + nameOf(revertOfFirst), database, QStringLiteral("3"),
         complete(revertOfRevert)},
        {nameOf(revertOfFirst), QString::fromUtf8("還原 ") + nameOf(first), database, QStringLiteral("3"),
         QString::fromUtf8("已還原，由 ") + nameOf(revertOfRevert)},
        {nameOf(revertOfSecond), QString::fromUtf8("還原 ") + nameOf(second), database, QStringLiteral("1"),
         complete(revertOfSecond)},
        {nameOf(second), QString::fromUtf8("回存"), database, QStringLiteral("1"),
         QString::fromUtf8("已還原，由 ") + nameOf(revertOfSecond)},
        {nameOf(first), QString::fromUtf8("回存"), database, QStringLiteral("4"), complete(first)},
    };
    const TJournalListModel& list = window->journals();
    ASSERT_EQ(list.rowCount(), static_cast<int>(cases.size()));
    for (int row = 0; row < list.rowCount(); ++row) {
        const Expected& expected = cases[static_cast<std::size_t>(row)];
        SCOPED_TRACE(expected.file.toStdString());
        EXPECT_EQ(list.index(row, TJournalListModel::File).data().toString(), expected.file);
        EXPECT_EQ(list.index(row, TJournalListModel::Source).data().toString(), expected.source);
        EXPECT_EQ(list.index(row, TJournalListModel::Database).data().toString(), expected.database);
        EXPECT_EQ(list.index(row, TJournalListModel::Rows).data().toString(), expected.rows);
        EXPECT_TRUE(list.index(row, TJournalListModel::State).data().toString().startsWith(expected.state))
            << list.index(row, TJournalListModel::State).data().toString().toStdString();
        if (!expected.database.isEmpty()) {
            EXPECT_EQ(list.index(row, TJournalListModel::User).data().toString(),
                      expected.file == nameOf(unfinished) ? QStringLiteral("clerk")
                                                          : journal::readJournal(folder + u'/' + expected.file).header.user);
            EXPECT_FALSE(list.index(row, TJournalListModel::Time).data().toString().isEmpty());
        }
    }
    // The file that is no journal says why, as --journals does, and offers
    // no revert.
    const ProgramRun listing = runHeadless({QStringLiteral("--journals")});
    const QString reason = list.index(0, TJournalListModel::State).data().toString().mid(7);
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_TRUE(listing.errors.contains(reason)) << listing.errors.toStdString() << " / " << reason.toStdString();
    window->select(nameOf(broken.fileName()));
    EXPECT_FALSE(window->RevertButton->isEnabled());
    EXPECT_EQ(window->rows().rowCount(), 0);

    // The README's picture of the window, taken when asked for (under
    // Xvfb, see docs/): this list, the first write-back's rows below it.
    if (const QString picture = qEnvironmentVariable("TARVELL_HISTORY_PICTURE"); !picture.isEmpty()) {
        ASSERT_TRUE(window->select(nameOf(first)));
        window->resize(1100, 520);
        QTest::qWait(200);
        EXPECT_TRUE(window->grab().save(picture)) << picture.toStdString();
    }
}

// ---- one journal's rows ----

TEST_F(PriceHistoryWindowTest, ShowsEachRowsPricesBeforeAndAfterMarkedAsTheReviewMarksThem) {
    const QString journal = writeBack(kBatch);
    open();
    ASSERT_TRUE(window->select(nameOf(journal)));
    const TJournalRowsModel& rows = window->rows();
    ASSERT_EQ(rows.rowCount(), 4);

    struct Cell {
        int row;
        int column;
        QString text;
        int mark;
    };
    const auto before = TJournalRowsModel::beforeColumn;
    const auto after = TJournalRowsModel::afterColumn;
    const std::vector<Cell> cases = {
        {0, TJournalRowsModel::kIdColumn, QStringLiteral("P1"), marks::None},
        {0, TJournalRowsModel::kNameColumn, QStringLiteral("Tea"), marks::None},
        {0, before(1), QStringLiteral("100"), marks::None},
        {0, after(1), QStringLiteral("115"), marks::Raised},
        {0, before(2), QStringLiteral("110"), marks::None},
        {0, after(2), QStringLiteral("105"), marks::Lowered},
        {0, after(3), QStringLiteral("120"), marks::None},  // unchanged
        {1, before(1), QString(), marks::None},            // an empty price
        {1, after(1), QStringLiteral("1"), marks::None},     // nothing to compare with
        {2, before(2), QStringLiteral("0.5"), marks::None},
        {2, after(2), QStringLiteral("0.25"), marks::Lowered},
        {2, after(5), QStringLiteral("110000"), marks::Raised},
        {3, TJournalRowsModel::kIdColumn, QStringLiteral("NOPE"), marks::ProductMissing},
        {3, before(1), QString(), marks::None},
        {3, after(1), QStringLiteral("1"), marks::None},
    };
    for (const Cell& cell : cases) {
        SCOPED_TRACE(testing::Message() << "row " << cell.row << " column " << cell.column);
        const QModelIndex index = rows.index(cell.row, cell.column);
        EXPECT_EQ(index.data().toString(), cell.text);
        EXPECT_EQ(index.data(marks::kMarkRole).toInt(), cell.mark);
        // Not by colour alone: the grid's delegate draws the arrow.
        EXPECT_EQ(index.data(Qt::BackgroundRole).isValid(), cell.mark != marks::None);
    }
    EXPECT_NE(dynamic_cast<marks::TPriceMarkDelegate*>(window->Rows->itemDelegate()), nullptr);
}

TEST_F(PriceHistoryWindowTest, FilterKeepsRowsWhoseProductNumberOrNameHoldsTheText) {
    const QString journal = writeBack(kBatch);
    open();
    ASSERT_TRUE(window->select(nameOf(journal)));
    struct Case {
        QString text;
        QStringList ids;
    };
    const std::vector<Case> cases = {
        {QString(), {"P1", "P2", "P3", "NOPE"}},
        {QStringLiteral("p3"), {"P3"}},          // a number, in any case
        {QStringLiteral("MILK"), {"P2"}},        // a name
        {QStringLiteral("o"), {"P3", "NOPE"}},   // Soda, NOPE
        {QStringLiteral("110000"), {}},          // prices are not searched
    };
    for (const Case& filter : cases) {
        SCOPED_TRACE(filter.text.toStdString());
        window->Filter->setText(filter.text);
        QStringList shown;
        for (int row = 0; row < window->shownRows().rowCount(); ++row)
            shown << window->shownRows().index(row, TJournalRowsModel::kIdColumn).data().toString();
        EXPECT_EQ(shown, filter.ids);
    }
}

// ---- the revert ----

// The same batch, the same product changed since, on two databases: one
// reverted by "還原" (leaving the changed row alone), the other by
// --revert. Both databases hold the same prices after, and the window's
// box says what the command line printed.
TEST_F(PriceHistoryWindowTest, RevertPutsBackExactlyWhatTheCommandLineDoesAndEndsWithItsSummary) {
    Shop other(*server);
    const auto prepare = [&](Shop& target) {
        target.use(target.address);
        const QString journal = writeBack(kBatch);
        target.execute("UPDATE PRODUCT SET SALE_PRICE = 999 WHERE PROD_ID = 'P3'");
        return journal;
    };
    const QString byCommandLine = prepare(other);
    const ProgramRun printed = runHeadless({QStringLiteral("--revert"), byCommandLine});
    EXPECT_EQ(printed.exitCode, 1) << printed.errors.toStdString();
    const QString byWindow = prepare(*shop);
    open();
    const RevertSeen seen = revert(byWindow, {QString()});

    EXPECT_EQ(shop->allPrices(), other.allPrices());
    EXPECT_EQ(shop->pricesOf("P1"), (std::vector<rt::FieldValue>{rt::FieldValue(100.0), rt::FieldValue(110.0),
                                                                   rt::FieldValue(120.0), rt::FieldValue(130.0),
                                                                   rt::FieldValue(140.0), rt::FieldValue(150.0)}));
    EXPECT_EQ(shop->pricesOf("P3")[0], rt::FieldValue(999.0));
    // The command line's lines, its own journal's path and its --force hint
    // apart.
    const auto summaryLines = [](const QString& text) {
        QStringList lines;
        for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts))
            if (!line.contains(QStringLiteral("rows reverted")) && !line.contains(QStringLiteral("--force")))
                lines << (line.startsWith(QStringLiteral("journal of this revert: ")) ? QStringLiteral("journal")
                                                                                      : line);
        return lines;
    };
    EXPECT_EQ(summaryLines(seen.end), summaryLines(printed.output));
    EXPECT_TRUE(seen.end.contains(QStringLiteral("skipped P3 Soda (line 9): changed since; now 999 ")))
        << seen.end.toStdString();
    EXPECT_TRUE(seen.end.contains(QStringLiteral("4 rows in the journal: 2 reverted, 1 needed nothing, 1 skipped, 0 missing")))
        << seen.end.toStdString();
    // The list shows the window's revert as the newest journal, reverting
    // the one chosen.
    EXPECT_EQ(listed(byWindow, TJournalListModel::State).left(4), QString::fromUtf8("已還原，"));
}

// Each check that refuses a revert: the window asks instead, No being the
// default; No (Return) writes nothing, or for rows changed since leaves
// those rows alone; Yes reverts as --force would.
enum class Refusal { OtherDatabase, OutOfOrder, ChangedRows };
struct RefusalCase {
    const char* name;
    Refusal refusal;
    // Yes to every question; otherwise Return (the default) to the first.
    bool overridden;
    // Questions asked: overriding the order check reaches the products
    // the newer journal changed, and asks about them too.
    int questions;
};
void PrintTo(const RefusalCase& refusalCase, std::ostream* out) { *out << refusalCase.name; }

class RevertQuestionTest : public PriceHistoryWindowTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RevertQuestionTest, AsksWhatWouldBeOverriddenAndRevertsOnlyOnYes) {
    const RefusalCase& param = GetParam();
    const auto before = shop->allPrices();
    const QString journal = writeBack(kBatch);
    QString named;
    switch (param.refusal) {
    case Refusal::OtherDatabase: {
        // The same database, named another way: another Database value.
        const std::string otherName = "localhost" + shop->address.substr(server->host.size());
        shop->use(otherName);
        named = QString::fromStdString(otherName);
        break;
    }
    case Refusal::OutOfOrder:
        named = nameOf(writeBack({{"P2", "Milk", {7.0, 7.0, 7.0, 7.0, 7.0, 7.0}}}));
        break;
    case Refusal::ChangedRows:
        shop->execute("UPDATE PRODUCT SET SALE_PRICE = 999 WHERE PROD_ID = 'P3'");
        named = QStringLiteral("P3 Soda");
        break;
    }
    const auto ready = shop->allPrices();
    open();
    QStringList answers;
    for (int question = 0; question < param.questions; ++question)
        answers << (param.overridden ? QStringLiteral("&Yes") : QString());
    const RevertSeen seen = revert(journal, answers);

    ASSERT_EQ(seen.questions.size(), param.questions) << seen.end.toStdString();
    EXPECT_EQ(seen.defaults, QStringList(param.questions, QStringLiteral("&No")));
    // The question or the notes under it name what would be overridden.
    EXPECT_TRUE(seen.questions.front().contains(named)) << seen.questions.front().toStdString();
    if (param.overridden) {
        EXPECT_EQ(shop->allPrices(), before) << seen.end.toStdString();
        EXPECT_TRUE(seen.end.contains(QStringLiteral(" 0 skipped, 0 missing"))) << seen.end.toStdString();
        if (param.refusal == Refusal::ChangedRows) {
            EXPECT_TRUE(seen.end.contains(QStringLiteral("forced P3 Soda"))) << seen.end.toStdString();
        }
        if (param.refusal == Refusal::OutOfOrder) {
            EXPECT_TRUE(seen.questions.back().contains(QStringLiteral("P2 Milk"))) << seen.questions.back().toStdString();
            EXPECT_TRUE(seen.end.contains(QStringLiteral("forced P2 Milk"))) << seen.end.toStdString();
        }
        return;
    }
    if (param.refusal == Refusal::ChangedRows) {
        auto expected = before;
        expected["P3"] = ready.at("P3");
        EXPECT_EQ(shop->allPrices(), expected);
        EXPECT_TRUE(seen.end.contains(QStringLiteral("1 skipped"))) << seen.end.toStdString();
        return;
    }
    // Refused: nothing written, the command line's reason given.
    EXPECT_EQ(shop->allPrices(), ready);
    EXPECT_TRUE(seen.end.contains(named)) << seen.end.toStdString();
    EXPECT_TRUE(seen.end.contains(QStringLiteral("Nothing was reverted"), Qt::CaseInsensitive)) << seen.end.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Checks, RevertQuestionTest,
                         testing::Values(RefusalCase{"OtherDatabaseRefused", Refusal::OtherDatabase, false, 1},
                                         RefusalCase{"OtherDatabaseOverridden", Refusal::OtherDatabase, true, 1},
                                         RefusalCase{"OutOfOrderRefused", Refusal::OutOfOrder, false, 1},
                                         RefusalCase{"OutOfOrderOverridden", Refusal::OutOfOrder, true, 2},
                                         RefusalCase{"ChangedRowsLeftAlone", Refusal::ChangedRows, false, 1},
                                         RefusalCase{"ChangedRowsReverted", Refusal::ChangedRows, true, 1}),
                         [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

// Cancel in the progress dialog stops the revert after the row in flight
// (row by row) or rolls it all back (one transaction, as the settings say):
// the summary, the revert's own journal and the database agree on the rows
// put back.
class RevertCancelTest : public PriceHistoryWindowTest, public testing::WithParamInterface<bool> {
protected:
    void TearDown() override {
        settings::WriteBackSettings::setOneTransaction(false);
        PriceHistoryWindowTest::TearDown();
    }
};

TEST_P(RevertCancelTest, CancelStopsTheRevertWithTheSummaryAndTheJournalSayingWhatTheDatabaseHolds) {
    const bool oneTransaction = GetParam();
    settings::WriteBackSettings::setOneTransaction(oneTransaction);
    // One transaction sends its rows much faster than it commits them one
    // by one: a batch long enough that Cancel comes before its last row.
    const int kRows = oneTransaction ? 40000 : 3000;
    shop->execute(numberedProductsInsert(kRows, "2, 2, 2, 2, 2, 2"));
    const QString journal = writeNumberedJournal(folder, shop->address, kRows, [](int, const std::string& id) {
        return journal::JournalEntry{id, "Item", product::TierPrices{1.0, 1.0, 1.0, 1.0, 1.0, 1.0},
                                     product::TierPrices{2.0, 2.0, 2.0, 2.0, 2.0, 2.0}};
    });
    open();
    bool cancelled = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<ui::TWriteBackDialog*>(widget); dialog && dialog->isVisible() && !cancelled) {
                cancelled = true;
                QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
            }
    });
    watch.start();
    const RevertSeen seen = revert(journal);
    watch.stop();
    ASSERT_TRUE(cancelled) << "the progress dialog never showed";

    const int reverted = static_cast<int>(DirectClient(shop->address, "SYSDBA", server->password)
                                              .select("SELECT COUNT(*) FROM PRODUCT WHERE SALE_PRICE = 1")
                                              .front()[0]
                                              .toDouble());
    EXPECT_LT(reverted, kRows) << "Cancel came too late to stop the revert";
    if (oneTransaction) {
        EXPECT_EQ(reverted, 0);
    }
    EXPECT_TRUE(seen.end.contains(QStringLiteral("%1 rows in the journal: %2 reverted").arg(kRows).arg(reverted)))
        << seen.end.toStdString();
    const QString stopped = oneTransaction
                                ? QStringLiteral("Stopped by Cancel; the transaction was rolled back and nothing was reverted.")
                                : QStringLiteral("Stopped by Cancel after %1 rows reverted").arg(reverted);
    EXPECT_TRUE(seen.end.contains(stopped)) << seen.end.toStdString();
    const QString own = journal::journalFiles(folder).front();
    EXPECT_EQ(journal::readJournal(own).written, std::optional<std::size_t>(reverted));
    EXPECT_TRUE(seen.end.contains(own)) << seen.end.toStdString();
}

INSTANTIATE_TEST_SUITE_P(WriteModes, RevertCancelTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "OneTransaction" : "RowByRow");
                         });

// ---- staying current ----

TEST_F(PriceHistoryWindowTest, AnOpenWindowShowsJournalsWrittenMeanwhileByTheWindowOrTheCommandLine) {
    open();
    EXPECT_EQ(window->journals().rowCount(), 0);
    const QString written = writeBack(kBatch);
    const QString complete = QString::fromUtf8("完成，寫入 %1 筆").arg(*journal::readJournal(written).written);
    EXPECT_TRUE(eventually([&] { return listed(written, TJournalListModel::State) == complete; }))
        << listed(written, TJournalListModel::State).toStdString();
    ASSERT_EQ(runHeadless({QStringLiteral("--revert"), written}).exitCode, 0);
    const QString revert = journal::journalFiles(folder).front();
    EXPECT_TRUE(eventually([&] {
        return listed(written, TJournalListModel::State) == QString::fromUtf8("已還原，由 ") + nameOf(revert);
    })) << listed(written, TJournalListModel::State).toStdString();
    EXPECT_EQ(window->journals().rowCount(), 2);
}

// The main window's own write-back ("3.成本回存", on its worker) shows in
// the history window F9 opened, first as it is written, then closed.
TEST_F(PriceHistoryWindowTest, AWriteBackOfTheMainWindowShowsInItsOpenHistoryWindow) {
    shop->execute("INSERT INTO PROD_ITEM VALUES ('A1', 'Drinks', 15, 10, 20, 30, 40, 50)");
    shop->execute("UPDATE PRODUCT SET PD_ITEMID = 'A1', STD_COST = 100");
    TFormTarvell form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_F9);
    auto* history = form.findChild<ui::TPriceHistoryWindow*>();
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->journals().rowCount(), 0);

    form.ComboBox1->setEditText(QStringLiteral("A1,Drinks"));
    QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
    ASSERT_EQ(form.CDS_PRODUCT.rowCount(), 3);
    QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
    answerNextBoxWith(QStringLiteral("&Yes"));
    const auto done = onNextBox([](QMessageBox* box) { box->buttons().front()->click(); });
    QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
    EXPECT_EQ(done->text, QString::fromUtf8("回存完成"));

    const QStringList files = journal::journalFiles(folder);
    ASSERT_EQ(files.size(), 1);
    const QString complete = QString::fromUtf8("完成，寫入 3 筆");
    EXPECT_TRUE(eventually([&] {
        const int row = history->journals().rowOf(nameOf(files.front()));
        return row >= 0 && history->journals().index(row, TJournalListModel::State).data().toString() == complete;
    }));
    EXPECT_EQ(history->journals().rowCount(), 1);
    history->close();
}

TEST_F(PriceHistoryWindowTest, F9InTheMainWindowOpensTheHistoryOnceWithoutChangingTheMainWindow) {
    TFormTarvell form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QSize size = form.size();
    for (int press = 0; press < 2; ++press) {
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F9);
    }
    const auto opened = form.findChildren<ui::TPriceHistoryWindow*>();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.front()->isVisible());
    EXPECT_TRUE(opened.front()->isWindow());
    EXPECT_EQ(form.size(), size);
    opened.front()->close();
}

}  // namespace
