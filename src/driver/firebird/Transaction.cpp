#include "Transaction.h"

#include "ErrorText.h"

namespace fbdrv {

namespace {
struct TransactionBlock {
    isc_db_handle* db;
    long length;
    const char* parameters;
};
}  // namespace

bool Transaction::start(isc_db_handle* db, const std::string& parameters, ISC_STATUS* status) {
    TransactionBlock block{db, static_cast<long>(parameters.size()), parameters.data()};
    api_->start_multiple(status, &handle_, 1, &block);
    return !failed(status);
}

bool Transaction::commit(ISC_STATUS* status) {
    api_->commit_transaction(status, &handle_);
    if (failed(status)) {
        rollback();
        return false;
    }
    return true;
}

bool Transaction::commitRetaining(ISC_STATUS* status) {
    api_->commit_retaining(status, &handle_);
    return !failed(status);
}

void Transaction::rollback() {
    ISC_STATUS_ARRAY status;
    rollback(status);
}

bool Transaction::rollback(ISC_STATUS* status) {
    status[0] = 1;
    status[1] = 0;
    if (!handle_) return true;
    api_->rollback_transaction(status, &handle_);
    handle_ = 0;
    return !failed(status);
}

}  // namespace fbdrv
