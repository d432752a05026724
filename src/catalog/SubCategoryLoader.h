// The data view's work without the window: a sub-category's six rates from
// PROD_ITEM, its products from PRODUCT, one work-table row per product, and
// beside each row the six prices PRODUCT holds for it, read by one more
// statement with the same key. The window's "1.資料檢視" and the preview on
// the command line both load through it.
#pragma once

#include <array>
#include <string>

#include "ProductSchema.h"

class TProductWorkTable;

namespace db {
class TDataLinkConnection;
class TReadService;
}  // namespace db

namespace catalog {

// Whether the prices PRODUCT holds are read as well, to go beside the rows.
// Skipped: the benchmarks measure what reading them costs.
enum class LoadedPriceRead { Read, Skipped };

struct LoadedSubCategory {
    bool found = false;  // PROD_ITEM has the key
    int rowsAppended = 0;
};

class TSubCategoryLoader {
public:
    // dataSet reads the rates and the products, in that order; the loaded
    // prices come through a dataset of the loader's own on the same
    // connection, so that dataSet is left holding the products for the
    // window.
    TSubCategoryLoader(db::TReadService& dataSet, db::TDataLinkConnection& connection,
                       LoadedPriceRead loadedPrices = LoadedPriceRead::Read);

    // key: Big5 bytes, pasted into the statements as a string literal.
    LoadedSubCategory load(TProductWorkTable& table, const std::string& key);

private:
    std::array<double, product::kTierCount> readRates() const;
    int appendProducts(TProductWorkTable& table, const std::array<double, product::kTierCount>& rates,
                       const std::string& keyLiteral);

    db::TReadService& dataSet_;
    db::TDataLinkConnection& connection_;
    LoadedPriceRead loadedPrices_;
};

}  // namespace catalog
