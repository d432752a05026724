// A configuration file of "[section]" headers and "name=value" lines, as the
// operator's machine holds them in Big5 bytes. It is read whole on every
// lookup, so an edit between two lookups is seen, and never written.
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace db {

class ConfigFile {
public:
    explicit ConfigFile(QString path);

    const QString& path() const { return path_; }
    // A directory or an empty path is no file.
    bool exists() const;

    // The lines of the first section with that name, in file order: name and
    // value of each "=" line trimmed around the first "=", other lines as
    // they stand. Empty for a missing section or file.
    std::vector<std::string> sectionLines(std::string_view section) const;
    // The value of the first line named key in that section; empty when
    // section, key or file is missing.
    std::string value(std::string_view section, std::string_view key) const;

private:
    struct Section {
        std::string name;
        std::vector<std::string> lines;
    };
    std::vector<Section> read() const;

    QString path_;
};

}  // namespace db
