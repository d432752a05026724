// Turning a driver status and the driver's own text into the message a
// failed driver call raises.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "DriverInterface.h"

namespace db {

// Something that holds a driver error text: a driver connection, command or
// cursor. An empty source has no text to give.
struct DriverErrorSource {
    std::function<dl::DriverResult(std::int32_t*)> messageLength;
    std::function<dl::DriverResult(char*)> message;

    template <class T>
    static DriverErrorSource of(T* object) {
        if (!object) return {};
        return {[object](std::int32_t* length) { return object->getErrorMessageLen(length); },
                [object](char* buffer) { return object->getErrorMessage(buffer); }};
    }
};

// The fixed text of a status ("[0x0015]: Connection failed"), empty for a
// status that has none.
std::string driverStatusText(std::uint16_t status);

// The static part, a CR LF, the driver part; else lastError; else the
// "Unknown Error Code" text.
std::string composeDriverMessage(dl::DriverResult result, const DriverErrorSource& source,
                                 const std::string& lastError);

}  // namespace db
