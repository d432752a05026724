// The statements the window and the batch run against the point-of-sale
// tables, PROD_ITEM (sub-categories and their markup rates) and PRODUCT
// (products, their standard cost and six selling prices), and the columns
// they read. One place, so that a column renamed in the database is
// renamed once here.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "ProductSchema.h"

namespace catalog {

// Every sub-category, key and name, by key: the selector's list.
inline constexpr std::string_view kSubCategoryListSelect = "select PD_ITEMID,PD_ITEMNAME FROM PROD_ITEM ORDER BY 1 ";

// The sub-category whose key is keyLiteral, a quoted SQL string literal,
// with its six markup rates.
inline std::string subCategorySelect(std::string_view keyLiteral) {
    return "SELECT * FROM PROD_ITEM WHERE PD_ITEMID = " + std::string(keyLiteral);
}

// The column of PROD_ITEM holding a tier's markup rate, tier 1 to
// product::kTierCount.
inline std::string markupRateColumn(int tier) { return "d_profit" + std::to_string(tier); }

// The products of the sub-category whose key is keyLiteral, with the
// columns the work table loads.
inline std::string subCategoryProductsSelect(std::string_view keyLiteral) {
    return "SELECT PROD_ID,PROD_NAME,STD_COST FROM PRODUCT WHERE PD_ITEMID = " + std::string(keyLiteral);
}
inline constexpr const char* kProductIdColumn = "PROD_ID";
inline constexpr const char* kProductNameColumn = "PROD_NAME";
inline constexpr const char* kStandardCostColumn = "STD_COST";

// The parameter, and the PRODUCT column, of each tier's price, in tier
// order.
inline constexpr std::array<const char*, product::kTierCount> kPriceParameters = {"SALE_PRICE", "N_PRICE",     "P_PRICE",
                                                                "P_PRICE2",   "PSALE_PRICE", "VIP_PRICE"};

// The write-back's UPDATE, line by line, as the statement service joins
// them.
inline constexpr std::array<const char*, 8> kPriceUpdateLines = {
    "UPDATE PRODUCT SET ",
    " SALE_PRICE = :SALE_PRICE , ",
    " N_PRICE = :N_PRICE , ",
    " P_PRICE = :P_PRICE , ",
    " P_PRICE2 = :P_PRICE2 , ",
    " PSALE_PRICE = :PSALE_PRICE, ",
    " VIP_PRICE = :VIP_PRICE ",
    "WHERE PROD_ID = :PROD_ID ",
};

// The six prices every product of the sub-category whose key is keyLiteral
// has, with its number.
inline std::string subCategoryPricesSelect(std::string_view keyLiteral) {
    std::string sql = "SELECT PROD_ID";
    for (const char* column : kPriceParameters) sql += std::string(",") + column;
    return sql + " FROM PRODUCT WHERE PD_ITEMID = " + std::string(keyLiteral);
}

// One product's row by :PROD_ID, its number alone: what a read that may
// not wait asks to learn whether another transaction holds the row.
inline std::string productRowSelect() {
    return std::string("SELECT ") + kProductIdColumn + " FROM PRODUCT WHERE " + kProductIdColumn + " = :" +
           kProductIdColumn;
}

// The six prices one product has now, tier order, by :PROD_ID.
inline std::string currentPricesSelect() {
    std::string sql = "SELECT ";
    for (std::size_t tier = 0; tier < kPriceParameters.size(); ++tier)
        sql += std::string(tier ? ", " : "") + kPriceParameters[tier];
    return sql + " FROM PRODUCT WHERE PROD_ID = :PROD_ID";
}

// The number and the six prices of `count` products at once, by
// :PROD_ID_1 to :PROD_ID_<count>: the single lookup's condition once for
// each, every product an outer join of its own, seven columns each in the
// order asked. The first row holds each product's first row, or nulls
// when PRODUCT lacks it.
inline std::string currentPricesOfManySelect(std::size_t count) {
    std::string select = "SELECT ", from = " FROM RDB$DATABASE";
    for (std::size_t part = 1; part <= count; ++part) {
        const std::string alias = "P" + std::to_string(part);
        select += (part > 1 ? ", " : "") + alias + ".PROD_ID";
        for (const char* column : kPriceParameters) select += ", " + alias + "." + column;
        from += " LEFT JOIN PRODUCT " + alias + " ON " + alias + ".PROD_ID = :PROD_ID_" + std::to_string(part);
    }
    return select + from;
}

}  // namespace catalog
