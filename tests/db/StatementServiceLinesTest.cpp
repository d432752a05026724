#include <gtest/gtest.h>

#include "ProductStatements.h"
#include "Errors.h"
#include "MessageOf.h"
#include "StatementService.h"
#include "PriceUpdate.h"
#include "TDataLinkConnection.h"

namespace db {
namespace {

using testsupport::messageOf;


// Lines and parameters need no database: the connection is never opened.
TEST(StatementServiceLines, TextIsTheLinesEachEndingInCrLf) {
    TDataLinkConnection connection;
    TStatementService query(connection);
    query.addLine("UPDATE T SET A = :A ");
    query.addLine("WHERE K = :K ");
    EXPECT_EQ(query.text(), "UPDATE T SET A = :A \r\nWHERE K = :K \r\n");
    ASSERT_EQ(query.params().count(), 2u);
    EXPECT_EQ(query.params()[0].name(), "A");
    EXPECT_EQ(query.params()[1].name(), "K");
}

TEST(StatementServiceLines, ParametersStillNamedKeepTheirValuesAndClearingDropsThem) {
    TDataLinkConnection connection;
    TStatementService query(connection);
    for (std::size_t i = 0; i < 3; ++i) query.addLine(catalog::kPriceUpdateLines[i]);
    query.paramByName("sale_price").setAsFloat(115);
    query.paramByName("N_PRICE").setAsFloat(116);
    for (std::size_t i = 3; i < catalog::kPriceUpdateLines.size(); ++i) query.addLine(catalog::kPriceUpdateLines[i]);
    ASSERT_EQ(query.params().count(), 7u);
    EXPECT_EQ(query.paramByName("SALE_PRICE").value(), rt::FieldValue(115.0));
    EXPECT_EQ(query.paramByName("N_PRICE").value(), rt::FieldValue(116.0));
    EXPECT_EQ(query.paramByName("PROD_ID").dataType(), ParameterType::Unknown);

    query.clearLines();
    EXPECT_EQ(query.params().count(), 0u);
    EXPECT_EQ(query.text(), "");
    for (const char* line : catalog::kPriceUpdateLines) query.addLine(line);
    EXPECT_EQ(query.paramByName("SALE_PRICE").dataType(), ParameterType::Unknown);
    EXPECT_TRUE(query.paramByName("SALE_PRICE").isNull());
}

TEST(StatementServiceLines, UnknownParameterIsNamed) {
    TDataLinkConnection connection;
    TStatementService query(connection);
    query.addLine("UPDATE T SET A = :A ");
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { query.paramByName("B"); }), "Parameter 'B' not found");
}

TEST(StatementServiceLines, UntypedParameterRefusedWithoutConnecting) {
    TDataLinkConnection connection;
    TStatementService query(connection);
    for (const char* line : catalog::kPriceUpdateLines) query.addLine(line);
    query.paramByName("SALE_PRICE").setAsFloat(1);
    query.paramByName("N_PRICE").setValue(rt::FieldValue::null());
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { query.execSQL(); }), "No value for parameter 'N_PRICE'");
    EXPECT_FALSE(connection.connected());
    EXPECT_FALSE(query.prepared());
}

}  // namespace
}  // namespace db
