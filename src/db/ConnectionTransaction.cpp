#include "ConnectionTransaction.h"

#include <exception>

#include "TDataLinkConnection.h"

namespace db {

TConnectionTransaction::TConnectionTransaction(TDataLinkConnection& connection) : connection_(connection) {
    connection_.startTransaction();
    active_ = true;
}

TConnectionTransaction::~TConnectionTransaction() {
    if (!active_) return;
    // Only reached while another error leaves the scope: that error is the
    // one to tell, and an uncommitted transaction is rolled back by the
    // server anyway when the attachment ends.
    try {
        connection_.rollbackTransaction();
    } catch (const std::exception&) {
    }
}

void TConnectionTransaction::commit() {
    active_ = false;
    connection_.commitTransaction();
}

void TConnectionTransaction::rollback() {
    active_ = false;
    connection_.rollbackTransaction();
}

}  // namespace db
