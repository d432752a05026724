// The window-modal progress of a push to the stores: one line per store
// (waiting, sending N / M, delivered, failed with its reason, cancelled)
// and a Cancel that stays until every store has ended, so that no other
// handler of the window can start meanwhile.
#pragma once

#include <QDialog>
#include <vector>

#include "StorePush.h"

class QLabel;
class QPushButton;

namespace ui {

class TStorePushDialog : public QDialog {
    Q_OBJECT
public:
    TStorePushDialog(QWidget* window, const QStringList& stores);

    void showProgress(const std::vector<batch::StoreProgress>& stores);
    void showStopping();
    // Closed by the push's end only, never by the operator.
    void finish();

    // The line a store shows, in the window's language.
    static QString storeLine(const batch::StoreProgress& store);

signals:
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    std::vector<QLabel*> lines_;
    QPushButton* cancel_;
    bool finished_ = false;
};

}  // namespace ui
