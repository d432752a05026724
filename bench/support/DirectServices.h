// The window's read and statement services over a connection configured by
// hand as its settings would configure it, on a database file of the
// benchmark's own: no configuration files, no settings store.
#pragma once

#include <string>

#include "ReadService.h"
#include "ResultProvider.h"
#include "ServerQuery.h"
#include "StatementService.h"
#include "TDataLinkConnection.h"

namespace bench {

struct DirectServices {
    explicit DirectServices(const std::string& databasePath) {
        db::ConnectionParams params = db::TDataLinkConnection::storedParams();
        params.setValue("Database", databasePath);
        connection.setDriverName("Firebird");
        connection.setLibraryName("libdlfirebird.so");
        connection.setVendorLib("libfbclient.so.2");
        connection.setGetDriverFunc("getSQLDriverFIREBIRD");
        connection.setLoadParamsOnConnect(false);
        connection.setLoginPrompt(false);
        connection.setParams(params);
        connection.open();
    }

    db::TDataLinkConnection connection;
    db::TServerQuery sqlDataSet{connection};
    db::TResultProvider provider{sqlDataSet};
    db::TReadService clientDataSet{provider};
    db::TStatementService query{connection};
};

}  // namespace bench
