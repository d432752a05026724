// The connection as the window uses it, against real Firebird databases:
// settings from the configuration files the user's store names, the driver
// library loaded by name, and every failure worded as the operator sees it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <functional>

#include "ReadAgain.h"
#include "ScopeGuard.h"
#include "ReadService.h"
#include "DataLinkStore.h"
#include "ResultProvider.h"
#include "DirectClient.h"
#include "Errors.h"
#include "MessageOf.h"
#include "PointOfSaleSchema.h"
#include "LocalServer.h"
#include "ServerQuery.h"
#include "StatementService.h"
#include "TDataLinkConnection.h"
#include "TestDatabase.h"

namespace {

using testsupport::ConfigurationFiles;
using testsupport::DirectClient;
using testsupport::TestDatabase;

// The window's database components, on files written for one database.
class FirebirdConnectionTest : public testing::Test {
protected:
    void SetUp() override {
        database.execute({testsupport::kProductTable, "INSERT INTO PRODUCT (PROD_ID, SALE_PRICE) VALUES ('P1', 10)"});
    }

    void configure(const ConfigurationFiles& files = {}) {
        database.writeConfiguration(folder.path().toStdString(), files);
        testsupport::DataLinkStore::pointAt(folder.path());
        connection = std::make_unique<db::TDataLinkConnection>();
        connection->applyStoredProperties();
        dataSet = std::make_unique<db::TServerQuery>(*connection);
        provider = std::make_unique<db::TResultProvider>(*dataSet);
        clientDataSet = std::make_unique<db::TReadService>(*provider);
    }

    std::string read(const std::string& sql) {
        clientDataSet->close();
        clientDataSet->setCommandText(sql);
        clientDataSet->open();
        return clientDataSet->fields(0).asString();
    }

    std::string errorOfOpen() {
        return testsupport::messageOf<rt::DatabaseError>([this] { read("SELECT PROD_ID FROM PRODUCT"); });
    }

    void TearDown() override {
        clientDataSet.reset();
        provider.reset();
        dataSet.reset();
        connection.reset();
    }

    TestDatabase database;
    QTemporaryDir folder;
    std::unique_ptr<db::TDataLinkConnection> connection;
    std::unique_ptr<db::TServerQuery> dataSet;
    std::unique_ptr<db::TResultProvider> provider;
    std::unique_ptr<db::TReadService> clientDataSet;
};

TEST_F(FirebirdConnectionTest, ConnectsOnFirstOpenWithTheFilesTheStoreNames) {
    configure();
    EXPECT_FALSE(connection->connected());
    EXPECT_EQ(read("SELECT PROD_ID FROM PRODUCT"), "P1");
    EXPECT_TRUE(connection->connected());
    EXPECT_EQ(connection->Params().value("Database"), database.path());
    EXPECT_EQ(connection->quoteChar(), "\"");
    EXPECT_EQ(connection->maxStatementsPerConnection(), 0);
}

// The driver library's own reason follows the message: a client library
// that is missing, and one that lacks the client functions.
TEST_F(FirebirdConnectionTest, ClientLibraryThatCannotServeIsNamedWithTheReason) {
    // The loader names the library as it found it, by path or by name.
    const struct {
        std::string vendorLib;
        std::string reason;
    } cases[] = {
        {"libnosuchclient.so.2", "libnosuchclient.so.2: cannot open shared object file: No such file or directory"},
        {"libm.so.6", "libm.so.6: undefined symbol: isc_attach_database"},
    };
    for (const auto& failing : cases) {
        ConfigurationFiles files;
        files.vendorLib = failing.vendorLib;
        configure(files);
        EXPECT_THAT(errorOfOpen(), testing::AllOf(testing::StartsWith("Unable to Load " + failing.vendorLib + ": "),
                                                  testing::EndsWith(failing.reason)));
        EXPECT_FALSE(connection->connected());
    }
}

TEST_F(FirebirdConnectionTest, MissingDatabaseFileGivesTheServersTextOnTheSecondLine) {
    ConfigurationFiles files;
    files.database = database.folder() + "/NOSUCH.FDB";
    configure(files);
    const std::string message = errorOfOpen();
    const std::string firstLine = "DataLink Error: [0x0015]: Connection failed\r\nSQL Server Error: ";
    EXPECT_EQ(message.substr(0, firstLine.size()), firstLine) << message;
    EXPECT_NE(message.find("NOSUCH.FDB"), std::string::npos) << message;
    // The next open tries the whole connect again, and fails the same way.
    EXPECT_EQ(errorOfOpen(), message);
}

TEST_F(FirebirdConnectionTest, WriteBackStatementIsCommittedByItself) {
    configure();
    db::TStatementService query(*connection);
    query.addLine("UPDATE PRODUCT SET SALE_PRICE = :SALE_PRICE ");
    query.addLine("WHERE PROD_ID = :PROD_ID ");
    query.paramByName("SALE_PRICE").setAsFloat(115);
    query.paramByName("PROD_ID").setAsString("P1");
    EXPECT_EQ(query.execSQL(), 1);
    DirectClient client(database.path());
    EXPECT_EQ(client.select("SELECT SALE_PRICE FROM PRODUCT").front()[0].toDouble(), 115.0);
}

// Through the private server the test command starts; skipped without it.
class FirebirdServerConnectionTest : public FirebirdConnectionTest {
protected:
    void SetUp() override {
        const auto server = testsupport::LocalServer::fromEnvironment();
        if (!server) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
        FirebirdConnectionTest::SetUp();
        files.database = database.serverName(server->address());
        files.password = server->password;
    }
    ConfigurationFiles files;
};

TEST_F(FirebirdServerConnectionTest, ReadsAndWritesThroughTheServer) {
    configure(files);
    EXPECT_EQ(read("SELECT PROD_ID FROM PRODUCT"), "P1");
    db::TStatementService query(*connection);
    query.addLine("UPDATE PRODUCT SET SALE_PRICE = :SALE_PRICE WHERE PROD_ID = :PROD_ID");
    query.paramByName("SALE_PRICE").setAsFloat(37);
    query.paramByName("PROD_ID").setAsString("P1");
    EXPECT_EQ(query.execSQL(), 1);
    EXPECT_EQ(read("SELECT SALE_PRICE FROM PRODUCT"), "37");
}

TEST_F(FirebirdServerConnectionTest, WrongPasswordGivesTheStatusAndTheServersText) {
    files.password += "-wrong";
    configure(files);
    const std::string message = errorOfOpen();
    const std::string firstLine = "DataLink Error: [0x000C] Invalid Username/Password\r\nSQL Server Error: ";
    EXPECT_EQ(message.substr(0, firstLine.size()), firstLine) << message;
    EXPECT_NE(message.find("user name and password"), std::string::npos) << message;
}

// A server that accepts the connection and never answers (a frozen
// process, its kernel still taking connections): the connect ends by itself
// after the connection's timeout with the driver's words, and works again
// once the server is back.
TEST_F(FirebirdConnectionTest, ConnectToAFrozenServerEndsAfterTheConnectionTimeout) {
    const auto own = testsupport::OwnServer::startIfPossible();
    if (!own) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
    ConfigurationFiles files;
    files.database = database.serverName(own->server().address());
    files.password = own->server().password;
    files.extraLines = {{"Connection Timeout", "3"}};
    configure(files);
    own->pause();
    const auto started = std::chrono::steady_clock::now();
    const std::string message = errorOfOpen();
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(2500));
    EXPECT_LT(waited, std::chrono::seconds(3 + 3)) << message;
    // The client's own words ("connection rejected by remote interface")
    // follow the driver's, which say that it was a wait that ran out.
    EXPECT_NE(message.find("No answer from the server in 3 seconds while connecting.\r\n"), std::string::npos)
        << message;
    EXPECT_NE(message.find("connection"), std::string::npos) << message;
    own->resume();
    EXPECT_EQ(read("SELECT PROD_ID FROM PRODUCT"), "P1");
}

// A read that starts once its thread's reads are being cancelled fails at
// once, without connecting.
TEST_F(FirebirdConnectionTest, AReadStartedAfterItsCancelFailsWithoutConnecting) {
    configure();
    const std::atomic<bool> cancelling{true};
    const db::TReadCancellation cancellation(cancelling);
    EXPECT_EQ(testsupport::messageOf<rt::AppError>([this] { read("SELECT PROD_ID FROM PRODUCT"); }),
              "The read was cancelled");
    EXPECT_FALSE(connection->connected());
}

// A server restarted under an open connection: a read is asked once more on
// a new connection and answers; a read that must not be asked again fails
// as a lost connection, and the next read connects anew. A write is never
// sent again.
TEST_F(FirebirdConnectionTest, AfterARestartAReadIsAskedOnceMoreAndNothingElseIs) {
    const auto own = testsupport::OwnServer::startIfPossible();
    if (!own) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
    ConfigurationFiles files;
    files.database = database.serverName(own->server().address());
    files.password = own->server().password;
    configure(files);
    std::atomic<bool> cancelling{false};
    const struct {
        const char* name;
        bool askedAgain;
        std::function<void()> run;
    } cases[] = {
        {"read", true, [this] { EXPECT_EQ(read("SELECT PROD_ID FROM PRODUCT"), "P1"); }},
        {"read cancelled while in flight", false,
         [this, &cancelling] {
             cancelling = false;
             const db::TReadCancellation cancellation(cancelling);
             // The cancel comes as the lost connection is being closed.
             connection->BeforeDisconnect = [&cancelling] { cancelling = true; };
             const rt::ScopeGuard forget([this] { connection->BeforeDisconnect = nullptr; });
             read("SELECT PROD_ID FROM PRODUCT");
         }},
        {"read in the program's own transaction", false,
         [this] {
             connection->startTransaction();
             read("SELECT PROD_ID FROM PRODUCT");
         }},
        {"write", false,
         [this] {
             db::TStatementService query(*connection);
             query.addLine("UPDATE PRODUCT SET SALE_PRICE = SALE_PRICE + 1 WHERE PROD_ID = 'P1'");
             query.execSQL();
         }},
    };
    for (const auto& attempt : cases) {
        SCOPED_TRACE(attempt.name);
        ASSERT_EQ(read("SELECT SALE_PRICE FROM PRODUCT"), "10");
        ASSERT_TRUE(connection->connected());
        own->kill();
        own->start();
        if (attempt.askedAgain) {
            attempt.run();
        } else {
            try {
                attempt.run();
                ADD_FAILURE() << "went through";
            } catch (const rt::DatabaseError& error) {
                EXPECT_TRUE(error.driverFailure().connectionLost) << error.what();
            }
        }
        EXPECT_EQ(DirectClient(database.serverName(own->server().address()), "SYSDBA", own->server().password)
                      .select("SELECT SALE_PRICE FROM PRODUCT")
                      .front()[0]
                      .toDouble(),
                  10.0);
    }
}

}  // namespace
