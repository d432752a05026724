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

// Whether any error of the status vector says the attachment is gone: the
// network failed, or the server shut the connection or the database down.
bool attachmentLost(const ISC_STATUS* status);

class ErrorText {
public:
    void clear() noexcept {
        text_.clear();
        serverCode_ = 0;
        connectionLost_ = false;
    }
    // Keeps the text and returns the status, for `return error.set(...)`.
    // An error of the driver's own has no server code.
    dl::DriverResult set(dl::DriverResult status, std::string text) {
        text_ = std::move(text);
        serverCode_ = 0;
        connectionLost_ = false;
        return status;
    }
    dl::DriverResult setFromStatus(dl::DriverResult status, const ClientApi& api, const ISC_STATUS* vector);
    // The failure of a call the answer watch ended: said first, the client's
    // own text after it, and the connection counted as lost.
    void setNoAnswer(std::int64_t seconds) noexcept;
    // The same said of a connect that ran out of its time.
    void setNoAnswerToConnect(std::int64_t seconds) noexcept;
    dl::DriverResult length(std::int32_t* length) const;
    dl::DriverResult copy(char* buffer) const;
    dl::DriverResult codes(std::int32_t* serverCode, bool* connectionLost) const;

private:
    std::string text_;
    std::int32_t serverCode_ = 0;
    bool connectionLost_ = false;
};

}  // namespace fbdrv
