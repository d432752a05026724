// The Firebird driver library against fresh embedded databases.
#include "DriverSession.h"
#include "FailingAllocations.h"

#include <Big5Text.h>
#include <DirectClient.h>
#include <TestDatabase.h>
#include <gtest/gtest.h>

#include <functional>

using drivertest::Row;
using drivertest::Session;
using testsupport::DirectClient;
using testsupport::TestDatabase;

namespace {

rt::FieldValue text(const std::string& bytes) { return rt::FieldValue::text(bytes); }

// A product table shaped like the one the program writes to.
void createProducts(TestDatabase& database, int rows) {
    database.execute("CREATE TABLE PRODUCT (PROD_ID VARCHAR(20) NOT NULL PRIMARY KEY, PROD_NAME VARCHAR(40), "
                     "STD_COST NUMERIC(15,2), PRICE1 NUMERIC(15,2), PRICE2 DOUBLE PRECISION, "
                     "CHECK (PRICE1 IS NULL OR PRICE1 >= 0))");
    DirectClient client(database.path());
    auto insert = client.prepare("INSERT INTO PRODUCT (PROD_ID, PROD_NAME, STD_COST) VALUES (?, ?, ?)");
    for (int i = 1; i <= rows; ++i)
        insert.execute({text("P" + std::to_string(1000 + i)), text("N" + std::to_string(i)), 10.0 * i});
}

}  // namespace

TEST(FirebirdDriverEntry, RefusesAMissingOrUnsuitableClientLibrary) {
    dl::DriverEntry entry = drivertest::driverEntry();
    ASSERT_NE(entry, nullptr);
    dl::DriverRef<dl::IDriver> driver;
    EXPECT_NE(entry("libnosuchclient.so", "", driver.receive()), 0);
    EXPECT_FALSE(driver);
    // Loads, but is no Firebird client.
    EXPECT_NE(entry("libm.so.6", "", driver.receive()), 0);
    EXPECT_FALSE(driver);
    EXPECT_EQ(entry("libfbclient.so.2", "", driver.receive()), 0);
    EXPECT_TRUE(driver);
}

TEST(FirebirdDriverConnect, AttachesEmbeddedAndReportsWhatTheProgramAsks) {
    TestDatabase database;
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0) << session.lastError();

    std::int32_t limit = -1, length = 0;
    EXPECT_EQ(dl::statusOf(session.connection()->getOption(dl::connopt::MaxStatementsPerConnection, &limit, 4,
                                                          &length)),
              0);
    EXPECT_EQ(limit, 0);

    dl::DriverRef<dl::IDriverMetaData> metaData;
    ASSERT_EQ(dl::statusOf(session.connection()->getMetaData(metaData.receive())), 0);
    EXPECT_EQ(dl::statusOf(metaData->setOptionText(dl::metaopt::SchemaName, "sysdba")), 0);
    char quote = 0;
    EXPECT_EQ(dl::statusOf(metaData->getOption(dl::metaopt::QuoteChar, &quote, 1, &length)), 0);
    EXPECT_EQ(quote, '"');
    std::int32_t transactions = 0;
    EXPECT_EQ(dl::statusOf(metaData->getOption(dl::metaopt::TransactionsSupported, &transactions, 4, &length)), 0);
    EXPECT_NE(transactions, 0);
    // Options without a Firebird meaning are accepted.
    EXPECT_EQ(dl::statusOf(session.connection()->setOption(dl::connopt::BlobSize, -1)), 0);
    EXPECT_EQ(dl::statusOf(session.connection()->setOptionText(dl::connopt::CustomString, "x")), 0);
}

TEST(FirebirdDriverConnect, MissingDatabaseFileFailsWithTheServersText) {
    TestDatabase database;
    Session session;
    std::string missing = database.folder() + "/NOSUCH.FDB";
    EXPECT_EQ(session.connect(missing), dl::status::ConnectFailed);
    EXPECT_NE(session.lastError().find(missing), std::string::npos) << session.lastError();
    EXPECT_NE(session.lastError().find("\r\n"), std::string::npos) << session.lastError();
}

TEST(FirebirdDriverRead, GivesEveryColumnKindWithNullsAndBig5BytesAsStored) {
    TestDatabase database;
    std::string name = big5::fromUtf8("會員價商品");
    database.execute({"CREATE TABLE T (K INTEGER, S SMALLINT, B BIGINT, N NUMERIC(15,2), D DOUBLE PRECISION, "
                      "V VARCHAR(20), C CHAR(6))",
                      "INSERT INTO T VALUES (1, -7, 9007199254740993, 1234.56, 0.1, '" + name + "', 'AB')",
                      "INSERT INTO T VALUES (2, NULL, NULL, NULL, NULL, NULL, NULL)"});
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0) << session.lastError();

    auto columns = session.describe("SELECT K, N, D, V AS NAME_ALIAS FROM T");
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[0], std::make_pair(std::string("K"), dl::ColumnType::Integer));
    EXPECT_EQ(columns[1], std::make_pair(std::string("N"), dl::ColumnType::Double));
    EXPECT_EQ(columns[2], std::make_pair(std::string("D"), dl::ColumnType::Double));
    EXPECT_EQ(columns[3], std::make_pair(std::string("NAME_ALIAS"), dl::ColumnType::Text));

    auto rows = session.select("SELECT K, S, B, N, D, V, C FROM T ORDER BY K");
    ASSERT_EQ(rows.size(), 2u);
    // The server pads CHAR(6) in Big5 to room for six double-byte characters.
    EXPECT_EQ(rows[0], (Row{std::int64_t{1}, std::int64_t{-7}, std::int64_t{9007199254740993}, 1234.56, 0.1,
                            text(name), text("AB" + std::string(10, ' '))}));
    EXPECT_EQ(rows[1], (Row{std::int64_t{2}, {}, {}, {}, {}, {}, {}}));
}

TEST(FirebirdDriverRead, TrimCharDropsTheBlanksOfFixedLengthText) {
    TestDatabase database;
    database.execute({"CREATE TABLE T (C CHAR(6), V VARCHAR(6))", "INSERT INTO T VALUES ('AB', 'CD  ')"});
    Session session;
    session.connection()->setOption(dl::connopt::TrimChar, 1);
    ASSERT_EQ(dl::statusOf(session.connection()->connect(database.path().c_str(), "sysdba", "")), 0);
    EXPECT_EQ(session.select("SELECT C, V FROM T"), (std::vector<Row>{{text("AB"), text("CD  ")}}));
}

// A table with a date or a flag among its columns can still be read whole
// (SELECT * of a sub-category): such values arrive as the server's text.
TEST(FirebirdDriverRead, DatesTimesFlagsAndBinaryBlobsArriveAsText) {
    TestDatabase database;
    database.execute({"CREATE TABLE T (D DATE, T TIME, TS TIMESTAMP, B BOOLEAN, BIN BLOB SUB_TYPE 0, N DATE)",
                      "INSERT INTO T VALUES ('2026-12-08', '14:05:06', '2026-12-08 14:05:06', TRUE, 'xyz', NULL)"});
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    const auto rows = session.select("SELECT * FROM T");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], text("2026-12-08"));
    EXPECT_EQ(rows[0][1].toString().substr(0, 8), "14:05:06");
    // The server writes timestamps its own way (08-DEC-2026 14:05:06.0000).
    EXPECT_NE(rows[0][2].toString().find("2026 14:05:06"), std::string::npos) << rows[0][2].toString();
    EXPECT_EQ(rows[0][3], text("TRUE"));
    EXPECT_EQ(rows[0][4], text("xyz"));
    EXPECT_TRUE(rows[0][5].isNull());
}

TEST(FirebirdDriverRead, EmptyResultHasColumnsButNoRow) {
    TestDatabase database;
    createProducts(database, 3);
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    EXPECT_TRUE(session.select("SELECT PROD_ID FROM PRODUCT WHERE PROD_ID = 'none'").empty());
    EXPECT_EQ(session.describe("SELECT PROD_ID, PRICE1 FROM PRODUCT WHERE 1 = 0").size(), 2u);
}

TEST(FirebirdDriverRead, EveryRowArrivesInOrderWhateverTheRowsetSize) {
    TestDatabase database;
    createProducts(database, 45);
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    for (std::int64_t rowsetSize : {1, 7, 20, 45, 100}) {
        auto rows = session.select("SELECT PROD_ID, STD_COST FROM PRODUCT ORDER BY PROD_ID", rowsetSize);
        ASSERT_EQ(rows.size(), 45u) << "RowsetSize " << rowsetSize;
        for (int i = 0; i < 45; ++i)
            ASSERT_EQ(rows[static_cast<std::size_t>(i)],
                      (Row{text("P" + std::to_string(1001 + i)), 10.0 * (i + 1)}))
                << "RowsetSize " << rowsetSize;
    }
}

TEST(FirebirdDriverRead, TextOfARowStaysValidUntilTheNextRow) {
    TestDatabase database;
    createProducts(database, 30);
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    dl::DriverRef<dl::IDriverCommand> command;
    session.connection()->getCommand(command.receive());
    command->setOption(dl::cmdopt::RowsetSize, 4);
    ASSERT_EQ(dl::statusOf(command->prepare("SELECT PROD_ID, PROD_NAME FROM PRODUCT ORDER BY PROD_ID", 0)), 0);
    dl::DriverRef<dl::IDriverCursor> cursor;
    ASSERT_EQ(dl::statusOf(command->execute(cursor.receive())), 0);
    bool hasRow = false;
    int count = 0;
    while (dl::statusOf(cursor->next(&hasRow)) == 0 && hasRow) {
        ++count;
        const char* id = nullptr;
        const char* name = nullptr;
        std::uint32_t idLength = 0, nameLength = 0;
        bool isNull = true;
        ASSERT_EQ(dl::statusOf(cursor->getText(1, &id, &idLength, &isNull)), 0);
        ASSERT_EQ(dl::statusOf(cursor->getText(2, &name, &nameLength, &isNull)), 0);
        EXPECT_EQ(std::string(id, idLength), "P" + std::to_string(1000 + count));
        EXPECT_EQ(std::string(name, nameLength), "N" + std::to_string(count));
    }
    EXPECT_EQ(count, 30);
    EXPECT_FALSE(hasRow);
}

TEST(FirebirdDriverWrite, UpdatesWithParametersAreCommittedAndCounted) {
    TestDatabase database;
    createProducts(database, 3);
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    std::string name = big5::fromUtf8("門市價");
    EXPECT_EQ(session.execute("UPDATE PRODUCT SET PRICE1 = ?, PRICE2 = ?, PROD_NAME = ? WHERE PROD_ID = ?",
                              {138.0, 12.5, text(name), text("P1001")}),
              1);
    // Text for a number and a null: the server converts and stores null.
    EXPECT_EQ(session.execute("UPDATE PRODUCT SET PRICE1 = ?, PRICE2 = ? WHERE PROD_ID = ?",
                              {text("25.75"), rt::FieldValue(), text("P1002")}),
              1);
    EXPECT_EQ(session.execute("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?", {1.0, text("none")}), 0);
    EXPECT_EQ(session.execute("UPDATE PRODUCT SET PRICE2 = ?", {3.0}), 3);

    DirectClient client(database.path());
    auto rows = client.select("SELECT PROD_ID, PROD_NAME, PRICE1, PRICE2 FROM PRODUCT ORDER BY PROD_ID");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (Row{text("P1001"), text(name), 138.0, 3.0}));
    EXPECT_EQ(rows[1], (Row{text("P1002"), text("N2"), 25.75, 3.0}));
    EXPECT_EQ(rows[2], (Row{text("P1003"), text("N3"), rt::FieldValue(), 3.0}));
}

TEST(FirebirdDriverWrite, UnboundParameterRunsNothing) {
    TestDatabase database;
    createProducts(database, 1);
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    dl::DriverRef<dl::IDriverCommand> command;
    session.connection()->getCommand(command.receive());
    ASSERT_EQ(dl::statusOf(command->prepare("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?", 2)), 0);
    ASSERT_EQ(dl::statusOf(command->bindDouble(1, 5.0)), 0);
    dl::DriverRef<dl::IDriverCursor> cursor;
    EXPECT_EQ(dl::statusOf(command->execute(cursor.receive())), dl::status::ParameterNotSet);
    EXPECT_EQ(dl::statusOf(command->bindDouble(3, 5.0)), dl::status::OutOfRange);
    DirectClient client(database.path());
    EXPECT_EQ(client.select("SELECT PRICE1 FROM PRODUCT"), (std::vector<Row>{{rt::FieldValue()}}));
}

TEST(FirebirdDriverWrite, FailedStatementLeavesEarlierOnesCommitted) {
    TestDatabase database;
    createProducts(database, 3);
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    session.execute("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?", {11.0, text("P1001")});
    session.execute("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?", {22.0, text("P1002")});
    // Refused by the table's check at execute.
    EXPECT_EQ(session.tryExecute("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?", {-1.0, text("P1003")}),
              dl::status::SqlError);
    EXPECT_NE(session.lastError().find("CHECK"), std::string::npos) << session.lastError();
    // Refused at prepare.
    EXPECT_EQ(session.tryExecute("UPDATE PRODUCT SET NO_SUCH_COLUMN = 1"), dl::status::SqlError);
    EXPECT_NE(session.lastError().find("NO_SUCH_COLUMN"), std::string::npos) << session.lastError();
    // The connection goes on working.
    session.execute("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?", {33.0, text("P1003")});

    DirectClient client(database.path());
    EXPECT_EQ(client.select("SELECT PRICE1 FROM PRODUCT ORDER BY PROD_ID"),
              (std::vector<Row>{{11.0}, {22.0}, {33.0}}));
}

TEST(FirebirdDriverWrite, RepeatedTextsGiveCorrectResultsInterleaved) {
    TestDatabase database;
    createProducts(database, 40);
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    const std::string update = "UPDATE PRODUCT SET PRICE1 = ?, PRICE2 = ? WHERE PROD_ID = ?";
    for (int round = 0; round < 3; ++round) {
        for (int i = 1; i <= 40; ++i) {
            std::string id = "P" + std::to_string(1000 + i);
            ASSERT_EQ(session.execute(update, {i + round * 0.25, rt::FieldValue(), text(id)}), 1);
            if (i % 5 == 0) {
                auto rows = session.select("SELECT PRICE1 FROM PRODUCT WHERE PROD_ID = ?", 20, {text(id)});
                ASSERT_EQ(rows, (std::vector<Row>{{std::round((i + round * 0.25) * 100) / 100}}));
                session.execute("UPDATE PRODUCT SET PRICE2 = ? WHERE PROD_ID = ?", {i * 2.0, text(id)});
            }
        }
    }
    // Two commands holding the same text at once each get their own statement.
    dl::DriverRef<dl::IDriverCommand> first, second;
    session.connection()->getCommand(first.receive());
    session.connection()->getCommand(second.receive());
    ASSERT_EQ(dl::statusOf(first->prepare(update.c_str(), 3)), 0);
    ASSERT_EQ(dl::statusOf(second->prepare(update.c_str(), 3)), 0);
    first->bindDouble(1, 500.0), first->bindNull(2), first->bindText(3, "P1001");
    second->bindDouble(1, 600.0), second->bindDouble(2, 1.5), second->bindText(3, "P1002");
    dl::DriverRef<dl::IDriverCursor> none;
    ASSERT_EQ(dl::statusOf(second->execute(none.receive())), 0);
    ASSERT_EQ(dl::statusOf(first->execute(none.receive())), 0);

    DirectClient client(database.path());
    auto rows = client.select("SELECT PROD_ID, PRICE1, PRICE2 FROM PRODUCT ORDER BY PROD_ID");
    ASSERT_EQ(rows.size(), 40u);
    EXPECT_EQ(rows[0], (Row{text("P1001"), 500.0, rt::FieldValue()}));
    EXPECT_EQ(rows[1], (Row{text("P1002"), 600.0, 1.5}));
    for (int i = 3; i <= 40; ++i) {
        rt::FieldValue price2 = i % 5 == 0 ? rt::FieldValue(i * 2.0) : rt::FieldValue();
        EXPECT_EQ(rows[static_cast<std::size_t>(i - 1)], (Row{text("P" + std::to_string(1000 + i)), i + 0.5, price2}));
    }
}

TEST(FirebirdDriverConnect, Big5TextRoundTripsWithABig5ConnectionCharacterSet) {
    TestDatabase database;
    createProducts(database, 1);
    Session session;
    session.connection()->setOptionText(dl::connopt::ServerCharSet, "BIG_5");
    ASSERT_EQ(session.connect(database.path()), 0) << session.lastError();
    std::string name = big5::fromUtf8("大批價－特價");
    EXPECT_EQ(session.execute("UPDATE PRODUCT SET PROD_NAME = ? WHERE PROD_ID = ?", {text(name), text("P1001")}), 1);
    EXPECT_EQ(session.select("SELECT PROD_NAME FROM PRODUCT"), (std::vector<Row>{{text(name)}}));
    DirectClient client(database.path());
    EXPECT_EQ(client.select("SELECT PROD_NAME FROM PRODUCT"), (std::vector<Row>{{text(name)}}));
}

TEST(FirebirdDriverConnect, DisconnectEndsOpenCursorsAndAllowsAReconnect) {
    TestDatabase database;
    createProducts(database, 5);
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    dl::DriverRef<dl::IDriverCommand> command;
    session.connection()->getCommand(command.receive());
    command->setOption(dl::cmdopt::RowsetSize, 1);
    ASSERT_EQ(dl::statusOf(command->prepare("SELECT PROD_ID FROM PRODUCT", 0)), 0);
    dl::DriverRef<dl::IDriverCursor> cursor;
    ASSERT_EQ(dl::statusOf(command->execute(cursor.receive())), 0);
    bool hasRow = false;
    ASSERT_EQ(dl::statusOf(cursor->next(&hasRow)), 0);
    ASSERT_TRUE(hasRow);

    EXPECT_EQ(dl::statusOf(session.connection()->disconnect()), 0) << drivertest::errorText(session.connection());
    EXPECT_NE(dl::statusOf(cursor->next(&hasRow)), 0);
    EXPECT_NE(dl::statusOf(command->execute(cursor.receive())), 0);

    ASSERT_EQ(dl::statusOf(session.connection()->connect(database.path().c_str(), "sysdba", "")), 0);
    EXPECT_EQ(session.select("SELECT COUNT(*) FROM PRODUCT"), (std::vector<Row>{{std::int64_t{5}}}));
}

TEST(FirebirdDriverWrite, CommitRetainStillCommitsEachStatement) {
    TestDatabase database;
    createProducts(database, 2);
    Session session;
    session.connection()->setOption(dl::connopt::CommitRetain, 1);
    ASSERT_EQ(dl::statusOf(session.connection()->connect(database.path().c_str(), "sysdba", "")), 0);
    DirectClient client(database.path());
    session.execute("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?", {7.0, text("P1001")});
    EXPECT_EQ(client.select("SELECT PRICE1 FROM PRODUCT WHERE PROD_ID = 'P1001'"), (std::vector<Row>{{7.0}}));
    EXPECT_NE(session.tryExecute("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?", {-7.0, text("P1002")}), 0);
    session.execute("UPDATE PRODUCT SET PRICE1 = ? WHERE PROD_ID = ?", {8.0, text("P1002")});
    EXPECT_EQ(client.select("SELECT PRICE1 FROM PRODUCT ORDER BY PROD_ID"), (std::vector<Row>{{7.0}, {8.0}}));
}

TEST(FirebirdDriverRead, WideResultsManyParametersAndTextBlobs) {
    TestDatabase database;
    std::string columns, values, markers, select;
    for (int i = 1; i <= 20; ++i) {
        columns += (i > 1 ? ", C" : "C") + std::to_string(i) + " INTEGER";
        select += (i > 1 ? ", C" : "C") + std::to_string(i);
        markers += i > 1 ? ", ?" : "?";
    }
    std::string memo = big5::fromUtf8("備註：") + std::string(20000, 'x');
    database.execute({"CREATE TABLE W (" + columns + ", MEMO BLOB SUB_TYPE TEXT)"});
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    std::vector<rt::FieldValue> parameters;
    for (int i = 1; i <= 20; ++i) parameters.emplace_back(i * 1.0);
    EXPECT_EQ(session.execute("INSERT INTO W (" + select + ") VALUES (" + markers + ")", parameters), 1);
    DirectClient(database.path()).execute("UPDATE W SET MEMO = '" + memo + "'");

    auto rows = session.select("SELECT " + select + ", MEMO FROM W");
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 21u);
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(rows[0][static_cast<std::size_t>(i - 1)], rt::FieldValue(std::int64_t{i}));
    EXPECT_EQ(rows[0][20], text(memo));
}

namespace {

// "DELETE FROM T WHERE ID = 1" and a comment, `length` bytes in all: cut
// to 16 bits the text would read "DELETE FROM T" and empty the table.
std::string paddedDelete(std::size_t length) {
    const std::string head = "DELETE FROM T WHERE ID = 1 /* ";
    const std::string tail = " */";
    return head + std::string(length - head.size() - tail.size(), 'x') + tail;
}

}  // namespace

TEST(FirebirdDriverWrite, StatementTextTheClientCannotCarryWholeIsRefusedAndNothingRuns) {
    TestDatabase database;
    database.execute({"CREATE TABLE T (ID INTEGER)", "INSERT INTO T VALUES (1)", "INSERT INTO T VALUES (2)",
                      "INSERT INTO T VALUES (3)"});
    Session session;
    ASSERT_EQ(session.connect(database.path()), 0);
    DirectClient client(database.path());
    // 65536 + 13 bytes: the low 16 bits of its length are those of "DELETE FROM T".
    for (std::size_t length : {std::size_t{65536}, std::size_t{65549}, std::size_t{200000}}) {
        EXPECT_EQ(session.tryExecute(paddedDelete(length)), dl::status::InvalidLength) << length;
        EXPECT_EQ(session.lastError(), "Statement text of " + std::to_string(length) +
                                           " bytes is longer than the 65535 bytes the client library takes; "
                                           "nothing was prepared");
        EXPECT_EQ(client.select("SELECT COUNT(*) FROM T"), (std::vector<Row>{{std::int64_t{3}}}));
    }
    EXPECT_EQ(session.execute(paddedDelete(65535)), 1);
    EXPECT_EQ(client.select("SELECT ID FROM T ORDER BY ID"),
              (std::vector<Row>{{std::int64_t{2}}, {std::int64_t{3}}}));
}

TEST(FirebirdDriverConnect, AttachTextsTheClientCannotCarryWholeAreRefusedAndNothingIsAttached) {
    TestDatabase database;
    const std::string path = database.path();
    struct Case {
        const char* what;
        std::string database, user, password, role, charSet;
        std::string message;
    };
    const std::string long255(255, 'p');
    const std::string long256(256, 'p');
    const Case cases[] = {
        // Cut to 16 bits, this name is the database's own path followed by blanks.
        {"name wrapping to the path", path + std::string(65536, ' '), "sysdba", "", "", "",
         "Database name of " + std::to_string(path.size() + 65536) +
             " bytes is longer than the 32767 bytes the client library takes"},
        {"name past a signed 16-bit length", path + std::string(40000 - path.size(), '/'), "sysdba", "", "", "",
         "Database name of 40000 bytes is longer than the 32767 bytes the client library takes"},
        {"password", path, "sysdba", long256, "", "",
         "Password of 256 bytes is longer than the 255 bytes an attach parameter holds"},
        {"user", path, long256, "", "", "", "User name of 256 bytes is longer than the 255 bytes an attach parameter holds"},
        {"role", path, "sysdba", "", long256, "",
         "Role name of 256 bytes is longer than the 255 bytes an attach parameter holds"},
        {"character set", path, "sysdba", "", "", long256,
         "Character set of 256 bytes is longer than the 255 bytes an attach parameter holds"},
    };
    for (const Case& c : cases) {
        Session session;
        session.connection()->setOptionText(dl::connopt::RoleName, c.role.c_str());
        session.connection()->setOptionText(dl::connopt::ServerCharSet, c.charSet.c_str());
        EXPECT_EQ(dl::statusOf(session.connection()->connect(c.database.c_str(), c.user.c_str(), c.password.c_str())),
                  dl::status::InvalidLength)
            << c.what;
        EXPECT_EQ(drivertest::errorText(session.connection()), c.message) << c.what;
        dl::DriverRef<dl::IDriverCommand> command;
        EXPECT_EQ(dl::statusOf(session.connection()->getCommand(command.receive())), dl::status::InvalidHandle)
            << c.what << ": attached after all";
    }
    // Texts of 255 bytes still fit.
    Session session;
    session.connection()->setOptionText(dl::connopt::RoleName, long255.c_str());
    EXPECT_EQ(dl::statusOf(session.connection()->connect(path.c_str(), "sysdba", long255.c_str())), 0)
        << drivertest::errorText(session.connection());
}

namespace {

// Executes the prepared command and reads the first column of every row as text.
std::vector<std::string> textColumn(dl::IDriverCommand* command) {
    std::vector<std::string> values;
    dl::DriverRef<dl::IDriverCursor> cursor;
    EXPECT_EQ(command->execute(cursor.receive()), 0) << drivertest::errorText(command);
    bool hasRow = false;
    while (cursor && cursor->next(&hasRow) == 0 && hasRow) {
        const char* data = nullptr;
        std::uint32_t length = 0;
        bool isNull = true;
        EXPECT_EQ(cursor->getText(1, &data, &length, &isNull), 0);
        values.emplace_back(data, length);
    }
    return values;
}

}  // namespace

// Every call that fails inside the driver, an allocation included, comes back
// as a status with its text on the object; the objects stay usable.
TEST(FirebirdDriverFailures, NothingThrownInsideTheDriverCrossesItsInterface) {
    using drivertest::FailingAllocations;
    using Failure = FailingAllocations::Failure;
    TestDatabase database;
    createProducts(database, 3);
    dl::DriverEntry entry = drivertest::driverEntry();
    ASSERT_NE(entry, nullptr);

    dl::DriverRef<dl::IDriver> driver;
    dl::DriverResult result = 0;
    {
        FailingAllocations failing;
        result = entry("libfbclient.so.2", "", driver.receive());
    }
    EXPECT_EQ(result, dl::status::NoMemory);
    EXPECT_FALSE(driver);
    ASSERT_EQ(entry("libfbclient.so.2", "", driver.receive()), 0);

    dl::DriverRef<dl::IDriverConnection> connection;
    {
        FailingAllocations failing;
        result = driver->getConnection(connection.receive());
    }
    EXPECT_EQ(result, dl::status::NoMemory);
    EXPECT_FALSE(connection);
    ASSERT_EQ(driver->getConnection(connection.receive()), 0);

    // One table for the calls that leave their text on the object they were made on.
    dl::DriverRef<dl::IDriverCommand> command;
    dl::DriverRef<dl::IDriverCursor> cursor;
    struct Case {
        const char* call;
        std::function<dl::DriverResult()> run;
        std::function<std::string()> errorText;
    };
    const auto onConnection = [&] { return drivertest::errorText(connection.get()); };
    const auto onCommand = [&] { return drivertest::errorText(command.get()); };
    const std::string path = database.path();
    // Longer than a string keeps without allocating.
    const std::string lowestKey = "P1000 and then some";
    const Case cases[] = {
        {"connect", [&] { return connection->connect(path.c_str(), "sysdba", ""); }, onConnection},
        {"getCommand", [&] { return connection->getCommand(command.receive()); }, onConnection},
        {"prepare", [&] { return command->prepare("SELECT PROD_ID FROM PRODUCT WHERE PROD_ID > ? ORDER BY 1", 1); },
         onCommand},
        {"bindText", [&] { return command->bindText(1, lowestKey.c_str()); }, onCommand},
        {"execute", [&] { return command->execute(cursor.receive()); }, onCommand},
    };
    for (const Case& c : cases) {
        for (const Failure failure : {Failure::OutOfMemory, Failure::OtherError}) {
            {
                FailingAllocations failing(failure);
                result = c.run();
            }
            if (failure == Failure::OutOfMemory) {
                EXPECT_EQ(result, dl::status::NoMemory) << c.call;
                EXPECT_EQ(c.errorText(), "Out of memory") << c.call;
            } else {
                EXPECT_EQ(result, dl::status::SqlError) << c.call;
                EXPECT_EQ(c.errorText(), FailingAllocations::OtherErrorText) << c.call;
            }
        }
        // The same call goes through once memory is there again.
        ASSERT_EQ(c.run(), 0) << c.call << ": " << c.errorText();
    }

    // A fetch that fails has taken rows from the server that it could not
    // keep: the cursor reports that again rather than going on without them.
    bool hasRow = false;
    {
        FailingAllocations failing;
        result = cursor->next(&hasRow);
    }
    EXPECT_EQ(result, dl::status::NoMemory);
    EXPECT_EQ(drivertest::errorText(cursor.get()), "Out of memory");
    EXPECT_NE(cursor->next(&hasRow), 0);
    EXPECT_FALSE(hasRow);
    // The command runs again with a fresh cursor that reads every row.
    EXPECT_EQ(textColumn(command.get()), (std::vector<std::string>{"P1001", "P1002", "P1003"}));
}
