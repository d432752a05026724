#include "ProgramSettings.h"

#include "Big5Text.h"
#include "Errors.h"
#include "ProgramIdentity.h"

namespace settings {

QSettings programSettings() {
    const QString program = programName();
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, program, program);
}

bool programSwitch(const QString& key, bool fallback) { return switchIn(programSettings(), key, fallback); }

bool switchIn(const QSettings& settings, const QString& key, bool fallback) {
    if (!settings.contains(key)) return fallback;
    const QString text = settings.value(key).toString().trimmed().toLower();
    if (text == QLatin1String("true")) return true;
    if (text == QLatin1String("false")) return false;
    throw rt::AppError(big5::fromUnicodeLossy(QStringLiteral("%1: %2=%3 is neither true nor false")
                                                  .arg(settings.fileName(), key, settings.value(key).toString())));
}

void setProgramSetting(const QString& key, const QVariant& value) {
    QSettings settings = programSettings();
    settings.setValue(key, value);
    settings.sync();
}

}  // namespace settings
