#include "JournalSettings.h"

#include <QDir>
#include <QStandardPaths>

#include "ProgramSettings.h"

namespace journal {

namespace {

const QString kEnabledKey = QStringLiteral("Journal/Enabled");

}  // namespace

JournalSettings JournalSettings::load() { return from(settings::programSettings()); }

JournalSettings JournalSettings::from(const QSettings& settings) {
    JournalSettings loaded;
    loaded.enabled = settings::switchIn(settings, kEnabledKey, true);
    loaded.folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("journals"));
    return loaded;
}

void JournalSettings::setEnabled(bool enabled) { settings::setProgramSetting(kEnabledKey, enabled); }

}  // namespace journal
