#include "TDataLinkConnection.h"

#include <dlfcn.h>

#include <QFile>
#include <algorithm>
#include <charconv>
#include <optional>

#include "Big5Text.h"
#include "ConfigFile.h"
#include "ConfigFileLocator.h"
#include "ConnectionsFileMissing.h"
#include "ConnectionOptions.h"
#include "Errors.h"
#include "ScopeGuard.h"
#include "TextRules.h"

namespace db {

namespace {

// The entry is looked up at every connect and kept for the thread that made
// it; a connect on another thread looks it up again.
thread_local dl::DriverEntry t_driverEntry = nullptr;

[[noreturn]] void fail(std::string_view message) { throw rt::DatabaseError(std::string(message)); }

// "Unable to Load X" alone does not say whether the file is missing, cannot
// be read, or lacks a function: the reason follows the message.
std::string withReason(std::string message, const std::string& reason) {
    if (!reason.empty()) message += ": " + reason;
    return message;
}

// The loader's text for its last failure on this thread, empty when none;
// Big5 like every message (the paths in it are the file system's, and a
// character Big5 lacks shows as "?" rather than losing the message).
std::string loaderReason() {
    const char* reason = dlerror();
    return reason ? big5::fromUnicodeLossy(QFile::decodeName(reason)) : std::string();
}

std::string trimmed(std::string_view value) { return std::string(rt::text::trim(value)); }

// Library names are Big5 like every setting; the file system wants its own encoding.
QByteArray fileSystemName(std::string_view name) { return QFile::encodeName(big5::toUnicode(name)); }

}  // namespace

TDataLinkConnection::TDataLinkConnection(std::string name) : name_(std::move(name)) {
    // A store that cannot be read (a value that is no path, a store file
    // too large to read) leaves the path empty; the connect then reports
    // that empty path as not found.
    try {
        connectionsFilePath_ = ConfigFileLocator::locate(ConfigFileLocator::ConnectionValueName,
                                                         ConfigFileLocator::ConnectionDefaultName,
                                                         connectionsFileLooked_);
    } catch (const rt::AppError&) {
        connectionsFilePath_.clear();
    }
    params_.setChangeGuard([this] { checkInactive(); });
}

TDataLinkConnection::~TDataLinkConnection() {
    // Datasets give their commands back first: a command may come from the
    // second connection, which must still be there to take it.
    const auto clients = clients_;
    for (TDataLinkConnectionClient* client : clients) client->connectionClosing();
    for (TDataLinkConnectionClient* client : clients) client->connectionDestroyed();
    clients_.clear();
    secondConnections_.clear();
    if (state_ != ConnectionState::Closed || driverConnection_) disconnectSequence();
}

ConnectionParams TDataLinkConnection::storedParams() {
    // The server's address belongs to each installation, so the stored
    // database names the file alone; the connections file gives the real one.
    return ConnectionParams{"DriverName=Firebird",
                         "Database=POSDATA.FDB",
                         "RoleName=RoleName",
                         "User_Name=sysdba",
                         "Password=quorvane",
                         "ServerCharSet=",
                         "SQLDialect=3",
                         "BlobSize=-1",
                         "CommitRetain=False",
                         "WaitOnLocks=True",
                         "ErrorResourceFile=",
                         "LocaleCode=0000",
                         "Firebird TransIsolation=ReadCommited",
                         "Trim Char=False"};
}

void TDataLinkConnection::applyStoredProperties() {
    setConnectionName("VuzEza");
    setDriverName("Firebird");
    setLibraryName("libdlfirebird.so");
    setVendorLib("libfbclient.so.2");
    setGetDriverFunc("getSQLDriverFIREBIRD");
    setLoadParamsOnConnect(true);
    setLoginPrompt(false);
    setParams(storedParams());
}

void TDataLinkConnection::checkInactive() const {
    if (connected()) fail("Cannot perform this operation on an open connection");
}

void TDataLinkConnection::setConnectionName(const std::string& value) {
    if (value == connectionName_) return;
    if (connected()) close();
    settingsLoaded_ = false;
    lastError_.clear();
    connectionName_ = value;
}

void TDataLinkConnection::setDriverName(const std::string& value) {
    if (value == driverName_) return;
    checkInactive();
    driverName_ = value;
}

ConnectionSettings TDataLinkConnection::settings() const {
    return {connectionName_, driverName_, libraryName_, vendorLib_, getDriverFunc_, params_};
}

void TDataLinkConnection::useSettings(const ConnectionSettings& settings) {
    checkInactive();
    setConnectionName(settings.connectionName);
    setDriverName(settings.driverName);
    setLibraryName(settings.libraryName);
    setVendorLib(settings.vendorLib);
    setGetDriverFunc(settings.getDriverFunc);
    setParams(settings.params);
    setLoadParamsOnConnect(false);
    setLoginPrompt(false);
}

bool TDataLinkConnection::connected() const {
    return driverConnection_ && state_ != ConnectionState::Closed && state_ != ConnectionState::Connecting &&
           state_ != ConnectionState::Disconnecting;
}

void TDataLinkConnection::open() {
    if (connected()) return;
    if (BeforeConnect) BeforeConnect();
    {
        const rt::ScopeGuard afterConnect([this] {
            if (AfterConnect) AfterConnect();
        });
        connectSequence();
    }
    const auto clients = clients_;
    for (TDataLinkConnectionClient* client : clients) client->connectionOpened();
}

void TDataLinkConnection::close() {
    if (!connected()) return;
    if (BeforeDisconnect) BeforeDisconnect();
    const auto clients = clients_;
    for (TDataLinkConnectionClient* client : clients) client->connectionClosing();
    for (const auto& second : secondConnections_) second->close();
    disconnectSequence();
    if (AfterDisconnect) AfterDisconnect();
}

void TDataLinkConnection::disconnectSequence() {
    state_ = ConnectionState::Disconnecting;
    metaData_.reset();
    if (driverConnection_) {
        driverConnection_->disconnect();
        forgetDriverConnection();
    }
    transactionCount_ = 0;
    libraryHandle_ = nullptr;
    state_ = ConnectionState::Closed;
    driver_.reset();
    settingsLoaded_ = false;
}

void TDataLinkConnection::connectSequence() {
    checkSettings();
    state_ = ConnectionState::Connecting;
    {
        // Nothing was connected: the connection is closed again, and the
        // library handle stays for the next attempt.
        rt::ScopeGuard closeUnloaded([this] { state_ = ConnectionState::Closed; });
        loadDriverLibrary();
        closeUnloaded.dismiss();
    }
    rt::ScopeGuard forgetUnconnected([this] { forgetFailedConnect(); });
    connectDriver();
    state_ = ConnectionState::Open;
    forgetUnconnected.dismiss();
}

// Only the connection's own thread changes the slot, and only under the
// lock; that thread reads it without one.
void TDataLinkConnection::forgetDriverConnection() {
    const std::lock_guard lock(driverConnectionMutex_);
    driverConnection_.reset();
}

dl::DriverRef<dl::IDriverConnection> TDataLinkConnection::sharedDriverConnection() const {
    const std::lock_guard lock(driverConnectionMutex_);
    return driverConnection_;
}

// Each file is read once per connect, and every value taken from it comes
// from that one reading.
void TDataLinkConnection::checkSettings() {
    if (loadParamsOnConnect_) {
        if (!settingsLoaded_ && connectionName_.empty()) fail("Connection name missing");
        const ConfigFile connections(connectionsFilePath_);
        if (!settingsLoaded_) loadConnectionSection(connections);
        driverName_ = connections.value(connectionName_, "DriverName");
    }
    if (driverName_.empty()) fail("Missing DriverName property");
    std::optional<ConfigFile> drivers;
    if (loadParamsOnConnect_) drivers.emplace(ConfigFileLocator::driversFile());
    if (drivers) libraryName_ = drivers->value(driverName_, "LibraryName");
    if (libraryName_.empty()) fail("DLL/Shared Library Name not Set");
    if (drivers) vendorLib_ = trimmed(drivers->value(driverName_, "VendorLib"));
    if (rt::text::trim(vendorLib_).empty()) fail("DLL/Shared Library Name not Set");
    if (drivers) getDriverFunc_ = drivers->value(driverName_, "GetDriverFunc");
    if (params_.value("Database").empty())
        fail(connectionName_.empty() ? "Connection name missing" : "Missing Database property");
}

void TDataLinkConnection::loadConnectionSection(const ConfigFile& file) {
    if (!file.exists()) throw ConnectionsFileMissing(connectionsFilePath_, connectionsFileLooked_);
    params_.assign(file.sectionLines(connectionName_));
    settingsLoaded_ = true;
}

void TDataLinkConnection::loadDriverLibrary() {
    dlerror();
    if (!libraryHandle_) {
        const std::string file = trimmed(libraryName_);
        if (!file.empty()) libraryHandle_ = dlopen(fileSystemName(file).constData(), RTLD_NOW);
    }
    if (!libraryHandle_) fail(withReason(rt::formatMessage("Unable to Load %s", libraryName_), loaderReason()));
    dlerror();
    t_driverEntry = reinterpret_cast<dl::DriverEntry>(dlsym(libraryHandle_, trimmed(getDriverFunc_).c_str()));
    if (!t_driverEntry)
        fail(withReason(rt::formatMessage("Unable to Find Procedure %s", getDriverFunc_), loaderReason()));
}

std::string TDataLinkConnection::entryFailureReason() const {
    if (!libraryHandle_) return {};
    const auto reason = reinterpret_cast<dl::EntryFailureReason>(dlsym(libraryHandle_, dl::kEntryFailureReasonExport));
    dlerror();  // a library without it leaves no reason, and no stale loader text either
    const char* text = reason ? reason() : nullptr;
    return text ? std::string(text) : std::string();
}

void TDataLinkConnection::connectDriver() {
    driver_.reset();
    const std::string errorResourceFile = trimmed(params_.value("ErrorResourceFile"));
    const dl::DriverResult entryResult = t_driverEntry(vendorLib_.c_str(), errorResourceFile.c_str(), driver_.receive());
    if (entryResult != 0 || !driver_)
        fail(withReason(rt::formatMessage("Unable to Load %s", vendorLib_), entryResult != 0 ? entryFailureReason() : ""));

    forgetDriverConnection();
    dl::DriverRef<dl::IDriverConnection> made;
    const dl::DriverResult connectionResult = driver_->getConnection(made.receive());
    {
        const std::lock_guard lock(driverConnectionMutex_);
        driverConnection_ = std::move(made);
    }
    check(connectionResult, DriverErrorSource::of(driverConnection_.get()));
    if (!driverConnection_) raiseDriverError(connectionResult, {});

    const ConnectionParams login = loginList();
    db::passConnectionOptions(*driverConnection_.get(), params_, driverName_, isolationLevel_);
    const std::string database = trimmed(login.value("Database"));
    check(driverConnection_->connect(database.c_str(), login.value("USER_NAME").c_str(),
                                     login.value("PASSWORD").c_str()),
          DriverErrorSource::of(driverConnection_.get()));

    maxStatements_ = 0;
    std::int32_t length = 0;
    driverConnection_->getOption(dl::connopt::MaxStatementsPerConnection, &maxStatements_, sizeof maxStatements_,
                                 &length);

    const dl::DriverResult metaDataResult = driverConnection_->getMetaData(metaData_.receive());
    check(metaDataResult, DriverErrorSource::of(driverConnection_.get()));
    if (!metaData_) raiseDriverError(metaDataResult, DriverErrorSource::of(driverConnection_.get()));

    const std::string user = trimmed(login.value("USER_NAME"));
    if (!user.empty()) metaData_->setOptionText(dl::metaopt::SchemaName, user.c_str());
    readPostConnectOptions();
}

ConnectionParams TDataLinkConnection::loginList() const {
    static constexpr const char* kLoginNames[] = {"PASSWORD", "USER_NAME", "Database"};
    ConnectionParams login;
    for (const std::string& line : params_.lines()) {
        const auto name = ConnectionParams::nameOf(line);
        if (!name) continue;
        for (const char* loginName : kLoginNames) {
            if (!rt::text::equalsIgnoreCase(*name, loginName)) continue;
            const std::string value = params_.value(loginName);
            login.add(loginName, std::string_view(loginName) == "Database" ? trimmed(value) : value);
        }
    }
    return login;
}

void TDataLinkConnection::readPostConnectOptions() {
    std::int32_t length = 0;
    quoteChar_.clear();
    char quote = '\0';
    if (dl::statusOf(metaData_->getOption(dl::metaopt::QuoteChar, &quote, 1, &length)) == 0 && quote != '\0')
        quoteChar_.assign(1, quote);

    applyAnswerTimeout();

    const std::string blobSize = params_.value("BlobSize");
    driverConnection_->setOption(dl::connopt::BlobSize, blobSize.empty() ? -1 : readInteger(blobSize));

    std::int32_t flag = 0;
    metaData_->getOption(dl::metaopt::TransactionsSupported, &flag, sizeof flag, &length);
    transactionsSupported_ = flag != 0;
    flag = 0;
    metaData_->getOption(dl::metaopt::MultipleTransactions, &flag, sizeof flag, &length);
    multipleTransactions_ = flag != 0;
}

void TDataLinkConnection::forgetFailedConnect() {
    if (state_ != ConnectionState::Connecting) return;
    state_ = ConnectionState::Closed;
    libraryHandle_ = nullptr;
    // The metadata object belongs to the driver connection it came from.
    metaData_.reset();
    forgetDriverConnection();
}

void TDataLinkConnection::raiseDriverError(dl::DriverResult result, const DriverErrorSource& source) {
    lastError_ = composeDriverMessage(result, source, lastError_);
    const rt::DriverFailure failure = driverFailureOf(result, source);
    if (failure.connectionLost) forgetLostAttachment();
    throw rt::DatabaseError(lastError_, failure);
}

void TDataLinkConnection::forgetLostAttachment() {
    // Nothing runs on a lost attachment again; disconnecting now sends the
    // next open through the whole connect sequence, which works once the
    // server is back. A second connection's commands belong to the datasets
    // of its first, so that one disconnects, the second with it.
    TDataLinkConnection& owner = primary_ ? *primary_ : *this;
    if (owner.connected()) owner.close();
    if (connected()) close();
}

void TDataLinkConnection::setAnswerTimeout(std::chrono::seconds timeout) {
    answerTimeout_ = timeout;
    if (connected() && driverConnection_) applyAnswerTimeout();
}

void TDataLinkConnection::applyAnswerTimeout() {
    // A driver that never heard of the option is not asked when no one
    // set it.
    if (!answerTimeout_) return;
    check(driverConnection_->setOption(dl::connopt::AnswerTimeout, answerTimeout_->count()),
          DriverErrorSource::of(driverConnection_.get()));
}

bool TDataLinkConnection::disconnectIfDead() {
    if (!connected() || !driverConnection_) return false;
    const dl::DriverResult result = driverConnection_->control(dl::control::CheckAttachment);
    if (dl::statusOf(result) == 0) return false;
    const DriverErrorSource source = DriverErrorSource::of(driverConnection_.get());
    if (!driverFailureOf(result, source).connectionLost) return false;
    // A server that does not answer at all would keep the connect that
    // follows waiting as long again, to fail with less clear words: the
    // operator is told now.
    if (composeDriverMessage(result, source, {}).find(dl::kNoAnswerText) != std::string::npos)
        raiseDriverError(result, source);
    forgetLostAttachment();
    return true;
}

void TDataLinkConnection::check(dl::DriverResult result, const DriverErrorSource& source) {
    if (dl::statusOf(result) != 0) raiseDriverError(result, source);
}

void TDataLinkConnection::startTransaction() {
    open();
    if (inTransaction()) fail("A transaction is already active on the connection");
    check(driverConnection_->startTransaction(), DriverErrorSource::of(driverConnection_.get()));
    transactionCount_ = 1;
}

void TDataLinkConnection::commitTransaction() {
    if (!inTransaction() || !driverConnection_) fail("No transaction is active on the connection");
    transactionCount_ = 0;
    check(driverConnection_->commitTransaction(), DriverErrorSource::of(driverConnection_.get()));
}

void TDataLinkConnection::rollbackTransaction() {
    if (!inTransaction() || !driverConnection_) return;
    transactionCount_ = 0;
    check(driverConnection_->rollbackTransaction(), DriverErrorSource::of(driverConnection_.get()));
}

TDataLinkConnection& TDataLinkConnection::connectionForStatement(bool beginsWithSelect) {
    if (beginsWithSelect) ++activeStatements_;
    if (maxStatements_ > 0 && activeStatements_ >= maxStatements_ && transactionCount_ == 0 && secondConnection_) {
        activeStatements_ = 0;
        secondConnections_.push_back(makeSecondConnection());
        return *secondConnections_.back();
    }
    return *this;
}

std::unique_ptr<TDataLinkConnection> TDataLinkConnection::makeSecondConnection() {
    auto second = std::make_unique<TDataLinkConnection>(name_ + "Clone1");
    second->useSettings(settings());
    second->primary_ = this;
    if (connected()) second->open();
    return second;
}

int TDataLinkConnection::rowsetSize() const {
    return parseInteger(trimmed(params_.value("RowsetSize"))).value_or(20);
}

int TDataLinkConnection::localeCode() const {
    const std::string code = trimmed(params_.value("LocaleCode"));
    if (code.empty()) return 0;
    int value = 0;
    const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), value, 16);
    if (error != std::errc() || end != code.data() + code.size())
        throw rt::ConversionError(rt::formatMessage("'%s' is not a valid integer value", code));
    return value;
}

void TDataLinkConnection::addClient(TDataLinkConnectionClient* client) {
    if (std::find(clients_.begin(), clients_.end(), client) == clients_.end()) clients_.push_back(client);
}

void TDataLinkConnection::removeClient(TDataLinkConnectionClient* client) {
    clients_.erase(std::remove(clients_.begin(), clients_.end(), client), clients_.end());
}

}  // namespace db
