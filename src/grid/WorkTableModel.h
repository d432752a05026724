// The work table seen as a Qt item model, for the grid. An empty table
// still shows one blank row, so the operator has a cell to type into.
#pragma once

#include <QAbstractTableModel>
#include <QPalette>
#include <algorithm>

#include "ProductWorkTable.h"

namespace grid {

class TWorkTableModel : public QAbstractTableModel, private TWorkTableObserver {
    Q_OBJECT
public:
    explicit TWorkTableModel(TProductWorkTable& table, QObject* parent = nullptr);
    ~TWorkTableModel() override;

    TProductWorkTable& table() const { return table_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The palette the review's tints are taken from (the view's).
    void setPalette(const QPalette& palette);

    // The text a cell shows: floats in general format, null as nothing.
    QString cellText(int row, int column) const;

private:
    void rowAboutToBeInserted(int row) override;
    void rowInserted(int row) override;
    void rowAboutToBeRemoved(int row) override;
    void rowRemoved(int row) override;
    void recordChanged(int row) override;
    void fieldsChanged() override;
    void dataSetChanged() override;
    void refreshLater();
    int tableRows() const { return std::max(1, table_.rowCount()); }

    TProductWorkTable& table_;
    int columns_ = 0;
    // The rows the views were told of; they follow the table through its
    // notices, and catch up at once after a load with controls disabled.
    int rows_ = 1;
    bool structureChanging_ = false;
    bool refreshPending_ = false;
    QPalette palette_;
};

}  // namespace grid
