// Where the connections file and the drivers file lie: named by the current
// user's "\Software\Kelvane\DataLink" key (read through QSettings' native
// store: the registry on Windows, ~/.config/Kelvane/DataLink.conf or
// $XDG_CONFIG_HOME/Kelvane/DataLink.conf elsewhere), or else beside the
// program's executable. Nothing is ever written to the store.
#pragma once

#include <QString>

namespace db {

class ConfigFileLocator {
public:
    static inline const QString ConnectionValueName = QStringLiteral("Connection Registry File");
    static inline const QString DriverValueName = QStringLiteral("Driver Registry File");
    static inline const QString ConnectionDefaultName = QStringLiteral("dlconnections.ini");
    static inline const QString DriverDefaultName = QStringLiteral("dldrivers.ini");

    // The stored path exactly as it stands (no expansion), or the default
    // file beside the executable when the value is missing or empty. A value
    // that is not a single string raises rt::RegistryError.
    static QString locate(const QString& valueName, const QString& defaultFileName);

    static QString connectionsFile() { return locate(ConnectionValueName, ConnectionDefaultName); }
    static QString driversFile() { return locate(DriverValueName, DriverDefaultName); }
};

// A file path as Big5 bytes for a message; a character Big5 lacks shows as "?".
std::string pathForMessage(const QString& path);

}  // namespace db
