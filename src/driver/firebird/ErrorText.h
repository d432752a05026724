// The error text a failed call leaves on the object it was made on, and the
// two calls that read it.
#pragma once

#include "ClientLibrary.h"

#include <DriverInterface.h>

#include <string>

namespace fbdrv {

// The client library's messages for a status vector, one per line, lines
// separated by CR LF.
std::string interpretStatus(const ClientApi& api, const ISC_STATUS* status);

inline bool failed(const ISC_STATUS* status) { return status[0] == 1 && status[1] != 0; }

class ErrorText {
public:
    void clear() noexcept { text_.clear(); }
    // Keeps the text and returns the status, for `return error.set(...)`.
    dl::DriverResult set(dl::DriverResult status, std::string text) {
        text_ = std::move(text);
        return status;
    }
    dl::DriverResult setFromStatus(dl::DriverResult status, const ClientApi& api, const ISC_STATUS* vector) {
        return set(status, interpretStatus(api, vector));
    }
    dl::DriverResult length(std::int32_t* length) const;
    dl::DriverResult copy(char* buffer) const;

private:
    std::string text_;
};

}  // namespace fbdrv
