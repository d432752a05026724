// A configuration file of "[section]" headers and "name=value" lines, as the
// operator's machine holds them in Big5 bytes. Each ConfigFile is one reading
// of the file, taken when it is made (a connect makes one per file, so an
// edit between two connects is seen); the file is never written.
#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace db {

class ConfigFile {
public:
    // Larger files are refused: no settings file comes near it, and reading
    // whatever a wrong path names must not exhaust the machine.
    static constexpr std::size_t MaxSize = 16 * 1024 * 1024;

    // Reads the file. A path naming no regular file (nothing, a folder, a
    // FIFO, a device) reads as a file with no sections; one larger than
    // MaxSize raises rt::DatabaseError. A UTF-8 byte-order mark at the start
    // (Windows editors write one) is skipped.
    explicit ConfigFile(QString path);

    const QString& path() const { return path_; }
    // False for anything but a regular file, and for an empty path.
    bool exists() const { return exists_; }

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
    void parse(std::string_view bytes);

    QString path_;
    bool exists_ = false;
    std::vector<Section> sections_;
};

}  // namespace db
