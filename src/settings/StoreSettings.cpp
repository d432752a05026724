#include "StoreSettings.h"

#include <QSettings>

#include "Big5Text.h"
#include "Errors.h"
#include "ProgramSettings.h"

namespace settings {

namespace {

const QString kNamesKey = QStringLiteral("Stores/Names");
const QString kParallelKey = QStringLiteral("Stores/Parallel");

[[noreturn]] void refuse(const QSettings& settings, const QString& key, const QString& value, const QString& why) {
    // The path and the value are the user's, in characters Big5 may lack:
    // those show as "?" so that the message still names the setting.
    throw rt::AppError(big5::fromUnicodeLossy(
        QStringLiteral("%1: %2=%3: %4").arg(settings.fileName(), key, value, why)));
}

// A value with commas comes back from the file as a list; one without as text.
QStringList namesFrom(const QSettings& settings) {
    if (!settings.contains(kNamesKey)) return {};
    const QVariant value = settings.value(kNamesKey);
    QStringList listed = value.typeId() == QMetaType::QStringList ? value.toStringList()
                                                                  : value.toString().split(QLatin1Char(','));
    QStringList names;
    for (const QString& name : listed) names.push_back(name.trimmed());
    if (names.size() == 1 && names.front().isEmpty()) return {};
    const QString shown = names.join(QLatin1Char(','));
    for (qsizetype at = 0; at < names.size(); ++at) {
        if (names[at].isEmpty()) refuse(settings, kNamesKey, shown, QStringLiteral("an empty store name"));
        for (qsizetype before = 0; before < at; ++before)
            if (names[before].compare(names[at], Qt::CaseInsensitive) == 0)
                refuse(settings, kNamesKey, shown, QStringLiteral("the store %1 is named twice").arg(names[at]));
    }
    return names;
}

int parallelFrom(const QSettings& settings) {
    if (!settings.contains(kParallelKey)) return StoreSettings::kDefaultParallel;
    const QString text = settings.value(kParallelKey).toString().trimmed();
    bool isNumber = false;
    const qlonglong parallel = text.toLongLong(&isNumber);
    if (!isNumber || parallel < 1 || parallel > StoreSettings::kMostParallel)
        refuse(settings, kParallelKey, text,
               QStringLiteral("not a whole number of stores from 1 to %1").arg(StoreSettings::kMostParallel));
    return static_cast<int>(parallel);
}

}  // namespace

StoreSettings StoreSettings::load() { return from(programSettings()); }

StoreSettings StoreSettings::from(const QSettings& settings) {
    StoreSettings loaded;
    loaded.names = namesFrom(settings);
    loaded.parallel = parallelFrom(settings);
    return loaded;
}

void StoreSettings::setNames(const QStringList& names) { setProgramSetting(kNamesKey, names.join(QLatin1Char(','))); }

void StoreSettings::setParallel(int parallel) { setProgramSetting(kParallelKey, parallel); }

}  // namespace settings
