#include "ReadService.h"

#include <QLocale>

#include "ReadAgain.h"
#include "ResultProvider.h"
#include "ServerQuery.h"
#include "Errors.h"
#include "StatementParameters.h"

namespace db {

namespace {

char localeDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode())
                                                           : '.';
}

}  // namespace

const std::string& TResultField::fieldName() const { return dataSet_->records_.columnName(column_); }

bool TResultField::isNull() const {
    return !dataSet_->hasCurrentRow() || dataSet_->records_.isNull(column_, dataSet_->row_);
}

std::string TResultField::asString() const {
    if (isNull()) return {};
    const RecordStore& records = dataSet_->records_;
    const std::size_t row = dataSet_->row_;
    switch (records.columnType(column_)) {
        case dl::ColumnType::Text: return std::string(records.textAt(column_, row));
        case dl::ColumnType::Integer: return std::to_string(records.integerAt(column_, row));
        case dl::ColumnType::Double: {
            std::string text = rt::formatGeneral(records.doubleAt(column_, row));
            for (char& c : text) {
                if (c == '.') c = dataSet_->decimalSeparator_;
            }
            return text;
        }
    }
    return {};
}

rt::FieldValue TResultField::value() const {
    if (!dataSet_->hasCurrentRow()) return rt::FieldValue::null();
    return dataSet_->records_.valueAt(column_, dataSet_->row_);
}

TReadService::TReadService(TResultProvider& provider, std::string name)
    : provider_(provider), name_(std::move(name)), decimalSeparator_(localeDecimalSeparator()) {}

void TReadService::open() {
    if (active_) return;
    readAgainIfConnectionLost(provider_.dataSet().connection(),
                              [this] { records_ = provider_.getRecords(commandText_); });
    active_ = true;
    first();
}

void TReadService::close() {
    records_ = RecordStore();
    active_ = false;
    row_ = 0;
    eof_ = bof_ = true;
}

void TReadService::first() {
    row_ = 0;
    bof_ = true;
    eof_ = records_.rowCount() == 0;
}

void TReadService::next() {
    if (row_ + 1 < records_.rowCount()) {
        ++row_;
        bof_ = false;
    } else {
        eof_ = true;
    }
}

TResultField TReadService::fields(std::size_t index) const {
    if (index >= records_.columnCount()) {
        throw rt::DatabaseError(
            rt::formatMessage("List index out of bounds (%s)", std::to_string(index)));
    }
    return TResultField(*this, index);
}

TResultField TReadService::fieldByName(std::string_view name) const {
    const std::size_t column = records_.findColumn(name);
    if (column == RecordStore::npos) {
        throw rt::DatabaseError::forComponent(name_, rt::formatMessage("Field '%s' not found", name));
    }
    return TResultField(*this, column);
}

rt::FieldValue TReadService::attribute(std::string_view name) const {
    if (active_ && sameName(name, "LCID")) return rt::FieldValue(records_.localeCode());
    return rt::FieldValue::null();
}

}  // namespace db
