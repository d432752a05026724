// The history window's list: one row per file of the journal folder, newest
// first, with its time, user, what wrote it, database, rows and state; a
// file that is no journal says so with the reason.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "JournalListing.h"

namespace ui {

class TJournalListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, User, Source, Database, Rows, State, File, kColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setJournals(std::vector<journal::ListedJournal> journals);
    const journal::ListedJournal& journalAt(int row) const { return journals_.at(static_cast<std::size_t>(row)); }
    // -1 when no row holds the file.
    int rowOf(const QString& fileName) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The words of each column for one file.
    static QString sourceText(const journal::ListedJournal& journal);
    static QString stateText(const journal::ListedJournal& journal);

private:
    std::vector<journal::ListedJournal> journals_;
};

}  // namespace ui
