#include "StoreConnection.h"

#include "Big5Text.h"
#include "ConfigFile.h"
#include "ConfigFileLocator.h"
#include "Errors.h"
#include "TDataLinkConnection.h"
#include "TextRules.h"

namespace db {

namespace {

[[noreturn]] void refuse(const std::string& storeName, const QString& file, const std::string& why) {
    throw rt::AppError("The store " + storeName + ": " + why + " in the connections file " +
                       big5::fromUnicodeLossy(file));
}

std::string trimmedValue(const std::string& value) { return std::string(rt::text::trim(value)); }

}  // namespace

ConnectionSettings storeConnectionSettings(const std::string& storeName) {
    const QString connectionsPath = ConfigFileLocator::connectionsFile();
    const ConfigFile connections(connectionsPath);
    if (!connections.exists()) refuse(storeName, connectionsPath, "no such file");
    ConnectionSettings store;
    store.connectionName = storeName;
    store.params.assign(connections.sectionLines(storeName));
    if (store.params.empty()) refuse(storeName, connectionsPath, "no section [" + storeName + "]");
    if (trimmedValue(store.params.value("Database")).empty())
        refuse(storeName, connectionsPath, "its section has no Database");
    store.driverName = trimmedValue(store.params.value("DriverName"));
    if (store.driverName.empty()) refuse(storeName, connectionsPath, "its section has no DriverName");
    const QString driversPath = ConfigFileLocator::driversFile();
    const ConfigFile drivers(driversPath);
    store.libraryName = drivers.value(store.driverName, "LibraryName");
    store.vendorLib = trimmedValue(drivers.value(store.driverName, "VendorLib"));
    store.getDriverFunc = drivers.value(store.driverName, "GetDriverFunc");
    if (store.libraryName.empty() || store.vendorLib.empty())
        throw rt::AppError("The store " + storeName + ": the driver " + store.driverName +
                           " has no LibraryName or VendorLib in the drivers file " +
                           big5::fromUnicodeLossy(driversPath));
    return store;
}

void useStoreConnection(TDataLinkConnection& connection, const ConnectionSettings& store) {
    connection.applyStoredProperties();
    connection.useSettings(store);
}

}  // namespace db
