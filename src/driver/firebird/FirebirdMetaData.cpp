#include "FirebirdMetaData.h"

#include "CallGuard.h"
#include <cstring>

namespace fbdrv {

// The interface methods: each runs its work under guarded(), so that nothing
// thrown crosses into the program.

dl::DriverResult FirebirdMetaData::setOptionText(std::int32_t option, const char* value) {
    return guarded(nullptr, [&] { return setOptionTextUnguarded(option, value); });
}

dl::DriverResult FirebirdMetaData::getOption(std::int32_t option, void* buffer, std::int32_t maxLength,
                                             std::int32_t* length) {
    return guarded(nullptr, [&] { return getOptionUnguarded(option, buffer, maxLength, length); });
}

dl::DriverResult FirebirdMetaData::setOption(std::int32_t, std::int64_t) { return dl::status::Success; }

dl::DriverResult FirebirdMetaData::setOptionTextUnguarded(std::int32_t option, const char* value) {
    if (option == dl::metaopt::SchemaName) schemaName_ = value ? value : "";
    return dl::status::Success;
}

dl::DriverResult FirebirdMetaData::getOptionUnguarded(std::int32_t option, void* buffer, std::int32_t maxLength,
                                                      std::int32_t* length) {
    if (!buffer || maxLength < 1) return dl::status::InvalidParameter;
    switch (option) {
        case dl::metaopt::QuoteChar: {
            // Dialect 1 has no quoted names: double quotes delimit strings there.
            char quote = connection_->settings().sqlDialect >= 3 ? '"' : '\0';
            std::memcpy(buffer, &quote, 1);
            if (length) *length = 1;
            return dl::status::Success;
        }
        case dl::metaopt::TransactionsSupported:
        case dl::metaopt::MultipleTransactions: {
            if (maxLength < 4) return dl::status::InvalidLength;
            // Every statement runs in a transaction of its own; there is no
            // way to hold several open at the caller's request.
            std::int32_t yes = option == dl::metaopt::TransactionsSupported ? 1 : 0;
            std::memcpy(buffer, &yes, 4);
            if (length) *length = 4;
            return dl::status::Success;
        }
        case dl::metaopt::SchemaName: {
            auto size = static_cast<std::int32_t>(schemaName_.size() + 1);
            if (size > maxLength) return dl::status::InvalidLength;
            std::memcpy(buffer, schemaName_.c_str(), static_cast<std::size_t>(size));
            if (length) *length = size;
            return dl::status::Success;
        }
        default:
            return dl::status::NotSupported;
    }
}

}  // namespace fbdrv
