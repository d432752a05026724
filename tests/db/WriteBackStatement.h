// The price write-back's statement as the operator's window builds it, line
// by line, and its six price parameters in tier order: what the statement
// service tests and the benchmark run.
#pragma once

#include <string>
#include <vector>

namespace writeback {

inline const std::vector<std::string> lines = {
    "UPDATE PRODUCT SET ",
    " SALE_PRICE = :SALE_PRICE , ",
    " N_PRICE = :N_PRICE , ",
    " P_PRICE = :P_PRICE , ",
    " P_PRICE2 = :P_PRICE2 , ",
    " PSALE_PRICE = :PSALE_PRICE, ",
    " VIP_PRICE = :VIP_PRICE ",
    "WHERE PROD_ID = :PROD_ID ",
};

inline const std::vector<std::string> priceParameters = {"SALE_PRICE", "N_PRICE",     "P_PRICE",
                                                         "P_PRICE2",   "PSALE_PRICE", "VIP_PRICE"};

}  // namespace writeback
