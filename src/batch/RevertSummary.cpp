#include "RevertSummary.h"

#include "Big5Text.h"

namespace batch {

namespace {

QString shownPrices(const product::TierPrices& prices) { return QString::fromStdString(product::pricesText(prices)); }

QString productText(const journal::JournalEntry& entry) {
    return big5::toUnicode(product::productLabel(entry.productId, entry.productName));
}

}  // namespace

QString revertReportText(const RevertReport& report) {
    QString text;
    for (const ChangedRow& row : report.skipped)
        text += QStringLiteral("skipped %1 (line %2): changed since; now %3, the write-back wrote %4, before it %5\n")
                    .arg(productText(row.entry))
                    .arg(row.entry.line)
                    .arg(shownPrices(row.now), shownPrices(row.entry.newPrices), shownPrices(*row.entry.oldPrices));
    for (const ChangedRow& row : report.forced)
        text += QStringLiteral("forced %1: changed since (now %2), put back to %3\n")
                    .arg(productText(row.entry), shownPrices(row.now), shownPrices(*row.entry.oldPrices));
    for (const journal::JournalEntry& entry : report.missing)
        text += QStringLiteral("missing %1: no longer in PRODUCT\n").arg(productText(entry));
    text += QStringLiteral("%1 rows in the journal: %2 reverted, %3 needed nothing, %4 skipped, %5 missing\n")
                .arg(report.rows)
                .arg(report.reverted)
                .arg(report.unchanged)
                .arg(report.skipped.size())
                .arg(report.missing.size());
    if (!report.journalPath.isEmpty()) text += QStringLiteral("journal of this revert: %1\n").arg(report.journalPath);
    return text;
}

QString revertStoppedText(const QString& by, std::size_t reverted, bool oneTransaction) {
    if (oneTransaction)
        return QStringLiteral("Stopped by %1; the transaction was rolled back and nothing was reverted.\n").arg(by);
    return QStringLiteral("Stopped by %1 after %2 rows reverted; the rows after them were not touched.\n")
        .arg(by)
        .arg(reverted);
}

QString revertInDoubtText(const RevertStopped& stopped, bool oneTransaction) {
    return QStringLiteral("The connection was lost while a commit was on its way and the database could not be "
                          "asked since: whether %1 was reverted is not known. Run the revert again once the server "
                          "is back; it judges every row by what PRODUCT holds.\n")
        .arg(oneTransaction ? QStringLiteral("the batch") : productText(stopped.failingRow()));
}

QString revertFailedText(const RevertStopped& stopped, const QString& journalFile) {
    return QStringLiteral("%1\nThe revert stopped at %2 (line %3 of %4); so far:\n")
        .arg(big5::toUnicode(stopped.what()), productText(stopped.failingRow()))
        .arg(stopped.failingRow().line)
        .arg(journalFile);
}

}  // namespace batch
