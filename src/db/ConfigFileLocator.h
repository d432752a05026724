// Where the connections file and the drivers file lie: named by the current
// user's "\Software\Kelvane\DataLink" key, or else beside the program's
// executable. On Windows the key is the registry's. Elsewhere it is a file,
// Kelvane/DataLink.conf, whose [General] values are read as written: the
// user's ($XDG_CONFIG_HOME, default ~/.config) first, then the system's in
// each folder of $XDG_CONFIG_DIRS (default /etc/xdg), so that an
// administrator can name the files once for every user. Nothing is ever
// written to them.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

namespace db {

class ConfigFileLocator {
public:
    static inline const QString ConnectionValueName = QStringLiteral("Connection Registry File");
    static inline const QString DriverValueName = QStringLiteral("Driver Registry File");
    static inline const QString ConnectionDefaultName = QStringLiteral("dlconnections.ini");
    static inline const QString DriverDefaultName = QStringLiteral("dldrivers.ini");

    // The stored path exactly as it stands (no expansion), or the default
    // file beside the executable when the value is missing or empty. A value
    // that cannot be a path raises rt::RegistryError: in the registry one
    // that is not a string; in the file one whose bytes are not UTF-8 text
    // (or hold a zero byte), since no file name could carry it exactly.
    static QString locate(const QString& valueName, const QString& defaultFileName);
    // The same, adding to looked every place it looked, in order: each
    // store that may hold the value (named with the value looked for), then
    // the path it settled on. Added as it goes, so that an error still
    // leaves the places looked before it.
    static QString locate(const QString& valueName, const QString& defaultFileName, QStringList& looked);

    static QString connectionsFile() { return locate(ConnectionValueName, ConnectionDefaultName); }
    static QString driversFile() { return locate(DriverValueName, DriverDefaultName); }

    // The folder of the default files: the executable's, unless another was
    // set; an empty folder sets the executable's again.
    static QString programFolder();
    static void setProgramFolder(const QString& folder);

#ifndef Q_OS_WIN
    // The user's file that stands for the registry key.
    static QString storeFile();
    // Every file that may hold the key's values, the user's first.
    static QStringList storeFiles();
#endif
};

}  // namespace db
