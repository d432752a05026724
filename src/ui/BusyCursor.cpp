#include "BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>
#include <memory>

#include "TDataLinkConnection.h"

namespace ui {

void showBusyCursorWhileConnecting(db::TDataLinkConnection& connection) {
    auto shown = std::make_shared<bool>(false);
    connection.BeforeConnect = [shown] {
        // Without a GUI application (a command-line tool) there is no screen cursor.
        if (*shown || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        *shown = true;
    };
    connection.AfterConnect = [shown] {
        if (!*shown) return;
        *shown = false;
        QGuiApplication::restoreOverrideCursor();
    };
}

}  // namespace ui
