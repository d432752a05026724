#include "RowWaitProbe.h"

#include <string_view>

#include "DriverInterface.h"
#include "Errors.h"
#include "PreparedQuery.h"
#include "ScopeGuard.h"
#include "TDataLinkConnection.h"

namespace db {

namespace {

// The server's "deadlock" code, which a read that may not wait raises when
// it meets another transaction's uncommitted change ("read conflicts with
// concurrent update").
constexpr std::int32_t kReadConflictCode = 335544336;

}  // namespace

TRowWaitProbe::TRowWaitProbe(const TDataLinkConnection& connection, std::chrono::seconds answerWithin,
                             std::string rowSelect)
    : settings_(connection.settings()), answerWithin_(answerWithin), rowSelect_(std::move(rowSelect)) {
    settings_.params.setValue("Connection Timeout", std::to_string(answerWithin.count()));
    // A read that meets an uncommitted change fails at once rather than
    // waiting for it or reading the version before it.
    settings_.params.setValue("WaitOnLocks", "False");
    settings_.params.setValue(settings_.driverName + " TransIsolation", "DirtyRead");
}

TRowWaitProbe::~TRowWaitProbe() = default;

RowWait TRowWaitProbe::ask(const std::string& productId) {
    {
        const std::lock_guard lock(mutex_);
        abortRequested_ = false;
    }
    try {
        TDataLinkConnection connection("RowWaitProbe");
        connection.useSettings(settings_);
        // The read and the disconnect wait no longer than the connect: a
        // server that freezes after taking the connection ends the question
        // in time too.
        connection.setAnswerTimeout(answerWithin_);
        return askOver(connection, productId);
    } catch (const std::exception&) {
        return RowWait::Server;
    }
}

RowWait TRowWaitProbe::askOver(TDataLinkConnection& connection, const std::string& productId) {
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
        inFlight_ = TConnectionInterrupt(connection);
        // Ended while it connected: nothing to read for, and the connection
        // is closed under the disconnect, which a frozen server would
        // otherwise keep waiting.
        if (abortRequested_) {
            inFlight_.abort();
            inFlight_ = TConnectionInterrupt();
            return RowWait::Server;
        }
    }
    const rt::ScopeGuard forget([this] {
        const std::lock_guard lock(mutex_);
        inFlight_ = TConnectionInterrupt();
    });
    TPreparedQuery read(connection, "RowWaitProbe", rowSelect_);
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
    TConnectionInterrupt connection;
    {
        const std::lock_guard lock(mutex_);
        abortRequested_ = true;
        connection = inFlight_;
    }
    connection.abort();
}

}  // namespace db
