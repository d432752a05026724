#include "HeldRowLock.h"

#include <ibase.h>

#include "ClientApi.h"

namespace testsupport {

struct HeldRowLock::Handles {
    isc_db_handle database = 0;
    isc_tr_handle transaction = 0;
};

namespace {

void addText(std::string& block, char item, const std::string& value) {
    block += item;
    block += static_cast<char>(value.size());
    block += value;
}

}  // namespace

HeldRowLock::HeldRowLock(const std::string& database, const std::string& password, const std::string& update)
    : handles_(std::make_unique<Handles>()) {
    prepareEmbeddedAccess();
    std::string parameters(1, isc_dpb_version1);
    addText(parameters, isc_dpb_user_name, "SYSDBA");
    addText(parameters, isc_dpb_password, password);
    ISC_STATUS_ARRAY status;
    isc_attach_database(status, static_cast<short>(database.size()), database.c_str(), &handles_->database,
                        static_cast<short>(parameters.size()), parameters.data());
    checkStatus(status, "attach " + database);
    static const char kWaitingWrite[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed,
                                         isc_tpb_rec_version, isc_tpb_wait};
    isc_start_transaction(status, &handles_->transaction, 1, &handles_->database,
                          static_cast<unsigned short>(sizeof kWaitingWrite), kWaitingWrite);
    checkStatus(status, "start transaction");
    isc_dsql_execute_immediate(status, &handles_->database, &handles_->transaction, 0, update.c_str(), 3, nullptr);
    checkStatus(status, update);
}

HeldRowLock::~HeldRowLock() {
    ISC_STATUS_ARRAY status;
    if (handles_->transaction) isc_rollback_transaction(status, &handles_->transaction);
    if (handles_->database) isc_detach_database(status, &handles_->database);
}

}  // namespace testsupport
