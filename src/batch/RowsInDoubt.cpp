#include "RowsInDoubt.h"

#include <map>
#include <optional>
#include <string>

#include "Big5Text.h"
#include "CurrentPriceReader.h"
#include "PriceJournal.h"
#include "TDataLinkConnection.h"

namespace batch {

namespace {

bool holds(const std::optional<product::TierPrices>& now, const PriceRow& row) {
    return !now || product::equalToTheCent(*now, row.prices);
}

}  // namespace

std::size_t settleRowsInDoubt(db::TDataLinkConnection& connection, const RowsInDoubt& doubt) {
    std::vector<std::string> productIds;
    productIds.reserve(doubt.rows.size());
    for (const PriceRow& row : doubt.rows) productIds.push_back(row.productId);
    connection.open();
    const std::vector<std::optional<product::TierPrices>> now =
        catalog::TCurrentPriceReader(connection).readAll(productIds);

    std::size_t written = doubt.writtenBefore;
    if (doubt.oneTransaction) {
        // A product named twice keeps what its last row wrote.
        std::map<std::string, std::size_t> lastRow;
        for (std::size_t row = 0; row < doubt.rows.size(); ++row) lastRow[doubt.rows[row].productId] = row;
        bool committed = true;
        for (const auto& [productId, row] : lastRow) committed = committed && holds(now[row], doubt.rows[row]);
        written = committed ? doubt.total : 0;
    } else {
        // Row by row, only a prefix can have been committed.
        for (std::size_t row = 0; row < doubt.rows.size() && holds(now[row], doubt.rows[row]); ++row) ++written;
    }
    if (!doubt.journalPath.isEmpty()) journal::rewriteClosingCount(doubt.journalPath, written);
    return written;
}

std::string settledMessage(const RowsInDoubt& doubt, std::size_t written) {
    const std::string found = big5::fromUtf8("與伺服器的連線在等候寫入的回應時中斷，重新連線後查明：");
    if (doubt.oneTransaction)
        return found + big5::fromUtf8(written == doubt.total && doubt.total != 0 ? "回存完成"
                                                                                  : "整批已復原，沒有寫入任何價格");
    return found + big5::fromUtf8("已回存 ") + std::to_string(written) + big5::fromUtf8(" 筆 (共 ") +
           std::to_string(doubt.total) + big5::fromUtf8(" 筆)") +
           big5::fromUtf8(written >= doubt.total ? "" : "，之後的商品都未回存");
}

}  // namespace batch
