#include "ServerSettings.h"

#include "Big5Text.h"
#include "Errors.h"
#include "ProgramSettings.h"
#include "TDataLinkConnection.h"

namespace settings {

namespace {

const QString kAnswerTimeoutKey = QStringLiteral("Server/AnswerTimeout");

int secondsFrom(const QSettings& settings, const QString& key, int fallback) {
    if (!settings.contains(key)) return fallback;
    const QString text = settings.value(key).toString().trimmed();
    bool isNumber = false;
    const qlonglong seconds = text.toLongLong(&isNumber);
    if (!isNumber || seconds < 1 || seconds > ServerSettings::kLongestAnswerTimeout)
        // The path and the value are the user's, in characters Big5 may lack:
        // those show as "?" so that the message still names the setting.
        throw rt::AppError(big5::fromUnicodeLossy(QStringLiteral("%1 的 %2=%3 不是 1 到 %4 之間的秒數")
                                                      .arg(settings.fileName(), key, text)
                                                      .arg(ServerSettings::kLongestAnswerTimeout)));
    return static_cast<int>(seconds);
}

}  // namespace

ServerSettings ServerSettings::load() { return from(programSettings()); }

ServerSettings ServerSettings::from(const QSettings& settings) {
    ServerSettings loaded;
    loaded.answerTimeout = std::chrono::seconds(secondsFrom(settings, kAnswerTimeoutKey, kDefaultAnswerTimeout));
    return loaded;
}

void ServerSettings::setAnswerTimeout(int seconds) { setProgramSetting(kAnswerTimeoutKey, seconds); }

ServerSettings applyServerSettings(db::TDataLinkConnection& connection) {
    const ServerSettings settings = ServerSettings::load();
    connection.setAnswerTimeout(settings.answerTimeout);
    return settings;
}

}  // namespace settings
