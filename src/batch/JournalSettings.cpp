#include "JournalSettings.h"

#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include "ProgramSettings.h"

namespace batch {

namespace {

const QString kProgram = QStringLiteral("Tarvell");
const QString kEnabledKey = QStringLiteral("Journal/Enabled");

}  // namespace

JournalSettings JournalSettings::load() {
    JournalSettings settings;
    settings.enabled = programSwitch(kEnabledKey, true);
    settings.folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("journals"));
    return settings;
}

void JournalSettings::setEnabled(bool enabled) { setProgramSetting(kEnabledKey, enabled); }

void useProgramIdentity() {
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(kProgram);
}

QString loginName() {
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name && *entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("uid %1").arg(::getuid()) : user;
}

}  // namespace batch
