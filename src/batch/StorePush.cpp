#include "StorePush.h"

#include <QFileInfo>
#include <algorithm>
#include <condition_variable>
#include <map>
#include <thread>

#include "Big5Text.h"
#include "ConnectionInterrupt.h"
#include "CurrentPriceReader.h"
#include "Errors.h"
#include "PriceRows.h"
#include "PriceWriteBack.h"
#include "StatementService.h"
#include "StoreConnection.h"
#include "TDataLinkConnection.h"
#include "WriteBackSettings.h"

namespace batch {

namespace {

// How often the thread that runs the push looks at a stop request and at
// a Cancel whose stores have not ended.
constexpr std::chrono::milliseconds kWatchEvery{100};
// A Changed store's reason names this many products at most.
constexpr std::size_t kChangedNamed = 5;

QString storeText(const std::string& bytes) { return big5::toUnicode(bytes); }

QString storeProductText(const std::string& id, const std::string& name) {
    return storeText(product::productLabel(id, name));
}

}  // namespace

// The batch as the head office journal recorded it, read once and shared by
// every store's thread.
struct TStorePush::Batch {
    std::vector<PriceRow> rows;
    std::vector<std::string> rowIds;  // rows' product numbers, in row order
    // Each product once, in order of first appearance, with the prices its
    // last row gave it: what a store that has the batch holds.
    std::vector<std::string> productIds;
    std::vector<PriceRow> finalRows;
};

// A store's connection while its thread has it open.
struct TStorePush::Flight {
    db::TConnectionInterrupt interrupt;
    bool aborted = false;
};

std::vector<StoreTarget> chosenStores(const settings::StoreSettings& stores, const QStringList& chosen) {
    QStringList names;
    const bool all = chosen.isEmpty() || (chosen.size() == 1 && chosen.front().compare(QLatin1String("all"), Qt::CaseInsensitive) == 0);
    if (all) {
        names = stores.names;
    } else {
        for (const QString& name : chosen) {
            const auto configured = std::find_if(stores.names.begin(), stores.names.end(), [&name](const QString& store) {
                return store.compare(name.trimmed(), Qt::CaseInsensitive) == 0;
            });
            if (configured == stores.names.end())
                throw rt::AppError(big5::fromUnicodeLossy(
                    QStringLiteral("The store '%1' is not among the stores configured in [Stores] Names (%2)")
                        .arg(name, stores.names.join(QLatin1Char(',')))));
            if (names.contains(*configured, Qt::CaseInsensitive))
                throw rt::AppError(big5::fromUnicodeLossy(QStringLiteral("The store '%1' is chosen twice").arg(name)));
            names.push_back(*configured);
        }
        // Push order is the configured order.
        std::sort(names.begin(), names.end(), [&stores](const QString& left, const QString& right) {
            return stores.names.indexOf(left) < stores.names.indexOf(right);
        });
    }
    if (names.isEmpty()) throw rt::AppError("No store is configured: the settings file's [Stores] Names is empty");
    std::vector<StoreTarget> targets;
    for (const QString& name : names) targets.push_back({name, db::storeConnectionSettings(big5::fromUnicode(name))});
    return targets;
}

void checkPushable(const journal::Journal& journal) {
    if (journal.written && *journal.written == journal.entries.size()) return;
    throw rt::AppError(big5::fromUnicodeLossy(
        QStringLiteral("The write-back of %1 did not write its whole batch (%2 of %3 rows); nothing was pushed")
            .arg(QFileInfo(journal.path).fileName(),
                 journal.written ? QString::number(*journal.written) : QStringLiteral("unfinished"))
            .arg(journal.entries.size())));
}

QString pushSource(const QString& journalPath, const QString& store) {
    return QStringLiteral("push of %1 to %2").arg(QFileInfo(journalPath).fileName(), store);
}

bool isPushSource(const QString& source) { return source.startsWith(QLatin1String("push of ")); }

QString storeOutcomeText(const StoreProgress& store) {
    QString text;
    switch (store.status) {
        case StoreStatus::Waiting: text = QStringLiteral("waiting"); break;
        case StoreStatus::Sending:
            text = QStringLiteral("sending %1 / %2").arg(store.sent).arg(store.total);
            break;
        case StoreStatus::Delivered: text = QStringLiteral("delivered"); break;
        case StoreStatus::AlreadyDelivered: text = QStringLiteral("delivered before, prices unchanged"); break;
        case StoreStatus::Changed:
            text = QStringLiteral("delivered before, changed since, not written again (%1)").arg(store.reason);
            break;
        case StoreStatus::Failed: text = QStringLiteral("failed (%1)").arg(store.reason); break;
        case StoreStatus::Cancelled: text = QStringLiteral("cancelled, nothing kept"); break;
    }
    if (!store.missing.empty()) {
        QStringList named;
        for (const journal::JournalEntry& entry : store.missing) named.push_back(storeProductText(entry.productId, entry.productName));
        text += QStringLiteral("; %1 products not in the store: %2").arg(store.missing.size()).arg(named.join(QStringLiteral(", ")));
    }
    return store.store + QStringLiteral(": ") + text;
}

TStorePush::TStorePush(QString journalPath, std::vector<StoreTarget> stores, PushOptions options)
    : journalPath_(std::move(journalPath)),
      recordPath_(journal::pushRecordPath(journalPath_)),
      stores_(std::move(stores)),
      options_(std::move(options)) {
    if (options_.parallel < 1 || options_.parallel > settings::StoreSettings::kMostParallel)
        throw rt::AppError("Parallel=" + std::to_string(options_.parallel) + " is not from 1 to " +
                           std::to_string(settings::StoreSettings::kMostParallel));
    for (const StoreTarget& store : stores_) {
        StoreProgress progress;
        progress.store = store.name;
        progress_.push_back(std::move(progress));
    }
    flights_.resize(stores_.size());
}

TStorePush::~TStorePush() = default;

std::vector<StoreProgress> TStorePush::progress() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

void TStorePush::update(std::size_t store, const std::function<void(StoreProgress&)>& change) {
    {
        std::lock_guard lock(mutex_);
        change(progress_[store]);
    }
    if (options_.changed) options_.changed();
}

void TStorePush::recordState(std::size_t store, journal::PushState state, const QString& storeJournal,
                             const QString& reason) {
    if (!options_.record) return;
    std::lock_guard lock(recordMutex_);
    journal::StorePushEntry* entry = record_->find(stores_[store].name);
    entry->state = state;
    entry->storeJournal = storeJournal;
    entry->reason = reason;
    entry->time = QDateTime::currentDateTimeUtc();
    journal::writePushRecord(*record_);
}

void TStorePush::cancel() {
    std::lock_guard lock(mutex_);
    if (cancelled_.exchange(true)) return;
    cancelledAt_ = std::chrono::steady_clock::now();
    for (const std::shared_ptr<Flight>& flight : flights_)
        if (flight) flight->interrupt.cancel();
}

// A store that has not ended long after it was asked to is cut off: its
// server gets no chance to commit, and the transaction dies with the
// connection.
void TStorePush::escalate() {
    std::lock_guard lock(mutex_);
    if (!cancelled_ || std::chrono::steady_clock::now() - cancelledAt_ < options_.abortAfter) return;
    for (const std::shared_ptr<Flight>& flight : flights_)
        if (flight && !flight->aborted) {
            flight->aborted = true;
            flight->interrupt.abort();
        }
}

void TStorePush::runEach(const std::vector<std::size_t>& stores, const std::function<void(std::size_t)>& work) {
    if (stores.empty()) return;
    std::atomic<std::size_t> next{0};
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    std::size_t running = std::min<std::size_t>(stores.size(), std::size_t(options_.parallel));
    std::vector<std::thread> threads;
    for (std::size_t thread = 0, count = running; thread < count; ++thread)
        threads.emplace_back([&] {
            for (std::size_t at = next++; at < stores.size(); at = next++) work(stores[at]);
            std::lock_guard lock(doneMutex);
            --running;
            doneSignal.notify_all();
        });
    std::unique_lock lock(doneMutex);
    while (running > 0) {
        doneSignal.wait_for(lock, kWatchEvery);
        lock.unlock();
        if (options_.stopRequested && options_.stopRequested()) cancel();
        escalate();
        lock.lock();
    }
    lock.unlock();
    for (std::thread& thread : threads) thread.join();
}

std::vector<StoreProgress> TStorePush::run() {
    // The batch first: a journal that cannot be pushed touches nothing.
    const journal::Journal headOffice = journal::readJournal(journalPath_);
    checkPushable(headOffice);
    auto batch = std::make_shared<Batch>();
    std::map<std::string, std::size_t> finalIndex;
    for (const journal::JournalEntry& entry : headOffice.entries) {
        batch->rows.push_back({entry.productId, entry.productName, entry.newPrices});
        batch->rowIds.push_back(entry.productId);
        const auto [at, added] = finalIndex.emplace(entry.productId, batch->finalRows.size());
        if (added) {
            batch->productIds.push_back(entry.productId);
            batch->finalRows.push_back(batch->rows.back());
        } else {
            batch->finalRows[at->second] = batch->rows.back();
        }
    }
    batch_ = batch;
    for (StoreProgress& store : progress_) store.total = batch_->rows.size();

    std::vector<std::size_t> toCheck, toWrite;
    if (options_.record) {
        journal::PushRecord record =
            journal::readPushRecord(recordPath_).value_or(journal::PushRecord{recordPath_, {}, {}});
        record.path = recordPath_;
        record.journalName = QFileInfo(journalPath_).fileName();
        for (std::size_t store = 0; store < stores_.size(); ++store) {
            const journal::StorePushEntry* entry = record.find(stores_[store].name);
            if (!entry) {
                journal::StorePushEntry added;
                added.store = stores_[store].name;
                record.stores.push_back(std::move(added));
            }
            // A store the batch may have reached (delivered, or an answer
            // to its commit that was lost) is read before it is written.
            (entry && entry->state != journal::PushState::NotTried ? toCheck : toWrite).push_back(store);
        }
        record_ = std::move(record);
        journal::writePushRecord(*record_);
    } else {
        for (std::size_t store = 0; store < stores_.size(); ++store) toWrite.push_back(store);
    }

    runEach(toCheck, [this](std::size_t store) { checkDelivered(store); });
    std::vector<std::size_t> changed;
    for (std::size_t store : toCheck) {
        const StoreStatus status = progress()[store].status;
        if (status == StoreStatus::Waiting) toWrite.push_back(store);
        if (status == StoreStatus::Changed) changed.push_back(store);
    }
    if (!changed.empty() && !cancelled_) {
        QStringList names;
        for (std::size_t store : changed) names.push_back(stores_[store].name);
        if (options_.force || (options_.rewriteChanged && options_.rewriteChanged(names)))
            for (std::size_t store : changed) {
                update(store, [](StoreProgress& progress) {
                    progress.status = StoreStatus::Waiting;
                    progress.reason.clear();
                });
                toWrite.push_back(store);
            }
    }
    std::sort(toWrite.begin(), toWrite.end());
    runEach(toWrite, [this](std::size_t store) { writeStore(store); });
    return progress();
}

void TStorePush::checkDelivered(std::size_t store) {
    const StoreTarget& target = stores_[store];
    journal::StorePushEntry recorded;
    {
        std::lock_guard lock(recordMutex_);
        recorded = *record_->find(target.name);
    }
    try {
        if (cancelled_) throw rt::AppError("cancelled");
        db::TDataLinkConnection connection(big5::fromUnicode(QStringLiteral("Store ") + target.name));
        db::useStoreConnection(connection, target.connection);
        connection.setAnswerTimeout(options_.answerTimeout);
        const std::vector<std::optional<product::TierPrices>> now =
            catalog::TCurrentPriceReader(connection).readAll(batch_->productIds);
        QStringList changed;
        for (std::size_t product = 0; product < now.size(); ++product) {
            const PriceRow& row = batch_->finalRows[product];
            if (now[product] && !product::equalToTheCent(*now[product], row.prices))
                changed.push_back(storeProductText(row.productId, row.productName));
        }
        if (changed.isEmpty()) {
            update(store, [&](StoreProgress& progress) {
                progress.status = StoreStatus::AlreadyDelivered;
                progress.storeJournal = recorded.storeJournal;
            });
            if (recorded.state != journal::PushState::Delivered)
                recordState(store, journal::PushState::Delivered, recorded.storeJournal, {});
            return;
        }
        if (recorded.state != journal::PushState::Delivered) return;  // not there yet: written next
        const qsizetype count = changed.size();
        if (changed.size() > qsizetype(kChangedNamed)) {
            changed = changed.mid(0, kChangedNamed);
            changed.push_back(QStringLiteral("..."));
        }
        update(store, [&](StoreProgress& progress) {
            progress.status = StoreStatus::Changed;
            progress.storeJournal = recorded.storeJournal;
            progress.reason =
                QStringLiteral("%1 products changed since: %2").arg(count).arg(changed.join(QStringLiteral(", ")));
        });
    } catch (const std::exception& error) {
        const QString reason = cancelled_ ? QStringLiteral("cancelled")
                                          : QStringLiteral("could not be checked: ") + storeText(error.what());
        update(store, [&](StoreProgress& progress) {
            progress.status = cancelled_ ? StoreStatus::Cancelled : StoreStatus::Failed;
            progress.reason = reason;
            progress.storeJournal = recorded.storeJournal;
        });
    }
}

void TStorePush::writeStore(std::size_t store) {
    const StoreTarget& target = stores_[store];
    const auto fail = [&](StoreStatus status, const QString& reason, const QString& storeJournal) {
        update(store, [&](StoreProgress& progress) {
            progress.status = status;
            progress.reason = reason;
            progress.sent = 0;
            progress.storeJournal = storeJournal;
        });
        try {
            recordState(store, journal::PushState::Failed, storeJournal, reason);
        } catch (const std::exception& error) {
            update(store, [&](StoreProgress& progress) { progress.reason += QStringLiteral("; ") + storeText(error.what()); });
        }
    };
    if (cancelled_) {
        fail(StoreStatus::Cancelled, QStringLiteral("cancelled"), {});
        return;
    }
    update(store, [](StoreProgress& progress) { progress.status = StoreStatus::Sending; });
    QString storeJournal;
    try {
        // On the disk before the store is touched: a push killed from here
        // on leaves the store named as one to read before it is written.
        recordState(store, journal::PushState::Sending, {}, {});
        db::TDataLinkConnection connection(big5::fromUnicode(QStringLiteral("Store ") + target.name));
        db::useStoreConnection(connection, target.connection);
        connection.setAnswerTimeout(options_.answerTimeout);
        connection.open();
        {
            std::lock_guard lock(mutex_);
            flights_[store] = std::make_shared<Flight>(Flight{db::TConnectionInterrupt(connection)});
        }
        struct Landing {
            TStorePush& push;
            std::size_t store;
            ~Landing() {
                std::lock_guard lock(push.mutex_);
                push.flights_[store].reset();
            }
        } landing{*this, store};
        if (cancelled_) throw rt::AppError("cancelled");

        db::TStatementService statement(connection);
        TPriceWriteBack writeBack(statement, options_.journal, settings::WriteBackSettings{true});
        TListedPriceRows rows(batch_->rows);
        std::optional<std::vector<std::optional<product::TierPrices>>> old;
        WriteBackSteps steps;
        steps.source = pushSource(journalPath_, target.name);
        steps.stopRequested = [this] { return cancelled_.load(); };
        // Read inside the store's transaction, so that the journal's old
        // prices are the ones its UPDATEs replace.
        steps.knownOldPrices = [&](std::size_t row) {
            if (!old) old = catalog::TCurrentPriceReader(connection).readAll(batch_->rowIds);
            return old->at(row);
        };
        bool journalNoted = false;
        steps.rowStarting = [&](const PriceRow&) {
            if (journalNoted) return;
            journalNoted = true;
            storeJournal = writeBack.journalPath();
            if (!storeJournal.isEmpty()) recordState(store, journal::PushState::Sending, storeJournal, {});
        };
        steps.progress = [&](std::size_t written, std::size_t total) {
            update(store, [&](StoreProgress& progress) {
                progress.sent = written;
                progress.total = total;
            });
        };
        writeBack.run(rows, steps);
        storeJournal = writeBack.journalPath();
        if (writeBack.stopped()) {
            fail(StoreStatus::Cancelled, QStringLiteral("cancelled"), storeJournal);
            return;
        }
        std::vector<journal::JournalEntry> missing;
        if (old)
            for (std::size_t row = 0; row < batch_->rows.size(); ++row)
                if (!(*old)[row]) missing.push_back({batch_->rows[row].productId, batch_->rows[row].productName, std::nullopt, batch_->rows[row].prices});
        update(store, [&](StoreProgress& progress) {
            progress.status = StoreStatus::Delivered;
            progress.storeJournal = storeJournal;
            progress.missing = std::move(missing);
        });
    } catch (const std::exception& error) {
        fail(cancelled_ ? StoreStatus::Cancelled : StoreStatus::Failed,
             cancelled_ ? QStringLiteral("cancelled") : storeText(error.what()).replace(QStringLiteral("\r\n"), QStringLiteral(" ")), storeJournal);
        return;
    }
    try {
        recordState(store, journal::PushState::Delivered, storeJournal, {});
    } catch (const std::exception& error) {
        // The store has the batch; the next push finds that out by reading it.
        update(store, [&](StoreProgress& progress) {
            progress.reason = QStringLiteral("the push record was not updated: ") + storeText(error.what());
        });
    }
}

}  // namespace batch
