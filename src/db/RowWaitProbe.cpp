#include "RowWaitProbe.h"

#include "Errors.h"
#include "PreparedQuery.h"
#include "ScopeGuard.h"
#include "TDataLinkConnection.h"

#include <string_view>

namespace db {

namespace {

// The server's "deadlock" code, which a read that may not wait raises when
// it meets another transaction's uncommitted change ("read conflicts with
// concurrent update").
constexpr std::int32_t kReadConflictCode = 335544336;

}  // namespace

TRowWaitProbe::TRowWaitProbe(const db::TDataLinkConnection& connection, std::chrono::seconds answerWithin,
                             std::string rowSelect)
    : driverName_(connection.DriverName()),
      libraryName_(connection.LibraryName()),
      vendorLib_(connection.VendorLib()),
      getDriverFunc_(connection.GetDriverFunc()),
      params_(connection.Params()),
      answerWithin_(answerWithin),
      rowSelect_(std::move(rowSelect)) {
    params_.setValue("Connection Timeout", std::to_string(answerWithin.count()));
    // A read that meets an uncommitted change fails at once rather than
    // waiting for it or reading the version before it.
    params_.setValue("WaitOnLocks", "False");
    params_.setValue(driverName_ + " TransIsolation", "DirtyRead");
}

TRowWaitProbe::~TRowWaitProbe() = default;

RowWait TRowWaitProbe::ask(const std::string& productId) {
    try {
        db::TDataLinkConnection connection("RowWaitProbe");
        connection.setLoadParamsOnConnect(false);
        connection.setLoginPrompt(false);
        connection.setDriverName(driverName_);
        connection.setLibraryName(libraryName_);
        connection.setVendorLib(vendorLib_);
        connection.setGetDriverFunc(getDriverFunc_);
        connection.setParams(params_);
        return askOver(connection, productId);
    } catch (const std::exception&) {
        return RowWait::Server;
    }
}

RowWait TRowWaitProbe::askOver(db::TDataLinkConnection& connection, const std::string& productId) {
    try {
        connection.open();
    } catch (const rt::DatabaseError& error) {
        // The driver names a connect that ran out of time; any other
        // failure to connect came back at once.
        if (std::string_view(error.what()).find(dl::kNoAnswerText) != std::string_view::npos) return RowWait::Server;
        return RowWait::Refused;
    }
    {
        const std::lock_guard lock(mutex_);
        inFlight_ = connection.sharedDriverConnection();
    }
    const rt::ScopeGuard forget([this] {
        const std::lock_guard lock(mutex_);
        inFlight_.reset();
    });
    db::TPreparedQuery read(connection, "RowWaitProbe", rowSelect_);
    read.paramByName(kRowKeyParameter).setAsString(productId);
    try {
        read.run();
    } catch (const rt::DatabaseError& error) {
        if (error.driverFailure().serverCode == kReadConflictCode) return RowWait::LockedRow;
        throw;
    }
    return RowWait::FreeRow;
}

void TRowWaitProbe::abort() {
    dl::DriverRef<dl::IDriverConnection> connection;
    {
        const std::lock_guard lock(mutex_);
        connection = inFlight_;
    }
    if (connection) connection->control(dl::control::CancelAbort);
}

}  // namespace db
