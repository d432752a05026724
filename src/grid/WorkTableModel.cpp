#include "WorkTableModel.h"

#include <QGuiApplication>

#include "Big5Text.h"
#include "PriceMarks.h"

namespace grid {

TWorkTableModel::TWorkTableModel(TProductWorkTable& table, QObject* parent) : QAbstractTableModel(parent), table_(table), palette_(QGuiApplication::palette()) {
    columns_ = table_.fieldCount();
    table_.addObserver(this);
}

TWorkTableModel::~TWorkTableModel() { table_.removeObserver(this); }

int TWorkTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !table_.active()) return 0;
    return rows_;
}

int TWorkTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QString TWorkTableModel::cellText(int row, int column) const {
    if (row < 0 || row >= table_.rowCount() || column < 0 || column >= columns_) return {};
    const rt::FieldValue value = table_.valueAt(row, column);
    if (value.isNull()) return {};
    if (value.kind() == rt::FieldValue::Kind::Text) return big5::toUnicode(value.textValue());
    return QString::fromStdString(value.toString());
}

QVariant TWorkTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return cellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    // The review's marks: worked from the row's values each time, so they
    // follow every edit and calculation.
    if (role == marks::kMarkRole) return marks::markOf(table_, index.row(), index.column());
    if (role == Qt::BackgroundRole) {
        const QBrush brush = marks::backgroundOf(marks::markOf(table_, index.row(), index.column()), palette_);
        return brush.style() == Qt::NoBrush ? QVariant() : QVariant(brush);
    }
    if (role == Qt::ToolTipRole) {
        const QString tip = marks::toolTipOf(table_, index.row(), index.column());
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    return {};
}

void TWorkTableModel::setPalette(const QPalette& palette) {
    palette_ = palette;
    refreshLater();
}

QVariant TWorkTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    if (section < 0 || section >= columns_) return {};
    if (role == Qt::DisplayRole) return big5::toUnicode(table_.field(section).displayLabel());
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TWorkTableModel::flags(const QModelIndex& index) const {
    // Editing goes through the grid's own editor, never through the model.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// The blank row of an empty table turns into the first real row (and back)
// without the row count changing.
void TWorkTableModel::rowAboutToBeInserted(int row) {
    structureChanging_ = table_.rowCount() > 0;
    if (structureChanging_) beginInsertRows({}, row, row);
}

void TWorkTableModel::rowInserted(int row) {
    rows_ = tableRows();
    if (structureChanging_) endInsertRows();
    structureChanging_ = false;
    recordChanged(row);
}

void TWorkTableModel::rowAboutToBeRemoved(int row) {
    structureChanging_ = table_.rowCount() > 1;
    if (structureChanging_) beginRemoveRows({}, row, row);
}

void TWorkTableModel::rowRemoved(int row) {
    rows_ = tableRows();
    if (structureChanging_) endRemoveRows();
    structureChanging_ = false;
    recordChanged(row);
}

// A batch calculation changes every row many times; the view needs to hear
// of it once.
void TWorkTableModel::recordChanged(int) { refreshLater(); }

void TWorkTableModel::refreshLater() {
    if (refreshPending_) return;
    refreshPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            refreshPending_ = false;
            if (rowCount() > 0 && columns_ > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columns_ - 1));
        },
        Qt::QueuedConnection);
}

// Loads only ever add rows at the end, so the views hear of the new rows as
// one block there (the columns, their widths and order stay as they are).
void TWorkTableModel::dataSetChanged() {
    const int rows = tableRows();
    if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    } else if (rows < rows_) {
        beginRemoveRows({}, rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    }
    refreshLater();
}

void TWorkTableModel::fieldsChanged() {
    if (columns_ != table_.fieldCount()) {
        beginResetModel();
        columns_ = table_.fieldCount();
        rows_ = tableRows();
        endResetModel();
        return;
    }
    if (columns_ > 0) emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

}  // namespace grid
