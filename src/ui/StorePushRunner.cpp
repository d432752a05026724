#include "StorePushRunner.h"

#include <QMessageBox>
#include <QPushButton>
#include <exception>

#include "Big5Text.h"
#include "Dialogs.h"
#include "ErrorDisplay.h"
#include "Errors.h"
#include "ScopeGuard.h"
#include "ServerSettings.h"
#include "StorePushDialog.h"
#include "StoreSettings.h"
#include "TerminationSignals.h"
#include "WorkerLoop.h"
#include "TierPrices.h"

namespace ui {

namespace {

constexpr std::chrono::milliseconds kPushPoll{100};
// The end box names this many products a store lacks, then "…".
constexpr std::size_t kMissingNamed = 20;

// Yes or No, No the default: a push is not the write-back's own business,
// and Enter must not start one by accident.
bool askDefaultNo(QWidget* parent, const QString& question, const QString& details = {}) {
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Confirm"));
    box.setIcon(QMessageBox::Question);
    box.setText(question);
    if (!details.isEmpty()) box.setInformativeText(details);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace

QString storePushEndText(const std::vector<batch::StoreProgress>& stores) {
    QStringList lines;
    bool allHaveIt = true;
    for (const batch::StoreProgress& store : stores) {
        QString line = TStorePushDialog::storeLine(store);
        if (!store.missing.empty()) {
            QStringList named;
            for (std::size_t at = 0; at < store.missing.size() && at < kMissingNamed; ++at)
                named.push_back(big5::toUnicode(product::productLabel(store.missing[at].productId, store.missing[at].productName)));
            if (store.missing.size() > kMissingNamed) named.push_back(QString::fromUtf8("…"));
            line += QString::fromUtf8("：") + named.join(QString::fromUtf8("、"));
        }
        lines.push_back(line);
        allHaveIt = allHaveIt && store.hasBatch();
    }
    lines.push_back(QString());
    lines.push_back(allHaveIt ? QString::fromUtf8("每家門市都已收到這批價格。")
                              : QString::fromUtf8("再推送一次只會重試還沒有這批價格的門市。"));
    return lines.join(QLatin1Char('\n'));
}

std::vector<batch::StoreProgress> runStorePush(QWidget* window, batch::TStorePush& push, const QStringList& stores) {
    auto* dialog = new TStorePushDialog(window, stores);
    const rt::ScopeGuard dropDialog([dialog] { delete dialog; });
    int stoppingSignal = 0;
    const auto cancel = [&] {
        dialog->showStopping();
        push.cancel();
    };
    QObject::connect(dialog, &TStorePushDialog::cancelRequested, dialog, cancel);
    const SignalInterception interception([&](int signal) {
        if (stoppingSignal == 0) stoppingSignal = signal;
        cancel();
    });

    std::vector<batch::StoreProgress> outcome;
    dialog->showProgress(push.progress());
    dialog->show();
    const std::exception_ptr failure = runBesideEventLoop(
        [&] { outcome = push.run(); }, kPushPoll, [&] { dialog->showProgress(push.progress()); },
        [] { return true; });
    dialog->finish();
    if (failure) std::rethrow_exception(failure);
    if (stoppingSignal != 0) endAfterSignal(stoppingSignal);
    return outcome;
}

std::vector<batch::StoreProgress> offerStorePush(QWidget* window, const QString& journalPath) {
    const settings::StoreSettings configured = settings::StoreSettings::load();
    if (configured.names.isEmpty()) return {};
    if (!askDefaultNo(window, QString::fromUtf8("也推送到 %1 家門市？").arg(configured.names.size()))) return {};
    if (journalPath.isEmpty())
        throw rt::AppError(big5::fromUtf8("價格日誌已關閉，這批價格沒有日誌可以推送到門市。"));
    std::vector<batch::StoreTarget> targets = batch::chosenStores(configured, {});
    QStringList names;
    for (const batch::StoreTarget& target : targets) names.push_back(target.name);
    batch::PushOptions options;
    options.parallel = configured.parallel;
    options.answerTimeout = settings::ServerSettings::load().answerTimeout;
    // Asked on the store push's thread; the box belongs to the window's.
    options.rewriteChanged = [window](const QStringList& changed) {
        bool answer = false;
        QMetaObject::invokeMethod(
            window,
            [&] {
                answer = askDefaultNo(window,
                                      QString::fromUtf8("這些門市收到這批價格後，價格又被修改過：%1。要再推送一次嗎？")
                                          .arg(changed.join(QString::fromUtf8("、"))));
            },
            Qt::BlockingQueuedConnection);
        return answer;
    };
    batch::TStorePush push(journalPath, std::move(targets), options);
    std::vector<batch::StoreProgress> outcome = runStorePush(window, push, names);
    if (!exitStatusAfterSignal()) showMessage(storePushEndText(outcome));
    return outcome;
}

}  // namespace ui
