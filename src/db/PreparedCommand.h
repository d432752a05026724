// One driver command prepared on the connection, as both services use it:
// connect on demand, choose the connection, prepare with the row-batch size,
// bind, execute. Every driver failure is worded by the connection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DriverInterface.h"

namespace db {

class TDataLinkConnection;
class TParams;

class PreparedCommand {
public:
    // Connects when needed, takes a command from the connection chosen for
    // the text and prepares it with parameterCount positional markers.
    void prepare(TDataLinkConnection& connection, const std::string& text,
                 std::uint16_t parameterCount);
    bool prepared() const { return static_cast<bool>(command_); }

    void bindDouble(std::uint16_t position, double value);
    void bindText(std::uint16_t position, const std::string& value);
    void bindNull(std::uint16_t position);
    // Binds marker n (from 1) to params[paramOfMarker[n - 1]]: a null as
    // null, a float as a double, anything else as text.
    void bindParameters(const TParams& params, const std::vector<std::size_t>& paramOfMarker);

    // The cursor of a SELECT, or an empty reference for any other statement.
    dl::DriverRef<dl::IDriverCursor> execute();
    std::int64_t rowsAffected();

    // Raises the connection's driver error for a failed cursor call.
    void checkCursor(dl::DriverResult result, dl::IDriverCursor* cursor) const;

    TDataLinkConnection& connection() const { return *connection_; }
    void release();

private:
    void checkCommand(dl::DriverResult result) const;

    TDataLinkConnection* connection_ = nullptr;
    dl::DriverRef<dl::IDriverCommand> command_;
};

}  // namespace db
