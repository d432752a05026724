// The stores a batch is pushed to: the program's own settings file names
// them, in push order, and says how many are written at once.
//
//   [Stores]
//   Names=Taipei01,Taichung02,Kaohsiung03
//   Parallel=4            from 1 to 32
//
// Each name is a section of the connections file with the same keys as the
// program's own connection (db::storeConnection reads it).
#pragma once

#include <QStringList>

class QSettings;

namespace settings {

struct StoreSettings {
    static constexpr int kDefaultParallel = 4;
    static constexpr int kMostParallel = 32;

    QStringList names;  // push order; empty when no store is configured
    int parallel = kDefaultParallel;

    // Raises rt::AppError naming the file, the key and the value for an
    // empty name, a name given twice (letter case aside, as the connections
    // file finds sections) or a Parallel that is no whole number from 1 to 32.
    static StoreSettings load();
    static StoreSettings from(const QSettings& settings);
    static void setNames(const QStringList& names);
    static void setParallel(int parallel);
};

}  // namespace settings
