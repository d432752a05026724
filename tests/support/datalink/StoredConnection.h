// The window's connection as the stored settings make it, with a statement
// service on it, both made at first use. Dropped again by the tests that let
// another process open the embedded database: one process at a time opens
// it.
#pragma once

#include <memory>

#include "StatementService.h"
#include "TDataLinkConnection.h"

namespace testsupport {

class StoredConnection {
public:
    db::TStatementService& statement() {
        if (!connection_) {
            connection_ = std::make_unique<db::TDataLinkConnection>("SQLConnection1");
            connection_->applyStoredProperties();
            statement_ = std::make_unique<db::TStatementService>(*connection_);
        }
        return *statement_;
    }
    void disconnect() {
        statement_.reset();
        connection_.reset();
    }

private:
    std::unique_ptr<db::TDataLinkConnection> connection_;
    std::unique_ptr<db::TStatementService> statement_;
};

}  // namespace testsupport
