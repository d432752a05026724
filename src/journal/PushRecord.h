// The push record: what became of a journal's batch at each store, kept
// beside the journal as JOURNAL-NAME.push (the journal's name without .csv).
// It is written before the first store is touched and again, whole and
// durably (a new file synced and renamed over the old, then the folder
// synced), each time a store starts or ends, so that a push killed midway
// leaves a record of which stores are done.
//
// A JSON object:
//   {"format": "Tarvell push record", "version": 1, "journal": "<file name>",
//    "stores": [{"store": "<name>", "state": "delivered" | "failed" | "not tried" | "sending",
//                "journal": "<the store's journal>", "reason": "<why it failed>",
//                "time": "<UTC, ISO 8601>"}, ...]}
// "sending" is a store whose transaction was open when the record was last
// written: a push that died then left nothing there unless the commit had
// gone through, which the next push finds out by reading the store.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace journal {

enum class PushState { NotTried, Sending, Delivered, Failed };

struct StorePushEntry {
    QString store;
    PushState state = PushState::NotTried;
    QString storeJournal;  // delivered or sending: the store's own journal
    QString reason;        // failed: why
    QDateTime time;        // when the state was reached (UTC); invalid for not tried
};

struct PushRecord {
    QString path;
    QString journalName;  // the head office journal's file name
    std::vector<StorePushEntry> stores;

    // The store's entry, letter case aside; null when the record has none.
    StorePushEntry* find(const QString& store);
    const StorePushEntry* find(const QString& store) const;
};

// Where the record of the journal lies.
QString pushRecordPath(const QString& journalPath);

// Nothing when there is no record yet. Raises rt::AppError naming the file
// for one that cannot be read or is not a push record.
std::optional<PushRecord> readPushRecord(const QString& path);

// Replaces the record on disk whole and durably. Raises rt::AppError with
// the system's words when it cannot.
void writePushRecord(const PushRecord& record);

// "delivered", "failed", "not tried", "sending".
QString pushStateName(PushState state);

}  // namespace journal
