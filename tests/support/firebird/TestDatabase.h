// A fresh Firebird database for one test: created embedded in a temporary
// folder of its own (default character set BIG_5, dialect 3) and removed with
// that folder when the object goes.
//
// The test server reaches the same file as serverName(address) (never while
// the file is open embedded: one process at a time). It runs as the same
// user, except under root, where it runs as $TARVELL_FB_SERVER_USER (default
// nobody): the folder and the file are then that user's. TestDatabase only
// attaches while one of its own calls runs.
//
// Embedded access needs the lock folder /tmp/firebird; a user who may not
// write there gets FIREBIRD_LOCK pointed at /tmp/tarvell-fblock-<uid>
// automatically, before the client library first runs (set FIREBIRD_LOCK
// yourself to choose another).
//
//   TestDatabase database;
//   database.execute({"CREATE TABLE T (A INTEGER)", "INSERT INTO T VALUES (1)"});
//   database.writeConfiguration(folderBesideTheProgram);
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// What goes into the two configuration files; the defaults connect the
// program to the test database embedded.
struct ConfigurationFiles {
    std::string database;  // empty: the database's path
    std::string userName = "sysdba";
    std::string password = "quorvane";
    std::string vendorLib = "libfbclient.so.2";
    std::string libraryName = "libdlfirebird.so";
    // Lines appended to the VuzEza section, as name and value ("RowsetSize", "5").
    std::vector<std::pair<std::string, std::string>> extraLines;
};

class TestDatabase {
public:
    TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;
    ~TestDatabase();

    // Full path of the database file.
    const std::string& path() const { return path_; }
    // The temporary folder holding the file; gone with the object.
    const std::string& folder() const { return folder_; }
    // The database as a server reaches it: address (host or host/port), ":",
    // path().
    std::string serverName(const std::string& address) const { return address + ":" + path_; }

    // Runs the statements in order, each committed by itself, through one
    // attachment with connection character set BIG_5: text is Big5 bytes or
    // ASCII. Throws std::runtime_error with the server's messages.
    void execute(const std::vector<std::string>& statements);
    void execute(std::initializer_list<std::string> statements) { execute(std::vector<std::string>(statements)); }
    void execute(const std::string& statement) { execute(std::vector<std::string>{statement}); }

    // Writes dlconnections.ini (section VuzEza with the program's fourteen
    // lines) and dldrivers.ini (section Firebird) into folder, replacing any.
    void writeConfiguration(const std::string& folder, const ConfigurationFiles& files = {}) const;

private:
    std::string folder_;
    std::string path_;
};

}  // namespace testsupport
