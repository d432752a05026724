#include "JournalHistory.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <functional>

namespace journal {

std::optional<QString> journalFolderNote(const QString& folder) {
    struct stat status {};
    if (::stat(QFile::encodeName(folder).constData(), &status) != 0 || !S_ISDIR(status.st_mode)) return std::nullopt;
    const mode_t rights = status.st_mode & 07777;
    if ((rights & 077) == 0) return std::nullopt;
    return QStringLiteral("Note: the journal folder %1 has mode %2, so other accounts on this machine can look into "
                          "the price history; `chmod 700 %1` makes it private (the program leaves a folder it did "
                          "not make as it is).")
        .arg(folder, QStringLiteral("0") + QString::number(rights, 8));
}

TJournalHistory::TJournalHistory(const QString& folder) {
    for (const QString& path : journalFiles(folder)) {
        const QString name = QFileInfo(path).fileName();
        try {
            const JournalHeader header = readJournalHeader(path);
            Seen seen{path, header.database, header.time, revertedJournalName(header.source)};
            if (!seen.reverts.isEmpty()) revertsOf_[seen.reverts].push_back(name);
            journals_.emplace(name, std::move(seen));
        } catch (const std::exception&) {
            unreadable_.push_back(name);
        }
    }
}

QString TJournalHistory::revertedBy(const QString& fileName) const {
    // A chain of reverts of reverts is as long as the folder at most.
    std::function<QString(const QString&, int)> standingRevert = [&](const QString& name, int depth) -> QString {
        const auto reverts = revertsOf_.find(name);
        if (reverts == revertsOf_.end() || depth > int(journals_.size())) return {};
        for (const QString& revert : reverts->second)
            if (standingRevert(revert, depth + 1).isEmpty()) return revert;
        return {};
    };
    return standingRevert(fileName, 0);
}

bool TJournalHistory::isNewer(const QString& fileName, const Seen& seen, const QString& thanName,
                              const QDateTime& thanTime) const {
    if (seen.time != thanTime) return seen.time > thanTime;
    return fileName > thanName;
}

bool TJournalHistory::standsOver(const QString& fileName, const Seen& seen, const QString& journalName,
                                 const QDateTime& journalTime) const {
    if (fileName == journalName || !isNewer(fileName, seen, journalName, journalTime)) return false;
    if (!revertedBy(fileName).isEmpty()) return false;
    if (seen.reverts.isEmpty()) return true;
    // A revert of this journal, or of one begun after it, left the prices as
    // this journal's write-back or a later one had found them.
    if (seen.reverts == journalName) return false;
    const auto reverted = journals_.find(seen.reverts);
    return reverted == journals_.end() || !isNewer(reverted->first, reverted->second, journalName, journalTime);
}

std::set<std::string> TJournalHistory::productsWritten(const Journal& journal) {
    std::set<std::string> products;
    for (const JournalEntry& entry : journal.entries)
        if (entry.oldPrices) products.insert(entry.productId);
    return products;
}

QStringList TJournalHistory::newerWritesOver(const Journal& journal) const {
    const QString name = QFileInfo(journal.path).fileName();
    const std::set<std::string> products = productsWritten(journal);
    QStringList newer;
    for (const auto& [fileName, seen] : journals_) {
        if (seen.database != journal.header.database || !standsOver(fileName, seen, name, journal.header.time)) continue;
        // Rows that cannot be read stop the revert with that error: whether
        // they wrote the same products cannot be told.
        const std::set<std::string> theirs = productsWritten(readJournal(seen.path));
        const bool shared = std::any_of(theirs.begin(), theirs.end(),
                                        [&products](const std::string& product) { return products.count(product) > 0; });
        if (shared) newer.push_front(fileName);
    }
    return newer;
}

}  // namespace journal
