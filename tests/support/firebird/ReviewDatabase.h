// A sub-category database for the review's tests (header only: the tests
// that use it link the configuration store too): PROD_ITEM and PRODUCT as
// the window reads them, with stored prices, on a fresh embedded database
// that the program's settings point at.
#pragma once

#include <QTemporaryDir>
#include <string>

#include "DataLinkStore.h"
#include "PointOfSaleSchema.h"
#include "TestDatabase.h"

namespace testsupport {

class ReviewDatabase {
public:
    ReviewDatabase() {
        database.execute(pointOfSaleTables());
        database.writeConfiguration(configuration.path().toStdString());
        DataLinkStore::pointAt(configuration.path());
    }

    void addSubCategory(const std::string& key, const std::string& rates) {
        database.execute("INSERT INTO PROD_ITEM VALUES ('" + key + "', 'Name of " + key + "', " + rates + ")");
    }
    // prices: the six price columns, SQL literals.
    void addProduct(const std::string& id, const std::string& name, const std::string& cost,
                    const std::string& subCategory, const std::string& prices) {
        database.execute("INSERT INTO PRODUCT VALUES ('" + id + "', '" + name + "', " + cost + ", '" + subCategory +
                         "', " + prices + ")");
    }

    TestDatabase database;
    QTemporaryDir configuration;
};

}  // namespace testsupport
