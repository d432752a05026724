#include "MarkedStatement.h"

#include <cstdint>
#include <limits>

#include "DriverErrorMessage.h"
#include "Errors.h"

namespace db {

void MarkedStatement::setText(std::string text) {
    command_.release();
    text_ = std::move(text);
    markers_ = ParameterParser::findMarkers(text_);
    std::vector<std::string> names;
    names.reserve(markers_.size());
    for (const auto& marker : markers_) names.push_back(marker.name);
    params_.rebuild(names);
    markerParams_.clear();
    markerParams_.reserve(markers_.size());
    for (const auto& marker : markers_)
        markerParams_.push_back(static_cast<std::size_t>(params_.findParam(marker.name) - &params_[0]));
}

void MarkedStatement::checkMarkerCount() const {
    if (markers_.size() > std::numeric_limits<std::uint16_t>::max())
        throw rt::DatabaseError(driverStatusMessage(dl::status::OutOfRange));
}

PreparedCommand& MarkedStatement::prepareAndBind(TDataLinkConnection& connection) {
    if (const TParam* untyped = params_.firstUntyped())
        throw rt::DatabaseError(rt::formatMessage("No value for parameter '%s'", untyped->name()));
    checkMarkerCount();
    if (!command_.prepared())
        command_.prepare(connection, ParameterParser::positionalText(text_, markers_),
                         static_cast<std::uint16_t>(markers_.size()));
    command_.bindParameters(params_, markerParams_);
    return command_;
}

}  // namespace db
