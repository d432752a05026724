// How the grid tells a new price from the one PRODUCT held: a tint from the
// palette for a rise and another for a fall, and a drawn mark that does not
// rely on colour (an arrow up or down, "!" below cost, "?" for a product
// that was not in PRODUCT). The cell's text and width never change.
#pragma once

#include <QBrush>
#include <QPalette>
#include <QString>
#include <QStyledItemDelegate>

#include "PriceChange.h"

class TProductWorkTable;

namespace marks {

// Bits of the mark role's value.
enum Mark : int {
    None = 0,
    Raised = 1,
    Lowered = 2,
    BelowCost = 4,
    ProductMissing = 8,
};

// The role the model answers with the Mark bits of a cell.
inline constexpr int kMarkRole = Qt::UserRole + 1;

int markOf(const TProductWorkTable& table, int row, int column);
// Nothing (an invalid brush) for a cell that looks as it always did.
QBrush backgroundOf(int mark, const QPalette& palette);
// Empty for a cell without a mark.
QString toolTipOf(const TProductWorkTable& table, int row, int column);

// Paints a cell as the grid always has, then its mark at the right edge.
class TPriceMarkDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace marks
