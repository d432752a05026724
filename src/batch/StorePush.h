// The push of a written-back batch to the stores: the head office's
// write-back journal read back (every row's product and six new prices)
// and sent to each chosen store on a connection and a thread of its own,
// up to Parallel stores at once.
//
// Each store is written in one transaction with the write-back's UPDATE,
// under a journal of its own (that store's database and old prices, made
// durable before its first UPDATE), so that reverting it reverts that
// store alone. A store that refuses a row, loses its connection, gives no
// answer for the answer timeout or is cancelled keeps nothing; the others
// go on. A product a store lacks changes nothing there and is named.
//
// The push record (journal::PushRecord) beside the head office journal is
// written before any store is touched and again as each store starts and
// ends. Pushing the same journal again leaves alone every store the record
// says has the batch and whose prices still are the batch's; a store
// delivered before whose prices changed since is written again only when
// the caller says so (the operator's question, or forced).
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "ConnectionSettings.h"
#include "JournalSettings.h"
#include "PriceJournal.h"
#include "PushRecord.h"
#include "StoreSettings.h"

namespace batch {

enum class StoreStatus {
    Waiting,
    Sending,
    Delivered,         // written by this push
    AlreadyDelivered,  // an earlier push delivered it and its prices are still the batch's
    Changed,           // an earlier push delivered it and its prices changed since; not written again
    Failed,
    Cancelled,
};

struct StoreProgress {
    QString store;
    StoreStatus status = StoreStatus::Waiting;
    std::size_t sent = 0;   // rows written so far in the open transaction
    std::size_t total = 0;  // rows of the batch
    QString reason;         // Failed: the error; Changed: the products changed since
    QString storeJournal;   // the store's own journal
    // Products of the batch the store does not have: changed nothing there.
    std::vector<journal::JournalEntry> missing;

    bool hasBatch() const { return status == StoreStatus::Delivered || status == StoreStatus::AlreadyDelivered; }
};

struct StoreTarget {
    QString name;
    db::ConnectionSettings connection;
};

struct PushOptions {
    int parallel = settings::StoreSettings::kDefaultParallel;
    // Writes again the stores delivered before whose prices changed since.
    bool force = false;
    // The stores' journals; off only to measure what they cost.
    journal::JournalSettings journal = journal::JournalSettings::load();
    // The push record; off only to measure what it costs.
    bool record = true;
    // A call with no answer this long ends its store as a lost connection.
    std::chrono::seconds answerTimeout{60};
    // After Cancel, a store whose call in flight has not ended this long
    // after the server was asked to end it has its connection closed.
    std::chrono::milliseconds abortAfter{3000};
    // Asked once, on the thread that runs the push, before any store is
    // written, with the stores delivered before whose prices changed since:
    // true writes them again. Without it they are left alone (unless forced).
    std::function<bool(const QStringList& stores)> rewriteChanged;
    // Asked every so often on the thread that runs the push: true acts as
    // Cancel (a termination signal on the command line).
    std::function<bool()> stopRequested;
    // Called, on the store's thread, whenever a store's progress changes.
    std::function<void()> changed;
};

// The [Stores] names the caller chose: every configured store for an empty
// list (or "all"), otherwise the named ones in push order. Raises
// rt::AppError, before anything is written, for a name not configured, one
// named twice, or a store whose connection section cannot be used.
std::vector<StoreTarget> chosenStores(const settings::StoreSettings& stores, const QStringList& chosen);

// Raises rt::AppError naming the journal when its write-back did not write
// its whole batch (unfinished, or stopped part-way): such a batch is not
// pushed.
void checkPushable(const journal::Journal& journal);

// The journal's source line for a store's journal.
QString pushSource(const QString& journalPath, const QString& store);
bool isPushSource(const QString& source);

class TStorePush {
public:
    TStorePush(QString journalPath, std::vector<StoreTarget> stores, PushOptions options);
    ~TStorePush();
    TStorePush(const TStorePush&) = delete;
    TStorePush& operator=(const TStorePush&) = delete;

    // Returns once every store has ended, with each store's outcome in the
    // order given. Raises rt::AppError before any store is touched for a
    // journal that cannot be read, whose write-back did not finish, or a
    // record that cannot be read or written.
    std::vector<StoreProgress> run();

    // From any thread: stores not started are not started, and every store
    // still writing is interrupted and rolls back.
    void cancel();
    bool cancelled() const { return cancelled_.load(); }

    // Every store's progress now, from any thread.
    std::vector<StoreProgress> progress() const;
    const QString& recordPath() const { return recordPath_; }

private:
    struct Batch;
    struct Flight;
    void runEach(const std::vector<std::size_t>& stores, const std::function<void(std::size_t)>& work);
    void checkDelivered(std::size_t store);
    void writeStore(std::size_t store);
    void update(std::size_t store, const std::function<void(StoreProgress&)>& change);
    void recordState(std::size_t store, journal::PushState state, const QString& storeJournal, const QString& reason);
    void escalate();

    QString journalPath_;
    QString recordPath_;
    std::vector<StoreTarget> stores_;
    PushOptions options_;
    std::shared_ptr<const Batch> batch_;

    mutable std::mutex mutex_;  // progress_, flights_, cancelledAt_
    std::vector<StoreProgress> progress_;
    // Taken alone for the record, so that a store's file write and sync
    // never hold up the other stores' rows.
    std::mutex recordMutex_;
    std::optional<journal::PushRecord> record_;
    std::vector<std::shared_ptr<Flight>> flights_;  // per store; null while none is open
    std::atomic<bool> cancelled_{false};
    std::chrono::steady_clock::time_point cancelledAt_;
};

// One line a person reads: the store's name and what became of it.
QString storeOutcomeText(const StoreProgress& store);

}  // namespace batch
