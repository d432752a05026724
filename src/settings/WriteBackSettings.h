// How a write-back commits its rows: the program's own settings (not the
// connection's configuration files), read at each write-back and revert.
//
//   ~/.config/Tarvell/Tarvell.conf      [WriteBack] OneTransaction=true
//
// Off (the default), every row's UPDATE is committed by itself and a failure
// keeps the rows before it. On, the whole batch is one transaction,
// committed after the last row: a failure keeps nothing, and it is many
// times faster.
#pragma once

class QSettings;

namespace settings {

struct WriteBackSettings {
    bool oneTransaction = false;

    static WriteBackSettings load();
    // The same from a settings file the caller opened.
    static WriteBackSettings from(const QSettings& settings);
    static void setOneTransaction(bool oneTransaction);
};

}  // namespace settings
