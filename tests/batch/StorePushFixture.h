// Several store databases on the private test server (or on a server of a
// test's own, for a store whose server is stopped or frozen), named in the
// connections file and in the program's [Stores] settings, and a head
// office journal whose batch is pushed to them. Shared with the tests of
// the program's --push.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "DataLinkStore.h"
#include "DirectClient.h"
#include "HeadlessProgram.h"
#include "LocalServer.h"
#include "PointOfSaleSchema.h"
#include "PriceJournal.h"
#include "ProgramSettings.h"
#include "PushRecord.h"
#include "ServerSettings.h"
#include "StorePush.h"
#include "StoreSettings.h"
#include "TestDatabase.h"

namespace batch {

// Store s holds P1 to P5 at (s+1)*100 + 10*row + tier; the batch sets them
// to 5000 + 10*row + tier.
inline constexpr int kPushedProducts = 5;

inline std::string pushedProduct(int row) { return "P" + std::to_string(row + 1); }

inline std::vector<double> storeOldPrices(int store, int row) {
    std::vector<double> prices;
    for (int tier = 1; tier <= product::kTierCount; ++tier) prices.push_back((store + 1) * 100 + 10 * row + tier);
    return prices;
}

inline std::vector<double> batchNewPrices(int row) {
    std::vector<double> prices;
    for (int tier = 1; tier <= product::kTierCount; ++tier) prices.push_back(5000 + 10 * row + tier);
    return prices;
}

inline product::TierPrices tierPrices(const std::vector<double>& prices) {
    product::TierPrices tiers;
    for (int tier = 1; tier <= product::kTierCount; ++tier) tiers.setPrice(tier, prices[std::size_t(tier - 1)]);
    return tiers;
}

struct StoreDatabase {
    std::string name;
    testsupport::TestDatabase database;
    testsupport::LocalServer server;
    std::string serverName() const { return database.serverName(server.address()); }
};

class StorePushTest : public testing::Test {
protected:
    static inline const std::vector<std::string> kStoreNames = {"Taipei01", "Taichung02", "Kaohsiung03"};

    void SetUp() override {
        const auto shared = testsupport::LocalServer::fromEnvironment();
        if (!shared) GTEST_SKIP() << testsupport::LocalServer::kSkipReason;
        server = *shared;
        for (std::size_t store = 0; store < kStoreNames.size(); ++store) {
            auto added = std::make_unique<StoreDatabase>();
            added->name = kStoreNames[store];
            added->server = server;
            added->database.execute(testsupport::kProductTable);
            std::vector<std::string> inserts;
            for (int row = 0; row < kPushedProducts; ++row) {
                std::string values;
                for (double price : storeOldPrices(int(store), row))
                    values += (values.empty() ? "" : ", ") + std::to_string(int(price));
                inserts.push_back("INSERT INTO PRODUCT (PROD_ID, PROD_NAME, " + testsupport::kPriceColumns + ") VALUES ('" +
                                  pushedProduct(row) + "', 'Item " + std::to_string(row + 1) + "', " + values + ")");
            }
            added->database.execute(inserts);
            stores.push_back(std::move(added));
        }
        writeConfiguration();
        journals = testsupport::emptyJournalFolder(testsupport::programJournals());
        QStringList names;
        for (const std::string& name : kStoreNames) names.push_back(QString::fromStdString(name));
        settings::StoreSettings::setNames(names);
        settings::StoreSettings::setParallel(4);
        headOfficeJournal = writeHeadOfficeJournal();
    }

    void TearDown() override {
        settings::StoreSettings::setNames({});
        settings::StoreSettings::setParallel(settings::StoreSettings::kDefaultParallel);
        settings::ServerSettings::setAnswerTimeout(settings::ServerSettings::kDefaultAnswerTimeout);
    }

    // The program's own section names the first store; every store has a
    // section of its own with the same keys. extra: lines added to every
    // store's section.
    void writeConfiguration(const std::vector<std::pair<std::string, std::string>>& extra = {}) {
        testsupport::ConfigurationFiles files;
        files.database = stores.front()->serverName();
        files.password = server.password;
        stores.front()->database.writeConfiguration(configuration.path().toStdString(), files);
        QFile file(configuration.filePath(QStringLiteral("dlconnections.ini")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray programSection = file.readAll();
        file.close();
        const QByteArray body = programSection.mid(programSection.indexOf('\n') + 1);
        QByteArray all = programSection;
        for (const auto& store : stores) {
            QByteArray section = "[" + QByteArray::fromStdString(store->name) + "]\n" + body;
            section.replace("Database=" + QByteArray::fromStdString(files.database),
                            "Database=" + QByteArray::fromStdString(store->serverName()));
            section.replace("Password=" + QByteArray::fromStdString(files.password),
                            "Password=" + QByteArray::fromStdString(store->server.password));
            for (const auto& [name, value] : extra) section += QByteArray::fromStdString(name + "=" + value + "\n");
            all += section;
        }
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(all);
        file.close();
        testsupport::DataLinkStore::pointAt(configuration.path());
    }

    // Moves a store to another server (one of the test's own).
    void moveStore(std::size_t store, const testsupport::LocalServer& to) {
        stores[store]->server = to;
        writeConfiguration();
    }

    QString writeHeadOfficeJournal() {
        journal::TJournalWriter writer(headOffice.path(), {QStringLiteral("headoffice:/data/POSDATA.FDB"),
                                                           QDateTime::currentDateTimeUtc(), QStringLiteral("clerk"),
                                                           QStringLiteral("write-back")});
        for (int row = 0; row < kPushedProducts; ++row)
            writer.addEntry({pushedProduct(row), "Item " + std::to_string(row + 1), tierPrices(storeOldPrices(9, row)),
                             tierPrices(batchNewPrices(row)), 0});
        writer.close(kPushedProducts);
        return writer.path();
    }

    PushOptions pushOptions(int parallel = 4) const {
        PushOptions options;
        options.parallel = parallel;
        options.journal = {true, journals, nullptr};
        return options;
    }
    std::vector<StoreTarget> allStores() const { return chosenStores(settings::StoreSettings::load(), {}); }

    // Every product's six prices, in product order, as another connection
    // sees them now.
    std::vector<std::vector<double>> pricesAt(std::size_t store) const {
        testsupport::DirectClient client(stores[store]->serverName(), "SYSDBA", stores[store]->server.password);
        std::vector<std::vector<double>> prices;
        for (const auto& row : client.select("SELECT " + testsupport::kPriceColumns + " FROM PRODUCT ORDER BY PROD_ID")) {
            std::vector<double> six;
            for (const rt::FieldValue& value : row) six.push_back(value.toDouble());
            prices.push_back(six);
        }
        return prices;
    }
    static std::vector<std::vector<double>> batchPrices() {
        std::vector<std::vector<double>> prices;
        for (int row = 0; row < kPushedProducts; ++row) prices.push_back(batchNewPrices(row));
        return prices;
    }
    static std::vector<std::vector<double>> oldPrices(std::size_t store) {
        std::vector<std::vector<double>> prices;
        for (int row = 0; row < kPushedProducts; ++row) prices.push_back(storeOldPrices(int(store), row));
        return prices;
    }

    // The journals written against the store's database.
    QStringList journalsOf(std::size_t store) const {
        QStringList found;
        for (const QString& path : journal::journalFiles(journals))
            if (journal::readJournalHeader(path).database == QString::fromStdString(stores[store]->serverName()))
                found.push_back(path);
        return found;
    }

    journal::PushRecord record() const {
        const auto read = journal::readPushRecord(journal::pushRecordPath(headOfficeJournal));
        EXPECT_TRUE(read.has_value());
        return read.value_or(journal::PushRecord{});
    }
    journal::PushState recordedState(std::size_t store) const {
        const journal::PushRecord read = record();
        const journal::StorePushEntry* entry = read.find(QString::fromStdString(stores[store]->name));
        EXPECT_NE(entry, nullptr) << stores[store]->name;
        return entry ? entry->state : journal::PushState::NotTried;
    }

    testsupport::LocalServer server;
    std::vector<std::unique_ptr<StoreDatabase>> stores;
    QTemporaryDir configuration;
    QTemporaryDir headOffice;
    QString journals;
    QString headOfficeJournal;
};

}  // namespace batch
