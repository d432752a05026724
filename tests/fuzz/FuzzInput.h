// The fuzz input as a file, for readers that take a path: written afresh
// for each input into a folder of the run's own, removed when the run ends.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace fuzz {

class InputFile {
public:
    explicit InputFile(const QString& name) : path_(folder().filePath(name)) {}

    // A new name each time: a reader that caches by path and time stamp
    // (QSettings does) must not answer from an earlier input.
    const QString& write(const std::uint8_t* data, std::size_t size) {
        current_ = QStringLiteral("%1.%2").arg(path_).arg(++count_);
        QFile file(current_);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
            std::abort();
        return current_;
    }
    void remove() { QFile::remove(current_); }

private:
    static QTemporaryDir& folder() {
        static QTemporaryDir dir;
        if (!dir.isValid()) std::abort();
        return dir;
    }
    QString path_;
    QString current_;
    unsigned long long count_ = 0;
};

}  // namespace fuzz
