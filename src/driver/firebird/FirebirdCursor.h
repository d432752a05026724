// The rows of an executed SELECT, read in its own transaction, which is
// committed as soon as the last row has been fetched or the cursor closes;
// or read in the caller's transaction on the connection, which it leaves
// open.
#pragma once

#include "ErrorText.h"
#include "FirebirdCommand.h"
#include "PreparedStatement.h"
#include "RefCounted.h"
#include "RowBatch.h"
#include "Transaction.h"

#include <DriverInterface.h>

namespace fbdrv {

class FirebirdCursor final : public RefCounted<dl::IDriverCursor>, private BlobReader {
public:
    // An inactive transaction reads in the caller's transaction, callerTransaction.
    FirebirdCursor(FirebirdCommand* command, PreparedStatement* statement, Transaction transaction,
                   isc_tr_handle* callerTransaction, std::int32_t rowsetSize, bool trimChar);
    ~FirebirdCursor() override;

    dl::DriverResult getColumnCount(std::uint16_t* count) override;
    dl::DriverResult getColumnName(std::uint16_t position, const char** name) override;
    dl::DriverResult getColumnType(std::uint16_t position, dl::ColumnType* type) override;
    dl::DriverResult next(bool* hasRow) override;
    dl::DriverResult getInt64(std::uint16_t position, std::int64_t* value, bool* isNull) override;
    dl::DriverResult getDouble(std::uint16_t position, double* value, bool* isNull) override;
    dl::DriverResult getText(std::uint16_t position, const char** data, std::uint32_t* length,
                             bool* isNull) override;
    dl::DriverResult getErrorMessageLen(std::int32_t* length) override { return error_.length(length); }
    dl::DriverResult getErrorMessage(char* buffer) override { return error_.copy(buffer); }
    dl::DriverResult getErrorCode(std::int32_t* serverCode, bool* connectionLost) override {
        return error_.codes(serverCode, connectionLost);
    }

    // The command needs its statement back: the rows not read are dropped.
    void abandon();
    bool readsInCallerTransaction() const { return inCallerTransaction_; }

private:
    // The work of the interface methods above, which may throw.
    dl::DriverResult getColumnCountUnguarded(std::uint16_t* count);
    dl::DriverResult getColumnNameUnguarded(std::uint16_t position, const char** name);
    dl::DriverResult getColumnTypeUnguarded(std::uint16_t position, dl::ColumnType* type);
    dl::DriverResult nextUnguarded(bool* hasRow);
    dl::DriverResult getInt64Unguarded(std::uint16_t position, std::int64_t* value, bool* isNull);
    dl::DriverResult getDoubleUnguarded(std::uint16_t position, double* value, bool* isNull);
    dl::DriverResult getTextUnguarded(std::uint16_t position, const char** data, std::uint32_t* length, bool* isNull);

    bool read(ISC_QUAD* id, std::string& text, ISC_STATUS* status) override;
    // fetchBatch under the connection's answer watch.
    dl::DriverResult fetchWatched();
    dl::DriverResult fetchBatch();
    void finish();
    bool serverAlive() const;
    dl::DriverResult currentCell(std::uint16_t position, const RowBatch::Cell** cell);

    Retained<FirebirdCommand> command_;
    PreparedStatement* statement_;
    std::uint64_t attachment_;
    Transaction transaction_;
    bool inCallerTransaction_;
    isc_tr_handle* reading_;  // transaction_'s handle, or the caller's
    std::int32_t rowsetSize_;
    bool trimChar_;
    bool open_ = true;       // the server cursor is open
    bool abandoned_ = false;
    bool started_ = false;
    bool fetchFailed_ = false;
    std::size_t row_ = 0;
    RowBatch batch_;
    ErrorText error_;
};

}  // namespace fbdrv
