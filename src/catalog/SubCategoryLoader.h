// The data view's work without the window: a sub-category's six rates from
// PROD_ITEM, its products from PRODUCT, one work-table row per product, and
// beside each row the six prices PRODUCT holds for it, read by one more
// statement with the same key. The window's "1.資料檢視" and the preview on
// the command line both load through it.
//
// Reading and appending are apart, so that the window reads on a thread of
// its own while it goes on repainting, and appends on its own thread once
// the reads have ended; a read that is cancelled appends nothing.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "LoadedPriceRows.h"
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

// What the statements of one key gave, before any of it reaches the work
// table. The products themselves stay in the loader's dataset.
struct SubCategoryRead {
    bool found = false;  // PROD_ITEM has the key
    std::array<double, product::kTierCount> rates{};
    // Read when asked for and there are products.
    std::optional<TLoadedPriceRows> loadedPrices;
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
    // read, then append.
    LoadedSubCategory load(TProductWorkTable& table, const std::string& key);
    // Runs the statements, in their order, on whatever thread calls it;
    // touches no work table. A read whose connection turns out gone is
    // asked once more (ReadAgain.h).
    SubCategoryRead read(const std::string& key);
    // One row per product the last read() left in the dataset; takes the
    // read's loaded prices over.
    LoadedSubCategory append(TProductWorkTable& table, SubCategoryRead& read);

private:
    std::array<double, product::kTierCount> readRates() const;
    TLoadedPriceRows readLoadedPrices(const std::string& keyLiteral, std::size_t expectedRows);
    int appendProducts(TProductWorkTable& table, const std::array<double, product::kTierCount>& rates,
                       std::optional<TLoadedPriceRows> loadedPrices);

    db::TReadService& dataSet_;
    db::TDataLinkConnection& connection_;
    LoadedPriceRead loadedPrices_;
};

}  // namespace catalog
