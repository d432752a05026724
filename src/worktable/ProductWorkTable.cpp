#include "ProductWorkTable.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "Big5Text.h"
#include "Errors.h"
#include "TextRules.h"

namespace {

bool isStringField(int field) { return field == product::PROD_ID || field == product::PROD_NAME; }

TProductRecord blankRecord() {
    TProductRecord record{};
    record.nullMask = TProductRecord::kAllNull;
    return record;
}

// Grows in steps of an eighth rather than doubling, so a large batch does
// not carry almost as much spare room as rows.
void makeRoomForOne(std::vector<TProductRecord>& rows) {
    if (rows.size() < rows.capacity()) return;
    rows.reserve(rows.capacity() + rows.capacity() / 8 + 64);
}

}  // namespace

rt::FieldValue toFloatValue(const rt::FieldValue& value) {
    if (value.isNull() || value.kind() == rt::FieldValue::Kind::Double) return value;
    return rt::FieldValue(value.toDouble());
}

void TField::setDisplayLabel(std::string big5Label) {
    label_ = std::move(big5Label);
    table_->notifyFieldsChanged();
}

void TField::setReadOnly(bool readOnly) {
    if (readOnly_ == readOnly) return;
    readOnly_ = readOnly;
    table_->notifyFieldsChanged();
}

TProductWorkTable::TProductWorkTable(std::string componentName) : name_(std::move(componentName)), buffer_(blankRecord()) {}

void TProductWorkTable::addFieldDef(const TFieldDef& def) { fieldDefs_.push_back(def); }

void TProductWorkTable::addIndexDef(std::string name, std::string fields) {
    indexDefs_.push_back(TIndexDef{std::move(name), std::move(fields), 0});
}

void TProductWorkTable::createDataSet() {
    const auto& layout = product::fieldDefs();
    const bool matches = fieldDefs_.size() == layout.size() &&
                         std::equal(layout.begin(), layout.end(), fieldDefs_.begin(), [](const TFieldDef& a, const TFieldDef& b) {
                             return a.name == b.name && a.dataType == b.dataType && a.size == b.size;
                         });
    if (!matches) throw rt::DatabaseError::forComponent(name_, "Field definitions do not match the product layout");
    fields_.clear();
    for (int i = 0; i < static_cast<int>(fieldDefs_.size()); ++i) fields_.push_back(TField(this, fieldDefs_[i], i));
    rows_.clear();
    state_ = State::Browse;
    modified_ = false;
    current_ = -1;
    eof_ = bof_ = true;
    notifyFieldsChanged();
    notifyCursor();
}

TField& TProductWorkTable::field(int index) { return fields_.at(static_cast<std::size_t>(index)); }
const TField& TProductWorkTable::field(int index) const { return fields_.at(static_cast<std::size_t>(index)); }

int TProductWorkTable::fieldIndex(std::string_view name) const {
    for (const auto& f : fields_)
        if (rt::text::equalsIgnoreCase(f.fieldName(), name)) return f.index();
    return -1;
}

TField& TProductWorkTable::fieldByName(std::string_view name) {
    const int index = fieldIndex(name);
    if (index < 0) throw rt::DatabaseError::forComponent(name_, rt::formatMessage("Field '%s' not found", name));
    return field(index);
}

void TProductWorkTable::requireActive() const {
    if (state_ == State::Inactive) throw rt::DatabaseError::forComponent(name_, "Cannot perform this operation on a closed dataset");
}

void TProductWorkTable::requireEditing() const {
    if (state_ != State::Edit && state_ != State::Insert)
        throw rt::DatabaseError::forComponent(name_, "Dataset not in edit or insert mode");
}

void TProductWorkTable::requireWritable(int field) const {
    if (this->field(field).readOnly())
        throw rt::DatabaseError(rt::formatMessage("Field '%s' cannot be modified", this->field(field).displayLabel()));
}

// ---- cursor ----

void TProductWorkTable::first() {
    requireActive();
    checkBrowseMode();
    current_ = rows_.empty() ? -1 : 0;
    eof_ = rows_.empty();
    bof_ = true;
    notifyCursor();
}

void TProductWorkTable::last() {
    requireActive();
    checkBrowseMode();
    current_ = rowCount() - 1;
    eof_ = true;
    bof_ = rows_.empty();
    notifyCursor();
}

void TProductWorkTable::next() {
    requireActive();
    checkBrowseMode();
    if (current_ + 1 < rowCount()) {
        ++current_;
        eof_ = bof_ = false;
    } else {
        eof_ = true;
    }
    notifyCursor();
}

void TProductWorkTable::prior() {
    requireActive();
    checkBrowseMode();
    if (current_ > 0) {
        --current_;
        eof_ = bof_ = false;
    } else {
        bof_ = true;
    }
    notifyCursor();
}

void TProductWorkTable::moveTo(int row) {
    requireActive();
    const int before = rowCount();
    const int from = current_;
    checkBrowseMode();
    // Leaving an unchanged new row removes it; rows after it move up.
    if (rowCount() < before && row > from) --row;
    if (rows_.empty()) return;
    current_ = std::clamp(row, 0, rowCount() - 1);
    eof_ = bof_ = false;
    notifyCursor();
}

// ---- editing ----

void TProductWorkTable::startInsert(int at) {
    makeRoomForOne(rows_);
    notify([at](TWorkTableObserver* o) { o->rowAboutToBeInserted(at); });
    rows_.insert(rows_.begin() + at, blankRecord());
    current_ = at;
    buffer_ = blankRecord();
    state_ = State::Insert;
    modified_ = false;
    eof_ = bof_ = false;
    notify([at](TWorkTableObserver* o) { o->rowInserted(at); });
    notifyCursor();
}

void TProductWorkTable::append() {
    requireActive();
    checkBrowseMode();
    startInsert(rowCount());
}

void TProductWorkTable::insert() {
    requireActive();
    checkBrowseMode();
    startInsert(std::max(current_, 0));
}

void TProductWorkTable::edit() {
    requireActive();
    if (state_ == State::Edit || state_ == State::Insert) return;
    if (rows_.empty()) {
        insert();
        return;
    }
    buffer_ = rows_[static_cast<std::size_t>(current_)];
    state_ = State::Edit;
    modified_ = false;
    notifyCursor();
}

void TProductWorkTable::post() {
    requireActive();
    notifyUpdateRecord();
    if (state_ != State::Edit && state_ != State::Insert) return;
    rows_[static_cast<std::size_t>(current_)] = buffer_;
    state_ = State::Browse;
    modified_ = false;
    notifyRecord(current_);
    notifyCursor();
}

void TProductWorkTable::leaveInsert() {
    const int at = current_;
    notify([at](TWorkTableObserver* o) { o->rowAboutToBeRemoved(at); });
    rows_.erase(rows_.begin() + at);
    state_ = State::Browse;
    modified_ = false;
    current_ = std::min(at, rowCount() - 1);
    eof_ = bof_ = rows_.empty();
    notify([at](TWorkTableObserver* o) { o->rowRemoved(at); });
}

void TProductWorkTable::cancel() {
    requireActive();
    if (state_ == State::Insert) {
        leaveInsert();
    } else if (state_ == State::Edit) {
        state_ = State::Browse;
        modified_ = false;
        notifyRecord(current_);
    } else {
        return;
    }
    notifyCursor();
}

void TProductWorkTable::deleteRow() {
    requireActive();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (rows_.empty()) throw rt::DatabaseError::forComponent(name_, "Cannot perform this operation on an empty dataset");
    state_ = State::Browse;
    modified_ = false;
    leaveInsert();  // the same removal of the current row
    notifyCursor();
}

void TProductWorkTable::checkBrowseMode() {
    requireActive();
    if (state_ != State::Edit && state_ != State::Insert) return;
    notifyUpdateRecord();
    if (modified_)
        post();
    else
        cancel();
}

// ---- fields ----

const TProductRecord& TProductWorkTable::record(int row) const {
    if ((state_ == State::Edit || state_ == State::Insert) && row == current_) return buffer_;
    return rows_.at(static_cast<std::size_t>(row));
}

rt::FieldValue TProductWorkTable::valueAt(int row, int field) const {
    const TProductRecord& r = record(row);
    if (field < 0 || field >= product::kFieldCount) throw rt::DatabaseError::forComponent(name_, "Field index out of range");
    if (r.isNull(field)) return rt::FieldValue::null();
    if (isStringField(field)) return rt::FieldValue::text(std::string(r.text(field)));
    return rt::FieldValue(r.number(field));
}

rt::FieldValue TProductWorkTable::value(int field) const {
    requireActive();
    if (current_ < 0) {
        this->field(field);  // a wrong position still reports as such
        return rt::FieldValue::null();
    }
    return valueAt(current_, field);
}

rt::FieldValue TProductWorkTable::value(std::string_view fieldName) const {
    const int index = fieldIndex(fieldName);
    if (index < 0) throw rt::DatabaseError::forComponent(name_, rt::formatMessage("Field '%s' not found", fieldName));
    return value(index);
}

std::string TProductWorkTable::text(int field) const { return value(field).toString(); }

std::string TProductWorkTable::text(std::string_view fieldName) const { return value(fieldName).toString(); }

std::string_view TProductWorkTable::textView(int field) const {
    requireActive();
    if (!isStringField(field)) throw rt::DatabaseError::forComponent(name_, "Field is no text field");
    if (current_ < 0) return {};
    const TProductRecord& r = record(current_);
    return r.isNull(field) ? std::string_view() : r.text(field);
}

TProductRecord* TProductWorkTable::editedRecord() { return &buffer_; }

void TProductWorkTable::setValue(int field, const rt::FieldValue& value) {
    requireActive();
    this->field(field);  // position check
    requireWritable(field);
    requireEditing();
    TProductRecord& r = *editedRecord();
    if (isStringField(field)) {
        const std::string whole = value.toString();
        const std::string_view kept = big5::cut(whole, static_cast<std::size_t>(this->field(field).size()));
        char* target = field == product::PROD_ID ? r.id : r.name;
        std::memcpy(target, kept.data(), kept.size());
        (field == product::PROD_ID ? r.idLength : r.nameLength) = static_cast<std::uint8_t>(kept.size());
        r.setNull(field, kept.empty());
    } else {
        const rt::FieldValue number = toFloatValue(value);
        r.setNull(field, number.isNull());
        r.floats[field - 2] = number.isNull() ? 0.0 : number.doubleValue();
    }
    modified_ = true;
    notifyRecord(current_);
}

void TProductWorkTable::setValue(std::string_view fieldName, const rt::FieldValue& value) {
    setValue(fieldByName(fieldName).index(), value);
}

void TProductWorkTable::setLoadedPrices(const product::LoadedPrices& prices) {
    requireActive();
    requireEditing();
    requireLoadedPricesRoom(1);
    loadedPrices_.push_back(prices);
    buffer_.loadedPricesIndex = static_cast<std::uint32_t>(loadedPrices_.size());
}

std::size_t TProductWorkTable::keepLoadedPrices(std::vector<product::LoadedPrices> records) {
    requireActive();
    requireLoadedPricesRoom(records.size());
    const std::size_t first = loadedPrices_.size();
    if (loadedPrices_.empty())
        loadedPrices_ = std::move(records);
    else
        loadedPrices_.insert(loadedPrices_.end(), records.begin(), records.end());
    return first;
}

void TProductWorkTable::setLoadedPricesRecord(std::size_t record) {
    requireActive();
    requireEditing();
    if (record >= loadedPrices_.size())
        throw rt::DatabaseError::forComponent(name_, "No loaded-price record " + std::to_string(record));
    buffer_.loadedPricesIndex = static_cast<std::uint32_t>(record + 1);
}

// Rows find their record by a 32-bit number counted from 1.
void TProductWorkTable::requireLoadedPricesRoom(std::size_t more) const {
    if (more >= std::numeric_limits<std::uint32_t>::max() - loadedPrices_.size())
        throw rt::DatabaseError::forComponent(name_, "Too many loaded-price records for one table");
}

const product::LoadedPrices* TProductWorkTable::loadedPricesAt(int row) const {
    const std::uint32_t index = record(row).loadedPricesIndex;
    return index == 0 ? nullptr : &loadedPrices_[index - 1];
}

void TProductWorkTable::setText(int field, std::string_view big5Text) {
    if (isStringField(field) || big5Text.empty()) {
        setValue(field, big5Text.empty() ? rt::FieldValue::null() : rt::FieldValue::text(std::string(big5Text)));
        return;
    }
    const auto number = rt::parseDecimal(big5Text);
    if (!number) throw rt::ConversionError(rt::formatMessage("'%s' is not a valid floating point value", big5Text));
    setValue(field, rt::FieldValue(*number));
}

// ---- observers ----

void TProductWorkTable::addObserver(TWorkTableObserver* observer) { observers_.push_back(observer); }

void TProductWorkTable::removeObserver(TWorkTableObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

template <class F>
void TProductWorkTable::notify(F&& call) {
    if (controlsDisabled()) return;
    for (auto* observer : observers_) call(observer);
}

void TProductWorkTable::disableControls() { ++disableCount_; }

void TProductWorkTable::enableControls() {
    if (disableCount_ == 0 || --disableCount_ > 0) return;
    notify([](TWorkTableObserver* o) { o->dataSetChanged(); });
    notifyCursor();
}

void TProductWorkTable::reserve(int extraRows) {
    if (extraRows > 0) rows_.reserve(rows_.size() + static_cast<std::size_t>(extraRows));
}

void TProductWorkTable::notifyFieldsChanged() {
    notify([](TWorkTableObserver* o) { o->fieldsChanged(); });
}

void TProductWorkTable::notifyCursor() {
    notify([](TWorkTableObserver* o) { o->cursorChanged(); });
}

void TProductWorkTable::notifyRecord(int row) {
    notify([row](TWorkTableObserver* o) { o->recordChanged(row); });
}

// Asked even while controls are disabled: what the operator typed must not
// be lost.
void TProductWorkTable::notifyUpdateRecord() {
    for (auto* observer : observers_) observer->updateRecord();
}

namespace product {

void defineProductTable(TProductWorkTable& table) {
    for (const TFieldDef& def : fieldDefs()) table.addFieldDef(def);
    table.addIndexDef("ID_Index", "PROD_ID");
    table.createDataSet();
    const auto& titles = columnTitlesUtf8();
    for (int i = 0; i < kFieldCount; ++i)
        table.field(i).setDisplayLabel(big5::fromUtf8(titles[static_cast<std::size_t>(i)]));
}

}  // namespace product
