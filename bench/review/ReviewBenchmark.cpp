// Times the review's cost on a large sub-category, on one embedded database
// with forced writes (the engine's default): the data view with the stored
// prices read beside the rows against the data view without them, in
// alternating rounds of the same run; the reads alone, the stored prices
// also the data view's own way; then the calculation over the rows loaded
// with and without stored prices, and the marks and the summary worked for
// every price cell of the batch.
//
//   review_benchmark [--products 100000] [--rounds 5]
#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "Big5Text.h"
#include "CountOptions.h"
#include "DataLinkStore.h"
#include "CursorRows.h"
#include "DirectServices.h"
#include "FrmTarvell.h"
#include "MessageBoxWatch.h"
#include "PriceCalculation.h"
#include "PriceMarks.h"
#include "PriceReview.h"
#include "ProductWorkTable.h"
#include "ReadService.h"
#include "ResultProvider.h"
#include "ServerQuery.h"
#include "PointOfSaleSchema.h"
#include "ProductStatements.h"
#include "LoadedPriceRows.h"
#include "SubCategoryLoader.h"
#include "TDataLinkConnection.h"
#include "TestDatabase.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::TestDatabase;

struct Settings {
    int products = 100000;
    int rounds = 5;
};

Settings readSettings() {
    Settings settings;
    bench::readCountOptions(QStringLiteral("The review's cost: the data view with and without the stored prices, "
                                           "the calculation and the marks over a large batch."),
                            {{"products", "products in the sub-category viewed", &settings.products},
                             {"rounds", "rounds of each measurement", &settings.rounds}});
    return settings;
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "review_benchmark: %s\n", message.c_str());
    std::exit(1);
}

double seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The viewed sub-category '01' and, around it, neighbours the reads must
// pick it out from; every product has six stored prices, some empty.
void fillDatabase(TestDatabase& database, int products) {
    const std::string name = big5::fromUtf8("醬油禮盒 特級 ");
    database.execute(std::vector<std::string>{
        testsupport::kSubCategoryTable,
        testsupport::kProductTable,
        testsupport::kProductSubCategoryIndex,
        "INSERT INTO PROD_ITEM VALUES ('01', 'Viewed', 35, 30, 12.5, 18, 28, 22.5)",
        "INSERT INTO PROD_ITEM VALUES ('02', 'Neighbour', 10, 10, 10, 10, 10, 10)",
        "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(products + products / 10) +
            ") DO BEGIN INSERT INTO PRODUCT VALUES ('P' || LPAD(:I, 7, '0'), '" + name +
            "' || :I || ' ml', MOD(:I, 997) + 0.25, CASE WHEN :I < " + std::to_string(products) +
            " THEN '01' ELSE '02' END, MOD(:I, 1300) + 1, MOD(:I, 1200) + 1, MOD(:I, 1100) + 1, "
            "CASE WHEN MOD(:I, 7) = 0 THEN NULL ELSE MOD(:I, 1150) + 1 END, MOD(:I, 1250) + 1, MOD(:I, 1180) + 1); "
            "I = I + 1; END END",
    });
}

using Services = bench::DirectServices;

std::unique_ptr<TProductWorkTable> newTable() {
    auto table = std::make_unique<TProductWorkTable>();
    product::defineProductTable(*table);
    return table;
}

std::unique_ptr<TProductWorkTable> load(Services& services, catalog::LoadedPriceRead read, int products) {
    auto table = newTable();
    catalog::TSubCategoryLoader(services.clientDataSet, services.connection, read).load(*table, "01");
    if (table->rowCount() != products)
        fail("the data view appended " + std::to_string(table->rowCount()) + " rows, not " + std::to_string(products));
    if ((read == catalog::LoadedPriceRead::Read) != (table->loadedPricesAt(products - 1) != nullptr))
        fail("the loaded prices are not where the load was told to put them");
    return table;
}

void readOnly(Services& services, const std::string& sql) {
    services.clientDataSet.close();
    services.clientDataSet.setCommandText(sql);
    services.clientDataSet.open();
}

void readLoadedPricesFromCursor(Services& services, int products) {
    db::TServerQuery query(services.connection, "StoredPriceQuery");
    query.setCommandText(catalog::subCategoryPricesSelect("'01'"));
    query.open();
    db::TCursorRows rows(*query.cursor(), [&query](dl::DriverResult result) { query.checkCursor(result); });
    catalog::TLoadedPriceRows prices;
    prices.readFrom(rows, static_cast<std::size_t>(products));
    if (prices.size() != static_cast<std::size_t>(products))
        fail("the stored-price read gave " + std::to_string(prices.size()) + " rows");
}

// The data view's load in the real window, shown, with its grid on the
// work table (and the table's index on the product number), the grid's
// first paint included: what the operator waits for after the handler's
// few steps of its own, which both sides share. Today's data view is the
// same load with the stored-price read left out. A fresh window each time:
// rows would accumulate otherwise.
double windowDataView(catalog::LoadedPriceRead read, int products) {
    TFormTarvell form;
    form.show();
    QApplication::processEvents();
    form.ComboBox1->setEditText(QStringLiteral("01,Viewed"));
    const double elapsed = seconds([&] {
        catalog::TSubCategoryLoader(form.ClientDataSet1, form.SQLConnection1, read).load(form.CDS_PRODUCT, "01");
        QApplication::processEvents();
    });
    if (form.CDS_PRODUCT.rowCount() != products)
        fail("the window's data view appended " + std::to_string(form.CDS_PRODUCT.rowCount()) + " rows, not " +
             std::to_string(products));
    if ((read == catalog::LoadedPriceRead::Read) != (form.CDS_PRODUCT.loadedPricesAt(products - 1) != nullptr))
        fail("the window's stored prices are not where the load was told to put them");
    return elapsed;
}

struct Averages {
    double withStored = 0;
    double today = 0;
};

// A data view timed with and without the stored prices, rounds times each,
// alternating which side goes first to spread the machine's noise.
Averages alternating(int rounds, const std::function<double(catalog::LoadedPriceRead)>& dataView) {
    Averages total;
    for (int round = 0; round < rounds; ++round) {
        const auto reviewSide = [&] { total.withStored += dataView(catalog::LoadedPriceRead::Read); };
        const auto todaySide = [&] { total.today += dataView(catalog::LoadedPriceRead::Skipped); };
        if (round % 2 == 0) {
            reviewSide();
            todaySide();
        } else {
            todaySide();
            reviewSide();
        }
    }
    return {total.withStored / rounds, total.today / rounds};
}

void printRatio(const char* what, double measured, double baseline, double target) {
    const double ratio = measured / baseline;
    std::printf("%-44s %8.3f s against %8.3f s   ratio %5.2fx", what, measured, baseline, ratio);
    if (target > 0) std::printf("   target <= %.2fx   %s", target, ratio <= target ? "met" : "NOT MET");
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window reads and the benchmark writes settings: none of the user's.
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", settingsHome.path().toLocal8Bit());
    QApplication application(argc, argv);
    bench::endOnUnexpectedBoxes();
    const Settings settings = readSettings();
    std::printf("review_benchmark: %d products viewed, %d rounds\n", settings.products, settings.rounds);
    TestDatabase database;
    fillDatabase(database, settings.products);
    Services services(database.path());
    load(services, catalog::LoadedPriceRead::Read, settings.products);  // warms the page cache for both
    QTemporaryDir configuration;
    database.writeConfiguration(configuration.path().toStdString());
    testsupport::DataLinkStore::pointAt(configuration.path());

    // The target: the press in the real window, as the operator has it.
    const Averages window = alternating(settings.rounds, [&](catalog::LoadedPriceRead read) {
        return windowDataView(read, settings.products);
    });
    printRatio("data view in the window, stored prices / not", window.withStored, window.today, 1.6);

    // The loader alone, into a bare table with no grid: the same extra work
    // against a smaller whole.
    const Averages loader = alternating(settings.rounds, [&](catalog::LoadedPriceRead read) {
        return seconds([&] { load(services, read, settings.products); });
    });
    printRatio("the loader alone, stored prices / not", loader.withStored, loader.today, 0);

    // The reads alone, without appending rows: what the database side costs.
    double productRead = 0, priceRead = 0;
    for (int round = 0; round < settings.rounds; ++round) {
        productRead += seconds([&] { readOnly(services, "SELECT PROD_ID,PROD_NAME,STD_COST FROM PRODUCT WHERE PD_ITEMID = '01'"); });
        priceRead += seconds([&] { readOnly(services, catalog::subCategoryPricesSelect("'01'")); });
    }
    printRatio("stored-price read / product read, reads alone", priceRead / settings.rounds,
               productRead / settings.rounds, 0);
    // The data view's own way to the stored prices, straight from the
    // cursor into compact records, against the whole data view without it.
    double leanRead = 0;
    for (int round = 0; round < settings.rounds; ++round)
        leanRead += seconds([&] { readLoadedPricesFromCursor(services, settings.products); });
    printRatio("stored prices from the cursor / data view", leanRead / settings.rounds, loader.today, 0);

    auto reviewed = load(services, catalog::LoadedPriceRead::Read, settings.products);
    auto plain = load(services, catalog::LoadedPriceRead::Skipped, settings.products);
    double pricedReviewed = 0, pricedPlain = 0;
    for (int round = 0; round < settings.rounds; ++round) {
        pricedReviewed += seconds([&] { pricing::priceAllRows(*reviewed, [] {}); });
        pricedPlain += seconds([&] { pricing::priceAllRows(*plain, [] {}); });
    }
    printRatio("calculation, rows with stored prices / without", pricedReviewed / settings.rounds,
               pricedPlain / settings.rounds, 0);

    // The grid asks for the marks of the cells it draws only; working them
    // for every price cell of the batch is the most a full scroll can cost.
    int marked = 0;
    const double marks = seconds([&] {
        for (int row = 0; row < reviewed->rowCount(); ++row)
            for (int tier = 1; tier <= product::kTierCount; ++tier)
                marked += marks::markOf(*reviewed, row, product::priceField(tier)) != marks::None;
    });
    std::printf("%-44s %8.3f s for %d price cells (%d marked)\n", "marks of every price cell", marks,
                reviewed->rowCount() * product::kTierCount, marked);
    std::size_t raised = 0;
    const double summary = seconds([&] { raised = batch::TPriceReview(*reviewed).counts().raised; });
    std::printf("%-44s %8.3f s (%zu prices raised)\n", "the question's summary of the batch", summary, raised);
    return 0;
}
