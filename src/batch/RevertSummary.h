// What a revert tells once it has ended, in the same words on the command
// line and in the history window: every row changed since (left alone or
// forced), every product no longer in PRODUCT, the counts, and the revert's
// own journal. Each line ends with its line end.
#pragma once

#include <QString>
#include <cstddef>

#include "PriceRevert.h"

namespace batch {

QString revertReportText(const RevertReport& report);

// A stop asked for between rows (a signal, the window's Cancel): by names
// what asked for it. In one transaction the rows before the stop were
// rolled back with it.
QString revertStoppedText(const QString& by, std::size_t reverted, bool oneTransaction);

// A row that failed with the connection lost while a commit was on its way,
// the database not reachable since to say whether it was made.
QString revertInDoubtText(const RevertStopped& stopped, bool oneTransaction);

// A row that failed: the error and where the revert stopped in the
// journal file; revertReportText(stopped.report()) follows it.
QString revertFailedText(const RevertStopped& stopped, const QString& journalFile);

}  // namespace batch
