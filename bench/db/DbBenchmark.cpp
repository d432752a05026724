// Times the read service and the statement service against the same work done
// straight through the client library, on one embedded database with forced
// writes (the engine's default). The two sides alternate in several rounds so
// that the machine's noise hits both.
//
//   db_benchmark [--rows 100000] [--updates 20000] [--rounds 10]
#include <QCoreApplication>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Big5Text.h"
#include "CountOptions.h"
#include "DirectServices.h"
#include "ReadService.h"
#include "ResultProvider.h"
#include "DirectClient.h"
#include "PointOfSaleSchema.h"
#include "ServerQuery.h"
#include "StatementService.h"
#include "PriceUpdate.h"
#include "TDataLinkConnection.h"
#include "TestDatabase.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::DirectClient;
using testsupport::TestDatabase;

struct Settings {
    int rows = 100000;
    int updates = 20000;
    int rounds = 10;
};

Settings parseArguments() {
    Settings settings;
    bench::readCountOptions(QStringLiteral("The services against the client library used directly: a whole-table "
                                           "read and single-row updates."),
                            {{"rows", "rows in the product table", &settings.rows},
                             {"updates", "single-row updates", &settings.updates},
                             {"rounds", "rounds of each measurement", &settings.rounds}});
    settings.updates = std::min(settings.updates, settings.rows);
    return settings;
}

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// Peak resident memory of the process so far, in bytes.
long peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6) * 1024;
    }
    return 0;
}

std::string productId(int index) {
    char text[21];
    std::snprintf(text, sizeof text, "P%07d", index);
    return text;
}

void fillProducts(TestDatabase& database, int rows) {
    const std::string name = big5::fromUtf8("醬油禮盒 特級 ");
    database.execute(std::vector<std::string>{
        testsupport::kProductTable,
        "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(rows) +
            ") DO BEGIN INSERT INTO PRODUCT (PROD_ID, PROD_NAME, STD_COST, PD_ITEMID) VALUES ("
            "'P' || LPAD(:I, 7, '0'), '" + name + "' || :I || ' ml', "
            "CASE WHEN MOD(:I, 50) = 0 THEN NULL ELSE (MOD(:I, 997) + 0.25) END, '01'); "
            "I = I + 1; END END",
    });
}

using Services = bench::DirectServices;

const char* const readSql = "SELECT PROD_ID,PROD_NAME,STD_COST FROM PRODUCT WHERE PD_ITEMID = '01'";

std::size_t readThroughService(Services& services) {
    services.clientDataSet.close();
    services.clientDataSet.setCommandText(readSql);
    services.clientDataSet.open();
    return services.clientDataSet.recordCount();
}

std::size_t readDirectly(DirectClient& client) { return client.select(readSql).size(); }

std::vector<rt::FieldValue> pricesFor(int index, int round) {
    std::vector<rt::FieldValue> prices;
    for (int tier = 0; tier < product::kTierCount; ++tier) prices.emplace_back(double(100 + index % 500 + tier + round));
    return prices;
}


// Exactly as the write-back issues one row.
void updateThroughService(db::TStatementService& query, int index, int round) {
    const auto prices = pricesFor(index, round);
    product::TierPrices six;
    for (int tier = 1; tier <= product::kTierCount; ++tier) six.setValue(tier, prices[std::size_t(tier - 1)]);
    batch::writePriceRow(query, six, productId(index));
}

void updateDirectly(DirectClient::Statement& statement, int index, int round) {
    auto values = pricesFor(index, round);
    values.push_back(rt::FieldValue::text(productId(index)));
    statement.execute(values);
}

// Processor time of the whole process (the embedded engine's threads
// included), which tells the program's own work from waiting for the disk.
double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto toSeconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

struct Side {
    double elapsed = 0;
    double processor = 0;
};

struct Totals {
    Side service;
    Side direct;
    void print(const char* what, double target) const {
        const double ratio = direct.elapsed > 0 ? service.elapsed / direct.elapsed : 0;
        std::printf("%-34s service %8.3f s   direct %8.3f s   ratio %5.2fx   target <= %.2fx   %s\n",
                    what, service.elapsed, direct.elapsed, ratio, target, ratio <= target ? "met" : "NOT MET");
        std::printf("%-34s service %8.3f s   direct %8.3f s   (processor time)\n", "", service.processor,
                    direct.processor);
    }
};

template <class Work>
void timed(Side& side, Work&& work) {
    const auto start = Clock::now();
    const double processorStart = processorSeconds();
    work();
    side.elapsed += seconds(Clock::now() - start);
    side.processor += processorSeconds() - processorStart;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const Settings settings = parseArguments();
    std::printf("db_benchmark: %d rows read per round, %d updates in all, %d rounds\n", settings.rows,
                settings.updates, settings.rounds);

    TestDatabase database;
    fillProducts(database, settings.rows);

    const long startPeak = peakResidentBytes();
    Services services(database.path());
    DirectClient client(database.path());
    const long connectedPeak = peakResidentBytes();

    // First read through the service before the direct side has allocated
    // anything, so that the peak it leaves is its own.
    const std::size_t firstRead = readThroughService(services);
    const long readPeak = peakResidentBytes();
    if (firstRead != std::size_t(settings.rows) || readDirectly(client) != std::size_t(settings.rows)) {
        std::fprintf(stderr, "row counts differ from %d\n", settings.rows);
        return 1;
    }

    Totals reads;
    for (int round = 0; round < settings.rounds; ++round) {
        // Alternate which side goes first.
        if (round % 2 == 0) {
            timed(reads.direct, [&] { readDirectly(client); });
            timed(reads.service, [&] { readThroughService(services); });
        } else {
            timed(reads.service, [&] { readThroughService(services); });
            timed(reads.direct, [&] { readDirectly(client); });
        }
    }

    auto statement = client.prepare(
        "UPDATE PRODUCT SET SALE_PRICE = ?, N_PRICE = ?, P_PRICE = ?, P_PRICE2 = ?, PSALE_PRICE = ?, "
        "VIP_PRICE = ? WHERE PROD_ID = ?");
    Totals updates;
    int done = 0;
    for (int round = 0; round < settings.rounds; ++round) {
        const int end = settings.updates * (round + 1) / settings.rounds;
        auto direct = [&] {
            for (int index = done; index < end; ++index) updateDirectly(statement, index, round);
        };
        auto service = [&] {
            for (int index = done; index < end; ++index) updateThroughService(services.query, index, round);
        };
        if (round % 2 == 0) {
            timed(updates.direct, direct);
            timed(updates.service, service);
        } else {
            timed(updates.service, service);
            timed(updates.direct, direct);
        }
        done = end;
    }

    std::printf("\n");
    reads.print(("read " + std::to_string(settings.rows) + " rows x " + std::to_string(settings.rounds)).c_str(), 1.5);
    updates.print(("update " + std::to_string(settings.updates) + " rows, one commit each").c_str(), 1.25);
    if (updates.service.elapsed > 0 && updates.direct.elapsed > 0) {
        std::printf("%-34s service %8.0f /s  direct %8.0f /s\n", "updates per second",
                    settings.updates / updates.service.elapsed, settings.updates / updates.direct.elapsed);
    }
    std::printf("\nread service memory: result held %.1f MiB; peak resident growth %.1f MiB on connect, "
                "%.1f MiB more on the first read\n",
                services.clientDataSet.records().heapBytes() / 1048576.0,
                (connectedPeak - startPeak) / 1048576.0, (readPeak - connectedPeak) / 1048576.0);
    return 0;
}
