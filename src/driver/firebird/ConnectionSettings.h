// The connection options and what they mean to Firebird: the attach
// parameters and the transaction parameters every statement runs with.
#pragma once

#include <DriverInterface.h>

#include <cstdint>
#include <string>

namespace fbdrv {

struct ConnectionSettings {
    std::string roleName;
    std::string serverCharSet;   // empty: NONE, bytes pass unconverted
    std::string serverPort;
    std::string hostName;
    std::string customString;
    std::int64_t sqlDialect = 3;
    std::int64_t blobSize = -1;
    std::int64_t connectionTimeout = 0;  // seconds, 0: kDefaultConnectTimeout
    static constexpr std::int64_t kDefaultConnectTimeout = 15;
    // Seconds a connect may take, the default when none was set.
    std::int64_t connectTimeout() const { return connectionTimeout > 0 ? connectionTimeout : kDefaultConnectTimeout; }
    std::int64_t isolation = 0;          // 0 read committed, 1 repeatable read, 2 dirty read
    bool waitOnLocks = true;
    bool commitRetain = false;
    bool trimChar = false;
    bool autoCommit = true;
    bool blockingMode = true;
    bool osAuthentication = false;
    bool multipleTransaction = false;

    // Unknown options are accepted and ignored.
    dl::DriverResult set(std::int32_t option, std::int64_t value);
    dl::DriverResult setText(std::int32_t option, const char* value);
    dl::DriverResult get(std::int32_t option, void* buffer, std::int32_t maxLength, std::int32_t* length) const;

    unsigned short dialect() const { return static_cast<unsigned short>(sqlDialect); }
    // Why the client library cannot carry this attach whole (a text longer
    // than its length field holds), or empty when it can. Checked before
    // anything is handed over: a cut name would attach to another file, a
    // cut password or role would log in as someone else's settings.
    std::string attachRefusal(const std::string& databaseName, const std::string& user,
                              const std::string& password) const;
    // The attach parameter block for user and password, once attachRefusal
    // has passed them.
    std::string attachParameters(const std::string& user, const std::string& password) const;
    // The database name handed to the client: "host:path" gains the port.
    std::string databaseName(const std::string& database) const;
    // Transaction parameters for a statement that reads only or writes.
    std::string transactionParameters(bool readOnly) const;
};

}  // namespace fbdrv
