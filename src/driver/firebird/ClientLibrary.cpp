#include "ClientLibrary.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

namespace fbdrv {

namespace {

// The loader's own words ("libx.so: undefined symbol: isc_..."), or ours
// when it has none.
std::string loaderReason(std::string fallback) {
    const char* reason = dlerror();
    return reason ? std::string(reason) : fallback;
}

template <class Function>
bool resolve(void* library, const char* name, Function* function, std::string* error) {
    dlerror();
    *function = reinterpret_cast<Function>(dlsym(library, name));
    if (!*function) *error = loaderReason(std::string("missing function ") + name);
    return *function != nullptr;
}

std::shared_ptr<const ClientApi> resolveAll(void* library, std::string* error) {
    auto api = std::make_shared<ClientApi>();
    bool ok = resolve(library, "isc_attach_database", &api->attach_database, error) &&
              resolve(library, "isc_detach_database", &api->detach_database, error) &&
              resolve(library, "isc_start_multiple", &api->start_multiple, error) &&
              resolve(library, "isc_commit_transaction", &api->commit_transaction, error) &&
              resolve(library, "isc_commit_retaining", &api->commit_retaining, error) &&
              resolve(library, "isc_rollback_transaction", &api->rollback_transaction, error) &&
              resolve(library, "isc_dsql_allocate_statement", &api->dsql_allocate_statement, error) &&
              resolve(library, "isc_dsql_prepare", &api->dsql_prepare, error) &&
              resolve(library, "isc_dsql_describe", &api->dsql_describe, error) &&
              resolve(library, "isc_dsql_describe_bind", &api->dsql_describe_bind, error) &&
              resolve(library, "isc_dsql_execute", &api->dsql_execute, error) &&
              resolve(library, "isc_dsql_fetch", &api->dsql_fetch, error) &&
              resolve(library, "isc_dsql_free_statement", &api->dsql_free_statement, error) &&
              resolve(library, "isc_dsql_sql_info", &api->dsql_sql_info, error) &&
              resolve(library, "isc_open_blob2", &api->open_blob2, error) &&
              resolve(library, "isc_get_segment", &api->get_segment, error) &&
              resolve(library, "isc_close_blob", &api->close_blob, error) &&
              resolve(library, "fb_interpret", &api->interpret, error) &&
              resolve(library, "isc_sqlcode", &api->sqlcode, error) &&
              resolve(library, "isc_database_info", &api->database_info, error) &&
              resolve(library, "fb_cancel_operation", &api->cancel_operation, error);
    return ok ? api : nullptr;
}

}  // namespace

std::shared_ptr<const ClientApi> loadClientLibrary(const std::string& fileName, std::string* error) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const ClientApi>> loaded;
    std::lock_guard lock(mutex);
    if (auto found = loaded.find(fileName); found != loaded.end()) return found->second;

    dlerror();
    void* library = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        *error = loaderReason("cannot load " + fileName);
        return nullptr;
    }
    auto api = resolveAll(library, error);
    if (api) loaded.emplace(fileName, api);
    return api;
}

}  // namespace fbdrv
