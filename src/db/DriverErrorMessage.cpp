#include "DriverErrorMessage.h"

#include <vector>

#include "Errors.h"

namespace db {

namespace {

struct StatusText {
    std::uint16_t status;
    const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {0x01, "[0x0001]: Warning"},
    {0x02, "[0x0002]: Insufficient Memory for Operation"},
    {0x03, "[0x0003]: Invalid Field Type"},
    {0x04, "[0x0004]: Invalid Handle"},
    {0x05, "[0x0005]: Operation Not Supported"},
    {0x06, "[0x0006]: Invalid Time"},
    {0x07, "[0x0007]: Invalid Data Translation"},
    {0x08, "[0x0008]: Parameter/Column out of Range"},
    {0x09, "[0x0009]: Invalid Parameter"},
    {0x0A, "[0x000A]: Result set at EOF"},
    {0x0B, "DataLink Error [0x000B]: Parameter Not Set"},
    {0x0C, "[0x000C] Invalid Username/Password"},
    {0x0D, "[0x000D]: Invalid Precision"},
    {0x0E, "[0x000E]: Invalid Length"},
    {0x0F, "[0x000F]: Invalid Transaction Isolation Level"},
    {0x10, "[0x0010]: Invalid Transaction ID"},
    {0x11, "[0x0011]: Duplicate Transaction ID"},
    {0x13, "[0x0013]: Local Transaction already active"},
    {0x14, "[0x0014]: Multiple Transactions not Enabled"},
    {0x15, "[0x0015]: Connection failed"},
    {0x16, "[0x0016]: Driver initialization failed"},
    {0x17, "[0x0017]: Optimistic Locking failed"},
    {0x18, "[0x0018]: Invalid REF"},
    {0x19, "[0x0019]: No table found"},
    {0x40, "[0x0064]: No more data"},
    {0x41, "[0x0065]: SQL Error"},
};

std::string driverPart(const DriverErrorSource& source) {
    if (!source.messageLength || !source.message) return {};
    std::int32_t length = 0;
    if (dl::statusOf(source.messageLength(&length)) != 0 || length <= 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    source.message(buffer.data());
    buffer.back() = '\0';  // a driver that fills the whole buffer still ends here
    return rt::formatMessage("SQL Server Error: %s", buffer.data());
}

}  // namespace

rt::DriverFailure driverFailureOf(dl::DriverResult result, const DriverErrorSource& source) {
    rt::DriverFailure failure;
    failure.status = dl::statusOf(result);
    std::int32_t serverCode = 0;
    bool lost = false;
    if (source.codes && dl::statusOf(source.codes(&serverCode, &lost)) == 0) {
        failure.serverCode = serverCode;
        failure.connectionLost = lost;
    }
    return failure;
}

std::string driverStatusText(std::uint16_t status) {
    for (const StatusText& entry : kStatusTexts)
        if (entry.status == status) return entry.text;
    return {};
}

std::string driverStatusMessage(std::uint16_t status) {
    if (status < 1 || status > 100) return {};
    const std::string text = driverStatusText(status);
    return text.empty() ? text : rt::formatMessage("DataLink Error: %s", text);
}

std::string composeDriverMessage(dl::DriverResult result, const DriverErrorSource& source,
                                 const std::string& lastError) {
    const std::uint16_t status = dl::statusOf(result);
    std::string message = driverStatusMessage(status);
    const std::string fromDriver = driverPart(source);
    if (!fromDriver.empty()) {
        if (!message.empty()) message += "\r\n";
        message += fromDriver;
    }
    if (message.empty()) message = lastError;
    if (message.empty())
        message = rt::formatMessage("DataLink Error: Unknown Error Code '%s'", std::to_string(status));
    return message;
}

}  // namespace db
