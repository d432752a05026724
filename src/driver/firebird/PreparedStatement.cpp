#include "PreparedStatement.h"

#include "ErrorText.h"

#include <stdexcept>

namespace fbdrv {

namespace {

SqlArea makeArea(short variables) {
    if (variables < 1) variables = 1;
    SqlArea area(static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(variables))));
    area->version = SQLDA_VERSION1;
    area->sqln = variables;
    return area;
}

long readInteger(const char* bytes, int length) {
    long value = 0;
    for (int i = length - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    if (length == 4) value = static_cast<std::int32_t>(value);
    return value;
}

// Dates, times and flags have no value type of their own across the
// boundary: the server hands them over as text ("2026-12-08",
// "08-DEC-2026 14:00:00.0000", "TRUE"), so that a table holding such a column
// can still be read whole.
constexpr short kTextForOtherTypes = 32;

Column describeColumn(XSQLVAR& var) {
    Column column;
    column.name.assign(var.aliasname, static_cast<std::size_t>(var.aliasname_length));
    switch (var.sqltype & ~1) {
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
            column.type = var.sqlscale == 0 ? dl::ColumnType::Integer : dl::ColumnType::Double;
            break;
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            column.type = dl::ColumnType::Double;
            break;
        case SQL_TEXT:
        case SQL_VARYING:
        case SQL_BLOB:  // text or not, its bytes as stored
            column.type = dl::ColumnType::Text;
            break;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
        case SQL_TIMESTAMP:
        case SQL_BOOLEAN:
            var.sqltype = static_cast<short>(SQL_VARYING | (var.sqltype & 1));
            var.sqllen = kTextForOtherTypes;
            var.sqlscale = 0;
            var.sqlsubtype = 0;
            column.type = dl::ColumnType::Text;
            break;
        default:
            column.type = dl::ColumnType::Text;
            column.supported = false;
            break;
    }
    return column;
}

}  // namespace

bool PreparedStatement::prepare(isc_db_handle* db, isc_tr_handle* transaction, unsigned short dialect,
                                ISC_STATUS* status) {
    if (sql_.size() > MaxTextLength) throw std::length_error("statement text longer than 65535 bytes");
    api_.dsql_allocate_statement(status, db, &handle_);
    if (failed(status)) return false;
    api_.dsql_prepare(status, transaction, &handle_, static_cast<unsigned short>(sql_.size()), sql_.data(),
                      dialect, nullptr);
    return !failed(status) && describeStatementType(status) && describe(dialect, status);
}

void PreparedStatement::free() {
    if (!handle_) return;
    ISC_STATUS_ARRAY status;
    api_.dsql_free_statement(status, &handle_, DSQL_drop);
    handle_ = 0;
}

bool PreparedStatement::describeStatementType(ISC_STATUS* status) {
    const char items[] = {isc_info_sql_stmt_type};
    char buffer[16] = {};
    api_.dsql_sql_info(status, &handle_, sizeof items, items, sizeof buffer, buffer);
    if (failed(status)) return false;
    long type = 0;
    if (buffer[0] == isc_info_sql_stmt_type) {
        int length = static_cast<int>(readInteger(buffer + 1, 2));
        type = readInteger(buffer + 3, length);
    }
    returnsRows_ = type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
    readsOnly_ = type == isc_info_sql_stmt_select;
    return true;
}

bool PreparedStatement::describe(unsigned short dialect, ISC_STATUS* status) {
    input_ = makeArea(8);
    api_.dsql_describe_bind(status, &handle_, dialect, input_.get());
    if (failed(status)) return false;
    if (input_->sqld > input_->sqln) {
        input_ = makeArea(input_->sqld);
        api_.dsql_describe_bind(status, &handle_, dialect, input_.get());
        if (failed(status)) return false;
    }
    output_ = makeArea(16);
    if (!returnsRows_) return true;
    api_.dsql_describe(status, &handle_, dialect, output_.get());
    if (failed(status)) return false;
    if (output_->sqld > output_->sqln) {
        output_ = makeArea(output_->sqld);
        api_.dsql_describe(status, &handle_, dialect, output_.get());
        if (failed(status)) return false;
    }
    for (int i = 0; i < output_->sqld; ++i) columns_.push_back(describeColumn(output_->sqlvar[i]));
    allocateOutputBuffers();
    return true;
}

void PreparedStatement::allocateOutputBuffers() {
    std::vector<std::size_t> offsets;
    std::size_t size = 0;
    for (int i = 0; i < output_->sqld; ++i) {
        offsets.push_back(size);
        std::size_t bytes = static_cast<std::size_t>(output_->sqlvar[i].sqllen) + 2;
        size += (bytes + 7) & ~std::size_t{7};
    }
    outputData_.resize(size + 8);
    outputIndicators_.resize(static_cast<std::size_t>(output_->sqld));
    for (int i = 0; i < output_->sqld; ++i) {
        output_->sqlvar[i].sqldata = outputData_.data() + offsets[static_cast<std::size_t>(i)];
        output_->sqlvar[i].sqlind = &outputIndicators_[static_cast<std::size_t>(i)];
    }
}

bool PreparedStatement::rowsAffected(std::int64_t* rows, ISC_STATUS* status) {
    const char items[] = {isc_info_sql_records};
    char buffer[64] = {};
    api_.dsql_sql_info(status, &handle_, sizeof items, items, sizeof buffer, buffer);
    if (failed(status)) return false;
    *rows = 0;
    if (buffer[0] != isc_info_sql_records) return true;
    const char* p = buffer + 3;
    const char* end = buffer + sizeof buffer;
    while (p < end && *p != isc_info_end) {
        char item = *p++;
        int length = static_cast<int>(readInteger(p, 2));
        p += 2;
        long value = readInteger(p, length);
        p += length;
        if (item == isc_info_req_update_count || item == isc_info_req_delete_count ||
            item == isc_info_req_insert_count)
            *rows += value;
    }
    return true;
}

}  // namespace fbdrv
