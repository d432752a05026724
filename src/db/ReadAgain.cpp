#include "ReadAgain.h"

#include <string_view>

#include "DriverInterface.h"
#include "Errors.h"
#include "TDataLinkConnection.h"

namespace db {

namespace {

thread_local const std::atomic<bool>* t_cancelled = nullptr;

bool cancelled() { return t_cancelled && t_cancelled->load(); }

bool askAgain(const rt::DatabaseError& error) {
    if (!error.driverFailure().connectionLost) return false;
    if (std::string_view(error.what()).find(dl::kNoAnswerText) != std::string_view::npos) return false;
    return !cancelled();
}

}  // namespace

void readAgainIfConnectionLost(TDataLinkConnection& connection, const std::function<void()>& read) {
    // A cancelled read starts nothing more, least of all a connect, which
    // nothing could interrupt.
    if (cancelled()) throw rt::AppError("The read was cancelled");
    const bool inOwnTransaction = connection.inTransaction();
    try {
        read();
        return;
    } catch (const rt::DatabaseError& error) {
        if (inOwnTransaction || !askAgain(error)) throw;
    }
    // The first failure has already disconnected the lost attachment; the
    // second try's answer is the one that counts.
    read();
}

TReadCancellation::TReadCancellation(const std::atomic<bool>& cancelled) : outer_(t_cancelled) {
    t_cancelled = &cancelled;
}

TReadCancellation::~TReadCancellation() { t_cancelled = outer_; }

}  // namespace db
