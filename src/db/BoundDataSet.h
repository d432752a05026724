// A dataset bound to one connection for its whole life: registered with it,
// so that the connection closes it before disconnecting and lets it know
// when the connection itself goes first.
#pragma once

#include <string>

#include "TDataLinkConnection.h"

namespace db {

class TBoundDataSet : public TDataLinkConnectionClient {
public:
    TBoundDataSet(const TBoundDataSet&) = delete;
    TBoundDataSet& operator=(const TBoundDataSet&) = delete;

    const std::string& name() const { return name_; }
    // Raises "%s: Missing connection" once the connection is gone.
    TDataLinkConnection& connection() const;

    // Releases everything the dataset holds on the server.
    virtual void close() = 0;

    void connectionClosing() override { close(); }
    void connectionDestroyed() override;

protected:
    TBoundDataSet(TDataLinkConnection& connection, std::string name);
    // A derived dataset closes itself in its own destructor, while its
    // close() is still its own.
    ~TBoundDataSet();

private:
    TDataLinkConnection* connection_;
    std::string name_;
};

}  // namespace db
