// Copies every row of an open driver cursor into memory. Shared by the read
// service and the prepared query, so both read cells the same way.
#pragma once

#include <functional>

#include "DriverInterface.h"
#include "RecordStore.h"

namespace db {

// check is called only with a failed result and raises its error, worded
// by the owner of the cursor.
RecordStore readCursor(dl::IDriverCursor& cursor, const std::function<void(dl::DriverResult)>& check);

}  // namespace db
