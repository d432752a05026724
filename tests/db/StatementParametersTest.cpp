#include <gtest/gtest.h>

#include "Errors.h"
#include "MessageOf.h"
#include "StatementParameters.h"
#include "StatementText.h"

namespace db {
namespace {

using testsupport::messageOf;

TEST(StatementParameters, TypeComesFromTheFirstNonNullValue) {
    TParam param("P");
    EXPECT_EQ(param.dataType(), ParameterType::Unknown);
    param.setValue(rt::FieldValue::null());
    EXPECT_EQ(param.dataType(), ParameterType::Unknown);
    param.setValue(rt::FieldValue(12.5));
    EXPECT_EQ(param.dataType(), ParameterType::Float);
    // Once typed, a null is a typed null and binds as one.
    param.setValue(rt::FieldValue::null());
    EXPECT_EQ(param.dataType(), ParameterType::Float);
    EXPECT_TRUE(param.isNull());

    TParam text("T");
    text.setAsString("A1");
    EXPECT_EQ(text.dataType(), ParameterType::String);
    TParam whole("W");
    whole.setValue(rt::FieldValue(7));
    EXPECT_EQ(whole.dataType(), ParameterType::Float);
}

TEST(StatementParameters, RebuildKeepsValuesOfNamesStillThere) {
    TParams params;
    params.rebuild({"A", "B"});
    params.paramByName("A").setAsFloat(1);
    params.paramByName("B").setAsString("x");
    params.rebuild({"b", "C"});
    ASSERT_EQ(params.count(), 2u);
    EXPECT_EQ(params[0].name(), "b");  // spelt as the new text spells it
    EXPECT_EQ(params[0].value(), rt::FieldValue::text("x"));
    EXPECT_EQ(params[0].dataType(), ParameterType::String);
    EXPECT_EQ(params[1].name(), "C");
    EXPECT_EQ(params[1].dataType(), ParameterType::Unknown);
    EXPECT_EQ(params.findParam("A"), nullptr);
    params.rebuild({});
    params.rebuild({"B"});
    EXPECT_EQ(params[0].dataType(), ParameterType::Unknown);
}

TEST(StatementParameters, RepeatedNameIsOneParameter) {
    TParams params;
    params.rebuild({"A", "B", "a"});
    ASSERT_EQ(params.count(), 2u);
    EXPECT_EQ(params[0].name(), "A");
    EXPECT_EQ(params[1].name(), "B");
}

TEST(StatementParameters, LookupIgnoresCaseAndNamesTheMissingOne) {
    TParams params;
    params.rebuild({"Sale_Price"});
    EXPECT_EQ(&params.paramByName("SALE_PRICE"), &params[0]);
    EXPECT_EQ(&params.paramByName("sale_price"), &params[0]);
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { params.paramByName("VIP_PRICE"); }),
              "Parameter 'VIP_PRICE' not found");
}

TEST(StatementParameters, FirstUntypedInOrder) {
    TParams params;
    params.rebuild({"A", "B", "C"});
    params[0].setAsFloat(1);
    params[2].setValue(rt::FieldValue::null());
    ASSERT_NE(params.firstUntyped(), nullptr);
    EXPECT_EQ(params.firstUntyped()->name(), "B");
    params[1].setAsString("b");
    EXPECT_EQ(params.firstUntyped()->name(), "C");
    params[2].setAsFloat(3);
    EXPECT_EQ(params.firstUntyped(), nullptr);
}

TEST(StatementText, LinesEndInCrLf) {
    EXPECT_EQ(joinStatementLines({"UPDATE T ", "WHERE K = 1 "}), "UPDATE T \r\nWHERE K = 1 \r\n");
    EXPECT_EQ(joinStatementLines({}), "");
}

TEST(StatementText, SelectIsTheFirstWordInAnyCase) {
    EXPECT_TRUE(beginsWithSelect("select PD_ITEMID FROM PROD_ITEM"));
    EXPECT_TRUE(beginsWithSelect("\r\n  SeLeCt 1 FROM RDB$DATABASE"));
    EXPECT_FALSE(beginsWithSelect("UPDATE PRODUCT SET "));
    EXPECT_FALSE(beginsWithSelect("SELEC"));
    EXPECT_FALSE(beginsWithSelect(""));
}

}  // namespace
}  // namespace db
