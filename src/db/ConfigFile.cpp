#include "ConfigFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstdint>
#include <optional>

#include "Big5Text.h"
#include "Errors.h"
#include "ConnectionParams.h"
#include "ScopeGuard.h"
#include "TextRules.h"

namespace db {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

[[noreturn]] void refuseSize(const QString& path) {
    throw rt::DatabaseError(
        rt::formatMessage("Configuration file '%s' is larger than 16 MiB", big5::fromUnicodeLossy(path)));
}

// The bytes of a regular file, or nothing when the path names none. Opened
// without blocking, so that a FIFO cannot hold the connect, and checked on
// the open descriptor, so that what is read is what was checked.
std::optional<std::string> readRegularFile(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const rt::ScopeGuard closeFile([file] {
        if (file >= 0) ::close(file);
    });
    struct stat status {};
    if (file < 0) {
        // A file that is there but may not be read reads as empty.
        if (::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode))
            return std::string();
        return std::nullopt;
    }
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    if (static_cast<std::uint64_t>(status.st_size) > ConfigFile::MaxSize) refuseSize(path);
    // The file may grow while it is read: never more than the limit.
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > ConfigFile::MaxSize) refuseSize(path);
            bytes.resize(bytes.size() + 4096);
        }
        const ssize_t got = ::read(file, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled > ConfigFile::MaxSize) refuseSize(path);
    bytes.resize(filled);
    return bytes;
}

// CR, LF and CR LF all end a line; what is left of a CR is trimmed anyway.
std::vector<std::string_view> splitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= bytes.size(); ++at) {
        if (at == bytes.size() || bytes[at] == '\n' || bytes[at] == '\r') {
            lines.push_back(bytes.substr(start, at - start));
            start = at + 1;
        }
    }
    return lines;
}

bool isSectionHeader(std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

std::string storedLine(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::string(line);
    std::string stored(rt::text::trim(line.substr(0, equals)));
    stored += '=';
    stored += rt::text::trim(line.substr(equals + 1));
    return stored;
}

}  // namespace

ConfigFile::ConfigFile(QString path) : path_(std::move(path)) {
    const std::optional<std::string> bytes = readRegularFile(path_);
    exists_ = bytes.has_value();
    if (bytes) parse(*bytes);
}

void ConfigFile::parse(std::string_view bytes) {
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) bytes.remove_prefix(kByteOrderMark.size());
    for (std::string_view raw : splitLines(bytes)) {
        const std::string_view line = rt::text::trim(raw);
        if (line.empty() || line.front() == ';') continue;
        if (isSectionHeader(line)) {
            sections_.push_back({std::string(rt::text::trim(line.substr(1, line.size() - 2))), {}});
        } else if (!sections_.empty()) {
            sections_.back().lines.push_back(storedLine(line));
        }
    }
}

std::vector<std::string> ConfigFile::sectionLines(std::string_view section) const {
    for (const Section& candidate : sections_)
        if (rt::text::equalsIgnoreCase(candidate.name, section)) return candidate.lines;
    return {};
}

std::string ConfigFile::value(std::string_view section, std::string_view key) const {
    ConnectionParams lines;
    lines.assign(sectionLines(section));
    return lines.value(key);
}

}  // namespace db
