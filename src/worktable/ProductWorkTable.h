// The product work table CDS_PRODUCT: an in-memory table of fifteen fields
// with a current row, browse / edit / insert states and bound controls that
// follow it (the grid).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "FieldValue.h"
#include "ProductRecord.h"
#include "ProductSchema.h"
#include "TierPrices.h"

class TProductWorkTable;

// A field of the open table: its definition, display label and read-only
// flag.
class TField {
public:
    const std::string& fieldName() const { return def_.name; }
    TFieldType dataType() const { return def_.dataType; }
    int size() const { return def_.size; }
    int index() const { return index_; }
    // The label, or the field name while none is set (Big5).
    const std::string& displayLabel() const { return label_.empty() ? def_.name : label_; }
    void setDisplayLabel(std::string big5Label);
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    // Characters shown for the default column width: the size of a string,
    // 10 for a float.
    int displayWidth() const { return def_.dataType == TFieldType::String ? def_.size : 10; }

private:
    friend class TProductWorkTable;
    TField(TProductWorkTable* table, TFieldDef def, int index) : table_(table), def_(std::move(def)), index_(index) {}
    TProductWorkTable* table_;
    TFieldDef def_;
    int index_;
    std::string label_;
    bool readOnly_ = false;
};

// What a bound control hears from the table.
class TWorkTableObserver {
public:
    virtual ~TWorkTableObserver() = default;
    virtual void rowAboutToBeInserted(int /*row*/) {}
    virtual void rowInserted(int /*row*/) {}
    virtual void rowAboutToBeRemoved(int /*row*/) {}
    virtual void rowRemoved(int /*row*/) {}
    // Field values of a row (stored or being edited) changed.
    virtual void recordChanged(int /*row*/) {}
    // Current row or state changed.
    virtual void cursorChanged() {}
    // Labels or read-only flags changed.
    virtual void fieldsChanged() {}
    // Before the row is posted or left: write what the control holds.
    virtual void updateRecord() {}
    // Controls were disabled while the table changed; anything may differ.
    virtual void dataSetChanged() {}
};

class TProductWorkTable {
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit TProductWorkTable(std::string componentName = "CDS_PRODUCT");
    TProductWorkTable(const TProductWorkTable&) = delete;
    TProductWorkTable& operator=(const TProductWorkTable&) = delete;

    const std::string& name() const { return name_; }

    // Definition, then creation: the table holds product rows, so the
    // definitions must be the product layout.
    void addFieldDef(const TFieldDef& def);
    void addIndexDef(std::string name, std::string fields);
    const std::vector<TFieldDef>& fieldDefs() const { return fieldDefs_; }
    const std::vector<TIndexDef>& indexDefs() const { return indexDefs_; }
    void createDataSet();  // open and empty
    bool active() const { return state_ != State::Inactive; }

    int fieldCount() const { return static_cast<int>(fields_.size()); }
    TField& field(int index);
    const TField& field(int index) const;
    // Case-insensitive, first match; raises "CDS_PRODUCT: Field '%s' not found".
    TField& fieldByName(std::string_view name);
    int fieldIndex(std::string_view name) const;  // -1 when missing

    // Cursor.
    State state() const { return state_; }
    bool modified() const { return modified_; }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    bool isEmpty() const { return rows_.empty(); }
    int currentRow() const { return current_; }  // -1 when empty
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row);

    // Editing.
    void append();
    void insert();  // before the current row
    void edit();    // on an empty table: insert
    void post();
    void cancel();
    void deleteRow();
    // Posts a changed row, cancels an unchanged one; what every move does first.
    void checkBrowseMode();

    // Fields of the current row (the edit buffer while editing).
    rt::FieldValue value(int field) const;
    rt::FieldValue value(std::string_view fieldName) const;
    std::string text(int field) const;  // null reads as empty text
    std::string text(std::string_view fieldName) const;
    // A text field of the current row as it holds it, without a copy; null
    // reads as empty. Valid until the row or its edit buffer changes.
    std::string_view textView(int field) const;
    void setValue(int field, const rt::FieldValue& value);
    void setValue(std::string_view fieldName, const rt::FieldValue& value);
    // Any row as it stands, for display.
    rt::FieldValue valueAt(int row, int field) const;
    // Text as a control writes it: cut for strings, a decimal number or
    // empty (null) for floats.
    void setText(int field, std::string_view big5Text);

    // The prices PRODUCT held when the row being inserted or edited was
    // loaded; they go with it when it is posted.
    void setLoadedPrices(const product::LoadedPrices& prices);
    // Loaded-price records for rows about to be loaded, taken over whole
    // (into an empty table without a copy); each row then goes with one of
    // them through setLoadedPricesRecord, and several rows may share one.
    // Gives the number the first record goes by.
    std::size_t keepLoadedPrices(std::vector<product::LoadedPrices> records);
    // The row being inserted or edited goes with kept record `record`.
    void setLoadedPricesRecord(std::size_t record);
    // What PRODUCT held for any row's product when the row was loaded, as
    // the row stands; null for a row typed by hand.
    const product::LoadedPrices* loadedPricesAt(int row) const;

    // While disabled (calls nest), bound controls hear nothing but the
    // request to write what they hold; enabling tells them once that
    // everything may have changed. For loading many rows at once.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return disableCount_ > 0; }
    // Room for this many more rows, so a large load does not move the table
    // again and again.
    void reserve(int extraRows);

    void addObserver(TWorkTableObserver* observer);
    void removeObserver(TWorkTableObserver* observer);

private:
    friend class TField;
    void requireActive() const;
    void requireEditing() const;
    void requireWritable(int field) const;
    void requireLoadedPricesRoom(std::size_t more) const;
    void startInsert(int at);
    void leaveInsert();
    const TProductRecord& record(int row) const;
    TProductRecord* editedRecord();
    void notifyFieldsChanged();
    void notifyCursor();
    void notifyRecord(int row);
    void notifyUpdateRecord();
    template <class F>
    void notify(F&& call);

    std::string name_;
    std::vector<TFieldDef> fieldDefs_;
    std::vector<TIndexDef> indexDefs_;
    std::vector<TField> fields_;
    std::vector<TProductRecord> rows_;
    std::vector<product::LoadedPrices> loadedPrices_;
    TProductRecord buffer_;
    State state_ = State::Inactive;
    bool modified_ = false;
    int current_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    std::vector<TWorkTableObserver*> observers_;
    int disableCount_ = 0;
};

// Whole-number and double values both read as doubles; a text field that is
// no number raises the conversion error.
rt::FieldValue toFloatValue(const rt::FieldValue& value);

namespace product {

// Defines and creates the product table as the window shows it: the fifteen
// fields in column order, the index on PROD_ID, and the column titles as
// Big5 display labels.
void defineProductTable(TProductWorkTable& table);

}  // namespace product
