#include "ErrorText.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace fbdrv {

std::string interpretStatus(const ClientApi& api, const ISC_STATUS* status) {
    std::string text;
    const ISC_STATUS* cursor = status;
    char buffer[1024];
    while (api.interpret(buffer, sizeof buffer, &cursor) > 0) {
        if (!text.empty()) text += "\r\n";
        text += buffer;
    }
    return text;
}

bool attachmentLost(const ISC_STATUS* status) {
    static constexpr ISC_STATUS kLost[] = {
        isc_network_error, isc_net_read_err,  isc_net_write_err, isc_net_server_shutdown,
        isc_conn_lost,     isc_lost_db_connection, isc_att_shutdown, isc_shutdown,
        isc_bad_db_handle,  // the client's own shutdown (at a signal) invalidates the handle
    };
    for (const ISC_STATUS* item = status; *item != isc_arg_end;) {
        const ISC_STATUS kind = *item++;
        if (kind == isc_arg_cstring) {  // a length and a pointer
            item += 2;
            continue;
        }
        const ISC_STATUS value = *item++;
        if (kind == isc_arg_gds && std::find(std::begin(kLost), std::end(kLost), value) != std::end(kLost))
            return true;
    }
    return false;
}

dl::DriverResult ErrorText::setFromStatus(dl::DriverResult status, const ClientApi& api, const ISC_STATUS* vector) {
    set(status, interpretStatus(api, vector));
    if (vector[0] == isc_arg_gds) serverCode_ = static_cast<std::int32_t>(vector[1]);
    connectionLost_ = attachmentLost(vector);
    return status;
}

namespace {

void putFirst(std::string& text, const std::string& said) noexcept {
    try {
        text = text.empty() ? said : said + "\r\n" + text;
    } catch (...) {
        // Out of memory: the client's own text stays.
    }
}

}  // namespace

void ErrorText::setNoAnswer(std::int64_t seconds) noexcept {
    connectionLost_ = true;
    try {
        putFirst(text_, std::string(dl::kNoAnswerText) + " in " + std::to_string(seconds) +
                            " seconds: the connection was closed.");
    } catch (...) {
        // Out of memory: the lost flag says enough.
    }
}

void ErrorText::setNoAnswerToConnect(std::int64_t seconds) noexcept {
    try {
        putFirst(text_, std::string(dl::kNoAnswerText) + " in " + std::to_string(seconds) + " seconds while connecting.");
    } catch (...) {
        // Out of memory: the client's own text stays.
    }
}

dl::DriverResult ErrorText::codes(std::int32_t* serverCode, bool* connectionLost) const {
    if (!serverCode || !connectionLost) return dl::status::InvalidParameter;
    *serverCode = serverCode_;
    *connectionLost = connectionLost_;
    return dl::status::Success;
}

dl::DriverResult ErrorText::length(std::int32_t* length) const {
    if (!length) return dl::status::InvalidParameter;
    *length = static_cast<std::int32_t>(text_.size());
    return dl::status::Success;
}

dl::DriverResult ErrorText::copy(char* buffer) const {
    if (!buffer) return dl::status::InvalidParameter;
    std::memcpy(buffer, text_.c_str(), text_.size() + 1);
    return dl::status::Success;
}

}  // namespace fbdrv
