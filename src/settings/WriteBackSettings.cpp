#include "WriteBackSettings.h"

#include <QString>

#include "ProgramSettings.h"

namespace settings {

namespace {

const QString kOneTransactionKey = QStringLiteral("WriteBack/OneTransaction");

}  // namespace

WriteBackSettings WriteBackSettings::load() { return from(programSettings()); }

WriteBackSettings WriteBackSettings::from(const QSettings& settings) {
    WriteBackSettings loaded;
    loaded.oneTransaction = switchIn(settings, kOneTransactionKey, false);
    return loaded;
}

void WriteBackSettings::setOneTransaction(bool oneTransaction) {
    setProgramSetting(kOneTransactionKey, oneTransaction);
}

}  // namespace settings
