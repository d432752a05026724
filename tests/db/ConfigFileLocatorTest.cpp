#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

TEST(PathForMessage, PathsBecomeBig5AndCharactersBig5LacksBecomeQuestionMarks) {
    EXPECT_EQ(db::pathForMessage(QString::fromUtf8("/資料/商品.ini")), big5::fromUtf8("/資料/商品.ini"));
    EXPECT_EQ(db::pathForMessage(QString::fromUtf8("/x/😀商.ini")), "/x/?" + big5::fromUtf8("商") + ".ini");
}

}  // namespace
