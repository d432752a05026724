#include "DriverSession.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace drivertest {

namespace {

int bindAll(dl::IDriverCommand* command, const std::vector<rt::FieldValue>& parameters) {
    std::uint16_t position = 1;
    for (const rt::FieldValue& value : parameters) {
        dl::DriverResult result = dl::status::Success;
        switch (value.kind()) {
            case rt::FieldValue::Kind::Null: result = command->bindNull(position); break;
            case rt::FieldValue::Kind::Integer:
                result = command->bindDouble(position, static_cast<double>(value.integerValue()));
                break;
            case rt::FieldValue::Kind::Double: result = command->bindDouble(position, value.doubleValue()); break;
            case rt::FieldValue::Kind::Text: result = command->bindText(position, value.textValue().c_str()); break;
        }
        if (dl::statusOf(result) != 0) return dl::statusOf(result);
        ++position;
    }
    return 0;
}

rt::FieldValue readValue(dl::IDriverCursor* cursor, std::uint16_t position) {
    dl::ColumnType type{};
    EXPECT_EQ(dl::statusOf(cursor->getColumnType(position, &type)), 0);
    bool isNull = false;
    switch (type) {
        case dl::ColumnType::Integer: {
            std::int64_t value = 0;
            EXPECT_EQ(dl::statusOf(cursor->getInt64(position, &value, &isNull)), 0);
            return isNull ? rt::FieldValue() : rt::FieldValue(value);
        }
        case dl::ColumnType::Double: {
            double value = 0;
            EXPECT_EQ(dl::statusOf(cursor->getDouble(position, &value, &isNull)), 0);
            return isNull ? rt::FieldValue() : rt::FieldValue(value);
        }
        case dl::ColumnType::Text: {
            const char* data = nullptr;
            std::uint32_t length = 0;
            EXPECT_EQ(dl::statusOf(cursor->getText(position, &data, &length, &isNull)), 0);
            return isNull ? rt::FieldValue() : rt::FieldValue::text(std::string(data, length));
        }
    }
    return {};
}

}  // namespace

dl::DriverEntry driverEntry() {
    static dl::DriverEntry entry = [] {
        void* library = dlopen("libdlfirebird.so", RTLD_NOW);
        if (!library) return dl::DriverEntry{};
        return reinterpret_cast<dl::DriverEntry>(dlsym(library, "getSQLDriverFIREBIRD"));
    }();
    return entry;
}

Session::Session() {
    dl::DriverEntry entry = driverEntry();
    if (!entry) {
        ADD_FAILURE() << "libdlfirebird.so not loaded: " << dlerror();
        return;
    }
    EXPECT_EQ(entry("libfbclient.so.2", "", driver_.receive()), 0);
    if (driver_) {
        EXPECT_EQ(dl::statusOf(driver_->getConnection(connection_.receive())), 0);
    }
}

int Session::connect(const std::string& database, const std::string& user, const std::string& password) {
    if (!connection_) return -1;
    dl::IDriverConnection* c = connection_.get();
    c->setOptionText(dl::connopt::RoleName, "RoleName");
    c->setOption(dl::connopt::WaitOnLocks, 1);
    c->setOption(dl::connopt::CommitRetain, 0);
    c->setOption(dl::connopt::TransIsolation, 0);
    c->setOption(dl::connopt::SqlDialect, 3);
    c->setOption(dl::connopt::TrimChar, 0);
    int status = dl::statusOf(c->connect(database.c_str(), user.c_str(), password.c_str()));
    lastError_ = status ? errorText(c) : "";
    lastCodes_ = status ? errorCodes(c) : ErrorCodes{};
    return status;
}

int Session::tryExecute(const std::string& sql, const std::vector<rt::FieldValue>& parameters,
                        std::int64_t* rows) {
    dl::DriverRef<dl::IDriverCommand> command;
    int status = dl::statusOf(connection_->getCommand(command.receive()));
    if (status) {
        lastError_ = errorText(connection_.get());
        lastCodes_ = errorCodes(connection_.get());
        return status;
    }
    dl::DriverRef<dl::IDriverCursor> cursor;
    if (!(status = dl::statusOf(command->prepare(sql.c_str(), static_cast<std::uint16_t>(parameters.size())))) &&
        !(status = bindAll(command.get(), parameters)) &&
        !(status = dl::statusOf(command->execute(cursor.receive()))) && rows)
        status = dl::statusOf(command->getRowsAffected(rows));
    lastError_ = status ? errorText(command.get()) : "";
    lastCodes_ = status ? errorCodes(command.get()) : ErrorCodes{};
    return status;
}

std::int64_t Session::execute(const std::string& sql, const std::vector<rt::FieldValue>& parameters) {
    std::int64_t rows = -1;
    int status = tryExecute(sql, parameters, &rows);
    EXPECT_EQ(status, 0) << sql << "\n" << lastError_;
    return rows;
}

std::vector<Row> Session::select(const std::string& sql, std::int64_t rowsetSize,
                                 const std::vector<rt::FieldValue>& parameters) {
    std::vector<Row> rows;
    dl::DriverRef<dl::IDriverCommand> command;
    EXPECT_EQ(dl::statusOf(connection_->getCommand(command.receive())), 0);
    if (!command) return rows;
    command->setOption(dl::cmdopt::RowsetSize, rowsetSize);
    EXPECT_EQ(dl::statusOf(command->prepare(sql.c_str(), static_cast<std::uint16_t>(parameters.size()))), 0)
        << errorText(command.get());
    EXPECT_EQ(bindAll(command.get(), parameters), 0);
    dl::DriverRef<dl::IDriverCursor> cursor;
    EXPECT_EQ(dl::statusOf(command->execute(cursor.receive())), 0) << errorText(command.get());
    if (!cursor) return rows;
    std::uint16_t columns = 0;
    EXPECT_EQ(dl::statusOf(cursor->getColumnCount(&columns)), 0);
    bool hasRow = false;
    while (dl::statusOf(cursor->next(&hasRow)) == 0 && hasRow) {
        Row row;
        for (std::uint16_t position = 1; position <= columns; ++position) row.push_back(readValue(cursor.get(), position));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::pair<std::string, dl::ColumnType>> Session::describe(const std::string& sql) {
    std::vector<std::pair<std::string, dl::ColumnType>> columns;
    dl::DriverRef<dl::IDriverCommand> command;
    connection_->getCommand(command.receive());
    EXPECT_EQ(dl::statusOf(command->prepare(sql.c_str(), 0)), 0) << errorText(command.get());
    dl::DriverRef<dl::IDriverCursor> cursor;
    EXPECT_EQ(dl::statusOf(command->execute(cursor.receive())), 0) << errorText(command.get());
    if (!cursor) return columns;
    std::uint16_t count = 0;
    cursor->getColumnCount(&count);
    for (std::uint16_t position = 1; position <= count; ++position) {
        const char* name = nullptr;
        dl::ColumnType type{};
        cursor->getColumnName(position, &name);
        cursor->getColumnType(position, &type);
        columns.emplace_back(name ? name : "", type);
    }
    return columns;
}

}  // namespace drivertest
