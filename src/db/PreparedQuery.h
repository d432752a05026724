// A SELECT with named parameters, prepared once on the connection and run
// again for every new set of values; each run's rows are read into memory
// whole and the server cursor closed. For lookups repeated row by row (the
// current prices of one product after another), where the read service
// would prepare its text anew each time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "BoundDataSet.h"
#include "ParameterParser.h"
#include "PreparedCommand.h"
#include "RecordStore.h"
#include "StatementParameters.h"

namespace db {

class TPreparedQuery : public TBoundDataSet {
public:
    TPreparedQuery(TDataLinkConnection& connection, std::string name, std::string sql);
    ~TPreparedQuery();

    const std::string& sql() const { return sql_; }

    // Raises "Parameter '%s' not found".
    TParam& paramByName(std::string_view name) { return params_.paramByName(name); }

    // Refuses with "No value for parameter '%s'" while a parameter is
    // untyped; otherwise prepares on first use (connecting when needed),
    // binds every marker and returns the whole result.
    RecordStore run();
    bool prepared() const { return command_.prepared(); }
    void close() override { command_.release(); }

private:

    std::string sql_;
    std::vector<ParameterMarker> markers_;
    TParams params_;
    std::vector<std::size_t> markerParams_;
    PreparedCommand command_;
};

}  // namespace db
