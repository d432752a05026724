// A statement prepared on the server, with its described parameter and
// result areas. Prepared once per text and kept by the connection for reuse.
#pragma once

#include "ClientLibrary.h"

#include <DriverInterface.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace fbdrv {

struct SqlAreaDeleter {
    void operator()(XSQLDA* area) const { std::free(area); }
};
using SqlArea = std::unique_ptr<XSQLDA, SqlAreaDeleter>;

struct Column {
    std::string name;
    dl::ColumnType type;
    bool supported = true;
};

class PreparedStatement {
public:
    // isc_dsql_prepare takes the text's length as unsigned short; a longer
    // text would be cut and a shorter statement would run.
    static constexpr std::size_t MaxTextLength = 65535;

    PreparedStatement(const ClientApi& api, std::string sql) : api_(api), sql_(std::move(sql)) {}
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;
    // The handle dies with its attachment; free() gives it back while attached.
    ~PreparedStatement() = default;

    // Prepares inside the given transaction and describes both areas.
    bool prepare(isc_db_handle* db, isc_tr_handle* transaction, unsigned short dialect, ISC_STATUS* status);
    void free();

    const std::string& sql() const { return sql_; }
    isc_stmt_handle* handle() { return &handle_; }
    // A SELECT gives a cursor; everything else runs to its end at execute.
    bool returnsRows() const { return returnsRows_; }
    bool readsOnly() const { return readsOnly_; }
    XSQLDA* input() { return input_.get(); }
    XSQLDA* output() { return output_.get(); }
    const std::vector<Column>& columns() const { return columns_; }
    // Rows written by the last execute.
    bool rowsAffected(std::int64_t* rows, ISC_STATUS* status);

private:
    bool describeStatementType(ISC_STATUS* status);
    bool describe(unsigned short dialect, ISC_STATUS* status);
    void allocateOutputBuffers();

    const ClientApi& api_;
    std::string sql_;
    isc_stmt_handle handle_ = 0;
    bool returnsRows_ = false;
    bool readsOnly_ = false;
    SqlArea input_;
    SqlArea output_;
    std::vector<Column> columns_;
    std::vector<char> outputData_;
    std::vector<short> outputIndicators_;
};

}  // namespace fbdrv
