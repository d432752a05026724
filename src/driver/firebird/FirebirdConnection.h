// One attachment to a Firebird database. It keeps the statements it has
// prepared, keyed by their exact text, so that a text prepared again (the
// program rebuilds and prepares its UPDATE for every row it writes) reuses
// the server's prepared statement instead of preparing anew.
#pragma once

#include "AnswerWatch.h"
#include "ClientLibrary.h"
#include "ConnectionSettings.h"
#include "ErrorText.h"
#include "PreparedStatement.h"
#include "RefCounted.h"
#include "Transaction.h"

#include <DriverInterface.h>

#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace fbdrv {

class FirebirdCursor;

class FirebirdConnection final : public RefCounted<dl::IDriverConnection> {
public:
    explicit FirebirdConnection(std::shared_ptr<const ClientApi> api);
    ~FirebirdConnection() override;

    dl::DriverResult setOption(std::int32_t option, std::int64_t value) override;
    dl::DriverResult setOptionText(std::int32_t option, const char* value) override;
    dl::DriverResult getOption(std::int32_t option, void* buffer, std::int32_t maxLength,
                               std::int32_t* length) override;
    dl::DriverResult connect(const char* database, const char* user, const char* password) override;
    dl::DriverResult disconnect() override;
    dl::DriverResult getErrorMessageLen(std::int32_t* length) override { return error_.length(length); }
    dl::DriverResult getErrorMessage(char* buffer) override { return error_.copy(buffer); }
    dl::DriverResult getErrorCode(std::int32_t* serverCode, bool* connectionLost) override {
        return error_.codes(serverCode, connectionLost);
    }
    dl::DriverResult getMetaData(dl::IDriverMetaData** metaData) override;
    dl::DriverResult getCommand(dl::IDriverCommand** command) override;
    dl::DriverResult startTransaction() override;
    dl::DriverResult commitTransaction() override;
    dl::DriverResult rollbackTransaction() override;
    dl::DriverResult control(std::int32_t request) override;

    // Runs one interface call that waits on the server under the answer
    // watch; when the watch had to close the connection, the error says so.
    // A limit shorter than the answer timeout may be given.
    template <class Work>
    dl::DriverResult awaitingAnswer(ErrorText& error, Work&& work,
                                    std::chrono::milliseconds limit = std::chrono::milliseconds(0)) {
        const AnswerWatch::Call call = answerWatch_.call(limit);
        const dl::DriverResult result = std::forward<Work>(work)();
        if (result != dl::status::Success && call.closedConnection()) error.setNoAnswer(call.limitSeconds());
        return result;
    }
    AnswerWatch& answerWatch() { return answerWatch_; }

    // What commands and cursors share.
    const ClientApi& api() const { return *api_; }
    const ConnectionSettings& settings() const { return settings_; }
    isc_db_handle* db() { return &db_; }
    bool attached() const { return db_ != 0; }
    // Changes at every disconnect: statements of an older attachment are dead.
    std::uint64_t attachment() const { return attachment_; }

    // A prepared statement for the text: an idle one prepared before, or a
    // new one. Null with status filled on failure.
    std::unique_ptr<PreparedStatement> takeStatement(const std::string& sql, ISC_STATUS* status);
    // Gives a statement back for reuse once its command is done with it.
    void giveBack(std::unique_ptr<PreparedStatement> statement, std::uint64_t attachment);
    // Runs a statement that returns no rows in the caller's transaction when
    // one is active; otherwise in a transaction that is committed before this
    // returns (kept open with commit retaining when asked for).
    bool runToEnd(PreparedStatement& statement, XSQLDA* input, std::int64_t* rows, ISC_STATUS* status);
    // The caller's transaction, for a SELECT's cursor; null when none is active.
    isc_tr_handle* callerTransaction() { return caller_.active() ? caller_.handle() : nullptr; }
    // Open cursors hold transactions that must end before a detach.
    void cursorOpened(FirebirdCursor* cursor) { cursors_.insert(cursor); }
    void cursorEnded(FirebirdCursor* cursor) { cursors_.erase(cursor); }

private:
    // The work of the interface methods above, which may throw.
    dl::DriverResult setOptionUnguarded(std::int32_t option, std::int64_t value);
    dl::DriverResult setOptionTextUnguarded(std::int32_t option, const char* value);
    dl::DriverResult getOptionUnguarded(std::int32_t option, void* buffer, std::int32_t maxLength,
                                        std::int32_t* length);
    dl::DriverResult connectUnguarded(const char* database, const char* user, const char* password);
    dl::DriverResult disconnectUnguarded();
    dl::DriverResult getMetaDataUnguarded(dl::IDriverMetaData** metaData);
    dl::DriverResult getCommandUnguarded(dl::IDriverCommand** command);
    dl::DriverResult startTransactionUnguarded();
    dl::DriverResult commitTransactionUnguarded();
    dl::DriverResult rollbackTransactionUnguarded();
    dl::DriverResult checkAttachment();
    // Safe from any thread: reads only the handle's copy below.
    dl::DriverResult cancel(std::int32_t request) noexcept;

    void freeStatements();
    // Cursors reading in the caller's transaction end with it.
    void endCallerCursors();

    std::shared_ptr<const ClientApi> api_;
    ConnectionSettings settings_;
    ErrorText error_;
    isc_db_handle db_ = 0;
    // The handle as another thread's cancel reads it: set after the attach,
    // cleared before the detach.
    std::atomic<isc_db_handle> cancelHandle_{0};
    std::uint64_t attachment_ = 0;
    std::unordered_multimap<std::string, std::unique_ptr<PreparedStatement>> idle_;
    Transaction retained_;
    Transaction caller_;
    std::unordered_set<FirebirdCursor*> cursors_;
    // Last, so that its thread has stopped before anything it reaches goes.
    AnswerWatch answerWatch_{[this] { cancel(dl::control::CancelAbort); }};
};

}  // namespace fbdrv
