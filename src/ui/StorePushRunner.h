// The window's push to the stores after its write-back: the question, the
// push on a thread of its own behind the window-modal dialog, and the end
// box with each store's outcome.
#pragma once

#include <QString>
#include <vector>

#include "StorePush.h"

class QWidget;

namespace ui {

// "也推送到 N 家門市？" (No the default) when [Stores] names any store; Yes
// pushes the journal's batch to every configured store. Nothing is asked
// when no store is configured. A configuration fault is raised before
// anything is written. A termination signal meanwhile acts as Cancel and
// then ends the program. Returns the stores' outcomes, empty when nothing
// was pushed.
std::vector<batch::StoreProgress> offerStorePush(QWidget* window, const QString& journalPath);

// The push itself, behind the dialog, with the question about stores whose
// prices changed since their delivery; returns when every store has ended.
std::vector<batch::StoreProgress> runStorePush(QWidget* window, batch::TStorePush& push, const QStringList& stores);

// The end box's text: each store's outcome, and that pushing again retries
// only the stores without the batch.
QString storePushEndText(const std::vector<batch::StoreProgress>& stores);

}  // namespace ui
