#include "JournalListing.h"

#include <QFileInfo>
#include <exception>

#include "Big5Text.h"
#include "JournalHistory.h"

namespace journal {

JournalState ListedJournal::state() const {
    if (!revertedBy.isEmpty()) return JournalState::Reverted;
    return written ? JournalState::Complete : JournalState::Unfinished;
}

QString ListedJournal::reverts() const { return header ? revertedJournalName(header->source) : QString(); }

std::vector<ListedJournal> listJournals(const QString& folder) {
    const QStringList files = journalFiles(folder);
    std::vector<ListedJournal> listed;
    if (files.isEmpty()) return listed;
    const TJournalHistory history(folder);
    for (const QString& file : files) {
        ListedJournal entry;
        entry.path = file;
        entry.fileName = QFileInfo(file).fileName();
        try {
            const Journal journal = readJournal(file);
            entry.header = journal.header;
            entry.rows = journal.entries.size();
            entry.written = journal.written;
            entry.revertedBy = history.revertedBy(entry.fileName);
        } catch (const std::exception& error) {
            entry.error = big5::toUnicode(error.what());
        }
        listed.push_back(std::move(entry));
    }
    return listed;
}

}  // namespace journal
