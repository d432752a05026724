#include "DirectClient.h"

#include "ClientApi.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

const char kWriteTpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                          isc_tpb_wait};
const char kReadTpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed, isc_tpb_rec_version};

struct SqlAreaDeleter {
    void operator()(XSQLDA* area) const { std::free(area); }
};
using SqlArea = std::unique_ptr<XSQLDA, SqlAreaDeleter>;

SqlArea makeArea(short columns) {
    if (columns < 1) columns = 1;
    SqlArea area(static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(columns))));
    area->version = SQLDA_VERSION1;
    area->sqln = columns;
    return area;
}

class Transaction {
public:
    Transaction(isc_db_handle* db, const char* tpb, unsigned short tpbLength) {
        ISC_STATUS_ARRAY status;
        isc_start_transaction(status, &handle_, 1, db, tpbLength, tpb);
        checkStatus(status, "start transaction");
    }
    ~Transaction() {
        if (handle_) {
            ISC_STATUS_ARRAY status;
            isc_rollback_transaction(status, &handle_);
        }
    }
    void commit() {
        ISC_STATUS_ARRAY status;
        isc_commit_transaction(status, &handle_);
        checkStatus(status, "commit");
    }
    isc_tr_handle* handle() { return &handle_; }

private:
    isc_tr_handle handle_ = 0;
};

std::int64_t rowsAffected(isc_stmt_handle* statement) {
    const char items[] = {isc_info_sql_records};
    char buffer[64];
    ISC_STATUS_ARRAY status;
    isc_dsql_sql_info(status, statement, sizeof items, items, sizeof buffer, buffer);
    checkStatus(status, "statement information");
    if (buffer[0] != isc_info_sql_records) return 0;
    std::int64_t rows = 0;
    const char* p = buffer + 3;
    while (*p != isc_info_end) {
        char item = *p++;
        short length = static_cast<short>(isc_vax_integer(p, 2));
        p += 2;
        long value = isc_vax_integer(p, length);
        p += length;
        if (item == isc_info_req_update_count || item == isc_info_req_delete_count ||
            item == isc_info_req_insert_count)
            rows += value;
    }
    return rows;
}

double scaled(std::int64_t value, short scale) {
    return scale < 0 ? static_cast<double>(value) / std::pow(10.0, -scale)
                     : static_cast<double>(value) * std::pow(10.0, scale);
}

rt::FieldValue decode(const XSQLVAR& var) {
    if ((var.sqltype & 1) && *var.sqlind < 0) return rt::FieldValue::null();
    switch (var.sqltype & ~1) {
        case SQL_TEXT:
            return rt::FieldValue::text(std::string(var.sqldata, static_cast<std::size_t>(var.sqllen)));
        case SQL_VARYING: {
            unsigned short length;
            std::memcpy(&length, var.sqldata, 2);
            return rt::FieldValue::text(std::string(var.sqldata + 2, length));
        }
        case SQL_SHORT: {
            short v;
            std::memcpy(&v, var.sqldata, sizeof v);
            return var.sqlscale ? rt::FieldValue(scaled(v, var.sqlscale)) : rt::FieldValue(std::int64_t{v});
        }
        case SQL_LONG: {
            ISC_LONG v;
            std::memcpy(&v, var.sqldata, sizeof v);
            return var.sqlscale ? rt::FieldValue(scaled(v, var.sqlscale)) : rt::FieldValue(std::int64_t{v});
        }
        case SQL_INT64: {
            ISC_INT64 v;
            std::memcpy(&v, var.sqldata, sizeof v);
            return var.sqlscale ? rt::FieldValue(scaled(v, var.sqlscale))
                                : rt::FieldValue(static_cast<std::int64_t>(v));
        }
        case SQL_FLOAT: {
            float v;
            std::memcpy(&v, var.sqldata, sizeof v);
            return rt::FieldValue(static_cast<double>(v));
        }
        case SQL_DOUBLE:
        case SQL_D_FLOAT: {
            double v;
            std::memcpy(&v, var.sqldata, sizeof v);
            return rt::FieldValue(v);
        }
        default:
            throw std::runtime_error("select: column type " + std::to_string(var.sqltype & ~1) +
                                     " is not supported");
    }
}

// Output buffers for every column of a described SELECT.
class RowBuffers {
public:
    explicit RowBuffers(XSQLDA* area) : indicators_(static_cast<std::size_t>(area->sqld)) {
        std::size_t size = 0;
        std::vector<std::size_t> offsets;
        for (int i = 0; i < area->sqld; ++i) {
            offsets.push_back(size);
            size += (static_cast<std::size_t>(area->sqlvar[i].sqllen) + 2 + 7) & ~std::size_t{7};
        }
        data_.resize(size + 8);
        for (int i = 0; i < area->sqld; ++i) {
            area->sqlvar[i].sqldata = data_.data() + offsets[i];
            area->sqlvar[i].sqlind = &indicators_[i];
        }
    }

private:
    std::vector<char> data_;
    std::vector<short> indicators_;
};

}  // namespace

struct DirectClient::Attachment {
    isc_db_handle db = 0;
};

struct DirectClient::Statement::State {
    isc_db_handle* db = nullptr;
    isc_stmt_handle statement = 0;
    SqlArea input;
    std::vector<char> values;
    std::vector<short> indicators;
};

DirectClient::DirectClient(const std::string& database, const std::string& user, const std::string& password,
                           const std::string& charset)
    : attachment_(std::make_unique<Attachment>()) {
    prepareEmbeddedAccess();
    std::string dpb(1, isc_dpb_version1);
    auto add = [&dpb](char item, const std::string& value) {
        dpb += item;
        dpb += static_cast<char>(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, user);
    add(isc_dpb_password, password);
    add(isc_dpb_lc_ctype, charset);
    ISC_STATUS_ARRAY status;
    isc_attach_database(status, 0, database.c_str(), &attachment_->db, static_cast<short>(dpb.size()),
                        dpb.data());
    checkStatus(status, "attach " + database);
}

DirectClient::~DirectClient() {
    ISC_STATUS_ARRAY status;
    if (attachment_->db) isc_detach_database(status, &attachment_->db);
}

std::int64_t DirectClient::execute(const std::string& sql) {
    Transaction transaction(&attachment_->db, kWriteTpb, sizeof kWriteTpb);
    isc_stmt_handle statement = 0;
    ISC_STATUS_ARRAY status;
    isc_dsql_allocate_statement(status, &attachment_->db, &statement);
    checkStatus(status, "allocate statement");
    isc_dsql_prepare(status, transaction.handle(), &statement, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    if (status[0] == 1 && status[1]) {
        std::string message = "prepare: " + interpretStatus(status);
        isc_dsql_free_statement(status, &statement, DSQL_drop);
        throw std::runtime_error(message);
    }
    isc_dsql_execute(status, transaction.handle(), &statement, SQL_DIALECT_V6, nullptr);
    std::string failure = status[0] == 1 && status[1] ? "execute: " + interpretStatus(status) : "";
    std::int64_t rows = failure.empty() ? rowsAffected(&statement) : 0;
    isc_dsql_free_statement(status, &statement, DSQL_drop);
    if (!failure.empty()) throw std::runtime_error(failure);
    transaction.commit();
    return rows;
}

std::vector<DirectClient::Row> DirectClient::select(const std::string& sql) {
    Transaction transaction(&attachment_->db, kReadTpb, sizeof kReadTpb);
    isc_stmt_handle statement = 0;
    ISC_STATUS_ARRAY status;
    isc_dsql_allocate_statement(status, &attachment_->db, &statement);
    checkStatus(status, "allocate statement");
    struct Free {
        isc_stmt_handle* statement;
        ~Free() {
            ISC_STATUS_ARRAY status;
            isc_dsql_free_statement(status, statement, DSQL_drop);
        }
    } free{&statement};

    SqlArea output = makeArea(16);
    isc_dsql_prepare(status, transaction.handle(), &statement, 0, sql.c_str(), SQL_DIALECT_V6, output.get());
    checkStatus(status, "prepare");
    if (output->sqld > output->sqln) {
        output = makeArea(output->sqld);
        isc_dsql_describe(status, &statement, SQL_DIALECT_V6, output.get());
        checkStatus(status, "describe");
    }
    RowBuffers buffers(output.get());
    isc_dsql_execute(status, transaction.handle(), &statement, SQL_DIALECT_V6, nullptr);
    checkStatus(status, "execute");

    std::vector<Row> rows;
    ISC_STATUS fetched;
    while ((fetched = isc_dsql_fetch(status, &statement, SQL_DIALECT_V6, output.get())) == 0) {
        Row row;
        row.reserve(static_cast<std::size_t>(output->sqld));
        for (int i = 0; i < output->sqld; ++i) row.push_back(decode(output->sqlvar[i]));
        rows.push_back(std::move(row));
    }
    if (fetched != 100) checkStatus(status, "fetch");
    isc_dsql_free_statement(status, &statement, DSQL_close);
    transaction.commit();
    return rows;
}

DirectClient::Statement DirectClient::prepare(const std::string& sql) {
    auto state = std::make_unique<Statement::State>();
    state->db = &attachment_->db;
    ISC_STATUS_ARRAY status;
    isc_dsql_allocate_statement(status, state->db, &state->statement);
    checkStatus(status, "allocate statement");
    Statement prepared(std::move(state));
    Statement::State& s = *prepared.state_;

    Transaction transaction(s.db, kReadTpb, sizeof kReadTpb);
    isc_dsql_prepare(status, transaction.handle(), &s.statement, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    checkStatus(status, "prepare");
    s.input = makeArea(16);
    isc_dsql_describe_bind(status, &s.statement, SQL_DIALECT_V6, s.input.get());
    checkStatus(status, "describe parameters");
    if (s.input->sqld > s.input->sqln) {
        s.input = makeArea(s.input->sqld);
        isc_dsql_describe_bind(status, &s.statement, SQL_DIALECT_V6, s.input.get());
        checkStatus(status, "describe parameters");
    }
    s.indicators.resize(static_cast<std::size_t>(s.input->sqld));
    transaction.commit();
    return prepared;
}

DirectClient::Statement::Statement(std::unique_ptr<State> state) : state_(std::move(state)) {}
DirectClient::Statement::Statement(Statement&&) noexcept = default;
DirectClient::Statement& DirectClient::Statement::operator=(Statement&&) noexcept = default;

DirectClient::Statement::~Statement() {
    if (state_ && state_->statement) {
        ISC_STATUS_ARRAY status;
        isc_dsql_free_statement(status, &state_->statement, DSQL_drop);
    }
}

std::int64_t DirectClient::Statement::execute(const std::vector<rt::FieldValue>& parameters) {
    bind(parameters);
    State& s = *state_;
    Transaction transaction(s.db, kWriteTpb, sizeof kWriteTpb);
    ISC_STATUS_ARRAY status;
    isc_dsql_execute(status, transaction.handle(), &s.statement, SQL_DIALECT_V6, s.input.get());
    checkStatus(status, "execute");
    std::int64_t rows = rowsAffected(&s.statement);
    transaction.commit();
    return rows;
}

std::int64_t DirectClient::Statement::executeAll(const std::vector<std::vector<rt::FieldValue>>& rows) {
    State& s = *state_;
    Transaction transaction(s.db, kWriteTpb, sizeof kWriteTpb);
    std::int64_t changed = 0;
    for (const auto& parameters : rows) {
        bind(parameters);
        ISC_STATUS_ARRAY status;
        isc_dsql_execute(status, transaction.handle(), &s.statement, SQL_DIALECT_V6, s.input.get());
        checkStatus(status, "execute");
        changed += rowsAffected(&s.statement);
    }
    transaction.commit();
    return changed;
}

void DirectClient::Statement::bind(const std::vector<rt::FieldValue>& parameters) {
    State& s = *state_;
    XSQLDA* input = s.input.get();
    if (static_cast<int>(parameters.size()) != input->sqld)
        throw std::runtime_error("execute: " + std::to_string(input->sqld) + " parameters expected");

    auto slot = [](const rt::FieldValue& value) {
        std::size_t bytes = value.kind() == rt::FieldValue::Kind::Text ? value.textValue().size() : 8;
        return (bytes + 7) & ~std::size_t{7};
    };
    std::size_t size = 8;
    for (const rt::FieldValue& value : parameters) size += slot(value);
    s.values.resize(size);
    std::size_t offset = 0;
    for (int i = 0; i < input->sqld; ++i) {
        XSQLVAR& var = input->sqlvar[i];
        const rt::FieldValue& value = parameters[static_cast<std::size_t>(i)];
        var.sqldata = s.values.data() + offset;
        var.sqlind = &s.indicators[static_cast<std::size_t>(i)];
        *var.sqlind = 0;
        var.sqlscale = 0;
        switch (value.kind()) {
            case rt::FieldValue::Kind::Null:
                var.sqltype = SQL_TEXT + 1;
                var.sqllen = 0;
                *var.sqlind = -1;
                break;
            case rt::FieldValue::Kind::Integer: {
                var.sqltype = SQL_INT64 + 1;
                var.sqllen = 8;
                ISC_INT64 v = value.integerValue();
                std::memcpy(var.sqldata, &v, 8);
                break;
            }
            case rt::FieldValue::Kind::Double: {
                var.sqltype = SQL_DOUBLE + 1;
                var.sqllen = 8;
                double v = value.doubleValue();
                std::memcpy(var.sqldata, &v, 8);
                break;
            }
            case rt::FieldValue::Kind::Text:
                var.sqltype = SQL_TEXT + 1;
                var.sqlsubtype = 0;
                var.sqllen = static_cast<short>(value.textValue().size());
                std::memcpy(var.sqldata, value.textValue().data(), value.textValue().size());
                break;
        }
        offset += slot(value);
    }
}

}  // namespace testsupport
