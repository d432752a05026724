#include "ConnectionsFileMissing.h"

#include "Big5Text.h"

namespace db {

QString exampleFilesFolder() { return QString::fromUtf8(TARVELL_EXAMPLES_FOLDER); }

namespace {

std::string guidanceFor(const QStringList& looked) {
    const QString places = looked.isEmpty() ? QStringLiteral("nowhere") : looked.join(QStringLiteral(", then "));
    return big5::fromUnicodeLossy(
        QStringLiteral("Looked in this order: %1. Commented examples of this file and of the program's own "
                       "settings file (Tarvell.conf) are in %2; see man tarvell.")
            .arg(places, exampleFilesFolder()));
}

}  // namespace

ConnectionsFileMissing::ConnectionsFileMissing(const QString& path, const QStringList& looked)
    : rt::DatabaseError(
          rt::formatMessage("Driver/Connection Registry File '%s' not found", big5::fromUnicodeLossy(path))),
      guidance_(guidanceFor(looked)) {}

std::string errorGuidance(const std::exception& error) {
    const auto* missing = dynamic_cast<const ConnectionsFileMissing*>(&error);
    return missing ? missing->guidance() : std::string();
}

}  // namespace db
