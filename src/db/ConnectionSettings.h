// What a connection connects with once the configuration files are read:
// another connection given them connects to the same database the same way
// without reading the files again.
#pragma once

#include <string>

#include "ConnectionParams.h"

namespace db {

struct ConnectionSettings {
    std::string connectionName;
    std::string driverName;
    std::string libraryName;
    std::string vendorLib;
    std::string getDriverFunc;
    ConnectionParams params;
};

}  // namespace db
