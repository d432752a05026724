// The window-modal progress of a push to the stores: one line per store
// (waiting, sending N / M, delivered, failed with its reason, cancelled)
// and a Cancel that stays until every store has ended, so that no other
// handler of the window can start meanwhile.
#pragma once

#include <vector>

#include "CancelOnlyDialog.h"
#include "StorePush.h"

class QLabel;

namespace ui {

class TStorePushDialog : public TCancelOnlyDialog {
    Q_OBJECT
public:
    TStorePushDialog(QWidget* window, const QStringList& stores);

    void showProgress(const std::vector<batch::StoreProgress>& stores);
    void showStopping();

    // The line a store shows, in the window's language.
    static QString storeLine(const batch::StoreProgress& store);

private:
    std::vector<QLabel*> lines_;
};

}  // namespace ui
