#include "GridCellEditor.h"

#include <QApplication>
#include <QKeyEvent>

#include "WorkTableGrid.h"

namespace grid {

TGridCellEditor::TGridCellEditor(TWorkTableGrid* grid) : QLineEdit(grid->viewport()), grid_(grid) {
    setFrame(false);
    setContextMenuPolicy(Qt::NoContextMenu);  // no paste around the key rules
    setDragEnabled(false);
    setAcceptDrops(false);
    hide();
}

bool TGridCellEditor::isFloatCharacter(QChar c) {
    return (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.' || c == u'e' || c == u'E';
}

std::function<void()>& TGridCellEditor::beep() {
    static std::function<void()> sound = [] { QApplication::beep(); };
    return sound;
}

bool TGridCellEditor::focusNextPrevChild(bool) { return false; }  // Tab belongs to the grid

bool TGridCellEditor::belongsToGrid(const QKeyEvent* event) const {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return true;
        case Qt::Key_Insert:
            return modifiers == Qt::NoModifier;
        case Qt::Key_Delete:
            return modifiers == Qt::ControlModifier;
        case Qt::Key_Left:
            return modifiers == Qt::NoModifier && !hasSelectedText() && cursorPosition() == 0;
        case Qt::Key_Right:
            return modifiers == Qt::NoModifier && !hasSelectedText() && cursorPosition() == text().size();
        case Qt::Key_Home:
        case Qt::Key_End:
            return modifiers == Qt::ControlModifier;
        default:
            return false;
    }
}

bool TGridCellEditor::changesText(const QKeyEvent* event) const {
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) return true;
    if (event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Undo) ||
        event->matches(QKeySequence::Redo) || event->matches(QKeySequence::DeleteStartOfWord) ||
        event->matches(QKeySequence::DeleteEndOfWord) || event->matches(QKeySequence::DeleteEndOfLine) ||
        event->matches(QKeySequence::DeleteCompleteLine))
        return true;
    const QString typed = event->text();
    return !typed.isEmpty() && typed.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

// Read-only: silently no. Float: characters of a number only, else a beep.
// Otherwise the row goes into editing before the text changes.
bool TGridCellEditor::acceptsChange(const QString& typed) {
    if (grid_->currentFieldReadOnly()) return false;
    if (grid_->currentFieldIsFloat()) {
        for (QChar c : typed) {
            if (!isFloatCharacter(c)) {
                beep()();
                return false;
            }
        }
    }
    return grid_->startRowEdit();
}

void TGridCellEditor::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (belongsToGrid(event)) {
        grid_->editorKey(event);
        return;
    }
    if (changesText(event)) {
        const bool typing = !event->text().isEmpty() && event->text().at(0).isPrint();
        if (!acceptsChange(typing ? event->text() : QString())) return;
    }
    QLineEdit::keyPressEvent(event);
    event->accept();  // never let a key fall through to the grid behind
}

void TGridCellEditor::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() && !acceptsChange(event->commitString())) {
        event->accept();
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

}  // namespace grid
