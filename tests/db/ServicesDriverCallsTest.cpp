// What only a recording driver can show: the exact calls the services make,
// in order, and that every driver object is given back.
#include <gtest/gtest.h>

#include "ReadService.h"
#include "ResultProvider.h"
#include "Errors.h"
#include "MessageOf.h"
#include "RecordingDriver.h"
#include "ServerQuery.h"
#include "StatementService.h"
#include "TDataLinkConnection.h"

namespace db {
namespace {

using testsupport::messageOf;

class ServicesDriverCalls : public testing::Test {
protected:
    void SetUp() override {
        recording::reset();
        ConnectionParams params{"DriverName=Recording", "Database=somewhere", "User_Name=sysdba"};
        for (const auto& line : extraParams) params.add(line);
        connection.setDriverName("Recording");
        connection.setLibraryName("librecordingdriver.so");
        connection.setVendorLib("libvendor.so");
        connection.setGetDriverFunc("getSQLDriverRECORDING");
        connection.setLoadParamsOnConnect(false);
        connection.setLoginPrompt(false);
        connection.setParams(params);
        connection.open();
        connectedObjects = recording::liveObjects();
        recording::log();
    }

    // Calls made since the connect.
    std::vector<std::string> callsSinceConnect() const {
        const auto& log = recording::log();
        return {log.begin() + static_cast<std::ptrdiff_t>(connectLogSize), log.end()};
    }
    void markConnected() { connectLogSize = recording::log().size(); }

    std::vector<std::string> extraParams;
    TDataLinkConnection connection;
    int connectedObjects = 0;
    std::size_t connectLogSize = 0;
};

TEST_F(ServicesDriverCalls, WriteBackRowIsOnePreparedStatementBoundByPosition) {
    markConnected();
    recording::answers().rowsAffected = 1;
    TStatementService query(connection);
    query.close();
    query.clearLines();
    query.addLine("UPDATE PRODUCT SET ");
    query.addLine(" SALE_PRICE = :SALE_PRICE , ");
    query.addLine(" VIP_PRICE = :VIP_PRICE ");
    query.addLine("WHERE PROD_ID = :PROD_ID ");
    query.paramByName("SALE_PRICE").setAsFloat(115);
    query.paramByName("VIP_PRICE").setAsFloat(21.5);
    query.paramByName("PROD_ID").setAsString("A001");
    EXPECT_EQ(query.execSQL(), 1);
    query.close();

    EXPECT_EQ(callsSinceConnect(),
              (std::vector<std::string>{
                  "conn1.getCommand()",
                  "cmd1.setOption(1,20)",
                  "cmd1.prepare(UPDATE PRODUCT SET \r\n SALE_PRICE =  ?  , \r\n VIP_PRICE =  ?  \r\n"
                  "WHERE PROD_ID =  ?  \r\n,3)",
                  "cmd1.bindDouble(1,115)",
                  "cmd1.bindDouble(2,21.5)",
                  "cmd1.bindText(3,A001)",
                  "cmd1.execute()",
                  "cmd1.getRowsAffected()",
                  "cmd1.release()",
              }));
    EXPECT_EQ(recording::liveObjects(), connectedObjects);
}

TEST_F(ServicesDriverCalls, RepeatedNameBindsEveryPlaceItStands) {
    markConnected();
    TStatementService query(connection);
    query.addLine("UPDATE T SET A = :V, B = :v WHERE K = :K");
    query.paramByName("V").setValue(rt::FieldValue(2));
    query.paramByName("K").setValue(rt::FieldValue::text("x"));
    query.execSQL();
    EXPECT_EQ(recording::calls("cmd1.prepare"),
              std::vector<std::string>{"cmd1.prepare(UPDATE T SET A =  ? , B =  ?  WHERE K =  ? \r\n,3)"});
    EXPECT_EQ(recording::calls("cmd1.bind"),
              (std::vector<std::string>{"cmd1.bindDouble(1,2)", "cmd1.bindDouble(2,2)", "cmd1.bindText(3,x)"}));
}

TEST_F(ServicesDriverCalls, TypedNullBindsAsNull) {
    TStatementService query(connection);
    query.addLine("UPDATE T SET A = :A");
    query.paramByName("A").setAsFloat(1);
    query.paramByName("A").setValue(rt::FieldValue::null());
    query.execSQL();
    EXPECT_EQ(recording::calls("cmd1.bind"), std::vector<std::string>{"cmd1.bindNull(1)"});
}

TEST_F(ServicesDriverCalls, ReadCopiesEveryRowAndGivesTheCursorBackBeforeReturning) {
    markConnected();
    auto& answers = recording::answers();
    answers.executeGivesCursor = true;
    answers.columns = {{"PROD_ID", dl::ColumnType::Text}, {"STD_COST", dl::ColumnType::Double}};
    answers.rows = {{"A1", "12.5"}, {"A2", std::nullopt}};
    TServerQuery sqlDataSet(connection);
    TResultProvider provider(sqlDataSet);
    TReadService clientDataSet(provider);
    clientDataSet.setCommandText("select PROD_ID, STD_COST from PRODUCT");
    clientDataSet.open();

    EXPECT_EQ(recording::liveObjects(), connectedObjects);
    const auto calls = callsSinceConnect();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], "conn1.getCommand()");
    EXPECT_EQ(calls[1], "cmd1.setOption(1,20)");
    EXPECT_EQ(calls[2], "cmd1.prepare(select PROD_ID, STD_COST from PRODUCT,0)");
    EXPECT_EQ(calls[3], "cmd1.execute()");
    EXPECT_EQ(recording::calls("cursor1.next").size(), 3u);
    EXPECT_EQ(calls.back(), "cmd1.release()");

    ASSERT_EQ(clientDataSet.recordCount(), 2u);
    EXPECT_EQ(clientDataSet.fieldByName("std_cost").value(), rt::FieldValue(12.5));
    clientDataSet.next();
    EXPECT_EQ(clientDataSet.fields(0).asString(), "A2");
    EXPECT_TRUE(clientDataSet.fields(1).value().isNull());
}

class ServicesDriverCallsWithRowsetSize : public ServicesDriverCalls {
protected:
    void SetUp() override {
        extraParams = {"RowsetSize= 7 ", "LocaleCode=0404"};
        ServicesDriverCalls::SetUp();
    }
};

TEST_F(ServicesDriverCallsWithRowsetSize, EveryStatementGetsTheRowsetSize) {
    recording::answers().executeGivesCursor = true;
    TServerQuery sqlDataSet(connection);
    TResultProvider provider(sqlDataSet);
    TReadService clientDataSet(provider);
    clientDataSet.setCommandText("SELECT 1 FROM T");
    clientDataSet.open();
    EXPECT_EQ(clientDataSet.attribute("LCID"), rt::FieldValue(0x404));

    recording::answers().executeGivesCursor = false;
    TStatementService query(connection);
    query.addLine("DELETE FROM T");
    query.execSQL();
    EXPECT_EQ(recording::calls("cmd1.setOption"), std::vector<std::string>{"cmd1.setOption(1,7)"});
    EXPECT_EQ(recording::calls("cmd2.setOption"), std::vector<std::string>{"cmd2.setOption(1,7)"});
}

TEST_F(ServicesDriverCalls, FailedFetchIsWordedAndLeavesNothingOpen) {
    auto& answers = recording::answers();
    answers.executeGivesCursor = true;
    answers.columns = {{"A", dl::ColumnType::Integer}};
    answers.rows = {{"1"}, {"2"}};
    answers.results["next"] = dl::status::SqlError;
    answers.errorText = "fetch broke";
    TServerQuery sqlDataSet(connection);
    TResultProvider provider(sqlDataSet);
    TReadService clientDataSet(provider);
    clientDataSet.setCommandText("SELECT A FROM T");
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { clientDataSet.open(); }),
              "DataLink Error: [0x0065]: SQL Error\r\nSQL Server Error: fetch broke");
    EXPECT_FALSE(clientDataSet.active());
    EXPECT_EQ(recording::liveObjects(), connectedObjects);
}

TEST_F(ServicesDriverCalls, FailedPrepareGivesTheCommandBack) {
    recording::answers().results["prepare"] = dl::status::SqlError;
    recording::answers().errorText = "Token unknown";
    TStatementService query(connection);
    query.addLine("UPDATE");
    EXPECT_THROW(query.execSQL(), rt::DatabaseError);
    EXPECT_FALSE(query.prepared());
    EXPECT_EQ(recording::calls("cmd1.execute").size(), 0u);
    EXPECT_EQ(recording::liveObjects(), connectedObjects);
}

TEST_F(ServicesDriverCalls, DisconnectTakesThePreparedStatementBack) {
    TStatementService query(connection);
    query.addLine("DELETE FROM T");
    query.execSQL();
    EXPECT_TRUE(query.prepared());
    const auto beforeClose = recording::log().size();
    connection.close();
    EXPECT_FALSE(query.prepared());
    const auto& log = recording::log();
    const auto release = std::find(log.begin() + beforeClose, log.end(), "cmd1.release()");
    const auto disconnect = std::find(log.begin() + beforeClose, log.end(), "conn1.disconnect()");
    ASSERT_NE(release, log.end());
    ASSERT_NE(disconnect, log.end());
    EXPECT_LT(release, disconnect);
}

// A failure carries the driver's status and the server's code as data; one
// that lost the attachment disconnects, datasets first, so that the next
// statement goes through the connect sequence again.
TEST_F(ServicesDriverCalls, LostAttachmentDisconnectsAndTheNextStatementConnectsAgain) {
    auto& answers = recording::answers();
    TStatementService query(connection);
    query.addLine("DELETE FROM T");
    const auto failureOf = [&query]() -> rt::DatabaseError {
        try {
            query.execSQL();
        } catch (const rt::DatabaseError& error) {
            return error;
        }
        ADD_FAILURE() << "no error";
        return rt::DatabaseError("");
    };

    answers.results["execute"] = dl::status::SqlError;
    answers.errorText = "lock conflict on no wait transaction";
    answers.serverCode = 335544345;
    const rt::DatabaseError conflict = failureOf();
    EXPECT_EQ(conflict.driverFailure().status, dl::status::SqlError);
    EXPECT_EQ(conflict.driverFailure().serverCode, 335544345);
    EXPECT_FALSE(conflict.driverFailure().connectionLost);
    EXPECT_TRUE(connection.connected());

    answers.errorText = "Error writing data to the connection.";
    answers.serverCode = 335544727;
    answers.connectionLost = true;
    const auto beforeLoss = recording::log().size();
    const rt::DatabaseError lost = failureOf();
    EXPECT_STREQ(lost.what(),
                 "DataLink Error: [0x0065]: SQL Error\r\nSQL Server Error: Error writing data to the connection.");
    EXPECT_EQ(lost.driverFailure().serverCode, 335544727);
    EXPECT_TRUE(lost.driverFailure().connectionLost);
    EXPECT_FALSE(connection.connected());
    EXPECT_FALSE(query.prepared());
    EXPECT_EQ(recording::liveObjects(), 0);
    const std::vector<std::string> sinceLoss(recording::log().begin() + static_cast<std::ptrdiff_t>(beforeLoss),
                                             recording::log().end());
    const auto release = std::find(sinceLoss.begin(), sinceLoss.end(), "cmd1.release()");
    const auto disconnect = std::find(sinceLoss.begin(), sinceLoss.end(), "conn1.disconnect()");
    ASSERT_NE(disconnect, sinceLoss.end());
    EXPECT_LT(release, disconnect);

    answers.results.erase("execute");
    answers.connectionLost = false;
    query.execSQL();
    EXPECT_TRUE(connection.connected());
    EXPECT_EQ(recording::calls("conn2.connect").size(), 1u);
    EXPECT_EQ(recording::calls("cmd2.execute").size(), 1u);
}

}  // namespace
}  // namespace db
