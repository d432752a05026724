// The private Firebird server that the test command starts
// (scripts/firebird-server.sh) and names in TARVELL_FB_SERVER, TARVELL_FB_PORT
// and TARVELL_FB_PASSWORD. A test run by hand without it is skipped, not
// failed.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace testsupport {

struct LocalServer {
    std::string host;
    std::string port;  // empty: the client's default port
    std::string password;

    static constexpr const char* kSkipReason =
        "no server: scripts/test.sh sets TARVELL_FB_SERVER, TARVELL_FB_PORT, TARVELL_FB_PASSWORD and "
        "TARVELL_FB_SCRIPT";

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

// A server of one test's own, for a test that stops it and starts it again:
// the same script (TARVELL_FB_SCRIPT) with a state folder of its own, on a
// port of its own, so that the shared server stays up for the other tests.
// Stopped and removed with the object.
class OwnServer {
public:
    // Started and answering; null (the test skips) without the script.
    static std::unique_ptr<OwnServer> startIfPossible();
    ~OwnServer();
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    // Gone at once, as a crash would end it, its connections with it.
    void kill();
    // Up again on the same port.
    void start();
    // Frozen (SIGSTOP): connections stay open and nothing answers, as with
    // a host that hangs or a network that drops every packet; and thawed.
    void pause();
    void resume();

    const LocalServer& server() const { return server_; }

private:
    OwnServer(std::string script, std::string folder, LocalServer server);
    std::string run(const std::string& word);
    void signalServer(int signal);

    std::string script_;
    std::string folder_;
    LocalServer server_;
};

}  // namespace testsupport
