// The question a stuck write-back asks about its row, against real servers:
// a row another transaction holds, a free row, a frozen server and a server
// that is gone, each told apart within the probe's time and without
// touching the row.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "DataLinkStore.h"
#include "DirectClient.h"
#include "HeldRowLock.h"
#include "LocalServer.h"
#include "PointOfSaleSchema.h"
#include "ProductStatements.h"
#include "RowWaitProbe.h"
#include "TDataLinkConnection.h"
#include "TestDatabase.h"

namespace batch {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

enum class Server { Answering, Frozen, Gone };
enum class Row { Free, Held };

struct ProbeCase {
    const char* name;
    Server server;
    Row row;
    db::RowWait expected;
};

void PrintTo(const ProbeCase& probeCase, std::ostream* out) { *out << probeCase.name; }

class ProbeServerTest : public testing::Test {
protected:
    void SetUp() override {
        own = testsupport::OwnServer::startIfPossible();
        if (!own) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
        database.execute({testsupport::kProductTable, "INSERT INTO PRODUCT (PROD_ID, SALE_PRICE) VALUES ('P1', 10)"});
        address = database.serverName(own->server().address());
        testsupport::ConfigurationFiles files;
        files.database = address;
        files.password = own->server().password;
        database.writeConfiguration(configuration.path().toStdString(), files);
        testsupport::DataLinkStore::pointAt(configuration.path());
        connection = std::make_unique<db::TDataLinkConnection>("SQLConnection1");
        connection->applyStoredProperties();
        connection->open();
    }
    void TearDown() override {
        if (own) own->resume();
    }

    std::unique_ptr<testsupport::OwnServer> own;
    testsupport::TestDatabase database;
    std::string address;
    QTemporaryDir configuration;
    std::unique_ptr<db::TDataLinkConnection> connection;
};

class RowWaitProbeTest : public ProbeServerTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(RowWaitProbeTest, AnswersWhatTheRowWaitsForWithinItsTime) {
    const ProbeCase& probeCase = GetParam();
    std::unique_ptr<testsupport::HeldRowLock> lock;
    if (probeCase.row == Row::Held)
        lock = std::make_unique<testsupport::HeldRowLock>(address, own->server().password,
                                                          "UPDATE PRODUCT SET SALE_PRICE = 11 WHERE PROD_ID = 'P1'");
    db::TRowWaitProbe probe(*connection, 2s, catalog::productRowSelect());
    if (probeCase.server == Server::Frozen) own->pause();
    if (probeCase.server == Server::Gone) own->kill();

    const Clock::time_point started = Clock::now();
    EXPECT_EQ(probe.ask("P1"), probeCase.expected);
    const Clock::duration answered = Clock::now() - started;
    EXPECT_LT(answered, 3s);
    // A frozen server takes the connection and then says nothing: only the
    // probe's time ends the question. A refusal comes at once.
    if (probeCase.server == Server::Frozen) {
        EXPECT_GE(answered, 1500ms);
    }
    if (probeCase.server == Server::Gone) {
        EXPECT_LT(answered, 1s);
    }

    if (probeCase.server == Server::Gone) own->start();
    own->resume();
    lock.reset();
    // Only read: the row is as the other transaction left it (rolled back).
    testsupport::DirectClient client(address, "SYSDBA", own->server().password);
    EXPECT_EQ(client.select("SELECT SALE_PRICE FROM PRODUCT WHERE PROD_ID = 'P1'").front()[0].toDouble(), 10.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RowWaitProbeTest,
    testing::Values(ProbeCase{"RowHeldByAnotherTransaction", Server::Answering, Row::Held, db::RowWait::LockedRow},
                    ProbeCase{"FreeRowOfAnAnsweringServer", Server::Answering, Row::Free, db::RowWait::FreeRow},
                    ProbeCase{"FrozenServer", Server::Frozen, Row::Free, db::RowWait::Server},
                    ProbeCase{"FrozenServerWithTheRowHeld", Server::Frozen, Row::Held, db::RowWait::Server},
                    ProbeCase{"NothingListensOnTheServersPort", Server::Gone, Row::Free, db::RowWait::Refused}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

// The window's end ends the question out while the probe still connects
// to a frozen server; the server then takes the connection after all and
// freezes again. The probe reads nothing once ended and every call of its
// own waits no longer than its time: the question is over within it, and
// the thread asking it is not left behind.
TEST_F(ProbeServerTest, AbortWhileConnectingToAFrozenServerEndsTheQuestionWithinItsTime) {
    db::TRowWaitProbe probe(*connection, 2s, catalog::productRowSelect());
    own->pause();
    std::promise<db::RowWait> answer;
    std::future<db::RowWait> answered = answer.get_future();
    std::thread asking([&] { answer.set_value(probe.ask("P1")); });
    std::this_thread::sleep_for(300ms);
    const Clock::time_point aborted = Clock::now();
    probe.abort();
    own->resume();
    std::this_thread::sleep_for(200ms);
    own->pause();
    const bool inTime = answered.wait_for(probe.answerWithin() + 1s) == std::future_status::ready;
    const Clock::duration took = Clock::now() - aborted;
    // Thawed, so that a question left waiting can end and be joined.
    own->resume();
    asking.join();
    EXPECT_TRUE(inTime) << "the question outlived the probe's time by more than a second";
    EXPECT_LT(took, probe.answerWithin() + 1s);
    EXPECT_EQ(answered.get(), db::RowWait::Server);
}

}  // namespace
}  // namespace batch
