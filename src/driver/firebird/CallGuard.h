// Nothing the library's own code throws may cross the C interface: the
// program on the other side learns of every failure from a status. Each
// interface method runs its work under guarded(), which turns whatever
// escapes into a status and, where the call has an object to keep it on,
// the error text.
#pragma once

#include "ErrorText.h"

#include <DriverInterface.h>

#include <utility>

namespace fbdrv {

// For use inside a catch block only: the status for the exception being
// handled (status::NoMemory for a failed allocation, status::SqlError for
// anything else), its text left on *error when error is not null.
dl::DriverResult statusOfCaughtException(ErrorText* error) noexcept;

template <class Call>
dl::DriverResult guarded(ErrorText* error, Call&& call) noexcept {
    try {
        return std::forward<Call>(call)();
    } catch (...) {
        return statusOfCaughtException(error);
    }
}

}  // namespace fbdrv
