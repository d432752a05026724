// The calls the connection makes on the driver library, in order, and what
// it keeps, forgets and says when one of them fails.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

#include <algorithm>

#include "CaseName.h"
#include "ConnectionOptions.h"
#include "ConnectionTestSupport.h"
#include "Errors.h"

namespace {

using Log = std::vector<std::string>;
using testsupport::messageOf;

class ConnectionSequence : public testsupport::ConnectionFixture {
protected:
    // Connects with a VuzEza section of these lines and gives the driver calls made.
    Log connectWith(const std::string& lines) {
        recording::reset();
        writeConnectionSection("DriverName=Recording\nDatabase=db\n" + lines);
        makeConnection().open();
        EXPECT_TRUE(connection_->connected());
        return recording::log();
    }
    // The calls setting connection options before the connect.
    Log optionsWith(const std::string& lines) {
        const Log log = connectWith(lines);
        Log options;
        for (const std::string& entry : log) {
            if (entry.rfind("conn1.connect", 0) == 0) break;
            if (entry.rfind("conn1.setOption", 0) == 0) options.push_back(entry);
        }
        return options;
    }
    std::string failure() {
        return messageOf<rt::DatabaseError>([this] { connection_->open(); });
    }
    // Position of the nth (from 0) occurrence of entry in the log; its size when absent.
    static std::size_t indexOf(const std::string& entry, int nth = 0) {
        const Log& log = recording::log();
        auto at = log.begin();
        for (;; ++at) {
            at = std::find(at, log.end(), entry);
            if (at == log.end() || nth-- == 0) break;
        }
        return static_cast<std::size_t>(at - log.begin());
    }
};

TEST_F(ConnectionSequence, TheStoredSettingsConnectWithTheseCallsInThisOrder) {
    makeConnection().open();
    EXPECT_EQ(recording::log(), (Log{
                                    "entry(libfbclient.so.2,)",
                                    "driver1.getConnection()",
                                    "conn1.setOptionText(3,RoleName)",
                                    "conn1.setOption(4,1)",
                                    "conn1.setOption(5,0)",
                                    "conn1.setOption(6,0)",
                                    "conn1.setOption(16,3)",
                                    "conn1.setOption(25,0)",
                                    "conn1.connect(dbhost:/data/POSDATA.FDB,sysdba,quorvane)",
                                    "conn1.getOption(14,4)",
                                    "conn1.getMetaData()",
                                    "meta1.setOptionText(1,sysdba)",
                                    "meta1.getOption(11,1)",
                                    "conn1.setOption(2,-1)",
                                    "meta1.getOption(5,4)",
                                    "meta1.getOption(15,4)",
                                }));
    EXPECT_EQ(connection_->state(), db::ConnectionState::Open);
    EXPECT_EQ(connection_->quoteChar(), "\"");
    EXPECT_TRUE(connection_->transactionsSupported());
    EXPECT_FALSE(connection_->multipleTransactions());
    EXPECT_EQ(connection_->maxStatementsPerConnection(), 0);
}

using testsupport::caseName;

// Each setting of the connection section reaches the driver read as what
// it is: text trimmed, a flag only from "true" in any letter case, a number
// as a number; a section that sets many passes each one once.
struct OptionReading {
    const char* line;
    const char* call;
};

void PrintTo(const OptionReading& reading, std::ostream* out) { *out << reading.line; }

class OptionReadings : public ConnectionSequence, public testing::WithParamInterface<OptionReading> {};

TEST_P(OptionReadings, ReachTheDriverOnceReadAsTheirKind) {
    const Log options = optionsWith(std::string(GetParam().line) + "\n");
    EXPECT_EQ(std::count(options.begin(), options.end(), GetParam().call), 1) << testing::PrintToString(options);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, OptionReadings,
    testing::Values(OptionReading{"HostName= pos-server ", "conn1.setOptionText(10,pos-server)"},
                    OptionReading{"RoleName= R ", "conn1.setOptionText(3,R)"},
                    OptionReading{"WaitOnLocks=true", "conn1.setOption(4,1)"},
                    OptionReading{"CommitRetain=False", "conn1.setOption(5,0)"},
                    OptionReading{"AutoCommit= True ", "conn1.setOption(0,1)"},
                    OptionReading{"BlockingMode=1", "conn1.setOption(1,0)"},
                    OptionReading{"ServerCharSet= BIG_5 ", "conn1.setOptionText(15,BIG_5)"},
                    OptionReading{"Recording TransIsolation=RepeatableRead", "conn1.setOption(6,1)"},
                    OptionReading{"SqlDialect=-1", "conn1.setOption(16,-1)"},
                    OptionReading{"OS Authentication=yes", "conn1.setOption(20,0)"},
                    OptionReading{"Server Port= 3050 ", "conn1.setOptionText(23,3050)"},
                    OptionReading{"Multiple Transaction=TRUE", "conn1.setOption(22,1)"},
                    OptionReading{"Trim Char=true", "conn1.setOption(25,1)"},
                    OptionReading{"Custom String= a b ", "conn1.setOptionText(31,a b)"},
                    OptionReading{"Connection Timeout= 30 ", "conn1.setOption(32,30)"}),
    [](const testing::TestParamInfo<OptionReading>& info) {
        const std::string line = info.param.line;
        return caseName(line.substr(0, line.find('=')));
    });

TEST_F(ConnectionSequence, EveryOptionOfAFullSectionIsSetBeforeTheConnect) {
    const Log options = optionsWith(
        "Connection Timeout= 30 \nCustom String= a b \nTrim Char=true\nMultiple Transaction=TRUE\n"
        "Server Port= 3050 \nOS Authentication=yes\nSqlDialect=-1\nRecording TransIsolation=RepeatableRead\n"
        "ServerCharSet= BIG_5 \nBlockingMode=1\nAutoCommit= True \nCommitRetain=False\nWaitOnLocks=true\n"
        "RoleName= R \nHostName= pos-server \n");
    EXPECT_EQ(options.size(), 15u) << testing::PrintToString(options);
    EXPECT_LT(indexOf("conn1.setOption(32,30)"), indexOf("conn1.connect(db,,)"));
    EXPECT_EQ(connection_->transactionIsolationLevel(), 1);
}

TEST_F(ConnectionSequence, FlagsIsolationLevelsAndSkippedOptions) {
    EXPECT_EQ(optionsWith("WaitOnLocks= True \n"), Log{"conn1.setOption(4,1)"});
    EXPECT_EQ(optionsWith("WaitOnLocks=TRUE\n"), Log{"conn1.setOption(4,1)"});
    EXPECT_EQ(optionsWith("WaitOnLocks=yes\n"), Log{"conn1.setOption(4,0)"});
    EXPECT_EQ(optionsWith("WaitOnLocks=1\n"), Log{"conn1.setOption(4,0)"});

    EXPECT_EQ(optionsWith("Recording TransIsolation=dirtyREAD\n"), Log{"conn1.setOption(6,2)"});
    EXPECT_EQ(connection_->transactionIsolationLevel(), 2);
    EXPECT_EQ(optionsWith("recording transisolation=ReadCommited\n"), Log{"conn1.setOption(6,0)"});
    EXPECT_EQ(optionsWith("Recording TransIsolation=Serializable\n"), Log{"conn1.setOption(6,0)"});
    // Compared without trimming (only a value set by hand can keep blanks).
    EXPECT_EQ(db::readIsolationLevel(" RepeatableRead"), 0);
    EXPECT_EQ(db::readIsolationLevel("REPEATABLEREAD"), 1);
    EXPECT_EQ(optionsWith("Firebird TransIsolation=DirtyRead\n"), Log{}) << "the key follows DriverName";

    EXPECT_EQ(optionsWith("ServerCharSet=\nHostName=\nServer Port=\n"), Log{});
    // BlobSize is set after connecting: its trimmed value, or -1 when absent.
    EXPECT_EQ(recording::calls("conn1.setOption(2,"), Log{"conn1.setOption(2,-1)"});
    connectWith("BlobSize= 4096 \n");
    EXPECT_EQ(recording::calls("conn1.setOption(2,"), Log{"conn1.setOption(2,4096)"});
}

TEST_F(ConnectionSequence, TheLoginListTakesTheFirstValuesAndNoSchemaForNoUser) {
    connectWith("user_name=first\nUSER_NAME=second\npassword=p w\nDatabase=ignored\n");
    EXPECT_EQ(recording::calls("conn1.connect"), Log{"conn1.connect(db,first,p w)"});
    EXPECT_EQ(recording::calls("meta1.setOptionText"), Log{"meta1.setOptionText(1,first)"});
    connectWith("User_Name=\n");
    EXPECT_EQ(recording::calls("conn1.connect"), Log{"conn1.connect(db,,)"});
    EXPECT_TRUE(recording::calls("meta1.setOptionText").empty());

    // Values set by hand: user name and password go as they stand, the
    // schema name and the database trimmed.
    recording::reset();
    makeConnectionSetByHand(db::ConnectionParams{"Password= p ", "Database= d ", "User_Name= u "}).open();
    EXPECT_EQ(recording::calls("conn1.connect"), Log{"conn1.connect(d, u , p )"});
    EXPECT_EQ(recording::calls("meta1.setOptionText"), Log{"meta1.setOptionText(1,u)"});
}

TEST_F(ConnectionSequence, OptionsTheDriverRefusesDoNotStopTheConnect) {
    recording::answers().results["setOption"] = dl::status::NotSupported;
    recording::answers().results["setOptionText"] = dl::status::InvalidParameter;
    recording::answers().results["getOption"] = dl::status::NotSupported;
    recording::answers().results["meta.setOptionText"] = dl::status::NotSupported;
    recording::answers().maxStatements = 5;
    writeConnections(kConnections + "HostName=h\n");
    makeConnection().open();
    EXPECT_TRUE(connection_->connected());
    EXPECT_EQ(connection_->quoteChar(), "") << "a refused quote query keeps no character";
    recording::reset();
    recording::answers().quoteChar = '\0';
    makeConnection().open();
    EXPECT_EQ(connection_->quoteChar(), "");
}

TEST_F(ConnectionSequence, DriverFailuresAreWordedFromStatusAndDriverText) {
    struct Case {
        const char* call;
        dl::DriverResult status;
        std::string driverText;
        std::string expected;
    };
    const Case cases[] = {
        {"connect", dl::status::ConnectFailed, "unavailable database",
         "DataLink Error: [0x0015]: Connection failed\r\nSQL Server Error: unavailable database"},
        {"connect", dl::status::InvalidUserPassword, "", "DataLink Error: [0x000C] Invalid Username/Password"},
        {"connect", 0x12, "lock time-out", "SQL Server Error: lock time-out"},
        {"connect", 0x10012, "", "DataLink Error: Unknown Error Code '18'"},
        {"getConnection", dl::status::DriverInitFailed, "", "DataLink Error: [0x0016]: Driver initialization failed"},
        {"getMetaData", dl::status::NoMemory, "out of memory",
         "DataLink Error: [0x0002]: Insufficient Memory for Operation\r\nSQL Server Error: out of memory"},
    };
    for (const Case& c : cases) {
        recording::reset();
        recording::answers().results[c.call] = c.status;
        recording::answers().errorText = c.driverText;
        makeConnection();
        EXPECT_EQ(failure(), c.expected) << c.call;
        EXPECT_EQ(connection_->lastError(), c.expected);
        EXPECT_FALSE(connection_->connected());
        EXPECT_EQ(connection_->state(), db::ConnectionState::Closed);
    }
}

TEST_F(ConnectionSequence, AFailureWithoutTextRepeatsTheLastErrorUntilTheNameChanges) {
    recording::answers().results["connect"] = dl::status::ConnectFailed;
    makeConnection();
    EXPECT_EQ(failure(), "DataLink Error: [0x0015]: Connection failed");
    recording::answers().results["connect"] = 0x12;
    EXPECT_EQ(failure(), "DataLink Error: [0x0015]: Connection failed");
    connection_->setConnectionName("Elsewhere");
    EXPECT_EQ(connection_->lastError(), "");
    writeConnections("[Elsewhere]\n" + kConnections.substr(kConnections.find('\n') + 1));
    EXPECT_EQ(failure(), "DataLink Error: Unknown Error Code '18'");
}

TEST_F(ConnectionSequence, TheDriverEntryMustGiveADriver) {
    recording::answers().entryResult = 1;
    makeConnection();
    EXPECT_EQ(failure(), "Unable to Load libfbclient.so.2");
    recording::answers().entryResult = 0;
    recording::answers().entryGivesDriver = false;
    EXPECT_EQ(failure(), "Unable to Load libfbclient.so.2");
    writeConnectionSection("DriverName=Recording\nDatabase=x\nErrorResourceFile=errors.res\n");
    EXPECT_EQ(failure(), "Unable to Load libfbclient.so.2");
    EXPECT_EQ(recording::calls("entry"),
              (Log{"entry(libfbclient.so.2,)", "entry(libfbclient.so.2,)", "entry(libfbclient.so.2,)"}))
        << "the connection section is not read again";
    makeConnection();
    EXPECT_EQ(failure(), "Unable to Load libfbclient.so.2");
    EXPECT_EQ(recording::calls("entry").back(), "entry(libfbclient.so.2,errors.res)");
}

TEST_F(ConnectionSequence, AFailedConnectReleasesTheConnectionAndKeepsTheDriverUntilTheNextAttempt) {
    recording::answers().results["connect"] = dl::status::ConnectFailed;
    makeConnection();
    failure();
    EXPECT_GE(indexOf("conn1.release()"), indexOf("conn1.connect(dbhost:/data/POSDATA.FDB,sysdba,quorvane)"));
    EXPECT_LT(indexOf("conn1.release()"), recording::log().size());
    EXPECT_EQ(recording::liveObjects(), 1) << "the driver object stays held";
    EXPECT_EQ(connection_->driverConnection(), nullptr);

    recording::answers().results.clear();
    connection_->open();
    EXPECT_LT(indexOf("driver1.release()"), indexOf("entry(libfbclient.so.2,)", 1));
    EXPECT_EQ(recording::liveObjects(), 3);

    // Failing after the metadata step gives back both objects.
    recording::reset();
    writeConnectionSection("DriverName=Recording\nDatabase=x\nBlobSize=x\n");
    makeConnection();
    EXPECT_THROW(connection_->open(), rt::ConversionError);
    EXPECT_EQ(recording::liveObjects(), 1);
}

TEST_F(ConnectionSequence, AfterConnectFollowsEveryBeforeConnectOnceWhetherTheConnectWorkedOrNot) {
    std::vector<std::string> events;
    recording::setCallHook([&events](const std::string& call) { events.push_back(call); });
    const auto watch = [&events](db::TDataLinkConnection& connection) {
        connection.BeforeConnect = [&events] { events.push_back("before"); };
        connection.AfterConnect = [&events] { events.push_back("after"); };
    };

    watch(makeConnection());
    connection_->open();
    ASSERT_GE(events.size(), 3u) << "driver calls between the two events";
    EXPECT_EQ(events.front(), "before");
    EXPECT_EQ(events.back(), "after");
    connection_->open();  // already connected: no connect, no events
    EXPECT_EQ(std::count(events.begin(), events.end(), "before"), 1);

    // A refused connect, then a driver library that cannot be loaded.
    for (const char* drivers : {"", "[Recording]\nLibraryName=libnosuchdriver.so\nVendorLib=v\n"}) {
        events.clear();
        recording::answers().results["connect"] = dl::status::ConnectFailed;
        if (*drivers) writeDrivers(drivers);
        watch(makeConnection());
        EXPECT_ANY_THROW(connection_->open());
        EXPECT_EQ(std::count(events.begin(), events.end(), "before"), 1) << drivers;
        EXPECT_EQ(std::count(events.begin(), events.end(), "after"), 1) << drivers;
        EXPECT_EQ(events.back(), "after") << drivers;
    }
    recording::setCallHook(nullptr);
}

class RecordingClient : public db::TDataLinkConnectionClient {
public:
    void connectionOpened() override { events.push_back("opened " + std::to_string(recording::log().size())); }
    void connectionClosing() override { events.push_back("closing " + std::to_string(recording::log().size())); }
    void connectionDestroyed() override { events.push_back("destroyed"); }
    std::vector<std::string> events;
};

TEST_F(ConnectionSequence, DestructionTellsTheClientsThenGivesEverythingBack) {
    RecordingClient client;
    makeConnection().addClient(&client);
    connection_->open();
    const std::size_t connected = recording::log().size();
    connection_.reset();
    EXPECT_EQ(client.events, (Log{"opened " + std::to_string(connected), "closing " + std::to_string(connected),
                                  "destroyed"}));
    const Log tail(recording::log().begin() + static_cast<std::ptrdiff_t>(connected), recording::log().end());
    EXPECT_EQ(tail, (Log{"meta1.release()", "conn1.disconnect()", "conn1.release()", "driver1.release()"}));
    EXPECT_EQ(recording::liveObjects(), 0);
}

TEST_F(ConnectionSequence, CloseAndOpenAgainReadsTheFilesAgain) {
    RecordingClient client;
    makeConnection().addClient(&client);
    connection_->open();
    connection_->close();
    EXPECT_FALSE(connection_->connected());
    EXPECT_FALSE(connection_->settingsLoaded());
    EXPECT_EQ(client.events.size(), 2u);
    connection_->removeClient(&client);
    removeFiles();
    EXPECT_EQ(failure(), "Driver/Connection Registry File '" +
                             folder_.path("dlconnections.ini").toStdString() + "' not found");
}

TEST_F(ConnectionSequence, PropertiesCannotChangeUnderAnOpenConnection) {
    makeConnection().open();
    const std::string refused = "Cannot perform this operation on an open connection";
    EXPECT_EQ(messageOf<rt::DatabaseError>([this] { connection_->Params().add("HostName=x"); }), refused);
    EXPECT_EQ(messageOf<rt::DatabaseError>([this] { connection_->Params().clear(); }), refused);
    EXPECT_EQ(messageOf<rt::DatabaseError>([this] { connection_->setDriverName("Other"); }), refused);
    EXPECT_EQ(connection_->Params().value("Database"), "dbhost:/data/POSDATA.FDB");
    connection_->setDriverName("Recording");  // the same name is no change

    connection_->setConnectionName("Other");
    EXPECT_FALSE(connection_->connected());
    EXPECT_EQ(recording::calls("conn1.disconnect").size(), 1u);
    connection_->Params().add("HostName=x");
}

TEST_F(ConnectionSequence, ASecondConnectionOnceTheDriversStatementLimitIsReached) {
    recording::answers().maxStatements = 2;
    makeConnection().open();
    removeFiles();  // the second connection reads no file
    EXPECT_EQ(&connection_->connectionForStatement(true), connection_.get());
    EXPECT_EQ(&connection_->connectionForStatement(false), connection_.get());
    db::TDataLinkConnection& second = connection_->connectionForStatement(true);
    ASSERT_NE(&second, connection_.get());
    EXPECT_EQ(second.name(), "SQLConnection1Clone1");
    EXPECT_TRUE(second.connected());
    EXPECT_FALSE(second.LoadParamsOnConnect());
    EXPECT_FALSE(second.LoginPrompt());
    EXPECT_EQ(second.Params().lines(), connection_->Params().lines());
    EXPECT_EQ(second.DriverName(), "Recording");
    EXPECT_EQ(connection_->activeStatements(), 0);
    EXPECT_EQ(recording::calls("conn2.connect"), Log{"conn2.connect(dbhost:/data/POSDATA.FDB,sysdba,quorvane)"});
    EXPECT_EQ(&connection_->connectionForStatement(true), connection_.get());

    connection_.reset();
    EXPECT_EQ(recording::liveObjects(), 0);
    EXPECT_EQ(recording::calls("conn2.disconnect").size(), 1u);
}

TEST_F(ConnectionSequence, NoSecondConnectionWhileTheLimitIsZeroOrTheSwitchIsOff) {
    makeConnection().open();
    for (int i = 0; i < 50; ++i) EXPECT_EQ(&connection_->connectionForStatement(true), connection_.get());
    EXPECT_EQ(recording::calls("driver1.getConnection").size(), 1u);

    recording::reset();
    recording::answers().maxStatements = 1;
    makeConnection().open();
    connection_->setSecondConnection(false);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(&connection_->connectionForStatement(true), connection_.get());
    EXPECT_EQ(recording::calls("driver1.getConnection").size(), 1u);
}

}  // namespace
