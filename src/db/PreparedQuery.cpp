#include "PreparedQuery.h"

#include "CursorReader.h"
#include "Errors.h"

namespace db {

TPreparedQuery::TPreparedQuery(TDataLinkConnection& connection, std::string name, std::string sql)
    : TBoundDataSet(connection, std::move(name)) {
    statement_.setText(std::move(sql));
    statement_.checkMarkerCount();
}

TPreparedQuery::~TPreparedQuery() { close(); }

RecordStore TPreparedQuery::run() {
    PreparedCommand& command = statement_.prepareAndBind(connection());
    dl::DriverRef<dl::IDriverCursor> cursor = command.execute();
    if (!cursor) throw rt::DatabaseError::forComponent(name(), "Statement returned no result set");
    return readCursor(*cursor.get(), [&command, &cursor](dl::DriverResult result) { command.checkCursor(result, cursor.get()); });
}

void TPreparedQuery::run(const std::function<void(TCursorRows&)>& readRows) {
    PreparedCommand& command = statement_.prepareAndBind(connection());
    dl::DriverRef<dl::IDriverCursor> cursor = command.execute();
    if (!cursor) throw rt::DatabaseError::forComponent(name(), "Statement returned no result set");
    TCursorRows rows(*cursor.get(), [&command, &cursor](dl::DriverResult result) { command.checkCursor(result, cursor.get()); });
    readRows(rows);
}

}  // namespace db
