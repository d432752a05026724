#include "ErrorText.h"

#include <cstring>

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
