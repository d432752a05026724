// The user's DataLink key as the tests see it: the store file, written by
// hand the way an operator writes it (never through QSettings, which would
// quote and escape values on its own terms). A test program that links this
// points XDG_CONFIG_HOME at a folder of its own before main, so that the
// store is never looked for in the real home or the machine's /etc/xdg
// (XDG_CONFIG_DIRS goes to a folder of its own too), and no file beside the test
// programs (a developer's demo configuration, say) is ever read. Its data
// folder (XDG_DATA_HOME, where price journals go) is a folder of its own too.
#pragma once

#include <QString>
#include <string>

namespace testsupport {

class DataLinkStore {
public:
    // One "name=value" line in the [General] section, the value as UTF-8;
    // a value set before under that name is replaced.
    static void set(const QString& valueName, const QString& value);
    // The same with the value's bytes exactly as given.
    static void setBytes(const QString& valueName, const std::string& bytes);
    // The whole store file, bytes exactly as given; values set before are forgotten.
    static void writeFile(const std::string& bytes);
    // No store file at all.
    static void clear();
    static QString confFilePath();
    // The system-wide store file, in the tests' own first XDG_CONFIG_DIRS
    // folder; written by the tests that need one, never by this class.
    static QString systemFilePath();
    // Names both configuration files, in folder, whether they exist or not.
    static void pointAt(const QString& folder);
    // Writes both configuration files into folder, naming the recording
    // driver (which answers from the test's script and notes every call),
    // and names them.
    static void pointAtRecordingDriver(const QString& folder);
};

}  // namespace testsupport
