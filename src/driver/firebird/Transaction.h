// One transaction on an attachment, rolled back if it is still open when it
// goes.
#pragma once

#include "ClientLibrary.h"

#include <string>

namespace fbdrv {

class Transaction {
public:
    Transaction(const ClientApi& api) : api_(&api) {}
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    Transaction(Transaction&& other) noexcept : api_(other.api_), handle_(other.handle_) { other.handle_ = 0; }
    ~Transaction() { rollback(); }

    // Returns false and fills status on failure.
    bool start(isc_db_handle* db, const std::string& parameters, ISC_STATUS* status);
    bool commit(ISC_STATUS* status);
    // Commits and keeps the transaction's context open for the next statement.
    bool commitRetaining(ISC_STATUS* status);
    void rollback();
    // Rolls back and reports a failure; the handle is dropped either way.
    bool rollback(ISC_STATUS* status);
    // Drops a handle that died with its attachment.
    void forget() { handle_ = 0; }

    bool active() const { return handle_ != 0; }
    isc_tr_handle* handle() { return &handle_; }

private:
    const ClientApi* api_;
    isc_tr_handle handle_ = 0;
};

}  // namespace fbdrv
