// The Firebird driver library through the private server the test command
// starts (tests/support/firebird/LocalServer.h); skipped without it.
#include "DriverSession.h"

#include <DirectClient.h>
#include <LocalServer.h>
#include <TestDatabase.h>
#include <gtest/gtest.h>
#include <ibase.h>

using drivertest::Row;
using drivertest::Session;
using testsupport::DirectClient;
using testsupport::TestDatabase;

namespace {

class FirebirdServer : public testing::Test {
protected:
    void SetUp() override {
        const auto server = testsupport::LocalServer::fromEnvironment();
        if (!server) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
        server_ = *server;
    }
    testsupport::LocalServer server_;
};

}  // namespace

TEST_F(FirebirdServer, ReadsAndWritesThroughTheServer) {
    TestDatabase database;
    database.execute({"CREATE TABLE PRODUCT (PROD_ID VARCHAR(20) NOT NULL PRIMARY KEY, PRICE1 NUMERIC(15,2))",
                      "INSERT INTO PRODUCT VALUES ('P1', 10)", "INSERT INTO PRODUCT VALUES ('P2', 20)"});
    {
        Session session;
        // The port option joins the host as the client expects it: host/port:path.
        if (!server_.port.empty()) session.connection()->setOptionText(dl::connopt::ServerPort, server_.port.c_str());
        ASSERT_EQ(session.connect(database.serverName(server_.host), "sysdba", server_.password), 0)
            << session.lastError();
        EXPECT_EQ(session.select("SELECT PROD_ID, PRICE1 FROM PRODUCT ORDER BY PROD_ID"),
                  (std::vector<Row>{{rt::FieldValue::text("P1"), 10.0}, {rt::FieldValue::text("P2"), 20.0}}));
        EXPECT_EQ(session.execute("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?",
                                  {99.5, rt::FieldValue::text("P2")}),
                  1);
        DirectClient client(database.serverName(server_.address()), "SYSDBA", server_.password);
        EXPECT_EQ(client.select("SELECT PRICE1 FROM PRODUCT WHERE PROD_ID = 'P2'"), (std::vector<Row>{{99.5}}));
    }
}

TEST_F(FirebirdServer, WrongPasswordIsRefusedWithTheServersText) {
    TestDatabase database;
    Session session;
    EXPECT_EQ(session.connect(database.serverName(server_.address()), "sysdba", server_.password + "x"),
              dl::status::InvalidUserPassword);
    EXPECT_NE(session.lastError().find("user name and password"), std::string::npos) << session.lastError();
}

// A failure says whether the attachment is gone, beside the server's own
// code, so that the program knows to connect anew rather than read the text.
TEST(FirebirdLostAttachment, FailuresAfterTheServerWentAwaySaySoUntilANewConnect) {
    const auto own = testsupport::OwnServer::startIfPossible();
    if (!own) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
    TestDatabase database;
    database.execute({"CREATE TABLE T (A INTEGER)", "INSERT INTO T VALUES (1)"});
    const std::string name = database.serverName(own->server().address());
    Session session;
    ASSERT_EQ(session.connect(name, "sysdba", own->server().password), 0) << session.lastError();

    EXPECT_EQ(session.tryExecute("UPDATE NO_SUCH_TABLE SET A = 2"), dl::status::SqlError);
    EXPECT_EQ(session.lastCodes().serverCode, isc_dsql_error);
    EXPECT_FALSE(session.lastCodes().connectionLost);

    own->kill();
    EXPECT_EQ(session.tryExecute("UPDATE T SET A = 2"), dl::status::SqlError);
    EXPECT_TRUE(session.lastCodes().connectionLost) << session.lastError();
    EXPECT_NE(session.lastCodes().serverCode, 0);

    // Back again, the old attachment stays lost; a new connect works.
    own->start();
    EXPECT_NE(session.tryExecute("UPDATE T SET A = 2"), 0);
    EXPECT_TRUE(session.lastCodes().connectionLost) << session.lastError();
    ASSERT_EQ(session.connect(name, "sysdba", own->server().password), 0) << session.lastError();
    EXPECT_EQ(session.execute("UPDATE T SET A = 2"), 1);
}
