// The window-modal progress of a write-back: rows written of the total,
// the product being written or waited on, and a Cancel that stays on
// screen until the write-back has really ended, so that no other handler
// can start meanwhile. A long read shows the same dialog, saying what it
// reads.
#pragma once

#include "CancelOnlyDialog.h"

class QLabel;
class QProgressBar;

namespace ui {

class TWriteBackDialog : public TCancelOnlyDialog {
    Q_OBJECT
public:
    explicit TWriteBackDialog(QWidget* window);

    void showProgress(std::size_t written, std::size_t total, const QString& product);
    // One transaction: the rows are sent, none written until the commit.
    void showSent(std::size_t sent, std::size_t total, const QString& product);
    // Shown below the product once a row has taken long.
    void showWaiting(const QString& what);
    void showStopping();
    // A read instead of a write-back: what is read, and of what; the bar
    // runs without a count.
    void showReading(const QString& what, const QString& detail);

private:
    QLabel* count_;
    QLabel* product_;
    QLabel* waiting_;
    QProgressBar* bar_;
    bool reading_ = false;
};

}  // namespace ui
