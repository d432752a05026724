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

    // Two sub-categories whose pricing shows every mark: in A1 (10% on every
    // tier) UP's prices rise, DOWN's fall, SAME's stay, and a number longer
    // than the work table holds is not found once cut; in B2 (-50%) LOW's
    // new prices fall below its cost. Loaded in that order.
    void addMarkedSubCategories() {
        addSubCategory("A1", "10, 10, 10, 10, 10, 10");
        addSubCategory("B2", "-50, -50, -50, -50, -50, -50");
        addProduct("UP", "Tea", "100", "A1", "100, 100, 100, 100, 100, 100");
        addProduct("DOWN", "Milk", "100", "A1", "120, 120, 120, 120, 120, 120");
        addProduct("SAME", "Soda", "100", "A1", "110, 110, 110, 110, 110, 110");
        addProduct(std::string(25, '7'), "Long", "100", "A1", "1, 1, 1, 1, 1, 1");
        addProduct("LOW", "Water", "100", "B2", "50, 50, 50, 50, 50, 50");
    }

    TestDatabase database;
    QTemporaryDir configuration;
};

}  // namespace testsupport
