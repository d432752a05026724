// The two ways a write-back commits, against real Firebird databases: row by
// row (the default), where a failure keeps the rows before it, and all in
// one transaction, where a failure, a killed program or a lost server keeps
// nothing. Also the journal's batch read of the current prices, which must
// give what reading product by product gives.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <memory>

#include "StoredConnection.h"
#include "Big5Text.h"
#include "DataLinkStore.h"
#include "DirectClient.h"
#include "Errors.h"
#include "LocalServer.h"
#include "PriceRevert.h"
#include "PriceWriteBack.h"
#include "RowsInDoubt.h"
#include "WriteBackReport.h"
#include "CurrentPriceReader.h"
#include "StatementService.h"
#include "TDataLinkConnection.h"
#include "PointOfSaleSchema.h"
#include "TestDatabase.h"

namespace batch {
namespace {

using namespace std::chrono_literals;
using rt::FieldValue;
using testsupport::DirectClient;
using testsupport::TestDatabase;

constexpr int kProducts = 5;

std::string nothingWritten() { return big5::fromUtf8("回存失敗，整批已復原，沒有寫入任何價格。"); }

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string productId(int row) { return "P" + std::to_string(row); }
// Row i's old prices are i*10+tier; the new ones 1000+100*i+tier.
double oldSalePrice(int row) { return row * 10 + 1; }
double newSalePrice(int row) { return 1000 + 100 * row + 1; }

class WriteBackModeTest : public testing::Test {
protected:
    void SetUp() override {
        database.execute(testsupport::pointOfSaleTables());
        for (int row = 0; row < kProducts; ++row) {
            std::string prices;
            for (int tier = 1; tier <= product::kTierCount; ++tier)
                prices += (tier > 1 ? ", " : "") + std::to_string(row * 10 + tier);
            addProduct(productId(row), prices);
        }
        useConfiguration({});
        journal = {true, journals.path()};
    }
    void TearDown() override {
        disconnect();
        settings::WriteBackSettings::setOneTransaction(false);
    }

    void useConfiguration(const testsupport::ConfigurationFiles& files) {
        database.writeConfiguration(configuration.path().toStdString(), files);
        testsupport::DataLinkStore::pointAt(configuration.path());
    }
    void addProduct(const std::string& id, const std::string& prices) {
        database.execute("INSERT INTO PRODUCT (PROD_ID, PROD_NAME, " + testsupport::kPriceColumns + ") VALUES ('" + id +
                         "', 'Name of " + id + "', " + prices + ")");
    }
    db::TStatementService& statement() { return stored.statement(); }
    void disconnect() { stored.disconnect(); }

    static std::vector<PriceRow> batchRows() {
        std::vector<PriceRow> rows;
        for (int row = 0; row < kProducts; ++row) {
            product::TierPrices prices;
            for (int tier = 1; tier <= product::kTierCount; ++tier)
                prices.setPrice(tier, newSalePrice(row) + tier - 1);
            rows.push_back({productId(row), "Item", prices});
        }
        return rows;
    }

    // Each product's SALE_PRICE, as another connection sees it now.
    std::vector<double> salePrices(const std::string& databaseName = {}, const std::string& password = {}) {
        DirectClient client(databaseName.empty() ? database.path() : databaseName, "SYSDBA", password);
        std::vector<double> prices;
        for (const auto& row : client.select("SELECT SALE_PRICE FROM PRODUCT ORDER BY PROD_ID"))
            prices.push_back(row[0].toDouble());
        return prices;
    }
    static std::vector<double> pricesKeeping(int rowsWritten) {
        std::vector<double> prices;
        for (int row = 0; row < kProducts; ++row)
            prices.push_back(row < rowsWritten ? newSalePrice(row) : oldSalePrice(row));
        return prices;
    }

    TestDatabase database;
    QTemporaryDir configuration;
    QTemporaryDir journals;
    journal::JournalSettings journal;
    testsupport::StoredConnection stored;
};

struct FailureCase {
    const char* name;
    bool oneTransaction;
    int failingRow;
    int rowsKept;
};

void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.name; }

class WriteBackFailureTest : public WriteBackModeTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(WriteBackFailureTest, KeepsTheRowsBeforeTheFailureOnlyRowByRow) {
    const FailureCase& failure = GetParam();
    database.execute("ALTER TABLE PRODUCT ADD CONSTRAINT SANE_PRICE CHECK (SALE_PRICE <> " +
                     std::to_string(static_cast<int>(newSalePrice(failure.failingRow))) + ")");
    TListedPriceRows rows(batchRows());
    TPriceWriteBack writeBack(statement(), journal, {failure.oneTransaction});
    try {
        writeBack.run(rows, {});
        FAIL() << "the write-back went past the row the database refuses";
    } catch (const rt::DatabaseError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("DataLink Error: [0x0065]: SQL Error\r\nSQL Server Error: ", 0), 0u) << message;
        EXPECT_NE(message.find("SANE_PRICE"), std::string::npos) << message;
        EXPECT_EQ(endsWith(message, "\r\n" + nothingWritten()), failure.oneTransaction) << message;
        EXPECT_EQ(error.driverFailure().status, dl::status::SqlError);
        EXPECT_NE(error.driverFailure().serverCode, 0);
    }
    EXPECT_EQ(writeBack.written(), std::size_t(failure.rowsKept));
    const journal::Journal closed = journal::readJournal(writeBack.journalPath());
    EXPECT_EQ(closed.entries.size(), std::size_t(kProducts));
    EXPECT_EQ(closed.written, std::optional<std::size_t>(failure.rowsKept));
    disconnect();
    EXPECT_EQ(salePrices(), pricesKeeping(failure.rowsKept));
}

INSTANTIATE_TEST_SUITE_P(
    RowByRowAndOneTransaction, WriteBackFailureTest,
    testing::Values(FailureCase{"RowByRowAtTheFirstRow", false, 0, 0},
                    FailureCase{"RowByRowInTheMiddle", false, 2, 2},
                    FailureCase{"RowByRowAtTheLastRow", false, kProducts - 1, kProducts - 1},
                    FailureCase{"OneTransactionAtTheFirstRow", true, 0, 0},
                    FailureCase{"OneTransactionInTheMiddle", true, 2, 0},
                    FailureCase{"OneTransactionAtTheLastRow", true, kProducts - 1, 0}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

struct VisibilityCase {
    const char* name;
    bool oneTransaction;
    int seenAfterThreeRows;
};

void PrintTo(const VisibilityCase& visibility, std::ostream* out) { *out << visibility.name; }

class WriteBackVisibilityTest : public WriteBackModeTest, public testing::WithParamInterface<VisibilityCase> {};

// Another connection, looking while the write-back is under way, sees the
// rows committed so far: every one row by row, none in one transaction.
TEST_P(WriteBackVisibilityTest, OtherConnectionsSeeOnlyWhatIsCommitted) {
    TListedPriceRows rows(batchRows());
    TPriceWriteBack writeBack(statement(), journal, {GetParam().oneTransaction});
    std::vector<double> seenMidway;
    WriteBackSteps steps;
    steps.progress = [&](std::size_t written, std::size_t total) {
        EXPECT_EQ(total, std::size_t(kProducts));
        if (written == 3) seenMidway = salePrices();
    };
    ASSERT_TRUE(writeBack.run(rows, steps));
    EXPECT_EQ(seenMidway, pricesKeeping(GetParam().seenAfterThreeRows));
    EXPECT_EQ(writeBack.written(), std::size_t(kProducts));
    EXPECT_EQ(journal::readJournal(writeBack.journalPath()).written, std::optional<std::size_t>(kProducts));
    disconnect();
    EXPECT_EQ(salePrices(), pricesKeeping(kProducts));
}

INSTANTIATE_TEST_SUITE_P(RowByRowAndOneTransaction, WriteBackVisibilityTest,
                         testing::Values(VisibilityCase{"RowByRow", false, 3},
                                         VisibilityCase{"OneTransaction", true, 0}),
                         [](const testing::TestParamInfo<VisibilityCase>& info) {
                             return std::string(info.param.name);
                         });

// Rows priced by the batch, as another connection sees them: old prices
// are below 1000, the batch's from 1000 up.
int pricedByTheBatch(const std::string& databaseName, const std::string& password = {}) {
    DirectClient client(databaseName, "SYSDBA", password);
    return static_cast<int>(client.select("SELECT COUNT(*) FROM PRODUCT WHERE SALE_PRICE >= 1000").front()[0].toDouble());
}

// The box the window shows after a Cancel, from what the write-back says
// the database holds.
std::string cancelledBox(const TPriceWriteBack& writeBack, std::size_t total) {
    return cancelledMessage({writeBack.written(), total, std::nullopt, false, writeBack.oneTransaction(),
                             writeBack.inDoubt().has_value()});
}

struct StopCase {
    const char* name;
    bool oneTransaction;
    bool revert;  // the stop comes during a revert of the whole batch
    int kept;     // rows the stop leaves written (reverted)
};

void PrintTo(const StopCase& stop, std::ostream* out) { *out << stop.name; }

class StopBetweenRowsTest : public WriteBackModeTest, public testing::WithParamInterface<StopCase> {
protected:
    static constexpr int kRows = 20;
    void SetUp() override {
        WriteBackModeTest::SetUp();
        for (int row = kProducts; row < kRows; ++row)
            addProduct(productId(row), std::to_string(row * 10 + 1) + ", 2, 3, 4, 5, 6");
    }
    static std::vector<PriceRow> twentyRows() {
        std::vector<PriceRow> rows;
        for (int row = 0; row < kRows; ++row) {
            product::TierPrices prices;
            for (int tier = 1; tier <= product::kTierCount; ++tier) prices.setPrice(tier, newSalePrice(row) + tier - 1);
            rows.push_back({productId(row), "Item", prices});
        }
        return rows;
    }
};

// The stop is asked for once the second row has answered: row by row the
// two rows stay, in one transaction nothing does, and nothing of the
// batch's open transaction is visible meanwhile or after.
TEST_P(StopBetweenRowsTest, OneTransactionKeepsNothingAndTheJournalAndTheBoxSaySo) {
    const StopCase& stop = GetParam();
    if (stop.revert) {
        TListedPriceRows all(twentyRows());
        ASSERT_TRUE(TPriceWriteBack(statement(), journal, {false}).run(all, {}));
        ASSERT_EQ(pricedByTheBatch(database.path()), kRows);
    }
    std::size_t done = 0;
    int seenAfterTwo = -1;
    const auto progress = [&](std::size_t count, std::size_t total) {
        EXPECT_EQ(total, std::size_t(kRows));
        done = count;
        if (count == 2) seenAfterTwo = pricedByTheBatch(database.path());
    };
    const auto stopRequested = [&] { return done >= 2; };
    std::size_t kept = 0;
    QString journalPath;
    if (stop.revert) {
        journal::Journal written = journal::readJournal(journal::journalFiles(journals.path()).front());
        RevertOptions options{false, journal, progress, {stop.oneTransaction}, stopRequested};
        const RevertReport report = TPriceRevert(statement(), options).run(written);
        EXPECT_TRUE(report.stopped);
        kept = report.reverted;
        journalPath = report.journalPath;
        // Reverted rows no longer hold the batch's prices.
        disconnect();
        EXPECT_EQ(pricedByTheBatch(database.path()), kRows - stop.kept);
        EXPECT_EQ(seenAfterTwo, stop.oneTransaction ? kRows : kRows - 2);
    } else {
        TListedPriceRows rows(twentyRows());
        TPriceWriteBack writeBack(statement(), journal, {stop.oneTransaction});
        WriteBackSteps steps;
        steps.progress = progress;
        steps.stopRequested = stopRequested;
        ASSERT_TRUE(writeBack.run(rows, steps));
        EXPECT_TRUE(writeBack.stopped());
        EXPECT_EQ(writeBack.sent(), 2u);
        kept = writeBack.written();
        journalPath = writeBack.journalPath();
        const std::string box = cancelledBox(writeBack, kRows);
        EXPECT_EQ(box, big5::fromUtf8(stop.oneTransaction ? "回存已取消：整批已復原，沒有寫入任何價格"
                                                          : "回存已取消：已回存 2 筆 (共 20 筆)，之後的商品都未回存"))
            << big5::toUnicode(box).toStdString();
        disconnect();
        EXPECT_EQ(pricedByTheBatch(database.path()), stop.kept);
        EXPECT_EQ(seenAfterTwo, stop.oneTransaction ? 0 : 2);
    }
    EXPECT_EQ(kept, std::size_t(stop.kept));
    EXPECT_EQ(journal::readJournal(journalPath).written, std::optional<std::size_t>(stop.kept));
}

INSTANTIATE_TEST_SUITE_P(RowByRowAndOneTransaction, StopBetweenRowsTest,
                         testing::Values(StopCase{"RowByRow", false, false, 2},
                                         StopCase{"OneTransaction", true, false, 0},
                                         StopCase{"RevertRowByRow", false, true, 2},
                                         StopCase{"RevertInOneTransaction", true, true, 0}),
                         [](const testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// A one-transaction batch with a product named twice and one PRODUCT does
// not have, then its revert, also in one transaction: every price is back.
TEST_F(WriteBackModeTest, RevertOfAOneTransactionJournalPutsBackEveryRow) {
    std::vector<PriceRow> rows = batchRows();
    rows.push_back({"NOPE", "Not in PRODUCT", rows[0].prices});
    rows.push_back({productId(1), "Again", rows[0].prices});
    TListedPriceRows source(rows);
    TPriceWriteBack writeBack(statement(), journal, {true});
    ASSERT_TRUE(writeBack.run(source, {}));
    const journal::Journal written = journal::readJournal(writeBack.journalPath());
    EXPECT_EQ(written.written, std::optional<std::size_t>(rows.size()));
    EXPECT_FALSE(written.entries[kProducts].oldPrices.has_value());
    // Every current price is read before the first UPDATE.
    EXPECT_EQ(written.entries[kProducts + 1].oldPrices, written.entries[1].oldPrices);

    RevertOptions options{false, journal, {}, {true}, {}};
    const RevertReport report = TPriceRevert(statement(), options).run(written);
    EXPECT_TRUE(report.complete());
    // The second P1 row is put back to what P1 held before the batch, so
    // its first row needs nothing.
    EXPECT_EQ(report.reverted, std::size_t(kProducts));
    EXPECT_EQ(report.unchanged, 2u);
    EXPECT_EQ(journal::readJournal(report.journalPath).written, std::optional<std::size_t>(kProducts));
    disconnect();
    EXPECT_EQ(salePrices(), pricesKeeping(0));
    DirectClient client(database.path());
    EXPECT_EQ(client.select("SELECT VIP_PRICE FROM PRODUCT WHERE PROD_ID = 'P1'").front()[0].toDouble(), 16.0);
}

// The journal's one read of the whole batch answers each product exactly as
// the lookup of that product alone, in the order asked: a product twice,
// products PRODUCT lacks, empty prices, a number with trailing blanks (equal
// in the database's comparison) and one whose Big5 bytes do not survive a
// round trip through Unicode.
TEST_F(WriteBackModeTest, BatchReadAnswersAsReadingEachProductAlone) {
    const std::string oddId = "K\xA2\xCC";
    addProduct(oddId, "7, 8, 9, 10, 11, 12");
    addProduct("EMPTY", "NULL, NULL, 0.5, NULL, -3, 99999.99");
    const std::vector<std::string> ids = {"P3", "P1", "NOPE", "P3", oddId, "EMPTY", "P2  ", "", "p1", "P4"};
    std::vector<std::optional<product::TierPrices>> oneByOne;
    {
        catalog::TCurrentPriceReader prices(statement().connection());
        for (const std::string& id : ids) oneByOne.push_back(prices.read(id));
    }
    ASSERT_TRUE(oneByOne[0].has_value());
    EXPECT_FALSE(oneByOne[2].has_value());
    EXPECT_TRUE(oneByOne[5].has_value() && oneByOne[5]->isNull(1));

    EXPECT_EQ(catalog::TCurrentPriceReader(statement().connection()).readAll(ids), oneByOne);
    EXPECT_FALSE(statement().connection().inTransaction());
    // Inside a transaction of the caller's it reads there and leaves it open.
    statement().connection().startTransaction();
    EXPECT_EQ(catalog::TCurrentPriceReader(statement().connection()).readAll(ids), oneByOne);
    EXPECT_TRUE(statement().connection().inTransaction());
    statement().connection().rollbackTransaction();
    EXPECT_TRUE(catalog::TCurrentPriceReader(statement().connection()).readAll({}).empty());

    // A batch of a thousand rows and more, read in the one transaction.
    std::vector<std::string> many;
    std::vector<std::optional<product::TierPrices>> expected;
    for (std::size_t i = 0; i < 1007; ++i) {
        many.push_back(ids[i % ids.size()]);
        expected.push_back(oneByOne[i % ids.size()]);
    }
    EXPECT_EQ(catalog::TCurrentPriceReader(statement().connection()).readAll(many), expected);
}

// The batch read asks the server for catalog::TCurrentPriceReader::kBatchReadChunk
// numbers at a time and matches the rows that come back to the numbers
// asked. At the chunk edges, with numbers the server's comparison pads with
// blanks (in the batch or in PRODUCT) and with products named again in a
// later chunk, it still answers as the lookup of each product alone.
TEST_F(WriteBackModeTest, BatchReadAnswersAsReadingEachProductAloneAtTheChunkEdges) {
    const std::size_t chunk = catalog::TCurrentPriceReader::kBatchReadChunk;
    std::vector<std::string> inserts;
    for (std::size_t i = 0; i < 2 * chunk + 3; ++i)
        inserts.push_back("INSERT INTO PRODUCT (PROD_ID, " + testsupport::kPriceColumns + ") VALUES ('C" +
                          std::to_string(i) + "', " + std::to_string(i) + ", NULL, 3, 4, 5, " + std::to_string(i) + ".25)");
    database.execute(inserts);
    addProduct("BLANKS  ", "1, 2, 3, 4, 5, 6");  // kept with its blanks
    addProduct(" LEAD", "7, 8, 9, 10, 11, 12");
    addProduct("K\xA2\xCC", "13, 14, 15, 16, 17, 18");

    const auto numbered = [](std::size_t from, std::size_t count) {
        std::vector<std::string> ids;
        for (std::size_t i = from; i < from + count; ++i) ids.push_back("C" + std::to_string(i));
        return ids;
    };
    const auto joined = [](std::vector<std::string> ids, const std::vector<std::string>& more) {
        ids.insert(ids.end(), more.begin(), more.end());
        return ids;
    };
    struct Case {
        const char* what;
        std::vector<std::string> ids;
    };
    const std::vector<Case> cases = {
        {"exactly one chunk", numbered(0, chunk)},
        {"one more than a chunk", numbered(0, chunk + 1)},
        {"one less than two chunks", numbered(1, 2 * chunk - 1)},
        {"products named again in the next chunk", joined(numbered(0, chunk), {"C3", "C0", "C20", "C3"})},
        {"a whole chunk PRODUCT lacks", joined(numbered(100, chunk), {"C1"})},
        {"blanks at the end on either side",
         {"BLANKS", "BLANKS  ", "BLANKS ", "BLANKS   ", "C1 ", "C1", "LEAD", " LEAD", " LEAD ", "C2"}},
        {"a number and its blank-padded twin in different chunks", joined(numbered(2, chunk), {"C2    ", "C2"})},
        {"Big5 bytes and letter case", {"K\xA2\xCC", "K\xA4\x51", "c1", "C1", "K\xA2\xCC "}},
        {"numbers longer than PRODUCT.PROD_ID holds", {std::string(40, 'L'), "C1", "C2", "C1" + std::string(40, ' ')}},
    };
    catalog::TCurrentPriceReader alone(statement().connection());
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        std::vector<std::optional<product::TierPrices>> expected;
        for (const std::string& id : test.ids) expected.push_back(alone.read(id));
        EXPECT_EQ(catalog::TCurrentPriceReader(statement().connection()).readAll(test.ids), expected);
    }
    // The padded twins and the Big5 number are found at all, so the
    // comparison above is not between two empty answers.
    EXPECT_TRUE(alone.read("BLANKS").has_value());
    EXPECT_TRUE(alone.read("C2    ").has_value());
    EXPECT_TRUE(alone.read("K\xA2\xCC").has_value());
    EXPECT_EQ(alone.read("C7")->price(6), 7.25);
}

// In a PRODUCT whose numbers are not kept unique, a number found twice (or
// once as itself and once with blanks at the end) is answered with the
// row the single lookup gives first, also when a chunk asks for it twice.
TEST_F(WriteBackModeTest, BatchReadAnswersANumberPRODUCTHoldsTwiceWithTheLookupsFirstRow) {
    disconnect();
    database.execute({"DROP TABLE PRODUCT",
                      "CREATE TABLE PRODUCT (PROD_ID VARCHAR(30) NOT NULL, PROD_NAME VARCHAR(80), STD_COST NUMERIC(15,2), "
                      "PD_ITEMID VARCHAR(10), SALE_PRICE NUMERIC(15,2), N_PRICE NUMERIC(15,2), P_PRICE NUMERIC(15,2), "
                      "P_PRICE2 NUMERIC(15,2), PSALE_PRICE NUMERIC(15,2), VIP_PRICE NUMERIC(15,2))"});
    addProduct("D1", "1, 1, 1, 1, 1, 1");
    addProduct("D1", "2, 2, 2, 2, 2, 2");
    addProduct("D2 ", "3, 3, 3, 3, 3, 3");
    addProduct("D2", "4, 4, 4, 4, 4, 4");
    addProduct("D3", "5, 5, 5, 5, 5, 5");
    const std::vector<std::string> ids = {"D1", "D2", "D3", "D2  ", "D1 ", "D9", "D1"};
    std::vector<std::optional<product::TierPrices>> expected;
    {
        catalog::TCurrentPriceReader alone(statement().connection());
        for (const std::string& id : ids) expected.push_back(alone.read(id));
    }
    EXPECT_EQ(catalog::TCurrentPriceReader(statement().connection()).readAll(ids), expected);
}

// A number the lookup refuses is refused by the batch read in the same
// words, wherever it stands in its chunk: one the driver cannot take (a
// zero byte would end it early), one far longer than PRODUCT.PROD_ID holds,
// and one too long to be asked with others at all.
TEST_F(WriteBackModeTest, BatchReadRefusesWhatTheLookupRefusesInItsWords) {
    for (const std::string& refused : {std::string("P\0" "1", 3), std::string(100, 'L'), std::string(5000, 'L')}) {
        SCOPED_TRACE(refused.size());
        std::string single, batch;
        try {
            catalog::TCurrentPriceReader(statement().connection()).read(refused);
        } catch (const rt::DatabaseError& error) {
            single = error.what();
        }
        try {
            catalog::TCurrentPriceReader(statement().connection()).readAll({"P1", "P2", refused, "P3"});
        } catch (const rt::DatabaseError& error) {
            batch = error.what();
        }
        EXPECT_FALSE(single.empty());
        EXPECT_EQ(batch, single);
        EXPECT_FALSE(statement().connection().inTransaction());
    }
}

// Through a server of the test's own that dies in the middle of a
// one-transaction write-back: the server never committed, so once it is
// back every row is as it was.
TEST_F(WriteBackModeTest, LostServerInOneTransactionLeavesEveryRowAsItWas) {
    const auto server = testsupport::OwnServer::startIfPossible();
    if (!server) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
    testsupport::ConfigurationFiles files;
    files.database = database.serverName(server->server().address());
    files.password = server->server().password;
    useConfiguration(files);

    TListedPriceRows rows(batchRows());
    TPriceWriteBack writeBack(statement(), journal, {true});
    WriteBackSteps steps;
    steps.progress = [&](std::size_t written, std::size_t) {
        if (written == 3) server->kill();
    };
    try {
        writeBack.run(rows, steps);
        FAIL() << "the write-back went on without its server";
    } catch (const rt::DatabaseError& error) {
        EXPECT_TRUE(error.driverFailure().connectionLost) << error.what();
        EXPECT_TRUE(endsWith(error.what(), "\r\n" + nothingWritten())) << error.what();
    }
    EXPECT_EQ(writeBack.written(), 0u);
    EXPECT_EQ(journal::readJournal(writeBack.journalPath()).written, std::optional<std::size_t>(0));
    EXPECT_FALSE(statement().connection().connected());
    server->start();
    EXPECT_EQ(salePrices(files.database, files.password), pricesKeeping(0));

    // The connection comes back with the server, and the batch is written whole.
    TListedPriceRows again(batchRows());
    ASSERT_TRUE(writeBack.run(again, {}));
    EXPECT_EQ(salePrices(files.database, files.password), pricesKeeping(kProducts));
}

struct DoubtCase {
    const char* name;
    bool oneTransaction;
};

void PrintTo(const DoubtCase& doubt, std::ostream* out) { *out << doubt.name; }

class CommitWithoutAnswerTest : public WriteBackModeTest, public testing::WithParamInterface<DoubtCase> {};

// The server freezes while a commit is on its way (the one transaction's,
// or the third row's, whose statement carries its own): the connection's
// answer timeout ends the wait, and whether the server made it durable is
// not known. Nothing is guessed: the rows stay in doubt while the server
// cannot be asked, and once it is back what PRODUCT holds is the count the
// journal and the box give.
TEST_P(CommitWithoutAnswerTest, JournalAndBoxAgreeWithTheDatabaseOnceItIsBack) {
    const bool oneTransaction = GetParam().oneTransaction;
    const auto server = testsupport::OwnServer::startIfPossible();
    if (!server) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
    testsupport::ConfigurationFiles files;
    files.database = database.serverName(server->server().address());
    files.password = server->server().password;
    useConfiguration(files);
    statement().connection().setAnswerTimeout(2s);

    TListedPriceRows rows(batchRows());
    TPriceWriteBack writeBack(statement(), journal, {oneTransaction});
    WriteBackSteps steps;
    bool paused = false;
    steps.phase = [&](WriteBackPhase phase) {
        if (oneTransaction && phase == WriteBackPhase::Committing) {
            server->pause();
            paused = true;
        }
    };
    steps.rowStarting = [&](const PriceRow& row) {
        if (!oneTransaction && row.productId == productId(2)) {
            server->pause();
            paused = true;
        }
    };
    std::string error;
    try {
        writeBack.run(rows, steps);
        FAIL() << "the commit was answered by a frozen server";
    } catch (const rt::DatabaseError& failure) {
        EXPECT_TRUE(failure.driverFailure().connectionLost) << failure.what();
        error = failure.what();
    }
    ASSERT_TRUE(paused);
    // Frozen, the server could not be asked at once.
    ASSERT_TRUE(writeBack.inDoubt().has_value());
    const RowsInDoubt doubt = *writeBack.inDoubt();
    EXPECT_FALSE(endsWith(error, nothingWritten())) << error;
    EXPECT_EQ(doubt.oneTransaction, oneTransaction);
    EXPECT_EQ(doubt.rows.size(), oneTransaction ? std::size_t(kProducts) : 1u);
    EXPECT_EQ(doubt.writtenBefore, oneTransaction ? 0u : 2u);
    EXPECT_EQ(writeBack.written(), oneTransaction ? 0u : 2u);
    const WriteBackEnd end{writeBack.written(), kProducts, rows.rows()[2], true, oneTransaction, true};
    const QString told = big5::toUnicode(stoppedByErrorMessage(error, end));
    EXPECT_TRUE(told.contains(QString::fromUtf8(oneTransaction ? "不知是否已寫入" : "不知是否已回存")))
        << told.toStdString();
    EXPECT_FALSE(told.contains(QString::fromUtf8("整批已復原"))) << told.toStdString();

    server->resume();
    const std::size_t written = settleRowsInDoubt(statement().connection(), doubt);
    disconnect();
    const int priced = pricedByTheBatch(files.database, files.password);
    EXPECT_EQ(written, std::size_t(priced));
    EXPECT_EQ(journal::readJournal(writeBack.journalPath()).written, std::optional<std::size_t>(priced));
    const QString found = big5::toUnicode(settledMessage(doubt, written));
    if (oneTransaction) {
        EXPECT_TRUE(priced == 0 || priced == kProducts) << priced;
        EXPECT_TRUE(found.endsWith(QString::fromUtf8(priced == 0 ? "整批已復原，沒有寫入任何價格" : "回存完成")))
            << found.toStdString();
    } else {
        EXPECT_TRUE(priced == 2 || priced == 3) << priced;
        EXPECT_TRUE(found.contains(QString::fromUtf8("已回存 %1 筆 (共 5 筆)").arg(priced))) << found.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(RowByRowAndOneTransaction, CommitWithoutAnswerTest,
                         testing::Values(DoubtCase{"RowByRow", false}, DoubtCase{"OneTransaction", true}),
                         [](const testing::TestParamInfo<DoubtCase>& info) { return std::string(info.param.name); });

// The rows in doubt found written (the server made the commit before it
// went): the journal's closing line is written over with them.
TEST_F(WriteBackModeTest, RowsInDoubtFoundWrittenGiveTheJournalTheirCount) {
    TListedPriceRows rows(batchRows());
    TPriceWriteBack writeBack(statement(), journal, {false});
    ASSERT_TRUE(writeBack.run(rows, {}));
    journal::rewriteClosingCount(writeBack.journalPath(), 1);
    ASSERT_EQ(journal::readJournal(writeBack.journalPath()).written, std::optional<std::size_t>(1));
    RowsInDoubt doubt{false, kProducts, 1, 1, {rows.rows()[1], rows.rows()[2]}, writeBack.journalPath(), {}};
    EXPECT_EQ(settleRowsInDoubt(statement().connection(), doubt), 3u);
    EXPECT_EQ(journal::readJournal(writeBack.journalPath()).written, std::optional<std::size_t>(3));
    // One commit for all: every product holds what the batch wrote.
    doubt = {true, kProducts, 0, 0, rows.rows(), writeBack.journalPath(), {}};
    EXPECT_EQ(settleRowsInDoubt(statement().connection(), doubt), std::size_t(kProducts));
    // A product that does not hold it: that commit was never made.
    doubt.rows[3].prices.setPrice(1, 5);
    EXPECT_EQ(settleRowsInDoubt(statement().connection(), doubt), 0u);
    EXPECT_EQ(journal::readJournal(writeBack.journalPath()).written, std::optional<std::size_t>(0));
}

}  // namespace
}  // namespace batch
