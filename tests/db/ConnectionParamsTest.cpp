#include <gtest/gtest.h>

#include "Errors.h"
#include "ConnectionParams.h"

namespace {

TEST(ConnectionParams, FirstLineWithTheNameWinsRegardlessOfCase) {
    const db::ConnectionParams params{"User_Name=sysdba", "USER_NAME=other", "Trim Char=False",
                                   "Database= srv:/x.fdb ", "NoEquals", "Custom String=a=b"};
    EXPECT_EQ(params.value("user_name"), "sysdba");
    EXPECT_EQ(params.value("TRIM CHAR"), "False");
    EXPECT_EQ(params.value("Database"), " srv:/x.fdb ") << "values are taken as they stand";
    EXPECT_EQ(params.value("Custom String"), "a=b");
    EXPECT_EQ(params.value("NoEquals"), "");
    EXPECT_EQ(params.value("Password"), "");
    EXPECT_EQ(params.value("Trim"), "");
    EXPECT_EQ(params.indexOf("USER_NAME"), 0u);
    EXPECT_FALSE(params.indexOf("NoEquals"));
}

TEST(ConnectionParams, SetValueReplacesTheFirstMatchOrAppends) {
    db::ConnectionParams params{"A=1", "a=2"};
    params.setValue("A", "x=y");
    params.setValue("B", "3");
    EXPECT_EQ(params.lines(), (std::vector<std::string>{"A=x=y", "a=2", "B=3"}));
}

TEST(ConnectionParams, TheGuardCanRefuseEveryChangeAndStaysWithItsOwner) {
    db::ConnectionParams guarded{"A=1"};
    guarded.setChangeGuard([] { throw rt::DatabaseError("refused"); });
    EXPECT_THROW(guarded.add("B=2"), rt::DatabaseError);
    EXPECT_THROW(guarded.setValue("A", "2"), rt::DatabaseError);
    EXPECT_THROW(guarded.clear(), rt::DatabaseError);
    EXPECT_THROW(guarded = db::ConnectionParams{}, rt::DatabaseError);
    EXPECT_EQ(guarded.lines(), (std::vector<std::string>{"A=1"}));

    db::ConnectionParams copy = guarded;
    copy.add("B=2");
    EXPECT_EQ(copy.count(), 2u);
}

}  // namespace
