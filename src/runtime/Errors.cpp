#include "Errors.h"

namespace rt {

DatabaseError DatabaseError::forComponent(std::string_view component, std::string_view message) {
    std::string text(component);
    text += ": ";
    text += message;
    return DatabaseError(text);
}

void raiseWithMessage(const std::exception& error, const std::string& message) {
    if (const auto* databaseError = dynamic_cast<const DatabaseError*>(&error))
        throw DatabaseError(message, databaseError->driverFailure());
    throw AppError(message);
}

std::string formatMessage(std::string_view pattern, std::string_view argument) {
    std::string text(pattern);
    const auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, argument);
    return text;
}

}  // namespace rt
