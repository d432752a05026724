// The window-modal progress of a write-back: rows written of the total,
// the product being written or waited on, and a Cancel that stays on
// screen until the write-back has really ended, so that no other handler
// can start meanwhile.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace ui {

class TWriteBackDialog : public QDialog {
    Q_OBJECT
public:
    explicit TWriteBackDialog(QWidget* window);

    void showProgress(std::size_t written, std::size_t total, const QString& product);
    // One transaction: the rows are sent, none written until the commit.
    void showSent(std::size_t sent, std::size_t total, const QString& product);
    // Shown below the product once a row has taken long.
    void showWaiting(const QString& what);
    void showStopping();
    // Closed by the write-back's end only, never by the operator.
    void finish();

signals:
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QLabel* count_;
    QLabel* product_;
    QLabel* waiting_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    bool finished_ = false;
};

}  // namespace ui
