// What DirectClient and TestDatabase share: turning a failed client call into
// an exception, and making embedded access possible for any user.
#pragma once

#include <ibase.h>

#include <string>

namespace testsupport {

// The client library's messages for a status vector, one per line.
std::string interpretStatus(const ISC_STATUS* status);

// Throws std::runtime_error "<what>: <messages>" when the status vector holds
// an error.
void checkStatus(const ISC_STATUS* status, const std::string& what);

// Embedded access takes its locks in /tmp/firebird, which the server package
// leaves to root and the firebird group. For anyone else FIREBIRD_LOCK is
// pointed at a private folder before the client library first runs.
void prepareEmbeddedAccess();

}  // namespace testsupport
