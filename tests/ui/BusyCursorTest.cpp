// The wait cursor around a connect: shown during it, and afterwards exactly
// the cursor that was there before, whoever set it.
#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>
#include <algorithm>

#include "BusyCursor.h"
#include "ConnectionTestSupport.h"

namespace {

class BusyCursorTest : public testsupport::ConnectionFixture {
protected:
    void TearDown() override {
        recording::setCallHook(nullptr);
        while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
        ConnectionFixture::TearDown();
    }
    // Connects (or tries to) and gives the cursor shape seen at each driver call.
    std::vector<int> shapesDuringConnect() {
        std::vector<int> shapes;
        recording::setCallHook([&shapes](const std::string&) {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            shapes.push_back(cursor ? cursor->shape() : -1);
        });
        ui::showBusyCursorWhileConnecting(makeConnection());
        try {
            connection_->open();
        } catch (const std::exception&) {
        }
        recording::setCallHook(nullptr);
        return shapes;
    }
};

bool allWait(const std::vector<int>& shapes) {
    return !shapes.empty() &&
           std::all_of(shapes.begin(), shapes.end(), [](int shape) { return shape == Qt::WaitCursor; });
}

TEST_F(BusyCursorTest, WaitCursorDuringTheConnectThenTheCallersOwnCursorAgain) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
    EXPECT_TRUE(allWait(shapesDuringConnect()));
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr) << "the caller's cursor was taken away";
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "a cursor was left behind";
}

TEST_F(BusyCursorTest, AFailedConnectRestoresTheCursorToo) {
    recording::answers().results["connect"] = dl::status::ConnectFailed;
    EXPECT_TRUE(allWait(shapesDuringConnect()));
    EXPECT_FALSE(connection_->connected());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    writeDrivers("[Recording]\nLibraryName=libnosuchdriver.so\nVendorLib=v\n");
    QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
    shapesDuringConnect();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
}

}  // namespace
