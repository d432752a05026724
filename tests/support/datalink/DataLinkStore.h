// The user's DataLink key as the tests see it. A test program that links
// this points XDG_CONFIG_HOME at a folder of its own before main, so that
// the store is never looked for in the real home and no file beside the test
// programs (a developer's demo configuration, say) is ever read. Its data
// folder (XDG_DATA_HOME, where price journals go) is a folder of its own too.
#pragma once

#include <QString>
#include <QVariant>

namespace testsupport {

class DataLinkStore {
public:
    static void set(const QString& valueName, const QVariant& value);
    static void clear();
    static QString confFilePath();
    // Names both configuration files, in folder, whether they exist or not.
    static void pointAt(const QString& folder);
};

}  // namespace testsupport
