#include "ConfigFileLocator.h"

#include <QCoreApplication>

#ifdef Q_OS_WIN
#include <QSettings>
#else
#include <QStandardPaths>
#include <QStringDecoder>

#include "ConfigFile.h"
#endif

#include "Big5Text.h"
#include "Errors.h"

namespace db {

namespace {

[[noreturn]] void invalidDataType(const QString& valueName) {
    throw rt::RegistryError(rt::formatMessage("Invalid data type for '%s'", big5::fromUnicodeLossy(valueName)));
}

#ifdef Q_OS_WIN

QString storedPath(const QString& valueName, QStringList& looked) {
    looked << QStringLiteral("HKEY_CURRENT_USER\\Software\\Kelvane\\DataLink (\"%1\")").arg(valueName);
    QSettings registry(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelvane"),
                       QStringLiteral("DataLink"));
    // The user's own key alone: no organisation-wide or system-wide values.
    registry.setFallbacksEnabled(false);
    if (!registry.contains(valueName)) return {};
    const QVariant value = registry.value(valueName);
    if (value.typeId() != QMetaType::QString) invalidDataType(valueName);
    return value.toString();
}

#else

// The file is written by hand, so its values are taken as written, the way
// the configuration files are read: the text after "=", trimmed. (Read as a
// QSettings INI file, a ";" would cut a path, "\" would start an escape,
// quotes would vanish and a comma would make a list.) The first file that
// holds the value serves: the user's, then the system's.
QString storedPath(const QString& valueName, QStringList& looked) {
    std::string bytes;
    for (const QString& file : ConfigFileLocator::storeFiles()) {
        looked << QStringLiteral("%1 (\"%2\")").arg(file, valueName);
        bytes = ConfigFile(file).value("General", valueName.toStdString());
        if (!bytes.empty()) break;
    }
    if (bytes.find('\0') != std::string::npos) invalidDataType(valueName);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString path = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError()) invalidDataType(valueName);
    return path;
}

#endif

}  // namespace

#ifndef Q_OS_WIN
namespace {
const QString kStoreFileName = QStringLiteral("/Kelvane/DataLink.conf");
}

QString ConfigFileLocator::storeFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + kStoreFileName;
}

QStringList ConfigFileLocator::storeFiles() {
    QStringList files;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        files << folder + kStoreFileName;
    return files;
}
#endif

namespace {
QString& programFolderSetting() {
    static QString folder;
    return folder;
}
}  // namespace

QString ConfigFileLocator::programFolder() {
    const QString& set = programFolderSetting();
    return set.isEmpty() ? QCoreApplication::applicationDirPath() : set;
}

void ConfigFileLocator::setProgramFolder(const QString& folder) { programFolderSetting() = folder; }

QString ConfigFileLocator::locate(const QString& valueName, const QString& defaultFileName) {
    QStringList looked;
    return locate(valueName, defaultFileName, looked);
}

QString ConfigFileLocator::locate(const QString& valueName, const QString& defaultFileName, QStringList& looked) {
    QString path = storedPath(valueName, looked);
    if (path.isEmpty()) path = programFolder() + QLatin1Char('/') + defaultFileName;
    looked << path;
    return path;
}

}  // namespace db
