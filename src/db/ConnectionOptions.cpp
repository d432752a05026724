#include "ConnectionOptions.h"

#include <charconv>

#include "Errors.h"
#include "TextRules.h"

namespace db {

namespace {

enum class Reading { Text, TextUnlessBlank, Flag, Integer, Isolation };

struct OptionRow {
    const char* key;  // nullptr: "<DriverName> TransIsolation"
    Reading reading;
    std::int32_t option;
};

constexpr OptionRow kOptions[] = {
    {"HostName", Reading::Text, dl::connopt::HostName},
    {"RoleName", Reading::Text, dl::connopt::RoleName},
    {"WaitOnLocks", Reading::Flag, dl::connopt::WaitOnLocks},
    {"CommitRetain", Reading::Flag, dl::connopt::CommitRetain},
    {"AutoCommit", Reading::Flag, dl::connopt::AutoCommit},
    {"BlockingMode", Reading::Flag, dl::connopt::BlockingMode},
    {"ServerCharSet", Reading::TextUnlessBlank, dl::connopt::ServerCharSet},
    {nullptr, Reading::Isolation, dl::connopt::TransIsolation},
    {"SqlDialect", Reading::Integer, dl::connopt::SqlDialect},
    {"OS Authentication", Reading::Flag, dl::connopt::OSAuthentication},
    {"Server Port", Reading::Text, dl::connopt::ServerPort},
    {"Multiple Transaction", Reading::Flag, dl::connopt::MultipleTransaction},
    {"Trim Char", Reading::Flag, dl::connopt::TrimChar},
    {"Custom String", Reading::Text, dl::connopt::CustomString},
    {"Connection Timeout", Reading::Integer, dl::connopt::ConnectionTimeout},
};

void passOption(dl::IDriverConnection& connection, const OptionRow& row, const std::string& value,
                int& isolationLevel) {
    switch (row.reading) {
    case Reading::Text:
        connection.setOptionText(row.option, std::string(rt::text::trim(value)).c_str());
        break;
    case Reading::TextUnlessBlank:
        if (!rt::text::trim(value).empty())
            connection.setOptionText(row.option, std::string(rt::text::trim(value)).c_str());
        break;
    case Reading::Flag:
        connection.setOption(row.option, readFlag(value) ? 1 : 0);
        break;
    case Reading::Integer:
        connection.setOption(row.option, readInteger(value));
        break;
    case Reading::Isolation:
        isolationLevel = readIsolationLevel(value);
        connection.setOption(row.option, isolationLevel);
        break;
    }
}

}  // namespace

bool readFlag(std::string_view value) { return rt::text::toUpper(rt::text::trim(value)) == "TRUE"; }

std::optional<std::int32_t> parseInteger(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+' || (digits.front() == '-' && digits.size() < text.size()))
        return std::nullopt;
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return number;
}

std::int32_t readInteger(std::string_view value) {
    const std::string_view trimmed = rt::text::trim(value);
    const auto number = parseInteger(trimmed);
    if (!number) throw rt::ConversionError(rt::formatMessage("'%s' is not a valid integer value", trimmed));
    return *number;
}

int readIsolationLevel(std::string_view value) {
    const std::string lowered = rt::text::toLower(value);
    if (lowered == "repeatableread") return 1;
    if (lowered == "dirtyread") return 2;
    return 0;
}

void passConnectionOptions(dl::IDriverConnection& connection, const ConnectionParams& params,
                           const std::string& driverName, int& isolationLevel) {
    for (const OptionRow& row : kOptions) {
        if (!row.key) isolationLevel = 0;
        const std::string key = row.key ? std::string(row.key) : rt::formatMessage("%s TransIsolation", driverName);
        const std::string value = params.value(key);
        if (value.empty()) continue;
        passOption(connection, row, value, isolationLevel);
    }
}

}  // namespace db
