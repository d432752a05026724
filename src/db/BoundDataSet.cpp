#include "BoundDataSet.h"

#include "Errors.h"

namespace db {

TBoundDataSet::TBoundDataSet(TDataLinkConnection& connection, std::string name)
    : connection_(&connection), name_(std::move(name)) {
    connection_->addClient(this);
}

TBoundDataSet::~TBoundDataSet() {
    if (connection_) connection_->removeClient(this);
}

void TBoundDataSet::connectionDestroyed() {
    close();
    connection_ = nullptr;
}

TDataLinkConnection& TBoundDataSet::connection() const {
    if (!connection_) throw rt::DatabaseError::forComponent(name_, "Missing connection");
    return *connection_;
}

}  // namespace db
