// The two tables of the point-of-sale database that the program reads and
// writes, as every test and benchmark creates them: one definition, so that
// their columns cannot drift apart from one file to the next.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Sub-categories: key, name and the six markup rates in percent.
inline const std::string kSubCategoryTable =
    "CREATE TABLE PROD_ITEM (PD_ITEMID VARCHAR(10) NOT NULL PRIMARY KEY, PD_ITEMNAME VARCHAR(40), "
    "D_PROFIT1 NUMERIC(9,2), D_PROFIT2 NUMERIC(9,2), D_PROFIT3 NUMERIC(9,2), D_PROFIT4 NUMERIC(9,2), "
    "D_PROFIT5 NUMERIC(9,2), D_PROFIT6 NUMERIC(9,2))";

// Products with their sub-category, standard cost and six selling prices.
// Numbers and names are wider than the work table keeps (20 and 50 bytes),
// so that what the program cuts can be stored and read back.
inline const std::string kProductTable =
    "CREATE TABLE PRODUCT (PROD_ID VARCHAR(30) NOT NULL PRIMARY KEY, PROD_NAME VARCHAR(80), "
    "STD_COST NUMERIC(15,2), PD_ITEMID VARCHAR(10), SALE_PRICE NUMERIC(15,2), N_PRICE NUMERIC(15,2), "
    "P_PRICE NUMERIC(15,2), P_PRICE2 NUMERIC(15,2), PSALE_PRICE NUMERIC(15,2), VIP_PRICE NUMERIC(15,2))";

// The products of a sub-category are read by its key.
inline const std::string kProductSubCategoryIndex = "CREATE INDEX PRODUCT_PD_ITEMID ON PRODUCT (PD_ITEMID)";

// The six price columns in tier order, comma separated, for an INSERT.
inline const std::string kPriceColumns = "SALE_PRICE, N_PRICE, P_PRICE, P_PRICE2, PSALE_PRICE, VIP_PRICE";

// Both tables and the index.
inline std::vector<std::string> pointOfSaleTables() {
    return {kSubCategoryTable, kProductTable, kProductSubCategoryIndex};
}

}  // namespace testsupport
