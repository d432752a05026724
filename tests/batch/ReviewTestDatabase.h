// A sub-category database for the review's tests: PROD_ITEM and PRODUCT as
// the window reads them, with stored prices, on a fresh embedded database
// that the program's settings point at.
#pragma once

#include <QTemporaryDir>
#include <string>

#include "DataLinkStore.h"
#include "TestDatabase.h"

namespace batch {

class ReviewDatabase {
public:
    ReviewDatabase() {
        database.execute({
            "CREATE TABLE PROD_ITEM (PD_ITEMID VARCHAR(10) NOT NULL PRIMARY KEY, PD_ITEMNAME VARCHAR(40), "
            "D_PROFIT1 NUMERIC(9,2), D_PROFIT2 NUMERIC(9,2), D_PROFIT3 NUMERIC(9,2), "
            "D_PROFIT4 NUMERIC(9,2), D_PROFIT5 NUMERIC(9,2), D_PROFIT6 NUMERIC(9,2))",
            "CREATE TABLE PRODUCT (PROD_ID VARCHAR(30) NOT NULL, PROD_NAME VARCHAR(80), "
            "STD_COST NUMERIC(15,2), PD_ITEMID VARCHAR(10), SALE_PRICE NUMERIC(15,2), N_PRICE NUMERIC(15,2), "
            "P_PRICE NUMERIC(15,2), P_PRICE2 NUMERIC(15,2), PSALE_PRICE NUMERIC(15,2), VIP_PRICE NUMERIC(15,2))",
        });
        database.writeConfiguration(configuration.path().toStdString());
        testsupport::DataLinkStore::pointAt(configuration.path());
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

    tarvell::test::TestDatabase database;
    QTemporaryDir configuration;
};

}  // namespace batch
