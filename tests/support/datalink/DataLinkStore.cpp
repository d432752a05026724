#include "DataLinkStore.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>

#include "ConfigFileLocator.h"

namespace testsupport {

namespace {

// Qt learns the settings folder once per process, so it is set before main.
// The data folder goes with it: price journals written by a test stay out
// of the user's own.
const bool kOwnConfigHome = [] {
    static QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", home.path().toLocal8Bit().constData(), 1);
    static QTemporaryDir data;
    setenv("XDG_DATA_HOME", data.path().toLocal8Bit().constData(), 1);
    return true;
}();

}  // namespace

void DataLinkStore::set(const QString& valueName, const QVariant& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelvane"),
                       QStringLiteral("DataLink"));
    settings.setValue(valueName, value);
    settings.sync();
}

void DataLinkStore::clear() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelvane"),
                       QStringLiteral("DataLink"));
    settings.clear();
    settings.sync();
}

QString DataLinkStore::confFilePath() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelvane"),
                       QStringLiteral("DataLink"));
    return settings.fileName();
}

void DataLinkStore::pointAt(const QString& folder) {
    clear();
    set(db::ConfigFileLocator::ConnectionValueName, QDir(folder).filePath(QStringLiteral("dlconnections.ini")));
    set(db::ConfigFileLocator::DriverValueName, QDir(folder).filePath(QStringLiteral("dldrivers.ini")));
}

}  // namespace testsupport
