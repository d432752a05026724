#include "ConfigFile.h"

#include <QFile>
#include <QFileInfo>

#include "ParameterList.h"
#include "TextRules.h"

namespace db {

namespace {

std::string readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
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

ConfigFile::ConfigFile(QString path) : path_(std::move(path)) {}

bool ConfigFile::exists() const {
    if (path_.isEmpty()) return false;
    const QFileInfo info(path_);
    return info.exists() && !info.isDir();
}

std::vector<ConfigFile::Section> ConfigFile::read() const {
    std::vector<Section> sections;
    if (!exists()) return sections;
    const std::string bytes = readBytes(path_);
    for (std::string_view raw : splitLines(bytes)) {
        const std::string_view line = rt::text::trim(raw);
        if (line.empty() || line.front() == ';') continue;
        if (isSectionHeader(line)) {
            sections.push_back({std::string(rt::text::trim(line.substr(1, line.size() - 2))), {}});
        } else if (!sections.empty()) {
            sections.back().lines.push_back(storedLine(line));
        }
    }
    return sections;
}

std::vector<std::string> ConfigFile::sectionLines(std::string_view section) const {
    for (Section& candidate : read())
        if (rt::text::equalsIgnoreCase(candidate.name, section)) return std::move(candidate.lines);
    return {};
}

std::string ConfigFile::value(std::string_view section, std::string_view key) const {
    ParameterList lines;
    lines.assign(sectionLines(section));
    return lines.value(key);
}

}  // namespace db
