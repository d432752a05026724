#include "WriteBackSettings.h"

#include <QSettings>
#include <QString>

namespace batch {

namespace {

const QString kOneTransactionKey = QStringLiteral("WriteBack/OneTransaction");

// The same file as the journal's switch: the program's own settings.
QSettings programSettings() {
    const QString program = QStringLiteral("Tarvell");
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, program, program);
}

}  // namespace

WriteBackSettings WriteBackSettings::load() {
    WriteBackSettings settings;
    settings.oneTransaction = programSettings().value(kOneTransactionKey, false).toBool();
    return settings;
}

void WriteBackSettings::setOneTransaction(bool oneTransaction) {
    QSettings settings = programSettings();
    settings.setValue(kOneTransactionKey, oneTransaction);
    settings.sync();
}

}  // namespace batch
