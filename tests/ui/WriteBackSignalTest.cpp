// TERM and INT reaching the program during a write-back, or while an error
// box waits for the operator. The signals are taken from the process exactly
// as the program takes them, before anything else starts a thread.
#include <signal.h>
#include <unistd.h>

#include "TerminationSignals.h"
#include "WriteBackWindow.h"

namespace {

using namespace testsupport;

const PrivateSettingsFolders g_settings;
const ui::TerminationSignals g_signals;

constexpr int kProducts = 3000;

class SignalDuringWriteBackTest : public WriteBackWindowTest, public testing::WithParamInterface<int> {
protected:
    void SetUp() override { startWindow(kProducts, /*ownServer=*/false); }
};

TEST_P(SignalDuringWriteBackTest, StopsAfterTheRowInFlightClosesTheJournalAndEndsWithoutABox) {
    std::optional<Clock::time_point> signalled;
    writeBack([&] {
        // Once rows are being written, past the journal's reads.
        const QString count = dialogText("count");
        if (signalled || count.isEmpty() || count.contains(QString::fromUtf8("已回存 0 /"))) return;
        signalled = Clock::now();
        ::kill(::getpid(), GetParam());
    });
    ASSERT_TRUE(signalled) << "the write-back ended before its dialog showed";
    EXPECT_LT(Clock::now() - *signalled, 1s);
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    EXPECT_EQ(ui::exitStatusAfterSignal(), std::optional<int>(128 + GetParam()));
    EXPECT_FALSE(form->isVisible());
    const int written = pricedInDatabase();
    EXPECT_GT(written, 0);
    EXPECT_LT(written, kProducts);
    EXPECT_EQ(newestJournalCount(), std::optional<std::size_t>(written));
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, SignalDuringWriteBackTest, testing::Values(SIGTERM, SIGINT),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

class SignalAtTheQuestionTest : public WriteBackWindowTest, public testing::WithParamInterface<int> {
protected:
    void SetUp() override { startWindow(3, /*ownServer=*/false); }
};

// The signal answers the question No: nothing is written, no journal is
// begun, no box follows, and the program ends with the signal's status.
TEST_P(SignalAtTheQuestionTest, AnswersNoWritesNothingAndEndsWithTheSignalsStatus) {
    const qsizetype journalsBefore = journal::journalFiles(journals).size();
    bool asked = false;
    boxes.onBox = [&](QMessageBox& shown) {
        if (shown.windowTitle() != QStringLiteral("Confirm")) return false;
        asked = true;
        ::kill(::getpid(), GetParam());
        // Left open by the signal, the question gets the operator's Yes a
        // moment later.
        QPointer<QMessageBox> box(&shown);
        QTimer::singleShot(1000, [box] {
            if (!box) return;
            for (QAbstractButton* button : box->buttons())
                if (button->text() == QStringLiteral("&Yes")) return button->click();
        });
        return true;
    };
    writeBack();
    ASSERT_TRUE(asked);
    for (int turn = 0; turn < 100 && form->isVisible(); ++turn) QTest::qWait(20);
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    EXPECT_EQ(ui::exitStatusAfterSignal(), std::optional<int>(128 + GetParam()));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(pricedInDatabase(), 0);
    EXPECT_EQ(journal::journalFiles(journals).size(), journalsBefore);
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, SignalAtTheQuestionTest, testing::Values(SIGTERM, SIGINT),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

class SignalAtAnErrorBoxTest : public WriteBackWindowTest {
protected:
    void SetUp() override { startWindow(3, /*ownServer=*/false); }
};

// The signal waits for the operator's answer; the program ends after it.
TEST_F(SignalAtAnErrorBoxTest, LeavesTheBoxForTheOperator) {
    DirectClient(address, "SYSDBA", server.password)
        .execute("ALTER TABLE PRODUCT ADD CONSTRAINT SANE_PRICE CHECK (SALE_PRICE <> 115)");
    bool openAfterTheSignal = false;
    boxes.onBox = [&](QMessageBox& shown) {
        if (shown.icon() != QMessageBox::Critical) return false;
        ::kill(::getpid(), SIGTERM);
        QPointer<QMessageBox> box(&shown);
        QTimer::singleShot(600, [box, &openAfterTheSignal] {
            openAfterTheSignal = box && box->isVisible();
            if (box) box->button(QMessageBox::Ok)->click();
        });
        return true;
    };
    writeBack();
    EXPECT_TRUE(openAfterTheSignal);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts.front().contains(QStringLiteral("SANE_PRICE"))) << boxes.texts.front().toStdString();
    for (int turn = 0; turn < 50 && form->isVisible(); ++turn) QTest::qWait(20);
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
