// A window-modal progress dialog whose one button is "取消", for work that
// must end by itself before anything else of the window can start.
//
// Only Escape, the close box and a click on "取消" cancel: the dialog has
// no default button, and Return and Enter do nothing, so that an operator
// pressing Enter once more while waiting for the end does not stop it. The
// dialog stays until finish(), called when the work has ended.
#pragma once

#include <QDialog>

class QPushButton;

namespace ui {

class TCancelOnlyDialog : public QDialog {
    Q_OBJECT
public:
    // Closed by the work's end only, never by the operator.
    void finish();

signals:
    void cancelRequested();

protected:
    explicit TCancelOnlyDialog(QWidget* window);

    // The "取消" button, for the dialog's layout; disabled once stopping.
    QPushButton* cancelButton() const { return cancel_; }
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    QPushButton* cancel_;
    bool finished_ = false;
};

}  // namespace ui
