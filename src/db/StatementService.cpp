#include "StatementService.h"

#include "StatementText.h"

namespace db {

TStatementService::TStatementService(TDataLinkConnection& connection, std::string name)
    : TBoundDataSet(connection, std::move(name)) {}

TStatementService::~TStatementService() { close(); }

void TStatementService::close() { statement_.release(); }

void TStatementService::clearLines() {
    lines_.clear();
    linesChanged();
}

void TStatementService::addLine(std::string line) {
    lines_.push_back(std::move(line));
    linesChanged();
}

void TStatementService::setLines(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    linesChanged();
}

void TStatementService::linesChanged() { statement_.setText(joinStatementLines(lines_)); }

std::int64_t TStatementService::execSQL() {
    PreparedCommand& command = statement_.prepareAndBind(connection());
    command.execute();
    return command.rowsAffected();
}

}  // namespace db
