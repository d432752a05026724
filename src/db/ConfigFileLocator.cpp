#include "ConfigFileLocator.h"

#include <QCoreApplication>
#include <QSettings>

#include "Big5Text.h"
#include "Errors.h"

namespace db {

namespace {

QString storedPath(const QString& valueName) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelvane"),
                    QStringLiteral("DataLink"));
    // The user's own key alone: no organisation-wide or system-wide values.
    store.setFallbacksEnabled(false);
    if (!store.contains(valueName)) return {};
    const QVariant value = store.value(valueName);
    if (value.typeId() != QMetaType::QString)
        throw rt::RegistryError(rt::formatMessage("Invalid data type for '%s'", pathForMessage(valueName)));
    return value.toString();
}

}  // namespace

QString ConfigFileLocator::locate(const QString& valueName, const QString& defaultFileName) {
    const QString path = storedPath(valueName);
    if (!path.isEmpty()) return path;
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + defaultFileName;
}

std::string pathForMessage(const QString& path) {
    try {
        return big5::fromUnicode(path);
    } catch (const rt::ConversionError&) {
        std::string bytes;
        for (const char32_t code : path.toUcs4()) {
            try {
                bytes += big5::fromUnicode(QString::fromUcs4(&code, 1));
            } catch (const rt::ConversionError&) {
                bytes += '?';
            }
        }
        return bytes;
    }
}

}  // namespace db
