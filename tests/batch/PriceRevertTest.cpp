// Write-backs and their reverts against real embedded Firebird databases,
// connected as the program connects (settings store and configuration
// files), and the program itself run as a child process without a display:
// its --revert, its --journals, and a kill in the middle of a write-back.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <memory>

#include "DataLinkStore.h"
#include "DirectClient.h"
#include "Errors.h"
#include "PriceRevert.h"
#include "PriceWriteBack.h"
#include "StatementService.h"
#include "TDataLinkConnection.h"
#include "TestDatabase.h"

namespace batch {
namespace {

using rt::FieldValue;
using tarvell::test::DirectClient;
using tarvell::test::TestDatabase;

const FieldValue null;

struct ProgramRun {
    int exitCode = -1;
    QString output;
    QString errors;
};

QProcess* startProgram(QProcess& process, const QStringList& arguments) {
    // No display: the commands must run on a machine without one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) environment.remove(name);
    process.setProcessEnvironment(environment);
    process.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Tarvell")), arguments);
    EXPECT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
    return &process;
}

ProgramRun runProgram(const QStringList& arguments) {
    QProcess process;
    startProgram(process, arguments);
    EXPECT_TRUE(process.waitForFinished(300000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// The journals the program itself writes, under the tests' own data folder.
QString programJournals() {
    return QDir(qEnvironmentVariable("XDG_DATA_HOME")).filePath(QStringLiteral("Tarvell/journals"));
}

class PriceRevertTest : public testing::Test {
protected:
    void SetUp() override {
        database.execute({
            "CREATE TABLE PRODUCT (PROD_ID VARCHAR(20) NOT NULL, PROD_NAME VARCHAR(50), "
            "SALE_PRICE NUMERIC(15,2), N_PRICE NUMERIC(15,2), P_PRICE NUMERIC(15,2), "
            "P_PRICE2 NUMERIC(15,2), PSALE_PRICE NUMERIC(15,2), VIP_PRICE NUMERIC(15,2))",
        });
        database.writeConfiguration(configuration.path().toStdString());
        testsupport::DataLinkStore::pointAt(configuration.path());
        QDir(programJournals()).removeRecursively();
        settings = {true, journals.path()};
    }
    void TearDown() override { disconnect(); }

    void addProduct(const std::string& id, const std::string& prices) {
        database.execute("INSERT INTO PRODUCT VALUES ('" + id + "', 'Name of " + id + "', " + prices + ")");
    }
    // The batch's products: whole, empty, fractional prices, and a number
    // whose Big5 bytes do not come back from Unicode as they were.
    void addBatchProducts() {
        addProduct("P1", "100, 110, 120, 130, 140, 150");
        addProduct("P2", "NULL, NULL, NULL, NULL, NULL, NULL");
        addProduct("P3", "12.34, 0.5, 0, -3, 99999.99, 1");
        addProduct(kOddId, "7, 8, 9, 10, 11, 12");
    }

    db::TStatementService& statement() {
        if (!connection) {
            connection = std::make_unique<db::TDataLinkConnection>("SQLConnection1");
            connection->applyStoredProperties();
            query = std::make_unique<db::TStatementService>(*connection);
        }
        return *query;
    }
    // One process at a time opens an embedded database.
    void disconnect() {
        query.reset();
        connection.reset();
    }

    QString writeBack(const std::vector<PriceRow>& rows) {
        TListedPriceRows source(rows);
        TPriceWriteBack writeBack(statement(), settings);
        EXPECT_TRUE(writeBack.run(source, {}));
        return writeBack.journalPath();
    }
    std::vector<PriceRow> batchRows() {
        return {
            {"P1", "Tea", {115.0, 121.0, 132.0, 143.0, 154.0, 165.0}},
            {"P2", "Milk", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0}},
            {"P3", "Soda", {13.0, 1.0, 1.0, 1.0, 110000.0, 2.0}},
            {kOddId, "Odd", {8.0, 9.0, 10.0, 11.0, 12.0, 13.0}},
            {"NOPE", "Not in PRODUCT", {1.0, 1.0, 1.0, 1.0, 1.0, 1.0}},
            {"P1", "Tea again", {230.0, 231.0, 232.0, 233.0, 234.0, 235.0}},
        };
    }

    RevertReport revert(const QString& journal, bool force = false) {
        return TPriceRevert(statement(), {force, settings, {}}).run(readJournal(journal));
    }

    std::vector<FieldValue> pricesOf(const std::string& id) {
        DirectClient client(database.path());
        const auto rows = client.select(
            "SELECT SALE_PRICE, N_PRICE, P_PRICE, P_PRICE2, PSALE_PRICE, VIP_PRICE FROM PRODUCT WHERE PROD_ID = '" +
            id + "'");
        return rows.empty() ? std::vector<FieldValue>{} : rows.front();
    }
    std::map<std::string, std::vector<FieldValue>> allPrices() {
        std::map<std::string, std::vector<FieldValue>> prices;
        for (const std::string& id : {std::string("P1"), std::string("P2"), std::string("P3"), kOddId}) prices[id] = pricesOf(id);
        return prices;
    }

    const std::string kOddId = "K\xA2\xCC";
    TestDatabase database;
    QTemporaryDir configuration;
    QTemporaryDir journals;
    JournalSettings settings;
    std::unique_ptr<db::TDataLinkConnection> connection;
    std::unique_ptr<db::TStatementService> query;
};

TEST_F(PriceRevertTest, RevertGivesBackExactlyThePricesTheWriteBackReplaced) {
    addBatchProducts();
    const auto before = allPrices();
    const QString journal = writeBack(batchRows());
    EXPECT_EQ(pricesOf("P1"), (std::vector<FieldValue>{230.0, 231.0, 232.0, 233.0, 234.0, 235.0}));
    EXPECT_EQ(pricesOf(kOddId)[0], FieldValue(8.0));

    const RevertReport report = revert(journal);
    EXPECT_EQ(allPrices(), before);
    EXPECT_EQ(report.rows, 6u);
    // P1's first row finds P1's old prices once its second row is reverted;
    // NOPE was never written.
    EXPECT_EQ(report.reverted, 4u);
    EXPECT_EQ(report.unchanged, 2u);
    EXPECT_TRUE(report.complete());
    // The revert's own journal, newest first beside the batch's.
    EXPECT_EQ(journalFiles(journals.path()), (QStringList{report.journalPath, journal}));
    const Journal own = readJournal(report.journalPath);
    EXPECT_EQ(own.written, std::optional<std::size_t>(4));
    EXPECT_TRUE(own.header.source.startsWith(QStringLiteral("revert of ")));
}

TEST_F(PriceRevertTest, RevertingTheRevertRestoresTheBatchsPrices) {
    addBatchProducts();
    writeBack(batchRows());
    const auto batch = allPrices();
    const QString first = writeBack({});  // an empty batch still journals
    EXPECT_EQ(readJournal(first).written, std::optional<std::size_t>(0));
    const RevertReport undone = revert(journalFiles(journals.path()).last());
    ASSERT_NE(allPrices(), batch);
    const RevertReport redone = revert(undone.journalPath);
    EXPECT_EQ(allPrices(), batch);
    EXPECT_EQ(redone.reverted, undone.reverted);
    EXPECT_TRUE(redone.complete());
}

// The write-back stopped at its second row; someone has since given the
// third product the very prices the batch meant for it.
TEST_F(PriceRevertTest, RowsPastTheClosingCountAreLeftAlone) {
    addBatchProducts();
    QString journal;
    {
        TJournalWriter writer(journals.path(), {QString::fromStdString(database.path()),
                                                QDateTime::currentDateTimeUtc(), QStringLiteral("clerk"),
                                                QStringLiteral("write-back")});
        writer.addEntry({"P1", "Tea", Prices{100.0, 110.0, 120.0, 130.0, 140.0, 150.0},
                         Prices{1.0, 1.0, 1.0, 1.0, 1.0, 1.0}});
        writer.addEntry({"P2", "Milk", Prices{null, null, null, null, null, null}, Prices{null, 2.0, 2.0, 2.0, 2.0, 2.0}});
        writer.addEntry({"P3", "Soda", Prices{12.34, 0.5, 0.0, -3.0, 99999.99, 1.0}, Prices{3.0, 3.0, 3.0, 3.0, 3.0, 3.0}});
        writer.close(1);
        journal = writer.path();
    }
    database.execute({"UPDATE PRODUCT SET SALE_PRICE = 1, N_PRICE = 1, P_PRICE = 1, P_PRICE2 = 1, PSALE_PRICE = 1, "
                      "VIP_PRICE = 1 WHERE PROD_ID = 'P1'",
                      "UPDATE PRODUCT SET SALE_PRICE = 3, N_PRICE = 3, P_PRICE = 3, P_PRICE2 = 3, PSALE_PRICE = 3, "
                      "VIP_PRICE = 3 WHERE PROD_ID = 'P3'"});
    const RevertReport report = revert(journal);
    EXPECT_EQ(report.reverted, 1u);
    EXPECT_EQ(report.unchanged, 2u);
    EXPECT_EQ(pricesOf("P1"), (std::vector<FieldValue>{100.0, 110.0, 120.0, 130.0, 140.0, 150.0}));
    EXPECT_EQ(pricesOf("P3"), (std::vector<FieldValue>{3.0, 3.0, 3.0, 3.0, 3.0, 3.0}));
}

TEST_F(PriceRevertTest, JournalOfAnotherDatabaseIsRefusedUnlessForced) {
    addBatchProducts();
    const QString journal = writeBack(batchRows());
    const auto batch = allPrices();
    // The same journal as if it had been written against another database.
    QFile file(journal);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    text.replace(QByteArray("database,") + QByteArray::fromStdString(database.path()),
                 "database,otherhost:/srv/POSDATA.FDB");
    const QString other = QDir(configuration.path()).filePath(QStringLiteral("other.csv"));
    QFile copy(other);
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write(text);
    copy.close();

    try {
        revert(other);
        FAIL() << "reverted a journal of another database";
    } catch (const rt::AppError& error) {
        EXPECT_NE(std::string(error.what()).find("otherhost:/srv/POSDATA.FDB"), std::string::npos) << error.what();
    }
    EXPECT_EQ(allPrices(), batch);
    EXPECT_EQ(revert(other, true).reverted, 4u);
    EXPECT_NE(allPrices(), batch);
}

// Through the program: rows changed since the write-back are skipped and
// listed, the exit status says not everything was reverted, --force puts
// them back too.
TEST_F(PriceRevertTest, ProgramSkipsAndListsRowsChangedSinceAndForceRevertsThem) {
    addBatchProducts();
    const auto before = allPrices();
    const QString journal = writeBack(batchRows());
    disconnect();
    database.execute("UPDATE PRODUCT SET SALE_PRICE = 999 WHERE PROD_ID = 'P3'");

    const ProgramRun skipping = runProgram({QStringLiteral("--revert"), journal});
    EXPECT_EQ(skipping.exitCode, 1) << skipping.errors.toStdString();
    EXPECT_TRUE(skipping.output.contains(QStringLiteral("skipped P3 Soda: changed since; now 999 1 1 1 110000 2")))
        << skipping.output.toStdString();
    EXPECT_TRUE(skipping.output.contains(
        QStringLiteral("6 rows in the journal: 3 reverted, 2 needed nothing, 1 skipped, 0 missing")))
        << skipping.output.toStdString();
    EXPECT_EQ(pricesOf("P3")[0], FieldValue(999.0));
    EXPECT_EQ(pricesOf("P1"), before.at("P1"));

    const ProgramRun forcing = runProgram({QStringLiteral("--revert"), journal, QStringLiteral("--force")});
    EXPECT_EQ(forcing.exitCode, 0) << forcing.output.toStdString() << forcing.errors.toStdString();
    EXPECT_TRUE(forcing.output.contains(QStringLiteral("forced P3 Soda"))) << forcing.output.toStdString();
    EXPECT_EQ(allPrices(), before);

    // Each revert journaled what it wrote: the first three rows, then P3.
    const ProgramRun listing = runProgram({QStringLiteral("--journals")});
    EXPECT_EQ(listing.exitCode, 0);
    const QStringList lines = listing.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << listing.output.toStdString();
    EXPECT_TRUE(lines[1].contains(QRegularExpression(QStringLiteral("\\s1\\s+1\\s"))))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QRegularExpression(QStringLiteral("\\s3\\s+3\\s"))))
        << lines[2].toStdString();
}

TEST(ProgramCommandLine, AnswersWithoutADisplayAndRefusesWhatItCannotDo) {
    const struct {
        QStringList arguments;
        int exitCode;
        const char* output;
    } cases[] = {
        {{QStringLiteral("--version")}, 0, "Tarvell " TARVELL_VERSION "\n"},
        {{QStringLiteral("--help")}, 0, "  --revert <FILE>"},
        {{QStringLiteral("--force")}, 2, "--force goes with --revert"},
        {{QStringLiteral("--revert")}, 2, "Missing value after '--revert'."},
        {{QStringLiteral("--journals"), QStringLiteral("--revert"), QStringLiteral("x.csv")}, 2, "cannot go together"},
        {{QStringLiteral("--revert"), QStringLiteral("/nonexistent/x.csv")}, 1, "Cannot read the journal"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = runProgram(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE((run.output + run.errors).contains(QString::fromUtf8(c.output)))
            << c.arguments.join(' ').toStdString() << ": " << (run.output + run.errors).toStdString();
    }
}

// The program killed while it writes: the journal it made before its first
// UPDATE lists every row, and reverting it puts back exactly the rows that
// had reached the database. The program's write-back here is a revert: it
// runs the window's loop and journal without needing a display.
TEST_F(PriceRevertTest, KillInTheMiddleOfAWriteBackThenRevertPutsBackExactlyTheRowsWritten) {
    constexpr int kRows = 3000;
    constexpr double kShift = 100000;
    database.execute("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(kRows) +
                     ") DO BEGIN INSERT INTO PRODUCT VALUES ('K' || LPAD(:I, 6, '0'), 'Item', :I + 1, :I + 2, "
                     ":I + 3, :I + 4, :I + 5, NULL); I = I + 1; END END");
    // A journal whose revert writes every price up by kShift.
    QString batch;
    {
        TJournalWriter writer(journals.path(), {QString::fromStdString(database.path()),
                                                QDateTime::currentDateTimeUtc(), QStringLiteral("clerk"),
                                                QStringLiteral("write-back")});
        for (int i = 0; i < kRows; ++i) {
            char id[8];
            std::snprintf(id, sizeof id, "K%06d", i);
            Prices now = {i + 1.0, i + 2.0, i + 3.0, i + 4.0, i + 5.0, null};
            Prices shifted = {i + 1 + kShift, i + 2 + kShift, i + 3 + kShift, i + 4 + kShift, i + 5 + kShift, kShift};
            writer.addEntry({id, "Item", shifted, now});
        }
        writer.close(kRows);
        batch = writer.path();
    }

    QProcess program;
    startProgram(program, {QStringLiteral("--revert"), batch});
    QByteArray progress;
    while (!progress.contains("1000 of") && program.waitForReadyRead(120000)) progress += program.readAllStandardOutput();
    ASSERT_TRUE(progress.contains("1000 of")) << progress.toStdString() << program.readAllStandardError().toStdString();
    program.kill();
    program.waitForFinished();

    const QStringList written = journalFiles(programJournals());
    ASSERT_EQ(written.size(), 1);
    const Journal killed = readJournal(written[0]);
    EXPECT_EQ(killed.entries.size(), std::size_t(kRows));
    EXPECT_FALSE(killed.written.has_value());
    const auto shiftedRows = [&] {
        DirectClient client(database.path());
        return int(client.select("SELECT COUNT(*) FROM PRODUCT WHERE SALE_PRICE > " + std::to_string(kShift))
                       .front()[0]
                       .toDouble());
    };
    const int reachedDatabase = shiftedRows();
    EXPECT_GE(reachedDatabase, 1000);
    EXPECT_LT(reachedDatabase, kRows) << "the kill came too late to stop the write-back";

    const ProgramRun reverting = runProgram({QStringLiteral("--revert"), written[0]});
    EXPECT_EQ(reverting.exitCode, 0) << reverting.errors.toStdString();
    EXPECT_TRUE(reverting.output.contains(QStringLiteral("%1 rows in the journal: %2 reverted, %3 needed nothing")
                                              .arg(kRows)
                                              .arg(reachedDatabase)
                                              .arg(kRows - reachedDatabase)))
        << reverting.output.toStdString();
    DirectClient client(database.path());
    EXPECT_EQ(client
                  .select("SELECT COUNT(*) FROM PRODUCT WHERE SALE_PRICE = CAST(SUBSTRING(PROD_ID FROM 2) AS INTEGER) + 1 "
                          "AND N_PRICE = SALE_PRICE + 1 AND P_PRICE = SALE_PRICE + 2 AND P_PRICE2 = SALE_PRICE + 3 "
                          "AND PSALE_PRICE = SALE_PRICE + 4 AND VIP_PRICE IS NULL")
                  .front()[0]
                  .toDouble(),
              double(kRows));
}

// Ctrl+C during a revert stops it after the row in flight: the summary and
// the revert's own journal say how many rows were put back, and exactly
// those were.
TEST_F(PriceRevertTest, InterruptStopsAfterTheRowInFlightWithSummaryAndClosedJournal) {
    constexpr int kRows = 3000;
    database.execute("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(kRows) +
                     ") DO BEGIN INSERT INTO PRODUCT VALUES ('K' || LPAD(:I, 6, '0'), 'Item', 2, 2, 2, 2, 2, 2); "
                     "I = I + 1; END END");
    QString batch;
    {
        TJournalWriter writer(journals.path(), {QString::fromStdString(database.path()),
                                                QDateTime::currentDateTimeUtc(), QStringLiteral("clerk"),
                                                QStringLiteral("write-back")});
        for (int i = 0; i < kRows; ++i) {
            char id[8];
            std::snprintf(id, sizeof id, "K%06d", i);
            writer.addEntry({id, "Item", Prices{1.0, 1.0, 1.0, 1.0, 1.0, 1.0}, Prices{2.0, 2.0, 2.0, 2.0, 2.0, 2.0}});
        }
        writer.close(kRows);
        batch = writer.path();
    }

    QProcess program;
    startProgram(program, {QStringLiteral("--revert"), batch});
    QByteArray output;
    while (!output.contains("1000 of") && program.waitForReadyRead(120000)) output += program.readAllStandardOutput();
    ASSERT_TRUE(output.contains("1000 of")) << output.toStdString() << program.readAllStandardError().toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGINT), 0);
    ASSERT_TRUE(program.waitForFinished(10000));
    output += program.readAllStandardOutput();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 128 + SIGINT) << program.readAllStandardError().toStdString();

    DirectClient client(database.path());
    const int reverted =
        int(client.select("SELECT COUNT(*) FROM PRODUCT WHERE SALE_PRICE = 1").front()[0].toDouble());
    EXPECT_GE(reverted, 1000);
    EXPECT_LT(reverted, kRows) << "the signal came too late to stop the revert";
    const QString text = QString::fromUtf8(output);
    EXPECT_TRUE(text.contains(QStringLiteral("%1 rows in the journal: %2 reverted").arg(kRows).arg(reverted)))
        << output.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Stopped by SIGINT after %1 rows reverted").arg(reverted)))
        << output.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("journal of this revert: "))) << output.toStdString();
    const QStringList own = journalFiles(programJournals());
    ASSERT_EQ(own.size(), 1);
    EXPECT_EQ(readJournal(own[0]).written, std::optional<std::size_t>(reverted));
}

}  // namespace
}  // namespace batch
