// How the parameter list's settings are read and passed to a driver
// connection as numbered options when it connects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "DriverInterface.h"
#include "ConnectionParams.h"

namespace db {

// Trimmed and upper-cased, "TRUE" is on; anything else is off.
bool readFlag(std::string_view value);
// Decimal, optional sign, 32 bits; nothing for anything else. No trimming.
std::optional<std::int32_t> parseInteger(std::string_view text);
// Trimmed and read as a signed 32-bit integer; otherwise rt::ConversionError
// "'%s' is not a valid integer value" with the trimmed text.
std::int32_t readInteger(std::string_view value);
// Lower-cased, not trimmed: "repeatableread" 1, "dirtyread" 2, else 0.
int readIsolationLevel(std::string_view value);

// Passes every option whose key has a value, in the fixed order; the
// driver's answers are ignored. isolationLevel is set to 0 first and to the
// level read when the "<driver> TransIsolation" key has a value.
void passConnectionOptions(dl::IDriverConnection& connection, const ConnectionParams& params,
                           const std::string& driverName, int& isolationLevel);

}  // namespace db
