#include "RecordingDriver.h"

#include <cstring>
#include <sstream>

namespace recording {

namespace {

struct State {
    Answers answers;
    std::vector<std::string> log;
    std::map<std::string, int> created;
    std::function<void(const std::string&)> hook;
    int live = 0;
};

State& state() {
    static State instance;
    return instance;
}

std::string joined() { return {}; }

template <class First, class... Rest>
std::string joined(const First& first, const Rest&... rest) {
    std::ostringstream out;
    out << first;
    ((out << ',' << rest), ...);
    return out.str();
}

template <class... Args>
void record(const std::string& object, const char* method, const Args&... args) {
    std::string entry = object + '.' + method + '(' + joined(args...) + ')';
    state().log.push_back(entry);
    if (state().hook) state().hook(entry);
}

dl::DriverResult resultOf(const char* method) {
    const auto found = state().answers.results.find(method);
    return found == state().answers.results.end() ? 0 : found->second;
}

std::string newName(const std::string& kind) { return kind + std::to_string(++state().created[kind]); }

const char* text(const char* value) { return value ? value : "(null)"; }

// Reference counting and the error text every object shares.
template <class Interface>
class Recorded : public Interface {
public:
    explicit Recorded(const std::string& kind) : name_(newName(kind)) { ++state().live; }
    virtual ~Recorded() = default;

    std::uint32_t addRef() override { return ++references_; }
    std::uint32_t release() override {
        record(name_, "release");
        const std::uint32_t left = --references_;
        if (left == 0) {
            --state().live;
            delete this;
        }
        return left;
    }
    dl::DriverResult getErrorMessageLen(std::int32_t* length) {
        record(name_, "getErrorMessageLen");
        *length = static_cast<std::int32_t>(state().answers.errorText.size());
        return state().answers.errorLengthResult;
    }
    dl::DriverResult getErrorMessage(char* buffer) {
        record(name_, "getErrorMessage");
        std::memcpy(buffer, state().answers.errorText.c_str(), state().answers.errorText.size() + 1);
        return 0;
    }
    dl::DriverResult getErrorCode(std::int32_t* serverCode, bool* connectionLost) {
        record(name_, "getErrorCode");
        *serverCode = state().answers.serverCode;
        *connectionLost = state().answers.connectionLost;
        return 0;
    }

protected:
    std::string name_;

private:
    std::uint32_t references_ = 1;
};

// Copies what an option query answers, at most maxLength bytes.
dl::DriverResult answerOption(const void* value, std::int32_t size, void* buffer, std::int32_t maxLength,
                              std::int32_t* length) {
    const std::int32_t copied = size < maxLength ? size : maxLength;
    std::memcpy(buffer, value, static_cast<std::size_t>(copied));
    if (length) *length = copied;
    return resultOf("getOption");
}

class Cursor final : public Recorded<dl::IDriverCursor> {
public:
    Cursor() : Recorded("cursor") {}
    dl::DriverResult getColumnCount(std::uint16_t* count) override {
        record(name_, "getColumnCount");
        *count = static_cast<std::uint16_t>(state().answers.columns.size());
        return resultOf("getColumnCount");
    }
    dl::DriverResult getColumnName(std::uint16_t position, const char** name) override {
        record(name_, "getColumnName", position);
        *name = state().answers.columns.at(position - 1u).name.c_str();
        return 0;
    }
    dl::DriverResult getColumnType(std::uint16_t position, dl::ColumnType* type) override {
        record(name_, "getColumnType", position);
        *type = state().answers.columns.at(position - 1u).type;
        return 0;
    }
    dl::DriverResult next(bool* hasRow) override {
        record(name_, "next");
        ++row_;
        *hasRow = row_ < state().answers.rows.size();
        return resultOf("next");
    }
    dl::DriverResult getInt64(std::uint16_t position, std::int64_t* value, bool* isNull) override {
        const auto& cell = current(position);
        *isNull = !cell;
        if (cell) *value = std::stoll(*cell);
        return 0;
    }
    dl::DriverResult getDouble(std::uint16_t position, double* value, bool* isNull) override {
        const auto& cell = current(position);
        *isNull = !cell;
        if (cell) *value = std::stod(*cell);
        return 0;
    }
    dl::DriverResult getText(std::uint16_t position, const char** data, std::uint32_t* length,
                             bool* isNull) override {
        const auto& cell = current(position);
        *isNull = !cell;
        if (cell) {
            *data = cell->c_str();
            *length = static_cast<std::uint32_t>(cell->size());
        }
        return 0;
    }
    dl::DriverResult getErrorMessageLen(std::int32_t* length) override {
        return Recorded::getErrorMessageLen(length);
    }
    dl::DriverResult getErrorMessage(char* buffer) override { return Recorded::getErrorMessage(buffer); }
    dl::DriverResult getErrorCode(std::int32_t* serverCode, bool* connectionLost) override {
        return Recorded::getErrorCode(serverCode, connectionLost);
    }

private:
    const std::optional<std::string>& current(std::uint16_t position) const {
        return state().answers.rows.at(row_).at(position - 1u);
    }
    std::size_t row_ = static_cast<std::size_t>(-1);
};

class Command final : public Recorded<dl::IDriverCommand> {
public:
    Command() : Recorded("cmd") {}
    dl::DriverResult setOption(std::int32_t option, std::int64_t value) override {
        record(name_, "setOption", option, value);
        return resultOf("command.setOption");
    }
    dl::DriverResult prepare(const char* sql, std::uint16_t parameterCount) override {
        record(name_, "prepare", text(sql), parameterCount);
        return resultOf("prepare");
    }
    dl::DriverResult bindDouble(std::uint16_t position, double value) override {
        record(name_, "bindDouble", position, value);
        return resultOf("bindDouble");
    }
    dl::DriverResult bindText(std::uint16_t position, const char* value) override {
        record(name_, "bindText", position, text(value));
        return resultOf("bindText");
    }
    dl::DriverResult bindNull(std::uint16_t position) override {
        record(name_, "bindNull", position);
        return resultOf("bindNull");
    }
    dl::DriverResult execute(dl::IDriverCursor** cursor) override {
        record(name_, "execute");
        const dl::DriverResult result = resultOf("execute");
        *cursor = result == 0 && state().answers.executeGivesCursor ? new Cursor : nullptr;
        return result;
    }
    dl::DriverResult getRowsAffected(std::int64_t* rows) override {
        record(name_, "getRowsAffected");
        *rows = state().answers.rowsAffected;
        return resultOf("getRowsAffected");
    }
    dl::DriverResult getErrorMessageLen(std::int32_t* length) override {
        return Recorded::getErrorMessageLen(length);
    }
    dl::DriverResult getErrorMessage(char* buffer) override { return Recorded::getErrorMessage(buffer); }
    dl::DriverResult getErrorCode(std::int32_t* serverCode, bool* connectionLost) override {
        return Recorded::getErrorCode(serverCode, connectionLost);
    }
};

class MetaData final : public Recorded<dl::IDriverMetaData> {
public:
    MetaData() : Recorded("meta") {}
    dl::DriverResult setOption(std::int32_t option, std::int64_t value) override {
        record(name_, "setOption", option, value);
        return resultOf("meta.setOption");
    }
    dl::DriverResult setOptionText(std::int32_t option, const char* value) override {
        record(name_, "setOptionText", option, text(value));
        return resultOf("meta.setOptionText");
    }
    dl::DriverResult getOption(std::int32_t option, void* buffer, std::int32_t maxLength,
                               std::int32_t* length) override {
        record(name_, "getOption", option, maxLength);
        const Answers& answers = state().answers;
        switch (option) {
        case dl::metaopt::QuoteChar:
            return answerOption(&answers.quoteChar, 1, buffer, maxLength, length);
        case dl::metaopt::TransactionsSupported:
            return answerOption(&answers.transactionsSupported, 4, buffer, maxLength, length);
        case dl::metaopt::MultipleTransactions:
            return answerOption(&answers.multipleTransactions, 4, buffer, maxLength, length);
        default:
            return dl::status::NotSupported;
        }
    }
};

class Connection final : public Recorded<dl::IDriverConnection> {
public:
    Connection() : Recorded("conn") {}
    dl::DriverResult setOption(std::int32_t option, std::int64_t value) override {
        record(name_, "setOption", option, value);
        return resultOf("setOption");
    }
    dl::DriverResult setOptionText(std::int32_t option, const char* value) override {
        record(name_, "setOptionText", option, text(value));
        return resultOf("setOptionText");
    }
    dl::DriverResult getOption(std::int32_t option, void* buffer, std::int32_t maxLength,
                               std::int32_t* length) override {
        record(name_, "getOption", option, maxLength);
        if (option == dl::connopt::MaxStatementsPerConnection)
            return answerOption(&state().answers.maxStatements, 4, buffer, maxLength, length);
        return dl::status::NotSupported;
    }
    dl::DriverResult connect(const char* database, const char* user, const char* password) override {
        record(name_, "connect", text(database), text(user), text(password));
        return resultOf("connect");
    }
    dl::DriverResult disconnect() override {
        record(name_, "disconnect");
        return resultOf("disconnect");
    }
    dl::DriverResult getErrorMessageLen(std::int32_t* length) override {
        return Recorded::getErrorMessageLen(length);
    }
    dl::DriverResult getErrorMessage(char* buffer) override { return Recorded::getErrorMessage(buffer); }
    dl::DriverResult getErrorCode(std::int32_t* serverCode, bool* connectionLost) override {
        return Recorded::getErrorCode(serverCode, connectionLost);
    }
    dl::DriverResult getMetaData(dl::IDriverMetaData** metaData) override {
        record(name_, "getMetaData");
        const dl::DriverResult result = resultOf("getMetaData");
        *metaData = result == 0 ? new MetaData : nullptr;
        return result;
    }
    dl::DriverResult getCommand(dl::IDriverCommand** command) override {
        record(name_, "getCommand");
        const dl::DriverResult result = resultOf("getCommand");
        *command = result == 0 ? new Command : nullptr;
        return result;
    }
    dl::DriverResult startTransaction() override {
        record(name_, "startTransaction");
        return resultOf("startTransaction");
    }
    dl::DriverResult commitTransaction() override {
        record(name_, "commitTransaction");
        return resultOf("commitTransaction");
    }
    dl::DriverResult rollbackTransaction() override {
        record(name_, "rollbackTransaction");
        return resultOf("rollbackTransaction");
    }
    dl::DriverResult control(std::int32_t request) override {
        record(name_, "control", request);
        return resultOf("control");
    }
};

class Driver final : public Recorded<dl::IDriver> {
public:
    Driver() : Recorded("driver") {}
    dl::DriverResult getConnection(dl::IDriverConnection** connection) override {
        record(name_, "getConnection");
        const dl::DriverResult result = resultOf("getConnection");
        *connection = result == 0 ? new Connection : nullptr;
        return result;
    }
};

}  // namespace

void reset() {
    State& current = state();
    current.answers = Answers();
    current.log.clear();
    current.created.clear();
    current.hook = nullptr;
}

Answers& answers() { return state().answers; }

const std::vector<std::string>& log() { return state().log; }

std::vector<std::string> calls(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& entry : state().log)
        if (entry.compare(0, prefix.size(), prefix) == 0) found.push_back(entry);
    return found;
}

void setCallHook(std::function<void(const std::string&)> hook) { state().hook = std::move(hook); }

int liveObjects() { return state().live; }

}  // namespace recording

extern "C" __attribute__((visibility("default"))) dl::DriverResult getSQLDriverRECORDING(
    const char* vendorLib, const char* errorResourceFile, dl::IDriver** driver) {
    using namespace recording;
    const std::string entry = std::string("entry(") + text(vendorLib) + ',' + text(errorResourceFile) + ')';
    state().log.push_back(entry);
    if (state().hook) state().hook(entry);
    *driver = state().answers.entryGivesDriver ? new Driver : nullptr;
    return state().answers.entryResult;
}
