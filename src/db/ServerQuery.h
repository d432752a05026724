// The dataset that runs the read service's SELECT on the connection and
// hands its open cursor to the provider.
#pragma once

#include <string>

#include "BoundDataSet.h"
#include "PreparedCommand.h"

namespace db {

class TServerQuery : public TBoundDataSet {
public:
    explicit TServerQuery(TDataLinkConnection& connection, std::string name = "SQLDataSet1");
    ~TServerQuery();

    void setCommandText(std::string text);
    const std::string& commandText() const { return commandText_; }

    // Prepares and executes the text; the cursor stays open until close().
    void open();
    // Releases the cursor and the statement on the server.
    void close() override;
    bool active() const { return static_cast<bool>(cursor_); }

    dl::IDriverCursor* cursor() const { return cursor_.get(); }
    // Raises the connection's driver error for a failed call on cursor().
    void checkCursor(dl::DriverResult result) const { command_.checkCursor(result, cursor_.get()); }

private:
    std::string commandText_;
    PreparedCommand command_;
    dl::DriverRef<dl::IDriverCursor> cursor_;
};

}  // namespace db
