// Times one whole batch through the real window, shown offscreen with its
// handlers called as the buttons call them and its boxes answered, against
// the same database work done straight through the client library: the data
// view against the two reads, the write-back against the same number of
// single-row UPDATEs prepared once and each committed by itself. One embedded
// database with forced writes (the engine's default) holds a large
// sub-category for the data view and the calculation and a smaller one for
// the write-back. The two sides alternate in several rounds so that the
// machine's noise hits both. Then the price journal's cost: the window's
// write-back with its journal against the same without, and a revert of the
// journal against the write-back, in rounds of their own. Before that the
// write-back on its worker thread against the same loop run on the
// window's thread, with the longest time the window's event loop went
// without a turn meanwhile. Last the write-back in one transaction: against
// the client library's loop that runs the same UPDATEs in one transaction,
// on the written-back sub-category and on the whole large one; against the
// write-back row by row; and the journal's share of it, on disk and with
// database and journal on tmpfs (/dev/shm), where no commit waits for a disk.
//
// Every commit of a row waits for the disk (forced writes), which on a
// slow disk makes the row-by-row write-back take minutes for 20,000 rows:
// it is measured on --updates rows (default 500) and its rate scaled to the
// one-transaction batch of --transaction-rows (default 20,000) rows.
//
//   batch_benchmark [--products 100000] [--updates 500] [--transaction-rows 20000] [--rounds 4]
//                   [--journal-rounds 2] [--mode-rounds 2]
#include <malloc.h>
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ProgramIdentity.h"
#include "Big5Text.h"
#include "ConnectionTransaction.h"
#include "CountOptions.h"
#include "DataLinkStore.h"
#include "DirectClient.h"
#include "EventLoopWatch.h"
#include "PointOfSaleSchema.h"
#include "FrmTarvell.h"
#include "MessageBoxWatch.h"
#include "JournalSettings.h"
#include "PriceJournal.h"
#include "PriceRevert.h"
#include "PriceWriteBack.h"
#include "WorkTablePriceRows.h"
#include "CurrentPriceReader.h"
#include "ProductStatements.h"
#include "TestDatabase.h"
#include "WriteBackSettings.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::DirectClient;
using testsupport::TestDatabase;

struct Settings {
    int products = 100000;
    int updates = 500;
    int transactionRows = 20000;
    int rounds = 4;
    int journalRounds = 2;
    int modeRounds = 2;
};

Settings parseArguments() {
    Settings settings;
    bench::readCountOptions(QStringLiteral("The whole batch through the real window: data view, calculation, "
                                           "write-back per row and in one transaction, journal and revert."),
                            {{"products", "products in the sub-category viewed", &settings.products},
                             {"updates", "products in the sub-category written back row by row", &settings.updates},
                             {"transaction-rows", "products written back in one transaction", &settings.transactionRows},
                             {"rounds", "rounds of each measurement", &settings.rounds},
                             {"journal-rounds", "rounds of the journal measurement", &settings.journalRounds},
                             {"mode-rounds", "rounds of the one-transaction measurements", &settings.modeRounds}});
    return settings;
}

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// Processor time of the whole process, the embedded engine's threads
// included: it tells the program's own work from waiting for the disk.
double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto toSeconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

long statusBytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t keyLength = std::strlen(key);
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + keyLength) * 1024;
    return 0;
}

long peakResidentBytes() { return statusBytes("VmHWM:"); }

// Starts the peak over from what is resident now, so that the peak read
// later belongs to the work done in between (the database fill before it
// ran the embedded engine in this very process).
void restartPeak() {
    malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double mebibytes(double bytes) { return bytes / 1048576.0; }

// ---- the database ----

struct SubCategory {
    const char* key;
    const char* nameUtf8;
    std::array<const char*, product::kTierCount> rates;
};

const SubCategory kViewed{"01", "調味醬料", {"15", "10", "8", "12.5", "20", "5"}};
const SubCategory kWrittenBack{"02", "飲料冰品", {"18", "12", "9.5", "11", "25", "6"}};
const SubCategory kOneTransaction{"20", "生鮮蔬果", {"16", "11", "9", "10", "22", "7"}};
constexpr int kOtherSubCategories = 10;
constexpr int kOtherProducts = 1000;

// Names of the length a shop gives them: brand (invented), product, grade,
// pack, size.
const char* const kNameStemsUtf8[] = {
    "醇釀坊 純釀醬油 特級 禮盒裝 ",
    "晴川 古早紅茶 鋁箔包 ",
    "脆谷 蘇打餅乾 家庭號 量販包 ",
    "牧雲 全脂鮮乳 ",
};

std::string insertProducts(const std::string& key, int count) {
    std::string stems = "CASE MOD(:I, 4)";
    for (int i = 0; i < 4; ++i)
        stems += (i < 3 ? " WHEN " + std::to_string(i) + " THEN '" : " ELSE '") + big5::fromUtf8(kNameStemsUtf8[i]) + "'";
    stems += " END";
    return "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(count) +
           ") DO BEGIN INSERT INTO PRODUCT (PROD_ID, PROD_NAME, STD_COST, PD_ITEMID) VALUES ("
           "'P" + key + "' || LPAD(:I, 8, '0'), " + stems + " || (100 + MOD(:I, 900)) || 'ml', "
           "CAST(MOD(:I, 997) * 1.37 + 5 AS NUMERIC(15,2)), '" + key + "'); I = I + 1; END END";
}

std::string insertSubCategory(const SubCategory& category) {
    std::string sql = "INSERT INTO PROD_ITEM VALUES ('" + std::string(category.key) + "', '" +
                      big5::fromUtf8(category.nameUtf8) + "'";
    for (const char* rate : category.rates) sql += std::string(", ") + rate;
    return sql + ")";
}

void fillDatabase(TestDatabase& database, const Settings& settings) {
    std::vector<std::string> statements = {
        testsupport::kSubCategoryTable,
        testsupport::kProductTable,
        testsupport::kProductSubCategoryIndex,
        insertSubCategory(kViewed),
        insertSubCategory(kWrittenBack),
        insertProducts(kViewed.key, settings.products),
        insertProducts(kWrittenBack.key, settings.updates),
        insertSubCategory(kOneTransaction),
        insertProducts(kOneTransaction.key, settings.transactionRows),
    };
    // Neighbours, so that the two batches are picked out of a larger table.
    for (int i = 0; i < kOtherSubCategories; ++i) {
        char key[3];
        std::snprintf(key, sizeof key, "%02d", 3 + i);
        statements.push_back(insertSubCategory({key, "日用百貨", {"10", "10", "10", "10", "10", "10"}}));
        statements.push_back(insertProducts(key, kOtherProducts));
    }
    database.execute(statements);
}

// ---- the program's side ----

std::string productSelect(const SubCategory& category) {
    return "SELECT PROD_ID,PROD_NAME,STD_COST FROM PRODUCT WHERE PD_ITEMID = '" + std::string(category.key) + "'";
}

std::string rateSelect(const SubCategory& category) {
    return "SELECT * FROM PROD_ITEM WHERE PD_ITEMID = '" + std::string(category.key) + "'";
}


[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "batch_benchmark: %s\n", message.c_str());
    std::exit(1);
}

using bench::whenNextBox;

void clickButton(QMessageBox* box, const QString& text) {
    for (QAbstractButton* button : box->buttons())
        if (button->text() == text) {
            button->click();
            return;
        }
    fail("no button " + text.toStdString() + " in the box \"" + box->text().toStdString() + "\"");
}

// The window as the program shows it, connected and with its selector
// filled; any box it puts up on the way (the connect failing) ends the run.
class ShownWindow {
public:
    ShownWindow() : form_(std::make_unique<TFormTarvell>()) {
        form_->show();
        QApplication::processEvents();
    }
    ~ShownWindow() {
        form_.reset();
        QApplication::processEvents();
    }

    TFormTarvell& form() { return *form_; }

    void select(const SubCategory& category) {
        const QString prefix = QString::fromLatin1(category.key) + QLatin1Char(',');
        for (int i = 0; i < form_->ComboBox1->count(); ++i)
            if (form_->ComboBox1->itemText(i).startsWith(prefix)) {
                form_->ComboBox1->setCurrentIndex(i);
                return;
            }
        fail("no sub-category " + std::string(category.key) + " in the selector");
    }

    void expectRows(int rows) {
        if (form_->CDS_PRODUCT.rowCount() != rows)
            fail("the work table holds " + std::to_string(form_->CDS_PRODUCT.rowCount()) + " rows, not " +
                 std::to_string(rows));
    }

    void expectPriced() {
        auto& table = form_->CDS_PRODUCT;
        table.last();
        if (table.value(product::priceField(1)).isNull() ||
            table.value(product::priceField(product::kTierCount)).isNull())
            fail("the calculation left the last row without prices");
    }

    // The batch a write-back round sends: the sub-category viewed and priced
    // through the window's own handlers.
    void loadAndPrice(const SubCategory& category, int rows) {
        select(category);
        form_->SpeedButton1Click();
        expectRows(rows);
        form_->SpeedButton2Click();
        expectPriced();
    }

private:
    std::unique_ptr<TFormTarvell> form_;
};

struct Side {
    double elapsed = 0;
    double processor = 0;
    void add(const Side& other) {
        elapsed += other.elapsed;
        processor += other.processor;
    }
};

template <class Work>
Side timed(Work&& work) {
    const auto start = Clock::now();
    const double processorStart = processorSeconds();
    work();
    return {seconds(Clock::now() - start), processorSeconds() - processorStart};
}

// The write-back from the answered "Confirm" to the moment "回存完成" is up,
// so that neither box's own showing is counted.
// fromYes, when given, starts watching the event loop again at the Yes.
Side timedWriteBack(TFormTarvell& form, testsupport::EventLoopWatch* fromYes = nullptr) {
    struct Stamps {
        Clock::time_point confirmed, finished;
        double confirmedProcessor = 0, finishedProcessor = 0;
        bool done = false;
    };
    auto stamps = std::make_shared<Stamps>();
    whenNextBox([stamps, fromYes](QMessageBox* confirm) {
        if (confirm->windowTitle() != QStringLiteral("Confirm"))
            fail("expected the confirmation, saw \"" + confirm->text().toStdString() + "\"");
        whenNextBox([stamps](QMessageBox* finished) {
            stamps->finished = Clock::now();
            stamps->finishedProcessor = processorSeconds();
            stamps->done = finished->text() == QString::fromUtf8("回存完成");
            if (!stamps->done) fail("the write-back ended with \"" + finished->text().toStdString() + "\"");
            finished->button(QMessageBox::Ok)->click();
        });
        stamps->confirmed = Clock::now();
        stamps->confirmedProcessor = processorSeconds();
        if (fromYes) fromYes->restart();
        clickButton(confirm, QStringLiteral("&Yes"));
    });
    form.SpeedButton3Click();
    if (!stamps->done) fail("the write-back never showed its closing box");
    return {seconds(stamps->finished - stamps->confirmed), stamps->finishedProcessor - stamps->confirmedProcessor};
}

// The data view's two reads through the window's own read service alone,
// timed apart from the handler to tell reading from appending.
void readThroughService(db::TReadService& dataSet, const SubCategory& category) {
    for (const std::string& sql : {rateSelect(category), productSelect(category)}) {
        dataSet.close();
        dataSet.setCommandText(sql);
        dataSet.open();
    }
}

// ---- the direct side ----

// The data view's reads, whole results into memory: the sub-category, its
// products, and the prices they have now, which the window keeps beside the
// rows for the review.
std::size_t readDirectly(DirectClient& client, const SubCategory& category) {
    const auto rates = client.select(rateSelect(category));
    const auto products = client.select(productSelect(category));
    const auto storedPrices = client.select(catalog::subCategoryPricesSelect("'" + std::string(category.key) + "'"));
    return rates.empty() || storedPrices.size() != products.size() ? 0 : products.size();
}

const char* const kDirectUpdate =
    "UPDATE PRODUCT SET SALE_PRICE = ?, N_PRICE = ?, P_PRICE = ?, P_PRICE2 = ?, PSALE_PRICE = ?, "
    "VIP_PRICE = ? WHERE PROD_ID = ?";

// One parameter row per product of the written-back sub-category: six
// prices and the number. The prices are the program's, shifted by the round
// so that each side's writes can be told from the other's.
std::vector<std::vector<rt::FieldValue>> directUpdateRows(DirectClient& client, int round,
                                                          const SubCategory& category = kWrittenBack) {
    std::array<double, product::kTierCount> rates{};
    const auto rateRows = client.select(rateSelect(category));
    for (int tier = 0; tier < product::kTierCount; ++tier) rates[tier] = rateRows.at(0).at(2 + tier).toDouble();
    std::vector<std::vector<rt::FieldValue>> rows;
    for (const auto& product : client.select(productSelect(category))) {
        const double cost = product[2].toDouble();
        std::vector<rt::FieldValue> row;
        for (double rate : rates) row.emplace_back(std::ceil(rate / 100 * cost + cost) + round + 1);
        row.push_back(product[0]);
        rows.push_back(std::move(row));
    }
    return rows;
}

void writeDirectly(DirectClient& client, const std::vector<std::vector<rt::FieldValue>>& rows) {
    auto statement = client.prepare(kDirectUpdate);
    for (const auto& row : rows) statement.execute(row);
}

// The same UPDATEs, prepared once, all in one transaction committed after
// the last.
void writeDirectlyInOneTransaction(DirectClient::Statement& update, const std::vector<std::vector<rt::FieldValue>>& rows) {
    if (update.executeAll(rows) != std::int64_t(rows.size())) fail("the direct single-transaction loop missed rows");
}

// What a write-back left in the database for one product.
void expectStoredPrices(DirectClient& client, const std::string& productId, double salePrice, double vipPrice,
                        const char* side) {
    const auto rows = client.select("SELECT SALE_PRICE, VIP_PRICE FROM PRODUCT WHERE PROD_ID = '" + productId + "'");
    if (rows.size() != 1 || rows[0][0].isNull() || rows[0][1].isNull() || rows[0][0].toDouble() != salePrice ||
        rows[0][1].toDouble() != vipPrice)
        fail(std::string(side) + " write-back did not store the prices of " + productId);
}

// ---- figures ----

struct Pair {
    Side program;
    Side direct;
};

void printPair(const std::string& what, const Pair& pair, double target) {
    const double ratio = pair.direct.elapsed > 0 ? pair.program.elapsed / pair.direct.elapsed : 0;
    std::printf("%-40s program %8.3f s   direct %8.3f s   ratio %5.2fx   target <= %.2fx   %s\n", what.c_str(),
                pair.program.elapsed, pair.direct.elapsed, ratio, target, ratio <= target ? "met" : "NOT MET");
    std::printf("%-40s program %8.3f s   direct %8.3f s   (processor time)\n", "", pair.program.processor,
                pair.direct.processor);
}

void printRound(int round, bool programFirst, const Pair& view, const Side& calculation, const Pair& writeBack) {
    std::printf("round %d (%s first): data view %.3f / %.3f s (%.2fx), calculation %.3f s, "
                "write-back %.3f / %.3f s (%.2fx)\n",
                round + 1, programFirst ? "program" : "direct", view.program.elapsed, view.direct.elapsed,
                view.program.elapsed / view.direct.elapsed, calculation.elapsed, writeBack.program.elapsed,
                writeBack.direct.elapsed, writeBack.program.elapsed / writeBack.direct.elapsed);
    std::fflush(stdout);
}

struct MemoryFigures {
    long start = 0;           // resident, window shown and connected, empty work table
    long viewGrowth = 0;      // peak resident growth through the data view
    long batchGrowth = 0;     // ... and the calculation
    long heapGrowth = 0;      // heap in use after the data view, over the start
    std::size_t resultBytes = 0;  // the read result ClientDataSet1 holds
};

// The batch's memory: peak resident growth over the shown, connected window
// with an empty work table, through the data view and the calculation.
MemoryFigures measureMemory(const Settings& settings) {
    ShownWindow window;
    window.select(kViewed);
    MemoryFigures figures;
    restartPeak();
    figures.start = peakResidentBytes();
    const std::size_t heapStart = heapInUse();
    window.form().SpeedButton1Click();
    window.expectRows(settings.products);
    figures.viewGrowth = peakResidentBytes() - figures.start;
    figures.heapGrowth = long(heapInUse()) - long(heapStart);
    figures.resultBytes = window.form().ClientDataSet1.records().heapBytes();
    window.form().SpeedButton2Click();
    window.expectPriced();
    figures.batchGrowth = peakResidentBytes() - figures.start;
    return figures;
}

// Measured twice: first before anything has read the products, so the
// embedded engine's page cache (which lives in this process; a server keeps
// it in its own) fills during the batch; then again on a fresh window with
// that cache warm, which leaves the program's own share.
void printMemory(const Settings& settings) {
    const MemoryFigures cold = measureMemory(settings);
    const MemoryFigures warm = measureMemory(settings);
    const double growth = mebibytes(double(cold.batchGrowth));
    std::printf("memory for %d products over an empty start (window shown, connected, empty work table: "
                "%.1f MiB resident)\n",
                settings.products, mebibytes(double(cold.start)));
    std::printf("  peak growth %.1f MiB (data view %.1f MiB, calculation adds %.1f MiB)   target < 64 MiB   %s\n",
                growth, mebibytes(double(cold.viewGrowth)), mebibytes(double(cold.batchGrowth - cold.viewGrowth)),
                growth < 64 ? "met" : "NOT MET");
    std::printf("  with the engine's page cache already warm: peak growth %.1f MiB\n",
                mebibytes(double(warm.batchGrowth)));
    std::printf("  held after the data view: heap in use +%.1f MiB, of it the read result (ClientDataSet1) "
                "%.1f MiB, the rest mostly the work table\n\n",
                mebibytes(double(warm.heapGrowth)), mebibytes(double(warm.resultBytes)));
    std::fflush(stdout);
}

// ---- the price journal ----

// Empties the written-back sub-category's prices, so that every write-back
// and every revert has all its rows to change.
void clearWrittenPrices(DirectClient& client, const SubCategory& category) {
    client.execute("UPDATE PRODUCT SET SALE_PRICE = NULL, N_PRICE = NULL, P_PRICE = NULL, P_PRICE2 = NULL, "
                   "PSALE_PRICE = NULL, VIP_PRICE = NULL WHERE PD_ITEMID = '" + std::string(category.key) + "'");
}

// The window's write-back with the journal switched on or off.
Side timedWindowWriteBack(ShownWindow& window, DirectClient& client, bool journal,
                          const SubCategory& category = kWrittenBack) {
    journal::JournalSettings::setEnabled(journal);
    clearWrittenPrices(client, category);
    return timedWriteBack(window.form());
}

// The revert as the command line runs it: its own connection from the
// same configuration, the journal read from its file.
Side timedRevert(const QString& journal, int rows) {
    db::TDataLinkConnection connection("SQLConnection1");
    connection.applyStoredProperties();
    db::TStatementService statement(connection);
    batch::RevertOptions options;
    batch::RevertReport report;
    const Side side = timed([&] { report = batch::TPriceRevert(statement, options).run(journal::readJournal(journal)); });
    if (report.reverted != std::size_t(rows) || !report.complete())
        fail("the revert put back " + std::to_string(report.reverted) + " of " + std::to_string(rows) + " rows");
    return side;
}

// What the journal adds before the first UPDATE, alone: every product's
// current prices read in one go, the file written and synced. Timed apart
// from the loop, whose commits wait for the disk and vary most.
Side timedJournalAlone(TFormTarvell& form, const QString& folder) {
    db::TDataLinkConnection connection("SQLConnection1");
    connection.applyStoredProperties();
    return timed([&] {
        auto& table = form.CDS_PRODUCT;
        std::vector<std::string> ids;
        for (table.first(); !table.eof(); table.next()) ids.push_back(table.text(product::PROD_ID));
        const auto current = catalog::TCurrentPriceReader(connection).readAll(ids);
        journal::TJournalWriter journal(folder, {QStringLiteral("bench"), QDateTime::currentDateTimeUtc(),
                                               settings::loginName(), QStringLiteral("write-back")});
        std::size_t row = 0;
        for (table.first(); !table.eof(); table.next(), ++row) {
            product::TierPrices prices;
            for (int tier = 1; tier <= product::kTierCount; ++tier)
                prices.setValue(tier, table.value(product::priceField(tier)));
            journal.addEntry({ids[row], table.text(product::PROD_NAME), current[row], prices});
        }
        journal.sync();
        journal.close(0);
    });
}

void printRatio(const std::string& what, double measured, double baseline, double target) {
    const double ratio = baseline > 0 ? measured / baseline : 0;
    std::printf("%-40s %8.3f s against %8.3f s   ratio %5.2fx   target <= %.2fx   %s\n", what.c_str(), measured,
                baseline, ratio, target, ratio <= target ? "met" : "NOT MET");
}

void printJournalFigures(const Settings& settings, DirectClient& client) {
    ShownWindow window;
    window.loadAndPrice(kWrittenBack, settings.updates);
    const QString folder = journal::JournalSettings::load().folder;

    Side with, without, reverts, alone;
    for (int round = 0; round < settings.journalRounds; ++round) {
        Side withJournal, withoutJournal;
        if (round % 2 == 0) {
            withoutJournal = timedWindowWriteBack(window, client, false);
            withJournal = timedWindowWriteBack(window, client, true);
        } else {
            withJournal = timedWindowWriteBack(window, client, true);
            withoutJournal = timedWindowWriteBack(window, client, false);
            // The revert needs the journaled batch's prices in place.
            withJournal = timedWindowWriteBack(window, client, true);
        }
        const Side revert = timedRevert(journal::journalFiles(folder).first(), settings.updates);
        const Side journalAlone = timedJournalAlone(window.form(), folder);
        alone.add(journalAlone);
        std::printf("journal round %d: write-back without journal %.3f s, with %.3f s (%.2fx), revert %.3f s (%.2fx), "
                    "journal alone %.3f s\n",
                    round + 1, withoutJournal.elapsed, withJournal.elapsed, withJournal.elapsed / withoutJournal.elapsed,
                    revert.elapsed, revert.elapsed / withoutJournal.elapsed, journalAlone.elapsed);
        std::fflush(stdout);
        with.add(withJournal);
        without.add(withoutJournal);
        reverts.add(revert);
    }
    journal::JournalSettings::setEnabled(true);
    const std::string rows = std::to_string(settings.updates) + " x " + std::to_string(settings.journalRounds);
    std::printf("\n");
    printRatio("write-back of " + rows + " with journal", with.elapsed, without.elapsed, 1.05);
    printRatio("revert of " + rows, reverts.elapsed, without.elapsed, 1.25);
    std::printf("%-40s %8.3f s   (against the journaled write-back: %.2fx)\n", "", reverts.elapsed,
                reverts.elapsed / with.elapsed);
    // The same journal work timed alone, on top of the write-back without it.
    printRatio("write-back + journal timed alone", without.elapsed + alone.elapsed, without.elapsed, 1.05);
}

// ---- one transaction ----

// The window's write-back in one transaction against the client library's
// single-transaction loop over the same rows, in alternating rounds; the
// window holds the batch priced once, both sides write every row each time.
// The side that writes second also clears away the back versions the first
// left, so it takes an even number of rounds to be fair to both.
Pair oneTransactionAgainstDirect(const SubCategory& category, int products, int rounds, DirectClient& client) {
    ShownWindow window;
    window.loadAndPrice(category, products);
    journal::JournalSettings::setEnabled(false);
    settings::WriteBackSettings::setOneTransaction(true);
    Pair total;
    // The program keeps its UPDATE prepared from one write-back to the next.
    auto update = client.prepare(kDirectUpdate);
    for (int round = 0; round < rounds; ++round) {
        const auto rows = directUpdateRows(client, round, category);
        Pair pair;
        auto program = [&] { pair.program = timedWriteBack(window.form()); };
        auto direct = [&] { pair.direct = timed([&] { writeDirectlyInOneTransaction(update, rows); }); };
        if (round % 2 == 0) {
            program();
            direct();
        } else {
            direct();
            program();
        }
        std::printf("one-transaction round %d, %d rows: program %.3f s, direct %.3f s (%.2fx)\n", round + 1, products,
                    pair.program.elapsed, pair.direct.elapsed, pair.program.elapsed / pair.direct.elapsed);
        std::fflush(stdout);
        total.program.add(pair.program);
        total.direct.add(pair.direct);
    }
    settings::WriteBackSettings::setOneTransaction(false);
    journal::JournalSettings::setEnabled(true);
    return total;
}

// The window's write-back in the given mode with the journal against the
// same without, in alternating rounds; the program = with, direct = without.
Pair journalShare(const SubCategory& category, int products, bool oneTransaction, int rounds, DirectClient& client) {
    ShownWindow window;
    window.loadAndPrice(category, products);
    settings::WriteBackSettings::setOneTransaction(oneTransaction);
    Pair total;
    for (int round = 0; round < rounds; ++round) {
        Side with, without;
        if (round % 2 == 0) {
            without = timedWindowWriteBack(window, client, false, category);
            with = timedWindowWriteBack(window, client, true, category);
        } else {
            with = timedWindowWriteBack(window, client, true, category);
            without = timedWindowWriteBack(window, client, false, category);
        }
        std::printf("journal share round %d (%s): without %.3f s, with %.3f s (%.2fx)\n", round + 1,
                    oneTransaction ? "one transaction" : "row by row", without.elapsed, with.elapsed,
                    with.elapsed / without.elapsed);
        std::fflush(stdout);
        total.program.add(with);
        total.direct.add(without);
    }
    settings::WriteBackSettings::setOneTransaction(false);
    journal::JournalSettings::setEnabled(true);
    return total;
}

// The journal's read of the batch's current prices alone: the batch read
// against one lookup per product, on the same products in one transaction
// each, in alternating rounds.
void printCurrentPriceReads(const SubCategory& category, int products, int rounds) {
    ShownWindow window;
    window.loadAndPrice(category, products);
    std::vector<std::string> ids;
    auto& table = window.form().CDS_PRODUCT;
    for (table.first(); !table.eof(); table.next()) ids.push_back(table.text(product::PROD_ID));
    db::TDataLinkConnection connection("SQLConnection1");
    connection.applyStoredProperties();
    Side batchRead, oneByOne;
    for (int round = 0; round < rounds; ++round) {
        const auto batchSide = [&] { batchRead.add(timed([&] { catalog::TCurrentPriceReader(connection).readAll(ids); })); };
        const auto oneByOneSide = [&] {
            oneByOne.add(timed([&] {
                catalog::TCurrentPriceReader prices(connection);
                db::TConnectionTransaction reading(connection);
                for (const std::string& id : ids) prices.read(id);
                reading.commit();
            }));
        };
        if (round % 2 == 0) {
            batchSide();
            oneByOneSide();
        } else {
            oneByOneSide();
            batchSide();
        }
    }
    std::printf("%-40s batch read %8.3f s   one lookup per product %8.3f s   (%.2f us a product)\n",
                ("current prices of " + std::to_string(ids.size()) + " x " + std::to_string(rounds)).c_str(),
                batchRead.elapsed, oneByOne.elapsed, batchRead.elapsed * 1e6 / double(ids.size() * rounds));
}

double rowsPerSecond(int rows, int rounds, const Side& side) { return rows * double(rounds) / side.elapsed; }

void printJournalShare(const std::string& what, const Pair& share) {
    printRatio(what, share.program.elapsed, share.direct.elapsed, 1.05);
}

// rowByRow: the main rounds' write-back of the written-back sub-category,
// one commit per row, over `rounds` rounds.
void printOneTransactionFigures(const Settings& settings, DirectClient& client, const Side& rowByRow) {
    const int rows = settings.transactionRows;
    const Pair batch = oneTransactionAgainstDirect(kOneTransaction, rows, settings.modeRounds, client);
    const Pair catalogue = oneTransactionAgainstDirect(kViewed, settings.products, settings.modeRounds, client);
    const Pair shareOneTransaction = journalShare(kOneTransaction, rows, true, settings.modeRounds, client);

    const std::string rounds = " x " + std::to_string(settings.modeRounds);
    std::printf("\n");
    printPair("one transaction, " + std::to_string(rows) + rounds, batch, 1.25);
    printPair("one transaction, " + std::to_string(settings.products) + rounds, catalogue, 1.25);
    // Row by row, every row waits for its own commit: its rate holds for
    // any number of rows.
    const double perRowRate = rowsPerSecond(settings.updates, settings.rounds, rowByRow);
    const double perRowTime = rows / perRowRate;
    const double oneTime = batch.program.elapsed / settings.modeRounds;
    std::printf("%-40s row by row %8.3f s   one transaction %8.3f s   %.1fx faster   target >= 10x   %s\n",
                ("write-back of " + std::to_string(rows)).c_str(), perRowTime, oneTime, perRowTime / oneTime,
                perRowTime / oneTime >= 10 ? "met" : "NOT MET");
    std::printf("%-40s (row by row measured on %d rows and scaled by its rate)\n", "", settings.updates);
    std::printf("%-40s row by row %8.0f /s  one transaction %8.0f /s (%d rows)  %8.0f /s (%d rows)\n",
                "rows written per second, program", perRowRate,
                rowsPerSecond(rows, settings.modeRounds, batch.program), rows,
                rowsPerSecond(settings.products, settings.modeRounds, catalogue.program), settings.products);
    std::printf("%-40s one transaction %8.0f /s (%d rows)  %8.0f /s (%d rows)\n", "rows written per second, direct",
                rowsPerSecond(rows, settings.modeRounds, batch.direct), rows,
                rowsPerSecond(settings.products, settings.modeRounds, catalogue.direct), settings.products);
    printJournalShare("journal, one transaction, on disk", shareOneTransaction);
    printCurrentPriceReads(kOneTransaction, rows, settings.modeRounds);
    std::fflush(stdout);
}

// Database and journal on tmpfs: no commit waits for a disk, so the
// journal's read and file weigh most here.
void printJournalShareOnTmpfs(const Settings& settings) {
    const QByteArray savedTemp = qgetenv("TMPDIR"), savedData = qgetenv("XDG_DATA_HOME");
    qputenv("TMPDIR", "/dev/shm");
    QTemporaryDir data(QStringLiteral("/dev/shm/tarvell-bench-data-XXXXXX"));
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    {
        TestDatabase database;
        Settings small = settings;
        small.products = 1;
        fillDatabase(database, small);
        QTemporaryDir configuration;
        database.writeConfiguration(configuration.path().toStdString());
        testsupport::DataLinkStore::pointAt(configuration.path());
        DirectClient client(database.path());
        const int rows = settings.transactionRows;
        const Pair rowByRow = journalShare(kOneTransaction, rows, false, settings.modeRounds, client);
        const Pair oneTransaction = journalShare(kOneTransaction, rows, true, settings.modeRounds, client);
        std::printf("\n");
        printJournalShare("journal, row by row, on tmpfs", rowByRow);
        printJournalShare("journal, one transaction, on tmpfs", oneTransaction);
        std::printf("%-40s row by row %8.0f /s  one transaction %8.0f /s   (without journal)\n",
                    "rows written per second on tmpfs", rowsPerSecond(rows, settings.modeRounds, rowByRow.direct),
                    rowsPerSecond(rows, settings.modeRounds, oneTransaction.direct));
    }
    if (savedTemp.isNull()) qunsetenv("TMPDIR"); else qputenv("TMPDIR", savedTemp);
    qputenv("XDG_DATA_HOME", savedData);
}

// ---- the worker thread ----

// The UPDATE loop run on the window's own thread, as every write-back ran
// before the worker: the same rows, statement service and journal setting.
Side timedLoopOnWindowThread(TFormTarvell& form) {
    batch::TWorkTablePriceRows rows(form.CDS_PRODUCT);
    batch::TPriceWriteBack writeBack(form.SQLQuery1, journal::JournalSettings::load());
    return timed([&] { writeBack.run(rows, {}); });
}

void printWorkerFigures(const Settings& settings, DirectClient& client) {
    ShownWindow window;
    window.loadAndPrice(kWrittenBack, settings.updates);
    journal::JournalSettings::setEnabled(false);
    Side worker, onWindowThread;
    double longestBlock = 0;
    for (int round = 0; round < settings.journalRounds; ++round) {
        Side withWorker, withoutWorker;
        double block = 0;
        auto runWorker = [&] {
            clearWrittenPrices(client, kWrittenBack);
            const testsupport::EventLoopWatch watch;
            withWorker = timedWriteBack(window.form());
            block = seconds(watch.longest());
        };
        auto runLoop = [&] {
            clearWrittenPrices(client, kWrittenBack);
            withoutWorker = timedLoopOnWindowThread(window.form());
        };
        if (round % 2 == 0) {
            runLoop();
            runWorker();
        } else {
            runWorker();
            runLoop();
        }
        longestBlock = std::max(longestBlock, block);
        std::printf("worker round %d: write-back on the worker %.3f s (event loop blocked at most %.0f ms), "
                    "on the window's thread %.3f s (%.2fx)\n",
                    round + 1, withWorker.elapsed, block * 1000, withoutWorker.elapsed,
                    withWorker.elapsed / withoutWorker.elapsed);
        std::fflush(stdout);
        worker.add(withWorker);
        onWindowThread.add(withoutWorker);
    }
    // At full length too: the sub-category of --transaction-rows products
    // written back row by row, once.
    // From the Yes: before it, the handler reviews the batch on the
    // window's thread, and reads the prices the products have now.
    double longBlock = 0, pressBlock = 0;
    Side longWriteBack;
    {
        ShownWindow large;
        large.loadAndPrice(kOneTransaction, settings.transactionRows);
        clearWrittenPrices(client, kOneTransaction);
        const testsupport::EventLoopWatch fromPress;
        testsupport::EventLoopWatch fromYes;
        longWriteBack = timedWriteBack(large.form(), &fromYes);
        longBlock = seconds(fromYes.longest());
        pressBlock = seconds(fromPress.longest());
        clearWrittenPrices(client, kOneTransaction);
    }
    journal::JournalSettings::setEnabled(true);
    std::printf("\n%-40s %8.0f ms   target < 100 ms   %s\n",
                ("event loop blocked, write-back of " + std::to_string(settings.updates)).c_str(), longestBlock * 1000,
                longestBlock < 0.1 ? "met" : "NOT MET");
    std::printf("%-40s %8.0f ms   target < 100 ms   %s   (%.1f s, %.0f rows/s)\n",
                ("event loop blocked, write-back of " + std::to_string(settings.transactionRows)).c_str(),
                longBlock * 1000, longBlock < 0.1 ? "met" : "NOT MET", longWriteBack.elapsed,
                settings.transactionRows / longWriteBack.elapsed);
    std::printf("%-40s %8.0f ms   (the review before the question included)\n", "  from the press of the button",
                pressBlock * 1000);
    printRatio("write-back of " + std::to_string(settings.updates) + " x " + std::to_string(settings.journalRounds) +
                   " on the worker",
               worker.elapsed, onWindowThread.elapsed, 1.05);
    std::printf("%-40s worker %8.0f /s  window's thread %8.0f /s\n\n", "rows written per second",
                settings.updates * settings.journalRounds / worker.elapsed,
                settings.updates * settings.journalRounds / onWindowThread.elapsed);
    std::fflush(stdout);
}

// The offscreen platform warns on every window shown; the figures read
// better without it.
QtMessageHandler standardMessageHandler = nullptr;

void dropOffscreenNoise(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QStringLiteral("does not support propagateSizeHints"))) return;
    if (standardMessageHandler)
        standardMessageHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    standardMessageHandler = qInstallMessageHandler(dropOffscreenNoise);
    QApplication application(argc, argv);
    bench::endOnUnexpectedBoxes();
    const Settings settings = parseArguments();
    std::printf("batch_benchmark: data view and calculation of %d products, write-back of %d, %d rounds\n",
                settings.products, settings.updates, settings.rounds);
    std::fflush(stdout);

    TestDatabase database;
    const auto fillStart = Clock::now();
    fillDatabase(database, settings);
    std::printf("database filled in %.1f s (%d products in all)\n\n", seconds(Clock::now() - fillStart),
                settings.products + settings.updates + settings.transactionRows + kOtherSubCategories * kOtherProducts);
    QTemporaryDir configuration;
    database.writeConfiguration(configuration.path().toStdString());
    testsupport::DataLinkStore::pointAt(configuration.path());

    DirectClient client(database.path());
    printMemory(settings);

    // Like for like with the direct side, which keeps no journal; the
    // journal's own cost is measured after the rounds.
    journal::JournalSettings::setEnabled(false);
    Pair views, writeBacks;
    Side calculations, readServices;
    for (int round = 0; round < settings.rounds; ++round) {
        const bool programFirst = round % 2 == 1;
        Pair view, writeBack;
        Side calculation, readService;

        auto programView = [&] {
            ShownWindow window;  // a fresh work table: rows would accumulate otherwise
            window.select(kViewed);
            view.program = timed([&] { window.form().SpeedButton1Click(); });
            window.expectRows(settings.products);
            calculation = timed([&] { window.form().SpeedButton2Click(); });
            window.expectPriced();
            readService = timed([&] { readThroughService(window.form().ClientDataSet1, kViewed); });
        };
        auto directView = [&] {
            std::size_t rows = 0;
            view.direct = timed([&] { rows = readDirectly(client, kViewed); });
            if (rows != std::size_t(settings.products)) fail("the direct read found " + std::to_string(rows) + " rows");
        };
        auto programWriteBack = [&] {
            ShownWindow window;
            window.loadAndPrice(kWrittenBack, settings.updates);
            writeBack.program = timedWriteBack(window.form());
            auto& table = window.form().CDS_PRODUCT;
            table.last();
            expectStoredPrices(client, table.text(product::PROD_ID), table.value(product::priceField(1)).toDouble(),
                               table.value(product::priceField(product::kTierCount)).toDouble(), "the program's");
        };
        auto directWriteBack = [&] {
            const auto rows = directUpdateRows(client, round);
            if (rows.size() != std::size_t(settings.updates)) fail("the direct side found the wrong products");
            writeBack.direct = timed([&] { writeDirectly(client, rows); });
            expectStoredPrices(client, rows.back()[6].toString(), rows.back()[0].toDouble(), rows.back()[5].toDouble(),
                               "the direct");
        };

        if (programFirst) {
            programView();
            directView();
            programWriteBack();
            directWriteBack();
        } else {
            directView();
            programView();
            directWriteBack();
            programWriteBack();
        }
        printRound(round, programFirst, view, calculation, writeBack);
        views.program.add(view.program);
        views.direct.add(view.direct);
        calculations.add(calculation);
        readServices.add(readService);
        writeBacks.program.add(writeBack.program);
        writeBacks.direct.add(writeBack.direct);
    }

    const std::string rounds = " x " + std::to_string(settings.rounds);
    std::printf("\n");
    printPair("data view of " + std::to_string(settings.products) + rounds, views, 1.5);
    std::printf("%-40s program %8.3f s   the rest, appending to the work table: %.3f s\n",
                "  of it the read service (both reads)", readServices.elapsed,
                views.program.elapsed - readServices.elapsed);
    std::printf("%-40s program %8.3f s   (%.2f us a row; processor %.3f s)\n",
                ("calculation of " + std::to_string(settings.products) + rounds).c_str(), calculations.elapsed,
                calculations.elapsed / settings.rounds / settings.products * 1e6, calculations.processor);
    printPair("write-back of " + std::to_string(settings.updates) + rounds + ", one commit each", writeBacks, 1.10);
    std::printf("%-40s program %8.0f /s  direct %8.0f /s\n\n", "rows written per second",
                settings.updates * settings.rounds / writeBacks.program.elapsed,
                settings.updates * settings.rounds / writeBacks.direct.elapsed);
    std::fflush(stdout);
    printWorkerFigures(settings, client);
    printJournalFigures(settings, client);
    std::printf("\n");
    printOneTransactionFigures(settings, client, writeBacks.program);
    printJournalShareOnTmpfs(settings);
    return 0;
}
