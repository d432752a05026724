// The test databases and the direct client the other tests rely on.
#include <Big5Text.h>
#include <DirectClient.h>
#include <TestDatabase.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using testsupport::DirectClient;
using testsupport::TestDatabase;

TEST(TestDatabase, CreatesBig5DatabaseAndRemovesItsFolder) {
    std::string folder;
    {
        TestDatabase database;
        folder = database.folder();
        ASSERT_TRUE(std::filesystem::exists(database.path()));
        std::string name = big5::fromUtf8("商品名稱");
        database.execute({"CREATE TABLE T (A INTEGER, B VARCHAR(20), C NUMERIC(15,2), D CHAR(4))",
                          "INSERT INTO T VALUES (1, '" + name + "', 12.35, 'AB')"});
        DirectClient client(database.path());
        auto rows = client.select("SELECT A, B, C, D, RDB$CHARACTER_SET_NAME FROM T, RDB$DATABASE");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0], rt::FieldValue(1));
        EXPECT_EQ(rows[0][1], rt::FieldValue::text(name));
        EXPECT_EQ(rows[0][2], rt::FieldValue(12.35));
        EXPECT_EQ(rows[0][3].textValue().substr(0, 4), "AB  ");
        EXPECT_EQ(rows[0][4].textValue().substr(0, 5), "BIG_5");
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(DirectClient, PreparedStatementRunsWithEachKindOfValue) {
    TestDatabase database;
    database.execute({"CREATE TABLE T (A VARCHAR(10), P DOUBLE PRECISION, N NUMERIC(15,2), I INTEGER)",
                      "INSERT INTO T VALUES ('X', 0, 0, 0)", "INSERT INTO T VALUES ('Y', 0, 0, 0)"});
    DirectClient client(database.path());
    auto update = client.prepare("UPDATE T SET P = ?, N = ?, I = ? WHERE A = ?");
    EXPECT_EQ(update.execute({2.5, 7.125, std::int64_t{9}, rt::FieldValue::text("X")}), 1);
    EXPECT_EQ(update.execute({rt::FieldValue(), rt::FieldValue::text("3.5"), rt::FieldValue(),
                              rt::FieldValue::text("Y")}),
              1);
    auto rows = client.select("SELECT P, N, I FROM T ORDER BY A");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (DirectClient::Row{2.5, 7.13, std::int64_t{9}}));
    EXPECT_EQ(rows[1], (DirectClient::Row{rt::FieldValue(), 3.5, rt::FieldValue()}));
}

TEST(TestDatabase, WritesTheConfigurationFiles) {
    TestDatabase database;
    testsupport::ConfigurationFiles files;
    files.extraLines = {{"RowsetSize", "5"}};
    database.writeConfiguration(database.folder(), files);
    std::ifstream connections(database.folder() + "/dlconnections.ini");
    std::stringstream text;
    text << connections.rdbuf();
    EXPECT_NE(text.str().find("Database=" + database.path() + "\n"), std::string::npos);
    EXPECT_NE(text.str().find("Trim Char=False\nRowsetSize=5\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(database.folder() + "/dldrivers.ini"));
}
