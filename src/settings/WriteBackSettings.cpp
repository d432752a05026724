#include "WriteBackSettings.h"

#include <QString>

#include "ProgramSettings.h"

namespace settings {

namespace {

const QString kOneTransactionKey = QStringLiteral("WriteBack/OneTransaction");

}  // namespace

WriteBackSettings WriteBackSettings::load() {
    WriteBackSettings settings;
    settings.oneTransaction = programSwitch(kOneTransactionKey, false);
    return settings;
}

void WriteBackSettings::setOneTransaction(bool oneTransaction) {
    setProgramSetting(kOneTransactionKey, oneTransaction);
}

}  // namespace settings
