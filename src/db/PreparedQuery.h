// A SELECT with named parameters, prepared once on the connection and run
// again for every new set of values; each run's rows are read into memory
// whole and the server cursor closed. For lookups repeated row by row (the
// current prices of one product after another), where the read service
// would prepare its text anew each time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <functional>

#include "BoundDataSet.h"
#include "CursorRows.h"
#include "MarkedStatement.h"
#include "RecordStore.h"

namespace db {

class TPreparedQuery : public TBoundDataSet {
public:
    TPreparedQuery(TDataLinkConnection& connection, std::string name, std::string sql);
    ~TPreparedQuery();

    const std::string& sql() const { return statement_.text(); }

    // One parameter per distinct marker name, in order of first appearance.
    TParams& params() { return statement_.params(); }
    // Raises "Parameter '%s' not found".
    TParam& paramByName(std::string_view name) { return statement_.params().paramByName(name); }

    // Refuses with "No value for parameter '%s'" while a parameter is
    // untyped; otherwise prepares on first use (connecting when needed),
    // binds every marker and returns the whole result.
    RecordStore run();
    // The same, handing the open cursor to readRows instead of holding the
    // result: for results read straight into a compact form of their own.
    void run(const std::function<void(TCursorRows&)>& readRows);
    bool prepared() const { return statement_.prepared(); }
    void close() override { statement_.release(); }

private:
    MarkedStatement statement_;
};

}  // namespace db
