// The read service: a query's whole result held in memory, walked row by row,
// its fields read by position or by name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "FieldValue.h"
#include "RecordStore.h"

namespace db {

class TReadService;
class TResultProvider;

// A field of the current row. Cheap to copy; reads whatever row is current
// when it is asked, like a field object of the dataset.
class TResultField {
public:
    TResultField(const TReadService& dataSet, std::size_t column) : dataSet_(&dataSet), column_(column) {}

    const std::string& fieldName() const;
    std::size_t index() const { return column_; }
    bool isNull() const;
    // Null reads as empty text; numbers in general format with up to 15
    // significant digits and the decimal separator of the user's locale.
    std::string asString() const;
    // Null stays null; text is Big5 bytes.
    rt::FieldValue value() const;

private:
    const TReadService* dataSet_;
    std::size_t column_;
};

class TReadService {
public:
    explicit TReadService(TResultProvider& provider, std::string name = "ClientDataSet1");

    const std::string& name() const { return name_; }

    void setCommandText(std::string text) { commandText_ = std::move(text); }
    const std::string& commandText() const { return commandText_; }

    // Fetches every row of the command text through the provider and makes
    // the first row current; asked once more after a lost connection
    // (ReadAgain.h). Opening an open dataset does nothing.
    void open();
    // Drops the held result.
    void close();
    bool active() const { return active_; }

    std::size_t recordCount() const { return records_.rowCount(); }
    void first();
    // Past the last row eof() turns true and the last row stays current.
    void next();
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    // The current row's index, from 0.
    std::size_t recNo() const { return row_; }

    std::size_t fieldCount() const { return records_.columnCount(); }
    // Position in the select list, from 0.
    TResultField fields(std::size_t index) const;
    // Raises "ClientDataSet1: Field '%s' not found".
    TResultField fieldByName(std::string_view name) const;
    bool hasField(std::string_view name) const { return records_.findColumn(name) != RecordStore::npos; }

    // Attributes of the fetched data; "LCID" is the connection's LocaleCode.
    // Unknown names read as null.
    rt::FieldValue attribute(std::string_view name) const;

    // The decimal separator numbers are written with in asString().
    char decimalSeparator() const { return decimalSeparator_; }
    void setDecimalSeparator(char separator) { decimalSeparator_ = separator; }

    const RecordStore& records() const { return records_; }

private:
    friend class TResultField;
    bool hasCurrentRow() const { return row_ < records_.rowCount(); }

    TResultProvider& provider_;
    std::string name_;
    std::string commandText_;
    RecordStore records_;
    bool active_ = false;
    std::size_t row_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    char decimalSeparator_;
};

}  // namespace db
