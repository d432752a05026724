#include "LocalServer.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace testsupport {

namespace {

// Paths here are the script's and a temporary folder's, never a quote in them.
std::string shellQuoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

std::unique_ptr<OwnServer> OwnServer::startIfPossible() {
    const char* script = std::getenv("TARVELL_FB_SCRIPT");
    const auto shared = LocalServer::fromEnvironment();
    if (!script || !*script || !shared) return nullptr;
    // Now and then, with many tests at once, a start fails while it makes
    // its security database ("operation was cancelled"); a second server, in
    // a folder of its own, is tried once before the test fails for it.
    for (int attempt = 1;; ++attempt) {
        std::string folder = (std::filesystem::temp_directory_path() / "tarvell-server-XXXXXX").string();
        if (!mkdtemp(folder.data())) throw std::runtime_error("cannot create a temporary folder");
        // The server may run as another user (under root), who must pass
        // through to the state folder.
        std::filesystem::permissions(folder, std::filesystem::perms::others_exec | std::filesystem::perms::group_exec,
                                     std::filesystem::perm_options::add);
        LocalServer server{"127.0.0.1", "", shared->password};
        std::unique_ptr<OwnServer> own(new OwnServer(script, folder, server));
        try {
            own->start();
            return own;
        } catch (const std::runtime_error&) {
            if (attempt == 2) throw;
        }
    }
}

OwnServer::OwnServer(std::string script, std::string folder, LocalServer server)
    : script_(std::move(script)), folder_(std::move(folder)), server_(std::move(server)) {}

OwnServer::~OwnServer() {
    // Nothing of it is kept, so it need not shut down in order.
    try {
        kill();
    } catch (const std::exception&) {
        // Best effort here; the folder goes either way.
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void OwnServer::start() {
    // The first start takes a free port; later ones keep it.
    server_.port = run("start");
}

void OwnServer::kill() {
    resume();  // a frozen server would not end on the script's TERM
    run("kill");
}

void OwnServer::pause() { signalServer(SIGSTOP); }
void OwnServer::resume() { signalServer(SIGCONT); }

void OwnServer::signalServer(int signal) {
    std::ifstream pidFile(folder_ + "/state/firebird.pid");
    pid_t pid = 0;
    if (!(pidFile >> pid) || pid <= 0) return;  // not running
    if (::kill(pid, signal) != 0) throw std::runtime_error("cannot signal the server " + std::to_string(pid));
}

std::string OwnServer::run(const std::string& word) {
    // The server goes with this process should it end before the server is stopped.
    const std::string command = "TARVELL_FB_OWNER=" + std::to_string(getpid()) +
                                " TARVELL_FB_STATE=" + shellQuoted(folder_ + "/state") +
                                " TARVELL_FB_PORT=" + shellQuoted(server_.port) + " " + shellQuoted(script_) + " " + word;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    if (pclose(pipe) != 0) throw std::runtime_error(command + " failed: " + output);
    while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
    return output;
}

}  // namespace testsupport
