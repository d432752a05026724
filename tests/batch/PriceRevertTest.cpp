// Write-backs and their reverts against real embedded Firebird databases,
// connected as the program connects (settings store and configuration
// files); where a journal's fate shows in the program's listing or report,
// the program itself is run as a child process without a display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <functional>
#include <memory>

#include "Errors.h"
#include "HeadlessProgram.h"
#include "MessageOf.h"
#include "PriceRevertFixture.h"
#include "ProductStatements.h"

namespace batch {
namespace {

using rt::FieldValue;
using testsupport::DirectClient;
using testsupport::programJournals;
using testsupport::ProgramRun;

constexpr std::optional<double> null = std::nullopt;

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
    EXPECT_EQ(journal::journalFiles(journals.path()), (QStringList{report.journalPath, journal}));
    const journal::Journal own = journal::readJournal(report.journalPath);
    EXPECT_EQ(own.written, std::optional<std::size_t>(4));
    EXPECT_TRUE(own.header.source.startsWith(QStringLiteral("revert of ")));
}

TEST_F(PriceRevertTest, RevertingTheRevertRestoresTheBatchsPrices) {
    addBatchProducts();
    writeBack(batchRows());
    const auto batch = allPrices();
    const QString first = writeBack({});  // an empty batch still journals
    EXPECT_EQ(journal::readJournal(first).written, std::optional<std::size_t>(0));
    const RevertReport undone = revert(journal::journalFiles(journals.path()).last());
    ASSERT_NE(allPrices(), batch);
    const RevertReport redone = revert(undone.journalPath);
    EXPECT_EQ(allPrices(), batch);
    EXPECT_EQ(redone.reverted, undone.reverted);
    EXPECT_TRUE(redone.complete());
}

// The write-back stopped after its first row by its count, but the third
// row's commit reached the database and its answer was lost with the
// connection: every row is judged by its prices, whatever the count says.
TEST_F(PriceRevertTest, RowsPastTheClosingCountAreJudgedByTheirPricesToo) {
    addBatchProducts();
    QString journal;
    {
        journal::TJournalWriter writer(journals.path(), {QString::fromStdString(database.path()),
                                                QDateTime::currentDateTimeUtc(), QStringLiteral("clerk"),
                                                QStringLiteral("write-back")});
        writer.addEntry({"P1", "Tea", product::TierPrices{100.0, 110.0, 120.0, 130.0, 140.0, 150.0},
                         product::TierPrices{1.0, 1.0, 1.0, 1.0, 1.0, 1.0}});
        writer.addEntry({"P2", "Milk", product::TierPrices{null, null, null, null, null, null}, product::TierPrices{null, 2.0, 2.0, 2.0, 2.0, 2.0}});
        writer.addEntry({"P3", "Soda", product::TierPrices{12.34, 0.5, 0.0, -3.0, 99999.99, 1.0}, product::TierPrices{3.0, 3.0, 3.0, 3.0, 3.0, 3.0}});
        writer.close(1);
        journal = writer.path();
    }
    database.execute({"UPDATE PRODUCT SET SALE_PRICE = 1, N_PRICE = 1, P_PRICE = 1, P_PRICE2 = 1, PSALE_PRICE = 1, "
                      "VIP_PRICE = 1 WHERE PROD_ID = 'P1'",
                      "UPDATE PRODUCT SET SALE_PRICE = 3, N_PRICE = 3, P_PRICE = 3, P_PRICE2 = 3, PSALE_PRICE = 3, "
                      "VIP_PRICE = 3 WHERE PROD_ID = 'P3'"});
    const RevertReport report = revert(journal);
    EXPECT_EQ(report.reverted, 2u);
    EXPECT_EQ(report.unchanged, 1u);
    EXPECT_TRUE(report.complete());
    EXPECT_EQ(pricesOf("P1"), (std::vector<FieldValue>{100.0, 110.0, 120.0, 130.0, 140.0, 150.0}));
    EXPECT_EQ(pricesOf("P3"), (std::vector<FieldValue>{12.34, 0.5, 0.0, -3.0, 99999.99, 1.0}));
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

    EXPECT_THAT(testsupport::messageOf<rt::AppError>([&] { revert(other); }),
                testing::HasSubstr("otherhost:/srv/POSDATA.FDB"));
    EXPECT_EQ(allPrices(), batch);
    EXPECT_EQ(revert(other, true).reverted, 4u);
    EXPECT_NE(allPrices(), batch);
}

}  // namespace
}  // namespace batch

namespace batch {
namespace {

// A disk that holds `room` bytes of journal and then answers as a full one
// does: what fits is written, then ENOSPC. Rewriting in place needs no room,
// unless the disk is told to fail there as well.
class FillingDisk : public journal::JournalDisk {
public:
    explicit FillingDisk(off_t room, int rewriteError = 0) : room_(room), rewriteError_(rewriteError) {}
    ssize_t append(int file, const char* data, std::size_t size) override {
        if (used_ >= room_) {
            errno = ENOSPC;
            return -1;
        }
        const ssize_t wrote = ::write(file, data, std::min<std::size_t>(size, std::size_t(room_ - used_)));
        if (wrote > 0) used_ += wrote;
        return wrote;
    }
    ssize_t rewrite(int file, const char* data, std::size_t size, off_t at) override {
        if (rewriteError_) {
            errno = rewriteError_;
            return -1;
        }
        return ::pwrite(file, data, size, at);
    }

private:
    off_t room_, used_ = 0;
    int rewriteError_;
};

std::string messageOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no error";
}

class JournalRobustnessTest : public PriceRevertTest {
protected:
    QString handWritten(const std::vector<journal::JournalEntry>& entries, std::optional<std::size_t> written) {
        journal::TJournalWriter writer(settings.folder, {QString::fromStdString(database.path()), QDateTime::currentDateTimeUtc(),
                                                QStringLiteral("clerk"), QStringLiteral("write-back")});
        for (const journal::JournalEntry& entry : entries) writer.addEntry(entry);
        if (written) writer.close(*written); else writer.sync();
        return writer.path();
    }
    void setPrices(const std::string& id, const product::TierPrices& prices) {
        std::string sql = "UPDATE PRODUCT SET ";
        for (int tier = 1; tier <= product::kTierCount; ++tier) {
            const std::optional<double> price = prices.price(tier);
            sql += std::string(tier > 1 ? ", " : "") + catalog::kPriceParameters[std::size_t(tier - 1)] + " = " +
                   (price ? product::priceText(*price) : std::string("NULL"));
        }
        database.execute(sql + " WHERE PROD_ID = '" + id + "'");
    }
    std::vector<FieldValue> listOf(const product::TierPrices& prices) {
        std::vector<FieldValue> values;
        for (int tier = 1; tier <= product::kTierCount; ++tier) values.push_back(prices.value(tier));
        return values;
    }
    // UPDATEs that set SALE_PRICE to 666 fail in the server.
    void refuseSalePrice666() {
        database.execute({"CREATE EXCEPTION E_REFUSED 'price 666 refused'",
                          "CREATE TRIGGER PRODUCT_REFUSE FOR PRODUCT BEFORE UPDATE AS BEGIN "
                          "IF (NEW.SALE_PRICE = 666) THEN EXCEPTION E_REFUSED; END"});
    }
};

// Journals the landed program wrote (a complete one, and one stopped by a
// row the database refused) revert in the order they were made. They were
// made against another database file, hence --force, which must find
// nothing to force.
TEST_F(JournalRobustnessTest, JournalsOfTheLandedProgramStillRevert) {
    const QString landed = QStringLiteral(TARVELL_TEST_JOURNALS);
    const journal::Journal complete = journal::readJournal(landed + QStringLiteral("/landed-write-back.csv"));
    const journal::Journal stopped = journal::readJournal(landed + QStringLiteral("/landed-stopped-write-back.csv"));
    ASSERT_EQ(complete.written, std::optional<std::size_t>(10));
    ASSERT_EQ(stopped.written, std::optional<std::size_t>(2));
    // PRODUCT as the landed write-backs found it, then as they left it.
    std::map<std::string, product::TierPrices> original;
    for (const journal::JournalEntry& entry : complete.entries)
        if (entry.oldPrices && original.emplace(entry.productId, *entry.oldPrices).second)
            database.execute("INSERT INTO PRODUCT (PROD_ID, PROD_NAME) VALUES ('" + entry.productId + "', 'x')");
    for (const auto& [id, prices] : original) setPrices(id, prices);
    for (const journal::JournalEntry& entry : complete.entries)
        if (entry.oldPrices) setPrices(entry.productId, entry.newPrices);
    for (std::size_t row = 0; row < *stopped.written; ++row)
        setPrices(stopped.entries[row].productId, stopped.entries[row].newPrices);

    const RevertReport first = TPriceRevert(statement(), {true, settings, {}}).run(stopped);
    EXPECT_EQ(first.reverted, 2u);
    EXPECT_EQ(first.unchanged, 2u);
    const RevertReport second = TPriceRevert(statement(), {true, settings, {}}).run(complete);
    EXPECT_EQ(second.reverted, 8u);
    EXPECT_EQ(second.unchanged, 2u);
    for (const RevertReport* report : {&first, &second}) {
        EXPECT_TRUE(report->complete());
        EXPECT_TRUE(report->forced.empty());
    }
    for (const auto& [id, prices] : original) EXPECT_EQ(pricesOf(id), listOf(prices)) << id;
}

// A journal cut inside its closing line: every row is judged and put back,
// and --journals calls it unfinished.
TEST_F(JournalRobustnessTest, ATornJournalRevertsEveryRowAndIsListedUnfinished) {
    addBatchProducts();
    const auto before = allPrices();
    settings.folder = programJournals();
    const QString journal = writeBack(threeRows());
    QFile file(journal);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(file.size() - 6));  // "written,0000000003\n" to "written,00000"
    file.close();

    const RevertReport report = revert(journal);
    EXPECT_EQ(report.reverted, 3u);
    EXPECT_TRUE(report.complete());
    EXPECT_EQ(allPrices(), before);
    disconnect();
    // Other tests of this program may have made the folder with wider rights;
    // the note --journals gives then is not what is looked at here.
    ASSERT_TRUE(QFile::setPermissions(settings.folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           QFileDevice::ExeOwner));
    const ProgramRun listing = testsupport::runHeadless({QStringLiteral("--journals")});
    const QStringList lines = listing.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << listing.output.toStdString() << listing.errors.toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral(" unfinished "))) << lines[2].toStdString();
}

// A product written twice, the program killed between its rows or after:
// any state the batch could have left it in is put back.
TEST_F(JournalRobustnessTest, AProductWrittenTwiceIsJudgedAsAWhole) {
    addBatchProducts();
    const product::TierPrices original{100.0, 110.0, 120.0, 130.0, 140.0, 150.0}, firstRow{1.0, 1.0, 1.0, 1.0, 1.0, 1.0},
        secondRow{2.0, 2.0, 2.0, 2.0, 2.0, 2.0}, someoneElse{7.0, 7.0, 7.0, 7.0, 7.0, 7.0},
        soda{12.34, 0.5, 0.0, -3.0, 99999.99, 1.0}, sodaNew{3.0, 3.0, 3.0, 3.0, 3.0, 3.0};
    const struct {
        bool oldReadPerRow;  // journals that read each row's old prices just before its UPDATE
        product::TierPrices teaNow;
        std::size_t reverted, unchanged, skipped;
        product::TierPrices teaAfter;
        const char* fault;
    } cases[] = {
        {false, original, 1, 2, 0, original, "prices found before the batch written again"},
        {false, firstRow, 2, 1, 0, original, "killed between the rows: skipped as changed since"},
        {false, secondRow, 2, 1, 0, original, "both rows written: not put back"},
        {true, firstRow, 2, 1, 0, original, "killed between the rows of a per-row journal"},
        {true, secondRow, 2, 1, 0, original, "both rows of a per-row journal written"},
        {false, someoneElse, 1, 0, 2, someoneElse, "prices set by someone else overwritten"},
    };
    for (const auto& c : cases) {
        const QString journal = handWritten({{"P1", "Tea", original, firstRow},
                                             {"P3", "Soda", soda, sodaNew},
                                             {"P1", "Tea", c.oldReadPerRow ? firstRow : original, secondRow}},
                                            std::nullopt);
        setPrices("P1", c.teaNow);
        setPrices("P3", sodaNew);
        const RevertReport report = revert(journal);
        EXPECT_EQ(report.reverted, c.reverted) << c.fault;
        EXPECT_EQ(report.unchanged, c.unchanged) << c.fault;
        EXPECT_EQ(report.skipped.size(), c.skipped) << c.fault;
        EXPECT_EQ(pricesOf("P1"), listOf(c.teaAfter)) << c.fault;
        EXPECT_EQ(pricesOf("P3"), listOf(soda)) << c.fault;
    }
}

// The older of two journals that wrote the same product, reverted first,
// would put its old prices over the newer one's originals.
TEST_F(JournalRobustnessTest, RevertingOutOfOrderIsRefusedAndListingShowsWhatWasReverted) {
    addBatchProducts();
    const auto before = allPrices();
    settings.folder = programJournals();
    const QString older = writeBack({{"P1", "Tea", {1.0, 1.0, 1.0, 1.0, 1.0, 1.0}}, {"P2", "Milk", {2.0, 2.0, 2.0, 2.0, 2.0, 2.0}}});
    const QString newer = writeBack({{"P2", "Milk", {3.0, 3.0, 3.0, 3.0, 3.0, 3.0}}, {"P3", "Soda", {4.0, 4.0, 4.0, 4.0, 4.0, 4.0}}});
    const QString unrelated = writeBack({{kOddId, "Odd", {5.0, 5.0, 5.0, 5.0, 5.0, 5.0}}});
    const auto batch = allPrices();

    const std::string refused = messageOf([&] { revert(older); });
    EXPECT_NE(refused.find(QFileInfo(newer).fileName().toStdString()), std::string::npos) << refused;
    EXPECT_EQ(refused.find(QFileInfo(unrelated).fileName().toStdString()), std::string::npos) << refused;
    EXPECT_EQ(allPrices(), batch);

    const QString newerRevert = revert(newer).journalPath;
    const QString olderRevert = revert(older).journalPath;
    EXPECT_EQ(allPrices()["P1"], before.at("P1"));
    EXPECT_EQ(allPrices()["P2"], before.at("P2"));
    // Reverting the revert of the newer one brings its prices back over
    // products the older one's revert has since put back.
    EXPECT_NE(messageOf([&] { revert(newerRevert); }).find(QFileInfo(olderRevert).fileName().toStdString()),
              std::string::npos);

    disconnect();
    const ProgramRun listing = testsupport::runHeadless({QStringLiteral("--journals")});
    EXPECT_EQ(listing.exitCode, 0) << listing.errors.toStdString();
    const auto lineOf = [&listing](const QString& journal) {
        for (const QString& line : listing.output.split(QLatin1Char('\n')))
            if (line.contains(QStringLiteral("  ") + QFileInfo(journal).fileName())) return line;
        return QString();
    };
    EXPECT_TRUE(lineOf(older).endsWith(QFileInfo(olderRevert).fileName())) << listing.output.toStdString();
    EXPECT_TRUE(lineOf(newer).endsWith(QFileInfo(newerRevert).fileName())) << listing.output.toStdString();
    EXPECT_TRUE(lineOf(unrelated).endsWith(QStringLiteral(" -"))) << listing.output.toStdString();
}

// A row refused by the server part-way: the rows before it stay reverted,
// and the program says which row failed, how far it got and where its own
// journal is.
TEST_F(JournalRobustnessTest, ARevertFailingPartWayTellsTheRowTheSummaryAndItsJournal) {
    addProduct("P1", "100, 110, 120, 130, 140, 150");
    addProduct("P2", "666, 1, 1, 1, 1, 1");
    addProduct("P3", "5, 5, 5, 5, 5, 5");
    refuseSalePrice666();
    const QString journal = writeBack(threeRows());
    disconnect();

    const ProgramRun run = testsupport::runHeadless({QStringLiteral("--revert"), journal});
    EXPECT_EQ(run.exitCode, 1);
    const QString said = run.output + run.errors;
    for (const QString& expected :
         {QStringLiteral("price 666 refused"), QStringLiteral("The revert stopped at P2 Milk (line 8 of "),
          QStringLiteral("3 rows in the journal: 1 reverted, 0 needed nothing, 0 skipped, 0 missing"),
          QStringLiteral("journal of this revert: ")})
        EXPECT_TRUE(said.contains(expected)) << expected.toStdString() << "\n" << said.toStdString();
    const QStringList own = journal::journalFiles(programJournals());
    ASSERT_EQ(own.size(), 1);
    EXPECT_TRUE(said.contains(own[0])) << said.toStdString();
    EXPECT_EQ(journal::readJournal(own[0]).written, std::optional<std::size_t>(1));
    EXPECT_EQ(pricesOf("P1"), (std::vector<FieldValue>{100.0, 110.0, 120.0, 130.0, 140.0, 150.0}));

    // Once more in-process: P1 needs nothing now, P2 fails first, and the
    // row's own database error is kept.
    try {
        revert(journal);
        ADD_FAILURE() << "the refused row went unreported";
    } catch (const RevertStopped& stopped) {
        EXPECT_EQ(stopped.failingRow().productId, "P2");
        EXPECT_EQ(stopped.failingRow().line, 8);
        EXPECT_EQ(stopped.report().reverted, 0u);
        EXPECT_EQ(stopped.report().unchanged, 1u);
        EXPECT_FALSE(stopped.report().journalPath.isEmpty());
        try {
            std::rethrow_exception(stopped.cause());
        } catch (const rt::DatabaseError& cause) {
            EXPECT_NE(cause.driverFailure().serverCode, 0);
        }
    }
}

// A disk that fills: before the first UPDATE it stops everything and
// leaves no journal; once the rows and the closing line are on the disk,
// the closing line can no longer be lost.
TEST_F(JournalRobustnessTest, ADiskThatFillsNeverCostsTheClosingLine) {
    addBatchProducts();
    const auto before = allPrices();
    QTemporaryDir sizing;
    const off_t size = QFileInfo([&] {
        TListedPriceRows rows(threeRows());
        TPriceWriteBack writeBack(statement(), {true, sizing.path(), nullptr});
        writeBack.run(rows, {});
        return writeBack.journalPath();
    }()).size();
    setPrices("P1", {100.0, 110.0, 120.0, 130.0, 140.0, 150.0});
    setPrices("P2", {null, null, null, null, null, null});
    setPrices("P3", {12.34, 0.5, 0.0, -3.0, 99999.99, 1.0});
    ASSERT_EQ(allPrices(), before);
    const struct {
        off_t room;
        bool written;
        const char* fault;
    } cases[] = {
        {200, false, "a disk full in the header leaving a journal that breaks --journals"},
        {size - 40, false, "a disk full in the rows writing prices no journal holds"},
        {size - 1, false, "a disk full in the closing line's reserved place"},
        {size, true, "the closing line appended after the UPDATEs, lost to a full disk"},
    };
    for (const auto& c : cases) {
        QTemporaryDir folder;
        TListedPriceRows rows(threeRows());
        TPriceWriteBack writeBack(statement(), {true, folder.path(), std::make_shared<FillingDisk>(c.room)});
        const std::string message = messageOf([&] { writeBack.run(rows, {}); });
        if (!c.written) {
            EXPECT_NE(message.find("No space left on device"), std::string::npos) << c.fault << ": " << message;
            EXPECT_TRUE(journal::journalFiles(folder.path()).isEmpty()) << c.fault;
            EXPECT_EQ(allPrices(), before) << c.fault;
            continue;
        }
        EXPECT_EQ(message, "no error") << c.fault;
        const journal::Journal journal = journal::readJournal(writeBack.journalPath());
        EXPECT_EQ(journal.written, std::optional<std::size_t>(3)) << c.fault;
        EXPECT_FALSE(journal.torn) << c.fault;
        EXPECT_EQ(revert(writeBack.journalPath()).reverted, 3u) << c.fault;
        EXPECT_EQ(allPrices(), before) << c.fault;
    }
}

// A row refused by the server and a closing line that fails too: the error
// raised again is still the database's, with what the driver said.
TEST_F(JournalRobustnessTest, ARowErrorRaisedAgainKeepsTheDriversData) {
    addBatchProducts();
    refuseSalePrice666();
    std::vector<PriceRow> rows = threeRows();
    rows[1].prices.setPrice(1, 666.0);
    const struct {
        int rewriteError;
        const char* closingText;
        const char* fault;
    } cases[] = {
        {0, nullptr, "a row error replaced by the closing line's"},
        {EIO, "Input/output error", "the driver's status and server code lost on re-raise"},
    };
    for (const auto& c : cases) {
        QTemporaryDir folder;
        TListedPriceRows source(rows);
        TPriceWriteBack writeBack(statement(), {true, folder.path(), std::make_shared<FillingDisk>(1 << 20, c.rewriteError)});
        try {
            writeBack.run(source, {});
            ADD_FAILURE() << c.fault << ": no error";
        } catch (const rt::DatabaseError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("price 666 refused"), std::string::npos) << c.fault << ": " << message;
            EXPECT_NE(error.driverFailure().serverCode, 0) << c.fault;
            EXPECT_NE(error.driverFailure().status, 0) << c.fault;
            if (c.closingText) {
                EXPECT_NE(message.find(c.closingText), std::string::npos) << c.fault << ": " << message;
            }
        }
        EXPECT_EQ(writeBack.written(), 1u) << c.fault;
    }
}

// With the journal off the progress still counts against the rows in all.
TEST_F(JournalRobustnessTest, ProgressWithTheJournalOffCountsAgainstAllRows) {
    addBatchProducts();
    const QString journal = writeBack(threeRows());
    std::vector<std::pair<std::size_t, std::size_t>> steps;
    RevertOptions options{false, {false, journals.path(), nullptr}, [&steps](std::size_t written, std::size_t total) {
                              steps.emplace_back(written, total);
                          }};
    TPriceRevert(statement(), options).run(journal::readJournal(journal));
    EXPECT_EQ(steps, (std::vector<std::pair<std::size_t, std::size_t>>{{1, 3}, {2, 3}, {3, 3}}));
}

}  // namespace
}  // namespace batch
