#include "WorkTableGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPolygon>
#include <QScopedValueRollback>
#include <QScrollBar>

#include "Big5Text.h"
#include "GridCellEditor.h"
#include "PriceMarks.h"
#include "WorkTableModel.h"

namespace grid {

// The narrow column left of the cells: an arrow on the current row, an
// I-beam while it is being edited, a star while it is new.
class TRowIndicator : public QHeaderView {
public:
    explicit TRowIndicator(TWorkTableGrid* grid) : QHeaderView(Qt::Vertical, grid), grid_(grid) {
        setSectionResizeMode(QHeaderView::Fixed);
        setHighlightSections(false);
        setMinimumSectionSize(1);
    }

    QSize sizeHint() const override { return QSize(TWorkTableGrid::kIndicatorWidth, QHeaderView::sizeHint().height()); }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        painter->fillRect(rect, palette().button());
        painter->setPen(palette().mid().color());
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        const TProductWorkTable* table = grid_->dataSet();
        const int current = table && !table->isEmpty() ? table->currentRow() : 0;
        if (table && table->active() && logicalIndex == current) drawMark(painter, rect, table->state());
        painter->restore();
    }

private:
    void drawMark(QPainter* painter, const QRect& rect, TProductWorkTable::State state) const {
        painter->setPen(palette().windowText().color());
        painter->setBrush(palette().windowText());
        const QPoint c = rect.center();
        if (state == TProductWorkTable::State::Edit) {
            painter->drawLine(c.x(), c.y() - 4, c.x(), c.y() + 4);
            painter->drawLine(c.x() - 2, c.y() - 4, c.x() + 2, c.y() - 4);
            painter->drawLine(c.x() - 2, c.y() + 4, c.x() + 2, c.y() + 4);
        } else if (state == TProductWorkTable::State::Insert) {
            painter->drawText(rect, Qt::AlignCenter, QStringLiteral("*"));
        } else {
            const QPolygon arrow({QPoint(c.x() - 2, c.y() - 4), QPoint(c.x() + 2, c.y()), QPoint(c.x() - 2, c.y() + 4)});
            painter->drawPolygon(arrow);
        }
    }

    TWorkTableGrid* grid_;
};

TWorkTableGrid::TWorkTableGrid(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new marks::TPriceMarkDelegate(this));
    indicator_ = new TRowIndicator(this);
    setVerticalHeader(indicator_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(1);
    // A title click moves nothing; the current row is always the table's.
    horizontalHeader()->setSectionsClickable(false);
    verticalHeader()->setSectionsClickable(false);
    editor_ = new TGridCellEditor(this);

    // Sideways by the pixel: a cell scrolled to lines up with the frozen
    // columns' right edge instead of hiding its left part under them.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setUpFrozenView();

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (!layingOut_) operatorSized_[logical] = true;
        {
            const QScopedValueRollback mirroring(mirroring_, true);
            frozen_->setColumnWidth(logical, size);
        }
        placeFrozenView();
        placeEditor();
    });
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this, [this](int logical, int, int to) {
        // A title dropped over the frozen columns while the cells are
        // scrolled sideways would land among the columns scrolled out of
        // sight beneath them: it goes right after the frozen ones, and is
        // brought into sight, as is one that landed half beneath them.
        // (Scrolled to the start, the titles beneath are the frozen ones
        // themselves, and a drop there makes the column one of them.)
        const int under = !mirroring_ && model_ && to >= kFrozenColumns ? underFrozenColumns(logical) : 0;
        if (under >= columnWidth(logical)) {
            const QScopedValueRollback mirroring(mirroring_, true);
            horizontalHeader()->moveSection(to, kFrozenColumns);
        }
        mirrorColumns();
        if (under > 0) scrollTo(model_->index(dataRow(), logical));
        placeEditor();
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const auto inside = [this](QWidget* w) { return w && (w == this || isAncestorOf(w)); };
        if (inside(old) && now && !inside(now) && now->window() == window()) guarded([this] { leavingGrid(); });
    });
    changeEvent(nullptr);
}

void TWorkTableGrid::setUpFrozenView() {
    frozen_ = new QTableView(this);
    frozen_->setObjectName(QStringLiteral("FrozenColumns"));
    frozen_->setItemDelegate(new marks::TPriceMarkDelegate(frozen_));
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->setFrameShape(QFrame::NoFrame);
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    frozen_->setSelectionMode(QAbstractItemView::SingleSelection);
    frozen_->setSelectionBehavior(QAbstractItemView::SelectItems);
    frozen_->setWordWrap(false);
    frozen_->setTabKeyNavigation(false);
    // The grid scrolls it; following the current cell itself would move it
    // sideways under its own edge.
    frozen_->setAutoScroll(false);
    frozen_->verticalHeader()->hide();
    frozen_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    frozen_->verticalHeader()->setMinimumSectionSize(1);
    QHeaderView* titles = frozen_->horizontalHeader();
    titles->setDefaultAlignment(horizontalHeader()->defaultAlignment());
    titles->setSectionsMovable(true);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setHighlightSections(false);
    titles->setMinimumSectionSize(1);
    titles->setSectionsClickable(false);
    viewport()->stackUnder(frozen_);
    frozen_->viewport()->installEventFilter(this);
    frozen_->hide();

    // The grid's rows lead: the frozen view's wheel turns go to the grid,
    // and the frozen view takes the grid's row position again whenever its
    // own range changes (it lays out rows apart from the grid).
    connect(verticalScrollBar(), &QScrollBar::valueChanged, frozen_->verticalScrollBar(), &QScrollBar::setValue);
    connect(frozen_->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            [this] { frozen_->verticalScrollBar()->setValue(verticalScrollBar()->value()); });
    // Its titles act on the grid's columns; the grid's then mirror back.
    connect(titles, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (!mirroring_) horizontalHeader()->resizeSection(logical, size);
    });
    connect(titles, &QHeaderView::sectionMoved, this, [this](int, int from, int to) {
        if (!mirroring_) horizontalHeader()->moveSection(from, to);
    });
}

bool TWorkTableGrid::frozenColumn(int column) const {
    return column >= 0 && horizontalHeader()->visualIndex(column) >= 0 &&
           horizontalHeader()->visualIndex(column) < kFrozenColumns;
}

int TWorkTableGrid::frozenWidth() const {
    int width = 0;
    for (int visual = 0; visual < std::min(kFrozenColumns, horizontalHeader()->count()); ++visual) {
        const int logical = horizontalHeader()->logicalIndex(visual);
        if (!horizontalHeader()->isSectionHidden(logical)) width += horizontalHeader()->sectionSize(logical);
    }
    return width;
}

// The frozen view shows the columns in the grid's order and widths, all
// but the first ones hidden.
void TWorkTableGrid::mirrorColumns() {
    if (!model_) return;
    {
        const QScopedValueRollback mirroring(mirroring_, true);
        const QHeaderView* grid = horizontalHeader();
        QHeaderView* titles = frozen_->horizontalHeader();
        for (int visual = 0; visual < grid->count(); ++visual) {
            const int at = titles->visualIndex(grid->logicalIndex(visual));
            if (at != visual) titles->moveSection(at, visual);
        }
        for (int column = 0; column < grid->count(); ++column) {
            frozen_->setColumnWidth(column, grid->sectionSize(column));
            frozen_->setColumnHidden(column, !frozenColumn(column) || grid->isSectionHidden(column));
        }
    }
    placeFrozenView();
}

// Over the grid's leading edge (the left one, the right one in a
// right-to-left layout), from the top of the titles to the bottom of the
// cells, as wide as the frozen columns (never wider than the cells).
void TWorkTableGrid::placeFrozenView() {
    if (!frozen_) return;
    const QRect cells = viewport()->geometry();
    const int titles = horizontalHeader()->isHidden() ? 0 : horizontalHeader()->height();
    const int width = std::min(frozenWidth(), cells.width());
    frozen_->horizontalHeader()->setFixedHeight(titles);
    frozen_->horizontalHeader()->setVisible(titles > 0);
    frozen_->setGeometry(isRightToLeft() ? cells.right() + 1 - width : cells.x(), cells.y() - titles, width,
                         cells.height() + titles);
    frozen_->verticalScrollBar()->setValue(verticalScrollBar()->value());
}

// How far a column reaches in under the frozen ones, in pixels.
int TWorkTableGrid::underFrozenColumns(int column) const {
    const int at = columnViewportPosition(column);
    return isRightToLeft() ? at + columnWidth(column) - (viewport()->width() - frozenWidth()) : frozenWidth() - at;
}

void TWorkTableGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid() || isColumnHidden(index.column()) || isRowHidden(index.row())) return;
    QScrollBar* sideways = horizontalScrollBar();
    const int across = sideways->value();
    QTableView::scrollTo(index, hint);
    if (frozenColumn(index.column())) {
        // Always in sight: only the rows scroll.
        sideways->setValue(across);
        return;
    }
    // Either way the leading columns lie toward the scroll bar's start.
    const int hidden = underFrozenColumns(index.column());
    if (hidden > 0) sideways->setValue(sideways->value() - hidden);
}

bool TWorkTableGrid::eventFilter(QObject* watched, QEvent* event) {
    if (!frozen_ || watched != frozen_->viewport()) return QTableView::eventFilter(watched, event);
    // The frozen view's cells answer the mouse as the grid's: it never
    // moves the current cell on its own.
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!pressCell(frozen_->indexAt(mouse->position().toPoint()), mouse) && !editorMode())
                setFocus(Qt::MouseFocusReason);
            return true;
        }
        case QEvent::MouseButtonDblClick: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!editorMode() && frozen_->indexAt(mouse->position().toPoint()).isValid())
                guarded([this] { showEditor(); });
            return true;
        }
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            return true;
        case QEvent::Wheel:
            QApplication::sendEvent(viewport(), event);
            return true;
        default:
            return QTableView::eventFilter(watched, event);
    }
}

TWorkTableGrid::~TWorkTableGrid() {
    if (table_) table_->removeObserver(this);
}

void TWorkTableGrid::setDataSet(TProductWorkTable* table) {
    hideEditor();
    if (table_) table_->removeObserver(this);
    frozen_->hide();
    delete model_;
    model_ = nullptr;
    table_ = table;
    if (!table_) return;
    model_ = new TWorkTableModel(*table_, this);
    model_->setPalette(palette());
    setModel(model_);
    frozen_->setModel(model_);
    // One current cell and selection for both views.
    QItemSelectionModel* own = frozen_->selectionModel();
    frozen_->setSelectionModel(selectionModel());
    delete own;
    table_->addObserver(this);
    layoutColumns();
    mirrorColumns();
    frozen_->show();
    syncToTable();
}

// ---- columns ----

void TWorkTableGrid::setColumnReadOnly(int column, bool readOnly) { table_->field(column).setReadOnly(readOnly); }

bool TWorkTableGrid::columnReadOnly(int column) const { return table_->field(column).readOnly(); }

void TWorkTableGrid::setColumnWidth(int column, int width) {
    programWidths_[column] = width;
    operatorSized_.remove(column);
    const QScopedValueRollback layingOut(layingOut_, true);
    QTableView::setColumnWidth(column, width);
}

int TWorkTableGrid::defaultColumnWidth(int column) const {
    // The overhang of a TrueType font is nought, so the rule reduces to the
    // width of "0" times the display width, plus 4; or the title, plus 4.
    const QFontMetrics metrics(font());
    const TField& field = table_->field(column);
    const int byDigits = metrics.horizontalAdvance(QLatin1Char('0')) * field.displayWidth() + 4;
    const int byTitle = metrics.horizontalAdvance(big5::toUnicode(field.displayLabel())) + 4;
    return std::max(byDigits, byTitle);
}

void TWorkTableGrid::layoutColumns() {
    if (!table_ || !model_) return;
    {
        const QScopedValueRollback layingOut(layingOut_, true);
        // The operator's width wins over the program's and the default,
        // until the program ends (or the program sets that column again).
        for (int column = 0; column < model_->columnCount(); ++column) {
            if (operatorSized_.value(column)) continue;
            QTableView::setColumnWidth(column, programWidths_.contains(column) ? programWidths_.value(column)
                                                                              : defaultColumnWidth(column));
        }
    }
    placeEditor();
}

void TWorkTableGrid::changeEvent(QEvent* event) {
    if (event) QTableView::changeEvent(event);
    if (event && event->type() == QEvent::PaletteChange && model_) model_->setPalette(palette());
    if (event && event->type() != QEvent::FontChange) return;
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    if (frozen_) frozen_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setFixedHeight(fontMetrics().height() + 6);
    layoutColumns();
}

// ---- state ----

int TWorkTableGrid::dataRow() const { return table_ && !table_->isEmpty() ? table_->currentRow() : 0; }

int TWorkTableGrid::currentColumn() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() : editableColumn(-1, 1);
}

bool TWorkTableGrid::untouchedNewRow() const {
    return table_->state() == TProductWorkTable::State::Insert && !table_->modified() &&
           !(editorMode() && editor_->isModified());
}

bool TWorkTableGrid::isLastRow() const { return table_->isEmpty() || table_->currentRow() == table_->rowCount() - 1; }

bool TWorkTableGrid::currentFieldReadOnly() const { return table_ && table_->field(currentColumn()).readOnly(); }

bool TWorkTableGrid::currentFieldIsFloat() const { return table_ && table_->field(currentColumn()).dataType() == TFieldType::Float; }

bool TWorkTableGrid::startRowEdit() {
    bool started = false;
    guarded([this, &started] {
        table_->edit();
        started = true;
    });
    return started;
}

void TWorkTableGrid::guarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        if (errorHandler_)
            errorHandler_(error);
        else
            QMessageBox::critical(this, QString(), big5::toUnicode(error.what()));
    }
}

// The table's current row is the grid's. Moves made by the program are
// followed once control returns to the event loop, not at every step of a
// long batch.
void TWorkTableGrid::cursorChanged() { syncLater(); }

void TWorkTableGrid::syncLater() {
    if (syncPending_) return;
    syncPending_ = true;
    QMetaObject::invokeMethod(this, [this] { syncToTable(); }, Qt::QueuedConnection);
}

void TWorkTableGrid::syncToTable() {
    syncPending_ = false;
    if (!table_ || !table_->active() || !model_) return;
    const int row = dataRow();
    const int column = currentColumn();
    const QModelIndex target = model_->index(row, column);
    if (target.isValid() && target != currentIndex())
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    if (editorMode() && !editor_->isModified()) resetEditorText();
    placeEditor();
    if (target.isValid()) scrollTo(target);
    verticalHeader()->viewport()->update();
    viewport()->update();
}

void TWorkTableGrid::fieldsChanged() {
    layoutColumns();
    if (editorMode()) editor_->setReadOnly(currentFieldReadOnly());
    horizontalHeader()->viewport()->update();
}

// Before the row is posted or left, what the editor holds goes into it.
void TWorkTableGrid::updateRecord() { writeEditorText(); }

// ---- the cell editor ----

bool TWorkTableGrid::editorMode() const { return editor_ && editor_->isVisible(); }

QLineEdit* TWorkTableGrid::cellEditor() const { return editorMode() ? editor_ : nullptr; }

void TWorkTableGrid::showEditor() {
    if (!table_ || !table_->active() || editorMode()) return;
    syncToTable();
    editor_->setFont(font());
    resetEditorText();
    editor_->setReadOnly(currentFieldReadOnly());
    moveEditorToCell();
    editor_->show();
    editor_->setFocus(Qt::OtherFocusReason);
}

void TWorkTableGrid::hideEditor() {
    if (!editorMode()) return;
    const bool hadFocus = editor_->hasFocus();
    editor_->hide();
    editor_->setModified(false);
    if (hadFocus) setFocus(Qt::OtherFocusReason);
}

void TWorkTableGrid::placeEditor() {
    if (!editorMode() || !model_) return;
    moveEditorToCell();
}

// Over the current cell, in whichever view shows it: a cell of a frozen
// column is edited on the view laid over the grid.
void TWorkTableGrid::moveEditorToCell() {
    const int column = currentColumn();
    QAbstractItemView* view = frozenColumn(column) ? static_cast<QAbstractItemView*>(frozen_) : this;
    if (editor_->parentWidget() != view->viewport()) {
        const bool shown = editor_->isVisible(), focused = editor_->hasFocus();
        editor_->setParent(view->viewport());
        if (shown) editor_->show();
        if (focused) editor_->setFocus(Qt::OtherFocusReason);
    }
    editor_->setGeometry(view->visualRect(model_->index(dataRow(), column)).adjusted(1, 1, -1, -1));
}

void TWorkTableGrid::resetEditorText() {
    editor_->setText(model_->cellText(dataRow(), currentColumn()));
    editor_->selectAll();
    editor_->setModified(false);
}

void TWorkTableGrid::writeEditorText() {
    if (!editorMode() || !editor_->isModified()) return;
    table_->edit();
    table_->setText(currentColumn(), big5::fromUnicode(editor_->text()));
    editor_->setModified(false);
}

// ---- keys ----

void TWorkTableGrid::editorKey(QKeyEvent* event) { handleKey(event, true); }

void TWorkTableGrid::keyPressEvent(QKeyEvent* event) { handleKey(event, false); }

// Text composed with an input method opens the editor like a typed key.
void TWorkTableGrid::inputMethodEvent(QInputMethodEvent* event) {
    if (!table_ || !table_->active() || event->commitString().isEmpty()) {
        event->ignore();
        return;
    }
    guarded([this] { showEditor(); });
    if (editorMode()) QApplication::sendEvent(editor_, event);
}

bool TWorkTableGrid::focusNextPrevChild(bool) { return false; }  // Tab moves between cells

void TWorkTableGrid::handleKey(QKeyEvent* event, bool fromEditor) {
    if (!table_ || !table_->active()) {
        event->ignore();
        return;
    }
    if (syncPending_) syncToTable();
    const auto modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const bool ctrl = modifiers == Qt::ControlModifier;
    event->accept();
    switch (event->key()) {
        case Qt::Key_Up: return guarded([this] { keyUp(); });
        case Qt::Key_Down: return guarded([this] { keyDown(); });
        case Qt::Key_Tab: return guarded([this, event] { keyTab(!(event->modifiers() & Qt::ShiftModifier)); });
        case Qt::Key_Backtab: return guarded([this] { keyTab(false); });
        case Qt::Key_Return:
        case Qt::Key_Enter: return guarded([this] { keyEnter(); });
        case Qt::Key_Escape: return guarded([this] { keyEscape(); });
        case Qt::Key_F2: return guarded([this] { showEditor(); });
        case Qt::Key_Insert:  // Shift+Insert and Ctrl+Insert are paste and copy
            if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) return guarded([this] { keyInsert(); });
            break;
        case Qt::Key_Delete:
            if (ctrl) return guarded([this] { keyDeleteRecord(); });
            break;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            const int page = std::max(1, viewport()->height() / std::max(1, rowHeight(0)) - 1);
            const int step = event->key() == Qt::Key_PageUp ? -page : page;
            return guarded([this, step] {
                if (!table_->isEmpty()) moveToCell(std::clamp(dataRow() + step, 0, table_->rowCount() - 1), currentColumn());
            });
        }
        case Qt::Key_Home:
        case Qt::Key_End: {
            const bool toEnd = event->key() == Qt::Key_End;
            if (ctrl) return guarded([this, toEnd] { moveToCell(toEnd ? std::max(0, table_->rowCount() - 1) : 0, currentColumn()); });
            const int visual = toEnd ? horizontalHeader()->count() - 1 : 0;
            return guarded([this, visual] { moveToCell(dataRow(), horizontalHeader()->logicalIndex(visual)); });
        }
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const int visual = horizontalHeader()->visualIndex(currentColumn()) + (event->key() == Qt::Key_Left ? -1 : 1);
            if (visual >= 0 && visual < horizontalHeader()->count())
                guarded([this, visual] { moveToCell(dataRow(), horizontalHeader()->logicalIndex(visual)); });
            return;
        }
        default: break;
    }
    const QString typed = event->text();
    const bool opensEditor = event->key() == Qt::Key_Backspace ||
                             (!typed.isEmpty() && typed.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
    if (opensEditor && !fromEditor) {
        guarded([this] { showEditor(); });
        if (editorMode()) QApplication::sendEvent(editor_, event);
        return;
    }
    event->ignore();
}

void TWorkTableGrid::setCurrentCell(int row, int column) {
    const QModelIndex target = model_->index(row, column);
    if (target.isValid()) selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    syncToTable();
}

// Leaving a cell writes the editor's text; leaving the row posts it (or
// drops it when it is new and untouched).
void TWorkTableGrid::moveToCell(int row, int column) {
    writeEditorText();
    hideEditor();
    if (!table_->isEmpty() && row != table_->currentRow())
        table_->moveTo(row);
    setCurrentCell(dataRow(), column);
}

void TWorkTableGrid::appendRow(int column) {
    writeEditorText();
    hideEditor();
    table_->append();
    setCurrentCell(dataRow(), column);
}

void TWorkTableGrid::keyDown() {
    writeEditorText();
    if (untouchedNewRow()) {
        if (isLastRow()) return;  // already the blank row at the end
        hideEditor();
        table_->cancel();
        setCurrentCell(dataRow(), currentColumn());
        return;
    }
    if (isLastRow()) {
        appendRow(currentColumn());
        return;
    }
    moveToCell(dataRow() + 1, currentColumn());
}

void TWorkTableGrid::keyUp() {
    writeEditorText();
    if (untouchedNewRow() && isLastRow()) {
        hideEditor();
        table_->cancel();
        setCurrentCell(dataRow(), currentColumn());
        return;
    }
    if (dataRow() == 0) {
        hideEditor();
        table_->checkBrowseMode();
        setCurrentCell(dataRow(), currentColumn());
        return;
    }
    moveToCell(dataRow() - 1, currentColumn());
}

// The next editable column in visual order from a visual position, or -1.
int TWorkTableGrid::editableColumn(int fromVisual, int step) const {
    if (!table_ || !table_->active()) return 0;
    const QHeaderView* header = horizontalHeader();
    for (int visual = fromVisual + step; visual >= 0 && visual < header->count(); visual += step) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical) && !table_->field(logical).readOnly()) return logical;
    }
    return -1;
}

void TWorkTableGrid::keyTab(bool forward) {
    const int visual = horizontalHeader()->visualIndex(currentColumn());
    const int inRow = editableColumn(visual, forward ? 1 : -1);
    if (inRow >= 0) {
        moveToCell(dataRow(), inRow);
        return;
    }
    const int count = horizontalHeader()->count();
    if (forward) {
        const int first = editableColumn(-1, 1);
        writeEditorText();
        if (!isLastRow())
            moveToCell(dataRow() + 1, first);
        else if (untouchedNewRow())
            moveToCell(dataRow(), first);
        else
            appendRow(first);
    } else if (dataRow() > 0) {
        moveToCell(dataRow() - 1, editableColumn(count, -1));
    }
}

void TWorkTableGrid::keyInsert() {
    writeEditorText();
    hideEditor();
    table_->insert();
    setCurrentCell(dataRow(), currentColumn());
}

void TWorkTableGrid::keyDeleteRecord() {
    if (table_->isEmpty()) return;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), QStringLiteral("Delete record?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Ok);
    if (box.exec() != QMessageBox::Ok) return;
    hideEditor();
    table_->deleteRow();  // a pending new row is simply dropped
    setCurrentCell(dataRow(), currentColumn());
}

void TWorkTableGrid::keyEscape() {
    if (editorMode() && editor_->isModified()) {
        resetEditorText();
        hideEditor();
        return;
    }
    hideEditor();
    table_->cancel();
    setCurrentCell(dataRow(), currentColumn());
}

void TWorkTableGrid::keyEnter() {
    if (editorMode()) {
        writeEditorText();
        hideEditor();
    } else {
        showEditor();
    }
}

// Leaving the grid drops an untouched new row, or keeps what was typed.
void TWorkTableGrid::leavingGrid() {
    if (!table_ || !table_->active()) return;
    if (untouchedNewRow()) {
        hideEditor();
        table_->cancel();
        syncToTable();
    } else {
        writeEditorText();
    }
}

// ---- mouse and geometry ----

void TWorkTableGrid::mousePressEvent(QMouseEvent* event) {
    if (!pressCell(indexAt(event->position().toPoint()), event)) QTableView::mousePressEvent(event);
}

// A left click on a cell: on the current one it opens the editor, on
// another it moves there. False for any other press.
bool TWorkTableGrid::pressCell(const QModelIndex& clicked, QMouseEvent* event) {
    if (!table_ || !clicked.isValid() || event->button() != Qt::LeftButton) return false;
    if (!editorMode()) setFocus(Qt::MouseFocusReason);
    const bool onCurrent = clicked.row() == dataRow() && clicked.column() == currentColumn();
    if (onCurrent)
        guarded([this] { if (!editorMode()) showEditor(); });
    else
        guarded([this, clicked] { moveToCell(clicked.row(), clicked.column()); });
    event->accept();
    return true;
}

void TWorkTableGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!editorMode() && indexAt(event->position().toPoint()).isValid()) guarded([this] { showEditor(); });
    event->accept();
}

void TWorkTableGrid::mouseMoveEvent(QMouseEvent* event) { event->accept(); }  // no drag selection

void TWorkTableGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    placeEditor();
}

void TWorkTableGrid::updateGeometries() {
    QTableView::updateGeometries();
    placeFrozenView();
    placeEditor();
}

}  // namespace grid
