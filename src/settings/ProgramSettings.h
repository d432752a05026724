// The program's own settings file (not the connection's configuration
// files), ~/.config/Tarvell/Tarvell.conf, that the journal, the write-back
// and the server waits read their groups from.
#pragma once

#include <QSettings>
#include <QString>

namespace settings {

QSettings programSettings();

// A switch of the file: true or false (any letter case, blanks around
// allowed), fallback when absent. Anything else is refused with an error
// naming the file and the key: a mistyped value must not quietly turn a
// switch on or off.
bool programSwitch(const QString& key, bool fallback);
// The same rule over a settings file the caller opened.
bool switchIn(const QSettings& settings, const QString& key, bool fallback);

// Writes a value and flushes the file; for the tests and benchmarks.
void setProgramSetting(const QString& key, const QVariant& value);

}  // namespace settings
