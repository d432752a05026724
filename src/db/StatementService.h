// The statement service: a statement text built from lines, with named
// parameters, executed on the connection in the driver's own transaction.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "BoundDataSet.h"
#include "ParameterParser.h"
#include "PreparedCommand.h"
#include "StatementParameters.h"

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
    const std::string& text() const { return text_; }

    // One parameter per distinct marker name, in order of first appearance.
    TParams& params() { return params_; }
    const TParams& params() const { return params_; }
    // Raises "Parameter '%s' not found".
    TParam& paramByName(std::string_view name) { return params_.paramByName(name); }

    // Refuses with "No value for parameter '%s'" while a parameter is
    // untyped, before anything reaches the server; otherwise prepares (when
    // not prepared yet), binds every marker by position and executes. Returns
    // the number of rows changed.
    std::int64_t execSQL();
    bool prepared() const { return command_.prepared(); }

private:
    void linesChanged();

    std::vector<std::string> lines_;
    std::string text_;
    std::vector<ParameterMarker> markers_;
    TParams params_;
    // For each marker, the index of its parameter.
    std::vector<std::size_t> markerParams_;
    PreparedCommand command_;
};

}  // namespace db
