// Who the program is to the desktop (the name its settings and data folders
// go by) and who runs it (the user a journal names).
#pragma once

#include <QString>

namespace settings {

// "Tarvell": the settings file's folder and name, and the data folder's.
QString programName();

// The program's name for its settings and data folders, set before any of
// them is looked up.
void useProgramIdentity();

// The login name of the user running the program.
QString loginName();

}  // namespace settings
