#include "FirebirdConnection.h"

#include "CallGuard.h"
#include "FirebirdCommand.h"
#include "FirebirdCursor.h"
#include "FirebirdMetaData.h"

#include <vector>

namespace fbdrv {

namespace {
// Idle prepared statements kept per connection; the program uses a handful
// of texts, this only bounds a caller that builds many distinct ones.
constexpr std::size_t kIdleStatementLimit = 64;
// A check of an idle connection must answer at once; a server that takes
// longer is treated as gone, and the connection is made anew.
constexpr std::chrono::milliseconds kCheckAnswerLimit{10'000};
constexpr std::int64_t kLongestAnswerTimeout = 24 * 60 * 60;
}  // namespace

// The interface methods: each runs its work under guarded(), so that nothing
// thrown crosses into the program.

dl::DriverResult FirebirdConnection::setOption(std::int32_t option, std::int64_t value) {
    return guarded(&error_, [&] { return setOptionUnguarded(option, value); });
}

dl::DriverResult FirebirdConnection::setOptionText(std::int32_t option, const char* value) {
    return guarded(&error_, [&] { return setOptionTextUnguarded(option, value); });
}

dl::DriverResult FirebirdConnection::getOption(std::int32_t option, void* buffer, std::int32_t maxLength,
                                               std::int32_t* length) {
    return guarded(&error_, [&] { return getOptionUnguarded(option, buffer, maxLength, length); });
}

dl::DriverResult FirebirdConnection::connect(const char* database, const char* user, const char* password) {
    return guarded(&error_, [&] { return connectUnguarded(database, user, password); });
}

dl::DriverResult FirebirdConnection::disconnect() {
    return awaitingAnswer(error_, [&] { return guarded(&error_, [&] { return disconnectUnguarded(); }); });
}

dl::DriverResult FirebirdConnection::getMetaData(dl::IDriverMetaData** metaData) {
    return guarded(&error_, [&] { return getMetaDataUnguarded(metaData); });
}

dl::DriverResult FirebirdConnection::getCommand(dl::IDriverCommand** command) {
    return guarded(&error_, [&] { return getCommandUnguarded(command); });
}

dl::DriverResult FirebirdConnection::startTransaction() {
    return awaitingAnswer(error_, [&] { return guarded(&error_, [&] { return startTransactionUnguarded(); }); });
}

dl::DriverResult FirebirdConnection::commitTransaction() {
    return awaitingAnswer(error_, [&] { return guarded(&error_, [&] { return commitTransactionUnguarded(); }); });
}

dl::DriverResult FirebirdConnection::rollbackTransaction() {
    return awaitingAnswer(error_, [&] { return guarded(&error_, [&] { return rollbackTransactionUnguarded(); }); });
}

dl::DriverResult FirebirdConnection::control(std::int32_t request) {
    if (request == dl::control::CancelRaise || request == dl::control::CancelAbort) return cancel(request);
    return guarded(&error_, [&] {
        error_.clear();
        if (request == dl::control::CheckAttachment)
            return awaitingAnswer(error_, [&] { return checkAttachment(); }, kCheckAnswerLimit);
        return error_.set(dl::status::InvalidParameter, "Unknown control request " + std::to_string(request));
    });
}

FirebirdConnection::FirebirdConnection(std::shared_ptr<const ClientApi> api)
    : api_(std::move(api)), retained_(*api_), caller_(*api_) {}

FirebirdConnection::~FirebirdConnection() { disconnect(); }

dl::DriverResult FirebirdConnection::setOptionUnguarded(std::int32_t option, std::int64_t value) {
    error_.clear();
    if (option == dl::connopt::AnswerTimeout) {
        if (value < 0 || value > kLongestAnswerTimeout)
            return error_.set(dl::status::InvalidParameter,
                              "Answer timeout " + std::to_string(value) + " is not 0 to " +
                                  std::to_string(kLongestAnswerTimeout) + " seconds");
        answerWatch_.setTimeout(std::chrono::seconds(value));
        return dl::status::Success;
    }
    return settings_.set(option, value);
}

dl::DriverResult FirebirdConnection::setOptionTextUnguarded(std::int32_t option, const char* value) {
    error_.clear();
    return settings_.setText(option, value);
}

dl::DriverResult FirebirdConnection::getOptionUnguarded(std::int32_t option, void* buffer, std::int32_t maxLength,
                                                        std::int32_t* length) {
    error_.clear();
    return settings_.get(option, buffer, maxLength, length);
}

dl::DriverResult FirebirdConnection::connectUnguarded(const char* database, const char* user, const char* password) {
    error_.clear();
    disconnect();
    if (!database || !*database) return error_.set(dl::status::InvalidParameter, "No database given");
    std::string name = settings_.databaseName(database);
    const std::string userName = user ? user : "";
    const std::string passwordText = password ? password : "";
    if (std::string refusal = settings_.attachRefusal(name, userName, passwordText); !refusal.empty())
        return error_.set(dl::status::InvalidLength, std::move(refusal));
    std::string parameters = settings_.attachParameters(userName, passwordText);
    ISC_STATUS_ARRAY status;
    const auto started = std::chrono::steady_clock::now();
    api_->attach_database(status, static_cast<short>(name.size()), name.data(), &db_,
                          static_cast<short>(parameters.size()), parameters.data());
    if (failed(status)) {
        db_ = 0;
        dl::DriverResult result = status[1] == isc_login ? dl::status::InvalidUserPassword : dl::status::ConnectFailed;
        result = error_.setFromStatus(result, *api_, status);
        // The client's words for a server that took the connection and never
        // answered ("connection rejected") hide that it was a wait that ran out.
        const std::chrono::seconds limit(settings_.connectTimeout());
        if (std::chrono::steady_clock::now() - started >= limit - std::chrono::milliseconds(500))
            error_.setNoAnswerToConnect(limit.count());
        return result;
    }
    cancelHandle_.store(db_);
    return dl::status::Success;
}

dl::DriverResult FirebirdConnection::disconnectUnguarded() {
    if (!db_) return dl::status::Success;
    cancelHandle_.store(0);
    while (!cursors_.empty()) (*cursors_.begin())->abandon();
    ISC_STATUS_ARRAY status;
    // The caller never committed it: nothing of it may stay.
    caller_.rollback();
    if (retained_.active()) retained_.commit(status);
    freeStatements();
    api_->detach_database(status, &db_);
    db_ = 0;
    ++attachment_;
    if (failed(status)) return error_.setFromStatus(dl::status::SqlError, *api_, status);
    return dl::status::Success;
}

dl::DriverResult FirebirdConnection::getMetaDataUnguarded(dl::IDriverMetaData** metaData) {
    error_.clear();
    if (!metaData) return dl::status::InvalidParameter;
    *metaData = new FirebirdMetaData(this);
    return dl::status::Success;
}

dl::DriverResult FirebirdConnection::getCommandUnguarded(dl::IDriverCommand** command) {
    error_.clear();
    if (!command) return dl::status::InvalidParameter;
    if (!db_) return error_.set(dl::status::InvalidHandle, "Not connected");
    *command = new FirebirdCommand(this);
    return dl::status::Success;
}

dl::DriverResult FirebirdConnection::startTransactionUnguarded() {
    error_.clear();
    if (!db_) return error_.set(dl::status::InvalidHandle, "Not connected");
    if (caller_.active())
        return error_.set(dl::status::TransactionActive, "A transaction is already active on this connection");
    ISC_STATUS_ARRAY status;
    if (!caller_.start(&db_, settings_.transactionParameters(false), status))
        return error_.setFromStatus(dl::status::SqlError, *api_, status);
    return dl::status::Success;
}

dl::DriverResult FirebirdConnection::commitTransactionUnguarded() {
    error_.clear();
    if (!caller_.active()) return error_.set(dl::status::InvalidTransactionId, "No transaction is active");
    endCallerCursors();
    ISC_STATUS_ARRAY status;
    if (!caller_.commit(status)) return error_.setFromStatus(dl::status::SqlError, *api_, status);
    return dl::status::Success;
}

dl::DriverResult FirebirdConnection::rollbackTransactionUnguarded() {
    error_.clear();
    if (!caller_.active()) return dl::status::Success;
    endCallerCursors();
    ISC_STATUS_ARRAY status;
    if (!caller_.rollback(status)) return error_.setFromStatus(dl::status::SqlError, *api_, status);
    return dl::status::Success;
}

void FirebirdConnection::endCallerCursors() {
    std::vector<FirebirdCursor*> ending;
    for (FirebirdCursor* cursor : cursors_)
        if (cursor->readsInCallerTransaction()) ending.push_back(cursor);
    for (FirebirdCursor* cursor : ending) cursor->abandon();
}

dl::DriverResult FirebirdConnection::checkAttachment() {
    if (!db_) return error_.set(dl::status::InvalidHandle, "Not connected");
    // The smallest answer the server gives: the server's own version is not
    // asked for, only that it answers at all.
    static const char kItems[] = {isc_info_ods_version, isc_info_end};
    char answer[32];
    ISC_STATUS_ARRAY status;
    api_->database_info(status, &db_, sizeof kItems, kItems, sizeof answer, answer);
    if (failed(status)) return error_.setFromStatus(dl::status::SqlError, *api_, status);
    return dl::status::Success;
}

dl::DriverResult FirebirdConnection::cancel(std::int32_t request) noexcept {
    isc_db_handle handle = cancelHandle_.load();
    if (!handle) return dl::status::InvalidHandle;
    ISC_STATUS_ARRAY status;
    api_->cancel_operation(status, &handle,
                           static_cast<ISC_USHORT>(request == dl::control::CancelRaise ? fb_cancel_raise : fb_cancel_abort));
    // Nothing in flight to end is no failure of the request.
    if (failed(status) && status[1] != isc_nothing_to_cancel) return dl::status::SqlError;
    return dl::status::Success;
}

std::unique_ptr<PreparedStatement> FirebirdConnection::takeStatement(const std::string& sql, ISC_STATUS* status) {
    if (auto found = idle_.find(sql); found != idle_.end()) {
        auto statement = std::move(found->second);
        idle_.erase(found);
        return statement;
    }
    auto statement = std::make_unique<PreparedStatement>(*api_, sql);
    Transaction transaction(*api_);
    if (!transaction.start(&db_, settings_.transactionParameters(true), status)) return nullptr;
    bool prepared = statement->prepare(&db_, transaction.handle(), settings_.dialect(), status);
    if (!prepared) {
        statement->free();
        return nullptr;
    }
    ISC_STATUS_ARRAY ignored;
    transaction.commit(ignored);
    return statement;
}

void FirebirdConnection::giveBack(std::unique_ptr<PreparedStatement> statement, std::uint64_t attachment) {
    if (!statement || attachment != attachment_ || !db_) return;  // died with its attachment
    if (idle_.size() >= kIdleStatementLimit) {
        statement->free();
        return;
    }
    // Called from destructors too: a statement that cannot be kept is freed.
    try {
        std::string key = statement->sql();
        idle_.emplace(std::move(key), std::move(statement));
    } catch (const std::bad_alloc&) {
        if (statement) statement->free();
    }
}

bool FirebirdConnection::runToEnd(PreparedStatement& statement, XSQLDA* input, std::int64_t* rows,
                                  ISC_STATUS* status) {
    if (caller_.active()) {
        // A failed statement has undone its own work; the caller decides
        // about the rest of the transaction.
        api_->dsql_execute(status, caller_.handle(), statement.handle(), settings_.dialect(), input);
        return !failed(status) && statement.rowsAffected(rows, status);
    }
    Transaction own(*api_);
    Transaction& transaction = settings_.commitRetain ? retained_ : own;
    if (!transaction.active() && !transaction.start(&db_, settings_.transactionParameters(false), status))
        return false;
    api_->dsql_execute(status, transaction.handle(), statement.handle(), settings_.dialect(), input);
    if (failed(status)) {
        // A failed statement has undone its own work; the retained transaction
        // holds nothing else uncommitted.
        if (&transaction == &own) own.rollback();
        return false;
    }
    if (!statement.rowsAffected(rows, status)) return false;
    return &transaction == &own ? own.commit(status) : retained_.commitRetaining(status);
}

void FirebirdConnection::freeStatements() {
    for (auto& [sql, statement] : idle_) statement->free();
    idle_.clear();
}

}  // namespace fbdrv
