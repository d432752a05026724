#include "JournalRowsModel.h"

#include <QApplication>
#include <QPalette>

#include "Big5Text.h"
#include "PriceMarks.h"
#include "ProductSchema.h"

namespace ui {

namespace {

// Which tier a price column shows, and whether its price is the written one.
struct PriceCell {
    int tier = 0;
    bool after = false;
};
std::optional<PriceCell> priceCellOf(int column) {
    if (column < TJournalRowsModel::beforeColumn(1) || column > TJournalRowsModel::afterColumn(product::kTierCount))
        return std::nullopt;
    return PriceCell{column / 2, column % 2 == 1};
}

QString priceText(std::optional<double> price) {
    return price ? QString::fromStdString(product::priceText(*price)) : QString();
}

}  // namespace

void TJournalRowsModel::setEntries(std::vector<journal::JournalEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    ids_.clear();
    names_.clear();
    for (const journal::JournalEntry& entry : entries_) {
        ids_.push_back(big5::toUnicode(entry.productId));
        names_.push_back(big5::toUnicode(entry.productName));
    }
    endResetModel();
}

int TJournalRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TJournalRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : afterColumn(product::kTierCount) + 1;
}

int TJournalRowsModel::markAt(int row, int column) const {
    const journal::JournalEntry& entry = entryAt(row);
    if (!entry.oldPrices) return column == kIdColumn ? marks::ProductMissing : marks::None;
    const std::optional<PriceCell> cell = priceCellOf(column);
    if (!cell || !cell->after) return marks::None;
    const std::optional<double> before = entry.oldPrices->price(cell->tier);
    const std::optional<double> after = entry.newPrices.price(cell->tier);
    if (!before || !after) return marks::None;
    if (*after > *before) return marks::Raised;
    if (*after < *before) return marks::Lowered;
    return marks::None;
}

QVariant TJournalRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const int row = index.row();
    const int column = index.column();
    const journal::JournalEntry& entry = entryAt(row);
    const std::optional<PriceCell> cell = priceCellOf(column);
    switch (role) {
    case Qt::DisplayRole:
        if (column == kIdColumn) return ids_[static_cast<std::size_t>(row)];
        if (column == kNameColumn) return names_[static_cast<std::size_t>(row)];
        if (!cell->after) return entry.oldPrices ? priceText(entry.oldPrices->price(cell->tier)) : QString();
        return priceText(entry.newPrices.price(cell->tier));
    case Qt::TextAlignmentRole:
        // As the grid: the mark goes at the right edge, clear of the text.
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case marks::kMarkRole:
        return markAt(row, column);
    case Qt::BackgroundRole: {
        const QBrush brush = marks::backgroundOf(markAt(row, column), QApplication::palette());
        return brush.style() == Qt::NoBrush ? QVariant() : QVariant(brush);
    }
    case Qt::ToolTipRole:
        if (column == kIdColumn && !entry.oldPrices) return QString::fromUtf8("回存時 PRODUCT 沒有這項商品：沒有寫入任何價格");
        return {};
    default:
        return {};
    }
}

QVariant TJournalRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const auto& titles = product::columnTitlesUtf8();
    if (section == kIdColumn || section == kNameColumn)
        return QString::fromUtf8(titles[static_cast<std::size_t>(section)].data(),
                                 static_cast<qsizetype>(titles[static_cast<std::size_t>(section)].size()));
    const std::optional<PriceCell> cell = priceCellOf(section);
    if (!cell) return {};
    const std::string_view title = titles[static_cast<std::size_t>(product::priceField(cell->tier))];
    return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())) +
           QString::fromUtf8(cell->after ? " 後" : " 前");
}

void TJournalRowFilter::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    invalidateRowsFilter();
}

bool TJournalRowFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (text_.isEmpty()) return true;
    const QAbstractItemModel* model = sourceModel();
    for (const int column : {TJournalRowsModel::kIdColumn, TJournalRowsModel::kNameColumn})
        if (model->index(sourceRow, column, sourceParent).data().toString().contains(text_, Qt::CaseInsensitive))
            return true;
    return false;
}

}  // namespace ui
