// A driver library for tests: it connects to nothing, records every call
// made on its objects with the arguments, and answers as the test sets.
//
// The library exports the entry getSQLDriverRECORDING. A test program links
// against it and the connection loads it again by file name
// ("librecordingdriver.so"); both reach the same loaded copy, so the test
// reads here what the connection did.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "DriverInterface.h"

namespace recording {

struct Column {
    std::string name;
    dl::ColumnType type = dl::ColumnType::Text;
};

struct Answers {
    dl::DriverResult entryResult = 0;
    bool entryGivesDriver = true;
    // The result of each method, by method name ("connect", "getMetaData",
    // "setOption", "prepare", ...); 0 when not listed.
    std::map<std::string, dl::DriverResult> results;
    // What getErrorMessageLen/getErrorMessage of any object give.
    std::string errorText;
    dl::DriverResult errorLengthResult = 0;
    // What getErrorCode of any object gives.
    std::int32_t serverCode = 0;
    bool connectionLost = false;
    // Connection option 14.
    std::int32_t maxStatements = 0;
    // Metadata options 11, 5 and 15.
    char quoteChar = '"';
    std::int32_t transactionsSupported = 1;
    std::int32_t multipleTransactions = 0;
    // What an executed command gives: rows changed, and for a cursor its
    // columns and rows (a missing value is null).
    std::int64_t rowsAffected = 0;
    bool executeGivesCursor = false;
    std::vector<Column> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;
};

// Forgets the log and the numbering of objects, and restores the default answers.
void reset();
Answers& answers();

// Every call so far, in order, written as "<object>.<method>(<arguments>)":
// objects are named driver1, conn1, meta1, cmd1, cursor1... in order of
// creation; the entry is "entry(<vendorLib>,<errorResourceFile>)".
const std::vector<std::string>& log();
// The log entries that begin with prefix.
std::vector<std::string> calls(const std::string& prefix);

// Called with each log entry as it is made, inside the call.
void setCallHook(std::function<void(const std::string&)> hook);

// How many objects handed out have not been released to 0 yet.
int liveObjects();

}  // namespace recording
