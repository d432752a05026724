#include "ServerQuery.h"

#include "Errors.h"

namespace db {

TServerQuery::TServerQuery(TDataLinkConnection& connection, std::string name)
    : TBoundDataSet(connection, std::move(name)) {}

TServerQuery::~TServerQuery() { close(); }

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
        throw rt::DatabaseError::forComponent(name(), "Statement returned no result set");
    }
}

void TServerQuery::close() {
    cursor_.reset();
    command_.release();
}

}  // namespace db
