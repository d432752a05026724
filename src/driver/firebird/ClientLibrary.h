// The Firebird client library, loaded by file name and reached through the
// functions it exports. Loaded libraries stay loaded until the process ends.
#pragma once

#include <ibase.h>

#include <memory>
#include <string>

namespace fbdrv {

struct ClientApi {
    decltype(&isc_attach_database) attach_database;
    decltype(&isc_detach_database) detach_database;
    decltype(&isc_start_multiple) start_multiple;
    decltype(&isc_commit_transaction) commit_transaction;
    decltype(&isc_commit_retaining) commit_retaining;
    decltype(&isc_rollback_transaction) rollback_transaction;
    decltype(&isc_dsql_allocate_statement) dsql_allocate_statement;
    decltype(&isc_dsql_prepare) dsql_prepare;
    decltype(&isc_dsql_describe) dsql_describe;
    decltype(&isc_dsql_describe_bind) dsql_describe_bind;
    decltype(&isc_dsql_execute) dsql_execute;
    decltype(&isc_dsql_fetch) dsql_fetch;
    decltype(&isc_dsql_free_statement) dsql_free_statement;
    decltype(&isc_dsql_sql_info) dsql_sql_info;
    decltype(&isc_open_blob2) open_blob2;
    decltype(&isc_get_segment) get_segment;
    decltype(&isc_close_blob) close_blob;
    decltype(&fb_interpret) interpret;
    decltype(&isc_sqlcode) sqlcode;
    decltype(&isc_database_info) database_info;
    decltype(&fb_cancel_operation) cancel_operation;
};

// Loads the library (or finds it loaded before) and resolves every function
// of ClientApi. Returns null and fills *error when the library is missing or
// lacks one of them.
std::shared_ptr<const ClientApi> loadClientLibrary(const std::string& fileName, std::string* error);

}  // namespace fbdrv
