#include "ServerQuery.h"

#include "Errors.h"

namespace db {

TServerQuery::TServerQuery(TDataLinkConnection& connection, std::string name)
    : connection_(&connection), name_(std::move(name)) {
    connection_->addClient(this);
}

TServerQuery::~TServerQuery() {
    close();
    if (connection_) connection_->removeClient(this);
}

void TServerQuery::connectionDestroyed() {
    close();
    connection_ = nullptr;
}

TDataLinkConnection& TServerQuery::connection() const {
    if (!connection_) throw rt::DatabaseError::forComponent(name_, "Missing connection");
    return *connection_;
}

void TServerQuery::setCommandText(std::string text) {
    close();
    commandText_ = std::move(text);
}

void TServerQuery::open() {
    if (active()) return;
    try {
        command_.prepare(connection(), commandText_, 0);
        cursor_ = command_.execute();
    } catch (...) {
        close();
        throw;
    }
    if (!cursor_) {
        close();
        throw rt::DatabaseError::forComponent(name_, "Statement returned no result set");
    }
}

void TServerQuery::close() {
    cursor_.reset();
    command_.release();
}

}  // namespace db
