#include "ConnectionSettings.h"

#include <ibase.h>

#include <cstring>
#include <limits>
#include <stdexcept>

namespace fbdrv {

namespace {

dl::DriverResult copyOut(const void* value, std::int32_t size, void* buffer, std::int32_t maxLength,
                         std::int32_t* length) {
    if (!buffer) return dl::status::InvalidParameter;
    std::int32_t copied = size < maxLength ? size : maxLength;
    if (copied > 0) std::memcpy(buffer, value, static_cast<std::size_t>(copied));
    if (length) *length = size;
    return size <= maxLength ? dl::status::Success : dl::status::InvalidLength;
}

dl::DriverResult copyInteger(std::int64_t value, void* buffer, std::int32_t maxLength, std::int32_t* length) {
    std::int32_t narrow = static_cast<std::int32_t>(value);
    return copyOut(&narrow, sizeof narrow, buffer, maxLength, length);
}

dl::DriverResult copyText(const std::string& value, void* buffer, std::int32_t maxLength, std::int32_t* length) {
    return copyOut(value.c_str(), static_cast<std::int32_t>(value.size() + 1), buffer, maxLength, length);
}

// A parameter block item carries its length in one byte.
constexpr std::size_t kMaxItemLength = 255;
// isc_attach_database takes the lengths of the name and of the block as short.
constexpr std::size_t kMaxAttachLength = std::numeric_limits<short>::max();

void addText(std::string& block, char item, const std::string& value) {
    if (value.size() > kMaxItemLength) throw std::length_error("attach parameter longer than 255 bytes");
    block += item;
    block += static_cast<char>(value.size());
    block += value;
}

std::string tooLong(const char* what, std::size_t length, std::size_t limit, const char* holder) {
    return std::string(what) + " of " + std::to_string(length) + " bytes is longer than the " +
           std::to_string(limit) + " bytes " + holder;
}

void addInteger(std::string& block, char item, std::int64_t value) {
    auto v = static_cast<std::uint32_t>(value);
    block += item;
    block += static_cast<char>(4);
    for (int i = 0; i < 4; ++i) block += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

dl::DriverResult ConnectionSettings::set(std::int32_t option, std::int64_t value) {
    switch (option) {
        case dl::connopt::AutoCommit: autoCommit = value != 0; break;
        case dl::connopt::BlockingMode: blockingMode = value != 0; break;
        case dl::connopt::BlobSize: blobSize = value; break;
        case dl::connopt::WaitOnLocks: waitOnLocks = value != 0; break;
        case dl::connopt::CommitRetain: commitRetain = value != 0; break;
        case dl::connopt::TransIsolation:
            if (value < 0 || value > 2) return dl::status::InvalidIsolationLevel;
            isolation = value;
            break;
        case dl::connopt::SqlDialect:
            if (value < 1 || value > 3) return dl::status::InvalidParameter;
            sqlDialect = value;
            break;
        case dl::connopt::OSAuthentication: osAuthentication = value != 0; break;
        case dl::connopt::MultipleTransaction: multipleTransaction = value != 0; break;
        case dl::connopt::TrimChar: trimChar = value != 0; break;
        case dl::connopt::ConnectionTimeout: connectionTimeout = value; break;
        default: break;
    }
    return dl::status::Success;
}

dl::DriverResult ConnectionSettings::setText(std::int32_t option, const char* value) {
    std::string text = value ? value : "";
    switch (option) {
        case dl::connopt::RoleName: roleName = text; break;
        case dl::connopt::HostName: hostName = text; break;
        case dl::connopt::ServerCharSet: serverCharSet = text; break;
        case dl::connopt::ServerPort: serverPort = text; break;
        case dl::connopt::CustomString: customString = text; break;
        default: break;
    }
    return dl::status::Success;
}

dl::DriverResult ConnectionSettings::get(std::int32_t option, void* buffer, std::int32_t maxLength,
                                         std::int32_t* length) const {
    switch (option) {
        case dl::connopt::MaxStatementsPerConnection: return copyInteger(0, buffer, maxLength, length);
        case dl::connopt::AutoCommit: return copyInteger(autoCommit, buffer, maxLength, length);
        case dl::connopt::BlockingMode: return copyInteger(blockingMode, buffer, maxLength, length);
        case dl::connopt::BlobSize: return copyInteger(blobSize, buffer, maxLength, length);
        case dl::connopt::WaitOnLocks: return copyInteger(waitOnLocks, buffer, maxLength, length);
        case dl::connopt::CommitRetain: return copyInteger(commitRetain, buffer, maxLength, length);
        case dl::connopt::TransIsolation: return copyInteger(isolation, buffer, maxLength, length);
        case dl::connopt::SqlDialect: return copyInteger(sqlDialect, buffer, maxLength, length);
        case dl::connopt::TrimChar: return copyInteger(trimChar, buffer, maxLength, length);
        case dl::connopt::ConnectionTimeout: return copyInteger(connectionTimeout, buffer, maxLength, length);
        case dl::connopt::RoleName: return copyText(roleName, buffer, maxLength, length);
        case dl::connopt::ServerCharSet: return copyText(serverCharSet, buffer, maxLength, length);
        case dl::connopt::HostName: return copyText(hostName, buffer, maxLength, length);
        case dl::connopt::ServerPort: return copyText(serverPort, buffer, maxLength, length);
        default: return dl::status::NotSupported;
    }
}

std::string ConnectionSettings::attachRefusal(const std::string& databaseName, const std::string& user,
                                              const std::string& password) const {
    if (databaseName.size() > kMaxAttachLength)
        return tooLong("Database name", databaseName.size(), kMaxAttachLength, "the client library takes");
    const struct {
        const char* what;
        const std::string& value;
    } items[] = {
        {"User name", user}, {"Password", password}, {"Role name", roleName}, {"Character set", serverCharSet}};
    for (const auto& item : items)
        if (item.value.size() > kMaxItemLength)
            return tooLong(item.what, item.value.size(), kMaxItemLength, "an attach parameter holds");
    return {};
}

std::string ConnectionSettings::attachParameters(const std::string& user, const std::string& password) const {
    std::string block(1, isc_dpb_version1);
    addText(block, isc_dpb_user_name, user);
    addText(block, isc_dpb_password, password);
    addText(block, isc_dpb_lc_ctype, serverCharSet.empty() ? "NONE" : serverCharSet);
    if (!roleName.empty()) addText(block, isc_dpb_sql_role_name, roleName);
    addInteger(block, isc_dpb_sql_dialect, sqlDialect);
    // Without one the client waits for the network to give up, minutes
    // when a host is gone.
    addInteger(block, isc_dpb_connect_timeout, connectTimeout());
    if (block.size() > kMaxAttachLength) throw std::length_error("attach parameter block too long");
    return block;
}

std::string ConnectionSettings::databaseName(const std::string& database) const {
    if (serverPort.empty()) return database;
    std::size_t colon = database.find(':');
    // A single letter before the colon is a drive, not a host.
    if (colon == std::string::npos || colon < 2) return database;
    std::string host = database.substr(0, colon);
    if (host.find('/') != std::string::npos) return database;  // a port is given already
    return host + "/" + serverPort + database.substr(colon);
}

std::string ConnectionSettings::transactionParameters(bool readOnly) const {
    std::string block(1, isc_tpb_version3);
    block += readOnly ? isc_tpb_read : isc_tpb_write;
    switch (isolation) {
        case 1: block += isc_tpb_concurrency; break;
        // Firebird has no dirty read; this is the nearest read committed.
        case 2: block += {isc_tpb_read_committed, isc_tpb_no_rec_version}; break;
        default: block += {isc_tpb_read_committed, isc_tpb_rec_version}; break;
    }
    block += waitOnLocks ? isc_tpb_wait : isc_tpb_nowait;
    return block;
}

}  // namespace fbdrv
