// The journals of one folder seen together: which of them a revert has put
// back, and which newer write-backs stand over the products of a journal
// about to be reverted. A revert's journal names the journal it put back.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "PriceJournal.h"

namespace journal {

// The note for a journal folder that other accounts on the machine may
// enter or read (any group or other rights): the program makes the folder
// the owner's alone, but leaves one that was there before as it is. Nothing
// for a private folder, or when there is no folder. The command line's
// listing and the history window show the same note.
std::optional<QString> journalFolderNote(const QString& folder);

class TJournalHistory {
public:
    // Reads the header of every journal of the folder (the rows only of
    // those a revert asks about); a file that is not a readable journal is
    // left out and named by unreadable().
    explicit TJournalHistory(const QString& folder);

    // The file name of the revert that put the journal back and still
    // stands itself (was not reverted in turn); empty when there is none.
    QString revertedBy(const QString& fileName) const;

    // Journals of the same database, begun after this one, that wrote any
    // of its products and whose writes still stand: reverting this one
    // first would put its old prices over theirs. File names, newest first.
    QStringList newerWritesOver(const Journal& journal) const;

    const QStringList& unreadable() const { return unreadable_; }

private:
    struct Seen {
        QString path;
        QString database;
        QDateTime time;
        QString reverts;  // the file name a revert put back; empty for a write-back
    };
    // Products the journal's rows found in PRODUCT (and so wrote).
    static std::set<std::string> productsWritten(const Journal& journal);
    bool isNewer(const QString& fileName, const Seen& seen, const QString& thanName, const QDateTime& thanTime) const;
    bool standsOver(const QString& fileName, const Seen& seen, const QString& journalName,
                    const QDateTime& journalTime) const;

    std::map<QString, Seen> journals_;  // by file name
    std::map<QString, QStringList> revertsOf_;
    QStringList unreadable_;
};

}  // namespace journal
