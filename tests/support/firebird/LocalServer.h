// The local Firebird server that the test command starts and names in
// TARVELL_FB_SERVER and TARVELL_FB_PASSWORD. A test run by hand without it
// is skipped, not failed.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace tarvell::test {

struct LocalServer {
    std::string host;
    std::string password;

    static constexpr const char* kSkipReason =
        "no server: scripts/test.sh sets TARVELL_FB_SERVER and TARVELL_FB_PASSWORD";

    static std::optional<LocalServer> fromEnvironment() {
        const char* host = std::getenv("TARVELL_FB_SERVER");
        const char* password = std::getenv("TARVELL_FB_PASSWORD");
        if (!host || !*host || !password) return std::nullopt;
        return LocalServer{host, password};
    }
};

}  // namespace tarvell::test
