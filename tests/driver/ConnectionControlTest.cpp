// The driver's control requests against a real server: the idle check that
// finds a dead attachment before anything is sent on it, and the two ways of
// ending a call in flight from another thread.
#include <gtest/gtest.h>

#include <ibase.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#include "DriverSession.h"
#include "HeldRowLock.h"
#include "LocalServer.h"
#include "TestDatabase.h"

namespace {

using namespace std::chrono_literals;
using drivertest::Session;
using testsupport::TestDatabase;

class ConnectionControl : public testing::Test {
protected:
    void SetUp() override {
        own = testsupport::OwnServer::startIfPossible();
        if (!own) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
        database.execute({"CREATE TABLE T (A INTEGER)", "INSERT INTO T VALUES (1)"});
        name = database.serverName(own->server().address());
        ASSERT_EQ(session.connect(name, "sysdba", own->server().password), 0) << session.lastError();
    }
    void TearDown() override {
        if (own) own->resume();
    }
    dl::DriverResult control(std::int32_t request) { return session.connection()->control(request); }

    // An UPDATE of the locked row, started on a thread of its own; it waits.
    std::future<int> updateLockedRow() {
        lock = std::make_unique<testsupport::HeldRowLock>(name, own->server().password, "UPDATE T SET A = 3");
        auto waiting = std::async(std::launch::async, [this] { return session.tryExecute("UPDATE T SET A = 2"); });
        EXPECT_EQ(waiting.wait_for(1500ms), std::future_status::timeout) << "the update did not wait for the lock";
        return waiting;
    }

    std::unique_ptr<testsupport::OwnServer> own;
    TestDatabase database;
    std::string name;
    Session session;
    std::unique_ptr<testsupport::HeldRowLock> lock;
};

TEST_F(ConnectionControl, CheckOfALiveAttachmentPassesAndOfOneWhoseServerRestartedSaysLost) {
    EXPECT_EQ(control(dl::control::CheckAttachment), dl::status::Success);
    own->kill();
    own->start();
    EXPECT_EQ(control(dl::control::CheckAttachment), dl::status::SqlError);
    EXPECT_TRUE(drivertest::errorCodes(session.connection()).connectionLost)
        << drivertest::errorText(session.connection());
}

TEST_F(ConnectionControl, RequestsWithNothingInFlightOrUnknownAreAnsweredByStatus) {
    EXPECT_EQ(control(dl::control::CancelRaise), dl::status::Success);
    EXPECT_EQ(session.execute("UPDATE T SET A = 2"), 1);
    EXPECT_EQ(control(0), dl::status::InvalidParameter);
    EXPECT_EQ(drivertest::errorText(session.connection()), "Unknown control request 0");
    EXPECT_EQ(control(99), dl::status::InvalidParameter);
}

TEST_F(ConnectionControl, RaiseEndsAStatementWaitingOnALockAndKeepsTheAttachment) {
    std::future<int> waiting = updateLockedRow();
    EXPECT_EQ(control(dl::control::CancelRaise), dl::status::Success);
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), dl::status::SqlError);
    EXPECT_EQ(session.lastCodes().serverCode, isc_cancelled) << session.lastError();
    EXPECT_FALSE(session.lastCodes().connectionLost);
    lock.reset();
    EXPECT_EQ(session.execute("UPDATE T SET A = 4"), 1);
}

TEST_F(ConnectionControl, AbortEndsAStatementToAFrozenServerAsALostAttachment) {
    std::future<int> waiting = updateLockedRow();
    own->pause();
    EXPECT_EQ(control(dl::control::CancelRaise), dl::status::Success);
    EXPECT_EQ(waiting.wait_for(1500ms), std::future_status::timeout) << "a frozen server ended the statement";
    EXPECT_EQ(control(dl::control::CancelAbort), dl::status::Success);
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_NE(waiting.get(), 0);
    EXPECT_TRUE(session.lastCodes().connectionLost) << session.lastError();
    own->resume();
    lock.reset();
    ASSERT_EQ(session.connect(name, "sysdba", own->server().password), 0) << session.lastError();
    EXPECT_EQ(session.execute("UPDATE T SET A = 5"), 1);
}

// The answer timeout: a call the server leaves unanswered that long ends
// as a lost attachment that says why, whatever thread made it.
TEST_F(ConnectionControl, AnswerTimeoutEndsACallToAFrozenServerAsALostAttachmentThatSaysWhy) {
    ASSERT_EQ(session.connection()->setOption(dl::connopt::AnswerTimeout, 2), dl::status::Success);
    own->pause();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_NE(session.tryExecute("UPDATE T SET A = 2"), 0);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, 2s);
    EXPECT_LT(waited, 6s);
    EXPECT_EQ(session.lastError().rfind("No answer from the server in 2 seconds: the connection was closed.", 0), 0u)
        << session.lastError();
    EXPECT_TRUE(session.lastCodes().connectionLost);
    own->resume();
    ASSERT_EQ(session.connect(name, "sysdba", own->server().password), 0) << session.lastError();
    EXPECT_EQ(session.execute("UPDATE T SET A = 5"), 1);
}

TEST_F(ConnectionControl, AnswerTimeoutLimitsEachCallNotTheirSum) {
    ASSERT_EQ(session.connection()->setOption(dl::connopt::AnswerTimeout, 1), dl::status::Success);
    const auto until = std::chrono::steady_clock::now() + 2500ms;
    int statements = 0;
    while (std::chrono::steady_clock::now() < until) {
        ASSERT_EQ(session.tryExecute("UPDATE T SET A = A + 1"), 0) << session.lastError();
        ++statements;
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_GT(statements, 10);
    EXPECT_EQ(session.select("SELECT A FROM T").size(), 1u);
}

TEST_F(ConnectionControl, CheckOfAFrozenServerEndsWithinTheAnswerTimeout) {
    ASSERT_EQ(session.connection()->setOption(dl::connopt::AnswerTimeout, 2), dl::status::Success);
    own->pause();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(control(dl::control::CheckAttachment), dl::status::SqlError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 6s);
    EXPECT_TRUE(drivertest::errorCodes(session.connection()).connectionLost)
        << drivertest::errorText(session.connection());
}

TEST_F(ConnectionControl, AnswerTimeoutOutsideNoneToADayIsRefused) {
    for (const std::int64_t seconds : {std::int64_t(-1), std::int64_t(86401), std::int64_t(1) << 40}) {
        EXPECT_EQ(session.connection()->setOption(dl::connopt::AnswerTimeout, seconds), dl::status::InvalidParameter)
            << seconds;
        EXPECT_EQ(drivertest::errorText(session.connection()),
                  "Answer timeout " + std::to_string(seconds) + " is not 0 to 86400 seconds");
    }
    EXPECT_EQ(session.connection()->setOption(dl::connopt::AnswerTimeout, 0), dl::status::Success);
    EXPECT_EQ(session.connection()->setOption(dl::connopt::AnswerTimeout, 86400), dl::status::Success);
}

}  // namespace

namespace {

// Two test runs that start the private server on one state folder at the
// same moment: one starts it, the other fails at once with a clear reason
// rather than starting on the root folder the first is still building.
TEST(ServerScript, OfTwoStartsOnOneStateFolderOneStartsAndTheOtherFailsCleanly) {
    const char* script = std::getenv("TARVELL_FB_SCRIPT");
    if (!script || !*script) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
    char folder[] = "/tmp/tarvell-start-race-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    ASSERT_EQ(chmod(folder, 0711), 0);  // the server's user passes through it under root
    const std::string environment = "TARVELL_FB_PORT= TARVELL_FB_STATE='" + std::string(folder) + "/state' TARVELL_FB_OWNER=" +
                                     std::to_string(getpid()) + " '" + script + "' ";
    FILE* first = popen((environment + "start 2>&1").c_str(), "r");
    FILE* second = popen((environment + "start 2>&1").c_str(), "r");
    ASSERT_TRUE(first && second);
    const auto finish = [](FILE* pipe, std::string& output) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string firstOutput, secondOutput;
    const int firstStatus = finish(first, firstOutput);
    const int secondStatus = finish(second, secondOutput);
    std::system((environment + "kill >/dev/null 2>&1").c_str());
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());

    EXPECT_EQ((firstStatus == 0) + (secondStatus == 0), 1) << firstOutput << "\n---\n" << secondOutput;
    const std::string& lost = firstStatus == 0 ? secondOutput : firstOutput;
    EXPECT_NE(lost.find("another start is using"), std::string::npos) << lost;
}

}  // namespace
