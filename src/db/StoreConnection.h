// A store's connection: a section of the connections file named after the
// store, with the same keys as the program's own section, and the driver
// its DriverName names in the drivers file. Read once, on the thread that
// checks the configuration, so that the threads writing the stores read no
// file and a missing section is refused before anything is written.
#pragma once

#include <string>

#include "ConnectionSettings.h"

namespace db {

class TDataLinkConnection;

// The store's settings. Raises rt::AppError naming the store and the file
// for a connections file without the section, a section without Database
// or DriverName, or a driver the drivers file does not describe.
ConnectionSettings storeConnectionSettings(const std::string& storeName);

// The connection set up to connect with them (the program's stored
// properties, the store's name and section, no login prompt).
void useStoreConnection(TDataLinkConnection& connection, const ConnectionSettings& store);

}  // namespace db
