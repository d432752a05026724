// Appends 100,000 products to the work table and prices them, printing the
// figures beside their targets: the calculation over 100,000 rows under
// 0.2 s, the table under 250 bytes a row on top of an empty one. The same
// arithmetic on a bare array is timed in the same run as the baseline.
// The window is shown on an embedded database and configuration files of
// its own, in temporary folders; a message box on the way ends the run.
#include <malloc.h>

#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Big5Text.h"
#include "CountOptions.h"
#include "DataLinkStore.h"
#include "FrmTarvell.h"
#include "MessageBoxWatch.h"
#include "PointOfSaleSchema.h"
#include "PriceCalculation.h"
#include "ProductWorkTable.h"
#include "ProgressBar.h"
#include "TestDatabase.h"

namespace {

constexpr int kRows = 100000;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Small blocks plus the large ones malloc hands out as separate mappings.
std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

long statusKilobytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::string(key).size(), nullptr, 10);
    return -1;
}

// Rows shaped like a real batch: a numbered product, a Chinese name of
// some length, a cost and six rates.
void fillTable(TProductWorkTable& table, int rows) {
    const std::string name = big5::fromUtf8("測試商品名稱大瓶裝");
    const rt::FieldValue rates[product::kTierCount] = {rt::FieldValue(15.0), rt::FieldValue(10.0), rt::FieldValue(8.0),
                                     rt::FieldValue(12.5), rt::FieldValue(20.0), rt::FieldValue(5.0)};
    for (int i = 0; i < rows; ++i) {
        table.append();
        table.setValue(product::PROD_ID, rt::FieldValue::text("P" + std::to_string(1000000 + i)));
        table.setValue(product::PROD_NAME, rt::FieldValue::text(name));
        table.setValue(product::STD_COST, rt::FieldValue(10.0 + i % 997 * 0.37));
        for (int tier = 1; tier <= product::kTierCount; ++tier)
            table.setValue(product::rateField(tier), rates[tier - 1]);
        table.post();
    }
}

// The same rule on a bare array of doubles, no table around it.
double baselineSeconds(int rows) {
    struct Row { double cost; double rate[product::kTierCount]; double price[product::kTierCount]; };
    std::vector<Row> data(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        data[static_cast<std::size_t>(i)].cost = 10.0 + i % 997 * 0.37;
        for (int t = 0; t < product::kTierCount; ++t) data[static_cast<std::size_t>(i)].rate[t] = 5.0 + t;
    }
    const auto start = Clock::now();
    for (auto& row : data)
        for (int t = 0; t < product::kTierCount; ++t)
            row.price[t] = pricing::roundUp(row.rate[t] / 100 * row.cost + row.cost);
    const double seconds = secondsSince(start);
    volatile double sink = data.back().price[product::kTierCount - 1];
    (void)sink;
    return seconds;
}

void printLine(const char* what, double value, const char* unit, const char* target) {
    std::printf("%-44s %12.3f %-8s %s\n", what, value, unit, target);
}

// The database the window's first show reads its sub-categories from; the
// rows it prices are appended by hand.
void prepareDatabase(testsupport::TestDatabase& database, const QTemporaryDir& configuration) {
    database.execute({
        testsupport::kSubCategoryTable,
        "INSERT INTO PROD_ITEM VALUES ('01', '" + big5::fromUtf8("測試") + "', 15, 10, 8, 12.5, 20, 5)",
    });
    database.writeConfiguration(configuration.path().toStdString());
    testsupport::DataLinkStore::pointAt(configuration.path());
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    bench::readCountOptions(QStringLiteral("The work table and the price calculation, 100,000 rows."), {});
    bench::endOnUnexpectedBoxes();
    testsupport::TestDatabase database;
    QTemporaryDir configuration;
    prepareDatabase(database, configuration);
    std::printf("Work table and price calculation, %d rows\n\n", kRows);

    // The bare table.
    {
        TProductWorkTable table;
        product::defineProductTable(table);
        const std::size_t emptyHeap = heapInUse();
        const long rssBefore = statusKilobytes("VmRSS:");
        auto start = Clock::now();
        fillTable(table, kRows);
        const double appendSeconds = secondsSince(start);
        const double bytesPerRow = static_cast<double>(heapInUse() - emptyHeap) / kRows;
        const long rssAfter = statusKilobytes("VmRSS:");

        start = Clock::now();
        int counted = 0;
        pricing::priceAllRows(table, [&counted] { ++counted; });
        const double calcSeconds = secondsSince(start);
        const double baseline = baselineSeconds(kRows);

        printLine("append and post: rows per second", kRows / appendSeconds, "rows/s", "");
        printLine("table heap on top of an empty table", bytesPerRow, "B/row", "target < 250 B/row");
        printLine("resident memory growth", (rssAfter - rssBefore) * 1024.0 / kRows, "B/row", "(whole process)");
        printLine("price calculation, bare table", calcSeconds, "s", "target < 0.2 s");
        printLine("calculation: rows per second", counted / calcSeconds, "rows/s", "");
        printLine("baseline: same rule on a bare array", baseline, "s", "");
        printLine("calculation / baseline", calcSeconds / baseline, "x", "");
    }

    // Through the window: "2.價格計算" with the grid bound and the progress bar.
    {
        TFormTarvell form;
        form.show();
        QApplication::processEvents();
        auto start = Clock::now();
        fillTable(form.CDS_PRODUCT, kRows);
        QApplication::processEvents();
        printLine("append with the grid bound: rows per second", kRows / secondsSince(start), "rows/s", "");
        start = Clock::now();
        form.SpeedButton2Click();
        const double handlerSeconds = secondsSince(start);
        QApplication::processEvents();
        printLine("SpeedButton2Click with grid and progress bar", handlerSeconds, "s", "well under 1 s");
        std::printf("%-44s %12d / %d\n", "progress bar position / maximum", form.ProgressBar1->value(),
                    form.ProgressBar1->maximum());
    }

    std::printf("\n%-44s %12ld kB\n", "peak resident memory (VmHWM)", statusKilobytes("VmHWM:"));
    return 0;
}
