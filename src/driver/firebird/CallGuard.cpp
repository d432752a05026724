#include "CallGuard.h"

#include <exception>
#include <new>

namespace fbdrv {

namespace {

// Short enough to be kept without allocating, so that it survives the very
// shortage it reports.
constexpr const char* kOutOfMemory = "Out of memory";

dl::DriverResult leave(ErrorText* error, dl::DriverResult status, const char* text) noexcept {
    if (!error) return status;
    try {
        return error->set(status, text);
    } catch (...) {
        error->clear();
        return status;
    }
}

}  // namespace

dl::DriverResult statusOfCaughtException(ErrorText* error) noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return leave(error, dl::status::NoMemory, kOutOfMemory);
    } catch (const std::exception& failure) {
        return leave(error, dl::status::SqlError, failure.what());
    } catch (...) {
        return leave(error, dl::status::SqlError, "Unknown failure inside the driver");
    }
}

}  // namespace fbdrv
