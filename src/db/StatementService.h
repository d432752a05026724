// The statement service: a statement text built from lines, with named
// parameters, executed on the connection in the driver's own transaction.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "BoundDataSet.h"
#include "MarkedStatement.h"

namespace db {

class TStatementService : public TBoundDataSet {
public:
    explicit TStatementService(TDataLinkConnection& connection, std::string name = "SQLQuery1");
    ~TStatementService();

    // Releases the prepared statement; lines and parameters stay.
    void close() override;

    // Every change of the lines drops the prepared statement and rebuilds the
    // parameters from the text; a parameter still named keeps its value.
    void clearLines();
    void addLine(std::string line);
    void setLines(std::vector<std::string> lines);
    const std::vector<std::string>& lines() const { return lines_; }
    // The lines, each followed by CR LF.
    const std::string& text() const { return statement_.text(); }

    // One parameter per distinct marker name, in order of first appearance.
    TParams& params() { return statement_.params(); }
    const TParams& params() const { return statement_.params(); }
    // Raises "Parameter '%s' not found".
    TParam& paramByName(std::string_view name) { return statement_.params().paramByName(name); }

    // Refuses with "No value for parameter '%s'" while a parameter is
    // untyped, before anything reaches the server; otherwise prepares (when
    // not prepared yet), binds every marker by position and executes. Returns
    // the number of rows changed.
    std::int64_t execSQL();
    bool prepared() const { return statement_.prepared(); }

private:
    void linesChanged();

    std::vector<std::string> lines_;
    MarkedStatement statement_;
};

}  // namespace db
