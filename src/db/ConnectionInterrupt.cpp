#include "ConnectionInterrupt.h"

#include "DriverInterface.h"
#include "TDataLinkConnection.h"

namespace db {

struct TConnectionInterrupt::Target {
    dl::DriverRef<dl::IDriverConnection> connection;
};

TConnectionInterrupt::TConnectionInterrupt() = default;
TConnectionInterrupt::~TConnectionInterrupt() = default;
TConnectionInterrupt::TConnectionInterrupt(const TConnectionInterrupt&) = default;
TConnectionInterrupt& TConnectionInterrupt::operator=(const TConnectionInterrupt&) = default;

TConnectionInterrupt::TConnectionInterrupt(const TDataLinkConnection& connection) {
    if (dl::DriverRef<dl::IDriverConnection> driverConnection = connection.sharedDriverConnection())
        target_ = std::make_shared<const Target>(Target{std::move(driverConnection)});
}

void TConnectionInterrupt::cancel() const {
    if (target_) target_->connection->control(dl::control::CancelRaise);
}

void TConnectionInterrupt::abort() const {
    if (target_) target_->connection->control(dl::control::CancelAbort);
}

}  // namespace db
