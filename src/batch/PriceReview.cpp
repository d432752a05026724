#include "PriceReview.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Big5Text.h"
#include "CurrentPriceReader.h"
#include "ProductWorkTable.h"

namespace batch {

namespace {

// More than this many changed products are told as a count after the list.
constexpr std::size_t kChangedSinceListed = 20;

double changeSize(const review::PriceCellReview& cell) {
    return cell.percent ? std::fabs(*cell.percent) : std::numeric_limits<double>::infinity();
}

bool largerChange(const PriceChangeLine& left, const PriceChangeLine& right) {
    const double a = changeSize(left.cell), b = changeSize(right.cell);
    if (a != b) return a > b;
    return left.row != right.row ? left.row < right.row : left.tier < right.tier;
}

QString tierName(int tier) {
    return QString::fromUtf8(product::columnTitlesUtf8()[static_cast<std::size_t>(product::priceField(tier))]);
}

QString productText(const std::string& id, const std::string& name) {
    return big5::toUnicode(product::productLabel(id, name));
}

// What PRODUCT held, or holds: the six prices, or that it has no such
// product.
QString pricesOrMissingText(const std::optional<product::TierPrices>& prices) {
    if (!prices) return QString::fromUtf8("不在 PRODUCT");
    return QString::fromStdString(product::pricesText(*prices));
}

}  // namespace

TPriceReview::TPriceReview(const TProductWorkTable& table) : table_(table) {
    counts_.rows = static_cast<std::size_t>(table.rowCount());
    // The largest changes so far, kept sorted; a batch of a hundred thousand
    // rows is walked once without holding its changes.
    std::vector<PriceChangeLine> largest;
    largest.reserve(kLargestChanges + 1);
    for (int row = 0; row < table.rowCount(); ++row) {
        for (int tier = 1; tier <= product::kTierCount; ++tier) {
            const review::PriceCellReview cell = review::reviewPrice(table, row, tier);
            if (cell.belowCost) ++counts_.belowCost;
            switch (cell.change) {
                case review::PriceChange::NeverComputed: ++counts_.neverComputed; break;
                case review::PriceChange::NoLoadedPrice: ++counts_.withoutLoadedPrice; break;
                case review::PriceChange::Unchanged: ++counts_.unchanged; break;
                case review::PriceChange::Raised: ++counts_.raised; break;
                case review::PriceChange::Lowered: ++counts_.lowered; break;
            }
            if (cell.change != review::PriceChange::Raised && cell.change != review::PriceChange::Lowered) continue;
            PriceChangeLine line{row, tier, {}, {}, cell};
            if (largest.size() == kLargestChanges && !largerChange(line, largest.back())) continue;
            largest.insert(std::upper_bound(largest.begin(), largest.end(), line, largerChange), std::move(line));
            if (largest.size() > kLargestChanges) largest.pop_back();
        }
    }
    for (PriceChangeLine& line : largest) {
        line.productId = table.valueAt(line.row, product::PROD_ID).toString();
        line.productName = table.valueAt(line.row, product::PROD_NAME).toString();
    }
    largest_ = std::move(largest);
}

std::vector<int> TPriceReview::rowsWithLoadedPrices() const {
    std::vector<int> rows;
    for (int row = 0; row < table_.rowCount(); ++row)
        if (table_.loadedPricesAt(row)) rows.push_back(row);
    return rows;
}

void TPriceReview::compareWithDatabase(catalog::TCurrentPriceReader& currentPrices) {
    const std::vector<int> rows = rowsWithLoadedPrices();
    if (rows.empty()) return;
    std::vector<std::string> productIds;
    productIds.reserve(rows.size());
    for (int row : rows) productIds.push_back(table_.valueAt(row, product::PROD_ID).toString());
    compareWith(rows, currentPrices.readAll(productIds));
}

void TPriceReview::compareWith(const std::vector<int>& rows, const std::vector<std::optional<product::TierPrices>>& current) {
    if (rows.size() != current.size())
        throw rt::AppError("The current prices answer " + std::to_string(current.size()) + " products, not " +
                           std::to_string(rows.size()));
    changedSince_.clear();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // Exact: any change since the load is told, even one within a cent.
        const product::LoadedPrices* loaded = table_.loadedPricesAt(rows[i]);
        if (!loaded || *loaded == current[i]) continue;
        changedSince_.push_back({rows[i], table_.valueAt(rows[i], product::PROD_ID).toString(),
                                 table_.valueAt(rows[i], product::PROD_NAME).toString(), *loaded, current[i]});
    }
}

QString TPriceReview::summaryText() const {
    QString text = QString::fromUtf8("共 %1 列。價格調高 %2，調低 %3，不變 %4，低於成本 %5，未計算 %6。")
                       .arg(counts_.rows)
                       .arg(counts_.raised)
                       .arg(counts_.lowered)
                       .arg(counts_.unchanged)
                       .arg(counts_.belowCost)
                       .arg(counts_.neverComputed);
    if (counts_.withoutLoadedPrice > 0)
        text += QString::fromUtf8("無原價可比 %1。").arg(counts_.withoutLoadedPrice);
    if (!changedSince_.empty())
        text += QString::fromUtf8("\n資料檢視後，資料庫中已有 %1 項商品的價格被更改；要重新載入請按 No。")
                    .arg(changedSince_.size());
    return text;
}

QString TPriceReview::detailsText() const {
    QStringList lines;
    if (!largest_.empty()) {
        lines << QString::fromUtf8("變動最大的價格：");
        for (const PriceChangeLine& line : largest_)
            lines << QStringLiteral("%1  %2  %3")
                         .arg(productText(line.productId, line.productName), tierName(line.tier),
                              QString::fromStdString(review::changeText(line.cell)));
    }
    if (!changedSince_.empty()) {
        if (!lines.isEmpty()) lines << QString();
        lines << QString::fromUtf8("資料檢視後被更改的商品（載入時 → 現在）：");
        const std::size_t listed = std::min(kChangedSinceListed, changedSince_.size());
        for (std::size_t i = 0; i < listed; ++i) {
            const ChangedSinceLine& line = changedSince_[i];
            lines << QStringLiteral("%1  %2 → %3")
                         .arg(productText(line.productId, line.productName), pricesOrMissingText(line.loaded),
                              pricesOrMissingText(line.now));
        }
        if (changedSince_.size() > listed)
            lines << QString::fromUtf8("……另有 %1 項").arg(changedSince_.size() - listed);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace batch
