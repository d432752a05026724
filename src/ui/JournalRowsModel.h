// One journal's rows in the history window: product number and name, then
// for each of the six tiers the price PRODUCT held before the write-back and
// the one it wrote, the written one marked as the grid's review marks it (a
// rise or a fall, by colour and by an arrow), the product number marked
// when PRODUCT did not have the product.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <vector>

#include "PriceJournal.h"

namespace ui {

class TJournalRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kIdColumn = 0;
    static constexpr int kNameColumn = 1;
    static int beforeColumn(int tier) { return 2 * tier; }
    static int afterColumn(int tier) { return 2 * tier + 1; }

    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(std::vector<journal::JournalEntry> entries);
    const journal::JournalEntry& entryAt(int row) const { return entries_.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // The marks::Mark bits of a cell.
    int markAt(int row, int column) const;

    std::vector<journal::JournalEntry> entries_;
    std::vector<QString> ids_;
    std::vector<QString> names_;
};

// Keeps the rows whose product number or name holds the text, in any case.
class TJournalRowFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString text_;
};

}  // namespace ui
