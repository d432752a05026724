#include "JournalSettings.h"

#include <QDir>
#include <QStandardPaths>

#include "ProgramSettings.h"

namespace journal {

namespace {

const QString kEnabledKey = QStringLiteral("Journal/Enabled");

}  // namespace

JournalSettings JournalSettings::load() {
    JournalSettings settings;
    settings.enabled = settings::programSwitch(kEnabledKey, true);
    settings.folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("journals"));
    return settings;
}

void JournalSettings::setEnabled(bool enabled) { settings::setProgramSetting(kEnabledKey, enabled); }

}  // namespace journal
