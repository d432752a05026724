// The one symbol the library exports.
#include "CallGuard.h"
#include "ClientLibrary.h"
#include "FirebirdDriver.h"

#include <DriverInterface.h>

#include <string>
#include <type_traits>

extern "C" __attribute__((visibility("default"))) dl::DriverResult getSQLDriverFIREBIRD(
    const char* vendorLib, const char* /*errorResourceFile*/, dl::IDriver** driver) {
    if (!driver) return dl::status::InvalidParameter;
    *driver = nullptr;
    if (!vendorLib || !*vendorLib) return dl::status::DriverInitFailed;
    return fbdrv::guarded(nullptr, [&] {
        std::string error;
        auto api = fbdrv::loadClientLibrary(vendorLib, &error);
        if (!api) return dl::status::DriverInitFailed;
        *driver = new fbdrv::FirebirdDriver(std::move(api));
        return dl::status::Success;
    });
}

// Checked at compile time: the entry has the type the program looks it up as.
static_assert(std::is_same_v<decltype(&getSQLDriverFIREBIRD), dl::DriverEntry>);
