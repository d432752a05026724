// The program's --push run as a child process without a display, to
// several store databases on real servers: its exit statuses, the stores
// it names, a push killed in the middle, and --revert of one store's
// journal.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFileInfo>
#include <QProcess>
#include <functional>
#include <thread>

#include "HeadlessProgram.h"
#include "HeldRowLock.h"
#include "StorePushFixture.h"

namespace batch {
namespace {

using testsupport::ProgramRun;
using testsupport::runHeadless;

class PushCommandTest : public StorePushTest {
protected:
    ProgramRun push(QStringList more = {}) {
        QStringList arguments{QStringLiteral("--push"), headOfficeJournal};
        arguments += more;
        return runHeadless(arguments, 120000);
    }
};

TEST_F(PushCommandTest, ExitStatusSaysWhetherEveryChosenStoreHasTheBatch) {
    std::unique_ptr<testsupport::OwnServer> own;
    QString stoppedJournal;
    struct Case {
        const char* name;
        std::function<void()> before;
        QStringList arguments;
        int exitCode;
        const char* errors;  // in the standard error; empty: nothing there
        // Each store after the run: 1 the batch's prices, 0 others, -1 not
        // read (its server is down).
        std::vector<int> hasBatch;
    };
    const Case cases[] = {
        {"a store not configured", [] {}, {"--stores", "Taipei01,Hualien05"}, 2,
         "Tarvell: The store 'Hualien05' is not among the stores configured", {0, 0, 0}},
        {"a store without a section",
         [] { settings::StoreSettings::setNames({"Taipei01", "Taichung02", "Kaohsiung03", "Tainan09"}); },
         {}, 2, "The store Tainan09: no section [Tainan09]", {0, 0, 0}},
        {"Parallel out of range",
         [] {
             settings::StoreSettings::setNames({"Taipei01", "Taichung02", "Kaohsiung03"});
             settings::StoreSettings::setParallel(33);
         },
         {}, 2, "Stores/Parallel=33: not a whole number of stores from 1 to 32", {0, 0, 0}},
        {"--stores without --push", [] { settings::StoreSettings::setParallel(2); }, {"--revert", "x.csv", "--stores", "all"}, 2,
         "--stores goes with --push", {0, 0, 0}},
        {"a journal whose write-back stopped part-way",
         [&] {
             journal::Journal written = journal::readJournal(headOfficeJournal);
             journal::TJournalWriter partial(headOffice.path(), written.header);
             for (const journal::JournalEntry& entry : written.entries) partial.addEntry(entry);
             partial.close(2);
             stoppedJournal = partial.path();
         },
         {"--stores", "all"}, 2, "did not write its whole batch (2 of 5 rows); nothing was pushed", {0, 0, 0}},
        {"one chosen store", [] {}, {"--stores", "Taichung02"}, 0, "", {0, 1, 0}},
        {"one store's server stopped",
         [&] {
             own = testsupport::OwnServer::startIfPossible();
             moveStore(2, own->server());
             own->kill();
         },
         {"--stores", "all"}, 1, "Tarvell: the store Kaohsiung03 does not have the batch: ", {1, 1, -1}},
        {"its server back",
         [&] { own->start(); }, {}, 0, "", {1, 1, 1}},
        {"a store changed since delivery",
         [&] { stores[0]->database.execute("UPDATE PRODUCT SET VIP_PRICE = 1 WHERE PROD_ID = 'P5'"); }, {}, 1,
         "Tarvell: the store Taipei01 does not have the batch: delivered before, its prices changed since (1 products "
         "changed since: P5 Item 5); --force writes it again",
         {0, 1, 1}},
        {"forced", [] {}, {"--force"}, 0, "", {1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.before();
        QStringList arguments = c.arguments;
        const QString pushed = stoppedJournal.isEmpty() ? headOfficeJournal : stoppedJournal;
        stoppedJournal.clear();
        const ProgramRun run = arguments.contains(QStringLiteral("--revert"))
                                   ? runHeadless(arguments)
                                   : runHeadless(QStringList{QStringLiteral("--push"), pushed} + arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output.toStdString() << run.errors.toStdString();
        if (*c.errors) {
            EXPECT_TRUE(run.errors.contains(QString::fromUtf8(c.errors))) << run.errors.toStdString();
        } else {
            EXPECT_TRUE(run.errors.isEmpty()) << run.errors.toStdString();
        }
        if (c.exitCode == 2) {
            // Refused before anything was written: not even a record.
            EXPECT_FALSE(QFileInfo::exists(journal::pushRecordPath(pushed)));
        }
        for (std::size_t store = 0; store < stores.size(); ++store) {
            if (c.hasBatch[store] < 0) continue;
            if (c.hasBatch[store] == 1) {
                EXPECT_EQ(pricesAt(store), batchPrices()) << stores[store]->name;
            } else {
                EXPECT_NE(pricesAt(store), batchPrices()) << stores[store]->name;
            }
        }
    }
}

// Ended while one store waits for a locked row, killed outright or asked
// to stop by TERM or INT: that store keeps nothing, the record names the
// stores that are done, and the next push writes only the one left (the
// others get no second journal).
struct EndingCase {
    const char* name;
    int signal;
    journal::PushState lockedRecorded;  // the locked store in the record after the ending
};

void PrintTo(const EndingCase& ending, std::ostream* out) { *out << ending.name; }

class PushEndedMidwayTest : public PushCommandTest, public testing::WithParamInterface<EndingCase> {};

TEST_P(PushEndedMidwayTest, TheNextPushCompletesItWithoutWritingADeliveredStoreTwice) {
    constexpr std::size_t kLocked = 1;
    auto lock = std::make_unique<testsupport::HeldRowLock>(stores[kLocked]->serverName(), server.password,
                                                           "UPDATE PRODUCT SET STD_COST = 1 WHERE PROD_ID = 'P4'");
    QProcess program;
    testsupport::startHeadless(program, {QStringLiteral("--push"), headOfficeJournal});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool othersDone = false;
    while (!othersDone && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto read = journal::readPushRecord(journal::pushRecordPath(headOfficeJournal));
        if (!read) continue;
        const auto entry = [&](std::size_t store) { return read->find(QString::fromStdString(stores[store]->name)); };
        othersDone = entry(0)->state == journal::PushState::Delivered && entry(2)->state == journal::PushState::Delivered &&
                     entry(kLocked)->state == journal::PushState::Sending && !entry(kLocked)->storeJournal.isEmpty();
    }
    ASSERT_TRUE(othersDone);
    ::kill(pid_t(program.processId()), GetParam().signal);
    ASSERT_TRUE(program.waitForFinished(60000));
    if (GetParam().signal != SIGKILL) {
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 1);
        const QString output = QString::fromUtf8(program.readAllStandardOutput());
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        EXPECT_TRUE(output.contains(QStringLiteral("Taichung02: cancelled, nothing kept"))) << output.toStdString();
        EXPECT_TRUE(errors.contains(QStringLiteral("Tarvell: the store Taichung02 does not have the batch: cancelled")))
            << errors.toStdString();
    }
    lock.reset();
    EXPECT_EQ(pricesAt(kLocked), oldPrices(kLocked));
    EXPECT_EQ(recordedState(kLocked), GetParam().lockedRecorded);

    const ProgramRun again = push();
    EXPECT_EQ(again.exitCode, 0) << again.output.toStdString() << again.errors.toStdString();
    EXPECT_TRUE(again.output.contains(QStringLiteral("Taipei01: delivered before, prices unchanged"))) << again.output.toStdString();
    EXPECT_TRUE(again.output.contains(QStringLiteral("Taichung02: delivered\n"))) << again.output.toStdString();
    for (std::size_t store = 0; store < stores.size(); ++store) {
        SCOPED_TRACE(stores[store]->name);
        EXPECT_EQ(pricesAt(store), batchPrices());
        EXPECT_EQ(recordedState(store), journal::PushState::Delivered);
        // The ended push's journal of the locked store and the new one.
        EXPECT_EQ(journalsOf(store).size(), store == kLocked ? 2 : 1);
    }
}

INSTANTIATE_TEST_SUITE_P(KilledOrStopped, PushEndedMidwayTest,
                         testing::Values(EndingCase{"Killed", SIGKILL, journal::PushState::Sending},
                                         EndingCase{"Term", SIGTERM, journal::PushState::Failed},
                                         EndingCase{"Int", SIGINT, journal::PushState::Failed}),
                         [](const testing::TestParamInfo<EndingCase>& info) { return std::string(info.param.name); });

// --revert of one store's journal connects to that store and puts back
// its prices alone.
TEST_F(PushCommandTest, RevertOfAStoresJournalRevertsThatStoreAlone) {
    ASSERT_EQ(push().exitCode, 0);
    const QStringList journal = journalsOf(2);
    ASSERT_EQ(journal.size(), 1);
    const ProgramRun run = runHeadless({QStringLiteral("--revert"), journal.front()});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    EXPECT_EQ(pricesAt(0), batchPrices());
    EXPECT_EQ(pricesAt(1), batchPrices());
    EXPECT_EQ(pricesAt(2), oldPrices(2));
}

}  // namespace
}  // namespace batch
