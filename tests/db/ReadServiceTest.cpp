#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Big5Text.h"
#include "ReadService.h"
#include "ResultProvider.h"
#include "Errors.h"
#include "MessageOf.h"
#include "ServerQuery.h"
#include "ServicesFixture.h"

namespace db::test {
namespace {

using testsupport::messageOf;

// The window's three components of the read service, over the fixture's connection.
class ReadServiceTest : public ServicesFixture {
protected:
    void makeComponents() {
        sqlDataSet = std::make_unique<TServerQuery>(*connection);
        provider = std::make_unique<TResultProvider>(*sqlDataSet);
        clientDataSet = std::make_unique<TReadService>(*provider);
        clientDataSet->setDecimalSeparator('.');
    }
    void SetUp() override {
        ServicesFixture::SetUp();
        makeComponents();
    }
    void TearDown() override {
        clientDataSet.reset();
        provider.reset();
        sqlDataSet.reset();
    }

    void openWith(const std::string& sql) {
        clientDataSet->close();
        clientDataSet->setCommandText(sql);
        clientDataSet->open();
    }

    std::unique_ptr<TServerQuery> sqlDataSet;
    std::unique_ptr<TResultProvider> provider;
    std::unique_ptr<TReadService> clientDataSet;
};

TEST_F(ReadServiceTest, ReadsEveryRowInServerOrderWithItsTypesAndNulls) {
    const std::string name = big5::fromUtf8("醬油 (大)");
    database.execute(std::vector<std::string>{
        "CREATE TABLE PRODUCT (PROD_ID VARCHAR(20), PROD_NAME VARCHAR(50), STD_COST DOUBLE PRECISION, "
        "RATE NUMERIC(9,2), QTY INTEGER, CODE CHAR(4))",
        "INSERT INTO PRODUCT VALUES ('A001', '" + name + "', 12.5, 15.25, 3, 'X')",
        "INSERT INTO PRODUCT VALUES ('A002', NULL, NULL, NULL, NULL, NULL)",
        "INSERT INTO PRODUCT VALUES ('A003', '', 0.1, -7.5, -2, 'ABCD')",
    });
    // More rows than one batch of the cursor, so that batches are stitched together.
    connectWith({{"RowsetSize", "2"}});
    makeComponents();

    openWith("SELECT PROD_ID, PROD_NAME, STD_COST, RATE, QTY, CODE FROM PRODUCT ORDER BY PROD_ID");
    ASSERT_EQ(clientDataSet->recordCount(), 3u);
    ASSERT_EQ(clientDataSet->fieldCount(), 6u);
    EXPECT_FALSE(sqlDataSet->active()) << "the server cursor stays open";
    EXPECT_FALSE(clientDataSet->eof());

    EXPECT_EQ(clientDataSet->fields(0).asString(), "A001");
    EXPECT_EQ(clientDataSet->fields(1).asString(), name);
    EXPECT_EQ(clientDataSet->fields(2).value(), rt::FieldValue(12.5));
    EXPECT_EQ(clientDataSet->fields(2).asString(), "12.5");
    EXPECT_DOUBLE_EQ(clientDataSet->fields(3).value().toDouble(), 15.25);
    EXPECT_EQ(clientDataSet->fields(3).asString(), "15.25");
    EXPECT_EQ(clientDataSet->fields(4).value().toDouble(), 3.0);
    EXPECT_EQ(clientDataSet->fields(4).asString(), "3");
    // Fixed-length text keeps its blanks ("Trim Char=False"); how many the
    // server pads with depends on the character set.
    const std::string code = clientDataSet->fields(5).asString();
    ASSERT_GE(code.size(), 4u);
    EXPECT_EQ(code.find_first_not_of(' ', 1), std::string::npos) << code;
    EXPECT_EQ(code[0], 'X');

    clientDataSet->next();
    EXPECT_EQ(clientDataSet->fields(0).asString(), "A002");
    for (std::size_t column = 1; column < 6; ++column) {
        SCOPED_TRACE(column);
        EXPECT_TRUE(clientDataSet->fields(column).isNull());
        EXPECT_TRUE(clientDataSet->fields(column).value().isNull());
        EXPECT_EQ(clientDataSet->fields(column).asString(), "");
    }

    clientDataSet->next();
    EXPECT_FALSE(clientDataSet->eof());
    EXPECT_EQ(clientDataSet->fields(1).value(), rt::FieldValue::text(""));
    EXPECT_FALSE(clientDataSet->fields(1).isNull());
    EXPECT_EQ(clientDataSet->fields(2).asString(), "0.1");
    EXPECT_EQ(clientDataSet->fields(3).asString(), "-7.5");
    EXPECT_EQ(clientDataSet->fields(4).asString(), "-2");

    clientDataSet->next();
    EXPECT_TRUE(clientDataSet->eof());
    clientDataSet->first();
    EXPECT_FALSE(clientDataSet->eof());
    EXPECT_EQ(clientDataSet->fieldByName("prod_id").asString(), "A001");
}

TEST_F(ReadServiceTest, NumbersUseTheDecimalSeparatorAsked) {
    database.execute(std::vector<std::string>{"CREATE TABLE T (V DOUBLE PRECISION)", "INSERT INTO T VALUES (21.375)"});
    clientDataSet->setDecimalSeparator(',');
    openWith("SELECT V FROM T");
    EXPECT_EQ(clientDataSet->fields(0).asString(), "21,375");
    EXPECT_EQ(clientDataSet->fields(0).value(), rt::FieldValue(21.375));
}

TEST_F(ReadServiceTest, EmptyResultHasNoRowsAndReadsEmpty) {
    database.execute(std::vector<std::string>{"CREATE TABLE PROD_ITEM (PD_ITEMID VARCHAR(10), D_PROFIT1 NUMERIC(9,2))"});
    openWith("SELECT * FROM PROD_ITEM WHERE PD_ITEMID = 'none'");
    EXPECT_TRUE(clientDataSet->active());
    EXPECT_EQ(clientDataSet->recordCount(), 0u);
    EXPECT_TRUE(clientDataSet->eof());
    EXPECT_EQ(clientDataSet->fieldByName("d_profit1").asString(), "");
    EXPECT_TRUE(clientDataSet->fieldByName("PD_ITEMID").value().isNull());
}

TEST_F(ReadServiceTest, FieldsFoundByNameIgnoringCaseOrNamedInTheError) {
    database.execute(std::vector<std::string>{"CREATE TABLE PROD_ITEM (PD_ITEMID VARCHAR(10), D_PROFIT1 NUMERIC(9,2), "
                      "d_profit2 DOUBLE PRECISION)",
                      "INSERT INTO PROD_ITEM VALUES ('01', 10, 12.5)"});
    openWith("SELECT * FROM PROD_ITEM WHERE PD_ITEMID = '01'");
    EXPECT_EQ(clientDataSet->fieldByName("d_profit1").asString(), "10");
    EXPECT_EQ(clientDataSet->fieldByName("D_Profit2").asString(), "12.5");
    EXPECT_EQ(clientDataSet->fieldByName("d_profit2").index(), 2u);
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { clientDataSet->fieldByName("d_profit3"); }),
              "ClientDataSet1: Field 'd_profit3' not found");
}

TEST_F(ReadServiceTest, ResultCarriesTheLocaleCode) {
    database.execute(std::vector<std::string>{"CREATE TABLE T (A INTEGER)"});
    connectWith({{"LocaleCode", "0404"}});
    makeComponents();
    openWith("SELECT A FROM T");
    EXPECT_EQ(clientDataSet->attribute("LCID"), rt::FieldValue(0x0404));

    connectWith({});
    makeComponents();
    openWith("SELECT A FROM T");
    EXPECT_EQ(clientDataSet->attribute("LCID"), rt::FieldValue(0));
}

TEST_F(ReadServiceTest, CloseDropsTheResultAndTheNextOpenReadsAgain) {
    database.execute(std::vector<std::string>{"CREATE TABLE T (A INTEGER)", "INSERT INTO T VALUES (1)"});
    openWith("SELECT A FROM T");
    ASSERT_EQ(clientDataSet->recordCount(), 1u);
    clientDataSet->close();
    EXPECT_FALSE(clientDataSet->active());
    EXPECT_EQ(clientDataSet->recordCount(), 0u);

    database.execute(std::vector<std::string>{"INSERT INTO T VALUES (2)"});
    openWith("SELECT A FROM T ORDER BY A DESC");
    ASSERT_EQ(clientDataSet->recordCount(), 2u);
    EXPECT_EQ(clientDataSet->fields(0).asString(), "2");
}

TEST_F(ReadServiceTest, AStatementErrorLeavesTheDataSetClosedWithTheServersText) {
    database.execute(std::vector<std::string>{"CREATE TABLE T (A INTEGER)"});
    EXPECT_THAT(messageOf<rt::DatabaseError>([&] { openWith("SELECT * FROM PROD_ITEM WHERE PD_ITEMID = 'it's'"); }),
                testing::HasSubstr("SQL Server Error: "));
    EXPECT_FALSE(clientDataSet->active());
    EXPECT_FALSE(sqlDataSet->active());
    // The connection is still usable.
    openWith("SELECT A FROM T");
    EXPECT_TRUE(clientDataSet->active());
}

// A sub-category key pasted with a page behind it: cut to 16 bits, the text
// would read "SELECT * FROM PROD_ITEM" and load every sub-category.
TEST_F(ReadServiceTest, AStatementTooLongForTheClientIsRefusedAndReadsNothing) {
    database.execute(std::vector<std::string>{"CREATE TABLE PROD_ITEM (PD_ITEMID VARCHAR(10))",
                                              "INSERT INTO PROD_ITEM VALUES ('A')"});
    const std::string select = "SELECT * FROM PROD_ITEM";
    const std::string where = " WHERE PD_ITEMID = '";
    const std::string key(65536 - where.size() - 1, 'A');
    const std::string text = select + where + key + "'";
    ASSERT_EQ(text.size() % 65536, select.size());
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { openWith(text); }),
              "DataLink Error: [0x000E]: Invalid Length\r\nSQL Server Error: Statement text of " +
              std::to_string(text.size()) +
              " bytes is longer than the 65535 bytes the client library takes; nothing was prepared");
    EXPECT_FALSE(clientDataSet->active());
    EXPECT_EQ(clientDataSet->recordCount(), 0u);
}

TEST_F(ReadServiceTest, DisconnectReleasesTheStatementOfAnOpenDataSet) {
    database.execute(std::vector<std::string>{"CREATE TABLE T (A INTEGER)", "INSERT INTO T VALUES (1)"});
    sqlDataSet->setCommandText("SELECT A FROM T");
    sqlDataSet->open();
    ASSERT_TRUE(sqlDataSet->active());
    connection->close();
    EXPECT_FALSE(sqlDataSet->active());
    EXPECT_FALSE(connection->connected());
    // Reading again connects again.
    openWith("SELECT A FROM T");
    EXPECT_EQ(clientDataSet->recordCount(), 1u);
}

}  // namespace
}  // namespace db::test
