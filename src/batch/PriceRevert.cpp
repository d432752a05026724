#include "PriceRevert.h"

#include <QFileInfo>
#include <cmath>
#include <map>

#include "Big5Text.h"
#include "Errors.h"
#include "PriceWriteBack.h"
#include "ProductPrices.h"
#include "StatementService.h"

namespace batch {

namespace {

// Half a cent, and a little for the double that stands for it.
constexpr double kCentTolerance = 0.005 + 1e-9;

bool samePrice(const rt::FieldValue& left, const rt::FieldValue& right) {
    if (left.isNull() || right.isNull()) return left.isNull() && right.isNull();
    const double a = left.toDouble(), b = right.toDouble();
    return a == b || std::fabs(a - b) <= kCentTolerance;
}

}  // namespace

bool samePrices(const Prices& left, const Prices& right) {
    for (std::size_t tier = 0; tier < left.size(); ++tier)
        if (!samePrice(left[tier], right[tier])) return false;
    return true;
}

TPriceRevert::TPriceRevert(db::TStatementService& statement, RevertOptions options)
    : statement_(statement), options_(std::move(options)) {}

void TPriceRevert::checkDatabase(const Journal& journal) {
    db::TDataLinkConnection& connection = statement_.connection();
    connection.open();
    const QString database = big5::toUnicode(connection.Params().value("Database"));
    if (database == journal.header.database || options_.force) return;
    throw rt::AppError("The journal " + messageText(QFileInfo(journal.path).fileName()) +
                       " was made against the database '" + messageText(journal.header.database) +
                       "', but the connection is to '" + messageText(database) +
                       "'; nothing was reverted (--force reverts it all the same)");
}

RevertReport TPriceRevert::run(const Journal& journal) {
    checkDatabase(journal);
    RevertReport report;
    report.rows = journal.entries.size();

    TProductPrices current(statement_.connection());
    // What each product will hold once the rows judged so far are written.
    std::map<std::string, std::optional<Prices>> expected;
    std::vector<PriceRow> toWrite;
    std::vector<std::optional<Prices>> before;
    for (std::size_t index = journal.entries.size(); index-- > 0;) {
        const JournalEntry* entry = &journal.entries[index];
        auto known = expected.find(entry->productId);
        const std::optional<Prices> now =
            known != expected.end() ? known->second : current.read(entry->productId);
        // Past the closing line's count the write-back wrote nothing, even
        // where someone has since set the same prices.
        const bool reached = !journal.written || index < *journal.written;
        if (!entry->oldPrices || !reached) {
            ++report.unchanged;  // the UPDATE found no such product and changed nothing
        } else if (!now) {
            report.missing.push_back(*entry);
        } else if (samePrices(*now, *entry->oldPrices)) {
            ++report.unchanged;
        } else {
            const bool written = samePrices(*now, entry->newPrices);
            if (!written) (options_.force ? report.forced : report.skipped).push_back({*entry, *now});
            if (written || options_.force) {
                toWrite.push_back({entry->productId, entry->productName, *entry->oldPrices});
                before.push_back(now);
                expected[entry->productId] = entry->oldPrices;
                continue;
            }
        }
        expected[entry->productId] = now;
    }

    TListedPriceRows rows(std::move(toWrite));
    TPriceWriteBack writeBack(statement_, options_.journal);
    WriteBackSteps steps;
    steps.progress = options_.progress;
    steps.stopRequested = options_.stopRequested;
    steps.knownOldPrices = [&before](std::size_t row) { return before.at(row); };
    steps.source = QStringLiteral("revert of ") + QFileInfo(journal.path).fileName();
    steps.nulls = NullPrice::WrittenAsNull;
    if (!rows.rows().empty()) writeBack.run(rows, steps);
    report.reverted = writeBack.written();
    report.stopped = writeBack.stopped();
    report.journalPath = writeBack.journalPath();
    return report;
}

}  // namespace batch
