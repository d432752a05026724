#include "PriceMarks.h"

#include <QPainter>
#include <QPainterPath>

#include "Big5Text.h"
#include "ProductWorkTable.h"

namespace marks {

namespace {

bool isPriceColumn(int column) {
    return column >= product::priceField(1) && column <= product::priceField(product::kTierCount);
}
int tierOf(int column) { return column - product::D_PRICE1 + 1; }

// A quarter of the palette's accent over the cell's base keeps the text
// colour of either palette readable on it.
QColor tint(const QPalette& palette, QPalette::ColorRole accent) {
    const QColor base = palette.color(QPalette::Base);
    const QColor over = palette.color(accent);
    constexpr double kShare = 0.28;
    return QColor::fromRgbF(static_cast<float>(base.redF() * (1 - kShare) + over.redF() * kShare),
                            static_cast<float>(base.greenF() * (1 - kShare) + over.greenF() * kShare),
                            static_cast<float>(base.blueF() * (1 - kShare) + over.blueF() * kShare));
}

QString numberText(double value) { return QString::fromStdString(rt::formatGeneral(value)); }

const QString& missingText() {
    static const QString text = QString::fromUtf8("載入時 PRODUCT 沒有這項商品：回存時不會寫入任何商品");
    return text;
}

void drawArrow(QPainter* painter, const QRect& box, bool up, const QColor& colour) {
    QPainterPath arrow;
    const qreal left = box.left(), right = box.right(), top = box.top(), bottom = box.bottom();
    const qreal middle = (left + right) / 2.0;
    if (up) {
        arrow.moveTo(middle, top);
        arrow.lineTo(right, bottom);
        arrow.lineTo(left, bottom);
    } else {
        arrow.moveTo(left, top);
        arrow.lineTo(right, top);
        arrow.lineTo(middle, bottom);
    }
    arrow.closeSubpath();
    painter->fillPath(arrow, colour);
}

}  // namespace

int markOf(const TProductWorkTable& table, int row, int column) {
    if (row < 0 || row >= table.rowCount()) return None;
    if (column == product::PROD_ID) return review::productMissing(table, row) ? ProductMissing : None;
    if (!isPriceColumn(column)) return None;
    const review::PriceCellReview cell = review::reviewPrice(table, row, tierOf(column));
    int mark = None;
    if (cell.change == review::PriceChange::Raised) mark |= Raised;
    if (cell.change == review::PriceChange::Lowered) mark |= Lowered;
    if (cell.belowCost) mark |= BelowCost;
    if (cell.productMissing) mark |= ProductMissing;
    return mark;
}

QBrush backgroundOf(int mark, const QPalette& palette) {
    if (mark & Raised) return tint(palette, QPalette::LinkVisited);
    if (mark & Lowered) return tint(palette, QPalette::Link);
    if (mark & (BelowCost | ProductMissing)) return tint(palette, QPalette::Mid);
    return {};
}

QString toolTipOf(const TProductWorkTable& table, int row, int column) {
    if (row < 0 || row >= table.rowCount()) return {};
    if (column == product::PROD_ID) return review::productMissing(table, row) ? missingText() : QString();
    if (!isPriceColumn(column)) return {};
    const review::PriceCellReview cell = review::reviewPrice(table, row, tierOf(column));
    QStringList lines;
    if (cell.change == review::PriceChange::Raised || cell.change == review::PriceChange::Lowered)
        lines << QString::fromStdString(review::changeText(cell));
    if (cell.belowCost)
        lines << QString::fromUtf8("低於成本：新價 %1，成本 %2").arg(numberText(*cell.newPrice), numberText(*cell.cost));
    if (cell.productMissing) lines << missingText();
    return lines.join(QLatin1Char('\n'));
}

void TPriceMarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const int mark = index.data(kMarkRole).toInt();
    if (mark == None) return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const bool selected = option.state & QStyle::State_Selected;
    const QColor colour = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const int size = std::max(5, std::min(option.rect.height() - 8, 8));
    int right = option.rect.right() - 2;
    const int top = option.rect.center().y() - size / 2;
    if (mark & (Raised | Lowered)) {
        drawArrow(painter, QRect(right - size, top, size, size), mark & Raised, colour);
        right -= size + 2;
    }
    QString signs;
    if (mark & BelowCost) signs += QLatin1Char('!');
    if (mark & ProductMissing) signs += QLatin1Char('?');
    if (!signs.isEmpty()) {
        QFont font = option.font;
        font.setBold(true);
        painter->setFont(font);
        painter->setPen(colour);
        const QRect box(option.rect.left(), option.rect.top(), right - option.rect.left(), option.rect.height());
        painter->drawText(box, Qt::AlignRight | Qt::AlignVCenter, signs);
    }
    painter->restore();
}

}  // namespace marks
