// One SQL statement on a connection: prepared (or taken from the
// connection's prepared statements), bound by position, executed.
#pragma once

#include "ErrorText.h"
#include "FirebirdConnection.h"
#include "PreparedStatement.h"
#include "RefCounted.h"

#include <DriverInterface.h>

#include <memory>
#include <string>
#include <vector>

namespace fbdrv {

class FirebirdCursor;

class FirebirdCommand final : public RefCounted<dl::IDriverCommand> {
public:
    explicit FirebirdCommand(FirebirdConnection* connection);
    ~FirebirdCommand() override;

    dl::DriverResult setOption(std::int32_t option, std::int64_t value) override;
    dl::DriverResult prepare(const char* sql, std::uint16_t parameterCount) override;
    dl::DriverResult bindDouble(std::uint16_t position, double value) override;
    dl::DriverResult bindText(std::uint16_t position, const char* value) override;
    dl::DriverResult bindNull(std::uint16_t position) override;
    dl::DriverResult execute(dl::IDriverCursor** cursor) override;
    dl::DriverResult getRowsAffected(std::int64_t* rows) override;
    dl::DriverResult getErrorMessageLen(std::int32_t* length) override { return error_.length(length); }
    dl::DriverResult getErrorMessage(char* buffer) override { return error_.copy(buffer); }
    dl::DriverResult getErrorCode(std::int32_t* serverCode, bool* connectionLost) override {
        return error_.codes(serverCode, connectionLost);
    }

    FirebirdConnection& connection() { return *connection_; }
    // A cursor that ends gives the statement back to its command.
    void cursorClosed(FirebirdCursor* cursor);

private:
    // The work of the interface methods above, which may throw.
    dl::DriverResult setOptionUnguarded(std::int32_t option, std::int64_t value);
    dl::DriverResult prepareUnguarded(const char* sql, std::uint16_t parameterCount);
    dl::DriverResult bindDoubleUnguarded(std::uint16_t position, double value);
    dl::DriverResult bindTextUnguarded(std::uint16_t position, const char* value);
    dl::DriverResult bindNullUnguarded(std::uint16_t position);
    dl::DriverResult executeUnguarded(dl::IDriverCursor** cursor);
    dl::DriverResult getRowsAffectedUnguarded(std::int64_t* rows);

    struct Binding {
        enum class Kind { Unset, Null, Double, Text } kind = Kind::Unset;
        double number = 0;
        std::string text;
    };

    void closeCursor();
    void releaseStatement();
    bool statementUsable() const;
    dl::DriverResult bindingSlot(std::uint16_t position, Binding** binding);
    dl::DriverResult fillInput();

    Retained<FirebirdConnection> connection_;
    std::unique_ptr<PreparedStatement> statement_;
    std::uint64_t attachment_ = 0;
    std::vector<Binding> bindings_;
    std::vector<short> indicators_;
    std::int32_t rowsetSize_ = 20;
    std::int64_t rowsAffected_ = 0;
    FirebirdCursor* cursor_ = nullptr;
    ErrorText error_;
};

}  // namespace fbdrv
