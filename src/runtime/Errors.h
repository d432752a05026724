// Errors the program raises. Every message is held as Big5 bytes, exactly
// as it is shown to the operator.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rt {

class AppError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a failed driver call reported besides its text.
struct DriverFailure {
    std::uint16_t status = 0;     // the driver status, low 16 bits of the call's result
    std::int32_t serverCode = 0;  // the server's own error code; 0 when the driver refused the call itself
    bool connectionLost = false;  // the attachment behind the call is gone
};

// Raised by the database access and the in-memory tables.
class DatabaseError : public AppError {
public:
    using AppError::AppError;
    DatabaseError(const std::string& message, const DriverFailure& failure)
        : AppError(message), driverFailure_(failure) {}
    // An error raised on behalf of a named component reads "name: message".
    static DatabaseError forComponent(std::string_view component, std::string_view message);

    // All zero for an error that no driver call raised.
    const DriverFailure& driverFailure() const { return driverFailure_; }

private:
    DriverFailure driverFailure_;
};

// A value that cannot be turned into the type asked for.
class ConversionError : public AppError {
public:
    using AppError::AppError;
};

// The configuration store holds something of the wrong kind.
class RegistryError : public AppError {
public:
    using AppError::AppError;
};

// Raises error again with message in place of its own: a DatabaseError
// stays one, with what the driver reported, so that a lost connection is
// still known as one; every other error becomes an AppError.
[[noreturn]] void raiseWithMessage(const std::exception& error, const std::string& message);

// Replaces the first "%s" of pattern with argument, the way every message
// with a placeholder is built.
std::string formatMessage(std::string_view pattern, std::string_view argument);

}  // namespace rt
