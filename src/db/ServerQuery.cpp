#include "ServerQuery.h"

#include "Errors.h"
#include "ScopeGuard.h"

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
    rt::ScopeGuard closeUnopened([this] { close(); });
    command_.prepare(connection(), commandText_, 0);
    cursor_ = command_.execute();
    if (!cursor_) throw rt::DatabaseError::forComponent(name(), "Statement returned no result set");
    closeUnopened.dismiss();
}

void TServerQuery::close() {
    cursor_.reset();
    command_.release();
}

}  // namespace db
