// What the connection tests share: a configuration store of their own, a
// folder for configuration files, and a connection set up as the window sets
// it, against the recording driver library.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "DataLinkStore.h"
#include "MessageOf.h"
#include "RecordingDriver.h"
#include "TDataLinkConnection.h"

namespace testsupport {

// A temporary folder holding configuration files.
class ConfigFolder {
public:
    ConfigFolder();
    // Writes bytes exactly as given and returns the file's path.
    QString write(const QString& fileName, const std::string& bytes) const;
    QString path(const QString& fileName) const;
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

// Two configuration files in a folder of their own, named in the store, and
// a connection built afterwards with the window's stored properties.
class ConnectionFixture : public testing::Test {
protected:
    static const std::string kConnections;
    static const std::string kDrivers;

    void SetUp() override;
    void TearDown() override;

    void writeConnections(const std::string& bytes) { folder_.write("dlconnections.ini", bytes); }
    void writeDrivers(const std::string& bytes) { folder_.write("dldrivers.ini", bytes); }
    // A connections file whose VuzEza section holds these lines.
    void writeConnectionSection(const std::string& lines);
    void removeFiles();
    // Builds the connection; the store is read now.
    db::TDataLinkConnection& makeConnection();
    // A connection that takes its settings from its properties, not the files.
    db::TDataLinkConnection& makeConnectionSetByHand(const db::ConnectionParams& params);

    ConfigFolder folder_;
    std::unique_ptr<db::TDataLinkConnection> connection_;
};

}  // namespace testsupport
