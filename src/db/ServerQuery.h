// The dataset that runs the read service's SELECT on the connection and
// hands its open cursor to the provider.
#pragma once

#include <string>

#include "PreparedCommand.h"
#include "TDataLinkConnection.h"

namespace db {

class TServerQuery : public TDataLinkConnectionClient {
public:
    explicit TServerQuery(TDataLinkConnection& connection, std::string name = "SQLDataSet1");
    ~TServerQuery();
    TServerQuery(const TServerQuery&) = delete;
    TServerQuery& operator=(const TServerQuery&) = delete;

    const std::string& name() const { return name_; }
    // Raises when the connection is gone.
    TDataLinkConnection& connection() const;

    void setCommandText(std::string text);
    const std::string& commandText() const { return commandText_; }

    // Prepares and executes the text; the cursor stays open until close().
    void open();
    // Releases the cursor and the statement on the server.
    void close();
    bool active() const { return static_cast<bool>(cursor_); }

    dl::IDriverCursor* cursor() const { return cursor_.get(); }
    // Raises the connection's driver error for a failed call on cursor().
    void checkCursor(dl::DriverResult result) const { command_.checkCursor(result, cursor_.get()); }

    void connectionClosing() override { close(); }
    void connectionDestroyed() override;

private:
    TDataLinkConnection* connection_;
    std::string name_;
    std::string commandText_;
    PreparedCommand command_;
    dl::DriverRef<dl::IDriverCursor> cursor_;
};

}  // namespace db
