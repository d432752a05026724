#include "ConnectionTestSupport.h"

#include <QFile>

#include "ConfigFileLocator.h"

namespace testsupport {

ConfigFolder::ConfigFolder() { EXPECT_TRUE(dir_.isValid()); }

QString ConfigFolder::path(const QString& fileName) const { return dir_.filePath(fileName); }

QString ConfigFolder::write(const QString& fileName, const std::string& bytes) const {
    const QString filePath = path(fileName);
    QFile file(filePath);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return filePath;
}

const std::string ConnectionFixture::kConnections =
    "[VuzEza]\r\n"
    "DriverName=Recording\r\n"
    "Database=dbhost:/data/POSDATA.FDB\r\n"
    "RoleName=RoleName\r\n"
    "User_Name=sysdba\r\n"
    "Password=quorvane\r\n"
    "ServerCharSet=\r\n"
    "SQLDialect=3\r\n"
    "BlobSize=-1\r\n"
    "CommitRetain=False\r\n"
    "WaitOnLocks=True\r\n"
    "ErrorResourceFile=\r\n"
    "LocaleCode=0000\r\n"
    "Recording TransIsolation=ReadCommited\r\n"
    "Trim Char=False\r\n";

const std::string ConnectionFixture::kDrivers =
    "[Recording]\r\n"
    "LibraryName=librecordingdriver.so\r\n"
    "VendorLib=libfbclient.so.2\r\n"
    "GetDriverFunc=getSQLDriverRECORDING\r\n";

void ConnectionFixture::SetUp() {
    recording::reset();
    DataLinkStore::clear();
    DataLinkStore::set(db::ConfigFileLocator::ConnectionValueName, folder_.path("dlconnections.ini"));
    DataLinkStore::set(db::ConfigFileLocator::DriverValueName, folder_.path("dldrivers.ini"));
    writeConnections(kConnections);
    writeDrivers(kDrivers);
}

void ConnectionFixture::TearDown() {
    connection_.reset();
    recording::reset();
    DataLinkStore::clear();
}

void ConnectionFixture::writeConnectionSection(const std::string& lines) {
    writeConnections("[VuzEza]\n" + lines);
}

void ConnectionFixture::removeFiles() {
    QFile::remove(folder_.path("dlconnections.ini"));
    QFile::remove(folder_.path("dldrivers.ini"));
}

db::TDataLinkConnection& ConnectionFixture::makeConnection() {
    connection_ = std::make_unique<db::TDataLinkConnection>();
    connection_->applyStoredProperties();
    return *connection_;
}

db::TDataLinkConnection& ConnectionFixture::makeConnectionSetByHand(const db::ConnectionParams& params) {
    db::TDataLinkConnection& connection = makeConnection();
    connection.setLoadParamsOnConnect(false);
    connection.setDriverName("Recording");
    connection.setLibraryName("librecordingdriver.so");
    connection.setVendorLib("libfbclient.so.2");
    connection.setGetDriverFunc("getSQLDriverRECORDING");
    connection.setParams(params);
    return connection;
}

}  // namespace testsupport
