#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "CaseName.h"
#include "Big5Text.h"
#include "ConfigFileLocator.h"
#include "ConnectionTestSupport.h"
#include "Errors.h"

namespace {

using db::ConfigFileLocator;
using testsupport::DataLinkStore;

class ConfigFileLocatorTest : public testing::Test {
protected:
    void SetUp() override { DataLinkStore::clear(); }
    void TearDown() override { DataLinkStore::clear(); }
};

TEST_F(ConfigFileLocatorTest, WithoutValuesBothFilesLieBesideTheExecutable) {
    const QString folder = QCoreApplication::applicationDirPath();
    EXPECT_EQ(ConfigFileLocator::connectionsFile(), folder + "/dlconnections.ini");
    EXPECT_EQ(ConfigFileLocator::driversFile(), folder + "/dldrivers.ini");
    DataLinkStore::set(ConfigFileLocator::ConnectionValueName, QString());
    EXPECT_EQ(ConfigFileLocator::connectionsFile(), folder + "/dlconnections.ini") << "an empty value";
}

TEST_F(ConfigFileLocatorTest, AStringValueIsThePathExactlyAsStored) {
    DataLinkStore::set(ConfigFileLocator::ConnectionValueName, "$HOME/ini files/conn.ini");
    DataLinkStore::set(ConfigFileLocator::DriverValueName, "/opt/pos/drivers.ini");
    EXPECT_EQ(ConfigFileLocator::connectionsFile(), "$HOME/ini files/conn.ini");
    EXPECT_EQ(ConfigFileLocator::driversFile(), "/opt/pos/drivers.ini");
    // The store is the user's own file under XDG_CONFIG_HOME.
    const QString expected = QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Kelvane/DataLink.conf");
    EXPECT_EQ(DataLinkStore::confFilePath(), expected);
    EXPECT_TRUE(QFileInfo::exists(expected));
}

// The store file as an operator writes it by hand: every value is the text
// after "=", trimmed, whatever characters the path holds.
TEST_F(ConfigFileLocatorTest, AHandWrittenStoreIsReadAsWritten) {
    DataLinkStore::writeFile(
        "; written by hand\r\n"
        "[General]\r\n"
        "  Connection Registry File =  /srv/pos;v2/dl\\connections \"x\",1.ini  \r\n"
        "Driver Registry File=C:\\POS\\dldrivers.ini\r\n");
    EXPECT_EQ(ConfigFileLocator::connectionsFile(), "/srv/pos;v2/dl\\connections \"x\",1.ini");
    EXPECT_EQ(ConfigFileLocator::driversFile(), "C:\\POS\\dldrivers.ini");

    // UTF-8 paths, and value names in any letter case, as the registry has them.
    DataLinkStore::writeFile("[general]\nconnection registry file=" + QString::fromUtf8("/資料/連線.ini").toStdString() +
                             "\n[Other]\nDriver Registry File=/not/this.ini\n");
    EXPECT_EQ(ConfigFileLocator::connectionsFile(), QString::fromUtf8("/資料/連線.ini"));
    EXPECT_EQ(ConfigFileLocator::driversFile(), QCoreApplication::applicationDirPath() + "/dldrivers.ini")
        << "only [General] holds the values";
}

// On this platform every value is text: only one no file name could carry
// exactly is of the wrong kind.
TEST_F(ConfigFileLocatorTest, AValueThatCannotBeAPathIsARegistryError) {
    DataLinkStore::setBytes(ConfigFileLocator::DriverValueName, "/srv/caf\xE9.ini");
    EXPECT_EQ(testsupport::messageOf<rt::RegistryError>([] { ConfigFileLocator::driversFile(); }),
              "Invalid data type for 'Driver Registry File'");
    DataLinkStore::setBytes(ConfigFileLocator::ConnectionValueName, std::string("/srv/a\0b.ini", 12));
    EXPECT_EQ(testsupport::messageOf<rt::RegistryError>([] { ConfigFileLocator::connectionsFile(); }),
              "Invalid data type for 'Connection Registry File'");
}

using testsupport::caseName;

// The key's values, each looked for in the user's file, then the system's,
// and the program's folder last; a file that lacks a value, or leaves it
// empty, passes it on to the next.
struct StoreCase {
    const char* what;
    std::string user;    // the user's file, or nothing
    std::string system;  // the system's file, or nothing
    QString expected;    // empty: beside the program
};

void PrintTo(const StoreCase& store, std::ostream* out) { *out << store.what; }

class StoreOrder : public ConfigFileLocatorTest, public testing::WithParamInterface<StoreCase> {
protected:
    void TearDown() override {
        QFile::remove(DataLinkStore::systemFilePath());
        ConfigFileLocatorTest::TearDown();
    }
    static void writeSystemFile(const std::string& bytes) {
        const QString path = DataLinkStore::systemFilePath();
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.data(), qint64(bytes.size()));
    }
};

TEST_P(StoreOrder, UserFirstSystemSecondProgramFolderLast) {
    const StoreCase& store = GetParam();
    if (!store.user.empty()) DataLinkStore::writeFile(store.user);
    if (!store.system.empty()) writeSystemFile(store.system);
    const QString expected =
        store.expected.isEmpty() ? ConfigFileLocator::programFolder() + "/dlconnections.ini" : store.expected;
    EXPECT_EQ(ConfigFileLocator::connectionsFile(), expected) << store.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoreOrder,
    testing::Values(
        StoreCase{"both name it", "[General]\nConnection Registry File=/home/a/conn.ini\n",
                  "[General]\nConnection Registry File=/etc/tarvell/conn.ini\n", "/home/a/conn.ini"},
        StoreCase{"only the system", "", "[General]\nConnection Registry File=/etc/tarvell/conn.ini\n",
                  "/etc/tarvell/conn.ini"},
        StoreCase{"the user's file without it", "[General]\nDriver Registry File=/home/a/drv.ini\n",
                  "[General]\nConnection Registry File=/etc/tarvell/conn.ini\n", "/etc/tarvell/conn.ini"},
        StoreCase{"the user's value empty", "[General]\nConnection Registry File=\n",
                  "[General]\nConnection Registry File=/etc/tarvell/conn.ini\n", "/etc/tarvell/conn.ini"},
        StoreCase{"neither", "[General]\nDriver Registry File=/home/a/drv.ini\n", "[Other]\nx=y\n", {}}),
    [](const testing::TestParamInfo<StoreCase>& info) { return caseName(info.param.what); });

}  // namespace
