#include "TestDatabase.h"

#include "ClientApi.h"
#include "DirectClient.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace testsupport {

namespace {

void createDatabase(const std::string& path) {
    prepareEmbeddedAccess();
    std::string sql = "CREATE DATABASE '" + path +
                      "' USER 'SYSDBA' PASSWORD 'quorvane' PAGE_SIZE 8192 DEFAULT CHARACTER SET BIG_5";
    isc_db_handle db = 0;
    isc_tr_handle transaction = 0;
    ISC_STATUS_ARRAY status;
    isc_dsql_execute_immediate(status, &db, &transaction, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    checkStatus(status, "create database " + path);
    isc_detach_database(status, &db);
    checkStatus(status, "detach " + path);
}

// Under root the test server runs as another user (scripts/firebird-server.sh),
// who must open the file; root itself still opens it embedded.
void handToServerUser(const std::vector<std::string>& paths) {
    if (geteuid() != 0) return;
    const char* configured = std::getenv("TARVELL_FB_SERVER_USER");
    const std::string name = configured && *configured ? configured : "nobody";
    const passwd* user = getpwnam(name.c_str());
    if (!user) throw std::runtime_error("no user " + name + " to hand the test database to");
    for (const std::string& path : paths)
        if (chown(path.c_str(), user->pw_uid, user->pw_gid) != 0)
            throw std::runtime_error("cannot hand " + path + " to " + name + ": " + std::strerror(errno));
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace

TestDatabase::TestDatabase() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvell-db-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    folder_ = pattern;
    path_ = folder_ + "/POSDATA.FDB";
    createDatabase(path_);
    handToServerUser({folder_, path_});
}

TestDatabase::~TestDatabase() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void TestDatabase::execute(const std::vector<std::string>& statements) {
    DirectClient client(path_, "SYSDBA", "", "BIG_5");
    for (const std::string& statement : statements) client.execute(statement);
}

void TestDatabase::writeConfiguration(const std::string& folder, const ConfigurationFiles& files) const {
    std::string connections = "[VuzEza]\n"
                              "DriverName=Firebird\n"
                              "Database=" +
                              (files.database.empty() ? path_ : files.database) +
                              "\n"
                              "RoleName=RoleName\n"
                              "User_Name=" +
                              files.userName +
                              "\n"
                              "Password=" +
                              files.password +
                              "\n"
                              "ServerCharSet=\n"
                              "SQLDialect=3\n"
                              "BlobSize=-1\n"
                              "CommitRetain=False\n"
                              "WaitOnLocks=True\n"
                              "ErrorResourceFile=\n"
                              "LocaleCode=0000\n"
                              "Firebird TransIsolation=ReadCommited\n"
                              "Trim Char=False\n";
    for (const auto& [name, value] : files.extraLines) connections += name + "=" + value + "\n";
    writeFile(folder + "/dlconnections.ini", connections);
    writeFile(folder + "/dldrivers.ini", "[Firebird]\n"
                                         "LibraryName=" +
                                             files.libraryName +
                                             "\n"
                                             "VendorLib=" +
                                             files.vendorLib +
                                             "\n"
                                             "GetDriverFunc=getSQLDriverFIREBIRD\n");
}

}  // namespace testsupport
