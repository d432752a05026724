#include "ClientApi.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace testsupport {

std::string interpretStatus(const ISC_STATUS* status) {
    std::string text;
    const ISC_STATUS* cursor = status;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0) {
        if (!text.empty()) text += '\n';
        text += buffer;
    }
    return text;
}

void checkStatus(const ISC_STATUS* status, const std::string& what) {
    if (status[0] == 1 && status[1] != 0) throw std::runtime_error(what + ": " + interpretStatus(status));
}

void prepareEmbeddedAccess() {
    static const bool prepared = [] {
        if (std::getenv("FIREBIRD_LOCK") || access("/tmp/firebird", W_OK | X_OK) == 0) return true;
        struct stat info {};
        if (stat("/tmp/firebird", &info) != 0) return true;  // the library creates it itself
        std::string folder = "/tmp/tarvell-fblock-" + std::to_string(getuid());
        mkdir(folder.c_str(), 0700);
        setenv("FIREBIRD_LOCK", folder.c_str(), 0);
        return true;
    }();
    (void)prepared;
}

}  // namespace testsupport
