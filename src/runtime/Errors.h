// Errors the program raises. Every message is held as Big5 bytes, exactly
// as it is shown to the operator.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace rt {

class AppError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised by the database access and the in-memory tables.
class DatabaseError : public AppError {
public:
    using AppError::AppError;
    // An error raised on behalf of a named component reads "name: message".
    static DatabaseError forComponent(std::string_view component, std::string_view message);
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

// Replaces the first "%s" of pattern with argument, the way every message
// with a placeholder is built.
std::string formatMessage(std::string_view pattern, std::string_view argument);

}  // namespace rt
