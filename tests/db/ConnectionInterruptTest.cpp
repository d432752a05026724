// The interrupt a runner or a probe takes from a connection: the driver
// requests it sends, and the driver connection it keeps alive for another
// thread after the connection has let it go.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ConnectionInterrupt.h"
#include "DriverInterface.h"
#include "RecordingDriver.h"
#include "TDataLinkConnection.h"

namespace db {
namespace {

class ConnectionInterruptTest : public testing::Test {
protected:
    void SetUp() override {
        recording::reset();
        connection.useSettings({"", "Recording", "librecordingdriver.so", "libvendor.so", "getSQLDriverRECORDING",
                                ConnectionParams{"Database=somewhere", "User_Name=sysdba"}});
    }

    std::vector<std::string> calls(std::size_t since) const {
        const auto& log = recording::log();
        return {log.begin() + static_cast<std::ptrdiff_t>(since), log.end()};
    }

    TDataLinkConnection connection;
};

TEST_F(ConnectionInterruptTest, CancelAsksTheServerAndAbortClosesTheDriverConnection) {
    connection.open();
    const TConnectionInterrupt interrupt(connection);
    ASSERT_TRUE(interrupt);
    const std::size_t connected = recording::log().size();
    interrupt.cancel();
    interrupt.abort();
    EXPECT_EQ(calls(connected), (std::vector<std::string>{
                                    "conn1.control(" + std::to_string(dl::control::CancelRaise) + ")",
                                    "conn1.control(" + std::to_string(dl::control::CancelAbort) + ")",
                                }));
}

TEST_F(ConnectionInterruptTest, OneTakenWithoutADriverConnectionInterruptsNothing) {
    const TConnectionInterrupt unconnected(connection);
    const TConnectionInterrupt none;
    for (const TConnectionInterrupt* interrupt : {&unconnected, &none}) {
        EXPECT_FALSE(*interrupt);
        interrupt->cancel();
        interrupt->abort();
    }
    EXPECT_TRUE(recording::log().empty());
}

TEST_F(ConnectionInterruptTest, KeepsTheDriverConnectionAliveUntilTheLastCopyGoes) {
    connection.open();
    std::optional<TConnectionInterrupt> interrupt(std::in_place, connection);
    connection.close();
    const int afterClose = recording::liveObjects();
    {
        const TConnectionInterrupt copy = *interrupt;
        interrupt.reset();
        const std::size_t closed = recording::log().size();
        copy.abort();
        EXPECT_EQ(calls(closed),
                  std::vector<std::string>{"conn1.control(" + std::to_string(dl::control::CancelAbort) + ")"});
        EXPECT_EQ(recording::liveObjects(), afterClose);
    }
    EXPECT_EQ(recording::liveObjects(), afterClose - 1);
    EXPECT_EQ(recording::log().back(), "conn1.release()");
}

}  // namespace
}  // namespace db
