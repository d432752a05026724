#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "Big5Text.h"
#include "Errors.h"
#include "MessageOf.h"
#include "StatementService.h"
#include "PriceUpdate.h"
#include "PointOfSaleSchema.h"
#include "ServicesFixture.h"

namespace db::test {
namespace {

using testsupport::messageOf;

using Row = testsupport::DirectClient::Row;



class StatementServiceTest : public ServicesFixture {
protected:
    void SetUp() override {
        ServicesFixture::SetUp();
        database.execute(std::vector<std::string>{
            testsupport::kProductTable,
            "ALTER TABLE PRODUCT ADD CHECK (VIP_PRICE IS NULL OR VIP_PRICE >= 0)",
            "INSERT INTO PRODUCT (PROD_ID) VALUES ('A001')",
            "INSERT INTO PRODUCT (PROD_ID) VALUES ('A002')",
            "INSERT INTO PRODUCT (PROD_ID) VALUES ('" + big5Key + "')",
        });
        query = std::make_unique<TStatementService>(*connection);
    }
    void TearDown() override { query.reset(); }

    // One row of a write-back, through the program's own row writer.
    std::int64_t writeBack(const std::string& key, const std::vector<rt::FieldValue>& prices) {
        if (prices.size() != product::kTierCount) throw std::invalid_argument("a product has six prices");
        product::TierPrices six;
        for (int tier = 1; tier <= product::kTierCount; ++tier) six.setValue(tier, prices[std::size_t(tier - 1)]);
        return batch::writePriceRow(*query, six, key);
    }

    Row pricesOf(const std::string& key) {
        auto rows = readBack("SELECT SALE_PRICE, N_PRICE, P_PRICE, P_PRICE2, PSALE_PRICE, VIP_PRICE "
                             "FROM PRODUCT WHERE PROD_ID = '" + key + "'");
        return rows.empty() ? Row{} : rows.front();
    }

    static std::vector<rt::FieldValue> prices(double first) {
        std::vector<rt::FieldValue> values;
        for (int tier = 0; tier < product::kTierCount; ++tier) values.emplace_back(first + tier);
        return values;
    }

    const std::string big5Key = big5::fromUtf8("醬油01");
    std::unique_ptr<TStatementService> query;
};

TEST_F(StatementServiceTest, WriteBackUpdatesTheMatchedRowAndCountsIt) {
    EXPECT_EQ(writeBack("A001", prices(115)), 1);
    EXPECT_EQ(writeBack(big5Key, prices(36.5)), 1);
    EXPECT_EQ(writeBack("NO SUCH", prices(1)), 0);

    const Row expectedA001 = prices(115);
    EXPECT_EQ(pricesOf("A001"), expectedA001);
    const Row expectedBig5 = prices(36.5);
    EXPECT_EQ(pricesOf(big5Key), expectedBig5);
    EXPECT_EQ(pricesOf("A002"), Row(product::kTierCount, rt::FieldValue::null()));
}

TEST_F(StatementServiceTest, NullPriceRefusedBeforeAnythingRuns) {
    auto values = prices(10);
    values[0] = rt::FieldValue::null();
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { writeBack("A001", values); }), "No value for parameter 'SALE_PRICE'");
    EXPECT_EQ(pricesOf("A001"), Row(product::kTierCount, rt::FieldValue::null()));
}

TEST_F(StatementServiceTest, TypedParameterSetToNullWritesNull) {
    query->addLine("UPDATE PRODUCT SET SALE_PRICE = :P, N_PRICE = :P WHERE PROD_ID = :K");
    query->paramByName("K").setAsString("A001");
    query->paramByName("P").setAsFloat(5);
    EXPECT_EQ(query->execSQL(), 1);
    EXPECT_EQ(pricesOf("A001")[0], rt::FieldValue(5.0));
    // The repeated name is one parameter bound at both places.
    EXPECT_EQ(pricesOf("A001")[1], rt::FieldValue(5.0));

    query->paramByName("P").setValue(rt::FieldValue::null());
    EXPECT_EQ(query->execSQL(), 1);
    EXPECT_TRUE(pricesOf("A001")[0].isNull());
    EXPECT_TRUE(pricesOf("A001")[1].isNull());
}

TEST_F(StatementServiceTest, MarkersInQuotesAreLeftToTheServer) {
    query->addLine("UPDATE PRODUCT SET PROD_NAME = ':NOT_A_PARAMETER' WHERE PROD_ID = :K");
    ASSERT_EQ(query->params().count(), 1u);
    query->paramByName("K").setAsString("A002");
    EXPECT_EQ(query->execSQL(), 1);
    EXPECT_EQ(readBack("SELECT PROD_NAME FROM PRODUCT WHERE PROD_ID = 'A002'").at(0).at(0),
              rt::FieldValue::text(":NOT_A_PARAMETER"));
}

TEST_F(StatementServiceTest, FailedStatementLeavesEarlierRowsWritten) {
    EXPECT_EQ(writeBack("A001", prices(100)), 1);
    auto refused = prices(200);
    refused[5] = rt::FieldValue(-1.0);  // breaks the table's check
    EXPECT_THAT(messageOf<rt::DatabaseError>([&] { writeBack("A002", refused); }),
                testing::HasSubstr("SQL Server Error: "));
    const Row written = prices(100);
    EXPECT_EQ(pricesOf("A001"), written);
    EXPECT_EQ(pricesOf("A002"), Row(product::kTierCount, rt::FieldValue::null()));
    // The next row goes through as usual.
    EXPECT_EQ(writeBack(big5Key, prices(1)), 1);
}

TEST_F(StatementServiceTest, DisconnectReleasesThePreparedStatement) {
    EXPECT_EQ(writeBack("A001", prices(1)), 1);
    EXPECT_TRUE(query->prepared());
    connection->close();
    EXPECT_FALSE(query->prepared());
    EXPECT_EQ(query->execSQL(), 1);
}

// The driver is handed texts it must carry whole: one too long for the
// client library, or one a zero byte would end early, would otherwise run as
// a shorter statement ("DELETE FROM PRODUCT", say).
TEST_F(StatementServiceTest, TextsTheDriverCannotCarryWholeAreRefusedAndNothingRuns) {
    query->addLine("DELETE FROM PRODUCT WHERE PROD_ID = :K /* " + std::string(65520, 'x') + " */");
    query->paramByName("K").setAsString("A001");
    // 65568 bytes once the marker is " ? " and the line ends in CR LF.
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { query->execSQL(); }),
              "DataLink Error: [0x000E]: Invalid Length\r\n"
              "SQL Server Error: Statement text of 65568 bytes is longer than the 65535 bytes the client "
              "library takes; nothing was prepared");
    query->clearLines();
    query->addLine(std::string("DELETE FROM PRODUCT\0 WHERE PROD_ID = 'A001'", 44));
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { query->execSQL(); }),
              "Statement text holds a zero byte, which the driver cannot take");
    query->clearLines();
    query->addLine("DELETE FROM PRODUCT WHERE PROD_ID = :K");
    query->paramByName("K").setAsString(std::string("A001\0X", 6));
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { query->execSQL(); }),
              "Text of parameter 1 holds a zero byte, which the driver cannot take");
    EXPECT_EQ(readBack("SELECT COUNT(*) FROM PRODUCT"), (std::vector<Row>{{std::int64_t{3}}}));
}

TEST_F(StatementServiceTest, StatementErrorComesFromTheServer) {
    query->addLine("UPDATE NO_SUCH_TABLE SET A = 1");
    EXPECT_THAT(messageOf<rt::DatabaseError>([&] { query->execSQL(); }),
                testing::AllOf(testing::HasSubstr("SQL Server Error: "), testing::HasSubstr("NO_SUCH_TABLE")));
    EXPECT_FALSE(query->prepared());
}

}  // namespace
}  // namespace db::test
