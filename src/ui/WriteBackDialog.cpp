#include "WriteBackDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

TWriteBackDialog::TWriteBackDialog(QWidget* window) : TCancelOnlyDialog(window) {
    setObjectName(QStringLiteral("WriteBackDialog"));
    auto* layout = new QVBoxLayout(this);
    count_ = new QLabel(this);
    product_ = new QLabel(this);
    waiting_ = new QLabel(this);
    bar_ = new QProgressBar(this);
    count_->setObjectName(QStringLiteral("count"));
    product_->setObjectName(QStringLiteral("product"));
    waiting_->setObjectName(QStringLiteral("waiting"));
    layout->addWidget(count_);
    layout->addWidget(product_);
    layout->addWidget(waiting_);
    layout->addWidget(bar_);
    layout->addWidget(cancelButton(), 0, Qt::AlignHCenter);
    setMinimumWidth(360);
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
    cancelButton()->setEnabled(false);
    waiting_->setText(reading_ ? QString::fromUtf8("正在停止讀取…")
                               : QString::fromUtf8("正在停止，寫入中的這一筆結束後就停…"));
}

}  // namespace ui
