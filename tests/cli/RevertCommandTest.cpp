// The program's --revert and --journals run as a child process without a
// display, on a real embedded database: what they report, their exit
// status, and the program killed or interrupted in the middle of a
// write-back, which must leave a journal that puts back exactly the rows
// that reached the database.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>

#include "HeadlessProgram.h"
#include "NumberedBatch.h"
#include "PriceRevertFixture.h"
#include "WriteBackSettings.h"

namespace cli {
namespace {

using rt::FieldValue;
using testsupport::DirectClient;
using testsupport::programJournals;
using testsupport::ProgramRun;
using testsupport::runHeadless;

// The program with its output on a pipe of the smallest size, filled so
// that only `line` still fits: once it has written that line, its next
// line blocks it until it is killed. Killed when it goes.
class ProgramOnFullPipe {
public:
    ProgramOnFullPipe(const QStringList& arguments, const std::string& line) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return;
        readEnd_ = ends[0];
        const int writeEnd = ends[1];
        const int size = ::fcntl(writeEnd, F_SETPIPE_SZ, 4096);
        capacity_ = size > 0 ? size : 0;
        const std::string filler(capacity_ - line.size(), '.');
        if (capacity_ <= line.size() || ::write(writeEnd, filler.data(), filler.size()) != ssize_t(filler.size())) {
            ::close(writeEnd);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writeEnd, STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        std::string path = testsupport::programPath().toStdString();
        std::vector<std::string> words{path};
        for (const QString& argument : arguments) words.push_back(argument.toStdString());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        std::vector<std::string> variables = testsupport::headlessEnvironmentLines();
        std::vector<char*> envp;
        for (std::string& variable : variables) envp.push_back(variable.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(writeEnd);
    }
    ~ProgramOnFullPipe() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (readEnd_ >= 0) ::close(readEnd_);
    }
    ProgramOnFullPipe(const ProgramOnFullPipe&) = delete;
    ProgramOnFullPipe& operator=(const ProgramOnFullPipe&) = delete;

    // True once the pipe is full, that is once the line has been written;
    // false when the program ends or has not written it after a long wait.
    bool waitForLineWritten() {
        if (pid_ <= 0) return false;
        for (int waited = 0; waited < 120000; waited += 10) {
            int queued = 0;
            if (::ioctl(readEnd_, FIONREAD, &queued) == 0 && std::size_t(queued) == capacity_) return true;
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            ::usleep(10000);
        }
        return false;
    }

private:
    pid_t pid_ = -1;
    int readEnd_ = -1;
    std::size_t capacity_ = 0;
};

class RevertCommandTest : public batch::PriceRevertTest {
protected:
    void TearDown() override {
        settings::WriteBackSettings::setOneTransaction(false);
        PriceRevertTest::TearDown();
    }
};

// Through the program: rows changed since the write-back are skipped and
// listed, the exit status says not everything was reverted, --force puts
// them back too.
TEST_F(RevertCommandTest, ProgramSkipsAndListsRowsChangedSinceAndForceRevertsThem) {
    addBatchProducts();
    const auto before = allPrices();
    const QString journal = writeBack(batchRows());
    disconnect();
    database.execute("UPDATE PRODUCT SET SALE_PRICE = 999 WHERE PROD_ID = 'P3'");

    const ProgramRun skipping = runHeadless({QStringLiteral("--revert"), journal});
    EXPECT_EQ(skipping.exitCode, 1) << skipping.errors.toStdString();
    EXPECT_TRUE(skipping.output.contains(QStringLiteral("skipped P3 Soda (line 9): changed since; now 999 1 1 1 110000 2")))
        << skipping.output.toStdString();
    EXPECT_TRUE(skipping.output.contains(
        QStringLiteral("6 rows in the journal: 3 reverted, 2 needed nothing, 1 skipped, 0 missing")))
        << skipping.output.toStdString();
    EXPECT_EQ(pricesOf("P3")[0], FieldValue(999.0));
    EXPECT_EQ(pricesOf("P1"), before.at("P1"));

    const ProgramRun forcing = runHeadless({QStringLiteral("--revert"), journal, QStringLiteral("--force")});
    EXPECT_EQ(forcing.exitCode, 0) << forcing.output.toStdString() << forcing.errors.toStdString();
    EXPECT_TRUE(forcing.output.contains(QStringLiteral("forced P3 Soda"))) << forcing.output.toStdString();
    EXPECT_EQ(allPrices(), before);

    // Each revert journaled what it wrote: the first three rows, then P3.
    const ProgramRun listing = runHeadless({QStringLiteral("--journals")});
    EXPECT_EQ(listing.exitCode, 0);
    const QStringList lines = listing.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << listing.output.toStdString();
    EXPECT_TRUE(lines[1].contains(QRegularExpression(QStringLiteral("\\s1\\s+1\\s"))))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QRegularExpression(QStringLiteral("\\s3\\s+3\\s"))))
        << lines[2].toStdString();
}

// The program killed while it writes: the journal it made before its first
// UPDATE lists every row, and reverting it puts back exactly the rows that
// had reached the database. The program's write-back here is a revert: it
// runs the window's loop and journal without needing a display.
TEST_F(RevertCommandTest, KillInTheMiddleOfAWriteBackThenRevertPutsBackExactlyTheRowsWritten) {
    constexpr int kRows = 3000;
    constexpr double kShift = 100000;
    database.execute(testsupport::numberedProductsInsert(kRows, testsupport::kRisingPricesSql));
    // A journal whose revert writes every price up by kShift.
    const QString batch = testsupport::writeNumberedJournal(
        journals.path(), database.path(), kRows, [](int row, const std::string& id) {
            return journal::JournalEntry{id, "Item", testsupport::risingPrices(row, kShift), testsupport::risingPrices(row)};
        });

    {
        // Its output goes to a pipe with room for exactly one progress line:
        // the program writes rows until it reports the thousandth, and can
        // write no further than the two-thousandth, whose line would block.
        ProgramOnFullPipe program({QStringLiteral("--revert"), batch}, "1000 of 3000 rows reverted\n");
        ASSERT_TRUE(program.waitForLineWritten()) << "the program never reported its thousandth row";
    }

    const QStringList written = journal::journalFiles(programJournals());
    ASSERT_EQ(written.size(), 1);
    const journal::Journal killed = journal::readJournal(written[0]);
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
    EXPECT_LE(reachedDatabase, 2000) << "the program wrote past the line it was held at";

    const ProgramRun reverting = runHeadless({QStringLiteral("--revert"), written[0]});
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
TEST_F(RevertCommandTest, InterruptStopsAfterTheRowInFlightWithSummaryAndClosedJournal) {
    constexpr int kRows = 3000;
    database.execute(testsupport::numberedProductsInsert(kRows, "2, 2, 2, 2, 2, 2"));
    const QString batch = testsupport::writeNumberedJournal(
        journals.path(), database.path(), kRows, [](int, const std::string& id) {
            return journal::JournalEntry{id, "Item", product::TierPrices{1.0, 1.0, 1.0, 1.0, 1.0, 1.0}, product::TierPrices{2.0, 2.0, 2.0, 2.0, 2.0, 2.0}};
        });

    QProcess program;
    testsupport::startHeadless(program, {QStringLiteral("--revert"), batch});
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
    const QStringList own = journal::journalFiles(programJournals());
    ASSERT_EQ(own.size(), 1);
    EXPECT_EQ(journal::readJournal(own[0]).written, std::optional<std::size_t>(reverted));
}

// Ctrl+C or TERM during a revert in one transaction: the rows sent so far
// are rolled back with the rest, and the summary, the revert's own journal
// and the database all say nothing was reverted.
class StopSignalInOneTransactionTest : public RevertCommandTest, public testing::WithParamInterface<int> {};

TEST_P(StopSignalInOneTransactionTest, RevertsNothing) {
    const int signal = GetParam();
    constexpr int kRows = 30000;
    database.execute(testsupport::numberedProductsInsert(kRows, "2, 2, 2, 2, 2, 2"));
    const QString batch = testsupport::writeNumberedJournal(
        journals.path(), database.path(), kRows, [](int, const std::string& id) {
            return journal::JournalEntry{id, "Item", product::TierPrices{1.0, 1.0, 1.0, 1.0, 1.0, 1.0}, product::TierPrices{2.0, 2.0, 2.0, 2.0, 2.0, 2.0}};
        });
    settings::WriteBackSettings::setOneTransaction(true);

    QProcess program;
    testsupport::startHeadless(program, {QStringLiteral("--revert"), batch});
    QByteArray output;
    while (!output.contains("1000 of") && program.waitForReadyRead(120000)) output += program.readAllStandardOutput();
    ASSERT_TRUE(output.contains("1000 of")) << output.toStdString() << program.readAllStandardError().toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signal), 0);
    ASSERT_TRUE(program.waitForFinished(60000));
    output += program.readAllStandardOutput();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 128 + signal) << program.readAllStandardError().toStdString();

    const QString text = QString::fromUtf8(output);
    ASSERT_FALSE(text.contains(QStringLiteral("%1 of %1 rows").arg(kRows))) << "the signal came too late to stop the revert";
    EXPECT_TRUE(text.contains(QStringLiteral("1000 of %1 rows sent (written together at the end)").arg(kRows)))
        << output.toStdString();
    DirectClient client(database.path());
    EXPECT_EQ(client.select("SELECT COUNT(*) FROM PRODUCT WHERE SALE_PRICE = 1").front()[0].toDouble(), 0.0);
    EXPECT_TRUE(text.contains(QStringLiteral("%1 rows in the journal: 0 reverted").arg(kRows))) << output.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Stopped by SIG%1; the transaction was rolled back and nothing was reverted.")
                                  .arg(QString::fromLatin1(sigabbrev_np(signal)))))
        << output.toStdString();
    const QStringList own = journal::journalFiles(programJournals());
    ASSERT_EQ(own.size(), 1);
    EXPECT_EQ(journal::readJournal(own[0]).written, std::optional<std::size_t>(0));
}

INSTANTIATE_TEST_SUITE_P(IntAndTerm, StopSignalInOneTransactionTest, testing::Values(SIGINT, SIGTERM),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string("SIG") + sigabbrev_np(info.param);
                         });

// The real program, killed while its one transaction is under way (its
// write-back here is a revert, which runs the window's loop without a
// display): the server rolls the transaction back, so no row is written,
// and the journal it left lists every row without a closing line.
TEST_F(RevertCommandTest, KilledProgramInOneTransactionLeavesEveryRowAsItWas) {
    constexpr int kRows = 20000;
    constexpr double kShift = 100000;
    database.execute("DELETE FROM PRODUCT");
    database.execute(testsupport::numberedProductsInsert(kRows, testsupport::kRisingPricesSql));
    const QString batch = testsupport::writeNumberedJournal(
        journals.path(), database.path(), kRows, [](int row, const std::string& id) {
            return journal::JournalEntry{id, "Item", testsupport::risingPrices(row, kShift), testsupport::risingPrices(row)};
        });
    settings::WriteBackSettings::setOneTransaction(true);

    QProcess program;
    testsupport::startHeadless(program, {QStringLiteral("--revert"), batch});
    QByteArray progress;
    while (!progress.contains("1000 of") && program.waitForReadyRead(120000)) progress += program.readAllStandardOutput();
    ASSERT_TRUE(progress.contains("1000 of")) << progress.toStdString() << program.readAllStandardError().toStdString();
    program.kill();
    program.waitForFinished();

    const QStringList left = journal::journalFiles(programJournals());
    ASSERT_EQ(left.size(), 1);
    const journal::Journal killed = journal::readJournal(left[0]);
    EXPECT_EQ(killed.entries.size(), std::size_t(kRows));
    ASSERT_FALSE(killed.written.has_value()) << "the kill came too late to stop the write-back";
    DirectClient client(database.path());
    EXPECT_EQ(client.select("SELECT COUNT(*) FROM PRODUCT WHERE SALE_PRICE = CAST(SUBSTRING(PROD_ID FROM 2) AS INTEGER) + 1 "
                            "AND N_PRICE = SALE_PRICE + 1 AND VIP_PRICE IS NULL")
                  .front()[0]
                  .toDouble(),
              double(kRows));
}

// --journals names what is not a regular journal file and lists the rest.
TEST_F(RevertCommandTest, ListingSkipsAndNamesWhatIsNoRegularJournal) {
    addBatchProducts();
    settings.folder = programJournals();
    const QString journal = writeBack(threeRows());
    disconnect();
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), QDir(programJournals()).filePath(QStringLiteral("zero.csv"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(QDir(programJournals()).filePath(QStringLiteral("fifo.csv"))).constData(), 0600), 0);
    const ProgramRun listing = runHeadless({QStringLiteral("--journals")});
    EXPECT_EQ(listing.exitCode, 1);
    EXPECT_TRUE(listing.output.contains(QFileInfo(journal).fileName())) << listing.output.toStdString();
    for (const char* skipped : {"skipped zero.csv: ", "skipped fifo.csv: "})
        EXPECT_TRUE(listing.errors.contains(QLatin1String(skipped)) && listing.errors.contains(QStringLiteral("not a regular file")))
            << skipped << listing.errors.toStdString();
}

}  // namespace
}  // namespace cli
