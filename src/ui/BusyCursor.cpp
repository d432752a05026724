#include "BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>
#include <QThread>
#include <functional>
#include <memory>

#include "TDataLinkConnection.h"

namespace ui {

namespace {

// The cursor belongs to the user-interface thread; a connect made by a
// read on a thread of its own has its cursor changed there, in the order
// the connect asked.
void onInterfaceThread(std::function<void()> change) {
    QCoreApplication* application = QCoreApplication::instance();
    if (QThread::currentThread() == application->thread()) return change();
    QMetaObject::invokeMethod(application, std::move(change), Qt::QueuedConnection);
}

}  // namespace

void showBusyCursorWhileConnecting(db::TDataLinkConnection& connection) {
    auto shown = std::make_shared<bool>(false);
    connection.BeforeConnect = [shown] {
        // Without a GUI application (a command-line tool) there is no screen cursor.
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
        onInterfaceThread([shown] {
            if (*shown) return;
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            *shown = true;
        });
    };
    connection.AfterConnect = [shown] {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
        onInterfaceThread([shown] {
            if (!*shown) return;
            *shown = false;
            QGuiApplication::restoreOverrideCursor();
        });
    };
}

}  // namespace ui
