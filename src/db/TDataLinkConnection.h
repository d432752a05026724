// The database connection of the window. It connects on demand, the first
// time a dataset bound to it opens or executes, with the settings it reads
// at that moment from the connections file and the drivers file, and stays
// connected until it is destroyed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <QString>
#include <QStringList>

#include "DriverErrorMessage.h"
#include "DriverInterface.h"
#include "ConnectionSettings.h"
#include "ConnectionParams.h"

namespace db {

// Datasets bound to a connection register so that it can tell them when it
// connects and close them (release their driver commands and cursors) before
// it disconnects.
class TDataLinkConnectionClient {
public:
    virtual void connectionOpened() {}
    // Release every driver object taken from the connection.
    virtual void connectionClosing() = 0;
    // The connection is being destroyed: forget it, never call it again.
    virtual void connectionDestroyed() {}

protected:
    ~TDataLinkConnectionClient() = default;
};

enum class ConnectionState { Closed, Connecting, Open, Executing, Disconnecting };

class ConfigFile;

class TDataLinkConnection {
public:
    explicit TDataLinkConnection(std::string name = "SQLConnection1");
    ~TDataLinkConnection();
    TDataLinkConnection(const TDataLinkConnection&) = delete;
    TDataLinkConnection& operator=(const TDataLinkConnection&) = delete;

    const std::string& name() const { return name_; }

    // The values the window stores for its connection; reads no file and
    // does not connect.
    void applyStoredProperties();
    static ConnectionParams storedParams();

    // Stored properties. Texts are Big5 bytes.
    const std::string& ConnectionName() const { return connectionName_; }
    // Another name disconnects first and forgets the loaded settings and the last error text.
    void setConnectionName(const std::string& value);
    const std::string& DriverName() const { return driverName_; }
    void setDriverName(const std::string& value);  // refused while connected
    const std::string& LibraryName() const { return libraryName_; }
    void setLibraryName(const std::string& value) { libraryName_ = value; }
    const std::string& VendorLib() const { return vendorLib_; }
    void setVendorLib(const std::string& value) { vendorLib_ = value; }
    const std::string& GetDriverFunc() const { return getDriverFunc_; }
    void setGetDriverFunc(const std::string& value) { getDriverFunc_ = value; }
    bool LoadParamsOnConnect() const { return loadParamsOnConnect_; }
    void setLoadParamsOnConnect(bool value) { loadParamsOnConnect_ = value; }
    bool LoginPrompt() const { return loginPrompt_; }
    void setLoginPrompt(bool value) { loginPrompt_ = value; }
    bool KeepConnection() const { return keepConnection_; }
    void setKeepConnection(bool value) { keepConnection_ = value; }
    // Every change of the list is refused while connected.
    ConnectionParams& Params() { return params_; }
    const ConnectionParams& Params() const { return params_; }
    void setParams(const ConnectionParams& value) { params_ = value; }

    // The settings it connects with, copied, so that another thread may use them.
    ConnectionSettings settings() const;
    // Takes another connection's settings and connects with them as they
    // are: no file read on connect, no login prompt. Refused while connected.
    void useSettings(const ConnectionSettings& settings);

    // Not stored: the second connection once the driver's statement limit is reached.
    bool secondConnection() const { return secondConnection_; }
    void setSecondConnection(bool value) { secondConnection_ = value; }

    // Events. AfterConnect follows every BeforeConnect once, whether the
    // connect worked or failed, so that what the one sets up the other can
    // undo (the window's busy cursor).
    std::function<void()> BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;

    // Connect on demand: nothing when connected, otherwise the whole connect sequence.
    void open();
    // Disconnect: clients told first, then the driver objects given back.
    void close();
    bool connected() const;
    ConnectionState state() const { return state_; }
    bool settingsLoaded() const { return settingsLoaded_; }
    const QString& connectionsFilePath() const { return connectionsFilePath_; }
    const std::string& lastError() const { return lastError_; }

    dl::IDriverConnection* driverConnection() const { return driverConnection_.get(); }
    // A reference of its own to the driver connection of the moment, for a
    // TConnectionInterrupt: it outlives a disconnect meanwhile. Safe to ask
    // from another thread than the one using the connection, which may
    // connect anew meanwhile; empty when there is none.
    dl::DriverRef<dl::IDriverConnection> sharedDriverConnection() const;
    // One round trip on an open connection; one found dead is disconnected,
    // so that the next statement connects anew, and true returned. One whose
    // server did not answer the round trip is disconnected and its error
    // raised. Only for a connection with no statement in flight: nothing is
    // retried here.
    bool disconnectIfDead();
    // How long one call may wait for the server before the connection is
    // closed and the call fails as a lost connection; zero leaves it to the
    // client library and the network, as does a connection never told.
    // Kept for every later connect.
    void setAnswerTimeout(std::chrono::seconds timeout);
    dl::IDriverMetaData* metaData() const { return metaData_.get(); }

    // What the driver reported after connecting.
    std::int32_t maxStatementsPerConnection() const { return maxStatements_; }
    const std::string& quoteChar() const { return quoteChar_; }
    bool transactionsSupported() const { return transactionsSupported_; }
    bool multipleTransactions() const { return multipleTransactions_; }
    int transactionIsolationLevel() const { return isolationLevel_; }

    // Composes the driver message from the status and the source's text,
    // keeps it as the last error text and raises it as rt::DatabaseError
    // with the status and the source's codes. A failure that lost the
    // attachment disconnects first.
    [[noreturn]] void raiseDriverError(dl::DriverResult result, const DriverErrorSource& source);
    // Nothing for status 0, otherwise raiseDriverError.
    void check(dl::DriverResult result, const DriverErrorSource& source);

    // A transaction of the program's own on the connection, connecting first
    // when needed. While it is active every statement of the connection's
    // datasets runs inside it (no second connection is taken) and nothing is
    // committed until commitTransaction(). A driver failure is raised as
    // every other; a failed commit leaves the transaction rolled back, and a
    // lost attachment ends it (the server rolls it back). Rolling back when
    // none is active does nothing.
    void startTransaction();
    void commitTransaction();
    void rollbackTransaction();
    bool inTransaction() const { return transactionCount_ > 0; }

    // The connection a statement is prepared on: this one, or a second
    // connection (name + "Clone1") once the driver's statement limit (>0) is
    // reached with no transaction active and the second-connection switch on.
    // beginsWithSelect adds one to the statement count first.
    TDataLinkConnection& connectionForStatement(bool beginsWithSelect);
    int activeStatements() const { return activeStatements_; }

    // Params' RowsetSize trimmed as an integer; 20 when absent or no integer.
    int rowsetSize() const;
    // Params' LocaleCode read as hexadecimal; 0 when absent.
    int localeCode() const;

    void addClient(TDataLinkConnectionClient* client);
    void removeClient(TDataLinkConnectionClient* client);

private:
    void checkInactive() const;
    void connectSequence();
    void checkSettings();
    void loadConnectionSection(const ConfigFile& file);
    void loadDriverLibrary();
    void connectDriver();
    // What the driver library says about its entry's last failure, if it can.
    std::string entryFailureReason() const;
    ConnectionParams loginList() const;
    void applyAnswerTimeout();
    void readPostConnectOptions();
    void forgetFailedConnect();
    void forgetDriverConnection();
    void disconnectSequence();
    void forgetLostAttachment();
    std::unique_ptr<TDataLinkConnection> makeSecondConnection();

    std::string name_;
    std::string connectionName_;
    std::string driverName_;
    std::string libraryName_;
    std::string vendorLib_;
    std::string getDriverFunc_;
    bool loadParamsOnConnect_ = false;
    bool loginPrompt_ = true;
    bool keepConnection_ = true;
    bool secondConnection_ = true;
    ConnectionParams params_;

    QString connectionsFilePath_;
    QStringList connectionsFileLooked_;  // where the locator looked for it, in order
    bool settingsLoaded_ = false;
    ConnectionState state_ = ConnectionState::Closed;
    void* libraryHandle_ = nullptr;
    std::string lastError_;
    std::int32_t maxStatements_ = 0;
    std::optional<std::chrono::seconds> answerTimeout_;  // none: never set
    int isolationLevel_ = 0;
    std::string quoteChar_;
    bool transactionsSupported_ = false;
    bool multipleTransactions_ = false;
    int activeStatements_ = 0;
    int transactionCount_ = 0;

    // Declared so that the metadata object goes before the driver
    // connection, and that before the driver object.
    dl::DriverRef<dl::IDriver> driver_;
    dl::DriverRef<dl::IDriverConnection> driverConnection_;
    // Guards driverConnection_ against sharedDriverConnection() on another
    // thread.
    mutable std::mutex driverConnectionMutex_;
    dl::DriverRef<dl::IDriverMetaData> metaData_;

    std::vector<TDataLinkConnectionClient*> clients_;
    std::vector<std::unique_ptr<TDataLinkConnection>> secondConnections_;
    // The connection a second connection was made for; null for a first one.
    TDataLinkConnection* primary_ = nullptr;
};

}  // namespace db
