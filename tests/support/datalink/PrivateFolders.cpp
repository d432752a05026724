// Linked as an object file, so every test program that links it runs with
// folders of its own, whether or not it calls anything of the support code.
#include <QTemporaryDir>
#include <cstdlib>

namespace testsupport {
namespace {

// Qt learns the settings folder once per process, so it is set before main.
// The data folder goes with it: price journals written by a test stay out
// of the user's own.
const bool kOwnConfigHome = [] {
    static QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", home.path().toLocal8Bit().constData(), 1);
    // The machine's own system-wide key (/etc/xdg) is never read either.
    static QTemporaryDir system;
    setenv("XDG_CONFIG_DIRS", system.path().toLocal8Bit().constData(), 1);
    static QTemporaryDir data;
    setenv("XDG_DATA_HOME", data.path().toLocal8Bit().constData(), 1);
    return true;
}();

}  // namespace
}  // namespace testsupport
