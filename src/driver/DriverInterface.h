// The boundary between the program and a driver library.
//
// A driver library is a shared object loaded at run time by file name. It
// exports one C entry (its name comes from the drivers file, for example
// getSQLDriverFIREBIRD) of type DriverEntry, which hands out an IDriver,
// and may export the entry's failure reason (EntryFailureReason).
// Everything else is reached through the interfaces below.
//
// Rules every call follows:
//  * Each call returns a DriverResult; its low 16 bits are the status
//    (0 = success). statusOf() extracts it. No call throws: whatever fails
//    inside the library, an allocation included (status::NoMemory), comes
//    back as a status.
//  * Objects are reference counted. An object handed out through an out
//    parameter arrives with one reference that the caller owns and gives back
//    with release(). DriverRef<T> does that bookkeeping.
//  * Text crosses the boundary as zero-terminated byte strings in the
//    connection's character set (for this program, Big5 bytes); the library
//    never converts it.
//  * A failed call leaves its own error text on the object it was made on
//    (connection, command or cursor), readable with getErrorMessageLen() and
//    getErrorMessage() until the next call on that object, and its codes,
//    readable with getErrorCode(): the server's own error code (0 when the
//    driver refused the call itself) and whether the failure means that the
//    attachment behind the object is gone (network failure, connection or
//    database shut down). Nothing runs on a lost attachment again; the caller
//    disconnects and connects anew.
//
// The header is self-contained (no Qt, nothing of the program) so that a
// driver library can be built against it alone.
#pragma once

#include <cstdint>
#include <utility>

namespace dl {

using DriverResult = std::int32_t;

inline constexpr std::uint16_t statusOf(DriverResult result) {
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(result) & 0xFFFFu);
}

// Statuses a driver returns. Their texts are the connection's business.
namespace status {
inline constexpr DriverResult Success = 0x00;
inline constexpr DriverResult Warning = 0x01;
inline constexpr DriverResult NoMemory = 0x02;
inline constexpr DriverResult InvalidFieldType = 0x03;
inline constexpr DriverResult InvalidHandle = 0x04;
inline constexpr DriverResult NotSupported = 0x05;
inline constexpr DriverResult InvalidTime = 0x06;
inline constexpr DriverResult InvalidTranslation = 0x07;
inline constexpr DriverResult OutOfRange = 0x08;
inline constexpr DriverResult InvalidParameter = 0x09;
inline constexpr DriverResult Eof = 0x0A;
inline constexpr DriverResult ParameterNotSet = 0x0B;
inline constexpr DriverResult InvalidUserPassword = 0x0C;
inline constexpr DriverResult InvalidPrecision = 0x0D;
inline constexpr DriverResult InvalidLength = 0x0E;
inline constexpr DriverResult InvalidIsolationLevel = 0x0F;
inline constexpr DriverResult InvalidTransactionId = 0x10;
inline constexpr DriverResult DuplicateTransactionId = 0x11;
inline constexpr DriverResult TransactionActive = 0x13;
inline constexpr DriverResult MultipleTransactionsNotEnabled = 0x14;
inline constexpr DriverResult ConnectFailed = 0x15;
inline constexpr DriverResult DriverInitFailed = 0x16;
inline constexpr DriverResult OptimisticLockFailed = 0x17;
inline constexpr DriverResult InvalidRef = 0x18;
inline constexpr DriverResult NoTableFound = 0x19;
inline constexpr DriverResult NoMoreData = 0x40;
inline constexpr DriverResult SqlError = 0x41;
}  // namespace status

// Options of a driver connection, set with setOption/setOptionText and
// queried with getOption.
namespace connopt {
inline constexpr std::int32_t AutoCommit = 0;             // flag
inline constexpr std::int32_t BlockingMode = 1;           // flag
inline constexpr std::int32_t BlobSize = 2;               // integer, -1 whole blobs
inline constexpr std::int32_t RoleName = 3;               // text
inline constexpr std::int32_t WaitOnLocks = 4;            // flag
inline constexpr std::int32_t CommitRetain = 5;           // flag
inline constexpr std::int32_t TransIsolation = 6;         // 0 read committed, 1 repeatable read, 2 dirty read
inline constexpr std::int32_t HostName = 10;              // text
inline constexpr std::int32_t MaxStatementsPerConnection = 14;  // query, 4-byte integer, 0 no limit
inline constexpr std::int32_t ServerCharSet = 15;         // text
inline constexpr std::int32_t SqlDialect = 16;            // integer
inline constexpr std::int32_t OSAuthentication = 20;      // flag
inline constexpr std::int32_t MultipleTransaction = 22;   // flag
inline constexpr std::int32_t ServerPort = 23;            // text
inline constexpr std::int32_t TrimChar = 25;              // flag
inline constexpr std::int32_t CustomString = 31;          // text
inline constexpr std::int32_t ConnectionTimeout = 32;     // integer, seconds
// integer, seconds from 0 (no limit) to a day: a call that has waited this
// long for the server closes the connection and fails as a lost one.
inline constexpr std::int32_t AnswerTimeout = 33;
}  // namespace connopt

// Options of the metadata object.
namespace metaopt {
inline constexpr std::int32_t SchemaName = 1;             // text
inline constexpr std::int32_t TransactionsSupported = 5;  // query, 4-byte integer, non-zero yes
inline constexpr std::int32_t QuoteChar = 11;             // query, 1 byte
inline constexpr std::int32_t MultipleTransactions = 15;  // query, 4-byte integer
}  // namespace metaopt

// Options of a command.
namespace cmdopt {
inline constexpr std::int32_t RowsetSize = 1;             // integer, rows fetched per round trip
}  // namespace cmdopt

// Requests of IDriverConnection::control.
namespace control {
// Ends the call in flight on another thread; a statement's transaction
// rolls back and the call returns with the server's "cancelled" error.
inline constexpr std::int32_t CancelRaise = 1;
// Closes the attachment on the client side without asking the server; the
// call in flight returns with the attachment lost.
inline constexpr std::int32_t CancelAbort = 2;
// One round trip on the idle attachment; fails, the attachment reported as
// lost, when it is dead.
inline constexpr std::int32_t CheckAttachment = 3;
}  // namespace control

// How the error text of a call the server never answered begins (a call
// ended by the connection's AnswerTimeout, a connect ended by its
// ConnectionTimeout): the caller may tell a frozen server from a dead
// connection by it.
inline constexpr const char* kNoAnswerText = "No answer from the server";

// Column types a cursor reports. Every column can also be null.
enum class ColumnType : std::int32_t {
    Integer = 1,  // read with getInt64
    Double = 2,   // read with getDouble (exact and scaled numerics arrive as Double too)
    Text = 3,     // read with getText, bytes as stored
};

class IRefCounted {
public:
    virtual std::uint32_t addRef() = 0;
    virtual std::uint32_t release() = 0;

protected:
    ~IRefCounted() = default;
};

// Reads the rows of an executed SELECT. Rows are fetched from the server in
// batches of the command's RowsetSize; next() moves to the following row.
class IDriverCursor : public IRefCounted {
public:
    virtual DriverResult getColumnCount(std::uint16_t* count) = 0;
    // Name and type of a column, position from 1. The name stays valid as long
    // as the cursor does.
    virtual DriverResult getColumnName(std::uint16_t position, const char** name) = 0;
    virtual DriverResult getColumnType(std::uint16_t position, ColumnType* type) = 0;
    // Moves to the next row; *hasRow is false past the last one.
    virtual DriverResult next(bool* hasRow) = 0;
    // Values of the current row, position from 1. A null sets *isNull and
    // leaves the value untouched. Text stays valid until the next next().
    virtual DriverResult getInt64(std::uint16_t position, std::int64_t* value, bool* isNull) = 0;
    virtual DriverResult getDouble(std::uint16_t position, double* value, bool* isNull) = 0;
    virtual DriverResult getText(std::uint16_t position, const char** data, std::uint32_t* length,
                                 bool* isNull) = 0;
    virtual DriverResult getErrorMessageLen(std::int32_t* length) = 0;
    virtual DriverResult getErrorMessage(char* buffer) = 0;
    virtual DriverResult getErrorCode(std::int32_t* serverCode, bool* connectionLost) = 0;

protected:
    ~IDriverCursor() = default;
};

// One SQL statement. Parameters are positional markers "?" numbered from 1;
// every one must be bound before execute. A statement that is not a SELECT
// runs in a transaction of its own that is committed before execute returns,
// unless the connection has a transaction of the caller's active (see
// IDriverConnection::startTransaction), which it then joins.
class IDriverCommand : public IRefCounted {
public:
    virtual DriverResult setOption(std::int32_t option, std::int64_t value) = 0;
    virtual DriverResult prepare(const char* sql, std::uint16_t parameterCount) = 0;
    virtual DriverResult bindDouble(std::uint16_t position, double value) = 0;
    virtual DriverResult bindText(std::uint16_t position, const char* value) = 0;
    virtual DriverResult bindNull(std::uint16_t position) = 0;
    // Runs the prepared statement. For a SELECT *cursor receives the result
    // (owned by the caller); otherwise it is set to null.
    virtual DriverResult execute(IDriverCursor** cursor) = 0;
    virtual DriverResult getRowsAffected(std::int64_t* rows) = 0;
    virtual DriverResult getErrorMessageLen(std::int32_t* length) = 0;
    virtual DriverResult getErrorMessage(char* buffer) = 0;
    virtual DriverResult getErrorCode(std::int32_t* serverCode, bool* connectionLost) = 0;

protected:
    ~IDriverCommand() = default;
};

class IDriverMetaData : public IRefCounted {
public:
    virtual DriverResult setOption(std::int32_t option, std::int64_t value) = 0;
    virtual DriverResult setOptionText(std::int32_t option, const char* value) = 0;
    // Copies at most maxLength bytes of the option's value into buffer and
    // its size into *length.
    virtual DriverResult getOption(std::int32_t option, void* buffer, std::int32_t maxLength,
                                   std::int32_t* length) = 0;

protected:
    ~IDriverMetaData() = default;
};

class IDriverConnection : public IRefCounted {
public:
    virtual DriverResult setOption(std::int32_t option, std::int64_t value) = 0;
    virtual DriverResult setOptionText(std::int32_t option, const char* value) = 0;
    virtual DriverResult getOption(std::int32_t option, void* buffer, std::int32_t maxLength,
                                   std::int32_t* length) = 0;
    virtual DriverResult connect(const char* database, const char* user, const char* password) = 0;
    virtual DriverResult disconnect() = 0;
    // Length of the last error's text without its terminating zero.
    virtual DriverResult getErrorMessageLen(std::int32_t* length) = 0;
    // Copies the last error's text and a terminating zero into buffer, which
    // holds at least getErrorMessageLen()+1 bytes.
    virtual DriverResult getErrorMessage(char* buffer) = 0;
    // The codes of the last error (see the rules above).
    virtual DriverResult getErrorCode(std::int32_t* serverCode, bool* connectionLost) = 0;
    virtual DriverResult getMetaData(IDriverMetaData** metaData) = 0;
    virtual DriverResult getCommand(IDriverCommand** command) = 0;
    // A transaction of the caller's on the connection. While one is active,
    // every statement of the connection's commands runs inside it, a
    // SELECT's cursor included, and nothing is committed until
    // commitTransaction(); rollbackTransaction() undoes all of it. Both end
    // the transaction and close the cursors still open in it; a commit that
    // fails leaves it rolled back. One at a time: starting a second returns
    // status::TransactionActive, committing none status::InvalidTransactionId;
    // rolling back none does nothing. A lost attachment takes the transaction
    // with it: the server rolls it back.
    virtual DriverResult startTransaction() = 0;
    virtual DriverResult commitTransaction() = 0;
    virtual DriverResult rollbackTransaction() = 0;
    // A request of namespace control. CancelRaise and CancelAbort are the
    // only calls that may be made from another thread while a call on the
    // connection or its commands is in flight; they leave no error text
    // (the call they end leaves its own) and only their status tells.
    virtual DriverResult control(std::int32_t request) = 0;

protected:
    ~IDriverConnection() = default;
};

class IDriver : public IRefCounted {
public:
    virtual DriverResult getConnection(IDriverConnection** connection) = 0;

protected:
    ~IDriver() = default;
};

// The exported entry. vendorLib is the client library's file name, which the
// driver loads itself; errorResourceFile may be empty. Returns 0 on success.
using DriverEntry = DriverResult (*)(const char* vendorLib, const char* errorResourceFile,
                                     IDriver** driver);

// A library may also export a function of this name that says why the last
// entry call on the calling thread failed (the client library missing, or a
// function missing from it), in words for an administrator; an empty text
// when it cannot tell. Without it a failed entry has no reason.
inline constexpr const char* kEntryFailureReasonExport = "getSQLDriverEntryFailureReason";
using EntryFailureReason = const char* (*)();

// Owns one reference to a driver object.
template <class T>
class DriverRef {
public:
    DriverRef() = default;
    explicit DriverRef(T* adopted) : object_(adopted) {}
    DriverRef(const DriverRef& other) : object_(other.object_) {
        if (object_) object_->addRef();
    }
    DriverRef(DriverRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    DriverRef& operator=(DriverRef other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~DriverRef() { reset(); }

    void reset() {
        if (object_) std::exchange(object_, nullptr)->release();
    }
    // Releases what is held and gives the slot to a call that hands out a
    // new reference.
    T** receive() {
        reset();
        return &object_;
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

}  // namespace dl
