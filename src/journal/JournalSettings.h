// Where price journals go and whether they are written: the program's own
// settings (not the connection's configuration files), read at each
// write-back.
//
//   ~/.config/Tarvell/Tarvell.conf      [Journal] Enabled=false turns it off
//   ~/.local/share/Tarvell/journals/    the journals (the application-data folder)
#pragma once

#include <QString>
#include <memory>

class QSettings;

#include "JournalDisk.h"

namespace journal {

struct JournalSettings {
    bool enabled = true;
    QString folder;
    // The system's disk unless a test gives one that fills.
    std::shared_ptr<JournalDisk> disk;

    // The switch from the program's settings (on unless set off) and the
    // journal folder under the application-data location.
    static JournalSettings load();
    // The same from a settings file the caller opened.
    static JournalSettings from(const QSettings& settings);
    static void setEnabled(bool enabled);
};

}  // namespace journal
