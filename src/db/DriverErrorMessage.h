// Turning a driver status and the driver's own text into the message a
// failed driver call raises.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "DriverInterface.h"
#include "Errors.h"

namespace db {

// Something that holds a driver error text and its codes: a driver
// connection, command or cursor. An empty source has nothing to give.
struct DriverErrorSource {
    std::function<dl::DriverResult(std::int32_t*)> messageLength;
    std::function<dl::DriverResult(char*)> message;
    std::function<dl::DriverResult(std::int32_t*, bool*)> codes;

    template <class T>
    static DriverErrorSource of(T* object) {
        if (!object) return {};
        return {[object](std::int32_t* length) { return object->getErrorMessageLen(length); },
                [object](char* buffer) { return object->getErrorMessage(buffer); },
                [object](std::int32_t* serverCode, bool* lost) { return object->getErrorCode(serverCode, lost); }};
    }
};

// The status of the result and the source's codes; a source that cannot
// tell gives no server code and a connection still there.
rt::DriverFailure driverFailureOf(dl::DriverResult result, const DriverErrorSource& source);

// The fixed text of a status ("[0x0015]: Connection failed"), empty for a
// status that has none.
std::string driverStatusText(std::uint16_t status);

// The message of a status as the driver words it ("DataLink Error:
// [0x0008]: Parameter/Column out of Range"), for a failure found on this
// side of the driver before any call; empty for a status without text.
std::string driverStatusMessage(std::uint16_t status);

// The static part, a CR LF, the driver part; else lastError; else the
// "Unknown Error Code" text.
std::string composeDriverMessage(dl::DriverResult result, const DriverErrorSource& source,
                                 const std::string& lastError);

}  // namespace db
