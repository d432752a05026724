#include "PricePreview.h"

#include "Big5Text.h"
#include "Errors.h"
#include "PriceCalculation.h"
#include "PriceChange.h"
#include "PriceJournal.h"
#include "PriceReview.h"
#include "PriceUpdate.h"
#include "ProductStatements.h"
#include "SubCategoryLoader.h"
#include "TierPrices.h"

namespace batch {

namespace {

// Bytes gathered before they go to the output.
constexpr qsizetype kWriteChunk = 1 << 16;

QByteArray number(const std::optional<double>& value) {
    return value ? QByteArray::fromStdString(product::priceText(*value)) : QByteArray();
}

QByteArray number(const rt::FieldValue& value) {
    return number(value.isNull() ? std::nullopt : std::optional<double>(value.toDouble()));
}

QList<QByteArray> titles() {
    QList<QByteArray> fields = {"PROD_ID", "PROD_NAME", "STD_COST"};
    for (int tier = 1; tier <= product::kTierCount; ++tier) fields.push_back("D_PROFIT" + QByteArray::number(tier));
    for (const char* column : catalog::kPriceParameters)
        for (const char* side : {"old ", "new ", "change "}) fields.push_back(QByteArray(side) + column);
    return fields;
}

void put(QIODevice& out, const QByteArray& bytes) {
    if (out.write(bytes) != bytes.size())
        throw rt::AppError("Cannot write the preview: " + big5::fromUnicodeLossy(out.errorString()));
}

}  // namespace

QByteArray previewSummaryLine(const ReviewCounts& counts) {
    const auto n = [](std::size_t count) { return QByteArray::number(static_cast<qulonglong>(count)); };
    return journal::csvLine({"summary", "rows", n(counts.rows), "raised", n(counts.raised), "lowered", n(counts.lowered),
                    "unchanged", n(counts.unchanged), "below cost", n(counts.belowCost), "never computed",
                    n(counts.neverComputed), "no old price", n(counts.withoutLoadedPrice)});
}

TPricePreview::TPricePreview(db::TDataLinkConnection& connection)
    : connection_(connection), query_(connection), provider_(query_), dataSet_(provider_) {
    // The window's table, so that the same rules price it.
    product::defineProductTable(table_);
}

bool TPricePreview::load(const std::string& key) {
    return catalog::TSubCategoryLoader(dataSet_, connection_).load(table_, key).found;
}

std::vector<std::string> TPricePreview::price() {
    std::vector<std::string> failures;
    for (table_.first(); !table_.eof(); table_.next()) {
        try {
            pricing::priceCurrentRow(table_);
        } catch (const rt::AppError& error) {
            // The rows before keep their prices and the run goes on; this
            // one shows none rather than a half-worked set.
            const std::string productId = table_.text(product::PROD_ID);
            table_.cancel();
            failures.push_back(productId + ": " + error.what());
        }
    }
    return failures;
}

QList<QByteArray> TPricePreview::rowFields(int row) const {
    QList<QByteArray> fields;
    fields.reserve(9 + 3 * product::kTierCount);
    fields.push_back(journal::textCell(big5::toUnicode(table_.valueAt(row, product::PROD_ID).toString())));
    fields.push_back(journal::textCell(big5::toUnicode(table_.valueAt(row, product::PROD_NAME).toString())));
    fields.push_back(number(table_.valueAt(row, product::STD_COST)));
    for (int tier = 1; tier <= product::kTierCount; ++tier)
        fields.push_back(number(table_.valueAt(row, product::rateField(tier))));
    for (int tier = 1; tier <= product::kTierCount; ++tier) {
        const review::PriceCellReview cell = review::reviewPrice(table_, row, tier);
        fields.push_back(cell.productMissing ? QByteArray("missing") : number(cell.loadedPrice));
        fields.push_back(number(cell.newPrice));
        fields.push_back(QByteArray::fromStdString(review::percentText(cell)));
    }
    return fields;
}

void TPricePreview::writeCsv(QIODevice& out) const {
    QByteArray buffer = journal::csvLine(titles());
    for (int row = 0; row < table_.rowCount(); ++row) {
        buffer += journal::csvLine(rowFields(row));
        if (buffer.size() >= kWriteChunk) {
            put(out, buffer);
            buffer.clear();
        }
    }
    buffer += previewSummaryLine(TPriceReview(table_).counts());
    put(out, buffer);
}

}  // namespace batch
