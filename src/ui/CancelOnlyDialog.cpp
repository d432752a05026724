#include "CancelOnlyDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

#include "ErrorDisplay.h"

namespace ui {

TCancelOnlyDialog::TCancelOnlyDialog(QWidget* window) : QDialog(window) {
    setWindowTitle(ui::applicationTitle());
    setWindowModality(Qt::WindowModal);
    cancel_ = new QPushButton(QString::fromUtf8("取消"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    // A push button in a dialog is made the default (Return presses it) as
    // soon as it has the focus; this one never takes the focus, and is
    // never the default either way.
    cancel_->setAutoDefault(false);
    cancel_->setDefault(false);
    cancel_->setFocusPolicy(Qt::NoFocus);
    connect(cancel_, &QPushButton::clicked, this, &TCancelOnlyDialog::cancelRequested);
}

void TCancelOnlyDialog::finish() {
    finished_ = true;
    close();
}

// The close box and Escape ask for Cancel; the dialog goes when the work
// has ended.
void TCancelOnlyDialog::closeEvent(QCloseEvent* event) {
    if (finished_) return QDialog::closeEvent(event);
    event->ignore();
    emit cancelRequested();
}

// QDialog would press its default button, or a focused button, on Return
// and Enter; here they are no answer at all.
void TCancelOnlyDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return event->accept();
    QDialog::keyPressEvent(event);
}

void TCancelOnlyDialog::reject() {
    if (finished_) return QDialog::reject();
    emit cancelRequested();
}

}  // namespace ui
