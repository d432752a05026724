#include <gtest/gtest.h>

#include "DriverErrorMessage.h"

namespace {

// A source that answers with the given text, or fails its length query.
db::DriverErrorSource sourceWith(const std::string& text, dl::DriverResult lengthResult = 0) {
    return {[text, lengthResult](std::int32_t* length) {
                *length = static_cast<std::int32_t>(text.size());
                return lengthResult;
            },
            [text](char* buffer) {
                text.copy(buffer, text.size());
                return 0;
            },
            {}};
}

TEST(DriverErrorMessage, StaticPartDriverPartAndBoth) {
    EXPECT_EQ(db::composeDriverMessage(0x15, {}, ""), "DataLink Error: [0x0015]: Connection failed");
    EXPECT_EQ(db::composeDriverMessage(0x15, sourceWith("I/O error for file"), ""),
              "DataLink Error: [0x0015]: Connection failed\r\nSQL Server Error: I/O error for file");
    EXPECT_EQ(db::composeDriverMessage(0x12, sourceWith("lock conflict"), ""), "SQL Server Error: lock conflict");
    EXPECT_EQ(db::composeDriverMessage(0x0C, sourceWith(""), ""), "DataLink Error: [0x000C] Invalid Username/Password");
    EXPECT_EQ(db::composeDriverMessage(0x0B, {}, ""), "DataLink Error: DataLink Error [0x000B]: Parameter Not Set");
    EXPECT_EQ(db::composeDriverMessage(0x40, {}, ""), "DataLink Error: [0x0064]: No more data");
    EXPECT_EQ(db::composeDriverMessage(0x41, {}, ""), "DataLink Error: [0x0065]: SQL Error");
}

TEST(DriverErrorMessage, OnlyTheLowSixteenBitsAreTheStatus) {
    EXPECT_EQ(db::composeDriverMessage(0x7FFF0015, {}, ""), "DataLink Error: [0x0015]: Connection failed");
    EXPECT_EQ(db::composeDriverMessage(static_cast<dl::DriverResult>(0x80000000u | 0x13), {}, ""),
              "DataLink Error: [0x0013]: Local Transaction already active");
}

TEST(DriverErrorMessage, WithoutAnyTextTheLastErrorThenTheUnknownCode) {
    EXPECT_EQ(db::composeDriverMessage(0x12, {}, "earlier failure"), "earlier failure");
    EXPECT_EQ(db::composeDriverMessage(0x12, {}, ""), "DataLink Error: Unknown Error Code '18'");
    EXPECT_EQ(db::composeDriverMessage(200, {}, ""), "DataLink Error: Unknown Error Code '200'");
    EXPECT_EQ(db::composeDriverMessage(0x12, sourceWith("ignored", 0x04), ""),
              "DataLink Error: Unknown Error Code '18'")
        << "a failed length query gives no driver part";
    EXPECT_EQ(db::composeDriverMessage(0x15, {}, "earlier failure"), "DataLink Error: [0x0015]: Connection failed");
}

TEST(DriverErrorMessage, EveryStatusOfTheTableHasItsText) {
    const std::pair<int, const char*> table[] = {
        {0x01, "[0x0001]: Warning"}, {0x02, "[0x0002]: Insufficient Memory for Operation"},
        {0x03, "[0x0003]: Invalid Field Type"}, {0x04, "[0x0004]: Invalid Handle"},
        {0x05, "[0x0005]: Operation Not Supported"}, {0x06, "[0x0006]: Invalid Time"},
        {0x07, "[0x0007]: Invalid Data Translation"}, {0x08, "[0x0008]: Parameter/Column out of Range"},
        {0x09, "[0x0009]: Invalid Parameter"}, {0x0A, "[0x000A]: Result set at EOF"},
        {0x0B, "DataLink Error [0x000B]: Parameter Not Set"}, {0x0C, "[0x000C] Invalid Username/Password"},
        {0x0D, "[0x000D]: Invalid Precision"}, {0x0E, "[0x000E]: Invalid Length"},
        {0x0F, "[0x000F]: Invalid Transaction Isolation Level"}, {0x10, "[0x0010]: Invalid Transaction ID"},
        {0x11, "[0x0011]: Duplicate Transaction ID"}, {0x13, "[0x0013]: Local Transaction already active"},
        {0x14, "[0x0014]: Multiple Transactions not Enabled"}, {0x15, "[0x0015]: Connection failed"},
        {0x16, "[0x0016]: Driver initialization failed"}, {0x17, "[0x0017]: Optimistic Locking failed"},
        {0x18, "[0x0018]: Invalid REF"}, {0x19, "[0x0019]: No table found"},
    };
    for (const auto& [status, text] : table)
        EXPECT_EQ(db::composeDriverMessage(status, {}, ""), std::string("DataLink Error: ") + text) << status;
    EXPECT_EQ(db::driverStatusText(0x12), "");
    EXPECT_EQ(db::driverStatusText(0x1A), "");
}

}  // namespace
