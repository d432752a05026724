// A fresh embedded database and a connection to it through the driver
// library, set up the way the window's connection is once its settings are
// loaded, but from memory rather than from the configuration files, so that
// test programs running side by side never share a file.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "DirectClient.h"
#include "TDataLinkConnection.h"
#include "TestDatabase.h"

namespace db::test {

class ServicesFixture : public ::testing::Test {
protected:
    // Lines added to the connection's parameter list, such as RowsetSize.
    void connectWith(const std::vector<std::pair<std::string, std::string>>& extraLines) {
        ConnectionParams params = TDataLinkConnection::storedParams();
        params.setValue("Database", database.path());
        for (const auto& [name, value] : extraLines) params.setValue(name, value);
        connection = std::make_unique<TDataLinkConnection>("SQLConnection1");
        connection->setDriverName("Firebird");
        connection->setLibraryName("libdlfirebird.so");
        connection->setVendorLib("libfbclient.so.2");
        connection->setGetDriverFunc("getSQLDriverFIREBIRD");
        connection->setLoadParamsOnConnect(false);
        connection->setLoginPrompt(false);
        connection->setParams(params);
    }

    void SetUp() override { connectWith({}); }

    // Reads back through a connection of its own, bytes as stored.
    std::vector<testsupport::DirectClient::Row> readBack(const std::string& sql) {
        testsupport::DirectClient client(database.path());
        return client.select(sql);
    }

    testsupport::TestDatabase database;
    std::unique_ptr<TDataLinkConnection> connection;
};

}  // namespace db::test
