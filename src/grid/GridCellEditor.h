// The grid's cell editor. It decides which keystrokes may change the cell:
// none in a read-only column (dropped silently), only number characters in a
// float column (others dropped with a beep). The first keystroke it accepts
// puts the row into editing. Keys that move or end the edit go to the grid.
#pragma once

#include <QLineEdit>
#include <functional>

namespace grid {

class TWorkTableGrid;

class TGridCellEditor : public QLineEdit {
    Q_OBJECT
public:
    explicit TGridCellEditor(TWorkTableGrid* grid);

    // Whether a character can stand in a float field's text.
    static bool isFloatCharacter(QChar c);

    // The system beep for a refused character; replaceable so that a test
    // can hear it.
    static std::function<void()>& beep();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    bool belongsToGrid(const QKeyEvent* event) const;
    bool changesText(const QKeyEvent* event) const;
    bool acceptsChange(const QString& typed);

    TWorkTableGrid* grid_;
};

}  // namespace grid
