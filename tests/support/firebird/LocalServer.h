// The private Firebird server that the test command starts
// (scripts/firebird-server.sh) and names in TARVELL_FB_SERVER, TARVELL_FB_PORT
// and TARVELL_FB_PASSWORD. A test run by hand without it is skipped, not
// failed.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace tarvell::test {

struct LocalServer {
    std::string host;
    std::string port;  // empty: the client's default port
    std::string password;

    static constexpr const char* kSkipReason =
        "no server: scripts/test.sh sets TARVELL_FB_SERVER, TARVELL_FB_PORT and TARVELL_FB_PASSWORD";

    static std::optional<LocalServer> fromEnvironment() {
        const char* host = std::getenv("TARVELL_FB_SERVER");
        const char* port = std::getenv("TARVELL_FB_PORT");
        const char* password = std::getenv("TARVELL_FB_PASSWORD");
        if (!host || !*host || !password) return std::nullopt;
        return LocalServer{host, port ? port : "", password};
    }

    // The server as the client names it in an attach string: host/port.
    std::string address() const { return port.empty() ? host : host + "/" + port; }
};

}  // namespace tarvell::test
