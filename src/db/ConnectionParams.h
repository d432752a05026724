// An ordered list of "name=value" lines, the form the connection's settings
// take. Lookup finds the first line whose text before its first "=" equals
// the name regardless of letter case; a line without "=" is never found.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

class ConnectionParams {
public:
    ConnectionParams() = default;
    ConnectionParams(std::initializer_list<std::string> lines);
    // Copies carry the lines only; the owner's change guard stays with the owner.
    ConnectionParams(const ConnectionParams& other);
    ConnectionParams& operator=(const ConnectionParams& other);

    const std::vector<std::string>& lines() const { return lines_; }
    std::size_t count() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }

    // The value of the first line with that name; empty when there is none.
    std::string value(std::string_view name) const;
    std::optional<std::size_t> indexOf(std::string_view name) const;

    void add(std::string line);
    void add(std::string_view name, std::string_view value);
    // Replaces the value of the first line with that name, or appends a line.
    void setValue(std::string_view name, std::string_view value);
    void assign(std::vector<std::string> lines);
    void clear();

    // Called before every change, so that an owner can refuse it by raising.
    void setChangeGuard(std::function<void()> guard) { guard_ = std::move(guard); }

    // The text before the first "=", or nothing for a line without one.
    static std::optional<std::string_view> nameOf(std::string_view line);

private:
    void changing() const {
        if (guard_) guard_();
    }

    std::vector<std::string> lines_;
    std::function<void()> guard_;
};

}  // namespace db
