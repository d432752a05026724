// The push of a journal's batch to several store databases on real
// servers: each store written whole or not at all under a journal of its
// own, the push record naming what became of each, and a second push
// writing only the stores that do not have the batch.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <atomic>
#include <thread>

#include "HeldRowLock.h"
#include "PriceRevert.h"
#include "StatementService.h"
#include "StoreConnection.h"
#include "StorePushFixture.h"
#include "TDataLinkConnection.h"

namespace batch {
namespace {

using journal::PushState;

std::vector<StoreStatus> statuses(const std::vector<StoreProgress>& outcome) {
    std::vector<StoreStatus> found;
    for (const StoreProgress& store : outcome) found.push_back(store.status);
    return found;
}

// Each store's journal reverts that store and no other, through the
// store's own connection.
TEST_F(StorePushTest, EveryStoreGetsExactlyTheBatchAndItsJournalRevertsItAlone) {
    TStorePush push(headOfficeJournal, allStores(), pushOptions());
    const std::vector<StoreProgress> outcome = push.run();
    ASSERT_EQ(statuses(outcome), std::vector<StoreStatus>(3, StoreStatus::Delivered));
    for (std::size_t store = 0; store < stores.size(); ++store) {
        SCOPED_TRACE(stores[store]->name);
        EXPECT_EQ(pricesAt(store), batchPrices());
        EXPECT_EQ(recordedState(store), PushState::Delivered);
        ASSERT_EQ(journalsOf(store), QStringList{outcome[store].storeJournal});
        const journal::Journal written = journal::readJournal(outcome[store].storeJournal);
        EXPECT_EQ(written.written, std::optional<std::size_t>(kPushedProducts));
        EXPECT_EQ(written.header.source, pushSource(headOfficeJournal, outcome[store].store));
        // The store's own old prices, not the head office's.
        EXPECT_EQ(written.entries[2].oldPrices, tierPrices(storeOldPrices(int(store), 2)));
        EXPECT_EQ(record().find(outcome[store].store)->storeJournal, outcome[store].storeJournal);
    }

    db::TDataLinkConnection connection("Store");
    db::useStoreConnection(connection, db::storeConnectionSettings(stores[1]->name));
    db::TStatementService statement(connection);
    RevertOptions options;
    options.journal = {true, journals, nullptr};
    const RevertReport report = TPriceRevert(statement, options).run(journal::readJournal(outcome[1].storeJournal));
    EXPECT_EQ(report.reverted, std::size_t(kPushedProducts));
    EXPECT_EQ(pricesAt(0), batchPrices());
    EXPECT_EQ(pricesAt(1), oldPrices(1));
    EXPECT_EQ(pricesAt(2), batchPrices());
}

// One store in trouble of each kind; the other two are delivered either
// way, and the troubled one keeps nothing of the batch (or, missing a
// product, gets the rest and names it).
struct TroubleCase {
    const char* name;
    enum Kind { ServerStopped, ServerFrozen, RowRefused, ProductMissing } kind;
    StoreStatus status;
    PushState recorded;
    const char* reason;  // in the store's reason; empty for none
};

void PrintTo(const TroubleCase& trouble, std::ostream* out) { *out << trouble.name; }

class StorePushTroubleTest : public StorePushTest, public testing::WithParamInterface<TroubleCase> {};

TEST_P(StorePushTroubleTest, TheOtherStoresAreDeliveredAndTheTroubledOneKeepsNothing) {
    const TroubleCase& trouble = GetParam();
    constexpr std::size_t kTroubled = 1;
    std::unique_ptr<testsupport::OwnServer> own;
    if (trouble.kind == TroubleCase::ServerStopped || trouble.kind == TroubleCase::ServerFrozen) {
        own = testsupport::OwnServer::startIfPossible();
        ASSERT_TRUE(own);
        moveStore(kTroubled, own->server());
    }
    if (trouble.kind == TroubleCase::ServerStopped) own->kill();
    if (trouble.kind == TroubleCase::RowRefused)
        stores[kTroubled]->database.execute("ALTER TABLE PRODUCT ADD CONSTRAINT STORE_CEILING CHECK (SALE_PRICE < 5030)");
    if (trouble.kind == TroubleCase::ProductMissing) stores[kTroubled]->database.execute("DELETE FROM PRODUCT WHERE PROD_ID = 'P4'");

    PushOptions options = pushOptions();
    options.answerTimeout = std::chrono::seconds(2);
    std::unique_ptr<TStorePush> push;
    std::atomic<bool> frozen{false};
    if (trouble.kind == TroubleCase::ServerFrozen)
        // Frozen in the middle of the store's transaction, two rows written.
        options.changed = [&] {
            if (push->progress()[kTroubled].sent == 2 && !frozen.exchange(true)) own->pause();
        };
    push = std::make_unique<TStorePush>(headOfficeJournal, allStores(), options);
    const auto started = std::chrono::steady_clock::now();
    const std::vector<StoreProgress> outcome = push->run();
    if (trouble.kind == TroubleCase::ServerFrozen) {
        EXPECT_TRUE(frozen.load());
        // Ended by the answer timeout, not by the server coming back.
        EXPECT_GE(std::chrono::steady_clock::now() - started, options.answerTimeout);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
        own->resume();
    }

    EXPECT_EQ(outcome[0].status, StoreStatus::Delivered);
    EXPECT_EQ(outcome[2].status, StoreStatus::Delivered);
    EXPECT_EQ(pricesAt(0), batchPrices());
    EXPECT_EQ(pricesAt(2), batchPrices());
    EXPECT_EQ(outcome[kTroubled].status, trouble.status) << outcome[kTroubled].reason.toStdString();
    EXPECT_TRUE(outcome[kTroubled].reason.contains(QString::fromUtf8(trouble.reason)))
        << outcome[kTroubled].reason.toStdString();
    EXPECT_EQ(recordedState(0), PushState::Delivered);
    EXPECT_EQ(recordedState(kTroubled), trouble.recorded);
    EXPECT_EQ(recordedState(2), PushState::Delivered);
    if (trouble.kind == TroubleCase::ServerStopped) own->start();

    std::vector<std::vector<double>> expected = trouble.kind == TroubleCase::ProductMissing ? batchPrices() : oldPrices(kTroubled);
    if (trouble.kind == TroubleCase::ProductMissing) {
        expected.erase(expected.begin() + 3);
        ASSERT_EQ(outcome[kTroubled].missing.size(), 1u);
        EXPECT_EQ(outcome[kTroubled].missing[0].productId, "P4");
        EXPECT_TRUE(storeOutcomeText(outcome[kTroubled]).contains(QStringLiteral("1 products not in the store: P4 Item 4")))
            << storeOutcomeText(outcome[kTroubled]).toStdString();
    }
    EXPECT_EQ(pricesAt(kTroubled), expected);
    if (trouble.kind == TroubleCase::RowRefused) return;

    // Pushed again: the two delivered stores are read, not written (no new
    // journal); the troubled store is written only when it had failed.
    const QStringList before0 = journalsOf(0), before2 = journalsOf(2);
    const std::vector<StoreProgress> again = TStorePush(headOfficeJournal, allStores(), pushOptions()).run();
    EXPECT_EQ(again[0].status, StoreStatus::AlreadyDelivered);
    EXPECT_EQ(again[2].status, StoreStatus::AlreadyDelivered);
    EXPECT_EQ(again[kTroubled].status, trouble.kind == TroubleCase::ProductMissing ? StoreStatus::AlreadyDelivered
                                                                                   : StoreStatus::Delivered);
    EXPECT_EQ(journalsOf(0), before0);
    EXPECT_EQ(journalsOf(2), before2);
    for (std::size_t store = 0; store < stores.size(); ++store) {
        EXPECT_EQ(recordedState(store), PushState::Delivered);
    }
    if (trouble.kind != TroubleCase::ProductMissing) {
        EXPECT_EQ(pricesAt(kTroubled), batchPrices());
    }
}

INSTANTIATE_TEST_SUITE_P(
    OneStoreInTrouble, StorePushTroubleTest,
    testing::Values(TroubleCase{"ServerStopped", TroubleCase::ServerStopped, StoreStatus::Failed, PushState::Failed, ""},
                    TroubleCase{"ServerFrozenPastAnswerTimeout", TroubleCase::ServerFrozen, StoreStatus::Failed,
                                PushState::Failed, ""},
                    TroubleCase{"RowRefused", TroubleCase::RowRefused, StoreStatus::Failed, PushState::Failed,
                                "STORE_CEILING"},
                    TroubleCase{"ProductMissing", TroubleCase::ProductMissing, StoreStatus::Delivered,
                                PushState::Delivered, ""}),
    [](const testing::TestParamInfo<TroubleCase>& info) { return std::string(info.param.name); });

// A store waiting for a row another transaction holds: Cancel ends it and
// it rolls back, while the stores delivered before keep the batch.
TEST_F(StorePushTest, CancelRollsBackTheStoreStillWritingAndTheDeliveredKeepTheBatch) {
    constexpr std::size_t kLocked = 2;
    auto lock = std::make_unique<testsupport::HeldRowLock>(stores[kLocked]->serverName(), server.password,
                                                           "UPDATE PRODUCT SET STD_COST = 1 WHERE PROD_ID = 'P3'");
    TStorePush push(headOfficeJournal, allStores(), pushOptions());
    std::vector<StoreProgress> outcome;
    std::thread running([&] { outcome = push.run(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        const std::vector<StoreProgress> now = push.progress();
        if (now[0].hasBatch() && now[1].hasBatch() && now[kLocked].status == StoreStatus::Sending && now[kLocked].sent == 2)
            break;
        if (std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Still waiting for the row a moment later.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(push.progress()[kLocked].sent, 2u);
    push.cancel();
    running.join();
    lock.reset();
    EXPECT_EQ(statuses(outcome),
              (std::vector<StoreStatus>{StoreStatus::Delivered, StoreStatus::Delivered, StoreStatus::Cancelled}));
    EXPECT_EQ(pricesAt(0), batchPrices());
    EXPECT_EQ(pricesAt(1), batchPrices());
    EXPECT_EQ(pricesAt(kLocked), oldPrices(kLocked));
    EXPECT_EQ(recordedState(kLocked), PushState::Failed);
    EXPECT_EQ(record().find(QString::fromStdString(stores[kLocked]->name))->reason, QStringLiteral("cancelled"));
    // Its journal says nothing was written.
    ASSERT_EQ(journalsOf(kLocked).size(), 1);
    EXPECT_EQ(journal::readJournal(journalsOf(kLocked).front()).written, std::optional<std::size_t>(0));
}

// A store whose prices changed after delivery is named and left alone
// unless the question is answered yes (or the push is forced).
TEST_F(StorePushTest, AStoreChangedAfterDeliveryIsWrittenAgainOnlyWhenAsked) {
    ASSERT_EQ(statuses(TStorePush(headOfficeJournal, allStores(), pushOptions()).run()),
              std::vector<StoreStatus>(3, StoreStatus::Delivered));
    stores[0]->database.execute("UPDATE PRODUCT SET SALE_PRICE = 77 WHERE PROD_ID = 'P2'");
    std::vector<std::vector<double>> changed = batchPrices();
    changed[1][0] = 77;

    struct Case {
        const char* name;
        bool answer;
        bool force;
        StoreStatus status;
        bool asked;
    };
    const Case cases[] = {
        {"answered no", false, false, StoreStatus::Changed, true},
        {"answered yes", true, false, StoreStatus::Delivered, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.answer) {
            // Changed again after the last run, which left it alone.
            EXPECT_EQ(pricesAt(0), changed);
        }
        PushOptions options = pushOptions();
        QStringList asked;
        options.rewriteChanged = [&](const QStringList& storesAsked) {
            asked = storesAsked;
            return c.answer;
        };
        options.force = c.force;
        const QStringList journalsBefore = journalsOf(0);
        const std::vector<StoreProgress> outcome = TStorePush(headOfficeJournal, allStores(), options).run();
        EXPECT_EQ(outcome[0].status, c.status);
        EXPECT_EQ(asked, QStringList{QStringLiteral("Taipei01")});
        EXPECT_EQ(outcome[1].status, StoreStatus::AlreadyDelivered);
        EXPECT_EQ(outcome[2].status, StoreStatus::AlreadyDelivered);
        if (c.status == StoreStatus::Changed) {
            EXPECT_TRUE(outcome[0].reason.contains(QStringLiteral("P2 Item 2"))) << outcome[0].reason.toStdString();
            EXPECT_EQ(pricesAt(0), changed);
            EXPECT_EQ(journalsOf(0), journalsBefore);
        } else {
            EXPECT_EQ(pricesAt(0), batchPrices());
            EXPECT_EQ(journalsOf(0).size(), journalsBefore.size() + 1);
        }
        EXPECT_EQ(recordedState(0), PushState::Delivered);
    }
}

// The program's [Stores] settings and the connections file are checked
// before anything is written, each fault named.
TEST_F(StorePushTest, ConfigurationFaultsAreRefusedNamingThem) {
    struct Case {
        const char* name;
        QString names;
        QString parallel;
        QStringList chosen;
        const char* message;
    };
    const Case cases[] = {
        {"no section", QStringLiteral("Taipei01,Tainan09"), QStringLiteral("4"), {}, "The store Tainan09: no section [Tainan09]"},
        {"named twice", QStringLiteral("Taipei01,Taichung02,taipei01"), QStringLiteral("4"), {}, "the store taipei01 is named twice"},
        {"empty name", QStringLiteral("Taipei01,,Taichung02"), QStringLiteral("4"), {}, "an empty store name"},
        {"parallel 0", QStringLiteral("Taipei01"), QStringLiteral("0"), {}, "Stores/Parallel=0: not a whole number of stores from 1 to 32"},
        {"parallel 33", QStringLiteral("Taipei01"), QStringLiteral("33"), {}, "Stores/Parallel=33:"},
        {"parallel text", QStringLiteral("Taipei01"), QStringLiteral("four"), {}, "Stores/Parallel=four:"},
        {"chosen not configured", QStringLiteral("Taipei01"), QStringLiteral("4"), {QStringLiteral("Taichung02")},
         "The store 'Taichung02' is not among the stores configured"},
        {"chosen twice", QStringLiteral("Taipei01,Taichung02"), QStringLiteral("4"),
         {QStringLiteral("Taipei01"), QStringLiteral("TAIPEI01")}, "The store 'TAIPEI01' is chosen twice"},
        {"none configured", QString(), QStringLiteral("4"), {}, "No store is configured"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings::setProgramSetting(QStringLiteral("Stores/Names"), c.names);
        settings::setProgramSetting(QStringLiteral("Stores/Parallel"), c.parallel);
        try {
            chosenStores(settings::StoreSettings::load(), c.chosen);
            ADD_FAILURE() << "accepted";
        } catch (const rt::AppError& error) {
            EXPECT_TRUE(std::string(error.what()).find(c.message) != std::string::npos) << error.what();
        }
    }
    // A journal whose write-back did not finish is not pushed, and no
    // record is made for it.
    journal::TJournalWriter unfinished(headOffice.path(), {QStringLiteral("headoffice"), QDateTime::currentDateTimeUtc(),
                                                           QStringLiteral("clerk"), QStringLiteral("write-back")});
    unfinished.addEntry({"P1", "Item", std::nullopt, tierPrices(batchNewPrices(0)), 0});
    unfinished.close(0);
    settings::StoreSettings::setNames({QStringLiteral("Taipei01")});
    settings::StoreSettings::setParallel(4);
    EXPECT_THROW(TStorePush(unfinished.path(), allStores(), pushOptions()).run(), rt::AppError);
    EXPECT_FALSE(QFileInfo::exists(journal::pushRecordPath(unfinished.path())));
    EXPECT_EQ(pricesAt(0), oldPrices(0));
}

}  // namespace
}  // namespace batch
