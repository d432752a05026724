// The two symbols the library exports: the entry and its failure reason.
#include "CallGuard.h"
#include "ClientLibrary.h"
#include "FirebirdDriver.h"

#include <DriverInterface.h>

#include <string>
#include <type_traits>

namespace {

// Per thread, as the entry's caller keeps its entry per thread.
thread_local std::string t_entryFailureReason;

}  // namespace

extern "C" __attribute__((visibility("default"))) dl::DriverResult getSQLDriverFIREBIRD(
    const char* vendorLib, const char* /*errorResourceFile*/, dl::IDriver** driver) {
    t_entryFailureReason.clear();
    if (!driver) return dl::status::InvalidParameter;
    *driver = nullptr;
    if (!vendorLib || !*vendorLib) {
        t_entryFailureReason = "no client library named";
        return dl::status::DriverInitFailed;
    }
    return fbdrv::guarded(nullptr, [&] {
        std::string error;
        auto api = fbdrv::loadClientLibrary(vendorLib, &error);
        if (!api) {
            t_entryFailureReason = std::move(error);
            return dl::status::DriverInitFailed;
        }
        *driver = new fbdrv::FirebirdDriver(std::move(api));
        return dl::status::Success;
    });
}

extern "C" __attribute__((visibility("default"))) const char* getSQLDriverEntryFailureReason() {
    return t_entryFailureReason.c_str();
}

// Checked at compile time: the entry has the type the program looks it up as.
static_assert(std::is_same_v<decltype(&getSQLDriverFIREBIRD), dl::DriverEntry>);
static_assert(std::is_same_v<decltype(&getSQLDriverEntryFailureReason), dl::EntryFailureReason>);
