#include "PriceUpdate.h"

#include "ProductStatements.h"
#include "StatementService.h"

namespace batch {

std::int64_t writePriceRow(db::TStatementService& statement, const product::TierPrices& prices, const std::string& productId,
                   NullPrice nulls) {
    statement.close();
    statement.clearLines();
    for (const char* line : catalog::kPriceUpdateLines) statement.addLine(line);
    for (int tier = 1; tier <= product::kTierCount; ++tier) {
        db::TParam& param = statement.paramByName(catalog::kPriceParameters[static_cast<std::size_t>(tier - 1)]);
        if (nulls == NullPrice::WrittenAsNull) param.setDataType(db::ParameterType::Float);
        param.setValue(prices.value(tier));
    }
    statement.paramByName("PROD_ID").setAsString(productId);
    return statement.execSQL();
}

}  // namespace batch
