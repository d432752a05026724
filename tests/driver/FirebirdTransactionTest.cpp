// The caller's transaction on a Firebird driver connection, against fresh
// embedded databases: statements and cursors join it, nothing of it is seen
// or kept before its commit, and its calls keep to one at a time.
#include "DriverSession.h"

#include <DirectClient.h>
#include <TestDatabase.h>
#include <gtest/gtest.h>

using drivertest::Row;
using drivertest::Session;
using testsupport::DirectClient;
using testsupport::TestDatabase;

namespace {

rt::FieldValue text(const std::string& bytes) { return rt::FieldValue::text(bytes); }

class FirebirdTransaction : public testing::Test {
protected:
    void SetUp() override {
        database.execute({"CREATE TABLE PRODUCT (PROD_ID VARCHAR(20) NOT NULL PRIMARY KEY, "
                          "PRICE1 NUMERIC(15,2), CHECK (PRICE1 IS NULL OR PRICE1 >= 0))",
                          "INSERT INTO PRODUCT VALUES ('P1', NULL)", "INSERT INTO PRODUCT VALUES ('P2', NULL)",
                          "INSERT INTO PRODUCT VALUES ('P3', NULL)"});
        ASSERT_EQ(session.connect(database.path()), 0) << session.lastError();
    }
    // The prices as another attachment sees them.
    std::vector<Row> committed() {
        return DirectClient(database.path()).select("SELECT PRICE1 FROM PRODUCT ORDER BY PROD_ID");
    }
    void setPrice(const char* id, double price) {
        session.execute("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?", {price, text(id)});
    }
    dl::IDriverConnection& connection() { return *session.connection(); }

    TestDatabase database;
    Session session;
};

const rt::FieldValue none;

struct Ending {
    const char* name;
    dl::DriverResult (dl::IDriverConnection::*call)();
    std::vector<Row> kept;
};

void PrintTo(const Ending& ending, std::ostream* out) { *out << ending.name; }

class FirebirdTransactionEnding : public FirebirdTransaction, public testing::WithParamInterface<Ending> {};

// A failed statement inside undoes only its own work; the transaction's end
// decides about the rest.
TEST_P(FirebirdTransactionEnding, StatementsAndCursorsJoinItAndOnlyItsCommitKeepsThem) {
    ASSERT_EQ(dl::statusOf(connection().startTransaction()), 0);
    setPrice("P1", 11);
    setPrice("P2", 22);
    EXPECT_EQ(session.tryExecute("UPDATE PRODUCT SET PRICE1 = ?", {-1.0}), dl::status::SqlError);
    // The transaction's own cursor sees its rows; another attachment does not.
    EXPECT_EQ(session.select("SELECT PRICE1 FROM PRODUCT ORDER BY PROD_ID"), (std::vector<Row>{{11.0}, {22.0}, {none}}));
    EXPECT_EQ(committed(), (std::vector<Row>{{none}, {none}, {none}}));

    // A cursor still open when the transaction ends is closed with it.
    dl::DriverRef<dl::IDriverCommand> command;
    ASSERT_EQ(dl::statusOf(connection().getCommand(command.receive())), 0);
    command->setOption(dl::cmdopt::RowsetSize, 1);
    ASSERT_EQ(dl::statusOf(command->prepare("SELECT PROD_ID FROM PRODUCT", 0)), 0);
    dl::DriverRef<dl::IDriverCursor> cursor;
    ASSERT_EQ(dl::statusOf(command->execute(cursor.receive())), 0);
    bool hasRow = false;
    ASSERT_EQ(dl::statusOf(cursor->next(&hasRow)), 0);

    EXPECT_EQ(dl::statusOf((connection().*GetParam().call)()), 0) << drivertest::errorText(&connection());
    EXPECT_NE(dl::statusOf(cursor->next(&hasRow)), 0);
    EXPECT_EQ(committed(), GetParam().kept);
    // Statements after it commit each by themselves again.
    setPrice("P3", 33);
    EXPECT_EQ(committed().back(), (Row{33.0}));
}

INSTANTIATE_TEST_SUITE_P(
    CommitOrRollback, FirebirdTransactionEnding,
    testing::Values(Ending{"Commit", &dl::IDriverConnection::commitTransaction, {{11.0}, {22.0}, {none}}},
                    Ending{"Rollback", &dl::IDriverConnection::rollbackTransaction, {{none}, {none}, {none}}}),
    [](const testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

TEST_F(FirebirdTransaction, OneAtATimeAndNothingToEndIsRefusedOrHarmless) {
    EXPECT_EQ(dl::statusOf(connection().commitTransaction()), dl::status::InvalidTransactionId);
    EXPECT_FALSE(drivertest::errorText(&connection()).empty());
    EXPECT_EQ(dl::statusOf(connection().rollbackTransaction()), 0);
    ASSERT_EQ(dl::statusOf(connection().startTransaction()), 0);
    EXPECT_EQ(dl::statusOf(connection().startTransaction()), dl::status::TransactionActive);
    EXPECT_FALSE(drivertest::errorText(&connection()).empty());
    setPrice("P1", 5);
    // The refused second start left the first one as it was.
    EXPECT_EQ(dl::statusOf(connection().commitTransaction()), 0);
    EXPECT_EQ(committed().front(), (Row{5.0}));

    Session unconnected;
    EXPECT_EQ(dl::statusOf(unconnected.connection()->startTransaction()), dl::status::InvalidHandle);
}

TEST_F(FirebirdTransaction, DisconnectRollsBackWhatWasNeverCommitted) {
    ASSERT_EQ(dl::statusOf(connection().startTransaction()), 0);
    setPrice("P1", 7);
    EXPECT_EQ(dl::statusOf(connection().disconnect()), 0) << drivertest::errorText(&connection());
    EXPECT_EQ(committed(), (std::vector<Row>{{none}, {none}, {none}}));
    ASSERT_EQ(dl::statusOf(connection().connect(database.path().c_str(), "sysdba", "")), 0);
    EXPECT_EQ(dl::statusOf(connection().commitTransaction()), dl::status::InvalidTransactionId);
}

}  // namespace
