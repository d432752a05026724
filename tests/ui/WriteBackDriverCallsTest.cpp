// What only a recording driver shows about the window's write-back: the
// statement text the window really prepares, the exact calls of each row,
// and that the journal is on disk, whole, before the first UPDATE reaches
// the driver.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "HeadlessProgram.h"
#include "ProductStatements.h"
#include "Big5Text.h"
#include "Errors.h"
#include "MessageOf.h"
#include "JournalSettings.h"
#include "ParameterParser.h"
#include "PriceJournal.h"
#include "CurrentPriceReader.h"
#include "RecordingDriver.h"
#include "StatementText.h"
#include "WindowDriver.h"

namespace {

using testsupport::messageOf;

using rt::FieldValue;

class WriteBackDriverCalls : public testing::Test {
protected:
    void SetUp() override {
        recording::reset();
        // The select of the first show gets an empty result.
        recording::answers().executeGivesCursor = true;
        testsupport::DataLinkStore::pointAtRecordingDriver(configuration.path());
        journals = testsupport::emptyJournalFolder(journal::JournalSettings::load().folder);
        form = std::make_unique<TFormTarvell>();
        form->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        recording::setCallHook(nullptr);
        form.reset();
    }

    void addRow(const std::string& id, std::optional<double> firstPrice) {
        auto& table = form->CDS_PRODUCT;
        table.append();
        table.setValue(product::PROD_ID, FieldValue::text(id));
        for (int tier = 1; tier <= 6; ++tier)
            table.setValue(product::priceField(tier), firstPrice ? FieldValue(*firstPrice + tier - 1) : FieldValue());
        table.post();
    }

    // PRODUCT answers the batch read with these six prices for every
    // product: one row, the number and six prices of each product asked.
    void productHoldsPrices() {
        auto& answers = recording::answers();
        answers.columns.clear();
        answers.rows = {{}};
        for (std::size_t part = 0; part < catalog::TCurrentPriceReader::kBatchReadChunk; ++part) {
            answers.columns.push_back({"PROD_ID", dl::ColumnType::Text});
            answers.rows[0].push_back("P");
            for (const char* column : catalog::kPriceParameters) answers.columns.push_back({column, dl::ColumnType::Double});
            for (const char* price : {"100", "110", "120", "130", "140", "150"}) answers.rows[0].push_back(price);
        }
    }

    std::vector<std::string> callsOf(const std::string& command) {
        std::vector<std::string> calls;
        for (const auto& entry : recording::log())
            if (entry.rfind(command + ".", 0) == 0) calls.push_back(entry);
        return calls;
    }

    QString onlyJournal() {
        const QStringList files = journal::journalFiles(journals);
        EXPECT_EQ(files.size(), 1);
        return files.value(0);
    }

    QTemporaryDir configuration;
    QString journals;
    std::unique_ptr<TFormTarvell> form;
};

TEST_F(WriteBackDriverCalls, JournalIsWholeBeforeTheFirstUpdateAndClosedWhereTheWriteBackStopped) {
    addRow("P1", 1.0);
    addRow("P2", 7.0);
    addRow("P3", std::nullopt);  // never computed: the write-back stops here
    addRow("P4", 20.0);
    productHoldsPrices();
    std::optional<journal::Journal> atFirstUpdate;
    recording::setCallHook([&](const std::string& entry) {
        if (!atFirstUpdate && entry.find(".prepare(UPDATE") != std::string::npos)
            atFirstUpdate = journal::readJournal(onlyJournal());
    });

    auto question = answerNextBoxWith("&Yes");
    EXPECT_EQ(messageOf<rt::DatabaseError>([&] { form->SpeedButton3Click(); }),
              "No value for parameter 'SALE_PRICE'\r\n" +
                  big5::fromUtf8("已回存 2 筆 (共 4 筆)，停在商品 P3，此商品及之後的商品都未回存"));
    ASSERT_TRUE(question->seen);

    ASSERT_TRUE(atFirstUpdate.has_value());
    ASSERT_EQ(atFirstUpdate->entries.size(), 4u);
    EXPECT_FALSE(atFirstUpdate->written.has_value());
    EXPECT_EQ(atFirstUpdate->header.database, QStringLiteral("shop:/data/POSDATA.FDB"));
    const product::TierPrices before = {100.0, 110.0, 120.0, 130.0, 140.0, 150.0};
    for (const auto& entry : atFirstUpdate->entries) EXPECT_EQ(entry.oldPrices, before) << entry.productId;
    EXPECT_EQ(atFirstUpdate->entries[1].newPrices, (product::TierPrices{7.0, 8.0, 9.0, 10.0, 11.0, 12.0}));
    EXPECT_TRUE(atFirstUpdate->entries[2].newPrices.isNull(1));

    const journal::Journal closed = journal::readJournal(onlyJournal());
    EXPECT_EQ(closed.written, std::optional<std::size_t>(2));
    // The row that failed is the current one, as when the loop ran in the window.
    EXPECT_EQ(form->CDS_PRODUCT.text(product::PROD_ID), "P3");
}

TEST_F(WriteBackDriverCalls, EachRowIsTheWindowsOwnStatementPreparedAnewAndBound) {
    addRow("P1", 1.0);
    addRow("P2", 7.0);
    productHoldsPrices();
    auto question = answerNextBoxWith("&Yes");
    auto done = answerNextBox(QMessageBox::Ok);
    form->SpeedButton3Click();
    ASSERT_TRUE(done->seen);

    // The statement the window prepares, markers in place of the names.
    std::vector<std::string> lines(catalog::kPriceUpdateLines.begin(), catalog::kPriceUpdateLines.end());
    const std::string update = db::joinStatementLines(lines);
    const std::string prepared = db::ParameterParser::positionalText(update, db::ParameterParser::findMarkers(update));
    EXPECT_EQ(prepared,
              "UPDATE PRODUCT SET \r\n SALE_PRICE =  ?  , \r\n N_PRICE =  ?  , \r\n P_PRICE =  ?  , \r\n"
              " P_PRICE2 =  ?  , \r\n PSALE_PRICE =  ? , \r\n VIP_PRICE =  ?  \r\nWHERE PROD_ID =  ?  \r\n");

    // The price lookup is one prepared statement asking for a whole chunk,
    // run once for the two rows (the last number repeated for the parts
    // past them); the UPDATE is a command of its own per row.
    std::vector<std::string> commands;
    for (const auto& entry : recording::log())
        if (entry.find(".prepare(") != std::string::npos) commands.push_back(entry.substr(0, entry.find('.')));
    ASSERT_EQ(commands.size(), 4u);  // the first show's select, the lookup, two UPDATEs
    const std::size_t parts = catalog::TCurrentPriceReader::kBatchReadChunk;
    const std::string lookup = catalog::currentPricesOfManySelect(parts);
    const std::vector<std::string> lookupCalls = callsOf(commands[1]);
    ASSERT_GE(lookupCalls.size(), 2 + parts + 1);
    EXPECT_EQ(lookupCalls[1], commands[1] + ".prepare(" +
                                  db::ParameterParser::positionalText(lookup, db::ParameterParser::findMarkers(lookup)) +
                                  "," + std::to_string(parts) + ")");
    for (std::size_t part = 1; part <= parts; ++part)
        EXPECT_EQ(lookupCalls[1 + part], commands[1] + ".bindText(" + std::to_string(part) + "," + (part == 1 ? "P1" : "P2") + ")");
    EXPECT_EQ(std::count(recording::log().begin(), recording::log().end(), commands[1] + ".execute()"), 1);
    for (int row = 0; row < 2; ++row) {
        const std::string& command = commands[2 + row];
        const std::string id = row == 0 ? "P1" : "P2";
        const int first = row == 0 ? 1 : 7;
        std::vector<std::string> expected = {command + ".setOption(1,20)", command + ".prepare(" + prepared + ",7)"};
        for (int tier = 1; tier <= 6; ++tier)
            expected.push_back(command + ".bindDouble(" + std::to_string(tier) + "," + std::to_string(first + tier - 1) + ")");
        expected.insert(expected.end(),
                        {command + ".bindText(7," + id + ")", command + ".execute()", command + ".getRowsAffected()"});
        // The next row's close gives the command back; the last one stays
        // prepared on SQLQuery1.
        if (row == 0) expected.push_back(command + ".release()");
        EXPECT_EQ(callsOf(command), expected) << "row " << row;
    }
    EXPECT_EQ(journal::readJournal(onlyJournal()).written, std::optional<std::size_t>(2));
}

}  // namespace
