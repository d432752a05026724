#include "BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace db {

namespace {

// Without a GUI application (a command-line tool) there is no screen cursor.
bool hasScreenCursor() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

void showBusyCursor(bool enabled) {
    if (enabled && hasScreenCursor()) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void resetCursor() {
    if (!hasScreenCursor()) return;
    while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

}  // namespace db
