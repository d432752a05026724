#include <gtest/gtest.h>

#include "ErrorDisplay.h"
#include "Errors.h"
#include "WindowDriver.h"

namespace {

std::string period(std::string_view utf8) { return ui::withClosingPeriod(big5::fromUtf8(utf8)); }

TEST(ErrorDisplayTest, PeriodFollowsALastCharacterGreaterThanThePeriod) {
    EXPECT_EQ(period("Field 'x' not found"), "Field 'x' not found.");
    EXPECT_EQ(period("No value for 'x'"), "No value for 'x'");  // ends in a quote
    EXPECT_EQ(period("a, b,"), "a, b,");
    EXPECT_EQ(period("No value"), "No value.");
    EXPECT_EQ(period("code 42"), "code 42.");
    EXPECT_EQ(period("really?"), "really?.");
    EXPECT_EQ(period("done."), "done.");
    EXPECT_EQ(period("stop!"), "stop!");
    EXPECT_EQ(period("(Double)"), "(Double)");
    EXPECT_EQ(period("trailing "), "trailing ");
    EXPECT_EQ(period("a/b"), "a/b.");
    EXPECT_EQ(period(""), "");
    EXPECT_EQ(period("回存完成"), big5::fromUtf8("回存完成."));
    // 功 ends in the byte 0x5C, which alone would be a backslash: the
    // character is taken whole.
    EXPECT_EQ(period("成功"), big5::fromUtf8("成功."));
    // A stray lead byte before the closing ")" is a byte of its own: the last
    // character is the bracket, which is below the period.
    EXPECT_EQ(ui::withClosingPeriod("key \xA4)"), "key \xA4)");
}

TEST(ErrorDisplayTest, TitleIsTheExecutableNameCutAtTheFirstDot) {
    EXPECT_EQ(ui::applicationTitleFor("/usr/bin/Tarvell"), "Tarvell");
    EXPECT_EQ(ui::applicationTitleFor("C:/Apps/ABC.EXE"), "Abc");
    EXPECT_EQ(ui::applicationTitleFor("/opt/x/TARVELL.V2.EXE"), "Tarvell");
    EXPECT_EQ(ui::applicationTitleFor("/opt/x/tARVELL"), "tarvell");
}

TEST(ErrorDisplayTest, ShowsTheMessageWithTitleErrorIconAndOneOk) {
    auto seen = answerNextBox(QMessageBox::Ok);
    ui::runHandler([] { throw rt::DatabaseError(big5::fromUtf8("CDS_PRODUCT: Field '商品' not found")); });
    ASSERT_TRUE(seen->seen);
    EXPECT_EQ(seen->title, ui::applicationTitle());
    EXPECT_EQ(seen->icon, QMessageBox::Critical);
    EXPECT_EQ(seen->buttons, QMessageBox::Ok);
    EXPECT_EQ(seen->text, QString::fromUtf8("CDS_PRODUCT: Field '商品' not found."));
}

}  // namespace
