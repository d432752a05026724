#include "StorePushDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

TStorePushDialog::TStorePushDialog(QWidget* window, const QStringList& stores) : TCancelOnlyDialog(window) {
    setObjectName(QStringLiteral("StorePushDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QString::fromUtf8("推送到門市"), this);
    layout->addWidget(heading);
    for (const QString& store : stores) {
        auto* line = new QLabel(this);
        line->setObjectName(QStringLiteral("store:") + store);
        line->setWordWrap(true);
        layout->addWidget(line);
        lines_.push_back(line);
    }
    layout->addWidget(cancelButton(), 0, Qt::AlignHCenter);
    setMinimumWidth(420);
}

QString TStorePushDialog::storeLine(const batch::StoreProgress& store) {
    QString text;
    switch (store.status) {
        case batch::StoreStatus::Waiting: text = QString::fromUtf8("等待中"); break;
        case batch::StoreStatus::Sending:
            text = QString::fromUtf8("傳送中 %1 / %2").arg(store.sent).arg(store.total);
            break;
        case batch::StoreStatus::Delivered: text = QString::fromUtf8("已送達"); break;
        case batch::StoreStatus::AlreadyDelivered: text = QString::fromUtf8("先前已送達，價格未變"); break;
        case batch::StoreStatus::Changed:
            text = QString::fromUtf8("先前已送達，之後價格被修改，未再寫入（%1）").arg(store.reason);
            break;
        case batch::StoreStatus::Failed: text = QString::fromUtf8("失敗（%1）").arg(store.reason); break;
        case batch::StoreStatus::Cancelled: text = QString::fromUtf8("已取消，沒有寫入任何價格"); break;
    }
    if (!store.missing.empty())
        text += QString::fromUtf8("；門市沒有的商品 %1 項").arg(store.missing.size());
    return store.store + QString::fromUtf8("：") + text;
}

void TStorePushDialog::showProgress(const std::vector<batch::StoreProgress>& stores) {
    for (std::size_t store = 0; store < stores.size() && store < lines_.size(); ++store)
        lines_[store]->setText(storeLine(stores[store]));
}

void TStorePushDialog::showStopping() { cancelButton()->setEnabled(false); }

}  // namespace ui
