#include "SQLDataSet.h"

#include "Errors.h"

namespace db {

TSQLDataSet::TSQLDataSet(TDataLinkConnection& connection, std::string name)
    : connection_(&connection), name_(std::move(name)) {
    connection_->addClient(this);
}

TSQLDataSet::~TSQLDataSet() {
    close();
    if (connection_) connection_->removeClient(this);
}

void TSQLDataSet::connectionDestroyed() {
    close();
    connection_ = nullptr;
}

TDataLinkConnection& TSQLDataSet::connection() const {
    if (!connection_) throw rt::DatabaseError::forComponent(name_, "Missing connection");
    return *connection_;
}

void TSQLDataSet::setCommandText(std::string text) {
    close();
    commandText_ = std::move(text);
}

void TSQLDataSet::open() {
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

void TSQLDataSet::close() {
    cursor_.reset();
    command_.release();
}

}  // namespace db
