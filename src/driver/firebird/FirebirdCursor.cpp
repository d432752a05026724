#include "FirebirdCursor.h"

#include "CallGuard.h"
namespace fbdrv {

// The interface methods: each runs its work under guarded(), so that nothing
// thrown crosses into the program.

dl::DriverResult FirebirdCursor::getColumnCount(std::uint16_t* count) {
    return guarded(&error_, [&] { return getColumnCountUnguarded(count); });
}

dl::DriverResult FirebirdCursor::getColumnName(std::uint16_t position, const char** name) {
    return guarded(&error_, [&] { return getColumnNameUnguarded(position, name); });
}

dl::DriverResult FirebirdCursor::getColumnType(std::uint16_t position, dl::ColumnType* type) {
    return guarded(&error_, [&] { return getColumnTypeUnguarded(position, type); });
}

dl::DriverResult FirebirdCursor::next(bool* hasRow) {
    return guarded(&error_, [&] { return nextUnguarded(hasRow); });
}

dl::DriverResult FirebirdCursor::getInt64(std::uint16_t position, std::int64_t* value, bool* isNull) {
    return guarded(&error_, [&] { return getInt64Unguarded(position, value, isNull); });
}

dl::DriverResult FirebirdCursor::getDouble(std::uint16_t position, double* value, bool* isNull) {
    return guarded(&error_, [&] { return getDoubleUnguarded(position, value, isNull); });
}

dl::DriverResult FirebirdCursor::getText(std::uint16_t position, const char** data, std::uint32_t* length,
                                         bool* isNull) {
    return guarded(&error_, [&] { return getTextUnguarded(position, data, length, isNull); });
}

FirebirdCursor::FirebirdCursor(FirebirdCommand* command, PreparedStatement* statement, Transaction transaction,
                               isc_tr_handle* callerTransaction, std::int32_t rowsetSize, bool trimChar)
    : command_(command),
      statement_(statement),
      attachment_(command->connection().attachment()),
      transaction_(std::move(transaction)),
      inCallerTransaction_(!transaction_.active()),
      reading_(inCallerTransaction_ ? callerTransaction : transaction_.handle()),
      rowsetSize_(rowsetSize),
      trimChar_(trimChar) {
    command->connection().cursorOpened(this);
}

FirebirdCursor::~FirebirdCursor() {
    finish();
    command_->cursorClosed(this);
}

bool FirebirdCursor::serverAlive() const {
    FirebirdConnection& connection = command_->connection();
    return connection.attached() && connection.attachment() == attachment_;
}

void FirebirdCursor::finish() {
    if (!open_) return;
    open_ = false;
    command_->connection().cursorEnded(this);
    if (!serverAlive()) {
        transaction_.forget();
        return;
    }
    const AnswerWatch::Call call = command_->connection().answerWatch().call();
    ISC_STATUS_ARRAY status;
    command_->connection().api().dsql_free_statement(status, statement_->handle(), DSQL_close);
    if (transaction_.active()) transaction_.commit(status);
}

void FirebirdCursor::abandon() {
    finish();
    abandoned_ = true;
}

dl::DriverResult FirebirdCursor::getColumnCountUnguarded(std::uint16_t* count) {
    error_.clear();
    if (!count) return dl::status::InvalidParameter;
    if (abandoned_) return error_.set(dl::status::InvalidHandle, "Cursor closed");
    *count = static_cast<std::uint16_t>(statement_->columns().size());
    return dl::status::Success;
}

dl::DriverResult FirebirdCursor::getColumnNameUnguarded(std::uint16_t position, const char** name) {
    error_.clear();
    if (!name) return dl::status::InvalidParameter;
    if (abandoned_) return error_.set(dl::status::InvalidHandle, "Cursor closed");
    if (position < 1 || position > statement_->columns().size())
        return error_.set(dl::status::OutOfRange, "Column " + std::to_string(position) + " out of range");
    *name = statement_->columns()[position - 1u].name.c_str();
    return dl::status::Success;
}

dl::DriverResult FirebirdCursor::getColumnTypeUnguarded(std::uint16_t position, dl::ColumnType* type) {
    error_.clear();
    if (!type) return dl::status::InvalidParameter;
    if (abandoned_) return error_.set(dl::status::InvalidHandle, "Cursor closed");
    if (position < 1 || position > statement_->columns().size())
        return error_.set(dl::status::OutOfRange, "Column " + std::to_string(position) + " out of range");
    *type = statement_->columns()[position - 1u].type;
    return dl::status::Success;
}

dl::DriverResult FirebirdCursor::nextUnguarded(bool* hasRow) {
    error_.clear();
    if (!hasRow) return dl::status::InvalidParameter;
    *hasRow = false;
    if (abandoned_) return error_.set(dl::status::InvalidHandle, "Cursor closed");
    if (fetchFailed_) return error_.set(dl::status::InvalidHandle, "Cursor stopped at a failed fetch");
    if (started_ && row_ + 1 < batch_.rows()) {
        ++row_;
        *hasRow = true;
        return dl::status::Success;
    }
    started_ = true;
    row_ = 0;
    // Stays set when the fetch fails or throws: the rows it took from the
    // server are gone, and reading on would skip them without a word.
    fetchFailed_ = true;
    if (dl::DriverResult result = fetchWatched()) return result;
    fetchFailed_ = false;
    *hasRow = batch_.rows() > 0;
    return dl::status::Success;
}

dl::DriverResult FirebirdCursor::fetchWatched() {
    return command_->connection().awaitingAnswer(error_, [&] { return fetchBatch(); });
}

dl::DriverResult FirebirdCursor::fetchBatch() {
    batch_.clear();
    if (!open_) return dl::status::Success;
    if (!serverAlive()) {
        finish();
        return error_.set(dl::status::InvalidHandle, "Not connected");
    }
    const ClientApi& api = command_->connection().api();
    unsigned short dialect = command_->connection().settings().dialect();
    ISC_STATUS_ARRAY status;
    for (std::int32_t i = 0; i < rowsetSize_; ++i) {
        ISC_STATUS fetched = api.dsql_fetch(status, statement_->handle(), dialect, statement_->output());
        if (fetched == 100) {
            finish();
            break;
        }
        if (failed(status) || !batch_.append(statement_->output(), trimChar_, *this, status)) {
            dl::DriverResult result = error_.setFromStatus(dl::status::SqlError, api, status);
            finish();
            batch_.clear();
            return result;
        }
    }
    return dl::status::Success;
}

bool FirebirdCursor::read(ISC_QUAD* id, std::string& text, ISC_STATUS* status) {
    const ClientApi& api = command_->connection().api();
    isc_blob_handle blob = 0;
    text.clear();
    api.open_blob2(status, command_->connection().db(), reading_, &blob, id, 0, nullptr);
    if (failed(status)) return false;
    char segment[8192];
    unsigned short length = 0;
    for (;;) {
        ISC_STATUS result = api.get_segment(status, &blob, &length, sizeof segment, segment);
        if (result != 0 && result != isc_segment) break;
        text.append(segment, length);
    }
    bool ended = status[1] == isc_segstr_eof;
    ISC_STATUS_ARRAY closing;
    api.close_blob(closing, &blob);
    return ended;
}

dl::DriverResult FirebirdCursor::currentCell(std::uint16_t position, const RowBatch::Cell** cell) {
    error_.clear();
    if (abandoned_) return error_.set(dl::status::InvalidHandle, "Cursor closed");
    if (!started_ || row_ >= batch_.rows()) return error_.set(dl::status::Eof, "No current row");
    if (position < 1 || position > statement_->columns().size())
        return error_.set(dl::status::OutOfRange, "Column " + std::to_string(position) + " out of range");
    *cell = &batch_.cell(row_, position - 1u);
    return dl::status::Success;
}

dl::DriverResult FirebirdCursor::getInt64Unguarded(std::uint16_t position, std::int64_t* value, bool* isNull) {
    const RowBatch::Cell* cell = nullptr;
    if (!value || !isNull) return dl::status::InvalidParameter;
    if (dl::DriverResult result = currentCell(position, &cell)) return result;
    if (statement_->columns()[position - 1u].type != dl::ColumnType::Integer)
        return error_.set(dl::status::InvalidFieldType, "Column " + std::to_string(position) + " is no integer");
    *isNull = cell->null;
    if (!cell->null) *value = cell->integer;
    return dl::status::Success;
}

dl::DriverResult FirebirdCursor::getDoubleUnguarded(std::uint16_t position, double* value, bool* isNull) {
    const RowBatch::Cell* cell = nullptr;
    if (!value || !isNull) return dl::status::InvalidParameter;
    if (dl::DriverResult result = currentCell(position, &cell)) return result;
    dl::ColumnType type = statement_->columns()[position - 1u].type;
    if (type == dl::ColumnType::Text)
        return error_.set(dl::status::InvalidFieldType, "Column " + std::to_string(position) + " is no number");
    *isNull = cell->null;
    if (!cell->null) *value = type == dl::ColumnType::Integer ? static_cast<double>(cell->integer) : cell->real;
    return dl::status::Success;
}

dl::DriverResult FirebirdCursor::getTextUnguarded(std::uint16_t position, const char** data, std::uint32_t* length,
                                                  bool* isNull) {
    const RowBatch::Cell* cell = nullptr;
    if (!data || !length || !isNull) return dl::status::InvalidParameter;
    if (dl::DriverResult result = currentCell(position, &cell)) return result;
    if (statement_->columns()[position - 1u].type != dl::ColumnType::Text)
        return error_.set(dl::status::InvalidFieldType, "Column " + std::to_string(position) + " is no text");
    *isNull = cell->null;
    if (!cell->null) {
        *data = batch_.text(*cell);
        *length = cell->length;
    }
    return dl::status::Success;
}

}  // namespace fbdrv
