// DBGrid1: the data grid over the product work table. It builds one column
// per field, keeps the table's current row as its own, and edits in place
// with the key rules the operator is used to: the first accepted keystroke
// puts the row into editing, leaving a cell writes the editor's text,
// moving to another row posts it.
//
// Its first two columns in visual order (the product's number and name as
// the window lays them out) stay in sight while the cells scroll sideways,
// the way a spreadsheet freezes its first columns: a second view over the
// same model and selection lies over the grid's left edge and draws them
// again. It takes no focus and no keys; a click on it is the grid's, and
// its titles drag and resize the grid's own columns, whose order and widths
// it mirrors. A column dragged to the front becomes one of the two.
#pragma once

#include <QHash>
#include <QTableView>
#include <exception>
#include <functional>

#include "ProductWorkTable.h"

namespace grid {

class TGridCellEditor;
class TRowIndicator;
class TWorkTableModel;

class TWorkTableGrid : public QTableView, private TWorkTableObserver {
    Q_OBJECT
public:
    static constexpr int kIndicatorWidth = 11;
    static constexpr int kFrozenColumns = 2;

    explicit TWorkTableGrid(QWidget* parent = nullptr);
    ~TWorkTableGrid() override;

    // DataSource2: the table the grid shows and edits.
    void setDataSet(TProductWorkTable* table);
    TProductWorkTable* dataSet() const { return table_; }
    TWorkTableModel* workTableModel() const { return model_; }

    // Column switches act on the bound field, as the columns are built from
    // the open table.
    void setColumnReadOnly(int column, bool readOnly);
    bool columnReadOnly(int column) const;
    // A width set by the program stays through every later re-layout, until
    // the operator drags that column to a width of their own, which then
    // stays.
    void setColumnWidth(int column, int width);
    int defaultColumnWidth(int column) const;
    void layoutColumns();

    // The open cell editor, or null.
    bool editorMode() const;
    QLineEdit* cellEditor() const;
    int currentColumn() const;

    // Whether a column is one of those drawn by the view over the left edge.
    bool frozenColumn(int column) const;

    // Scrolling to a cell keeps it out from under the frozen columns.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

    // Errors raised while editing end the keystroke that met them and are
    // shown here; the window routes them to its error display.
    void setErrorHandler(std::function<void(const std::exception&)> handler) { errorHandler_ = std::move(handler); }

    // Used by the cell editor.
    bool currentFieldReadOnly() const;
    bool currentFieldIsFloat() const;
    bool startRowEdit();
    void editorKey(QKeyEvent* event);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // TWorkTableObserver
    void cursorChanged() override;
    void fieldsChanged() override;
    void updateRecord() override;

    void handleKey(QKeyEvent* event, bool fromEditor);
    void guarded(const std::function<void()>& action);
    void syncLater();
    void syncToTable();
    int dataRow() const;
    bool untouchedNewRow() const;
    bool isLastRow() const;

    bool pressCell(const QModelIndex& clicked, QMouseEvent* event);
    void setUpFrozenView();
    void mirrorColumns();
    void placeFrozenView();
    int frozenWidth() const;
    int underFrozenColumns(int column) const;

    void showEditor();
    void hideEditor();
    void placeEditor();
    void moveEditorToCell();
    void writeEditorText();
    void resetEditorText();

    void setCurrentCell(int row, int column);
    void moveToCell(int row, int column);
    void keyDown();
    void keyUp();
    void keyTab(bool forward);
    void keyInsert();
    void keyDeleteRecord();
    void keyEscape();
    void keyEnter();
    void appendRow(int column);
    int editableColumn(int fromVisual, int step) const;
    void leavingGrid();

    TProductWorkTable* table_ = nullptr;
    TWorkTableModel* model_ = nullptr;
    TGridCellEditor* editor_ = nullptr;
    TRowIndicator* indicator_ = nullptr;
    QTableView* frozen_ = nullptr;
    std::function<void(const std::exception&)> errorHandler_;
    QHash<int, int> programWidths_;
    QHash<int, bool> operatorSized_;
    bool layingOut_ = false;
    bool mirroring_ = false;  // the frozen view is being made to match
    bool syncPending_ = false;
};

}  // namespace grid
