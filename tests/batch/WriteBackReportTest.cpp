// What the operator reads when a write-back ends before its last row.
#include <gtest/gtest.h>

#include "Big5Text.h"
#include "WriteBackReport.h"

namespace {

using batch::PriceRow;
using batch::WriteBackEnd;

std::string b5(const char* utf8) { return big5::fromUtf8(utf8); }

struct StopCase {
    const char* name;
    WriteBackEnd end;
    const char* secondLineUtf8;
};

PriceRow tea() { return {"P2", b5("綠茶"), {}}; }

class StoppedByErrorTest : public testing::TestWithParam<StopCase> {};

TEST_P(StoppedByErrorTest, KeepsTheErrorAsItsFirstLinesAndTellsWhatWasWritten) {
    const std::string error = "DataLink Error: [0x0065]: SQL Error\r\nSQL Server Error: lock conflict";
    const std::string message = batch::stoppedByErrorMessage(error, GetParam().end);
    EXPECT_EQ(message, error + "\r\n" + b5(GetParam().secondLineUtf8));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, StoppedByErrorTest,
    testing::Values(
        StopCase{"AtARow", {1, 3, tea(), false}, "已回存 1 筆 (共 3 筆)，停在商品 P2 綠茶，此商品及之後的商品都未回存"},
        StopCase{"BeforeAnyRow", {0, 3, std::nullopt, false}, "已回存 0 筆 (共 3 筆)，之後的商品都未回存"},
        StopCase{"ConnectionLost",
                 {2, 3, tea(), true},
                 "已回存 2 筆 (共 3 筆)，停在商品 P2 綠茶，此商品及之後的商品都未回存；與伺服器的連線已中斷，"
                 "伺服器恢復後再按「3.成本回存」即可回存這批價格"},
        StopCase{"ProductWithoutName",
                 {0, 1, PriceRow{"P9", "", {}}, false},
                 "已回存 0 筆 (共 1 筆)，停在商品 P9，此商品及之後的商品都未回存"}),
    [](const testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

TEST(CancelledWriteBackTest, SaysItWasCancelledAndWhatWasWritten) {
    EXPECT_EQ(batch::cancelledMessage({5, 9, std::nullopt, false}),
              b5("回存已取消：已回存 5 筆 (共 9 筆)，之後的商品都未回存"));
    EXPECT_EQ(batch::cancelledMessage({5, 9, tea(), true}),
              b5("回存已取消：已回存 5 筆 (共 9 筆)，停在商品 P2 綠茶，此商品及之後的商品都未回存；與伺服器的連線已中斷，"
                 "伺服器恢復後再按「3.成本回存」即可回存這批價格"));
}

// In one transaction the database holds all or nothing: the box says
// which, and never counts rows; a commit whose answer was lost is said to
// be unknown.
TEST(OneTransactionEndTest, NamesNoWrittenRows) {
    const std::string error = "DataLink Error: [0x0065]: SQL Error\r\nSQL Server Error: refused\r\n" +
                              b5("回存失敗，整批已復原，沒有寫入任何價格。");
    WriteBackEnd end{0, 60, tea(), false, true, false};
    EXPECT_EQ(batch::stoppedByErrorMessage(error, end), error);
    EXPECT_EQ(batch::cancelledMessage(end), b5("回存已取消：整批已復原，沒有寫入任何價格"));
    end.connectionLost = true;
    EXPECT_EQ(batch::stoppedByErrorMessage(error, end),
              error + "\r\n" + b5("與伺服器的連線已中斷，伺服器恢復後再按「3.成本回存」即可回存這批價格"));
    end.inDoubt = true;
    const std::string unknown = batch::stoppedByErrorMessage("DataLink Error: lost", end);
    EXPECT_EQ(unknown, "DataLink Error: lost\r\n" + b5("整批已送出提交，但連線隨即中斷，不知是否已寫入；與伺服器的連線已中斷，"
                                                         "伺服器恢復後再按「3.成本回存」，會先查明資料庫中的價格"));
    for (const std::string& told : {batch::cancelledMessage({0, 60, tea(), true, true, false}), unknown})
        EXPECT_EQ(told.find(b5("已回存")), std::string::npos) << big5::toUnicode(told).toStdString();
}

TEST(OneTransactionEndTest, DialogCountsRowsSent) {
    EXPECT_EQ(batch::sentText(43, 53), b5("已送出 43 / 53 筆（整批在最後一起寫入）"));
}

TEST(RowInDoubtTest, RowByRowNamesTheRowWhoseCommitIsUnknown) {
    EXPECT_EQ(batch::cancelledMessage({2, 3, tea(), true, false, true}),
              b5("回存已取消：已回存 2 筆 (共 3 筆)，商品 P2 綠茶 送出後連線中斷，不知是否已回存，之後的商品都未回存；"
                 "與伺服器的連線已中斷，伺服器恢復後再按「3.成本回存」，會先查明資料庫中的價格"));
}

// Every character of the texts is one Big5 has: none turns into a "?".
TEST(CancelledWriteBackTest, TextsSurviveTheWayToTheScreen) {
    const std::string message = batch::cancelledMessage({1, 2, tea(), true});
    EXPECT_FALSE(big5::toUnicode(message).contains(QChar(0xFFFD)));
    for (const std::string& text : {batch::cancelledMessage({1, 2, tea(), true, false, true}),
                                    batch::cancelledMessage({0, 2, tea(), true, true, true}), batch::sentText(1, 2)})
        EXPECT_FALSE(big5::toUnicode(text).contains(QChar(0xFFFD))) << big5::toUnicode(text).toStdString();
    EXPECT_TRUE(big5::toUnicode(message).contains(QString::fromUtf8("「3.成本回存」")));
}

}  // namespace
