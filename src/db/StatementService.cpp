#include "StatementService.h"

#include <limits>

#include "Errors.h"
#include "StatementText.h"

namespace db {

TStatementService::TStatementService(TDataLinkConnection& connection, std::string name)
    : TBoundDataSet(connection, std::move(name)) {}

TStatementService::~TStatementService() { close(); }

void TStatementService::close() { command_.release(); }

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

void TStatementService::linesChanged() {
    command_.release();
    text_ = joinStatementLines(lines_);
    markers_ = ParameterParser::findMarkers(text_);
    std::vector<std::string> names;
    names.reserve(markers_.size());
    for (const auto& marker : markers_) names.push_back(marker.name);
    params_.rebuild(names);
    markerParams_.clear();
    for (const auto& marker : markers_) {
        const TParam* param = params_.findParam(marker.name);
        markerParams_.push_back(static_cast<std::size_t>(param - &params_[0]));
    }
}

std::int64_t TStatementService::execSQL() {
    if (const TParam* untyped = params_.firstUntyped()) {
        throw rt::DatabaseError(rt::formatMessage("No value for parameter '%s'", untyped->name()));
    }
    if (markers_.size() > std::numeric_limits<std::uint16_t>::max()) {
        throw rt::DatabaseError("DataLink Error: [0x0008]: Parameter/Column out of Range");
    }
    if (!command_.prepared()) {
        command_.prepare(connection(), ParameterParser::positionalText(text_, markers_),
                         static_cast<std::uint16_t>(markers_.size()));
    }
    command_.bindParameters(params_, markerParams_);
    command_.execute();
    return command_.rowsAffected();
}

}  // namespace db
