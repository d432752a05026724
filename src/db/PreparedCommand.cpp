#include "PreparedCommand.h"

#include "Errors.h"
#include "ScopeGuard.h"
#include "StatementParameters.h"
#include "StatementText.h"
#include "TDataLinkConnection.h"

namespace db {

namespace {

// Texts cross the driver interface zero-terminated: a zero byte inside one
// would end it there, and a shorter statement or value would be used.
void requireNoZeroByte(const std::string& text, const std::string& what) {
    if (text.find('\0') != std::string::npos)
        throw rt::DatabaseError(what + " holds a zero byte, which the driver cannot take");
}

}  // namespace

void PreparedCommand::prepare(TDataLinkConnection& connection, const std::string& text,
                              std::uint16_t parameterCount) {
    release();
    requireNoZeroByte(text, "Statement text");
    connection.open();
    TDataLinkConnection& chosen = connection.connectionForStatement(beginsWithSelect(text));
    dl::IDriverConnection* driverConnection = chosen.driverConnection();
    dl::DriverRef<dl::IDriverCommand> command;
    chosen.check(driverConnection->getCommand(command.receive()),
                 DriverErrorSource::of(driverConnection));
    connection_ = &chosen;
    // A driver that cannot batch rows still fetches them; the size is advice.
    command->setOption(dl::cmdopt::RowsetSize, chosen.rowsetSize());
    command_ = std::move(command);
    rt::ScopeGuard forgetUnprepared([this] { command_.reset(); });
    checkCommand(command_->prepare(text.c_str(), parameterCount));
    forgetUnprepared.dismiss();
}

void PreparedCommand::bindDouble(std::uint16_t position, double value) {
    checkCommand(command_->bindDouble(position, value));
}

void PreparedCommand::bindText(std::uint16_t position, const std::string& value) {
    requireNoZeroByte(value, "Text of parameter " + std::to_string(position));
    checkCommand(command_->bindText(position, value.c_str()));
}

void PreparedCommand::bindNull(std::uint16_t position) {
    checkCommand(command_->bindNull(position));
}

dl::DriverRef<dl::IDriverCursor> PreparedCommand::execute() {
    dl::DriverRef<dl::IDriverCursor> cursor;
    checkCommand(command_->execute(cursor.receive()));
    return cursor;
}

std::int64_t PreparedCommand::rowsAffected() {
    std::int64_t rows = 0;
    checkCommand(command_->getRowsAffected(&rows));
    return rows;
}

void PreparedCommand::checkCursor(dl::DriverResult result, dl::IDriverCursor* cursor) const {
    if (dl::statusOf(result) != 0) connection_->check(result, DriverErrorSource::of(cursor));
}

void PreparedCommand::checkCommand(dl::DriverResult result) const {
    if (dl::statusOf(result) != 0) connection_->check(result, DriverErrorSource::of(command_.get()));
}

void PreparedCommand::release() {
    command_.reset();
    connection_ = nullptr;
}

void PreparedCommand::bindParameters(const TParams& params, const std::vector<std::size_t>& paramOfMarker) {
    for (std::size_t i = 0; i < paramOfMarker.size(); ++i) {
        const TParam& param = params[paramOfMarker[i]];
        const auto position = static_cast<std::uint16_t>(i + 1);
        if (param.isNull()) {
            bindNull(position);
        } else if (param.dataType() == ParameterType::Float) {
            bindDouble(position, param.value().toDouble());
        } else {
            bindText(position, param.value().toString());
        }
    }
}

}  // namespace db
