#include "ProgramIdentity.h"

#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>

namespace settings {

QString programName() { return QStringLiteral("Tarvell"); }

void useProgramIdentity() {
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(programName());
}

QString loginName() {
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name && *entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("uid %1").arg(::getuid()) : user;
}

}  // namespace settings
