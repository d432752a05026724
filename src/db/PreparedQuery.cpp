#include "PreparedQuery.h"

#include <limits>

#include "CursorReader.h"
#include "Errors.h"

namespace db {

TPreparedQuery::TPreparedQuery(TDataLinkConnection& connection, std::string name, std::string sql)
    : TBoundDataSet(connection, std::move(name)), sql_(std::move(sql)),
      markers_(ParameterParser::findMarkers(sql_)) {
    if (markers_.size() > std::numeric_limits<std::uint16_t>::max())
        throw rt::DatabaseError("DataLink Error: [0x0008]: Parameter/Column out of Range");
    std::vector<std::string> names;
    for (const auto& marker : markers_) names.push_back(marker.name);
    params_.rebuild(names);
    for (const auto& marker : markers_)
        markerParams_.push_back(static_cast<std::size_t>(params_.findParam(marker.name) - &params_[0]));
}

TPreparedQuery::~TPreparedQuery() { close(); }

RecordStore TPreparedQuery::run() {
    if (const TParam* untyped = params_.firstUntyped())
        throw rt::DatabaseError(rt::formatMessage("No value for parameter '%s'", untyped->name()));
    if (!command_.prepared())
        command_.prepare(connection(), ParameterParser::positionalText(sql_, markers_),
                         static_cast<std::uint16_t>(markers_.size()));
    command_.bindParameters(params_, markerParams_);
    dl::DriverRef<dl::IDriverCursor> cursor = command_.execute();
    if (!cursor) throw rt::DatabaseError::forComponent(name(), "Statement returned no result set");
    return readCursor(*cursor.get(), [this, &cursor](dl::DriverResult result) { command_.checkCursor(result, cursor.get()); });
}

}  // namespace db
