// A write-back that meets a row locked by another user or a server that has
// stopped answering: the window keeps running, Cancel and the answer timeout
// end it, and what the journal says was written is what PRODUCT holds.
//
// The server is frozen while the write-back waits on a locked row: the
// statement in flight is then known to be the UPDATE, never its commit, so
// that whether the row was written is certain afterwards.
#include "WriteBackWindow.h"

#include <QRegularExpression>
#include <thread>

#include "Big5Text.h"
#include "Errors.h"
#include "HeldRowLock.h"
#include "ProductStatements.h"
#include "RowWaitProbe.h"
#include "RowWaitWatch.h"
#include "ScopeGuard.h"
#include "PriceWriteBack.h"
#include "ServerSettings.h"
#include "WorkTablePriceRows.h"
#include "WriteBackRunner.h"
#include "WriteBackSettings.h"

namespace {

using namespace testsupport;

const PrivateSettingsFolders g_settings;

constexpr int kProducts = 120;
constexpr int kLockedProduct = 60;

class StuckWriteBackTest : public WriteBackWindowTest {
protected:
    void SetUp() override { startWindow(kProducts, /*ownServer=*/true); }
    void TearDown() override {
        settings::ServerSettings::setAnswerTimeout(settings::ServerSettings::kDefaultAnswerTimeout);
        WriteBackWindowTest::TearDown();
    }

    std::unique_ptr<HeldRowLock> lockProduct(int number) {
        return std::make_unique<HeldRowLock>(
            address, server.password, "UPDATE PRODUCT SET STD_COST = STD_COST WHERE PROD_ID = '" + productId(number) + "'");
    }
    bool waitingShown() const { return !dialogText("waiting").isEmpty(); }
    // The dialog's words for the locked product, waiting on a lock or on
    // the server.
    static QString waitingForLock() { return QString::fromUtf8("等候被鎖定的資料列：P0060 Item 0060"); }
    static QString waitingForServer() { return QString::fromUtf8("等候伺服器回應：P0060 Item 0060"); }
    // Whether the dialog has said what, or given up looking after
    // patience: a slow machine may take its time to tell.
    bool says(const QString& what, std::optional<Clock::time_point>& since, Clock::duration patience = 10s) {
        if (!waitingShown()) return false;
        if (!since) since = Clock::now();
        return dialogText("waiting") == what || Clock::now() - *since > patience;
    }
};

TEST_F(StuckWriteBackTest, CancelEndsTheWaitForALockedRowAndNamesItsProduct) {
    auto lock = lockProduct(kLockedProduct);
    QString waiting;
    std::optional<Clock::time_point> shown, cancelled;
    writeBack([&] {
        if (cancelled || !says(waitingForLock(), shown)) return;
        waiting = dialogText("waiting");
        cancelled = Clock::now();
        pressCancel();
    });
    ASSERT_TRUE(cancelled) << "the dialog never said what it waited for";
    const Clock::duration stopping = Clock::now() - *cancelled;
    // Asking the server was enough; the connection stayed.
    EXPECT_LT(stopping, 3s);
    EXPECT_EQ(waiting, waitingForLock());
    ASSERT_EQ(boxes.texts.size(), 1);
    const QString told = boxes.texts.front();
    EXPECT_TRUE(told.startsWith(QString::fromUtf8("回存已取消：已回存 59 筆 (共 120 筆)，停在商品 P0060 Item 0060")))
        << told.toStdString();
    EXPECT_FALSE(told.contains(QString::fromUtf8("3.成本回存"))) << told.toStdString();
    lock.reset();
    EXPECT_EQ(pricedInDatabase(), kLockedProduct - 1);
    EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(kLockedProduct - 1));
}

TEST_F(StuckWriteBackTest, CancelWithTheServerFrozenClosesTheConnectionAndTheNextWriteBackWritesTheBatch) {
    auto lock = lockProduct(kLockedProduct);
    const EventLoopWatch loop(20ms);
    QString beforeFreezing, whileFrozen;
    std::optional<Clock::time_point> shown, frozen, cancelled;
    writeBack([&] {
        if (cancelled) return;
        if (!frozen) {
            if (!says(waitingForLock(), shown)) return;
            beforeFreezing = dialogText("waiting");
            own->pause();
            frozen = Clock::now();
            shown.reset();
            return;
        }
        if (!says(waitingForServer(), shown)) return;
        whileFrozen = dialogText("waiting");
        cancelled = Clock::now();
        pressCancel();
    });
    ASSERT_TRUE(cancelled) << "the dialog never said what it waited for";
    const Clock::duration stopping = Clock::now() - *cancelled;
    EXPECT_EQ(beforeFreezing, waitingForLock());
    // The frozen server noticed within the probe's two seconds, once it
    // asks again.
    EXPECT_EQ(whileFrozen, waitingForServer());
    EXPECT_LT(*cancelled - *frozen, 6s);
    EXPECT_LT(loop.longest(), 200ms);
    // Interrupted after a second, closed three seconds later.
    EXPECT_LT(stopping, 6s);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts.front().contains(QString::fromUtf8("已回存 59 筆"))) << boxes.texts.front().toStdString();
    EXPECT_TRUE(boxes.texts.front().contains(QString::fromUtf8("再按「3.成本回存」"))) << boxes.texts.front().toStdString();
    // The connection was closed under the row's statement, which carries
    // its commit: whether that row was written is not known yet.
    EXPECT_TRUE(boxes.texts.front().contains(QString::fromUtf8("商品 P0060 Item 0060 送出後連線中斷，不知是否已回存")))
        << boxes.texts.front().toStdString();

    own->resume();
    lock.reset();
    EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(pricedInDatabase()));
    EXPECT_EQ(pricedInDatabase(), kLockedProduct - 1);

    // The next press finds out first and writes nothing; the one after it
    // writes the batch.
    boxes.texts.clear();
    writeBack();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts.front().endsWith(QString::fromUtf8("重新連線後查明：已回存 59 筆 (共 120 筆)，之後的商品都未回存")))
        << boxes.texts.front().toStdString();
    EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(kLockedProduct - 1));
    boxes.texts.clear();
    writeBack();
    EXPECT_EQ(boxes.texts, QStringList{QString::fromUtf8("回存完成")});
    EXPECT_EQ(pricedInDatabase(), kProducts);
}

TEST_F(StuckWriteBackTest, NoAnswerForTheTimeoutEndsTheWriteBackAsALostConnection) {
    settings::ServerSettings::setAnswerTimeout(2);
    auto lock = lockProduct(kLockedProduct);
    std::optional<Clock::time_point> frozen;
    writeBack([&] {
        if (frozen || !dialogText("product").contains(QString::fromStdString(productId(kLockedProduct)))) return;
        own->pause();
        frozen = Clock::now();
    });
    ASSERT_TRUE(frozen);
    EXPECT_LT(Clock::now() - *frozen, 5s);
    ASSERT_EQ(boxes.texts.size(), 1);
    const QStringList lines = boxes.texts.front().split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 2) << boxes.texts.front().toStdString();
    // The driver's words first, as for every database error, saying why.
    EXPECT_TRUE(lines.front().startsWith(QStringLiteral("DataLink Error: "))) << lines.front().toStdString();
    EXPECT_TRUE(boxes.texts.front().contains(QStringLiteral("No answer from the server in 2 seconds")))
        << boxes.texts.front().toStdString();
    // Closed under the row's statement, which carries its commit, with the
    // server not there to ask: the row's outcome is not known.
    EXPECT_TRUE(lines.back().startsWith(
        QString::fromUtf8("已回存 59 筆 (共 120 筆)，商品 P0060 Item 0060 送出後連線中斷，不知是否已回存")))
        << lines.back().toStdString();
    EXPECT_TRUE(lines.back().contains(QString::fromUtf8("伺服器恢復後再按「3.成本回存」"))) << lines.back().toStdString();
    own->resume();
    lock.reset();
    EXPECT_EQ(pricedInDatabase(), kLockedProduct - 1);
    EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(kLockedProduct - 1));
}

class QuickWriteBackTest : public WriteBackWindowTest {
protected:
    void SetUp() override { startWindow(3, /*ownServer=*/false); }
};

TEST_F(QuickWriteBackTest, ShowsNoDialogAndEndsAsBefore) {
    bool dialogSeen = false;
    writeBack([&] { dialogSeen = dialogSeen || progressDialog(); });
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(boxes.texts, QStringList{QString::fromUtf8("回存完成")});
    EXPECT_EQ(pricedInDatabase(), 3);
    EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(3));
}

// The server restarted while the window sat idle (every moment counts as
// idle here): the first data view after it finds the dead connection before
// sending anything and connects anew.
TEST_F(StuckWriteBackTest, FirstDataViewAfterAServerRestartWorks) {
    form->setIdleCheckAfter(0ms);
    own->kill();
    own->start();
    view();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    EXPECT_EQ(form->CDS_PRODUCT.rowCount(), 2 * kProducts);
}

// A server restarted a moment after a data view, well within the idle time
// after which a handler checks its connection: the first read of the next
// press meets the dead connection, connects anew and asks again. The data
// view and the review's read before the question both get through.
TEST_F(StuckWriteBackTest, ReadsAfterAServerRestartedASecondAfterADataViewWork) {
    form->setIdleCheckAfter(std::chrono::hours(1));
    const struct {
        const char* name;
        std::function<void()> press;
        std::function<void()> check;
    } cases[] = {
        {"data view", [this] { view(); },
         [this] {
             EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
             EXPECT_EQ(form->CDS_PRODUCT.rowCount(), 3 * kProducts);
         }},
        {"write-back's review",
         [this] {
             QTest::mouseClick(form->SpeedButton2, Qt::LeftButton);
             writeBack();
         },
         [this] {
             EXPECT_EQ(boxes.texts, QStringList{QString::fromUtf8("回存完成")});
             EXPECT_EQ(pricedInDatabase(), kProducts);
         }},
    };
    for (const auto& read : cases) {
        SCOPED_TRACE(read.name);
        boxes.texts.clear();
        view();
        ASSERT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
        QTest::qWait(1000);
        own->kill();
        own->start();
        boxes.texts.clear();
        read.press();
        read.check();
    }
}

// The data view reads on a thread of its own: against a frozen server the
// window goes on repainting, the dialog says what it reads, and Cancel ends
// the read within seconds with no row appended. The next data view connects
// anew once the server is back.
TEST_F(StuckWriteBackTest, DataViewOfAFrozenServerShowsTheDialogAndCancelEndsItAppendingNothing) {
    // Long enough that only Cancel can end the read in this test's time.
    settings::ServerSettings::setAnswerTimeout(20);
    const EventLoopWatch loop(20ms);
    own->pause();
    QString what, key;
    std::optional<Clock::time_point> cancelled;
    const Clock::time_point started = Clock::now();
    view([&] {
        if (cancelled || !progressDialog()) return;
        what = dialogText("count");
        key = dialogText("product");
        cancelled = Clock::now();
        pressCancel();
    });
    ASSERT_TRUE(cancelled) << "the data view showed no dialog";
    const Clock::time_point ended = Clock::now();
    EXPECT_LT(*cancelled - started, 2s);
    EXPECT_LT(ended - *cancelled, 5s);
    EXPECT_LT(loop.longest(), 200ms);
    EXPECT_EQ(what, QString::fromUtf8("讀取商品資料…"));
    EXPECT_EQ(key, QStringLiteral("A1"));
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    EXPECT_EQ(form->CDS_PRODUCT.rowCount(), kProducts) << "the cancelled data view changed the table";

    own->resume();
    view();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    EXPECT_EQ(form->CDS_PRODUCT.rowCount(), 2 * kProducts);
}

// The read of the current prices before the question, against a frozen
// server: the dialog says what it reads, and Cancel ends the press with no
// question asked and nothing written.
TEST_F(StuckWriteBackTest, ReviewOfAFrozenServerCancelledAsksNothingAndWritesNothing) {
    settings::ServerSettings::setAnswerTimeout(20);
    const qsizetype journalsBefore = journal::journalFiles(journals).size();
    bool asked = false;
    boxes.onBox = [&asked](QMessageBox& box) {
        asked = asked || box.windowTitle() == QStringLiteral("Confirm");
        return false;
    };
    own->pause();
    QString what, detail;
    std::optional<Clock::time_point> cancelled;
    writeBack([&] {
        if (cancelled || !progressDialog()) return;
        what = dialogText("count");
        detail = dialogText("product");
        cancelled = Clock::now();
        pressCancel();
    });
    ASSERT_TRUE(cancelled) << "the review's read showed no dialog";
    EXPECT_LT(Clock::now() - *cancelled, 5s);
    EXPECT_EQ(what, QString::fromUtf8("讀取商品資料…"));
    EXPECT_TRUE(detail.contains(QString::number(kProducts))) << detail.toStdString();
    EXPECT_FALSE(asked);
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    own->resume();
    EXPECT_EQ(pricedInDatabase(), 0);
    EXPECT_EQ(journal::journalFiles(journals).size(), journalsBefore);
}

// A server that froze while the question was open: the check of the idle
// connection after Yes waits on the worker, so the window keeps turning and
// the progress dialog comes; nothing is written.
TEST_F(StuckWriteBackTest, ServerFrozenWhileTheQuestionIsOpenKeepsTheWindowTurning) {
    settings::ServerSettings::setAnswerTimeout(3);
    form->setIdleCheckAfter(0ms);
    boxes.onBox = [this](QMessageBox& box) {
        if (box.windowTitle() == QStringLiteral("Confirm")) own->pause();
        return false;
    };
    Clock::duration longestPause{};
    std::optional<Clock::time_point> last;
    bool dialogShown = false;
    writeBack([&] {
        const Clock::time_point now = Clock::now();
        if (last) longestPause = std::max(longestPause, now - *last);
        last = now;
        dialogShown = dialogShown || progressDialog();
    });
    own->resume();
    EXPECT_TRUE(dialogShown) << "no progress dialog while the frozen server was waited for";
    EXPECT_LT(longestPause, 1500ms) << "the window stood still while the frozen server was waited for";
    EXPECT_EQ(pricedInDatabase(), 0);
}

// The answer timeout ends a data view's wait for a frozen server by itself,
// and the next data view connects anew once the server is back.
TEST_F(StuckWriteBackTest, DataViewOfAFrozenServerEndsAfterTheAnswerTimeoutAndTheNextOneWorks) {
    settings::ServerSettings::setAnswerTimeout(2);
    own->pause();
    const Clock::time_point started = Clock::now();
    view();
    EXPECT_LT(Clock::now() - started, 7s);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts.front().contains(QStringLiteral("No answer from the server in 2 seconds")))
        << boxes.texts.front().toStdString();
    EXPECT_EQ(form->CDS_PRODUCT.rowCount(), kProducts) << "the failed data view changed the table";

    own->resume();
    boxes.texts.clear();
    view();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    EXPECT_EQ(form->CDS_PRODUCT.rowCount(), 2 * kProducts);
}

// The check of a connection that sat idle (every moment counts as idle
// here) gets no answer from a frozen server: the operator is told so at once, not after a connect that would
// wait as long again and fail with vaguer words.
TEST_F(StuckWriteBackTest, DataViewAfterIdleWithTheServerFrozenSaysTheServerDidNotAnswer) {
    settings::ServerSettings::setAnswerTimeout(2);
    form->setIdleCheckAfter(0ms);
    own->pause();
    const Clock::time_point started = Clock::now();
    view();
    EXPECT_LT(Clock::now() - started, 5s);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts.front().contains(QStringLiteral("No answer from the server in 2 seconds")))
        << boxes.texts.front().toStdString();
    own->resume();
    boxes.texts.clear();
    view();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    EXPECT_EQ(form->CDS_PRODUCT.rowCount(), 2 * kProducts);
}

enum class Mode { RowByRow, OneTransaction };
enum class Ending { Cancel, Refusal, LostConnection, AnswerTimeout };

struct EndCase {
    const char* name;
    Mode mode;
    Ending ending;
};

void PrintTo(const EndCase& end, std::ostream* out) { *out << end.name; }

// The 60th of 120 rows meets a locked row, a refusal, a server killed or
// one that stops answering, or Cancel: whatever the box says the database
// holds, it holds. Row by row that is the 59 rows before it, in one
// transaction none, and the box then counts no rows at all.
class EndBoxCountTest : public StuckWriteBackTest, public testing::WithParamInterface<EndCase> {
protected:
    void TearDown() override {
        settings::WriteBackSettings::setOneTransaction(false);
        StuckWriteBackTest::TearDown();
    }
    // The rows the box says were written; nothing when it counts none.
    static std::optional<int> countTold(const QString& box) {
        const QRegularExpressionMatch match = QRegularExpression(QString::fromUtf8("已回存 (\\d+) 筆")).match(box);
        if (!match.hasMatch()) return std::nullopt;
        return match.captured(1).toInt();
    }
};

TEST_P(EndBoxCountTest, TheBoxCountsWhatTheDatabaseHolds) {
    const EndCase& end = GetParam();
    const bool oneTransaction = end.mode == Mode::OneTransaction;
    settings::WriteBackSettings::setOneTransaction(oneTransaction);
    if (end.ending == Ending::AnswerTimeout) settings::ServerSettings::setAnswerTimeout(2);
    std::unique_ptr<HeldRowLock> lock;
    if (end.ending == Ending::Refusal) {
        DirectClient client(address, "SYSDBA", server.password);
        client.execute("ALTER TABLE PRODUCT ADD CONSTRAINT NOT_P0060 CHECK (PROD_ID <> '" + productId(kLockedProduct) +
                       "' OR SALE_PRICE IS NULL)");
    } else {
        lock = lockProduct(kLockedProduct);
    }
    QString countShown;
    bool acted = false;
    std::optional<Clock::time_point> shown;
    writeBack([&] {
        if (acted) return;
        const bool atTheRow = dialogText("product").contains(QString::fromStdString(productId(kLockedProduct)));
        switch (end.ending) {
            case Ending::Cancel:
                if (!says(waitingForLock(), shown)) return;
                countShown = dialogText("count");
                pressCancel();
                break;
            case Ending::LostConnection:
                if (!atTheRow) return;
                own->kill();
                break;
            case Ending::AnswerTimeout:
                if (!atTheRow) return;
                own->pause();
                break;
            case Ending::Refusal:
                return;
        }
        acted = true;
    });
    ASSERT_TRUE(acted || end.ending == Ending::Refusal);
    ASSERT_EQ(boxes.texts.size(), 1);
    const QString told = boxes.texts.front();
    if (end.ending == Ending::LostConnection) own->start();
    own->resume();
    lock.reset();

    const int priced = pricedInDatabase();
    EXPECT_EQ(priced, oneTransaction ? 0 : kLockedProduct - 1);
    EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(priced));
    if (oneTransaction) {
        EXPECT_EQ(countTold(told), std::nullopt) << told.toStdString();
        EXPECT_TRUE(told.contains(QString::fromUtf8("整批已復原，沒有寫入任何價格"))) << told.toStdString();
        if (end.ending == Ending::Cancel) {
            EXPECT_EQ(countShown, QString::fromUtf8("已送出 59 / 120 筆（整批在最後一起寫入）"));
        }
    } else {
        EXPECT_EQ(countTold(told), std::optional<int>(priced)) << told.toStdString();
    }
    EXPECT_FALSE(told.contains(QString::fromUtf8("回存完成"))) << told.toStdString();

    // A row whose commit was on its way when the connection went is looked
    // at by the next press, which says what the database holds.
    if (told.contains(QString::fromUtf8("不知是否"))) {
        boxes.texts.clear();
        writeBack();
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_EQ(countTold(boxes.texts.front()), std::optional<int>(priced)) << boxes.texts.front().toStdString();
        EXPECT_TRUE(boxes.texts.front().contains(QString::fromUtf8("查明"))) << boxes.texts.front().toStdString();
        EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(priced));
        EXPECT_EQ(pricedInDatabase(), priced);
    }
}

INSTANTIATE_TEST_SUITE_P(
    RowByRowAndOneTransaction, EndBoxCountTest,
    testing::Values(EndCase{"RowByRowCancel", Mode::RowByRow, Ending::Cancel},
                    EndCase{"RowByRowRefusal", Mode::RowByRow, Ending::Refusal},
                    EndCase{"RowByRowLostConnection", Mode::RowByRow, Ending::LostConnection},
                    EndCase{"RowByRowAnswerTimeout", Mode::RowByRow, Ending::AnswerTimeout},
                    EndCase{"OneTransactionCancel", Mode::OneTransaction, Ending::Cancel},
                    EndCase{"OneTransactionRefusal", Mode::OneTransaction, Ending::Refusal},
                    EndCase{"OneTransactionLostConnection", Mode::OneTransaction, Ending::LostConnection},
                    EndCase{"OneTransactionAnswerTimeout", Mode::OneTransaction, Ending::AnswerTimeout}),
    [](const testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

// A journal disk whose closing count takes its time to reach the disk.
class SlowClosingDisk : public journal::JournalDisk {
public:
    ssize_t rewrite(int file, const char* data, std::size_t size, off_t at) override {
        closing = true;
        std::this_thread::sleep_for(1500ms);
        return journal::JournalDisk::rewrite(file, data, size, at);
    }
    std::atomic<bool> closing{false};
};

// Cancel pressed after the last row, while the journal's closing count
// goes onto the disk: no database call is on its way, so nothing is
// interrupted, and the connection stays as healthy as it was.
TEST_F(QuickWriteBackTest, CancelAfterTheLastRowLeavesTheConnectionAlone) {
    auto disk = std::make_shared<SlowClosingDisk>();
    QTemporaryDir folder;
    batch::TPriceWriteBack writeBack(form->SQLQuery1, journal::JournalSettings{true, folder.path(), disk});
    batch::TListedPriceRows rows = tableRows();
    form->SQLConnection1.open();
    ui::WriteBackTimes times;
    times.raiseAfter = 100ms;
    times.abortAfter = 200ms;
    ui::TWriteBackRunner runner(form.get(), db::TConnectionInterrupt(form->SQLConnection1), times);
    QTimer press;
    press.setInterval(20);
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (disk->closing) runner.cancel();
    });
    press.start();
    runner.run(writeBack, rows, {});
    press.stop();
    EXPECT_TRUE(runner.cancelled());
    EXPECT_EQ(runner.end().written, 3u);
    EXPECT_EQ(writeBack.written(), 3u);
    ASSERT_TRUE(form->SQLConnection1.connected());
    EXPECT_FALSE(form->SQLConnection1.disconnectIfDead()) << "Cancel closed a connection with nothing in flight";
    EXPECT_EQ(pricedInDatabase(), 3);
}

// The runner's own answer timeout, a backstop behind the connection's:
// it closes the connection under the row a lock holds, and the write-back
// ends as a failure whose count is what the database holds (the row in
// flight looked at again at once, over a connection of its own).
TEST_F(QuickWriteBackTest, RunnersOwnAnswerTimeoutIsAFailureCountingWhatTheDatabaseHolds) {
    auto lock = std::make_unique<HeldRowLock>(address, server.password,
                                              "UPDATE PRODUCT SET STD_COST = STD_COST WHERE PROD_ID = 'P0002'");
    batch::TPriceWriteBack writeBack(form->SQLQuery1, journal::JournalSettings::load());
    batch::TListedPriceRows rows = tableRows();
    form->SQLConnection1.open();
    ui::WriteBackTimes times;
    times.answerTimeout = 1s;
    ui::TWriteBackRunner runner(form.get(), db::TConnectionInterrupt(form->SQLConnection1), times);
    std::string error;
    try {
        runner.run(writeBack, rows, {});
        ADD_FAILURE() << "the write-back went past a row held by another transaction";
    } catch (const rt::DatabaseError& failure) {
        EXPECT_TRUE(failure.driverFailure().connectionLost) << failure.what();
        error = failure.what();
    }
    EXPECT_TRUE(runner.timedOut());
    batch::WriteBackEnd end = runner.end();
    end.connectionLost = true;
    EXPECT_FALSE(end.inDoubt);
    const QString told = big5::toUnicode(batch::stoppedByErrorMessage(error, end));
    lock.reset();
    EXPECT_EQ(pricedInDatabase(), 1);
    EXPECT_EQ(end.written, 1u);
    EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(1));
    EXPECT_TRUE(told.contains(QString::fromUtf8("已回存 1 筆 (共 3 筆)，停在商品 P0002 Item 0002"))) << told.toStdString();
}

// Cancel while the one transaction's commit is on its way, the server
// frozen under it for longer than Cancel's interruption and closing take:
// the commit is never interrupted, its answer comes once the server thaws,
// and every row is written and counted.
TEST_F(StuckWriteBackTest, CancelDuringTheOneTransactionsCommitWaitsForItsAnswer) {
    settings::WriteBackSettings::setOneTransaction(true);
    const rt::ScopeGuard rowByRow([] { settings::WriteBackSettings::setOneTransaction(false); });
    batch::TPriceWriteBack writeBack(form->SQLQuery1, journal::JournalSettings::load());
    batch::TListedPriceRows rows = tableRows();
    form->SQLConnection1.open();
    ui::WriteBackTimes times;
    times.raiseAfter = 200ms;
    times.abortAfter = 500ms;
    ui::TWriteBackRunner runner(form.get(), db::TConnectionInterrupt(form->SQLConnection1), times);
    std::atomic<bool> committing{false};
    batch::WriteBackSteps steps;
    steps.phase = [&](batch::WriteBackPhase phase) {
        if (phase != batch::WriteBackPhase::Committing) return;
        own->pause();
        committing = true;
    };
    std::optional<Clock::time_point> cancelled;
    QString waiting;
    QTimer script;
    script.setInterval(20);
    QObject::connect(&script, &QTimer::timeout, [&] {
        if (!committing) return;
        if (!cancelled) {
            runner.cancel();
            cancelled = Clock::now();
        } else if (waiting.isEmpty() && !dialogText("waiting").isEmpty() &&
                   dialogText("waiting") != QString::fromUtf8("正在停止，寫入中的這一筆結束後就停…")) {
            waiting = dialogText("waiting");
        } else if (Clock::now() - *cancelled > 2s && (!waiting.isEmpty() || Clock::now() - *cancelled > 6s)) {
            own->resume();
        }
    });
    script.start();
    runner.run(writeBack, rows, steps);
    script.stop();
    ASSERT_TRUE(cancelled);
    EXPECT_GE(Clock::now() - *cancelled, 2s);
    // The stuck commit is shown as a wait for the server.
    EXPECT_EQ(waiting, QString::fromUtf8("等候伺服器回應：整批價格的寫入"));
    const batch::WriteBackEnd end = runner.end();
    EXPECT_EQ(end.written, std::size_t(kProducts));
    EXPECT_FALSE(end.inDoubt);
    EXPECT_TRUE(form->SQLConnection1.connected());
    EXPECT_EQ(pricedInDatabase(), kProducts);
    EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(kProducts));
}

// The write-back's end ends the question about a stuck row while the probe
// still connects to a frozen server; the program's end then waits for it
// no longer than the probe's time and a second, and once that wait is
// over the question's thread holds nothing of the probe any more.
TEST_F(StuckWriteBackTest, ProgramsEndWaitsForTheQuestionOutWithinTheProbesTime) {
    form->SQLConnection1.open();
    auto probe = std::make_shared<db::TRowWaitProbe>(form->SQLConnection1, 2s, catalog::productRowSelect());
    own->pause();
    {
        ui::TRowWaitWatch watch(probe);
        EXPECT_EQ(watch.look(productId(1), Clock::now()), std::nullopt);
        std::this_thread::sleep_for(300ms);
    }
    const Clock::time_point ending = Clock::now();
    ui::TRowWaitWatch::awaitQuestions();
    EXPECT_LT(Clock::now() - ending, probe->answerWithin() + 1s);
    EXPECT_EQ(probe.use_count(), 1) << "a question's thread was left behind";
    own->resume();
}

}  // namespace
