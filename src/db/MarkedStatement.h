// A statement text with named markers (":NAME") on its way to the driver:
// one parameter per distinct name, each marker bound by position to its
// parameter, and the command prepared once with the positional text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ParameterParser.h"
#include "PreparedCommand.h"
#include "StatementParameters.h"

namespace db {

class TDataLinkConnection;

class MarkedStatement {
public:
    // Drops the prepared command and reads the markers of the new text; a
    // parameter whose name is still there keeps its type and value.
    void setText(std::string text);
    const std::string& text() const { return text_; }

    TParams& params() { return params_; }
    const TParams& params() const { return params_; }

    // The driver counts parameters in 16 bits: a text with more markers is
    // refused with the driver's own out-of-range message.
    void checkMarkerCount() const;

    // Refuses with "No value for parameter '%s'" while a parameter is
    // untyped, before anything reaches the server; then checks the marker
    // count, prepares when not prepared yet (connecting when needed) and
    // binds every marker. The command is ready to execute.
    PreparedCommand& prepareAndBind(TDataLinkConnection& connection);

    bool prepared() const { return command_.prepared(); }
    void release() { command_.release(); }

private:
    std::string text_;
    std::vector<ParameterMarker> markers_;
    TParams params_;
    // For each marker, the index of its parameter.
    std::vector<std::size_t> markerParams_;
    PreparedCommand command_;
};

}  // namespace db
