#include "WriteBackDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ErrorDisplay.h"

namespace ui {

TWriteBackDialog::TWriteBackDialog(QWidget* window) : QDialog(window) {
    setObjectName(QStringLiteral("WriteBackDialog"));
    setWindowTitle(ui::applicationTitle());
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    count_ = new QLabel(this);
    product_ = new QLabel(this);
    waiting_ = new QLabel(this);
    bar_ = new QProgressBar(this);
    cancel_ = new QPushButton(QString::fromUtf8("取消"), this);
    count_->setObjectName(QStringLiteral("count"));
    product_->setObjectName(QStringLiteral("product"));
    waiting_->setObjectName(QStringLiteral("waiting"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    // A push button in a dialog is made the default (Return presses it) as
    // soon as it has the focus; this one never takes the focus, and is
    // never the default either way.
    cancel_->setAutoDefault(false);
    cancel_->setDefault(false);
    cancel_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(count_);
    layout->addWidget(product_);
    layout->addWidget(waiting_);
    layout->addWidget(bar_);
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);
    setMinimumWidth(360);
    connect(cancel_, &QPushButton::clicked, this, &TWriteBackDialog::cancelRequested);
}

void TWriteBackDialog::showProgress(std::size_t written, std::size_t total, const QString& product) {
    count_->setText(QString::fromUtf8("回存商品價格：已回存 %1 / %2 筆").arg(written).arg(total));
    product_->setText(product);
    // The bar's range is an int; its percentage is all it shows.
    bar_->setRange(0, 1000);
    bar_->setValue(total == 0 ? 0 : static_cast<int>(written * 1000 / total));
}

void TWriteBackDialog::showReading(const QString& what, const QString& detail) {
    reading_ = true;
    count_->setText(what);
    product_->setText(detail);
    bar_->setRange(0, 0);
}

void TWriteBackDialog::showSent(std::size_t sent, std::size_t total, const QString& product) {
    showProgress(sent, total, product);
    count_->setText(QString::fromUtf8("已送出 %1 / %2 筆（整批在最後一起寫入）").arg(sent).arg(total));
}

void TWriteBackDialog::showWaiting(const QString& what) { waiting_->setText(what); }

void TWriteBackDialog::showStopping() {
    cancel_->setEnabled(false);
    waiting_->setText(reading_ ? QString::fromUtf8("正在停止讀取…")
                               : QString::fromUtf8("正在停止，寫入中的這一筆結束後就停…"));
}

void TWriteBackDialog::finish() {
    finished_ = true;
    close();
}

// The close box and Escape ask for Cancel; the dialog goes when the
// write-back has ended.
void TWriteBackDialog::closeEvent(QCloseEvent* event) {
    if (finished_) return QDialog::closeEvent(event);
    event->ignore();
    emit cancelRequested();
}

// QDialog would press its default button, or a focused button, on Return
// and Enter; here they are no answer at all.
void TWriteBackDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return event->accept();
    QDialog::keyPressEvent(event);
}

void TWriteBackDialog::reject() {
    if (finished_) return QDialog::reject();
    emit cancelRequested();
}

}  // namespace ui
