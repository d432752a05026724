#include "PriceUpdate.h"

#include "ProductStatements.h"
#include "StatementService.h"

namespace batch {

std::int64_t writePriceRow(db::TStatementService& statement, const product::Prices& prices, const std::string& productId,
                   NullPrice nulls) {
    statement.close();
    statement.clearLines();
    for (const char* line : catalog::kPriceUpdateLines) statement.addLine(line);
    for (std::size_t tier = 0; tier < prices.size(); ++tier) {
        db::TParam& param = statement.paramByName(catalog::kPriceParameters[tier]);
        if (nulls == NullPrice::WrittenAsNull) param.setDataType(db::ParameterType::Float);
        param.setValue(prices[tier]);
    }
    statement.paramByName("PROD_ID").setAsString(productId);
    return statement.execSQL();
}

}  // namespace batch
