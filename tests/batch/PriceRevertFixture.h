// Write-backs and their reverts against a real embedded Firebird database,
// connected as the program connects (settings store and configuration
// files), for the tests of the revert itself and of the program's commands
// that run it.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <vector>

#include "DataLinkStore.h"
#include "DirectClient.h"
#include "HeadlessProgram.h"
#include "PointOfSaleSchema.h"
#include "PriceJournal.h"
#include "PriceRevert.h"
#include "PriceWriteBack.h"
#include "StatementService.h"
#include "StoredConnection.h"
#include "TestDatabase.h"

namespace batch {

class PriceRevertTest : public testing::Test {
protected:
    void SetUp() override {
        database.execute(testsupport::kProductTable);
        database.writeConfiguration(configuration.path().toStdString());
        testsupport::DataLinkStore::pointAt(configuration.path());
        testsupport::emptyJournalFolder(testsupport::programJournals());
        settings = {true, journals.path(), nullptr};
    }
    void TearDown() override { disconnect(); }

    void addProduct(const std::string& id, const std::string& prices) {
        database.execute("INSERT INTO PRODUCT (PROD_ID, PROD_NAME, " + testsupport::kPriceColumns + ") VALUES ('" +
                         id + "', 'Name of " + id + "', " + prices + ")");
    }
    // The batch's products: whole, empty, fractional prices, and a number
    // whose Big5 bytes do not come back from Unicode as they were.
    void addBatchProducts() {
        addProduct("P1", "100, 110, 120, 130, 140, 150");
        addProduct("P2", "NULL, NULL, NULL, NULL, NULL, NULL");
        addProduct("P3", "12.34, 0.5, 0, -3, 99999.99, 1");
        addProduct(kOddId, "7, 8, 9, 10, 11, 12");
    }

    db::TStatementService& statement() { return stored.statement(); }
    void disconnect() { stored.disconnect(); }

    QString writeBack(const std::vector<PriceRow>& rows) {
        TListedPriceRows source(rows);
        TPriceWriteBack writeBack(statement(), settings);
        EXPECT_TRUE(writeBack.run(source, {}));
        return writeBack.journalPath();
    }
    std::vector<PriceRow> batchRows() {
        return {
            {"P1", "Tea", {115.0, 121.0, 132.0, 143.0, 154.0, 165.0}},
            {"P2", "Milk", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0}},
            {"P3", "Soda", {13.0, 1.0, 1.0, 1.0, 110000.0, 2.0}},
            {kOddId, "Odd", {8.0, 9.0, 10.0, 11.0, 12.0, 13.0}},
            {"NOPE", "Not in PRODUCT", {1.0, 1.0, 1.0, 1.0, 1.0, 1.0}},
            {"P1", "Tea again", {230.0, 231.0, 232.0, 233.0, 234.0, 235.0}},
        };
    }

    // The batch's first three rows.
    std::vector<PriceRow> threeRows() {
        return {{"P1", "Tea", {115.0, 121.0, 132.0, 143.0, 154.0, 165.0}},
                {"P2", "Milk", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0}},
                {"P3", "Soda", {13.0, 1.0, 1.0, 1.0, 110000.0, 2.0}}};
    }

    RevertReport revert(const QString& journal, bool force = false) {
        RevertOptions options;
        options.force = force;
        options.journal = settings;
        return TPriceRevert(statement(), options).run(journal::readJournal(journal));
    }

    std::vector<rt::FieldValue> pricesOf(const std::string& id) {
        testsupport::DirectClient client(database.path());
        const auto rows = client.select(
            "SELECT SALE_PRICE, N_PRICE, P_PRICE, P_PRICE2, PSALE_PRICE, VIP_PRICE FROM PRODUCT WHERE PROD_ID = '" +
            id + "'");
        return rows.empty() ? std::vector<rt::FieldValue>{} : rows.front();
    }
    std::map<std::string, std::vector<rt::FieldValue>> allPrices() {
        std::map<std::string, std::vector<rt::FieldValue>> prices;
        for (const std::string& id : {std::string("P1"), std::string("P2"), std::string("P3"), kOddId}) prices[id] = pricesOf(id);
        return prices;
    }

    const std::string kOddId = "K\xA2\xCC";
    testsupport::TestDatabase database;
    QTemporaryDir configuration;
    QTemporaryDir journals;
    journal::JournalSettings settings;
    testsupport::StoredConnection stored;
};

}  // namespace batch
