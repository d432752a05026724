#include "DataLinkStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <stdexcept>
#include <utility>
#include <vector>

#include "ConfigFileLocator.h"

namespace testsupport {

namespace {

// What the file holds, in the order the values were first set.
std::vector<std::pair<QString, std::string>>& values() {
    static std::vector<std::pair<QString, std::string>> held;
    return held;
}

void writeBytes(const std::string& bytes) {
    const QString path = DataLinkStore::confFilePath();
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void writeValues() {
    std::string bytes = "[General]\n";
    for (const auto& [name, value] : values()) bytes += name.toStdString() + "=" + value + "\n";
    writeBytes(bytes);
}

}  // namespace

void DataLinkStore::set(const QString& valueName, const QString& value) { setBytes(valueName, value.toStdString()); }

void DataLinkStore::setBytes(const QString& valueName, const std::string& bytes) {
    for (auto& [name, value] : values()) {
        if (name == valueName) {
            value = bytes;
            writeValues();
            return;
        }
    }
    values().emplace_back(valueName, bytes);
    writeValues();
}

void DataLinkStore::writeFile(const std::string& bytes) {
    values().clear();
    writeBytes(bytes);
}

void DataLinkStore::clear() {
    values().clear();
    QFile::remove(confFilePath());
}

QString DataLinkStore::confFilePath() { return db::ConfigFileLocator::storeFile(); }

QString DataLinkStore::systemFilePath() {
    return qEnvironmentVariable("XDG_CONFIG_DIRS").section(QLatin1Char(':'), 0, 0) +
           QStringLiteral("/Kelvane/DataLink.conf");
}

void DataLinkStore::pointAt(const QString& folder) {
    clear();
    set(db::ConfigFileLocator::ConnectionValueName, QDir(folder).filePath(QStringLiteral("dlconnections.ini")));
    set(db::ConfigFileLocator::DriverValueName, QDir(folder).filePath(QStringLiteral("dldrivers.ini")));
}

void DataLinkStore::pointAtRecordingDriver(const QString& folder) {
    const auto write = [&folder](const char* name, const char* text) {
        QFile file(QDir(folder).filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) < 0)
            throw std::runtime_error("cannot write " + file.fileName().toStdString());
    };
    write("dlconnections.ini", "[VuzEza]\nDriverName=Recording\nDatabase=shop:/data/POSDATA.FDB\nUser_Name=sysdba\n");
    write("dldrivers.ini",
          "[Recording]\nLibraryName=librecordingdriver.so\nVendorLib=libvendor.so\nGetDriverFunc=getSQLDriverRECORDING\n");
    pointAt(folder);
}

}  // namespace testsupport
