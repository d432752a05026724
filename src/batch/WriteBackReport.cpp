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
    return big5::fromUtf8("，停在商品 ") + productLabel(*end.rowInFlight) +
           big5::fromUtf8("，此商品及之後的商品都未回存");
}

std::string retryText(const WriteBackEnd& end) {
    if (!end.connectionLost) return {};
    return big5::fromUtf8("；與伺服器的連線已中斷，伺服器恢復後再按「3.成本回存」即可回存這批價格");
}

}  // namespace

std::string productLabel(const PriceRow& row) {
    return product::productLabel(row.productId, row.productName);
}

std::string stoppedByErrorMessage(const std::string& errorText, const WriteBackEnd& end) {
    return errorText + "\r\n" + countsText(end) + stoppedAtText(end) + retryText(end);
}

std::string cancelledMessage(const WriteBackEnd& end) {
    return big5::fromUtf8("回存已取消：") + countsText(end) + stoppedAtText(end) + retryText(end);
}

}  // namespace batch
