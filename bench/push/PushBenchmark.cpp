// Times the push of one batch to several store databases, each a database
// of its own behind a Firebird server that the benchmark starts for itself
// (scripts/firebird-server.sh, a state folder and port of its own) and
// stops at the end:
//   - every store written with Parallel=4 against the same with Parallel=1;
//   - a store's rows per second in the push (Parallel=1, and a push to one
//     store alone) against the one-transaction write-back of the same batch
//     to that store's database;
//   - the push with its record and the stores' journals against the push
//     without either (Parallel=4).
// Each push sends a batch whose prices differ from what the stores hold,
// so that every row is written. The sides of each comparison run in turn,
// in the opposite order each round, and each figure is the median of its
// rounds.
//
//   push_benchmark [--stores 8] [--products 20000] [--rounds 2]
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CountOptions.h"
#include "DataLinkStore.h"
#include "LocalServer.h"
#include "NumberedBatch.h"
#include "PointOfSaleSchema.h"
#include "PriceJournal.h"
#include "PriceWriteBack.h"
#include "ProgramIdentity.h"
#include "StatementService.h"
#include "StoreConnection.h"
#include "StorePush.h"
#include "StoreSettings.h"
#include "TDataLinkConnection.h"
#include "TestDatabase.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    int stores = 8;
    int products = 20000;
    int rounds = 2;
};

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string storeName(int store) {
    char name[16];
    std::snprintf(name, sizeof name, "Store%02d", store + 1);
    return name;
}

class PushBench {
public:
    PushBench(const Settings& settings, const testsupport::LocalServer& server) : settings_(settings), server_(server) {
        for (int store = 0; store < settings_.stores; ++store) {
            auto database = std::make_unique<testsupport::TestDatabase>();
            database->execute(testsupport::kProductTable);
            database->execute(testsupport::numberedProductsInsert(settings_.products, testsupport::kRisingPricesSql));
            databases_.push_back(std::move(database));
        }
        writeConfiguration();
    }

    // A fresh journal of a batch no store holds yet.
    QString newJournal() {
        ++shift_;
        const int shift = shift_;
        return testsupport::writeNumberedJournal(
            headOffice_.path(), "headoffice", settings_.products, [shift](int row, const std::string& id) {
                return journal::JournalEntry{id, "Item", testsupport::risingPrices(row), testsupport::risingPrices(row, shift), 0};
            });
    }

    // Every store, or the first one alone.
    double push(int parallel, bool recordAndJournals, bool firstStoreOnly = false) {
        const QString journalPath = newJournal();
        batch::PushOptions options;
        options.parallel = parallel;
        options.record = recordAndJournals;
        options.journal = {recordAndJournals, journals_.path(), nullptr};
        std::vector<batch::StoreTarget> stores;
        for (int store = 0; store < (firstStoreOnly ? 1 : settings_.stores); ++store) {
            const QString name = QString::fromStdString(storeName(store));
            stores.push_back({name, db::storeConnectionSettings(storeName(store))});
        }
        batch::TStorePush pushing(journalPath, std::move(stores), options);
        const Clock::time_point started = Clock::now();
        const std::vector<batch::StoreProgress> outcome = pushing.run();
        const double took = seconds(Clock::now() - started);
        for (const batch::StoreProgress& store : outcome)
            if (store.status != batch::StoreStatus::Delivered) {
                std::fprintf(stderr, "push_benchmark: %s\n", qPrintable(batch::storeOutcomeText(store)));
                std::exit(1);
            }
        return took;
    }

    // The one-transaction write-back of the same batch, with its journal, to
    // the first store's database (the program's own section names it), so
    // that it meets the database the one-store push meets.
    double writeBack() {
        const journal::Journal batch = journal::readJournal(newJournal());
        std::vector<batch::PriceRow> rows;
        for (const journal::JournalEntry& entry : batch.entries)
            rows.push_back({entry.productId, entry.productName, entry.newPrices});
        batch::TListedPriceRows listed(std::move(rows));
        db::TDataLinkConnection connection("SQLConnection1");
        connection.applyStoredProperties();
        db::TStatementService statement(connection);
        connection.open();
        batch::TPriceWriteBack writing(statement, {true, journals_.path(), nullptr}, settings::WriteBackSettings{true});
        const Clock::time_point started = Clock::now();
        writing.run(listed, {});
        return seconds(Clock::now() - started);
    }

private:
    void writeConfiguration() {
        testsupport::ConfigurationFiles files;
        files.database = databases_.front()->serverName(server_.address());
        files.password = server_.password;
        databases_.front()->writeConfiguration(configuration_.path().toStdString(), files);
        QFile file(configuration_.filePath(QStringLiteral("dlconnections.ini")));
        if (!file.open(QIODevice::ReadOnly)) std::exit(1);
        const QByteArray section = file.readAll();
        file.close();
        const QByteArray body = section.mid(section.indexOf('\n') + 1);
        QByteArray all = section;
        for (int store = 0; store < settings_.stores; ++store) {
            QByteArray storeSection = "[" + QByteArray::fromStdString(storeName(store)) + "]\n" + body;
            storeSection.replace("Database=" + QByteArray::fromStdString(files.database),
                                 "Database=" + QByteArray::fromStdString(databases_[std::size_t(store)]->serverName(server_.address())));
            all += storeSection;
        }
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(all) != all.size()) std::exit(1);
        file.close();
        testsupport::DataLinkStore::pointAt(configuration_.path());
    }

    Settings settings_;
    testsupport::LocalServer server_;
    std::vector<std::unique_ptr<testsupport::TestDatabase>> databases_;
    QTemporaryDir configuration_;
    QTemporaryDir headOffice_;
    QTemporaryDir journals_;
    int shift_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    settings::useProgramIdentity();
    Settings settings;
    bench::readCountOptions(QStringLiteral("The push of one batch to several store databases."),
                            {{"stores", "store databases", &settings.stores, 1, 32},
                             {"products", "products of the batch", &settings.products},
                             {"rounds", "rounds of each measurement", &settings.rounds}});
    // A server of the benchmark's own, whatever the environment names.
    if (!std::getenv("TARVELL_FB_SCRIPT")) setenv("TARVELL_FB_SCRIPT", TARVELL_SERVER_SCRIPT, 1);
    if (!std::getenv("TARVELL_FB_SERVER")) setenv("TARVELL_FB_SERVER", "127.0.0.1", 1);
    if (!std::getenv("TARVELL_FB_PASSWORD")) setenv("TARVELL_FB_PASSWORD", "quorvane", 1);
    const auto server = testsupport::OwnServer::startIfPossible();
    if (!server) {
        std::fprintf(stderr, "push_benchmark: cannot start a Firebird server\n");
        return 1;
    }
    std::printf("%d stores of %d products, one database each, behind a server of the benchmark's own; %d rounds\n",
                settings.stores, settings.products, settings.rounds);
    std::fflush(stdout);
    PushBench bench(settings, server->server());

    // Each round runs the pairs in the opposite order of the one before, so
    // that a machine growing busier or quieter weighs on both sides alike.
    std::vector<double> four, bare, one, single, alone;
    for (int round = 0; round < settings.rounds; ++round) {
        const bool forward = round % 2 == 0;
        if (forward) {
            four.push_back(bench.push(4, true));
            bare.push_back(bench.push(4, false));
        } else {
            bare.push_back(bench.push(4, false));
            four.push_back(bench.push(4, true));
        }
        one.push_back(bench.push(1, true));
        if (forward) {
            single.push_back(bench.push(1, true, true));
            alone.push_back(bench.writeBack());
        } else {
            alone.push_back(bench.writeBack());
            single.push_back(bench.push(1, true, true));
        }
        std::printf("round %d: Parallel=4 %.2f s, without record and journals %.2f s, Parallel=1 %.2f s, "
                    "one store %.2f s, write-back %.2f s\n",
                    round + 1, four.back(), bare.back(), one.back(), single.back(), alone.back());
        std::fflush(stdout);
    }
    const double rows = double(settings.stores) * settings.products;
    const double fourTime = median(four), oneTime = median(one), bareTime = median(bare), aloneTime = median(alone);
    const double singleTime = median(single);
    std::printf("\nParallel=4: %.2f s, %.0f rows/s\n", fourTime, rows / fourTime);
    std::printf("Parallel=1: %.2f s, %.0f rows/s\n", oneTime, rows / oneTime);
    std::printf("  Parallel=4 / Parallel=1: %.2fx (target at most 0.60x)\n", fourTime / oneTime);
    const double perStore = settings.products / (oneTime / settings.stores);
    const double singleRate = settings.products / singleTime;
    const double writeBackRate = settings.products / aloneTime;
    std::printf("per store in the push of every store (Parallel=1): %.0f rows/s\n", perStore);
    std::printf("push to one store: %.2f s, %.0f rows/s\n", singleTime, singleRate);
    std::printf("one-transaction write-back to that store's database: %.2f s, %.0f rows/s\n", aloneTime, writeBackRate);
    std::printf("  write-back rate / push rate per store: %.2fx, / one-store push rate: %.2fx (target at most 1.25x)\n",
                writeBackRate / perStore, writeBackRate / singleRate);
    std::printf("without record and store journals (Parallel=4): %.2f s, %.0f rows/s\n", bareTime, rows / bareTime);
    std::printf("  with / without: %.2fx (target at most 1.10x)\n", fourTime / bareTime);
    return 0;
}
