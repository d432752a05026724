#include "FirebirdCommand.h"

#include "CallGuard.h"
#include "FirebirdCursor.h"

#include <cstring>
#include <limits>

namespace fbdrv {

namespace {
// Stands in for the value of a null parameter, which the client never reads.
char nullValue[8];
}  // namespace

// The interface methods: each runs its work under guarded(), so that nothing
// thrown crosses into the program.

dl::DriverResult FirebirdCommand::setOption(std::int32_t option, std::int64_t value) {
    return guarded(&error_, [&] { return setOptionUnguarded(option, value); });
}

dl::DriverResult FirebirdCommand::prepare(const char* sql, std::uint16_t parameterCount) {
    return connection_->awaitingAnswer(error_, [&] { return guarded(&error_, [&] { return prepareUnguarded(sql, parameterCount); }); });
}

dl::DriverResult FirebirdCommand::bindDouble(std::uint16_t position, double value) {
    return guarded(&error_, [&] { return bindDoubleUnguarded(position, value); });
}

dl::DriverResult FirebirdCommand::bindText(std::uint16_t position, const char* value) {
    return guarded(&error_, [&] { return bindTextUnguarded(position, value); });
}

dl::DriverResult FirebirdCommand::bindNull(std::uint16_t position) {
    return guarded(&error_, [&] { return bindNullUnguarded(position); });
}

dl::DriverResult FirebirdCommand::execute(dl::IDriverCursor** cursor) {
    return connection_->awaitingAnswer(error_, [&] { return guarded(&error_, [&] { return executeUnguarded(cursor); }); });
}

dl::DriverResult FirebirdCommand::getRowsAffected(std::int64_t* rows) {
    return guarded(&error_, [&] { return getRowsAffectedUnguarded(rows); });
}

FirebirdCommand::FirebirdCommand(FirebirdConnection* connection) : connection_(connection) {}

FirebirdCommand::~FirebirdCommand() {
    closeCursor();
    releaseStatement();
}

dl::DriverResult FirebirdCommand::setOptionUnguarded(std::int32_t option, std::int64_t value) {
    error_.clear();
    if (option == dl::cmdopt::RowsetSize) {
        if (value < 1) value = 1;
        rowsetSize_ = value > 100000 ? 100000 : static_cast<std::int32_t>(value);
    }
    return dl::status::Success;
}

dl::DriverResult FirebirdCommand::prepareUnguarded(const char* sql, std::uint16_t) {
    error_.clear();
    closeCursor();
    rowsAffected_ = 0;
    if (!sql) return error_.set(dl::status::InvalidParameter, "No statement text given");
    if (const std::size_t length = std::strlen(sql); length > PreparedStatement::MaxTextLength)
        return error_.set(dl::status::InvalidLength, "Statement text of " + std::to_string(length) +
                                                         " bytes is longer than the 65535 bytes the client "
                                                         "library takes; nothing was prepared");
    if (!connection_->attached()) return error_.set(dl::status::InvalidHandle, "Not connected");
    if (!(statement_ && statementUsable() && statement_->sql() == sql)) {
        releaseStatement();
        ISC_STATUS_ARRAY status;
        statement_ = connection_->takeStatement(sql, status);
        if (!statement_) return error_.setFromStatus(dl::status::SqlError, connection_->api(), status);
        attachment_ = connection_->attachment();
    }
    bindings_.resize(static_cast<std::size_t>(statement_->input()->sqld));
    for (Binding& binding : bindings_) binding.kind = Binding::Kind::Unset;
    indicators_.resize(bindings_.size());
    return dl::status::Success;
}

dl::DriverResult FirebirdCommand::bindingSlot(std::uint16_t position, Binding** binding) {
    error_.clear();
    if (!statement_) return error_.set(dl::status::InvalidHandle, "No statement prepared");
    if (position < 1 || position > bindings_.size())
        return error_.set(dl::status::OutOfRange, "Parameter " + std::to_string(position) + " out of range");
    *binding = &bindings_[position - 1u];
    return dl::status::Success;
}

dl::DriverResult FirebirdCommand::bindDoubleUnguarded(std::uint16_t position, double value) {
    Binding* binding = nullptr;
    if (dl::DriverResult result = bindingSlot(position, &binding)) return result;
    binding->kind = Binding::Kind::Double;
    binding->number = value;
    return dl::status::Success;
}

dl::DriverResult FirebirdCommand::bindTextUnguarded(std::uint16_t position, const char* value) {
    Binding* binding = nullptr;
    if (dl::DriverResult result = bindingSlot(position, &binding)) return result;
    if (!value) return error_.set(dl::status::InvalidParameter, "No text given");
    std::size_t length = std::strlen(value);
    if (length > static_cast<std::size_t>(std::numeric_limits<short>::max()))
        return error_.set(dl::status::InvalidLength, "Text of parameter " + std::to_string(position) + " too long");
    binding->kind = Binding::Kind::Text;
    binding->text.assign(value, length);
    return dl::status::Success;
}

dl::DriverResult FirebirdCommand::bindNullUnguarded(std::uint16_t position) {
    Binding* binding = nullptr;
    if (dl::DriverResult result = bindingSlot(position, &binding)) return result;
    binding->kind = Binding::Kind::Null;
    return dl::status::Success;
}

// Hands the bound values to the client as they are; the server converts them
// to the types of the statement's parameters.
dl::DriverResult FirebirdCommand::fillInput() {
    XSQLDA* input = statement_->input();
    for (std::size_t i = 0; i < bindings_.size(); ++i) {
        Binding& binding = bindings_[i];
        XSQLVAR& var = input->sqlvar[i];
        var.sqlind = &indicators_[i];
        var.sqlscale = 0;
        indicators_[i] = 0;
        switch (binding.kind) {
            case Binding::Kind::Unset:
                return error_.set(dl::status::ParameterNotSet, "Parameter " + std::to_string(i + 1) + " not set");
            case Binding::Kind::Null:
                var.sqltype = SQL_TEXT + 1;
                var.sqlsubtype = 0;
                var.sqllen = 0;
                var.sqldata = nullValue;
                indicators_[i] = -1;
                break;
            case Binding::Kind::Double:
                var.sqltype = SQL_DOUBLE + 1;
                var.sqlsubtype = 0;
                var.sqllen = sizeof(double);
                var.sqldata = reinterpret_cast<char*>(&binding.number);
                break;
            case Binding::Kind::Text:
                var.sqltype = SQL_TEXT + 1;
                var.sqlsubtype = 0;
                var.sqllen = static_cast<short>(binding.text.size());
                var.sqldata = binding.text.data();
                break;
        }
    }
    return dl::status::Success;
}

dl::DriverResult FirebirdCommand::executeUnguarded(dl::IDriverCursor** cursor) {
    error_.clear();
    if (cursor) *cursor = nullptr;
    rowsAffected_ = 0;
    if (!statement_) return error_.set(dl::status::InvalidHandle, "No statement prepared");
    if (!statementUsable()) return error_.set(dl::status::InvalidHandle, "Not connected");
    closeCursor();
    if (dl::DriverResult result = fillInput()) return result;

    const ClientApi& api = connection_->api();
    ISC_STATUS_ARRAY status;
    XSQLDA* input = bindings_.empty() ? nullptr : statement_->input();
    if (!statement_->returnsRows()) {
        if (!connection_->runToEnd(*statement_, input, &rowsAffected_, status))
            return error_.setFromStatus(dl::status::SqlError, api, status);
        return dl::status::Success;
    }

    if (!cursor) return error_.set(dl::status::InvalidParameter, "No place for the cursor given");
    for (const Column& column : statement_->columns())
        if (!column.supported)
            return error_.set(dl::status::InvalidFieldType,
                              "Column " + column.name + " has a type this driver does not read");
    Transaction transaction(api);
    const ConnectionSettings& settings = connection_->settings();
    isc_tr_handle* callerTransaction = connection_->callerTransaction();
    if (!callerTransaction &&
        !transaction.start(connection_->db(), settings.transactionParameters(statement_->readsOnly()), status))
        return error_.setFromStatus(dl::status::SqlError, api, status);
    isc_tr_handle* reading = callerTransaction ? callerTransaction : transaction.handle();
    api.dsql_execute(status, reading, statement_->handle(), settings.dialect(), input);
    if (failed(status)) return error_.setFromStatus(dl::status::SqlError, api, status);
    cursor_ = new FirebirdCursor(this, statement_.get(), std::move(transaction), callerTransaction, rowsetSize_,
                                 settings.trimChar);
    *cursor = cursor_;
    return dl::status::Success;
}

dl::DriverResult FirebirdCommand::getRowsAffectedUnguarded(std::int64_t* rows) {
    error_.clear();
    if (!rows) return dl::status::InvalidParameter;
    *rows = rowsAffected_;
    return dl::status::Success;
}

void FirebirdCommand::cursorClosed(FirebirdCursor* cursor) {
    if (cursor_ == cursor) cursor_ = nullptr;
}

void FirebirdCommand::closeCursor() {
    if (cursor_) std::exchange(cursor_, nullptr)->abandon();
}

void FirebirdCommand::releaseStatement() {
    if (statement_) connection_->giveBack(std::move(statement_), attachment_);
    statement_.reset();
}

bool FirebirdCommand::statementUsable() const {
    return connection_->attached() && attachment_ == connection_->attachment();
}

}  // namespace fbdrv
