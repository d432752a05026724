#include "ConnectionParams.h"

#include "TextRules.h"

namespace db {

ConnectionParams::ConnectionParams(std::initializer_list<std::string> lines) : lines_(lines) {}

ConnectionParams::ConnectionParams(const ConnectionParams& other) : lines_(other.lines_) {}

ConnectionParams& ConnectionParams::operator=(const ConnectionParams& other) {
    if (this != &other) assign(other.lines_);
    return *this;
}

std::optional<std::string_view> ConnectionParams::nameOf(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return line.substr(0, equals);
}

std::optional<std::size_t> ConnectionParams::indexOf(std::string_view name) const {
    for (std::size_t index = 0; index < lines_.size(); ++index) {
        const auto lineName = nameOf(lines_[index]);
        if (lineName && rt::text::equalsIgnoreCase(*lineName, name)) return index;
    }
    return std::nullopt;
}

std::string ConnectionParams::value(std::string_view name) const {
    const auto index = indexOf(name);
    if (!index) return {};
    const std::string& line = lines_[*index];
    return line.substr(line.find('=') + 1);
}

void ConnectionParams::add(std::string line) {
    changing();
    lines_.push_back(std::move(line));
}

void ConnectionParams::add(std::string_view name, std::string_view value) {
    std::string line(name);
    line += '=';
    line += value;
    add(std::move(line));
}

void ConnectionParams::setValue(std::string_view name, std::string_view value) {
    const auto index = indexOf(name);
    if (!index) {
        add(name, value);
        return;
    }
    changing();
    std::string& line = lines_[*index];
    line.replace(line.find('=') + 1, std::string::npos, value);
}

void ConnectionParams::assign(std::vector<std::string> lines) {
    changing();
    lines_ = std::move(lines);
}

void ConnectionParams::clear() {
    changing();
    lines_.clear();
}

}  // namespace db
