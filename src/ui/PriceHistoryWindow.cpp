#include "PriceHistoryWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <chrono>
#include <memory>

#include "Big5Text.h"
#include "BusyCursor.h"
#include "ConnectionInterrupt.h"
#include "Dialogs.h"
#include "ErrorDisplay.h"
#include "JournalHistory.h"
#include "JournalSettings.h"
#include "PriceMarks.h"
#include "ProductSchema.h"
#include "ProductStatements.h"
#include "RevertSummary.h"
#include "RowWaitProbe.h"
#include "ScopeGuard.h"
#include "ServerSettings.h"
#include "StorePushRunner.h"
#include "StoreSettings.h"
#include "TerminationSignals.h"
#include "WriteBackRunner.h"

namespace ui {

namespace {

constexpr std::chrono::milliseconds kRefreshAfter{150};

QTableView* newTable(const char* name, QWidget* parent) {
    auto* table = new QTableView(parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->verticalHeader()->hide();
    return table;
}

QString shownPrices(const product::TierPrices& prices) { return QString::fromStdString(product::pricesText(prices)); }

}  // namespace

TPriceHistoryWindow::TPriceHistoryWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("PriceHistory"));
    setWindowTitle(QString::fromUtf8("價格紀錄"));
    resize(1100, 600);
    showBusyCursorWhileConnecting(SQLConnection1);
    createComponents();
    refreshSoon_.setSingleShot(true);
    refreshSoon_.setInterval(kRefreshAfter);
    connect(&refreshSoon_, &QTimer::timeout, this, &TPriceHistoryWindow::refresh);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &refreshSoon_, qOverload<>(&QTimer::start));
    connect(&watcher_, &QFileSystemWatcher::fileChanged, &refreshSoon_, qOverload<>(&QTimer::start));
    refresh();
}

TPriceHistoryWindow::~TPriceHistoryWindow() = default;

TPriceHistoryWindow* TPriceHistoryWindow::showFor(QWidget* owner) {
    auto* window = owner->findChild<TPriceHistoryWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new TPriceHistoryWindow(owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void TPriceHistoryWindow::createComponents() {
    auto* layout = new QVBoxLayout(this);
    FolderLabel = new QLabel(this);
    FolderLabel->setObjectName(QStringLiteral("FolderLabel"));
    FolderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The folder's note is a long sentence: wrapped, it never widens the
    // window past the screen and its buttons out of sight.
    FolderLabel->setWordWrap(true);
    layout->addWidget(FolderLabel);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    Journals = newTable("Journals", splitter);
    Journals->setModel(&journals_);
    Journals->horizontalHeader()->setStretchLastSection(true);

    auto* lower = new QWidget(splitter);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    auto* filterLabel = new QLabel(QString::fromUtf8("商品編號或名稱："), lower);
    Filter = new QLineEdit(lower);
    Filter->setObjectName(QStringLiteral("Filter"));
    Filter->setClearButtonEnabled(true);
    filterLabel->setBuddy(Filter);
    RevertButton = new QPushButton(QString::fromUtf8("還原"), lower);
    RevertButton->setObjectName(QStringLiteral("RevertButton"));
    PushButton = new QPushButton(QString::fromUtf8("推送到門市"), lower);
    PushButton->setObjectName(QStringLiteral("PushButton"));
    bar->addWidget(filterLabel);
    bar->addWidget(Filter, 1);
    bar->addWidget(RevertButton);
    bar->addWidget(PushButton);
    lowerLayout->addLayout(bar);

    filter_.setSourceModel(&rows_);
    Rows = newTable("Rows", lower);
    Rows->setModel(&filter_);
    Rows->setItemDelegate(new marks::TPriceMarkDelegate(Rows));
    // Narrow enough that a product's twelve prices fit beside its number
    // and name in the window's width.
    Rows->setColumnWidth(TJournalRowsModel::kIdColumn, 100);
    Rows->setColumnWidth(TJournalRowsModel::kNameColumn, 150);
    for (int tier = 1; tier <= product::kTierCount; ++tier) {
        Rows->setColumnWidth(TJournalRowsModel::beforeColumn(tier), 68);
        Rows->setColumnWidth(TJournalRowsModel::afterColumn(tier), 68);
    }
    lowerLayout->addWidget(Rows, 1);
    splitter->addWidget(Journals);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter, 1);

    connect(Journals->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { runHandler([this] { showSelectedRows(); }); });
    connect(Filter, &QLineEdit::textChanged, &filter_, &TJournalRowFilter::setText);
    connect(RevertButton, &QPushButton::clicked, this, [this] { runHandler([this] { RevertButtonClick(); }); });
    connect(PushButton, &QPushButton::clicked, this, [this] { runHandler([this] { PushButtonClick(); }); });
}

void TPriceHistoryWindow::refresh() {
    const QString selected = selectedFile();
    folder_ = journal::JournalSettings::load().folder;
    // A folder other accounts can look into is said so here as well as in
    // --journals: the history shows the shop's prices to whoever can read it.
    const std::optional<QString> note = journal::journalFolderNote(folder_);
    FolderLabel->setText(QDir::toNativeSeparators(folder_) + (note ? QLatin1Char('\n') + *note : QString()));
    // Watched before they are read: whatever is written after the read
    // comes as a change and a read of its own.
    watchFolder();
    {
        // The rows shown stay as they are unless another journal ends up
        // selected.
        const QSignalBlocker quiet(Journals->selectionModel());
        journals_.setJournals(journal::listJournals(folder_));
        const int row = journals_.rowOf(selected);
        if (row >= 0)
            Journals->selectionModel()->setCurrentIndex(journals_.index(row, 0),
                                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    Journals->resizeColumnsToContents();
    if (journals_.rowOf(selected) < 0 && journals_.rowCount() > 0)
        select(journals_.journalAt(0).fileName);
    else
        // A journal read again may have gained rows or its closing line.
        runHandler([this] { showSelectedRows(); });
}

void TPriceHistoryWindow::watchFolder() {
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    // A folder not made yet is watched for through the nearest folder above
    // it that is there.
    QFileInfo folder(folder_);
    while (!folder.isDir() && !folder.isRoot() && folder.absoluteFilePath() != folder.absolutePath())
        folder = QFileInfo(folder.absolutePath());
    if (folder.isDir()) watcher_.addPath(folder.absoluteFilePath());
    // A journal being written gains its rows and closing line in place,
    // which its folder does not tell.
    const QStringList files = journal::journalFiles(folder_);
    if (!files.isEmpty()) watcher_.addPaths(files);
}

bool TPriceHistoryWindow::select(const QString& fileName) {
    const int row = journals_.rowOf(fileName);
    if (row < 0) return false;
    Journals->selectionModel()->setCurrentIndex(journals_.index(row, 0),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

QString TPriceHistoryWindow::selectedFile() const {
    const QModelIndex current = Journals->selectionModel()->currentIndex();
    return current.isValid() && current.row() < journals_.rowCount() ? journals_.journalAt(current.row()).fileName
                                                                      : QString();
}

void TPriceHistoryWindow::showSelectedRows() {
    const int row = journals_.rowOf(selectedFile());
    const bool isJournal = row >= 0 && journals_.journalAt(row).isJournal();
    RevertButton->setEnabled(isJournal);
    // Only a write-back's batch goes to the stores; a revert or a store's
    // own journal is not a batch of the head office.
    PushButton->setEnabled(isJournal && journals_.journalAt(row).header->source == QLatin1String("write-back"));
    if (!isJournal) return rows_.setEntries({});
    rows_.setEntries(journal::readJournal(journals_.journalAt(row).path).entries);
}

// ---- the revert ----

bool TPriceHistoryWindow::askOverride(const batch::RevertRefused& refusal) {
    QString question;
    ConfirmationNotes notes;
    if (refusal.check() == batch::RevertRefused::Check::OtherDatabase) {
        question = QString::fromUtf8("這份價格紀錄是另一個資料庫的，仍要還原到目前連線的資料庫嗎？");
        notes.summary = QString::fromUtf8("紀錄的資料庫：%1\n目前連線的資料庫：%2")
                            .arg(refusal.named().value(0), refusal.named().value(1));
    } else {
        question = QString::fromUtf8("較新的價格紀錄也寫過其中的商品，且還沒有還原。仍要還原嗎？");
        notes.summary = QString::fromUtf8("會被蓋過的紀錄（應由新到舊先還原）：\n%1").arg(refusal.named().join(u'\n'));
    }
    return askConfirmation(this, question, notes, Answer::No) == Answer::Yes;
}

bool TPriceHistoryWindow::askRevertChangedRows(const std::vector<batch::ChangedRow>& changed) {
    QStringList lines;
    for (const batch::ChangedRow& row : changed)
        lines << QString::fromUtf8("%1（第 %2 行）：現在 %3，回存寫入 %4，回存前 %5")
                     .arg(big5::toUnicode(product::productLabel(row.entry.productId, row.entry.productName)))
                     .arg(row.entry.line)
                     .arg(shownPrices(row.now), shownPrices(row.entry.newPrices), shownPrices(*row.entry.oldPrices));
    ConfirmationNotes notes;
    notes.summary = QString::fromUtf8("選「否」則這些商品不動，只還原其他商品。");
    notes.details = lines.join(u'\n');
    return askConfirmation(this,
                           QString::fromUtf8("有 %1 筆在回存之後又被改過價格，也把它們還原嗎？").arg(changed.size()),
                           notes, Answer::No) == Answer::Yes;
}

void TPriceHistoryWindow::runRevertLoop(const settings::ServerSettings& server, batch::TPriceWriteBack& writeBack,
                                        batch::TPriceRows& rows, const batch::WriteBackSteps& steps) {
    WriteBackTimes times;
    // The connection's own answer watch ends a row the server leaves
    // unanswered and says why; the runner's, a moment later, is there for a
    // driver without one.
    times.answerTimeout = server.answerTimeout + std::chrono::seconds(2);
    auto probe =
        std::make_shared<db::TRowWaitProbe>(SQLConnection1, std::chrono::seconds(2), catalog::productRowSelect());
    TWriteBackRunner runner(this, db::TConnectionInterrupt(SQLConnection1), times, std::move(probe));
    const rt::ScopeGuard keepHowItEnded([this, &runner] {
        cancelled_ = runner.cancelled();
        stoppingSignal_ = runner.stoppingSignal();
    });
    runner.run(writeBack, rows, steps);
}

void TPriceHistoryWindow::RevertButtonClick() {
    const int row = journals_.rowOf(selectedFile());
    if (row < 0 || !journals_.journalAt(row).isJournal()) return;
    const journal::Journal journal = journal::readJournal(journals_.journalAt(row).path);
    if (askConfirmation(this, QString::fromUtf8("還原 %1 的 %2 筆價格？")
                                  .arg(QFileInfo(journal.path).fileName())
                                  .arg(journal.entries.size())) != Answer::Yes)
        return;
    // Connected as the command line connects: the stored connection and
    // the program's answer timeout.
    SQLConnection1.applyStoredProperties();
    const settings::ServerSettings server = settings::applyServerSettings(SQLConnection1);
    cancelled_ = false;
    stoppingSignal_ = 0;
    batch::RevertOptions options;
    options.overrideRefusal = [this](const batch::RevertRefused& refusal) { return askOverride(refusal); };
    options.revertChangedRows = [this](const std::vector<batch::ChangedRow>& changed) {
        return askRevertChangedRows(changed);
    };
    options.runWriteBack = [this, &server](batch::TPriceWriteBack& writeBack, batch::TPriceRows& rows,
                                           const batch::WriteBackSteps& steps) {
        runRevertLoop(server, writeBack, rows, steps);
    };
    QString summary;
    try {
        const batch::RevertReport report = batch::TPriceRevert(SQLQuery1, options).run(journal);
        summary = batch::revertReportText(report);
        if (report.stopped && cancelled_ && stoppingSignal_ == 0)
            summary += batch::revertStoppedText(QStringLiteral("Cancel"), report.reverted,
                                                options.writeBack.oneTransaction);
    } catch (const batch::RevertStopped& stopped) {
        summary = batch::revertFailedText(stopped, journal.path) + batch::revertReportText(stopped.report());
        if (stopped.report().inDoubt) summary += batch::revertInDoubtText(stopped, options.writeBack.oneTransaction);
    }
    refresh();
    if (stoppingSignal_ != 0) return endAfterSignal(stoppingSignal_);
    showMessage(summary.trimmed());
}

void TPriceHistoryWindow::PushButtonClick() {
    const int row = journals_.rowOf(selectedFile());
    if (row < 0 || !journals_.journalAt(row).isJournal()) return;
    if (settings::StoreSettings::load().names.isEmpty())
        return showMessage(QString::fromUtf8("設定檔的 [Stores] Names 沒有列出門市，沒有可以推送的門市。"));
    // The stores' own journals and the push record land in the folder.
    offerStorePush(this, journals_.journalAt(row).path);
    refresh();
}

}  // namespace ui
