// The driver library as the program reaches it: loaded by file name, entered
// through getSQLDriverFIREBIRD, driven only through the driver interface.
#pragma once

#include <DriverInterface.h>
#include <FieldValue.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace drivertest {

using Row = std::vector<rt::FieldValue>;

// The entry of libdlfirebird.so, loaded once beside the test program.
dl::DriverEntry driverEntry();

// The error text an object left after a failed call.
template <class T>
std::string errorText(T* object) {
    std::int32_t length = 0;
    if (dl::statusOf(object->getErrorMessageLen(&length)) != 0 || length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    object->getErrorMessage(text.data());
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// The codes an object left after a failed call.
struct ErrorCodes {
    std::int32_t serverCode = 0;
    bool connectionLost = false;
};
template <class T>
ErrorCodes errorCodes(T* object) {
    ErrorCodes codes;
    EXPECT_EQ(dl::statusOf(object->getErrorCode(&codes.serverCode, &codes.connectionLost)), 0);
    return codes;
}

// A driver connection set up with the options the program passes for its
// stored connection settings.
class Session {
public:
    Session();
    // Returns the connect status; the error text is in lastError().
    int connect(const std::string& database, const std::string& user = "sysdba",
                const std::string& password = "quorvane");
    dl::IDriverConnection* connection() const { return connection_.get(); }
    const std::string& lastError() const { return lastError_; }
    const ErrorCodes& lastCodes() const { return lastCodes_; }

    // Runs a statement with the values bound by position (doubles, text,
    // nulls); returns the rows it changed. Fails the test on any error.
    std::int64_t execute(const std::string& sql, const std::vector<rt::FieldValue>& parameters = {});
    // Same, returning the status and leaving the text in lastError().
    int tryExecute(const std::string& sql, const std::vector<rt::FieldValue>& parameters = {},
                   std::int64_t* rows = nullptr);
    // Reads every row of a SELECT, fetching rowsetSize rows per round.
    std::vector<Row> select(const std::string& sql, std::int64_t rowsetSize = 20,
                            const std::vector<rt::FieldValue>& parameters = {});
    // Names and types of the result's columns.
    std::vector<std::pair<std::string, dl::ColumnType>> describe(const std::string& sql);

private:
    dl::DriverRef<dl::IDriver> driver_;
    dl::DriverRef<dl::IDriverConnection> connection_;
    std::string lastError_;
    ErrorCodes lastCodes_;
};

}  // namespace drivertest
