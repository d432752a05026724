// A write-back that meets a row locked by another user or a server that has
// stopped answering: the window keeps running, Cancel and the answer timeout
// end it, and what the journal says was written is what PRODUCT holds.
//
// The server is frozen while the write-back waits on a locked row: the
// statement in flight is then known to be the UPDATE, never its commit, so
// that whether the row was written is certain afterwards.
#include "WriteBackWindow.h"

#include "HeldRowLock.h"
#include "ServerSettings.h"

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

    own->resume();
    lock.reset();
    EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(pricedInDatabase()));
    EXPECT_EQ(pricedInDatabase(), kLockedProduct - 1);

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
    EXPECT_TRUE(lines.back().startsWith(QString::fromUtf8("已回存 59 筆 (共 120 筆)，停在商品 P0060 Item 0060")))
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

}  // namespace
