#include "WriteBackReport.h"

#include "Big5Text.h"

namespace batch {

namespace {

std::string countsText(const WriteBackEnd& end) {
    return big5::fromUtf8("已回存 ") + std::to_string(end.written) + big5::fromUtf8(" 筆 (共 ") +
           std::to_string(end.total) + big5::fromUtf8(" 筆)");
}

std::string stoppedAtText(const WriteBackEnd& end) {
    if (!end.rowInFlight) return big5::fromUtf8("，之後的商品都未回存");
    if (end.inDoubt)
        return big5::fromUtf8("，商品 ") + productLabel(*end.rowInFlight) +
               big5::fromUtf8(" 送出後連線中斷，不知是否已回存，之後的商品都未回存");
    return big5::fromUtf8("，停在商品 ") + productLabel(*end.rowInFlight) +
           big5::fromUtf8("，此商品及之後的商品都未回存");
}

std::string retryText(const WriteBackEnd& end) {
    if (!end.connectionLost) return {};
    if (end.inDoubt)
        return big5::fromUtf8("；與伺服器的連線已中斷，伺服器恢復後再按「3.成本回存」，會先查明資料庫中的價格");
    return big5::fromUtf8("；與伺服器的連線已中斷，伺服器恢復後再按「3.成本回存」即可回存這批價格");
}

// What the database holds after a batch that ended early.
std::string heldText(const WriteBackEnd& end) {
    if (!end.oneTransaction) return countsText(end) + stoppedAtText(end);
    if (end.inDoubt) return big5::fromUtf8("整批已送出提交，但連線隨即中斷，不知是否已寫入");
    return big5::fromUtf8("整批已復原，沒有寫入任何價格");
}

}  // namespace

std::string productLabel(const PriceRow& row) {
    return product::productLabel(row.productId, row.productName);
}

std::string stoppedByErrorMessage(const std::string& errorText, const WriteBackEnd& end) {
    if (end.oneTransaction && !end.inDoubt) {
        const std::string retry = retryText(end);
        return retry.empty() ? errorText : errorText + "\r\n" + retry.substr(big5::fromUtf8("；").size());
    }
    return errorText + "\r\n" + heldText(end) + retryText(end);
}

std::string cancelledMessage(const WriteBackEnd& end) {
    return big5::fromUtf8("回存已取消：") + heldText(end) + retryText(end);
}

std::string sentText(std::size_t sent, std::size_t total) {
    return big5::fromUtf8("已送出 ") + std::to_string(sent) + " / " + std::to_string(total) +
           big5::fromUtf8(" 筆（整批在最後一起寫入）");
}

}  // namespace batch
