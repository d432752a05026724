// The error of a connect that finds no connections file. Its message is the
// one every caller knows, "Driver/Connection Registry File '%s' not found";
// beside it travels a second line for an operator meeting the program for
// the first time: every place the program looked, in order, where the
// commented example files are, and the manual page.
#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <string>

#include "Errors.h"

namespace db {

// Where the package puts its commented example files, ending in "/".
QString exampleFilesFolder();

class ConnectionsFileMissing : public rt::DatabaseError {
public:
    // path: the connections file's path (possibly empty); looked: the
    // places looked, in order, as the locator gives them.
    ConnectionsFileMissing(const QString& path, const QStringList& looked);

    // The second line, Big5 like every message.
    const std::string& guidance() const { return guidance_; }

private:
    std::string guidance_;
};

// The line that goes under an error's message where it is shown: the
// guidance of a missing connections file, empty for any other error.
std::string errorGuidance(const std::exception& error);

}  // namespace db
