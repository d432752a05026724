// The wait cursor while the window's connection connects.
#pragma once

namespace db {
class TDataLinkConnection;
}

namespace ui {

// Shows the wait cursor from just before every connect of the connection
// until just after it, whether the connect worked or failed. It sets one
// override cursor and takes exactly that one back, so a cursor that other
// code set stays as it was.
void showBusyCursorWhileConnecting(db::TDataLinkConnection& connection);

}  // namespace ui
