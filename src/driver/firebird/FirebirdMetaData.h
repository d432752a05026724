// What the connection tells about itself once attached.
#pragma once

#include "FirebirdConnection.h"
#include "RefCounted.h"

#include <DriverInterface.h>

#include <string>

namespace fbdrv {

class FirebirdMetaData final : public RefCounted<dl::IDriverMetaData> {
public:
    explicit FirebirdMetaData(FirebirdConnection* connection) : connection_(connection) {}

    dl::DriverResult setOption(std::int32_t option, std::int64_t value) override;
    dl::DriverResult setOptionText(std::int32_t option, const char* value) override;
    dl::DriverResult getOption(std::int32_t option, void* buffer, std::int32_t maxLength,
                               std::int32_t* length) override;

private:
    // The work of the interface methods above, which may throw.
    dl::DriverResult setOptionTextUnguarded(std::int32_t option, const char* value);
    dl::DriverResult getOptionUnguarded(std::int32_t option, void* buffer, std::int32_t maxLength,
                                        std::int32_t* length);

    Retained<FirebirdConnection> connection_;
    std::string schemaName_;
};

}  // namespace fbdrv
