#include "PriceRevert.h"

#include <QFileInfo>
#include <algorithm>
#include <map>

#include "Big5Text.h"
#include "CurrentPriceReader.h"
#include "Errors.h"
#include "JournalHistory.h"
#include "PriceWriteBack.h"
#include "StatementService.h"

namespace batch {

TPriceRevert::TPriceRevert(db::TStatementService& statement, RevertOptions options)
    : statement_(statement), options_(std::move(options)) {}

void TPriceRevert::checkDatabase(const journal::Journal& journal) {
    db::TDataLinkConnection& connection = statement_.connection();
    connection.open();
    const QString database = big5::toUnicode(connection.Params().value("Database"));
    if (database == journal.header.database || options_.force) return;
    refuseUnlessOverridden(RevertRefused(
        RevertRefused::Check::OtherDatabase,
        "The journal " + big5::fromUnicodeLossy(QFileInfo(journal.path).fileName()) +
            " was made against the database '" + big5::fromUnicodeLossy(journal.header.database) +
            "', but the connection is to '" + big5::fromUnicodeLossy(database) +
            "'; nothing was reverted (--force reverts it all the same)",
        {journal.header.database, database}));
}

void TPriceRevert::checkOrder(const journal::Journal& journal) {
    if (options_.force) return;
    const QStringList newer = journal::TJournalHistory(options_.journal.folder).newerWritesOver(journal);
    if (newer.isEmpty()) return;
    refuseUnlessOverridden(RevertRefused(
        RevertRefused::Check::NewerJournals,
        "Newer journals wrote some of the same products and have not been reverted: " +
            big5::fromUnicodeLossy(newer.join(QStringLiteral(", "))) + ". Revert them first, newest first; reverting " +
            big5::fromUnicodeLossy(QFileInfo(journal.path).fileName()) +
            " now would put its old prices over theirs. Nothing was reverted (--force reverts it all the same)",
        newer));
}

void TPriceRevert::refuseUnlessOverridden(const RevertRefused& refusal) const {
    if (options_.overrideRefusal && options_.overrideRefusal(refusal)) return;
    throw refusal;
}

RevertReport TPriceRevert::run(const journal::Journal& journal) {
    checkDatabase(journal);
    checkOrder(journal);
    RevertReport report;
    report.rows = journal.entries.size();

    // The rows of each product in write order, products in the order they
    // first appear.
    std::vector<std::vector<const journal::JournalEntry*>> products;
    std::map<std::string, std::size_t> productIndex;
    for (const journal::JournalEntry& entry : journal.entries) {
        const auto [at, added] = productIndex.emplace(entry.productId, products.size());
        if (added) products.emplace_back();
        products[at->second].push_back(&entry);
    }
    std::vector<std::string> productIds;
    for (const auto& rows : products) productIds.push_back(rows.front()->productId);
    const std::vector<std::optional<product::TierPrices>> current =
        catalog::TCurrentPriceReader(statement_.connection()).readAll(productIds);

    // Whether the product's prices are neither the first row's old ones
    // (to the cent: a price written with more decimals than PRODUCT keeps
    // comes back rounded, and is still the price the batch wrote) nor any
    // that the batch left there.
    const auto changedSince = [&](std::size_t product) {
        const std::vector<const journal::JournalEntry*>& rows = products[product];
        const std::optional<product::TierPrices>& now = current[product];
        if (!rows.front()->oldPrices || !now || product::equalToTheCent(*now, *rows.front()->oldPrices)) return false;
        return std::none_of(rows.begin(), rows.end(), [&now](const journal::JournalEntry* row) {
            return product::equalToTheCent(*now, row->newPrices) ||
                   (row->oldPrices && product::equalToTheCent(*now, *row->oldPrices));
        });
    };
    bool forceChanged = options_.force;
    if (!forceChanged && options_.revertChangedRows) {
        std::vector<ChangedRow> changed;
        for (std::size_t product = 0; product < products.size(); ++product)
            if (changedSince(product))
                for (const journal::JournalEntry* row : products[product]) changed.push_back({*row, *current[product]});
        forceChanged = !changed.empty() && options_.revertChangedRows(changed);
    }

    std::vector<PriceRow> toWrite;
    std::vector<std::optional<product::TierPrices>> before;
    std::vector<const journal::JournalEntry*> writtenFrom;
    for (std::size_t product = 0; product < products.size(); ++product) {
        const std::vector<const journal::JournalEntry*>& rows = products[product];
        const journal::JournalEntry& first = *rows.front();
        const journal::JournalEntry& last = *rows.back();
        const std::optional<product::TierPrices>& now = current[product];
        if (!first.oldPrices) {
            report.unchanged += rows.size();  // the UPDATEs found no such product and changed nothing
            continue;
        }
        if (!now) {
            for (const journal::JournalEntry* row : rows) report.missing.push_back(*row);
            continue;
        }
        if (product::equalToTheCent(*now, *first.oldPrices)) {
            report.unchanged += rows.size();
            continue;
        }
        const bool leftByTheBatch = !changedSince(product);
        if (!leftByTheBatch && !forceChanged) {
            for (const journal::JournalEntry* row : rows) report.skipped.push_back({*row, *now});
            continue;
        }
        if (!leftByTheBatch) {
            journal::JournalEntry forced = last;
            forced.oldPrices = first.oldPrices;
            report.forced.push_back({std::move(forced), *now});
        }
        // One UPDATE puts the product back; its other rows need nothing more.
        report.unchanged += rows.size() - 1;
        toWrite.push_back({first.productId, last.productName, *first.oldPrices});
        before.push_back(now);
        writtenFrom.push_back(&last);
    }

    TListedPriceRows rows(std::move(toWrite));
    TPriceWriteBack writeBack(statement_, options_.journal, options_.writeBack);
    WriteBackSteps steps;
    steps.progress = options_.progress;
    steps.stopRequested = options_.stopRequested;
    steps.knownOldPrices = [&before](std::size_t row) { return before.at(row); };
    steps.source = journal::revertSource(journal.path);
    steps.nulls = NullPrice::WrittenAsNull;
    try {
        if (!rows.rows().empty()) {
            if (options_.runWriteBack)
                options_.runWriteBack(writeBack, rows, steps);
            else
                writeBack.run(rows, steps);
        }
    } catch (const std::exception& error) {
        // Before the first UPDATE (no journal, or it could not be written)
        // or after the last one, there is no failing row to tell.
        // In one transaction the row that failed is the one after those
        // sent; none of them stays written.
        const bool journalWritten = !options_.journal.enabled || !writeBack.journalPath().isEmpty();
        const std::size_t failing = writeBack.oneTransaction() ? writeBack.sent() : writeBack.written();
        if (!journalWritten || failing >= writtenFrom.size()) throw;
        report.reverted = writeBack.written();
        report.journalPath = writeBack.journalPath();
        report.inDoubt = writeBack.inDoubt().has_value();
        throw RevertStopped(error.what(), std::current_exception(), std::move(report), *writtenFrom[failing]);
    }
    report.reverted = writeBack.written();
    report.stopped = writeBack.stopped();
    report.journalPath = writeBack.journalPath();
    return report;
}

}  // namespace batch
