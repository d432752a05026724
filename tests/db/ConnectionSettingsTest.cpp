// Where the connection's settings come from, and what each failure of the
// settings says.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CaseName.h"
#include "ConfigFileLocator.h"
#include "ConnectionsFileMissing.h"
#include "ConnectionTestSupport.h"
#include "Errors.h"
#include "ScopeGuard.h"

namespace {

using db::ConfigFileLocator;
using testsupport::ConfigFolder;
using testsupport::DataLinkStore;
using testsupport::messageOf;

class ConnectionSettings : public testsupport::ConnectionFixture {
protected:
    std::string failure() {
        return messageOf<rt::DatabaseError>([this] { connection_->open(); });
    }
    // The program's own words, before the loader's reason.
    std::string failureBeforeReason() {
        const std::string message = failure();
        return message.substr(0, message.find(": "));
    }
    std::string connectArguments() {
        const auto calls = recording::calls("conn1.connect");
        return calls.empty() ? std::string() : calls.front();
    }
};

TEST_F(ConnectionSettings, TheFileSectionsReplaceTheStoredSettings) {
    db::TDataLinkConnection& connection = makeConnection();
    EXPECT_EQ(connection.Params().value("Database"), "POSDATA.FDB");
    EXPECT_EQ(connection.Params().count(), 14u);
    EXPECT_TRUE(recording::log().empty()) << "applying the stored values does not connect";

    connection.open();
    EXPECT_TRUE(connection.connected());
    EXPECT_EQ(connection.DriverName(), "Recording");
    EXPECT_EQ(connection.LibraryName(), "librecordingdriver.so");
    EXPECT_EQ(connection.VendorLib(), "libfbclient.so.2");
    EXPECT_EQ(connection.GetDriverFunc(), "getSQLDriverRECORDING");
    EXPECT_EQ(connection.Params().value("Database"), "dbhost:/data/POSDATA.FDB");
    EXPECT_EQ(connection.Params().value("Recording TransIsolation"), "ReadCommited");
    EXPECT_TRUE(connection.settingsLoaded());
    EXPECT_EQ(connectArguments(), "conn1.connect(dbhost:/data/POSDATA.FDB,sysdba,quorvane)");
}

TEST_F(ConnectionSettings, LetterCaseAndBlanksDoNotMatter) {
    writeConnections(
        "[VUZEZA]\n"
        "  drivername  =  Recording  \n"
        "DATABASE = dbhost:/x.fdb\n"
        "user_name=SYSDBA\n"
        "password = pw \n"
        "SQLDIALECT=1\n");
    writeDrivers("[RECORDING]\nlibraryname = librecordingdriver.so\nVENDORLIB=  libfbclient.so.2  \n"
                 "getdriverfunc=getSQLDriverRECORDING\n");
    makeConnection().open();
    EXPECT_EQ(connectArguments(), "conn1.connect(dbhost:/x.fdb,SYSDBA,pw)");
    EXPECT_EQ(recording::calls("conn1.setOption(16"), (std::vector<std::string>{"conn1.setOption(16,1)"}));
    EXPECT_EQ(recording::calls("entry"), (std::vector<std::string>{"entry(libfbclient.so.2,)"}));
}

TEST_F(ConnectionSettings, MissingPiecesOfTheConnectionSection) {
    writeConnections("[Other]\nDriverName=Recording\nDatabase=x\n");
    makeConnection();
    EXPECT_EQ(failure(), "Missing DriverName property");
    EXPECT_TRUE(connection_->Params().empty());

    writeConnectionSection("DriverName=Recording\nUser_Name=sysdba\n");
    makeConnection();
    EXPECT_EQ(failure(), "Missing Database property");

    writeConnectionSection("DriverName=Recording\nDatabase=   \n");
    makeConnection();
    EXPECT_EQ(failure(), "Missing Database property") << "the file trims the blanks away";

    // Set by hand, blanks pass the check and connect to the trimmed name;
    // without a password there is no prompt.
    makeConnectionSetByHand(db::ConnectionParams{"Database=   "}).open();
    EXPECT_EQ(connectArguments(), "conn1.connect(,,)");
    EXPECT_FALSE(connection_->LoginPrompt());

    makeConnection();
    connection_->setConnectionName("");
    EXPECT_EQ(failure(), "Connection name missing");
    connection_->setLoadParamsOnConnect(false);
    connection_->Params().setValue("Database", "");
    EXPECT_EQ(failure(), "Connection name missing");
}

TEST_F(ConnectionSettings, MissingPiecesOfTheDriverSection) {
    makeConnection();
    QFile::remove(folder_.path("dldrivers.ini"));
    EXPECT_EQ(failure(), "DLL/Shared Library Name not Set");
    EXPECT_EQ(connection_->LibraryName(), "") << "the stored libdlfirebird.so never serves";

    writeDrivers("[Firebird]\nLibraryName=librecordingdriver.so\n");
    EXPECT_EQ(failure(), "DLL/Shared Library Name not Set");

    writeDrivers("[Recording]\nLibraryName=librecordingdriver.so\nVendorLib=   \nGetDriverFunc=getSQLDriverRECORDING\n");
    EXPECT_EQ(failure(), "DLL/Shared Library Name not Set");

    writeDrivers("[Recording]\nLibraryName=libnosuchdriver.so\nVendorLib=libfbclient.so.2\nGetDriverFunc=x\n");
    EXPECT_EQ(failureBeforeReason(), "Unable to Load libnosuchdriver.so");

    writeDrivers("[Recording]\nLibraryName=librecordingdriver.so\nVendorLib=libfbclient.so.2\n");
    EXPECT_EQ(failureBeforeReason(), "Unable to Find Procedure ");
    writeDrivers("[Recording]\nLibraryName=librecordingdriver.so\nVendorLib=libfbclient.so.2\nGetDriverFunc=getSQLDriverNONE\n");
    EXPECT_EQ(failureBeforeReason(), "Unable to Find Procedure getSQLDriverNONE");
    EXPECT_TRUE(recording::log().empty());
    EXPECT_EQ(connection_->state(), db::ConnectionState::Closed);

    // The library handle was kept; the export is looked up again.
    writeDrivers(kDrivers);
    connection_->open();
    EXPECT_TRUE(connection_->connected());
}

using testsupport::caseName;

// The loader's reason follows the program's message: whether the file is
// missing or lacks the entry is what an administrator needs to know.
struct LoaderFailure {
    const char* drivers;
    const char* message;
    const char* reason;
};

void PrintTo(const LoaderFailure& failure, std::ostream* out) { *out << failure.message; }

class DriverLibraryFailure : public ConnectionSettings, public testing::WithParamInterface<LoaderFailure> {};

TEST_P(DriverLibraryFailure, GivesTheLoadersReasonAfterTheMessage) {
    makeConnection();
    writeDrivers(GetParam().drivers);
    const std::string message = failure();
    EXPECT_EQ(message.substr(0, message.find(": ")), GetParam().message);
    EXPECT_NE(message.find(GetParam().reason), std::string::npos) << message;
    EXPECT_EQ(connection_->state(), db::ConnectionState::Closed);
}

INSTANTIATE_TEST_SUITE_P(
    MissingFileOrEntry, DriverLibraryFailure,
    testing::Values(
        LoaderFailure{"[Recording]\nLibraryName=libnosuchdriver.so\nVendorLib=libfbclient.so.2\nGetDriverFunc=x\n",
                      "Unable to Load libnosuchdriver.so",
                      ": libnosuchdriver.so: cannot open shared object file: No such file or directory"},
        LoaderFailure{"[Recording]\nLibraryName=librecordingdriver.so\nVendorLib=libfbclient.so.2\n"
                      "GetDriverFunc=getSQLDriverNONE\n",
                      "Unable to Find Procedure getSQLDriverNONE", "undefined symbol: getSQLDriverNONE"}),
    [](const testing::TestParamInfo<LoaderFailure>& info) { return caseName(info.param.message); });

TEST_F(ConnectionSettings, StoredNamesAreTrimmedForLoadingButShownAsStored) {
    makeConnectionSetByHand(db::ConnectionParams{"Database=x"});
    connection_->setLibraryName("  libnosuchdriver.so ");
    connection_->setVendorLib(" libfbclient.so.2 ");
    connection_->setGetDriverFunc(" getSQLDriverNONE ");
    EXPECT_EQ(failureBeforeReason(), "Unable to Load   libnosuchdriver.so ");
    connection_->setLibraryName("  librecordingdriver.so ");
    EXPECT_EQ(failureBeforeReason(), "Unable to Find Procedure  getSQLDriverNONE ");
    connection_->setGetDriverFunc(" getSQLDriverRECORDING ");
    connection_->setVendorLib("   ");
    EXPECT_EQ(failure(), "DLL/Shared Library Name not Set");
    connection_->setVendorLib(" libfbclient.so.2 ");
    connection_->open();
    EXPECT_EQ(recording::calls("entry"), (std::vector<std::string>{"entry( libfbclient.so.2 ,)"}));
}

TEST_F(ConnectionSettings, TheRegistryValuesDecideWhereTheFilesAre) {
    const QString missing = folder_.path("nowhere/conn.ini");
    DataLinkStore::set(ConfigFileLocator::ConnectionValueName, missing);
    makeConnection();
    EXPECT_EQ(failure(), "Driver/Connection Registry File '" + missing.toStdString() + "' not found");

    // A value that cannot be a path: swallowed when the connection is made...
    DataLinkStore::setBytes(ConfigFileLocator::ConnectionValueName, "/srv/\xFF.ini");
    makeConnection();
    EXPECT_EQ(connection_->connectionsFilePath(), QString());
    EXPECT_EQ(failure(), "Driver/Connection Registry File '' not found");

    // ...but it ends the connect for the drivers file.
    DataLinkStore::set(ConfigFileLocator::ConnectionValueName, folder_.path("dlconnections.ini"));
    DataLinkStore::setBytes(ConfigFileLocator::DriverValueName, "/srv/\xFF.ini");
    makeConnection();
    EXPECT_EQ(messageOf<rt::RegistryError>([this] { connection_->open(); }),
              "Invalid data type for 'Driver Registry File'");
    EXPECT_FALSE(connection_->connected());
}

TEST_F(ConnectionSettings, ConfigurationFilesThatAreNoRegularFilesAreNotFound) {
    const QString fifo = folder_.path("fifo.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
        DataLinkStore::set(ConfigFileLocator::ConnectionValueName, path);
        makeConnection();
        EXPECT_EQ(failure(), "Driver/Connection Registry File '" + path.toStdString() + "' not found");
    }
    // As the drivers file it holds no driver section.
    DataLinkStore::set(ConfigFileLocator::ConnectionValueName, folder_.path("dlconnections.ini"));
    DataLinkStore::set(ConfigFileLocator::DriverValueName, fifo);
    makeConnection();
    EXPECT_EQ(failure(), "DLL/Shared Library Name not Set");
}

TEST_F(ConnectionSettings, FilesWrittenWithAByteOrderMarkConnect) {
    writeConnections("\xEF\xBB\xBF" + kConnections);
    writeDrivers("\xEF\xBB\xBF" + kDrivers);
    makeConnection().open();
    EXPECT_TRUE(connection_->connected());
    EXPECT_EQ(connectArguments(), "conn1.connect(dbhost:/data/POSDATA.FDB,sysdba,quorvane)");
}

// Counts the times the files are opened, as the kernel sees it.
class FileOpenCounter {
public:
    explicit FileOpenCounter(const std::vector<QString>& paths)
        : descriptor_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        for (const QString& path : paths)
            watches_.push_back(inotify_add_watch(descriptor_, QFile::encodeName(path).constData(), IN_OPEN));
    }
    ~FileOpenCounter() { ::close(descriptor_); }
    // Opens per watched file, in the order the paths were given.
    std::vector<int> opens() const {
        std::vector<int> counts(watches_.size(), 0);
        alignas(inotify_event) char buffer[4096];
        ssize_t length = 0;
        while ((length = ::read(descriptor_, buffer, sizeof buffer)) > 0) {
            for (char* at = buffer; at < buffer + length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                for (std::size_t i = 0; i < watches_.size(); ++i)
                    if (watches_[i] == event->wd) ++counts[i];
                at += sizeof(inotify_event) + event->len;
            }
        }
        return counts;
    }

private:
    int descriptor_;
    std::vector<int> watches_;
};

TEST_F(ConnectionSettings, AConnectReadsEachFileOnce) {
    makeConnection();
    const FileOpenCounter counter({folder_.path("dlconnections.ini"), folder_.path("dldrivers.ini")});
    connection_->open();
    ASSERT_TRUE(connection_->connected());
    EXPECT_EQ(counter.opens(), (std::vector<int>{1, 1}));
}

// The real test programs' folder may hold configuration files of its own
// (the run command writes the demo's there), so the program's folder is one
// of the test's own.
TEST_F(ConnectionSettings, WithoutTheRegistryKeyTheFilesBesideTheExecutableServe) {
    DataLinkStore::clear();
    const ConfigFolder programFolder;
    ConfigFileLocator::setProgramFolder(programFolder.folder());
    const rt::ScopeGuard executablesFolderAgain([] { ConfigFileLocator::setProgramFolder(QString()); });
    programFolder.write("dlconnections.ini", kConnections);
    programFolder.write("dldrivers.ini", kDrivers);

    makeConnection();
    EXPECT_EQ(connection_->connectionsFilePath(), programFolder.path("dlconnections.ini"));
    connection_->open();
    EXPECT_TRUE(connection_->connected());
    EXPECT_EQ(connection_->Params().value("Database"), "dbhost:/data/POSDATA.FDB");
}

// A first run: no value in either store, no file beside the program. The
// message stays the one every caller knows; the guidance under it names
// every place looked, in the order looked, the examples and the manual.
TEST_F(ConnectionSettings, WithNoConnectionsFileAnywhereTheGuidanceNamesEveryPlaceLooked) {
    DataLinkStore::clear();
    const ConfigFolder programFolder;
    ConfigFileLocator::setProgramFolder(programFolder.folder());
    const rt::ScopeGuard executablesFolderAgain([] { ConfigFileLocator::setProgramFolder(QString()); });
    const QString userStore = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Kelvane/DataLink.conf";
    const QString systemStore = qEnvironmentVariable("XDG_CONFIG_DIRS") + "/Kelvane/DataLink.conf";
    const QString besideProgram = programFolder.path("dlconnections.ini");
    // Either store may be there without the value.
    for (const bool storesThere : {false, true}) {
        if (storesThere) {
            DataLinkStore::set(ConfigFileLocator::DriverValueName, "/opt/pos/dldrivers.ini");
            QDir().mkpath(QFileInfo(systemStore).path());
            QFile system(systemStore);
            ASSERT_TRUE(system.open(QIODevice::WriteOnly | QIODevice::Truncate));
            system.write("[General]\nDriver Registry File=/opt/pos/dldrivers.ini\n");
        }
        makeConnection();
        try {
            connection_->open();
            FAIL() << "connected without a connections file";
        } catch (const db::ConnectionsFileMissing& missing) {
            EXPECT_EQ(std::string(missing.what()),
                      "Driver/Connection Registry File '" + besideProgram.toStdString() + "' not found");
            const QString guidance = QString::fromStdString(missing.guidance());
            EXPECT_FALSE(guidance.contains('\n')) << "one line";
            const QString valueLooked = QStringLiteral(" (\"Connection Registry File\")");
            const qsizetype user = guidance.indexOf(userStore + valueLooked);
            const qsizetype system = guidance.indexOf(systemStore + valueLooked);
            const qsizetype beside = guidance.indexOf(besideProgram);
            EXPECT_TRUE(user >= 0 && system > user && beside > system) << guidance.toStdString();
            EXPECT_EQ(guidance.count(QStringLiteral("DataLink.conf")), 2) << guidance.toStdString();
            EXPECT_TRUE(guidance.contains(QStringLiteral(" /usr/share/doc/tarvell/examples/"))) << guidance.toStdString();
            EXPECT_TRUE(guidance.contains(QStringLiteral("man tarvell"))) << guidance.toStdString();
            EXPECT_EQ(db::errorGuidance(missing), missing.guidance());
        }
    }
    QFile::remove(systemStore);
    // A store that names a file that is not there: looked there, and not
    // beside the program.
    const QString named = programFolder.path("named.ini");
    DataLinkStore::set(ConfigFileLocator::ConnectionValueName, named);
    makeConnection();
    try {
        connection_->open();
        FAIL() << "connected without a connections file";
    } catch (const db::ConnectionsFileMissing& missing) {
        const QString guidance = QString::fromStdString(missing.guidance());
        EXPECT_TRUE(guidance.contains(userStore) && guidance.indexOf(named) > guidance.indexOf(userStore))
            << guidance.toStdString();
        EXPECT_FALSE(guidance.contains(besideProgram)) << guidance.toStdString();
    }
    // Other errors carry no guidance.
    EXPECT_EQ(db::errorGuidance(rt::DatabaseError("Missing DriverName property")), std::string());
}

TEST_F(ConnectionSettings, RetryAfterAFailureReadsTheDriverAgainButNotTheConnectionSection) {
    recording::answers().results["connect"] = dl::status::ConnectFailed;
    makeConnection();
    EXPECT_EQ(failure(), "DataLink Error: [0x0015]: Connection failed");
    EXPECT_TRUE(connection_->settingsLoaded());

    writeConnections(
        "[VuzEza]\nDriverName=Second\nDatabase=elsewhere:/other.fdb\nUser_Name=someone\nPassword=x\n");
    writeDrivers(kDrivers + "[Second]\nLibraryName=librecordingdriver.so\nVendorLib=libsecond.so\n"
                            "GetDriverFunc=getSQLDriverRECORDING\n");
    recording::answers().results.clear();
    connection_->open();
    EXPECT_EQ(connection_->DriverName(), "Second");
    EXPECT_EQ(recording::calls("entry").back(), "entry(libsecond.so,)");
    EXPECT_EQ(recording::calls("conn2.connect"),
              (std::vector<std::string>{"conn2.connect(dbhost:/data/POSDATA.FDB,sysdba,quorvane)"}));

    // A disconnect clears the flag: the edited section serves the next connect.
    connection_->close();
    EXPECT_FALSE(connection_->settingsLoaded());
    connection_->open();
    EXPECT_EQ(recording::calls("conn3.connect"), (std::vector<std::string>{"conn3.connect(elsewhere:/other.fdb,someone,x)"}));
}

TEST_F(ConnectionSettings, ASecondOpenWhileConnectedReadsNoFile) {
    makeConnection().open();
    const auto calls = recording::log().size();
    removeFiles();
    DataLinkStore::setBytes(ConfigFileLocator::DriverValueName, "/srv/\xFF.ini");
    connection_->open();
    EXPECT_TRUE(connection_->connected());
    EXPECT_EQ(recording::log().size(), calls);
}

TEST_F(ConnectionSettings, ConversionErrorsOfIntegerSettings) {
    writeConnections(kConnections + "SqlDialect=3a\n");  // the first SQLDialect=3 is found first
    makeConnection().open();
    EXPECT_TRUE(connection_->connected());
    connection_.reset();
    recording::reset();

    writeConnectionSection("DriverName=Recording\nDatabase=x\nSqlDialect=3a\n");
    makeConnection();
    EXPECT_EQ(messageOf<rt::ConversionError>([this] { connection_->open(); }), "'3a' is not a valid integer value");
    EXPECT_FALSE(connection_->connected());
    EXPECT_TRUE(recording::calls("conn1.connect").empty());

    writeConnectionSection("DriverName=Recording\nDatabase=x\nConnection Timeout= 1 0\n");
    makeConnection();
    EXPECT_EQ(messageOf<rt::ConversionError>([this] { connection_->open(); }), "'1 0' is not a valid integer value");

    writeConnectionSection("DriverName=Recording\nDatabase=x\nBlobSize=big\n");
    recording::reset();
    makeConnection();
    EXPECT_EQ(messageOf<rt::ConversionError>([this] { connection_->open(); }), "'big' is not a valid integer value");
    EXPECT_EQ(recording::calls("conn1.connect").size(), 1u) << "the blob size is set after connecting";
    EXPECT_FALSE(connection_->connected());
}

TEST_F(ConnectionSettings, RowsetSizeAndLocaleCode) {
    makeConnection();
    EXPECT_EQ(connection_->rowsetSize(), 20);
    EXPECT_EQ(connection_->localeCode(), 0);
    connection_->Params().add("RowsetSize= 50 ");
    connection_->Params().setValue("LocaleCode", "0404");
    EXPECT_EQ(connection_->rowsetSize(), 50);
    EXPECT_EQ(connection_->localeCode(), 0x404);
    connection_->Params().setValue("RowsetSize", "many");
    EXPECT_EQ(connection_->rowsetSize(), 20);
}

}  // namespace
