// The price history window: every journal of the journal folder, newest
// first; the rows of the one selected, with a filter by product number or
// name; and "還原", which reverts it by the command line's rules on a
// connection of its own. Where the command line needs --force the window
// asks, No being the default; the revert's loop runs behind the
// write-back's progress dialog with Cancel, and ends with the command
// line's summary. The list follows the folder: a journal written or closed
// meanwhile, by this program or another, shows without reopening.
#pragma once

#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>
#include <vector>

#include "JournalListModel.h"
#include "JournalRowsModel.h"
#include "PriceRevert.h"
#include "ServerSettings.h"
#include "StatementService.h"
#include "TDataLinkConnection.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace ui {

class TPriceHistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit TPriceHistoryWindow(QWidget* parent = nullptr);
    ~TPriceHistoryWindow() override;

    // The owner's history window, made (a window of its own, closed with
    // the owner) when it has none, shown and brought to the front.
    static TPriceHistoryWindow* showFor(QWidget* owner);

    QTableView* Journals = nullptr;
    QLineEdit* Filter = nullptr;
    QPushButton* RevertButton = nullptr;
    QPushButton* PushButton = nullptr;
    QTableView* Rows = nullptr;
    QLabel* FolderLabel = nullptr;

    const TJournalListModel& journals() const { return journals_; }
    const TJournalRowsModel& rows() const { return rows_; }
    const TJournalRowFilter& shownRows() const { return filter_; }

    // Reads the folder again, keeping the selected journal selected.
    void refresh();
    // Selects the journal of that file name; false when it is not listed.
    bool select(const QString& fileName);
    // The selected file's name; empty with none.
    QString selectedFile() const;

public slots:
    // "還原": the selected journal reverted.
    void RevertButtonClick();
    // "推送到門市": the selected write-back's batch sent to the stores.
    void PushButtonClick();

private:
    void createComponents();
    void showSelectedRows();
    void watchFolder();
    bool askOverride(const batch::RevertRefused& refusal);
    bool askRevertChangedRows(const std::vector<batch::ChangedRow>& changed);
    void runRevertLoop(const settings::ServerSettings& server, batch::TPriceWriteBack& writeBack,
                       batch::TPriceRows& rows, const batch::WriteBackSteps& steps);

    QString folder_;
    TJournalListModel journals_;
    TJournalRowsModel rows_;
    TJournalRowFilter filter_;
    QFileSystemWatcher watcher_;
    // Changes arrive in bursts while a journal is written; one read after
    // them is enough.
    QTimer refreshSoon_;

    // The revert's own connection, so that the main window's stays its own.
    db::TDataLinkConnection SQLConnection1{"SQLConnection1"};
    db::TStatementService SQLQuery1{SQLConnection1};
    // What the last revert loop's runner saw.
    bool cancelled_ = false;
    int stoppingSignal_ = 0;
};

}  // namespace ui
