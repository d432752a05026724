#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

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

TEST_F(ConfigFileLocatorTest, AValueThatIsNotOneStringIsARegistryError) {
    DataLinkStore::set(ConfigFileLocator::DriverValueName, QStringList{"a", "b"});
    EXPECT_EQ(testsupport::messageOf<rt::RegistryError>([] { ConfigFileLocator::driversFile(); }),
              "Invalid data type for 'Driver Registry File'");
    DataLinkStore::set(ConfigFileLocator::ConnectionValueName, QByteArray("\x01\x02", 2));
    EXPECT_EQ(testsupport::messageOf<rt::RegistryError>([] { ConfigFileLocator::connectionsFile(); }),
              "Invalid data type for 'Connection Registry File'");
}

TEST(PathForMessage, PathsBecomeBig5AndCharactersBig5LacksBecomeQuestionMarks) {
    EXPECT_EQ(db::pathForMessage(QString::fromUtf8("/資料/商品.ini")), big5::fromUtf8("/資料/商品.ini"));
    EXPECT_EQ(db::pathForMessage(QString::fromUtf8("/x/😀商.ini")), "/x/?" + big5::fromUtf8("商") + ".ini");
}

}  // namespace
