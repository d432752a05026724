// The driver object the entry hands out: a source of connections over one
// loaded client library.
#pragma once

#include "CallGuard.h"
#include "ClientLibrary.h"
#include "FirebirdConnection.h"
#include "RefCounted.h"

#include <DriverInterface.h>

#include <memory>

namespace fbdrv {

class FirebirdDriver final : public RefCounted<dl::IDriver> {
public:
    explicit FirebirdDriver(std::shared_ptr<const ClientApi> api) : api_(std::move(api)) {}

    dl::DriverResult getConnection(dl::IDriverConnection** connection) override {
        if (!connection) return dl::status::InvalidParameter;
        *connection = nullptr;
        // The driver object keeps no error text: the status alone tells.
        return guarded(nullptr, [&] {
            *connection = new FirebirdConnection(api_);
            return dl::status::Success;
        });
    }

private:
    std::shared_ptr<const ClientApi> api_;
};

}  // namespace fbdrv
